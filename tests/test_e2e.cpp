// The built program end to end on a real X server: Xvfb on a free display,
// keys and clicks sent with xdotool, the file dialogs used as a user uses them,
// and the page checked in a screenshot of the window. Every child process is
// tied to this one and dies with it, whatever ends the test. Exits with 77
// (skipped) only when no X server can be started at all.
//
// Sections: helpers to start and drive the X server and the editor; typing,
// saving and opening; dead keys; the file dialogs; the close box, signals and
// SIGKILL; a signal with each kind of modal window up; the display lost (an X
// server of its own, killed); a new file named on the command line.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "childprocess.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#ifdef HAVE_XCB
#include <xcb/xcb.h>
#endif
#include <sys/prctl.h>

namespace {

constexpr int kSkipped = 77;
constexpr int kCommandTimeoutMs = 15000;
constexpr int kScreenTimeoutMs = 15000;
const char *const kCaption = "^help file editor V6$";

// Places in the window's client area; no window manager runs, so the window has no frame.
const QPoint kOpenBtn(8 + 36, 8 + 16);
const QPoint kSaveBtn(96 + 36, 8 + 16);
const QPoint kClearBtn(272 + 36, 8 + 16);
const QPoint kLinkBtn(184 + 36, 8 + 16);
const QPoint kHelpBtn(440 + 32, 8 + 16);
// A signal ends the editor within this time, whatever window is up. Built with
// AddressSanitizer, its leak check at exit alone takes 0.2 to 0.4 s, more on a
// busy machine.
#ifdef __SANITIZE_ADDRESS__
constexpr int kEndWithinMs = 3000;
#else
constexpr int kEndWithinMs = 1000;
#endif
const QPoint kOverPage(400, 600);
// The page's first row: helpbox at (8, 48), row 0 at y 5..29, the text from x 5.
const QRect kFirstRow(8 + 2, 48 + 5, 300, 25);
const QRect kMessageLine(8, 864, 801, 25);

// Returns the window rectangle of page row (0 to 30): its 25 pixels over the page's width.
QRect pageRow(int row) { return QRect(8, 48 + 5 + 25 * row, 800, 25); }

QString g_display; // ":N" of the X server the whole test uses

// Child mode: saves a picture of X window wid (decimal) to path; returns the exit code.
int grabWindowTo(const char *wid, const char *path)
{
    int argc = 1;
    char name[] = "grab";
    char *argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(QByteArray(wid).toULongLong());
    return !shot.isNull() && shot.save(QString::fromLocal8Bit(path), "PNG") ? 0 : 1;
}

// Child mode: asks X window wid (decimal) to close, as a window manager's close
// box does; returns the exit code (1 when this build cannot reach the X
// server, 2 when the server refused the message).
int pressCloseBox(const char *wid)
{
#ifdef HAVE_XCB
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    };
    xcb_client_message_event_t ev = {};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = xcb_window_t(QByteArray(wid).toULong());
    ev.type = atom("WM_PROTOCOLS");
    ev.data.data32[0] = atom("WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    // The checked request waits for the server's answer: a connection closed
    // right after a plain flush can lose the message.
    xcb_generic_error_t *error = xcb_request_check(
        c, xcb_send_event_checked(c, 0, ev.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ev)));
    if (error)
        std::printf("the X server refused the message (error %d)\n", int(error->error_code));
    const int status = error ? 2 : 0;
    free(error);
    xcb_disconnect(c);
    return status;
#else
    Q_UNUSED(wid);
    return 1;
#endif
}

