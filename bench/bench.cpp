// Times the editor against a mainstream text widget (QPlainTextEdit with the same
// text and font) on the same work, in one process, and start-up and peak memory
// of the whole program against a bare Qt widget program. Prints a table of
// medians with the ratio peer/ours and whether each target holds.

#include "workload.h"

#include "app/mainwindow.h"
#include "app/accessibility.h"
#include "base/cp1252.h"
#include "fileio/helpfile.h"
#include "publish/htmlexport.h"
#include "render/fontbook.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCursorLine = 15;
constexpr int kCursorColumn = 60;

// Returns the median of samples.
double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

// Delivers whatever else was posted, as the event loop would between two
// user actions; untimed, so that no queue grows over the repetitions.
void settle()
{
    QCoreApplication::sendPostedEvents();
}

// Returns the median time in microseconds of work over reps runs, each after an
// untimed setup; a few warm-up runs come first.
double medianMicros(int reps, const std::function<void()> &setup, const std::function<void()> &work)
{
    std::vector<double> samples;
    for (int i = -3; i < reps; ++i) {
        setup();
        settle();
        const auto t0 = Clock::now();
        work();
        const auto t1 = Clock::now();
        if (i >= 0)
            samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    return median(samples);
}

// Puts every pending dirty region on the screen now, through the paint events.
void paintNow()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}


// Shows widget and waits until the window system has exposed it.
void showExposed(QWidget &widget)
{
    widget.show();
    QElapsedTimer t;
    t.start();
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

// Sends a key press and release to widget, as the window system would.
void sendKey(QWidget *widget, int key, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &release);
}

// Counts the paint events a widget receives, to check that each timed step paints.
class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

QByteArray denseFile()
{
    QList<QByteArray> lines;
    for (int n = 1; n <= 1000; ++n)
        lines.append(bench::denseLine(n, n == kCursorLine ? 119 : 120));
    return fileio::serializeHelpFile(lines);
}

struct Figures {
    double keystroke = 0, keystrokeFull = 0, caret = 0, page = 0, open = 0, scroll = 0;
    double keystrokeReader = 0; // ours only: a keystroke with a screen reader listening
};

// Times scrolling by one line from the top of the document, in runs of ten
// lines down and ten back up as a reader turns the wheel, so that the page
// stays near where it is; scrollOne(down) does one line and its paint.
double measureScroll(const std::function<void(bool down)> &scrollOne)
{
    int turn = -1;
    bool down = false;
    const auto next = [&] {
        if (++turn % 10 == 0)
            down = !down;
    };
    return medianMicros(300, next, [&] { scrollOne(down); paintNow(); });
}

// Times typing into the middle of the cursor line of target and moving the
// caret along it; `full` is the widget a forced full repaint redraws.
void measureKeys(QWidget *target, QWidget *full, Figures &f)
{
    bool typed = false;
    auto type = [&] {
        sendKey(target, Qt::Key_A, QStringLiteral("a"));
        typed = true;
    };
    auto undo = [&] {
        if (typed)
            sendKey(target, Qt::Key_Backspace, QStringLiteral("\b"));
        typed = false;
        paintNow();
    };
    f.keystroke = medianMicros(300, undo, [&] { type(); paintNow(); });
    f.keystrokeFull = medianMicros(300, undo, [&] { type(); full->repaint(); });
    undo();
    f.caret = medianMicros(300, [&] { sendKey(target, Qt::Key_Left); paintNow(); },
                           [&] { sendKey(target, Qt::Key_Right); paintNow(); });
}

// Turns the wheel by one notch over the middle of the editor's page.
void turnWheel(app::MainWindow &form, bool down)
{
    const QPoint middle = form.helpbox()->mapToGlobal(QPoint(400, 400));
    QWheelEvent e(QPointF(400, 400), QPointF(middle), {}, {0, down ? -120 : 120}, Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form.helpbox(), &e);
}

