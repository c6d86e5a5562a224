// The style machine: where each column starts (the measuring walk) and what the
// drawing walk puts into a row, for the markup codes, the link glyphs, boxes and
// the raw source view.

#include "base/checked.h"
#include "render/cleanmap.h"
#include "render/colors.h"
#include "render/fontbook.h"
#include "render/glyphs.h"
#include "render/iconpainter.h"
#include "render/stylemachine.h"

#include <QTest>

using namespace render;
using namespace markup;

namespace {

constexpr int kRowTop = 30;

// A surface the size of the page, filled with a background colour.
QImage surface(uint32_t background = kPageColor)
{
    QImage img(800, 100, QImage::Format_RGB32);
    img.fill(bgr(background));
    return img;
}

uint32_t pixel(const QImage &img, int x, int y)
{
    return toBgr(img.pixel(x, y));
}

// The bounding box of the pixels inside area that are not the background.
QRect ink(const QImage &img, const QRect &area, uint32_t background = kPageColor)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (pixel(img, x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool hasColor(const QImage &img, const QRect &area, uint32_t color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (pixel(img, x, y) == color)
                return true;
    return false;
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

    QImage pointer_ = createPointerGlyph();
    QImage marker_ = createMarkerGlyph();
    StyleMachine m_{pointer_, marker_};

    int colX(const QByteArray &text, int column, DisplayMode mode = DisplayMode::Rendered)
    {
        return m_.columnX(column, text, mode);
    }

    QImage drawn(const QByteArray &text, DisplayMode mode = DisplayMode::Rendered,
                 uint32_t background = kPageColor)
    {
        QImage img = surface(background);
        QPainter p(&img);
        m_.drawLine(p, text, kRowTop, mode);
        return img;
    }

private slots:
    void emptyLineMeasuresFiveAndDrawsNothing()
    {
        QCOMPARE(colX("", 1), 5);
        QCOMPARE(colX("abc", 1), 5);
        QVERIFY(ink(drawn(""), QRect(0, 0, 800, 100)).isNull());
    }

    void tabsGoToTheNextMultipleOf100_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("x");
        QTest::newRow("from 5") << QByteArray("\\tA") << 3 << 100;
        QTest::newRow("from 100") << QByteArray("\\t\\tA") << 5 << 200;
        QTest::newRow("upper-case code") << QByteArray("\\T\\TA") << 5 << 200;
        QTest::newRow("escaped backslash vanishes") << QByteArray("\\\\\\tc") << 5 << 100;
        QTest::newRow("blank after backslash vanishes") << QByteArray("\\ b") << 3 << 5;
        QTest::newRow("box code adds 10") << QByteArray("\\[x") << 3 << 15;
        QTest::newRow("two boxes add 20") << QByteArray("\\[\\[x") << 5 << 25;
        QTest::newRow("pointer glyph adds 20") << QByteArray("\\@form;  x") << 8 << 25;
        QTest::newRow("marker glyph adds 20") << QByteArray("\\#form;  x") << 8 << 25;
        QTest::newRow("blank ends a name, invisibly") << QByteArray("\\@ab cd") << 6 << 25;
        QTest::newRow("style codes take no room") << QByteArray("\\f\\i\\l\\h\\p\\s\\m\\c\\nx") << 19 << 5;
        QTest::newRow("backslash at the end") << QByteArray("\\") << 2 << 5;
    }
    void tabsGoToTheNextMultipleOf100()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, column);
        QFETCH(int, x);
        QCOMPARE(colX(line, column), x);
    }

    void tabAfterTextStepsPastIt()
    {
        const QByteArray line = "\\ backslash\\tn:\\tnormal font";
        const int afterBackslash = colX(line, 12);
        QVERIFY(afterBackslash > 5 && afterBackslash < 100);
        QCOMPARE(colX(line, 14), 100);                          // "n:" at the next stop
        QCOMPARE(colX(line, 18), (colX(line, 16) / 100 + 1) * 100); // "normal font"
    }

    void nameEndedByBackslashStartsAnEscape()
    {
        // The backslash ends the name and \f makes what follows bold.
        const QByteArray text = "bold text";
        QCOMPARE(colX("\\@ab\\f" + text, 16) - 25, colX("\\f" + text, 12) - 5);
        QVERIFY(colX("\\f" + text, 12) != colX(text, 10));
    }

