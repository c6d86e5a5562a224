// The help viewer: its built-in text and link, its rendering against the
// editor's, hover and link following, the wheel, the frame, showing and closing.

#include "document/editor.h"
#include "helpview/helptext.h"
#include "helpview/helpunit.h"
#include "markuprules.h"
#include "render/colors.h"
#include "render/glyphs.h"
#include "render/pageview.h"

#include <QTest>
#include <QTimer>

namespace {

uint32_t at(const QImage &img, int x, int y)
{
    return render::toBgr(img.pixel(x, y));
}

// The left edge of the first pixel of colour in the 25 rows from top, or -1.
int firstInkX(const QImage &img, int top, uint32_t color)
{
    for (int x = 0; x < img.width(); ++x)
        for (int y = top; y < top + 25; ++y)
            if (at(img, x, y) == color)
                return x;
    return -1;
}

} // namespace

class TestHelpView : public QObject {
    Q_OBJECT

    QWidget main_;
    helpview::Thelpform form_;

    const links::TLinklist &link() { return form_.helpLinkTable().entry(1); }
    QScrollBar &bar() { return *form_.scrollBar1(); }

    // Shows the viewer, types "a" then Esc inside its modal loop; returns whether
    // it ran modally and "a" left it open.
    bool showAndEscape()
    {
        bool modal = false, stayedOpen = false;
        QTimer::singleShot(0, &form_, [&] {
            modal = QApplication::activeModalWidget() == &form_;
            QTest::keyClick(&form_, Qt::Key_A);
            stayedOpen = form_.isVisible();
            QTest::keyClick(&form_, Qt::Key_Escape);
            if (form_.isVisible())
                form_.done(-1); // Esc failed: end the loop so the test can report it
        });
        form_.showHelp(&main_);
        return modal && stayedOpen;
    }

private slots:
    void helpTextMatchesTable()
    {
        const std::pair<int, QByteArray> table[] = {
            {18, R"~(\hHelp Editor HELP)~"}, {8, R"~(\l\fdata)~"}, {23, "120 characters per line"},
            {10, "1000 lines"}, {34, "display 31 lines, vertical scroll."}, {0, ""},
            {10, R"~(\l\fStyles)~"}, {28, R"~(\ backslash\tn:\tnormal font)~"},
            {24, R"~(\\\tc:\t\ccourier font \)~"}, {16, R"~(\tf:\t\ffat font)~"},
            {18, R"~(\tl:\t\llarge font)~"}, {19, R"~(\ti:\t\iitalic font)~"},
            {24, R"~(\tm:\t\mbackground color)~"}, {30, R"~(\tp:\t\psuperscript \n (power))~"},
            {30, R"~(\ts:\t\ssubscript   \n  (xxxx))~"}, {14, R"~(\th:\t\hheader)~"},
            {29, R"~(\t[:\t\[ text in rectangle \[)~"}, {0, ""}, {24, R"~(\f\lPointers and Markers)~"},
            {54, R"~(backslash\t@name;\t\@form;  pointer to text line ahead)~"},
            {37, R"~(\t#name;\t\#form;  marks line by name)~"}, {0, ""}, {7, R"~(\f\lTab)~"},
            {41, R"~(backslash t:\tnext multiple of 100 pixels)~"}, {0, ""},
            {21, R"~(\f\lKeyboard commands)~"}, {19, R"~(<ctrl>X\terase line)~"},
            {43, R"~(        Y\tdelete line, shift next lines up)~"},
            {26, R"~(        Z\tinsert new line)~"}, {0, ""}, {18, R"~(\f\lAlt Characters)~"},
            {59, R"~(\i<alt>\n e\t)~" "\xEB\xEA\xE9\xE8" R"~(          (hold \i<alt>\n keep pressing e))~"},
            {13, R"~(         i\t)~" "\xEF"}, {17, R"~(         o\t)~" "\xF2\xF3\xF4\xF5\xF6"},
            {0, ""}, {46, R"~(\[\f LINK \[ \n press button to make link list)~"}, {0, ""},
            {20, "version 6, june 2015"},
        };
        const QList<QByteArray> &text = helpview::helpText();
        QCOMPARE(text.size(), qsizetype(std::size(table)));
        for (int i = 0; i < text.size(); ++i) {
            QCOMPARE(text[i].size(), table[i].first);
            QCOMPARE(text[i], table[i].second);
        }
    }