// Times a keystroke as a listening screen reader has it: typed, painted, and
// the text's edit and the caret's offset worked out for the reader (what Qt's
// bridge then sends over the bus is not in it; offscreen it sends nothing).
double measureKeyWithReader(app::MainWindow &form)
{
    app::EditorAccessibility &reader = form.accessibility();
    reader.takeNews(); // the first reads the whole document
    const auto undo = [&] {
        sendKey(&form, Qt::Key_Backspace, QStringLiteral("\b"));
        reader.takeNews();
        paintNow();
    };
    bool typed = false;
    const double micros = medianMicros(300, [&] { if (typed) undo(); }, [&] {
        sendKey(&form, Qt::Key_A, QStringLiteral("a"));
        typed = !reader.takeNews().changes.empty();
        paintNow();
    });
    if (typed)
        undo();
    return micros;
}

// Runs the four in-process measures against the editor window, shown at a
// window scale (below 1 as on a screen too small for it).
Figures measureOurs(const QString &densePath, const QString &linkedPath, double scale = 1.0)
{
    app::MainWindow form;
    showExposed(form);
    if (scale != 1.0)
        form.applyWindowScale(scale);
    PaintCounter paints;
    form.helpbox()->installEventFilter(&paints);
    Figures f;
    form.openFile(densePath);
    doc::EditorState &s = form.editor().state();
    s.cursorLine = kCursorLine;
    s.cursorColumn = kCursorColumn;
    form.pageView().repaintPage();
    paintNow();
    measureKeys(&form, form.helpbox(), f);
    f.keystrokeReader = measureKeyWithReader(form);
    f.page = medianMicros(200, [] {}, [&] { form.pageView().repaintPage(); paintNow(); });
    f.scroll = measureScroll([&](bool down) { turnWheel(form, down); });
    f.open = medianMicros(40, [] {}, [&] { form.openFile(linkedPath); paintNow(); });
    if (paints.count < 1000)
        std::printf("warning: the editor painted only %d times\n", paints.count);
    return f;
}

// Runs the same four measures against QPlainTextEdit with the same text and font,
// its lines wrapped at the widget's width or each kept on one row as our page does.
Figures measurePeer(const QString &densePath, const QString &linkedPath,
                    QPlainTextEdit::LineWrapMode wrap)
{
    QPlainTextEdit edit;
    edit.resize(800, 800);
    edit.setLineWrapMode(wrap);
    edit.setFont(render::fontFace(QStringLiteral("arial"), 20, false, false).font);
    auto load = [&](const QString &path) {
        edit.setPlainText(base::decodeCp1252(fileio::readFileBytes(path)));
    };
    load(densePath);
    showExposed(edit);
    PaintCounter paints;
    edit.viewport()->installEventFilter(&paints);
    Figures f;
    QTextCursor c(edit.document()->findBlockByNumber(kCursorLine - 1));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, kCursorColumn - 1);
    edit.setTextCursor(c);
    paintNow();
    measureKeys(&edit, edit.viewport(), f);
    f.page = medianMicros(200, [] {}, [&] { edit.viewport()->update(); paintNow(); });
    f.scroll = measureScroll([&](bool down) {
        QScrollBar *bar = edit.verticalScrollBar();
        bar->setValue(bar->value() + (down ? 1 : -1));
    });
    f.open = medianMicros(40, [] {}, [&] { load(linkedPath); paintNow(); });
    if (paints.count < 1000)
        std::printf("warning: the peer painted only %d times\n", paints.count);
    return f;
}

// Which editor a child run of this program times.
enum class Editor { Ours, Peer };
// Where a child run of this program draws: the screen's pixel ratio and the
// window's scale, and which editor it times (the peer only at scale 1).
struct Setting {
    int ratio;
    double scale;
    Editor editor = Editor::Ours;
};
// The figures a child run reports, in microseconds; -1 when it could not run.
struct ChildFigures {
    double page = -1;
    double keystroke = -1;
};

