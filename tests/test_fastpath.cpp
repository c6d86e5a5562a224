// The fast drawing path (cached glyphs drawn in runs, cached faces) against the
// plain path (one text call and one face look-up per character): every pixel of
// every line and every column position must be the same, at device pixel ratios
// 1, 1.5 and 2, and 0.8 and 0.5 (a window shown smaller to fit its screen), and
// so must a page moved line by line and drawn afresh. Sections, in order:
//   helpers            blank pages, random markup, every byte in every style, the
//                      examples, a line source that counts its reads, a render scene
//   the two paths      the help text, every byte, random markup, the examples
//   pages              drawn over each other, scrolled, moved a long way one way
//   the move's record  changes the image missed, a fixed text moved row by row
//   range errors       a failed range check leaves the same pixels

#include "document/editor.h"
#include "fileio/helpfile.h"
#include "helpview/helptext.h"
#include "render/colors.h"
#include "render/devicepixels.h"
#include "render/glyphs.h"
#include "render/pagerenderer.h"
#include "render/stylemachine.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

using namespace render;
using namespace markup;

namespace {

constexpr int kRowTop = 5;
const double kRatios[] = {1.0, 1.5, 2.0, 0.8, 0.5};

// Returns a cleared page image of 800 x 800 logical pixels at ratio.
QImage blankPage(double ratio)
{
    QImage img(toDevice(800, ratio), toDevice(800, ratio), QImage::Format_RGB32);
    img.fill(bgr(kPageColor));
    return img;
}

// Returns a random line of bytes from 32 up to below byteLimit in which about
// one byte in four starts an escape, mostly a known code.
QByteArray randomMarkupLine(QRandomGenerator &rng, int byteLimit = 256)
{
    static const char codes[] = "ncfilhpsmt[@#NCFI \\;x";
    QByteArray line;
    const int length = int(rng.bounded(1, 121));
    while (line.size() < length) {
        if (rng.bounded(4) == 0) {
            line += '\\';
            line += codes[rng.bounded(int(sizeof(codes) - 1))];
        } else {
            line += char(rng.bounded(32, byteLimit));
        }
    }
    line.truncate(length);
    return line;
}

// Every byte from 1 to 255, under style prefixes that reach each face, with
// and without cell backgrounds and boxes.
QList<QByteArray> everyByteInEveryStyle()
{
    const QByteArray styles[] = {"",     "\\c",   "\\f",     "\\i",     "\\f\\i",  "\\l", "\\p",
                                 "\\s",  "\\h",   "\\c\\f",  "\\c\\i",  "\\c\\l\\f\\i", "\\m",
                                 "\\n",  "\\[",   "\\m\\i\\[", "\\n\\c\\h", "\\p\\f\\i\\m"};
    QList<QByteArray> lines;
    for (const QByteArray &style : styles) {
        for (int first = 1; first < 256; first += 40) {
            QByteArray line = style;
            for (int b = first; b < first + 40 && b < 256; ++b)
                line += char(b);
            lines.append(line);
        }
    }
    return lines;
}

QList<QByteArray> exampleLines()
{
    QList<QByteArray> lines;
    const QDir dir(QStringLiteral(HELPEDIT_SOURCE_DIR "/examples"));
    for (const QString &name : dir.entryList({QStringLiteral("*.hlp")}, QDir::Files))
        lines += fileio::parseHelpFile(fileio::readFileBytes(dir.filePath(name)));
    return lines;
}

// The lines of grid, counting each line read: the renderer reads a line for
// every row it draws, so a page drawn afresh reads all 31 and a page moved by
// one row reads its new line and the lines it draws again.
struct CountedLines {
    explicit CountedLines(const doc::TextGrid &grid) : source(gridLines(grid))
    {
        source.text = [this, &grid](int line) {
            ++reads;
            return grid.getLine(line);
        };
    }
    LineSource source;
    int reads = 0;
};

// A renderer of the editor's kind over a grid of its own, counting the lines it reads.
struct RenderScene {
    doc::TextGrid grid;
    doc::EditorState state;
    CountedLines lines{grid};
    PageRenderer renderer{lines.source, RowClearing::WholePage};
};

} // namespace

class TestFastPath : public QObject {
    Q_OBJECT

    QImage pointer_ = createPointerGlyph();
    QImage marker_ = createMarkerGlyph();
    StyleMachine fast_{pointer_, marker_};
    StyleMachine plain_{pointer_, marker_};