    void boldItalicIsMeasuredAsTheLaterStyleAlone()
    {
        const QByteArray text = "WWWmmm";
        QCOMPARE(colX("\\f\\i" + text, 11), colX("\\i" + text, 9));
        QCOMPARE(colX("\\i\\f" + text, 11), colX("\\f" + text, 9));
        QVERIFY(colX("\\f" + text, 9) != colX("\\i" + text, 9));
    }

    void lineEndResetsTheStyle()
    {
        // Nothing carries from one walk to the next.
        colX("\\h\\cWWWW", 9);
        QCOMPARE(colX("WWW", 4), colX("\\nWWW", 6));
    }

    void advanceIsWidthTimesElevenTenthsPlusOne()
    {
        FontFace &f = fontFace(QStringLiteral("arial"), 20, false, false);
        for (uint8_t ch : {uint8_t('i'), uint8_t('W'), uint8_t('m'), uint8_t(' '), uint8_t(0xE9)}) {
            const int w = f.textWidth(ch);
            QCOMPARE(colX(QByteArray(1, char(ch)), 2), 5 + (w * 11) / 10 + 1);
        }
    }

    void sourceModeMeasuresEveryByte()
    {
        const QByteArray line = "\\hHelp Editor HELP";
        int sum = 5;
        for (char c : line)
            sum += colX(QByteArray(1, c), 2, DisplayMode::Source) - 5;
        QCOMPARE(colX(line, line.size() + 1, DisplayMode::Source), sum);
        QVERIFY(colX("\\\\", 3, DisplayMode::Source) > 5);
    }

    void fontHeightsAreCellHeights()
    {
        for (int h : {15, 20, 25}) {
            for (const FontFace *face : {&fontFace(QStringLiteral("arial"), h, false, false),
                                         &fontFace(QStringLiteral("courier new"), h, true, true)}) {
                QCOMPARE(face->cellHeight, h);
                // The largest such size: one pixel more no longer fits the cell.
                QFont larger = face->font;
                larger.setPixelSize(face->font.pixelSize() + 1);
                QVERIFY(QFontMetrics(larger).height() > h);
            }
        }
        QVERIFY(fontFace(QStringLiteral("courier new"), 20, false, false).font.fixedPitch()
                || fontFace(QStringLiteral("courier new"), 20, false, false).textWidth('i')
                    == fontFace(QStringLiteral("courier new"), 20, false, false).textWidth('W'));
    }

    void glyphPixels()
    {
        const QRgb clear = qRgba(255, 255, 255, 0);
        QCOMPARE(pointer_.size(), QSize(20, 25));
        QCOMPARE(marker_.size(), QSize(20, 25));
        for (int y = 0; y < 25; ++y) {
            for (int x = 0; x < 20; ++x) {
                const bool block = y >= 5 && y <= 12 && x >= 5 && x <= 14;
                const bool tri = y >= 13 && y <= 20 && x >= 2 + (y - 13) && x <= 17 - (y - 13);
                const QRgb want = (block || tri) ? bgr(kBlue).rgb() : clear;
                QCOMPARE(pointer_.pixel(x, y), want);
            }
        }
        // The disc fills its 10 x 10 square but not its corners.
        QCOMPARE(marker_.pixel(10, 13), bgr(kBlue).rgb());
        QCOMPARE(marker_.pixel(5, 13), bgr(kBlue).rgb());
        QCOMPARE(marker_.pixel(14, 12), bgr(kBlue).rgb());
        QCOMPARE(marker_.pixel(10, 8), bgr(kBlue).rgb());
        QCOMPARE(marker_.pixel(10, 17), bgr(kBlue).rgb());
        QCOMPARE(marker_.pixel(5, 8), clear);
        QCOMPARE(marker_.pixel(4, 13), clear);
        QCOMPARE(marker_.pixel(15, 13), clear);
        QCOMPARE(marker_.pixel(10, 18), clear);
    }

    void glyphsAreDrawnWithWhiteLeftOut()
    {
        const QImage img = drawn("\\@form;  x\\#b;", DisplayMode::Rendered, 0x123456);
        QCOMPARE(pixel(img, 10, kRowTop + 8), kBlue);   // arrow block
        QCOMPARE(pixel(img, 6, kRowTop + 2), 0x123456u); // white part left out
        const int markerLeft = colX("\\@form;  x\\#b;", 14) - 20;
        QCOMPARE(pixel(img, markerLeft + 10, kRowTop + 13), kBlue);
        QCOMPARE(pixel(img, markerLeft + 1, kRowTop + 13), 0x123456u);
        // The name is invisible: nothing between the arrow and the text.
        QVERIFY(ink(img, QRect(26, kRowTop, 2, 25), 0x123456).isNull());
    }