// Runs this program again at setting and returns its full page and keystroke figures.
ChildFigures figuresAt(Setting setting)
{
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(setting.ratio));
    proc.setProcessEnvironment(env);
    const QString mode = setting.editor == Editor::Ours ? QStringLiteral("--page-figure")
                                                        : QStringLiteral("--peer-page-figure");
    proc.start(QCoreApplication::applicationFilePath(), {mode, QString::number(setting.scale)});
    if (!proc.waitForFinished(120000))
        return {};
    const QList<QByteArray> numbers = proc.readAllStandardOutput().simplified().split(' ');
    bool pageOk = false, keyOk = false;
    const double page = numbers.value(0).toDouble(&pageOk);
    const double key = numbers.value(1).toDouble(&keyOk);
    return pageOk && keyOk ? ChildFigures{page, key} : ChildFigures{};
}

// Returns the medians of the figures at settings a and b, each process run in
// turn with the other so that both see the machine at the same speed.
std::pair<ChildFigures, ChildFigures> figuresInTurn(int runs, Setting a, Setting b)
{
    std::vector<double> pages[2], keys[2];
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const ChildFigures f = figuresAt(k == 0 ? a : b);
            pages[k].push_back(f.page);
            keys[k].push_back(f.keystroke);
        }
    }
    return {{median(pages[0]), median(keys[0])}, {median(pages[1]), median(keys[1])}};
}

struct Process {
    double millis = 0;
    double peakKb = 0;
};

// Runs each program alternately, timing the whole process to its exit after the
// first paint; returns the medians of time and peak memory per program.
std::pair<Process, Process> measureStartup(const QString &ours, const QString &bare, int runs)
{
    std::vector<double> times[2], peaks[2];
    const QString programs[2] = {ours, bare};
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            QProcess proc;
            QElapsedTimer t;
            t.start();
            proc.start(programs[k], {});
            proc.waitForFinished(30000);
            times[k].push_back(t.nsecsElapsed() / 1e6);
            const QByteArray out = proc.readAllStandardOutput();
            const int at = out.indexOf("VmHWM ");
            peaks[k].push_back(at < 0 ? -1 : out.mid(at + 6).trimmed().toDouble());
        }
    }
    return {{median(times[0]), median(peaks[0])}, {median(times[1]), median(peaks[1])}};
}

// Prints one row of the table; a peer of 0 means that the row has none.
void row(const char *what, double ours, double peer, const char *unit, const char *target, bool holds)
{
    if (peer <= 0) {
        std::printf("| %-34s | %10.1f | %10s | %4s | %6s | %-30s | %-4s |\n", what, ours, "-", unit, "-", target,
                    holds ? "yes" : "NO");
        return;
    }
    std::printf("| %-34s | %10.1f | %10.1f | %4s | %6.2f | %-30s | %-4s |\n", what, ours, peer, unit,
                peer / ours, target, holds ? "yes" : "NO");
}

// Returns the median time in milliseconds of exporting the file as a web page
// in the process: reading it, laying out the page and writing it.
double measureExport(const QString &path, const QString &outDir)
{
    QString sink;
    QTextStream out(&sink);
    return medianMicros(15, [&sink] { sink.clear(); },
                        [&] { publish::exportHtml({path}, outDir, out, out); }) / 1000;
}

// Repeats one of our measures (page, key, scroll, open, export) n times without the table,
// for a profiler to watch.
int loopOurs(const QString &what, int n, const QString &densePath, const QString &linkedPath)
{
    app::MainWindow form;
    showExposed(form);
    form.openFile(densePath);
    doc::EditorState &s = form.editor().state();
    s.cursorLine = kCursorLine;
    s.cursorColumn = kCursorColumn;
    for (int i = 0; i < n; ++i) {
        if (what == QLatin1String("page")) {
            form.pageView().repaintPage();
        } else if (what == QLatin1String("key")) {
            sendKey(&form, Qt::Key_A, QStringLiteral("a"));
            paintNow();
            sendKey(&form, Qt::Key_Backspace, QStringLiteral("\b"));
        } else if (what == QLatin1String("scroll")) {
            turnWheel(form, i / 10 % 2 == 0);
        } else if (what == QLatin1String("open")) {
            form.openFile(linkedPath);
        } else if (what == QLatin1String("export")) {
            QString sink;
            QTextStream out(&sink);
            publish::exportHtml({linkedPath}, QFileInfo(linkedPath).absolutePath() + QStringLiteral("/site"), out, out);
        } else {
            return 2;
        }
        paintNow();
    }
    return 0;
}