    // Draws lines one under another on one page, as the page view does.
    QImage page(StyleMachine &m, const QList<QByteArray> &lines, DisplayMode mode)
    {
        QImage img = blankPage(m.deviceRatio());
        QPainter p(&img);
        for (int i = 0; i < lines.size(); ++i)
            m.drawLine(p, lines[i], kRowTop + (i % 31) * 25, mode);
        return img;
    }

    // Draws the page of grid that state shows on a fresh page, by the plain path.
    QImage drawnAfresh(const doc::TextGrid &grid, const doc::EditorState &state)
    {
        QImage img = blankPage(plain_.deviceRatio());
        QPainter p(&img);
        for (int line = state.topLine; line < state.topLine + 31; ++line)
            plain_.drawLine(p, grid.getLine(line), (line - state.topLine) * 25 + 5, state.sourceMode);
        return img;
    }

    // Fills the grid of scene for round: random markup in even rounds (over
    // ASCII with grey cells in every fourth), plain words in odd ones, every
    // second line empty in every fifth; sets the display mode and the top line.
    static void fillRound(RenderScene &scene, QRandomGenerator &rng, int round)
    {
        scene.grid.clearGrid(); // setLine leaves the cells past the new text as they were
        for (int line = 1; line <= 50; ++line) {
            QByteArray text;
            // Markup over ASCII is drawn from glyph coverage alone, so what each
            // row reaches is known and its page is moved; grey cells make the
            // subscript cells that reach into the next band show.
            if (round % 5 == 4 && line % 2)
                text = QByteArray();
            else if (round % 4 == 2)
                text = "\\m" + randomMarkupLine(rng, 127);
            else
                text = round % 2 ? "plain words " + QByteArray::number(line * 7919) : randomMarkupLine(rng);
            scene.grid.setLine(text, line);
        }
        scene.state.sourceMode = round % 3 == 2 ? DisplayMode::Source : DisplayMode::Rendered;
        scene.state.topLine = 1 + round % 6;
    }

    // Changes a line on the page of scene and renders its row alone: its band
    // is cleared and the line drawn there, and nothing else changes.
    void changeOneRow(RenderScene &scene, QRandomGenerator &rng, int round)
    {
        doc::EditorState &state = scene.state;
        QImage expected = drawnAfresh(scene.grid, state);
        state.cursorLine = state.topLine + int(rng.bounded(31));
        scene.grid.eraseLine(state.cursorLine);
        scene.grid.setLine(round % 2 ? QByteArray("CHANGED") : randomMarkupLine(rng), state.cursorLine);
        scene.renderer.renderRow(state.cursorLine, state.topLine, state.sourceMode);
        const int top = (state.cursorLine - state.topLine) * 25 + 5;
        QPainter p(&expected);
        p.fillRect(toDevice(QRect(0, top, 800, 25), plain_.deviceRatio()), bgr(kPageColor));
        plain_.drawLine(p, scene.grid.getLine(state.cursorLine), top, state.sourceMode);
        p.end();
        QVERIFY2(scene.renderer.image() == expected, qPrintable(QStringLiteral("row, round %1").arg(round)));
    }

    // Scrolls the page of scene one line at a time either way, at random, and
    // checks each page against drawing afresh; adds the pages moved to moves.
    void scrollAtRandom(RenderScene &scene, QRandomGenerator &rng, int round, int &moves)
    {
        doc::EditorState &state = scene.state;
        for (int step = 0; step < (round % 4 == 2 ? 24 : 8); ++step) {
            state.topLine = std::max(1, state.topLine + (rng.bounded(3) ? 1 : -1));
            scene.lines.reads = 0;
            scene.renderer.renderPage(state.topLine, state.sourceMode);
            QVERIFY2(scene.renderer.image() == drawnAfresh(scene.grid, state),
                     qPrintable(QStringLiteral("scroll %1, round %2").arg(step).arg(round)));
            // A moved page of rows that keep to their bands draws its new line alone.
            const bool moved = scene.lines.reads < doc::kRows;
            if (round % 2 && moved)
                QCOMPARE(scene.lines.reads, 1);
            moves += moved;
        }
    }

    // Scrolls the page of scene by one line; returns how the page got there
    // ("moved", "afresh"), or "wrong pixels" when it differs from drawing afresh.
    QString scrollBy(RenderScene &scene, int by)
    {
        scene.state.topLine += by;
        scene.lines.reads = 0;
        scene.renderer.renderPage(scene.state.topLine, scene.state.sourceMode);
        if (scene.renderer.image() != drawnAfresh(scene.grid, scene.state))
            return QStringLiteral("wrong pixels");
        return scene.lines.reads < doc::kRows ? QStringLiteral("moved") : QStringLiteral("afresh");
    }