    void showingPlacesBuildsOnceAndClosesWithEsc()
    {
        main_.setGeometry(120, 90, 300, 200);
        main_.show();
        for (const QPoint mainAt : {QPoint(120, 90), QPoint(200, 150)}) {
            main_.move(mainAt);
            bar().setValue(5);
            QVERIFY(showAndEscape());
            QCOMPARE(form_.result(), 1);
            QCOMPARE(form_.frameGeometry().topLeft(), main_.frameGeometry().topLeft() + QPoint(10, 10));
            QCOMPARE(bar().maximum(), 7);
            QCOMPARE(bar().value(), 0);
            QCOMPARE(form_.helpTopIndex(), 0);
            QCOMPARE(form_.linkBuildCount(), 1);
        }
        QVERIFY(!(form_.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(form_.minimumSize(), form_.maximumSize());
    }

    void linkTableHoldsOnlyTheFormLink()
    {
        QCOMPARE(link().name, QByteArray("form"));
        QCOMPARE(link().pointerLine, 19);
        QCOMPARE(link().markerLine, 20);
        QVERIFY(form_.helpLinkTable().entry(2).name.isEmpty());
        // The glyphs' left edges: the x at the name's ";" less the glyph's width, by the rules.
        for (auto [line, code, x] : {std::tuple{19, "\\@form;", link().pointerX}, {20, "\\#form;", link().markerX}}) {
            const QByteArray text = helpview::helpText().at(line);
            QCOMPARE(x, rules::columnX(text, int(text.indexOf(code)) + 7, false) - 20);
        }
    }

    void rowsMatchTheEditorsRendering()
    {
        const QList<QByteArray> &text = helpview::helpText();
        doc::TextGrid grid;
        for (int i = 0; i < text.size(); ++i)
            grid.setLine(text[i], i + 1);
        for (int position : {0, 7}) {
            bar().setValue(position);
            const QImage shown = form_.paintBox1()->grab().toImage();
            // The editor's page with help line i as document line i + 1, rendered row
            // by row; each row clears its band first, as the viewer's rows do.
            doc::EditorState state;
            state.topLine = position + 1;
            render::PageView editor(grid, state);
            editor.createPageBitmap();
            for (state.cursorLine = state.topLine; state.cursorLine <= state.topLine + 30; ++state.cursorLine)
                editor.repaintCursorRow();
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), editor.pageBitmap());
        }
        QCOMPARE(text.at(form_.helpRowAtY(799)), QByteArray("version 6, june 2015"));

        // The glyphs stand where the link table says, so hovering meets what is drawn.
        bar().setValue(0);
        const QImage shown = form_.paintBox1()->grab().toImage();
        const uint32_t blue = render::kBlue;
        QCOMPARE(firstInkX(shown, 5 + 19 * 25, blue),
                 link().pointerX + firstInkX(render::createPointerGlyph(), 0, blue));
        QCOMPARE(firstInkX(shown, 5 + 20 * 25, blue),
                 link().markerX + firstInkX(render::createMarkerGlyph(), 0, blue));
    }

    void rowUnderY()
    {
        for (int top : {0, 7}) {
            bar().setValue(top);
            const std::pair<int, int> yRow[] = {{0, 0}, {29, 0}, {30, 1}, {754, 29}, {755, 30}, {799, 30}};
            for (auto [y, row] : yRow)
                QCOMPARE(form_.helpRowAtY(y), top + row);
        }
    }