// Every figure of the table.
struct Table {
    Figures ours, peer, wrapped;
    double exportMillis = 0;
    ChildFigures atRatio1, atRatio2, oursAtRatio2, peerAtRatio2, atScale1, atScale08;
    Process editor, bare;
};

// Takes every figure of the table on the dense and the linked file.
Table measureAll(const QString &densePath, const QString &linkedPath, const QString &siteDir)
{
    Table t;
    t.ours = measureOurs(densePath, linkedPath);
    // Without wrapping the peer shows the same 120-character lines one per row,
    // clipped at the right edge, as the page does: that is the same work. Its
    // default wraps each line into about two rows and so shows half the text;
    // those figures are printed too.
    t.peer = measurePeer(densePath, linkedPath, QPlainTextEdit::NoWrap);
    t.wrapped = measurePeer(densePath, linkedPath, QPlainTextEdit::WidgetWidth);
    t.exportMillis = measureExport(linkedPath, siteDir);
    std::tie(t.atRatio1, t.atRatio2) = figuresInTurn(5, {1, 1.0}, {2, 1.0});
    std::tie(t.oursAtRatio2, t.peerAtRatio2) = figuresInTurn(5, {2, 1.0}, {2, 1.0, Editor::Peer});
    std::tie(t.atScale1, t.atScale08) = figuresInTurn(5, {1, 1.0}, {1, 0.8});
    const QString binDir = QCoreApplication::applicationDirPath();
    std::tie(t.editor, t.bare) = measureStartup(binDir + QStringLiteral("/bench_startup"),
                                                binDir + QStringLiteral("/bench_bare"), 15);
    return t;
}

// Prints the rows of the editing figures: keys, caret, page, open, export, scroll.
void printEditingRows(const Table &t)
{
    const Figures &ours = t.ours, &peer = t.peer;
    // The keystroke target compares our dirty-region paint with the peer's
    // keystroke plus full viewport repaint; the two rows after it compare like with like.
    row("keystroke; peer + viewport repaint", ours.keystroke, peer.keystrokeFull, "us",
        "<= 50 us, >= 20x peer", ours.keystroke <= 50 && peer.keystrokeFull >= 20 * ours.keystroke);
    row("keystroke, dirty region, both", ours.keystroke, peer.keystroke, "us", "(information)", true);
    row("keystroke + full widget repaint", ours.keystrokeFull, peer.keystrokeFull, "us",
        "(information)", true);
    row("caret Right to pixels", ours.caret, peer.caret, "us", "(information)", true);
    row("keystroke, reader listening; ours", ours.keystrokeReader, ours.keystroke, "us",
        "(information)", true);
    row("full dense page repaint", ours.page, peer.page, "us", "<= 1000 us, >= 2.5x peer",
        ours.page <= 1000 && peer.page >= 2.5 * ours.page);
    row("open 1000x120, 50 links, paint", ours.open, peer.open, "us", "<= 5000 us, faster than peer",
        ours.open <= 5000 && peer.open > ours.open);
    row("web page of 1000x120, 50 links", t.exportMillis, 0, "ms", "<= 20 ms per file", t.exportMillis <= 20);
    row("scroll one line (wheel)", ours.scroll, peer.scroll, "us", "<= 150 us, faster than peer",
        ours.scroll <= 150 && peer.scroll > ours.scroll);
}