    // Compares both paths on lines, 31 to a page, in both display modes, at every ratio.
    void compare(const QList<QByteArray> &lines)
    {
        plain_.setDrawPath(DrawPath::Plain);
        for (double ratio : kRatios)
            for (DisplayMode mode : {DisplayMode::Rendered, DisplayMode::Source})
                if (compare(lines, mode, ratio); QTest::currentTestFailed())
                    return;
    }
    void compare(const QList<QByteArray> &lines, DisplayMode mode, double ratio)
    {
        fast_.setDeviceRatio(ratio);
        plain_.setDeviceRatio(ratio);
        for (int first = 0; first < lines.size(); first += 31) {
            const QList<QByteArray> chunk = lines.mid(first, 31);
            const QImage a = page(fast_, chunk, mode);
            const QImage b = page(plain_, chunk, mode);
            QVERIFY2(a == b, qPrintable(QStringLiteral("pixels differ at ratio %1 on the page from line %2: %3")
                                            .arg(ratio).arg(first).arg(QString::fromLatin1(chunk.first()))));
            for (const QByteArray &line : chunk)
                for (int column = 1; column <= line.size() + 1; ++column)
                    QCOMPARE(fast_.columnX(column, line, mode), plain_.columnX(column, line, mode));
        }
    }

private slots:
    void helpTextIsDrawnTheSame() { compare(helpview::helpText()); }

    void everyByteInEveryFaceIsDrawnTheSame() { compare(everyByteInEveryStyle()); }

    void randomMarkupIsDrawnTheSame()
    {
        QRandomGenerator rng(20240609);
        QList<QByteArray> lines;
        for (int i = 0; i < 400; ++i)
            lines.append(randomMarkupLine(rng));
        compare(lines);
    }

    void examplesAreDrawnTheSame()
    {
        const QList<QByteArray> lines = exampleLines();
        if (lines.isEmpty())
            QSKIP("no examples/*.hlp in the source tree");
        compare(lines);
    }

    void pagesDrawnOverEachOtherAreDrawnTheSame_data()
    {
        QTest::addColumn<double>("ratio");
        for (double ratio : kRatios)
            QTest::newRow(qPrintable(QString::number(ratio))) << ratio;
    }
    void pagesDrawnOverEachOtherAreDrawnTheSame()
    {
        // The renderer clears only what earlier drawings touched, leaves out
        // cell fills that would change nothing, and moves the image when the
        // page moves by one line; after any sequence of page renders, row renders
        // and one-line scrolls its bitmap must be what plain drawing on a fresh
        // page gives. Half the rounds hold plain words, whose rows stay in their
        // bands; random markup reaches into the neighbouring bands, and is moved
        // too when no character of it needs the text call.
        QFETCH(double, ratio);
        QRandomGenerator rng(99);
        RenderScene scene;
        scene.renderer.createSurface(ratio);
        plain_.setDrawPath(DrawPath::Plain);
        plain_.setDeviceRatio(ratio);
        int moves = 0;
        int markupMoves = 0;
        for (int round = 0; round < 16; ++round) {
            fillRound(scene, rng, round);
            scene.renderer.renderPage(scene.state.topLine, scene.state.sourceMode);
            QVERIFY2(scene.renderer.image() == drawnAfresh(scene.grid, scene.state),
                     qPrintable(QStringLiteral("page, round %1").arg(round)));
            changeOneRow(scene, rng, round);
            const int before = moves;
            scrollAtRandom(scene, rng, round, moves);
            if (QTest::currentTestFailed())
                return;
            if (round % 4 == 2)
                markupMoves += moves - before;
        }
        // Where a row is a whole number of device pixels high, pages were moved,
        // also those whose rows reach into their neighbours' bands; elsewhere never.
        if (25 * ratio == std::floor(25 * ratio))
            QVERIFY2(markupMoves > 8 && moves > markupMoves, qPrintable(QString::number(markupMoves)));
        else
            QCOMPARE(moves, 0);
    }

