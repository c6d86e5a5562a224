#!/usr/bin/python3
"""The editor as a screen reader meets it, over AT-SPI on a real X server.

First runs the editor on Xvfb without any bus: it must work and print nothing.
Then starts a session bus and an accessibility bus of its own, runs the editor
on a file given on the command line, and reads through pyatspi: the page's text as
shown, the buttons' and the check box's names, the message line, the caret
offset and the caret events after typing, and the message announced after
OPEN loads the file again through the dialog, a repeated LINK message, and
SOURCE CODE checked with the page reading as raw lines.
Exits 77 (skipped) only when the buses or the X server cannot start; every
process it started is ended by its id.

Sections: Session (the processes, the X server and the buses it starts), the
accessible tree (walk, find_app, find, pump), the two runs (run_without_bus,
run) and main.

Usage: atspi_check.py HELPEDIT_BINARY
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
# A page line with codes and a link name, as stored and as shown.
FILE_LINES = [b"\\hTitle \\fbold", b"see \\@more; here", b"", b"\\#more;end"]
SHOWN = "Title bold\nsee  here\n\nend"


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


class Session:
    def __init__(self, binary):
        self.binary = binary
        self.dir = tempfile.mkdtemp(prefix="helpedit-atspi-")
        self.procs = []
        self.env = dict(os.environ)
        for name in ("HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
            path = os.path.join(self.dir, name.lower())
            os.makedirs(path, mode=0o700)
            self.env[name] = path
        self.env.pop("QT_QPA_PLATFORM", None)
        # In a sanitized build the leak checker lists the suppressions it used;
        # that is not the editor printing.
        if self.env.get("LSAN_OPTIONS"):
            self.env["LSAN_OPTIONS"] += ":print_suppressions=0"
        self.env["NO_AT_BRIDGE"] = "0"

    def start(self, args, env=None, **kw):
        p = subprocess.Popen(args, env=env or self.env, **kw)
        self.procs.append(p)
        return p

    def stop(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def read_line(self, stream, seconds):
        ready, _, _ = select.select([stream], [], [], seconds)
        return stream.readline().strip() if ready else b""

    def start_buses(self):
        """Returns whether the session bus and the accessibility bus run."""
        try:
            bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address"],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        except OSError:
            return False
        address = self.read_line(bus.stdout, 10).decode()
        if not address:
            return False
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.path.exists(launcher):
            return False
        self.start([launcher, "--launch-immediately"], stderr=subprocess.DEVNULL)
        # pyatspi finds the accessibility bus through the session bus.
        os.environ.update({k: self.env[k] for k in ("DBUS_SESSION_BUS_ADDRESS", "DISPLAY")})
        deadline = time.time() + 10
        while time.time() < deadline:
            probe = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                                   env=self.env, capture_output=True)
            if probe.returncode == 0:
                return True
            time.sleep(0.2)
        return False

    def start_x_server(self):
        """Returns whether an Xvfb of this session answers on the display it picked."""
        read_fd, write_fd = os.pipe()
        try:
            # -noreset: else the server resets, refusing connections for a
            # moment, each time its last client leaves.
            xvfb = self.start(["Xvfb", "-displayfd", str(write_fd), "-noreset", "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], pass_fds=[write_fd], stderr=subprocess.DEVNULL)
        except OSError:
            return False
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as r:
            display = self.read_line(r, 15).decode()
        self.env["DISPLAY"] = ":" + display
        # Other tests start X servers at the same moment; make sure this one is ours and up.
        if display and xvfb.poll() is None and subprocess.run(
                ["xdotool", "getdisplaygeometry"], env=self.env, capture_output=True).returncode == 0:
            return True
        xvfb.kill()
        xvfb.wait()
        return False

    def xdo(self, *args):
        out = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, timeout=30)
        check(out.returncode == 0, "xdotool %s failed: %s" % (" ".join(args), out.stderr.decode()))
        return out.stdout.decode().strip()


def walk(node, depth=0):
    yield node
    if depth > 12:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def find_app(pyatspi, pid, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    raise Failure("the editor never showed on the accessibility bus")


def find(app, role, name=None):
    for node in walk(app):
        if node.getRoleName() == role and (name is None or node.name == name):
            return node
    return None


def pump(seconds, until):
    """Runs the event loop pyatspi delivers events in, until until() or the time is up."""
    from gi.repository import GLib
    deadline = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < deadline and not until():
        while context.iteration(False):
            pass
        time.sleep(0.02)
    return until()


def write_page(session):
    path = os.path.join(session.dir, "page.hlp")
    with open(path, "wb") as f:
        f.write(b"\r\n".join(FILE_LINES) + b"\r\n")
    return path


def run_without_bus(session, path):
    """Without any bus the editor works as ever and prints nothing, even told to reach one."""
    env = dict(session.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    log = os.path.join(session.dir, "nobus.log")
    editor = session.start([session.binary, path], env=env, stderr=open(log, "wb"))
    window = session.xdo("search", "--sync", "--onlyvisible", "--pid", str(editor.pid)).splitlines()[0]
    # A click on the page and LINK; typed text would be kept on close, with a notice.
    session.xdo("mousemove", "--window", window, "100", "70", "click", "1")
    session.xdo("mousemove", "--window", window, "220", "24", "click", "1")
    time.sleep(0.5)
    check(editor.poll() is None, "the editor ended without a bus")
    editor.terminate()
    editor.wait(10)
    printed = open(log, errors="replace").read()
    check(printed == "", "the editor printed without a bus: %r" % printed)


def run(session, path):
    import pyatspi
    editor = session.start([session.binary, path], env=dict(session.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                                                            QT_ACCESSIBILITY="1"),
                           stderr=open(os.path.join(session.dir, "editor.log"), "wb"))
    app = find_app(pyatspi, editor.pid)

    page = None
    deadline = time.time() + 10
    while page is None and time.time() < deadline:
        page = find(app, "text", "page")
        time.sleep(0.1)
    check(page is not None, "no text object named page")
    text = page.queryText()
    shown = text.getText(0, len(SHOWN))
    check(shown == SHOWN, "page text %r, wanted %r" % (shown, SHOWN))
    check(text.characterCount == len(SHOWN) + 1000 - len(FILE_LINES), "character count %d" % text.characterCount)

    for caption in ("OPEN", "SAVE", "LINK", "CLEAR", "HELP", "go to top"):
        check(find(app, "push button", caption) is not None, "no button named %s" % caption)
    box = find(app, "check box", "SOURCE CODE")
    check(box is not None, "no check box named SOURCE CODE")
    check(not box.getState().contains(pyatspi.STATE_CHECKED), "SOURCE CODE checked at start")
    message = find(app, "label", "file loaded. Lines = %d" % len(FILE_LINES))
    check(message is not None, "no message label after the open: %r" %
          [n.name for n in walk(app) if n.getRoleName() == "label"])

    events = []
    pyatspi.Registry.registerEventListener(events.append, "object:text-caret-moved", "focus:",
                                           "object:state-changed:checked",
                                           "object:state-changed:focused", "object:text-changed",
                                           "object:property-change:accessible-name")
    window = session.xdo("search", "--sync", "--onlyvisible", "--pid", str(editor.pid), "--name",
                         "help file editor").splitlines()[0]
    session.xdo("windowfocus", "--sync", window)
    # Typing goes to the page, and the reader is told so.
    check(pump(5, lambda: page.getState().contains(pyatspi.STATE_FOCUSED)), "the page is not focused")
    check(pump(5, lambda: any(e.type.startswith(("focus", "object:state-changed:focused")) and e.detail1 == 1
                              and e.source.name == "page" for e in events)),
          "no focus event for the page: %r" % [(e.type, e.source.name) for e in events])
    session.xdo("type", "--delay", "30", "xy")
    check(pump(10, lambda: text.caretOffset == 2), "caret offset %d after typing xy" % text.caretOffset)
    now = text.getText(0, 12)
    check(now == "xyTitle bold", "page text %r after typing" % now)
    # The caret offset after typing is told, not only there to be asked for.
    check(pump(5, lambda: any(e.type == "object:text-caret-moved" and e.detail1 == 2 for e in events)),
          "no caret event at offset 2: %r" % [(e.type, e.detail1) for e in events])
    check(any(e.type.startswith("object:text-changed:insert") and e.detail1 == 1 for e in events),
          "no insert event at offset 1")
    x, y, w, h = text.getCharacterExtents(0, pyatspi.DESKTOP_COORDS)
    check(w > 0 and h == 25, "character box %r" % ((x, y, w, h),))

    # OPEN through the dialog, the same file again: the same message is told again.
    events.clear()
    session.xdo("mousemove", "--window", window, "40", "24", "click", "1")
    dialog = None
    deadline = time.time() + 15
    while dialog is None and time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(editor.pid)],
                               env=session.env, capture_output=True).stdout.decode().split()
        others = [w for w in found if w != window]
        dialog = others[0] if others else None
        time.sleep(0.2)
    check(dialog is not None, "no OPEN dialog")
    session.xdo("windowfocus", "--sync", dialog)
    time.sleep(0.5)
    session.xdo("key", "ctrl+a")
    session.xdo("type", "--delay", "10", path)
    session.xdo("key", "Return")
    wanted = "file loaded. Lines = %d" % len(FILE_LINES)
    check(pump(15, lambda: any(e.type.startswith("object:property-change:accessible-name")
                               and e.source.name == wanted for e in events)),
          "no message announced after OPEN: %r" % [(e.type, e.source.name) for e in events])
    check(text.getText(0, len(SHOWN)) == SHOWN, "page text after OPEN")
    check(pump(5, lambda: text.caretOffset == 0), "caret offset %d after OPEN" % text.caretOffset)

    # LINK twice: the second, unchanged message is told as well.
    events.clear()
    links = "links found = 1"

    def told():
        return sum(1 for e in events if e.type.startswith("object:property-change:accessible-name")
                   and e.source.name == links)
    for presses in (1, 2):
        session.xdo("mousemove", "--window", window, "220", "24", "click", "1")
        check(pump(10, lambda: told() >= presses), "LINK press %d not announced: %r"
              % (presses, [(e.type, e.source.name) for e in events]))

    # SOURCE CODE: the box is checked and the page reads as its raw lines.
    session.xdo("mousemove", "--window", window, "700", "24", "click", "1")
    check(pump(10, lambda: box.getState().contains(pyatspi.STATE_CHECKED)), "SOURCE CODE not checked")
    check(pump(5, lambda: any(e.type == "object:state-changed:checked" and e.detail1 == 1
                              and e.source.name == "SOURCE CODE" for e in events)), "no checked event")
    raw = "\n".join(line.decode() for line in FILE_LINES)
    check(text.getText(0, len(raw)) == raw, "source text %r" % text.getText(0, len(raw)))


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    session = Session(os.path.abspath(sys.argv[1]))
    try:
        if not any(session.start_x_server() for _ in range(3)):
            print("skipped: no X server could start")
            return SKIPPED
        path = write_page(session)
        run_without_bus(session, path)
        if not session.start_buses():
            print("skipped: no session bus or accessibility bus could start")
            return SKIPPED
        run(session, path)
        print("AT-SPI: page text, names, caret, events and the OPEN message all read")
        return 0
    except Failure as f:
        print("FAIL: %s" % f)
        log = os.path.join(session.dir, "editor.log")
        if os.path.exists(log):
            print(open(log, errors="replace").read())
        return 1
    finally:
        session.stop()


if __name__ == "__main__":
    sys.exit(main())