// Prints the rows of the screens: ratio 2 and a fitted scale.
void printScreenRows(const Table &t)
{
    // Against our own page at ratio 1: four times the pixels.
    row("full page at ratio 2; ours at 1", t.atRatio2.page, t.atRatio1.page, "us", "<= 4x ratio 1",
        t.atRatio1.page > 0 && t.atRatio2.page > 0 && t.atRatio2.page <= 4 * t.atRatio1.page);
    // Like for like: both pages at ratio 2, each child run in turn with the other.
    row("full page at ratio 2; peer at 2", t.oursAtRatio2.page, t.peerAtRatio2.page, "us", ">= 2.5x peer",
        t.oursAtRatio2.page > 0 && t.peerAtRatio2.page >= 2.5 * t.oursAtRatio2.page);
    // A window fitted to a laptop's screen: two thirds of the pixels, the
    // same characters; it is held to the full page's own target.
    row("full page, fitted scale 0.8; at 1", t.atScale08.page, t.atScale1.page, "us", "<= 1000 us",
        t.atScale08.page > 0 && t.atScale08.page <= 1000);
    row("keystroke, fitted scale 0.8; at 1", t.atScale08.keystroke, t.atScale1.keystroke, "us", "<= 50 us",
        t.atScale08.keystroke > 0 && t.atScale08.keystroke <= 50);
}

// Prints the whole table.
void printTable(const Table &t)
{
    std::printf("| %-34s | %10s | %10s | %4s | %6s | %-30s | %-4s |\n", "measure (median)", "ours",
                "peer/bare", "unit", "ratio", "target", "held");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", "------------------------------------", "------------",
                "------------", "------", "--------", "--------------------------------", "------");
    printEditingRows(t);
    printScreenRows(t);
    row("peer wrapping: key + viewport", t.ours.keystroke, t.wrapped.keystrokeFull, "us",
        "(information)", true);
    row("peer wrapping: full page repaint", t.ours.page, t.wrapped.page, "us", "(information)", true);
    row("peer wrapping: open, paint", t.ours.open, t.wrapped.open, "us", "(information)", true);
    row("start-up to first paint (process)", t.editor.millis, t.bare.millis, "ms", "<= 1.2x bare",
        t.editor.millis <= 1.2 * t.bare.millis);
    row("peak memory VmHWM", t.editor.peakKb / 1024, t.bare.peakKb / 1024, "MB", "<= bare + 10 MB",
        t.editor.peakKb <= t.bare.peakKb + 10 * 1024);
}

// Makes the offscreen screen one that holds the window, its configuration in dir.
void useDeskScreen(const QTemporaryDir &dir)
{
    // The offscreen screen is 800 x 600 unless told otherwise: the started
    // editor would shrink to fit it. A screen that holds the window keeps the
    // start-up figure the window's own; the fitted scale has a row of its own.
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen"))
        return;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (f.open(QIODevice::WriteOnly))
        f.write(R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1920, "height": 1200, "logicalDpi": 96}]})");
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
}

// Runs the one measure args ask a child run for; returns its exit status, or -1 when args ask for none.
int runChildMode(const QStringList &args, const QString &densePath, const QString &linkedPath, const QString &siteDir)
{
    if (args.size() == 4 && args[1] == QLatin1String("--loop"))
        return loopOurs(args[2], args[3].toInt(), densePath, linkedPath);
    if (args.size() == 2 && args[1] == QLatin1String("--export-figure")) {
        std::printf("%.2f\n", measureExport(linkedPath, siteDir));
        return 0;
    }
    const bool ours = args.size() == 3 && args[1] == QLatin1String("--page-figure");
    if (!ours && !(args.size() == 3 && args[1] == QLatin1String("--peer-page-figure")))
        return -1;
    const Figures f = ours ? measureOurs(densePath, linkedPath, args[2].toDouble())
                           : measurePeer(densePath, linkedPath, QPlainTextEdit::NoWrap);
    std::printf("%.1f %.1f\n", f.page, f.keystroke);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    useDeskScreen(dir);
    QApplication a(argc, argv);
    const QString densePath = dir.filePath(QStringLiteral("dense.hlp"));
    const QString linkedPath = dir.filePath(QStringLiteral("linked.hlp"));
    const QString siteDir = dir.filePath(QStringLiteral("site"));
    fileio::writeFileBytes(densePath, denseFile());
    fileio::writeFileBytes(linkedPath, fileio::serializeHelpFile(bench::linkedDocument()));
    const int status = runChildMode(QCoreApplication::arguments(), densePath, linkedPath, siteDir);
    if (status >= 0)
        return status;
    printTable(measureAll(densePath, linkedPath, siteDir));
    return 0;
}