    void aLongScrollOneWayAndAHeldImageKeepTheirPixels_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::newRow("1") << 1.0;
        QTest::newRow("2") << 2.0;
    }
    void aLongScrollOneWayAndAHeldImageKeepTheirPixels()
    {
        // Moving the page one line at a time uses up the spare rows around
        // its image, which then moves its pixels; an image copied from the
        // renderer on the way keeps the pixels it had.
        QFETCH(double, ratio);
        QRandomGenerator rng(7);
        doc::TextGrid grid;
        doc::EditorState state;
        for (int line = 1; line <= 100; ++line)
            grid.setLine(line % 3 ? "words " + QByteArray::number(line * 31) : "\\m" + randomMarkupLine(rng, 127), line);
        CountedLines lines(grid);
        PageRenderer renderer(lines.source, RowClearing::WholePage);
        renderer.createSurface(ratio);
        plain_.setDrawPath(DrawPath::Plain);
        plain_.setDeviceRatio(ratio);
        renderer.renderPage(state.topLine, state.sourceMode);
        QImage held, heldPixels;
        int moves = 0;
        for (int step = 0; step < 80; ++step) {
            state.topLine += step < 45 ? 1 : -1;
            lines.reads = 0;
            renderer.renderPage(state.topLine, state.sourceMode);
            moves += lines.reads < doc::kRows;
            QVERIFY2(renderer.image() == drawnAfresh(grid, state), qPrintable(QString::number(step)));
            if (step == 30) {
                held = renderer.image();
                heldPixels = held.copy();
            }
        }
        QVERIFY(held == heldPixels);
        QCOMPARE(moves, 80);
    }

    void aChangeTheImageMissedMakesTheNextScrollDrawAfresh()
    {
        // The rows kept by a one-row move must still show their lines: one
        // change, to the row then drawn again, keeps the page movable; any
        // change the image was not drawn for makes the next scroll draw afresh.
        RenderScene scene;
        doc::TextGrid &grid = scene.grid;
        for (int line = 1; line <= 60; ++line)
            grid.setLine("line " + QByteArray::number(line), line);
        scene.renderer.createSurface(1.0);
        plain_.setDrawPath(DrawPath::Plain);
        plain_.setDeviceRatio(1.0);
        const auto scroll = [&](int by) { return scrollBy(scene, by); };
        const auto drawRow = [&](int line) { scene.renderer.renderRow(line, scene.state.topLine, scene.state.sourceMode); };
        scene.renderer.renderPage(scene.state.topLine, scene.state.sourceMode);

        grid.setLine("typed", 10);
        drawRow(10);
        QCOMPARE(scroll(1), "moved");
        QCOMPARE(scroll(1), "moved"); // nothing changed since

        grid.setLine("changed, another row drawn", 12);
        drawRow(15);
        QCOMPARE(scroll(1), "afresh");

        grid.setLine("changed, nothing drawn", 20);
        QCOMPARE(scroll(-1), "afresh");

        grid.setLine("two changes", 14);
        grid.setLine("before this row is drawn", 16);
        drawRow(16);
        QCOMPARE(scroll(-1), "afresh");
        QCOMPARE(scroll(1), "moved");
    }

    void aFixedTextIsMovedRowByRow()
    {
        // The help viewer's text never changes: each one-line scroll moves
        // the page and draws its new row alone, as drawing afresh would show it.
        QList<QByteArray> text;
        for (int i = 0; i < 60; ++i)
            text << "help line " + QByteArray::number(i * 37);
        int reads = 0;
        PageRenderer moved(fixedLines([&](int i) { ++reads; return text.value(i); }), RowClearing::EachRow);
        moved.createSurface(2.0);
        moved.renderPage(0, DisplayMode::Rendered);
        for (int top : {1, 2, 1, 0}) {
            reads = 0;
            moved.renderPage(top, DisplayMode::Rendered);
            QCOMPARE(reads, 1);
            PageRenderer afresh(fixedLines([&](int i) { return text.value(i); }), RowClearing::EachRow);
            afresh.createSurface(2.0);
            afresh.renderPage(top, DisplayMode::Rendered);
            QVERIFY(moved.image() == afresh.image());
        }
    }

    void aFailedRangeCheckLeavesTheSamePixels()
    {
        fast_.setDeviceRatio(1.0);
        plain_.setDeviceRatio(1.0);
        // Tabs drive x past 65535: the walk stops with an error, and what was
        // drawn before it must be on the page in both paths.
        QByteArray line = "ab\\fcd\\mef";
        for (int i = 0; i < 700; ++i)
            line += "\\t";
        line += "x";
        plain_.setDrawPath(DrawPath::Plain);
        QImage blank(800, 50, QImage::Format_RGB32);
        blank.fill(bgr(kPageColor));
        QImage a = blank.copy(), b = blank.copy();
        for (auto [m, img] : {std::pair{&fast_, &a}, std::pair{&plain_, &b}}) {
            QPainter p(img);
            QVERIFY_THROWS_EXCEPTION(std::exception, m->drawLine(p, line, kRowTop, DisplayMode::Rendered));
        }
        QVERIFY(a == b);
        QVERIFY(a != blank);
    }
};

QTEST_MAIN(TestFastPath)
#include "test_fastpath.moc"
