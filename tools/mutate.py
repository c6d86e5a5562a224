#!/usr/bin/env python3
"""Mutation check: plants each fault of tools/mutants.txt into the source, one at
a time, rebuilds incrementally, runs the test programs (all but the X-server one) and
puts the file back. A mutant that some test fails on is killed; one that every
test passes survived. A mutant whose snippet is no longer found exactly once is
stale (the code moved on) and counts neither way; one that does not compile is
invalid. Prints the survivors and the kill rate.

    tools/mutate.py [--build DIR] [--list FILE] [--events N] [ID ...]
"""

import argparse
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# What the tests need built: the test programs and the program test_cli starts.
TARGETS = ["helpedit", "test_grid", "test_editormodel", "test_render", "test_window", "test_editing", "test_links",
           "test_fileio", "test_helpview", "test_cli", "test_check", "test_random", "test_fastpath", "test_layout",
           "test_recovery", "test_accessibility", "test_export", "test_browser", "test_windowscale"]
# The test programs, not the X-server ones; the install and packaging checks
# (install_uninstall, desktop_files, build_without_fontconfig) test no program
# behaviour and one of them builds the whole program again.
TESTS = ["-R", "^test_", "-E", "^test_e2e"]
# The whole run takes well under a minute; a mutant past this has made a test hang.
TEST_SECONDS = 90


class Mutant:
    def __init__(self, ident, path, why):
        self.ident, self.path, self.why = ident, path, why
        self.find, self.replace = [], []


def parse_list(path):
    """Reads the mutant list: '@ id | file | why', then '- ' lines (the exact
    snippet) and '+ ' lines (its replacement); '#' lines are comments."""
    mutants = []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if line.startswith("@"):
                parts = [p.strip() for p in line[1:].split("|")]
                if len(parts) != 3:
                    sys.exit(f"{path}:{number}: expected '@ id | file | why'")
                mutants.append(Mutant(*parts))
            elif line.startswith("- ") or line == "-":
                mutants[-1].find.append(line[2:])
            elif line.startswith("+ ") or line == "+":
                mutants[-1].replace.append(line[2:])
            elif line.strip() and not line.startswith("#"):
                sys.exit(f"{path}:{number}: cannot read: {line}")
    return mutants


def build(build_dir):
    """Rebuilds what the tests need; returns whether it compiled."""
    cmd = ["cmake", "--build", build_dir, "--target"] + TARGETS
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def tests_pass(build_dir, events):
    """Runs the test programs but the X-server one; returns whether all passed in time.
    A mutant that makes a test hang (a dialog nobody answers) fails it."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HELPEDIT_EVENTS=str(events))
    cmd = ["ctest"] + TESTS + ["-j", "2", "--stop-on-failure"]
    proc = subprocess.Popen(cmd, cwd=os.path.join(ROOT, build_dir), env=env, start_new_session=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return proc.wait(timeout=TEST_SECONDS) == 0
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)  # ctest and the test programs it started
        proc.wait()
        return False


def run_mutant(m, build_dir, events):
    """Plants m, rebuilds, tests, restores; returns killed, survived, stale or invalid."""
    path = os.path.join(ROOT, m.path)
    if not os.path.isfile(path):
        return "stale"
    with open(path, encoding="utf-8") as f:
        original = f.read()
    snippet, replacement = "\n".join(m.find), "\n".join(m.replace)
    if not snippet or original.count(snippet) != 1:
        return "stale"
    try:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(snippet, replacement))
        if not build(build_dir):
            return "invalid"
        return "survived" if tests_pass(build_dir, events) else "killed"
    finally:
        # Written anew, so the file is newer than its object and the next build recompiles it.
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build", help="build folder (configured), default build")
    ap.add_argument("--list", default=os.path.join("tools", "mutants.txt"), help="mutant list")
    ap.add_argument("--events", type=int, default=30000, help="events of the random session per run")
    ap.add_argument("ids", nargs="*", help="run only these mutants")
    args = ap.parse_args()

    # Stopped from outside (also when started in the background, where SIGINT
    # is ignored), the planted file is still put back.
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, signal.default_int_handler)
    mutants = parse_list(os.path.join(ROOT, args.list))
    if args.ids:
        mutants = [m for m in mutants if m.ident in args.ids]
    start = time.time()
    if not build(args.build) or not tests_pass(args.build, args.events):
        sys.exit("the unmutated build does not pass its tests; nothing to measure")

    results = {}
    try:
        for i, m in enumerate(mutants, 1):
            results[m.ident] = run_mutant(m, args.build, args.events)
            print(f"[{i}/{len(mutants)} {time.time() - start:5.0f}s] {results[m.ident]:8} {m.ident}", flush=True)
    finally:
        build(args.build)  # back to the unmutated program

    counted = [m for m in mutants if results.get(m.ident) in ("killed", "survived")]
    killed = [m for m in counted if results[m.ident] == "killed"]
    for kind in ("survived", "stale", "invalid"):
        for m in mutants:
            if results.get(m.ident) == kind:
                print(f"{kind}: {m.ident} ({m.path}): {m.why}")
    rate = 100.0 * len(killed) / len(counted) if counted else 0.0
    print(f"killed {len(killed)} of {len(counted)} ({rate:.0f}%), "
          f"{len(mutants) - len(counted)} stale or invalid, {time.time() - start:.0f} s")


if __name__ == "__main__":
    main()