// Child mode: prints the sizes of the icons X window wid (decimal) offers the
// window manager (_NET_WM_ICON), one "WxH" a line; returns 1 when this build
// cannot reach the X server.
int printIconSizes(const char *wid)
{
#ifdef HAVE_XCB
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const char name[] = "_NET_WM_ICON";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    xcb_get_property_reply_t *icon =
        atom ? xcb_get_property_reply(c, xcb_get_property(c, 0, xcb_window_t(QByteArray(wid).toULong()), atom->atom,
                                                          XCB_ATOM_CARDINAL, 0, 1 << 20),
                                      nullptr)
             : nullptr;
    // The property is a run of icons, each its width, its height and then its pixels.
    const auto *data = icon ? static_cast<const uint32_t *>(xcb_get_property_value(icon)) : nullptr;
    const int words = icon ? xcb_get_property_value_length(icon) / 4 : 0;
    for (int i = 0; i + 2 <= words && data[i] > 0; i += 2 + int(data[i] * data[i + 1]))
        std::printf("%ux%u\n", data[i], data[i + 1]);
    free(icon);
    free(atom);
    xcb_disconnect(c);
    return 0;
#else
    Q_UNUSED(wid);
    return 1;
#endif
}

bool isCaretColour(QRgb c) { return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90; }
bool isInk(QRgb c) { return qMax(qRed(c), qMax(qGreen(c), qBlue(c))) < 110; }

