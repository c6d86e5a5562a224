// The fast drawing path (cached glyphs drawn in runs, cached faces) against the
// plain path (one text call and one face look-up per character): every pixel of
// every line and every column position must be the same.

#include "fileio/helpfile.h"
#include "helpview/helptext.h"
#include "render/colors.h"
#include "render/glyphs.h"
#include "render/pageview.h"
#include "render/stylemachine.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

using namespace render;

namespace {

constexpr int kRowTop = 5;

// Returns a random line of bytes 32..255 in which about one byte in four
// starts an escape, mostly a known code.
QByteArray randomMarkupLine(QRandomGenerator &rng)
{
    static const char codes[] = "ncfilhpsmt[@#NCFI \\;x";
    QByteArray line;
    const int length = int(rng.bounded(1, 121));
    while (line.size() < length) {
        if (rng.bounded(4) == 0) {
            line += '\\';
            line += codes[rng.bounded(int(sizeof(codes) - 1))];
        } else {
            line += char(rng.bounded(32, 256));
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
        QImage img(800, 800, QImage::Format_RGB32);
        img.fill(bgr(kPageColor));
        QPainter p(&img);
        for (int i = 0; i < lines.size(); ++i)
            m.drawLine(p, lines[i], kRowTop + (i % 31) * 25, mode);
        return img;
    }

    // Compares both paths on lines, 31 to a page, in both display modes.
    void compare(const QList<QByteArray> &lines)
    {
        plain_.setDrawPath(DrawPath::Plain);
        for (DisplayMode mode : {DisplayMode::Rendered, DisplayMode::Source}) {
            for (int first = 0; first < lines.size(); first += 31) {
                const QList<QByteArray> chunk = lines.mid(first, 31);
                const QImage a = page(fast_, chunk, mode);
                const QImage b = page(plain_, chunk, mode);
                QVERIFY2(a == b, qPrintable(QStringLiteral("pixels differ on the page from line %1: %2")
                                                .arg(first).arg(QString::fromLatin1(chunk.first()))));
                for (const QByteArray &line : chunk)
                    for (int column = 1; column <= line.size() + 1; ++column)
                        QCOMPARE(fast_.columnX(column, line, mode), plain_.columnX(column, line, mode));
            }
        }
    }

private slots:
    void theFastPathIsTheDefault()
    {
        StyleMachine m(pointer_, marker_);
        QCOMPARE(m.drawPath(), DrawPath::Fast);
    }

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

    void pagesDrawnOverEachOtherAreDrawnTheSame()
    {
        // The page view clears only what earlier drawings touched and leaves out
        // cell fills that would change nothing; after any sequence of page and
        // row renders its bitmap must be what plain drawing on a fresh page gives.
        QRandomGenerator rng(99);
        doc::TextGrid grid;
        doc::EditorState state;
        PageView view(grid, state);
        view.createPageBitmap();
        plain_.setDrawPath(DrawPath::Plain);
        for (int round = 0; round < 16; ++round) {
            for (int line = 1; line <= 36; ++line)
                grid.setLine(round % 5 == 4 && line % 2 ? QByteArray() : randomMarkupLine(rng), line);
            state.sourceMode = round % 3 == 2 ? DisplayMode::Source : DisplayMode::Rendered;
            state.topLine = 1 + round % 6;
            const DisplayMode mode = state.sourceMode;
            view.repaintPage();
            QImage expected(800, 800, QImage::Format_RGB32);
            expected.fill(bgr(kPageColor));
            {
                QPainter p(&expected);
                for (int line = state.topLine; line < state.topLine + 31; ++line)
                    plain_.drawLine(p, grid.getLine(line), (line - state.topLine) * 25 + 5, mode);
            }
            QVERIFY2(view.pageBitmap() == expected, qPrintable(QStringLiteral("page, round %1").arg(round)));

            // A changed line rendered alone clears its row band and draws the line.
            state.cursorLine = state.topLine + int(rng.bounded(31));
            grid.setLine(randomMarkupLine(rng), state.cursorLine);
            view.repaintCursorRow();
            const int top = (state.cursorLine - state.topLine) * 25 + 5;
            {
                QPainter p(&expected);
                p.fillRect(0, top, 800, 25, bgr(kPageColor));
                plain_.drawLine(p, grid.getLine(state.cursorLine), top, mode);
            }
            QVERIFY2(view.pageBitmap() == expected, qPrintable(QStringLiteral("row, round %1").arg(round)));
        }
    }

    void aFailedRangeCheckLeavesTheSamePixels()
    {
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