    void boxEdges()
    {
        const QByteArray line = "\\[\\f LINK \\[ \\n press button to make link list";
        const QImage img = drawn(line);
        for (int y = kRowTop + 3; y <= kRowTop + 24; ++y) {
            QCOMPARE(pixel(img, 10, y), kBoxColor);
            QCOMPARE(pixel(img, 11, y), kBoxColor);
        }
        QVERIFY(pixel(img, 10, kRowTop + 2) != kBoxColor || pixel(img, 10, kRowTop + 1) == kBoxColor);
        QCOMPARE(pixel(img, 9, kRowTop + 12), kPageColor);
        QCOMPARE(colX(line, 5), 15); // " LINK " starts 10 past the code

        const int closeAt = colX(line, 11);          // x where the closing \[ is met
        QCOMPARE(colX(line, 13), closeAt + 10);        // the blank after it
        for (int y = kRowTop + 1; y <= kRowTop + 24; ++y) {
            QCOMPARE(pixel(img, closeAt + 5, y), kBoxColor);
            QCOMPARE(pixel(img, closeAt + 6, y), kBoxColor);
        }
        // Top and bottom edges, two pixels each, from the left edge to the right edge.
        for (int x = 12; x < closeAt + 5; ++x) {
            QCOMPARE(pixel(img, x, kRowTop + 1), kBoxColor);
            QCOMPARE(pixel(img, x, kRowTop + 2), kBoxColor);
            QCOMPARE(pixel(img, x, kRowTop + 23), kBoxColor);
            QCOMPARE(pixel(img, x, kRowTop + 24), kBoxColor);
        }
        QCOMPARE(pixel(img, closeAt + 7, kRowTop + 12), kPageColor);
        QCOMPARE(pixel(img, 20, kRowTop + 25), kPageColor);
    }

    void openBoxHasNoRightEdge()
    {
        const QByteArray line = "\\[ab";
        const QImage img = drawn(line);
        const int end = colX(line, 5);
        QCOMPARE(pixel(img, end - 1, kRowTop + 1), kBoxColor);
        QCOMPARE(pixel(img, end, kRowTop + 1), kPageColor);
        QVERIFY(!hasColor(img, QRect(end, kRowTop, 50, 25), kBoxColor));
    }

    void backgroundCellsLeaveGaps()
    {
        FontFace &f = fontFace(QStringLiteral("arial"), 20, false, false);
        const int w = f.textWidth('o');
        const QImage img = drawn("\\moo\\no", DisplayMode::Rendered, kWhite);
        const int bottom = kRowTop + 5 + 19; // last row of the 20-pixel cell: no ink of "o"
        QCOMPARE(pixel(img, 5, bottom), kGreyBackground);
        QCOMPARE(pixel(img, 5 + w - 1, bottom), kGreyBackground);
        QCOMPARE(pixel(img, 5 + w, bottom), kWhite); // the advance's extra room is not filled
        QCOMPARE(pixel(img, 5, bottom + 1), kWhite);
        const int third = colX("\\moo\\no", 7);
        QCOMPARE(pixel(img, third, bottom), kPageColor); // after \n the cells are page-coloured
        QCOMPARE(pixel(img, third + w, bottom), kWhite);
    }