    void hoverAndFollowLinks()
    {
        form_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form_));
        QWidget *box = form_.paintBox1();
        bar().setValue(0);
        const QPoint arrow(link().pointerX + 10, 19 * 25 + 17), dot(link().markerX + 10, 20 * 25 + 17);

        QTest::mouseMove(box, arrow);
        QCOMPARE(form_.helpHoverTarget(), 20);
        QCOMPARE(box->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(box, arrow - QPoint(10, 0)); // the glyph's edge does not count
        QCOMPARE(form_.helpHoverTarget(), 0);
        QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);
        box->setCursor(Qt::CrossCursor); // an unchanged target leaves the cursor alone
        QTest::mouseMove(box, QPoint(400, 100));
        QCOMPARE(box->cursor().shape(), Qt::CrossCursor);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(400, 100));
        QCOMPARE(bar().value(), 0);

        QTest::mouseMove(box, dot);
        QCOMPARE(box->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(box, Qt::LeftButton, {}, dot);
        QCOMPARE(bar().value(), 1);
        QCOMPARE(form_.helpHoverTarget(), 0);
        QCOMPARE(box->cursor().shape(), Qt::ArrowCursor);

        // The arrow asks for top line 20; the bar holds it to its maximum.
        QTest::mouseMove(box, arrow - QPoint(0, 25));
        QTest::mouseClick(box, Qt::RightButton, {}, arrow - QPoint(0, 25));
        QCOMPARE(bar().value(), 7);
        QCOMPARE(form_.helpTopIndex(), 7);
        form_.hide();
    }

    // With the text scrolled the rows move and the links with them; a click on
    // the arrow asks for position 20 and a click on the dot for position 1.
    void linksFollowTheScrolledRows()
    {
        form_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form_));
        QWidget *box = form_.paintBox1();
        for (int position : {3, 7}) {
            bar().setValue(position);
            const QPoint arrow(link().pointerX + 10, (19 - position) * 25 + 17);
            const QPoint dot(link().markerX + 10, (20 - position) * 25 + 17);
            QTest::mouseMove(box, arrow - QPoint(0, 25)); // the row above holds no glyph there
            QCOMPARE(form_.helpHoverTarget(), 0);
            QTest::mouseClick(box, Qt::LeftButton, {}, arrow - QPoint(0, 25));
            QCOMPARE(bar().value(), position);
            QTest::mouseMove(box, dot);
            QCOMPARE(form_.helpHoverTarget(), 1);
            QTest::mouseClick(box, Qt::LeftButton, {}, dot);
            QCOMPARE(bar().value(), 1);
            bar().setValue(position);
            QTest::mouseMove(box, arrow);
            QCOMPARE(form_.helpHoverTarget(), 20);
            QTest::mouseClick(box, Qt::MiddleButton, {}, arrow);
            QCOMPARE(form_.helpTopIndex(), 7);
            QCOMPARE(form_.helpHoverTarget(), 0);
        }
        form_.hide();
    }

    void wheelStepsInsideItsRectangle()
    {
        bar().setValue(3);
        const QPoint corner = form_.frameGeometry().topLeft() + QPoint(8, 8);
        const QPoint mid = corner + QPoint(400, 400);
        const std::pair<QPoint, QPoint> deadLive[] = {
            {{corner.x() + 10, mid.y()}, {corner.x() + 11, mid.y()}},
            {{corner.x() + 790, mid.y()}, {corner.x() + 789, mid.y()}},
            {{mid.x(), corner.y() + 10}, {mid.x(), corner.y() + 11}},
            {{mid.x(), corner.y() + 790}, {mid.x(), corner.y() + 789}},
        };
        for (auto [dead, live] : deadLive) {
            form_.FormMouseWheel(-120, dead);
            QCOMPARE(bar().value(), 3);
            form_.FormMouseWheel(-360, live);
            QCOMPARE(bar().value(), 4);
            form_.FormMouseWheel(120, live);
            QCOMPARE(bar().value(), 3);
        }
        form_.FormMouseWheel(0, mid);
        QCOMPARE(bar().value(), 3);
        // A turn over the scroll bar goes to the window, and the bar lies outside the rectangle.
        QWheelEvent overBar(QPointF(5, 100), QPointF(corner + QPoint(810, 100)), {}, {0, -120},
                            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&bar(), &overBar);
        QCOMPARE(bar().value(), 3);

        bar().setValue(0);
        form_.FormMouseWheel(120, mid);
        QCOMPARE(bar().value(), 0);
        bar().setValue(7);
        form_.FormMouseWheel(-120, mid);
        QCOMPARE(bar().value(), 7);
    }

    void frameIsTwoTealRings()
    {
        const QImage img = form_.grab().toImage();
        constexpr uint32_t dark = 0x808000, light = 0xA0A000;
        const struct { int x, y; uint32_t color; } pixels[] = {
            {6, 6, dark}, {7, 7, dark}, {809, 6, dark}, {808, 7, dark}, {6, 808, dark},
            {809, 809, light}, {808, 808, light}, {6, 809, light}, {7, 808, light}, {809, 7, light},
        };
        for (const auto &p : pixels)
            QVERIFY2(at(img, p.x, p.y) == p.color, qPrintable(QStringLiteral("(%1, %2)").arg(p.x).arg(p.y)));
        QVERIFY(at(img, 5, 5) != dark && at(img, 810, 810) != light);
    }
};

QTEST_MAIN(TestHelpView)
#include "test_helpview.moc"
