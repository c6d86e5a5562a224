// The help viewer: its built-in text renders and its link resolves, its
// rendering against the editor's, hover and link following, the wheel, the
// frame, showing and closing.

#include "document/editor.h"
#include "helpview/helptext.h"
#include "helpview/helpviewer.h"
#include "markuprules.h"
#include "render/colors.h"
#include "render/glyphs.h"
#include "view/pageview.h"

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
    helpview::HelpViewer form_;

    const links::Link &link() { return form_.helpLinkTable().entry(1); }
    QScrollBar &bar() { return *form_.pageBar(); }

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
    // The viewer as the user meets it: shown once, which builds the links and
    // sets the bar's range, so that every case also runs alone.
    void initTestCase()
    {
        main_.setGeometry(120, 90, 300, 200);
        main_.show();
        QVERIFY(showAndEscape());
    }

    void everyLineRendersAndTheOneLinkResolves()
    {
        // A row shows ink exactly when its line has text; every line is shown at some position.
        const QList<QByteArray> &text = helpview::helpText();
        QCOMPARE(text.size(), 38);
        for (int position = 0; position <= 7; ++position) {
            bar().setValue(position);
            const QImage &shown = form_.surface();
            for (int row = 0; row < 31; ++row) {
                bool ink = false;
                for (int y = 5 + 25 * row; y < 30 + 25 * row && !ink; ++y)
                    for (int x = 0; x < 800 && !ink; ++x)
                        ink = at(shown, x, y) != render::kPageColor;
                QVERIFY2(ink == !text.at(position + row).isEmpty(), qPrintable(QString::number(position + row)));
            }
        }
        // The one link leads from the line that names it with \@ to the line that marks it with \#.
        QVERIFY(!link().name.isEmpty());
        QVERIFY(form_.helpLinkTable().entry(2).name.isEmpty());
        QVERIFY(text.at(link().pointerLine).contains("\\@" + link().name + ';'));
        QVERIFY(text.at(link().markerLine).contains("\\#" + link().name + ';'));
        QVERIFY(link().markerX > 0);
    }

    void showingPlacesBuildsLinksAndClosesWithEsc()
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
            QVERIFY(form_.helpLinksBuilt());
        }
        QVERIFY(!(form_.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(form_.minimumSize(), form_.maximumSize());
        // It takes no text: no input method composes for it.
        QList<QWidget *> widgets = form_.findChildren<QWidget *>();
        widgets << &form_;
        for (const QWidget *w : widgets)
            QVERIFY2(!w->inputMethodQuery(Qt::ImEnabled).toBool(), qPrintable(w->objectName()));
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
            const QImage shown = form_.pageSurface()->grab().toImage();
            // The editor's page with help line i as document line i + 1, rendered row
            // by row; each row clears its band first, as the viewer's rows do.
            doc::EditorState state;
            state.topLine = position + 1;
            view::PageView editor(grid, state);
            editor.createPageBitmap();
            for (state.cursorLine = state.topLine; state.cursorLine <= state.topLine + 30; ++state.cursorLine)
                editor.repaintCursorRow();
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), editor.pageBitmap());
        }
        QCOMPARE(text.at(form_.helpRowAtY(799)), QByteArray("version 6, june 2015"));

        // The glyphs stand where the link table says, so hovering meets what is drawn.
        bar().setValue(0);
        const QImage shown = form_.pageSurface()->grab().toImage();
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
        QWidget *box = form_.pageSurface();
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
        QWidget *box = form_.pageSurface();
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
            form_.wheelTurned(-120, dead);
            QCOMPARE(bar().value(), 3);
            form_.wheelTurned(-360, live);
            QCOMPARE(bar().value(), 4);
            form_.wheelTurned(120, live);
            QCOMPARE(bar().value(), 3);
        }
        form_.wheelTurned(0, mid);
        QCOMPARE(bar().value(), 3);
        // A turn over the scroll bar goes to the window, and the bar lies outside the rectangle.
        QWheelEvent overBar(QPointF(5, 100), QPointF(corner + QPoint(810, 100)), {}, {0, -120},
                            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&bar(), &overBar);
        QCOMPARE(bar().value(), 3);

        bar().setValue(0);
        form_.wheelTurned(120, mid);
        QCOMPARE(bar().value(), 0);
        bar().setValue(7);
        form_.wheelTurned(-120, mid);
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