// Returns the lines of a program's standard error that the program itself wrote.
QStringList ownLines(const QByteArray &err)
{
    QStringList ours;
    for (const QString &line : QString::fromLocal8Bit(err).split(u'\n'))
        if (line.startsWith(QStringLiteral("helpedit:")))
            ours.append(line);
    return ours;
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir dir_; // under /tmp: Qt's own file dialog must stay away from /proc
    QProcess app_;
    QString wid_;
    QString display_ = g_display; // the X server the commands go to

    QProcessEnvironment xEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Dead keys and the compose key need a locale with a compose table; C has none.
        env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), dir_.filePath(QStringLiteral("state")));
        return env;
    }

    struct Outcome {
        bool ok = false; // ran to the end in time and exited with 0
        QString out;
    };
    // Runs a program against the X server and returns how it ended and what it printed.
    Outcome run(const QString &program, const QStringList &args)
    {
        QProcess p;
        tieToTest(p);
        p.setProcessEnvironment(xEnvironment());
        p.start(program, args);
        const bool done = p.waitForFinished(kCommandTimeoutMs);
        stop(p);
        Outcome o;
        o.ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        o.out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        if (!done)
            qWarning("%s %s timed out", qPrintable(program), qPrintable(args.join(u' ')));
        return o;
    }
    bool xdo(const QStringList &args) { return run(QStringLiteral("xdotool"), args).ok; }
    // Returns the first shown window whose name matches, waiting for it; empty on timeout.
    QString waitForWindow(const char *name)
    {
        return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                               QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                               QString::fromLatin1(name)})
            .out.section(u'\n', 0, 0);
    }
    bool windowShown(const char *name)
    {
        return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), QString::fromLatin1(name)})
            .ok;
    }

    bool clickAt(QPoint p)
    {
        return xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), wid_, QString::number(p.x()),
                    QString::number(p.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

    // A screenshot of the editor window, taken by this program's grab mode on the X server.
    QImage screenshot()
    {
        const QString file = dir_.filePath(QStringLiteral("shot.png"));
        QFile::remove(file);
        if (!run(QCoreApplication::applicationFilePath(), {QStringLiteral("--grab"), wid_, file}).ok)
            return {};
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }
    QImage firstRow() { return screenshot().copy(kFirstRow); }

    static int inkPixels(const QImage &row)
    {
        int n = 0;
        for (int y = 0; y < row.height(); ++y)
            for (int x = 0; x < row.width(); ++x)
                n += isInk(row.pixel(x, y));
        return n;
    }
    // Returns how many pixels differ between two rows, leaving out where either shows the caret.
    static int differingPixels(const QImage &a, const QImage &b)
    {
        if (a.size() != b.size())
            return -1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                n += p != q && !isCaretColour(p) && !isCaretColour(q);
            }
        return n;
    }

    // Returns how many windows of the editor's process are mapped now.
    int mappedWindows()
    {
        const Outcome o = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                          QStringLiteral("--pid"), QString::number(app_.processId())});
        return o.out.isEmpty() ? 0 : int(o.out.split(u'\n').size());
    }
    static int caretPixels(const QImage &shot, const QRect &r)
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += isCaretColour(shot.pixel(x, y));
        return n;
    }

    // Types path into a file dialog and presses Return once, while the
    // dialog's completion list shows the names that path begins.
    void confirmWithCompletionShown(const char *title, const QString &path)
    {
        const QString dialog = waitForWindow(title);
        QVERIFY2(!dialog.isEmpty(), title);
        xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), path}));
        // The editor, the dialog and the completion list.
        QTRY_COMPARE_WITH_TIMEOUT(mappedWindows(), 3, kScreenTimeoutMs);
        QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(title), kScreenTimeoutMs);
    }

    // After a dialog closed: only the editor's window is mapped, the first
    // click on the page moves the caret and the first click on LINK reports.
    void nextClicksReachTheEditor(int row)
    {
        QTest::qWait(500); // anything left behind would be mapped by now
        QCOMPARE(mappedWindows(), 1);
        QVERIFY(clickAt(pageRow(row).center()));
        QTRY_VERIFY_WITH_TIMEOUT(caretPixels(screenshot(), pageRow(row)) > 0, kScreenTimeoutMs);
        const QImage before = screenshot().copy(kMessageLine);
        QVERIFY(clickAt(kLinkBtn));
        QTRY_VERIFY_WITH_TIMEOUT(screenshot().copy(kMessageLine) != before, kScreenTimeoutMs);
    }

    // Saves the document through SAVE and its dialog; returns what the file holds.
    QByteArray saveThroughDialog(const QString &path)
    {
        if (!clickAt(kSaveBtn))
            return "(SAVE not clicked)";
        useFileDialog("^Save As$", path);
        QFile saved(path);
        (void)QTest::qWaitFor([&] { return saved.exists(); }, kScreenTimeoutMs);
        return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray("(not saved)");
    }

    // Types path into Qt's file dialog and confirms it. A completion list that
    // took the first Return is gone after it, so Return is repeated while the dialog stays.
    void useFileDialog(const char *title, const QString &path)
    {
        const QString dialog = waitForWindow(title);
        QVERIFY2(!dialog.isEmpty(), title);
        xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), path}));
        for (int i = 0; i < 3 && windowShown(title); ++i) {
            QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Return")}));
            QTest::qWait(500);
        }
        QVERIFY2(!windowShown(title), title);
    }

    // Starts the editor and gives its window the keyboard and the mouse.
    void startEditor(const QStringList &args = {}) { startEditorAs(app_, args, xEnvironment()); }

    // Starts the editor as process p in env and makes its window the one the
    // commands aim at, with the keyboard and the mouse.
    void startEditorAs(QProcess &p, const QStringList &args, const QProcessEnvironment &env)
    {
        stop(p);
        tieToTest(p);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir_.path());
        // What it says on standard error is read by the tests; the rest shows.
        p.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        p.start(QStringLiteral(HELPEDIT_BINARY), args);
        QVERIFY2(p.waitForStarted(5000), HELPEDIT_BINARY);
        wid_ = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--all"),
                                               QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                               QString::number(p.processId()), QStringLiteral("--name"),
                                               QString::fromLatin1(kCaption)})
                   .out.section(u'\n', 0, 0);
        QVERIFY2(!wid_.isEmpty(), "the editor window did not show");
        // Keys go to the focused window; without a window manager the test gives it the focus.
        QVERIFY(xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), wid_}));
        QVERIFY(xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), wid_,
                     QString::number(kOverPage.x()), QString::number(kOverPage.y())}));
    }

    // Types text onto the page and returns once the editor has drawn it.
    void typeOnPage(const QString &text)
    {
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text}));
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(firstRow()) > 30, kScreenTimeoutMs);
        QTest::qWait(300); // the last letters are drawn once the row stops changing
    }

    // Returns how many shown windows have a name that matches.
    int windowsNamed(const char *name)
    {
        const Outcome o = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                          QStringLiteral("--name"), QString::fromLatin1(name)});
        return o.out.isEmpty() ? 0 : int(o.out.split(u'\n').size());
    }

    // Sends sig to the editor, times over, with a modal window up: the editor
    // must end within a second, normally, writing at most one copy.
    void signalEndsEditor(int sig, int times = 1)
    {
        const int copiesBefore = copyCount();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < times; ++i)
            QCOMPARE(::kill(pid_t(app_.processId()), sig), 0);
        QVERIFY2(app_.waitForFinished(kEndWithinMs), "the editor did not end in time");
        qInfo("signal %d: ended after %lld ms", sig, clock.elapsed());
        QCOMPARE(app_.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app_.exitCode(), 0);
        QVERIFY(copyCount() <= copiesBefore + 1);
    }
    int copyCount() const { return int(QDir(stateFolder()).entryList({QStringLiteral("*.hlp")}, QDir::Files).size()); }

    // Writes bytes to a file in the test's folder; returns its path.
    QString writeFile(const char *name, const QByteArray &bytes)
    {
        const QString path = dir_.filePath(QString::fromLatin1(name));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qWarning("cannot write %s", qPrintable(path));
        return path;
    }

    // The newest recovery copy in the editor's state folder, or a note that there is none.
    QByteArray newestRecoveryCopy() const
    {
        const QDir state(stateFolder());
        QFile f(state.filePath(state.entryList({QStringLiteral("*.hlp")}, QDir::Files, QDir::Time).value(0)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no copy)");
    }
    QString stateFolder() const { return dir_.filePath(QStringLiteral("state/helpedit")); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        startEditor();
    }

    void cleanupTestCase() { stop(app_); }

    // Typed text with an Alt accent is saved through SAVE as its Windows-1252
    // bytes, and opened through OPEN shows on the page exactly as it was typed.
    void typedTextSurvivesSaveAndOpen()
    {
        QTRY_COMPARE_WITH_TIMEOUT(inkPixels(firstRow()), 0, kScreenTimeoutMs);
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("ab")}));
        QVERIFY(xdo({QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("key"), QStringLiteral("e"),
                     QStringLiteral("keyup"), QStringLiteral("alt")}));
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(firstRow()) > 30, kScreenTimeoutMs);
        QTest::qWait(300); // the row is complete once it stops changing
        const QImage typed = firstRow();

        const QString path = dir_.filePath(QStringLiteral("saved.hlp"));
        QCOMPARE(saveThroughDialog(path), QByteArray("ab\xEB\r\n"));

        QVERIFY(clickAt(kClearBtn));
        QTRY_COMPARE_WITH_TIMEOUT(inkPixels(firstRow()), 0, kScreenTimeoutMs);

        QVERIFY(clickAt(kOpenBtn));
        useFileDialog("^Open$", path);
        QTRY_COMPARE_WITH_TIMEOUT(differingPixels(firstRow(), typed), 0, kScreenTimeoutMs);
    }

    // Dead keys on the French and German layouts type the composed letters, and
    // AltGr characters keep working.
    void deadKeysTypeComposedLetters()
    {
        QVERIFY(clickAt(kClearBtn));
        QTRY_COMPARE_WITH_TIMEOUT(inkPixels(firstRow()), 0, kScreenTimeoutMs);
        QVERIFY(xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), wid_,
                     QString::number(kOverPage.x()), QString::number(kOverPage.y())}));
        struct LayoutGuard {
            TestEndToEnd &t;
            ~LayoutGuard() { t.run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }
        } guard{*this};
        const QString level3 = QStringLiteral("ISO_Level3_Shift");
        QVERIFY(run(QStringLiteral("setxkbmap"), {QStringLiteral("fr")}).ok);
        QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("dead_circumflex"), QStringLiteral("e"),
                     QStringLiteral("dead_diaeresis"), QStringLiteral("i")}));
        QVERIFY(run(QStringLiteral("setxkbmap"), {QStringLiteral("de")}).ok);
        QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("dead_acute"), QStringLiteral("e"),
                     QStringLiteral("dead_grave"), QStringLiteral("a")}));
        // AltGr with the key that carries the backslash, then AltGr with E.
        QVERIFY(xdo({QStringLiteral("keydown"), level3, QStringLiteral("key"), QStringLiteral("ssharp"),
                     QStringLiteral("key"), QStringLiteral("e"), QStringLiteral("keyup"), level3}));
        QVERIFY(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}).ok);
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(firstRow()) > 30, kScreenTimeoutMs);

        const QString path = dir_.filePath(QStringLiteral("accents.hlp"));
        QCOMPARE(saveThroughDialog(path), QByteArray("\xEA\xEF\xE9\xE0\x5C\x80\r\n"));
    }

    // Confirming either file dialog while its completion list shows leaves no
    // window behind, and the very next clicks reach the editor.
    void fileDialogsLeaveNothingBehind()
    {
        QByteArray text;
        for (int i = 1; i <= 8; ++i)
            text += "line " + QByteArray::number(i) + "\r\n";
        const QString doc = dir_.filePath(QStringLiteral("eight.hlp"));
        const QString copy = dir_.filePath(QStringLiteral("copy.hlp"));
        for (const QString &path : {doc, copy + QStringLiteral(".old")}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        }
        QVERIFY(clickAt(kOpenBtn));
        // "eight.hlp" is completed from its own beginning.
        confirmWithCompletionShown("^Open$", doc);
        if (QTest::currentTestFailed())
            return;
        nextClicksReachTheEditor(4);
        if (QTest::currentTestFailed())
            return;

        QVERIFY(clickAt(kSaveBtn));
        // "copy.hlp" is new; the list offers "copy.hlp.old".
        confirmWithCompletionShown("^Save As$", copy);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy), kScreenTimeoutMs);
        nextClicksReachTheEditor(6);
        QFile saved(copy);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), text);
    }

    // Closing through the close box keeps the unsaved text and says where; the
    // next start tells of it once.
    void closeBoxKeepsUnsavedText()
    {
        QVERIFY(clickAt(kClearBtn));
        QTRY_COMPARE_WITH_TIMEOUT(inkPixels(firstRow()), 0, kScreenTimeoutMs);
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                     QStringLiteral("kept by close")}));
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(firstRow()) > 30, kScreenTimeoutMs);
        app_.readAllStandardError();
        const Outcome pressed = run(QCoreApplication::applicationFilePath(), {QStringLiteral("--close"), wid_});
        if (!pressed.ok && pressed.out.isEmpty())
            QSKIP("no way to press the close box here");
        QVERIFY2(pressed.ok, qPrintable(pressed.out));
        QVERIFY(app_.waitForFinished(kScreenTimeoutMs));
        QCOMPARE(app_.exitCode(), 0);
        QCOMPARE(newestRecoveryCopy(), QByteArray("kept by close\r\n"));
        QVERIFY(QString::fromLocal8Bit(app_.readAllStandardError()).contains("unsaved text kept in " + stateFolder()));

        startEditor();
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(screenshot().copy(kMessageLine)) > 0, kScreenTimeoutMs);
        startEditor();
        QTest::qWait(500);
        QCOMPARE(inkPixels(screenshot().copy(kMessageLine)), 0);
    }

    // Asked to end by a signal (a logout, kill, Ctrl+C), the editor keeps
    // what was typed at once; killed outright, what was typed a few seconds before.
    void endedEditorLeavesTypedText()
    {
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                     QStringLiteral("ended by a signal")}));
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(firstRow()) > 30, kScreenTimeoutMs);
        QTest::qWait(300); // the last letters are typed once the row stops changing
        app_.terminate(); // SIGTERM
        QVERIFY(app_.waitForFinished(kCommandTimeoutMs));
        QCOMPARE(app_.exitStatus(), QProcess::NormalExit);
        QCOMPARE(newestRecoveryCopy(), QByteArray("ended by a signal\r\n"));

        startEditor();
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                     QStringLiteral("survives a kill")}));
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(firstRow()) > 30, kScreenTimeoutMs);
        QTest::qWait(3000);
        const QImage typed = firstRow();
        app_.kill(); // SIGKILL: nothing runs in the editor after it
        QVERIFY(app_.waitForFinished(kCommandTimeoutMs));
        QCOMPARE(newestRecoveryCopy(), QByteArray("survives a kill\r\n"));

        // --recover brings it back onto the page, as the row typed before.
        startEditor({QStringLiteral("--recover")});
        QTRY_COMPARE_WITH_TIMEOUT(differingPixels(firstRow(), typed), 0, kScreenTimeoutMs);
    }

    // A signal with the start-up error box up (a file in a folder that does
    // not exist) ends the editor at once; nothing was typed, nothing is kept.
    void signalEndsStartUpErrorBox()
    {
        const int copiesBefore = copyCount();
        startEditor({dir_.filePath(QStringLiteral("no-such-folder/topic.hlp"))});
        QVERIFY(!waitForWindow("^helpedit$").isEmpty());
        signalEndsEditor(SIGTERM);
        QCOMPARE(copyCount(), copiesBefore);
    }

    // An error box over typed text (OPEN of a file too long for the page),
    // then a hang-up: the text is kept.
    void signalEndsErrorBox()
    {
        const QString tooLong = writeFile("too-long.hlp", QByteArray("x\r\n").repeated(1001));
        startEditor();
        typeOnPage(QStringLiteral("kept from an error box"));
        QVERIFY(clickAt(kOpenBtn));
        useFileDialog("^Open$", tooLong);
        QVERIFY(!waitForWindow("^helpedit$").isEmpty());
        signalEndsEditor(SIGHUP);
        QCOMPARE(newestRecoveryCopy(), QByteArray("kept from an error box\r\n"));
    }

    // SAVE over a file that exists asks before replacing it; Ctrl+C then
    // keeps the text in a copy and leaves the file as it was.
    void signalEndsReplaceQuestion()
    {
        const QString existing = writeFile("existing.hlp", "old text\r\n");
        startEditor();
        typeOnPage(QStringLiteral("kept from the replace question"));
        QVERIFY(clickAt(kSaveBtn));
        const QString dialog = waitForWindow("^Save As$");
        QVERIFY(!dialog.isEmpty());
        xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), existing}));
        // The question has the dialog's title; a completion list may take the first Return.
        for (int i = 0; i < 3 && windowsNamed("^Save As$") < 2; ++i) {
            QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Return")}));
            QTest::qWait(300);
        }
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed("^Save As$"), 2, kScreenTimeoutMs);
        signalEndsEditor(SIGINT);
        QCOMPARE(newestRecoveryCopy(), QByteArray("kept from the replace question\r\n"));
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old text\r\n"));
    }

    // Two signals in a row with the file dialog up: one copy, no crash.
    void twoSignalsEndFileDialog()
    {
        // Counted before typing: on a busy machine the keeper's own copy may come
        // before the signal, and the signal's then replaces it.
        const int copiesBefore = copyCount();
        startEditor();
        typeOnPage(QStringLiteral("kept from a file dialog"));
        QVERIFY(clickAt(kOpenBtn));
        QVERIFY(!waitForWindow("^Open$").isEmpty());
        signalEndsEditor(SIGTERM, 2);
        QCOMPARE(copyCount(), copiesBefore + 1);
        QCOMPARE(newestRecoveryCopy(), QByteArray("kept from a file dialog\r\n"));
    }

    // The help viewer is modal too.
    void signalEndsHelpViewer()
    {
        startEditor();
        typeOnPage(QStringLiteral("kept from the help viewer"));
        QVERIFY(clickAt(kHelpBtn));
        QVERIFY(!waitForWindow("^help$").isEmpty());
        signalEndsEditor(SIGTERM);
        QCOMPARE(newestRecoveryCopy(), QByteArray("kept from the help viewer\r\n"));
    }

    // The display lost (an X server of this test's own, killed) right after
    // typing: the toolkit ends the process, and the text typed is kept on the
    // way out. An editor whose state folder cannot be made says in one line
    // what was lost.
    void lostDisplayKeepsTypedText()
    {
        stop(app_);
        QProcess server;
        const QString display = startXServer(server);
        QVERIFY2(!display.isEmpty(), "a second X server did not start");
        struct DisplayGuard {
            TestEndToEnd &t;
            ~DisplayGuard() { t.display_ = g_display; }
        } guard{*this};
        display_ = display;

        const QString blocker = writeFile("state-blocker", "a file where a folder should be");
        QProcessEnvironment blocked = xEnvironment();
        blocked.insert(QStringLiteral("XDG_STATE_HOME"), blocker);
        QProcess unkept;
        startEditorAs(unkept, {}, blocked);
        typeOnPage(QStringLiteral("nowhere to go"));
        startEditor();
        const int copiesBefore = copyCount();
        QElapsedTimer sinceTyped;
        typeOnPage(QStringLiteral("kept as the display goes"));
        sinceTyped.start();
        // The keeper writes after 1.5 s of quiet: a copy now would be its, not the exit's.
        const bool beforeKeeper = sinceTyped.elapsed() < 1000 && copyCount() == copiesBefore;
        server.kill();
        server.waitForFinished(kCommandTimeoutMs);
        QVERIFY(app_.waitForFinished(kCommandTimeoutMs));
        QVERIFY(unkept.waitForFinished(kCommandTimeoutMs));
        if (!beforeKeeper)
            qWarning("the machine was too slow to tell the exit's copy from the keeper's");
        QCOMPARE(copyCount(), copiesBefore + 1);
        QCOMPARE(newestRecoveryCopy(), QByteArray("kept as the display goes\r\n"));
        QVERIFY(QString::fromLocal8Bit(app_.readAllStandardError()).contains("helpedit: unsaved text kept in " + stateFolder()));

        const QStringList ours = ownLines(unkept.readAllStandardError());
        QCOMPARE(ours.size(), 1);
        QVERIFY2(ours[0].startsWith("helpedit: unsaved text lost (1 line, the first with text: \"nowhere to go\"): "
                                    "a file is in the way: " + blocker),
                 qPrintable(ours[0]));
    }

    // `helpedit FILE` for a file not there yet: an empty page, the message
    // line says so (no error box), and SAVE's dialog offers that name. The
    // window has its icon.
    void newFileByName()
    {
        const QString path = dir_.filePath(QStringLiteral("new-topic.hlp"));
        startEditor({QStringLiteral("new-topic.hlp")});
        QTRY_VERIFY_WITH_TIMEOUT(inkPixels(screenshot().copy(kMessageLine)) > 0, kScreenTimeoutMs);
        // The window offers the window manager its own icon, at the usual sizes.
        const Outcome icons = run(QCoreApplication::applicationFilePath(), {QStringLiteral("--icon-sizes"), wid_});
        if (icons.ok) {
            for (const char *size : {"16x16", "32x32", "48x48", "64x64"})
                QVERIFY2(icons.out.split(u'\n').contains(QLatin1String(size)), qPrintable(icons.out));
        }
        QTest::qWait(300);
        QCOMPARE(mappedWindows(), 1);
        QVERIFY(!QFile::exists(path));
        typeOnPage(QStringLiteral("new topic"));
        QVERIFY(clickAt(kSaveBtn));
        const QString dialog = waitForWindow("^Save As$");
        QVERIFY(!dialog.isEmpty());
        xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
        QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), kScreenTimeoutMs);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("new topic\r\n"));
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--grab") == 0)
        return grabWindowTo(argv[2], argv[3]);
    if (argc == 3 && qstrcmp(argv[1], "--close") == 0)
        return pressCloseBox(argv[2]);
    if (argc == 3 && qstrcmp(argv[1], "--icon-sizes") == 0)
        return printIconSizes(argv[2]);
    QCoreApplication app(argc, argv);
    QProcess xvfb;
    g_display = startXServer(xvfb);
    if (g_display.isEmpty()) {
        qWarning("skipped: no X server could be started (Xvfb: %s)", qPrintable(xvfb.errorString()));
        stop(xvfb);
        return kSkipped;
    }
    TestEndToEnd test;
    const int failures = QTest::qExec(&test, argc, argv);
    stop(xvfb);
    return failures;
}

#include "test_e2e.moc"