    // What drawLine returns bounds what it drew; fills the clean map shows would
    // change nothing are left out of the change but not of the reach.
    void drawnLineReportsItsReach()
    {
        const QByteArray lines[] = {"\\moo\\noo", "\\[\\f LINK \\[ \\@go\\# \\bbold\\n\\tx", "plain words"};
        for (const QByteArray &line : lines) {
            QImage unknown = surface();
            CleanMap unknownMap(unknown.height()); // nothing known: every fill is made
            LineReach fromUnknown;
            {
                QPainter p(&unknown);
                fromUnknown = m_.drawLine(p, line, kRowTop, DisplayMode::Rendered, &unknownMap);
            }
            QImage clear = surface();
            CleanMap clearMap(clear.height());
            clearMap.markClean(0, clear.height() - 1);
            LineReach fromClear;
            {
                QPainter p(&clear);
                fromClear = m_.drawLine(p, line, kRowTop, DisplayMode::Rendered, &clearMap);
            }
            QCOMPARE(clear, unknown);
            const QRect drawnInk = ink(clear, clear.rect());
            QVERIFY(fromClear.known && fromUnknown.known);
            QVERIFY(!drawnInk.isEmpty());
            QVERIFY2(fromClear.changed.contains(drawnInk), line.constData());
            QVERIFY(fromClear.touched.contains(fromClear.changed));
            QCOMPARE(fromUnknown.touched, fromClear.touched);
            QCOMPARE(fromUnknown.changed, fromUnknown.touched);
            // The map no longer takes any drawn pixel for clear.
            for (int y = drawnInk.top(); y <= drawnInk.bottom(); ++y)
                for (int x = drawnInk.left(); x <= drawnInk.right(); ++x)
                    if (pixel(clear, x, y) != kPageColor)
                        QVERIFY(!clearMap.isClean(QRect(x, y, 1, 1)));
        }
        // The page-coloured cells of the blanks after \n are laid on clear
        // pixels: reached, not changed.
        QImage img = surface();
        CleanMap map(img.height());
        map.markClean(0, img.height() - 1);
        QPainter p(&img);
        const LineReach reach = m_.drawLine(p, "\\moo\\n  ", kRowTop, DisplayMode::Rendered, &map);
        QVERIFY(reach.touched.right() > reach.changed.right());
    }

    void sourceModeDrawsEveryByte()
    {
        QVERIFY(ink(drawn("\\\\"), QRect(0, 0, 800, 100)).isNull());
        const QImage src = drawn("\\\\", DisplayMode::Source);
        QVERIFY(!ink(src, QRect(5, kRowTop, colX("\\\\", 3, DisplayMode::Source) - 5, 25)).isNull());
        const QImage hdr = drawn("\\hHelp", DisplayMode::Source);
        QVERIFY(!hasColor(hdr, QRect(0, kRowTop, 200, 25), kHeaderColor));
        QVERIFY(ink(hdr, QRect(0, 0, 800, 100)).top() >= kRowTop + 5);
    }

    void checkedLimits()
    {
        QVERIFY_THROWS_EXCEPTION(base::RangeError, colX("abc", 0));
        QImage img = surface();
        QPainter p(&img);
        QVERIFY_THROWS_EXCEPTION(base::RangeError, m_.drawLine(p, "x", -20, DisplayMode::Rendered));
    }

    // The icon drawing is scaled from its view box onto the image: fills,
    // outlines centred on the edge, polygons; around them all stays
    // transparent. What it cannot draw fails with the reason, never a wrong picture.
    void iconDrawingScalesToEverySize()
    {
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10' viewBox='0 0 10 10'>"
                               "<rect x='1' y='1' width='8' height='8' fill='#00ff00' stroke='#000000' stroke-width='1'/>"
                               "<rect x='2' y='2' width='3' height='2' fill='#ff0000'/>"
                               "<polygon points='5,5 9,5 9,9' fill='#0000ff'/></svg>";
        for (const int size : {20, 40}) {
            const QImage image = render::paintIconSvg(svg, size);
            QCOMPARE(image.size(), QSize(size, size));
            const int k = size / 10;
            auto at = [&](double x, double y) { return image.pixel(int(x * k), int(y * k)); };
            QCOMPARE(qAlpha(at(0.2, 0.2)), 0);                  // outside the frame
            QCOMPARE(at(1, 5), qRgb(0, 0, 0));                   // on the outline
            QCOMPARE(at(3, 6), qRgb(0, 255, 0));                 // inside the frame
            QCOMPARE(at(3, 2.5), qRgb(255, 0, 0));               // the small rectangle
            QCOMPARE(at(8.5, 6), qRgb(0, 0, 255));               // inside the triangle
            QCOMPARE(at(5.5, 7.5), qRgb(0, 255, 0));             // below its slanted side
        }
        QString error;
        QVERIFY(render::paintIconSvg("<svg viewBox='0 0 4 4'><circle r='2'/></svg>", 16, &error).isNull());
        QCOMPARE(error, QStringLiteral("cannot draw <circle>"));
        QVERIFY(render::paintIconSvg("<svg viewBox='0 0 4 4'><rect fill='url(#g)'/></svg>", 16, &error).isNull());
        QVERIFY(error.contains("url(#g)"));
        QVERIFY(render::paintIconSvg("<html/>", 16, &error).isNull());
    }
};

QTEST_MAIN(TestRender)
#include "test_render.moc"
