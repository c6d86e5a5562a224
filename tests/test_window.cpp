// The main window as a user meets it: its controls, the framed page with the
// caret, the source-code box, CLEAR, and an error inside a handler.

#include "app/mainwindow.h"
#include "app/appicon.h"
#include "editorwindow.h"
#include "base/checked.h"
#include "base/errorreport.h"
#include "render/colors.h"

#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <memory>

using render::bgr;
using render::toBgr;

namespace {

uint32_t at(const QImage &img, int x, int y)
{
    return toBgr(img.pixel(x, y));
}

QImage screenOf(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool imageHas(const QImage &img, uint32_t color)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (at(img, x, y) == color)
                return true;
    return false;
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

    EditorWindow win_;

    app::MainWindow &form() { return win_.form(); }

private slots:
    void init()
    {
        QVERIFY(win_.open());
    }
    void cleanup()
    {
        const QStringList reports = win_.close();
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join(", ")));
    }

    void windowAndControls()
    {
        QCOMPARE(form().windowTitle(), QStringLiteral("help file editor V6"));
        QCOMPARE(form().size(), QSize(851, 911));
        QCOMPARE(form().minimumSize(), form().maximumSize());
        QVERIFY(!(form().windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form().windowFlags() & Qt::WindowMinimizeButtonHint);
    }

    void buttonsInARowAboveThePage()
    {
        // The buttons as the user finds them: one row above the page, left to
        // right, from OPEN over the page's left edge to P1 past its right edge,
        // none covering another control, each caption in a colour of its own
        // rather than the style's.
        const QRect page = form().findChild<QWidget *>("helpbox")->geometry();
        QList<QWidget *> others = {form().findChild<QWidget *>("codebox"), form().findChild<QWidget *>("linetext")};
        QList<QPushButton *> row;
        for (const char *caption : {"OPEN", "SAVE", "LINK", "CLEAR", "HELP", "P1"}) {
            for (QPushButton *b : form().findChildren<QPushButton *>())
                if (b->text() == QLatin1String(caption))
                    row.append(b);
            QVERIFY2(row.size() == others.size() - 1, caption);
            QPushButton *b = row.last();
            QCOMPARE(b->geometry().top(), 8);
            QCOMPARE(b->geometry().height(), 33);
            QVERIFY(b->geometry().bottom() < page.top());
            QVERIFY(b->font().bold());
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
            for (const QWidget *other : others)
                QVERIFY2(!b->geometry().intersects(other->geometry()), caption);
            if (row.size() > 1)
                QVERIFY2(row.at(row.size() - 2)->geometry().right() < b->geometry().left(), caption);
            QVERIFY2(b->palette().color(QPalette::ButtonText) != QPalette().color(QPalette::ButtonText), caption);
            others.append(b);
        }
        QCOMPARE(row.first()->geometry().left(), page.left());
        QCOMPARE(row.last()->geometry().left(), page.right() + 1);
        QCOMPARE(form().findChild<QPushButton *>("topBtn")->font().pixelSize(), 20);
        QCOMPARE(form().findChild<QPushButton *>("openBtn")->font().pixelSize(), 16);
        QCOMPARE(form().findChild<QPushButton *>("clearBtn")->toolTip(), QStringLiteral("clear all text"));
        QCOMPARE(form().findChild<QPushButton *>("linkBtn")->toolTip(), QStringLiteral("make link table"));
    }

    void pageBarAndLabels()
    {
        QCOMPARE(form().findChild<QWidget *>("helpbox")->geometry(), QRect(8, 48, 800, 800));
        QCOMPARE(form().findChild<QWidget *>("codebox")->geometry(), QRect(600, 8, 193, 33));
        QCOMPARE(form().findChild<QWidget *>("codebox")->cursor().shape(), Qt::PointingHandCursor);
        auto *bar = form().findChild<QScrollBar *>("pageBar");
        QCOMPARE(bar->geometry(), QRect(816, 48, 17, 801));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 968);
        QCOMPARE(bar->singleStep(), 1);
        QCOMPARE(bar->pageStep(), 10);
        QCOMPARE(bar->cursor().shape(), Qt::PointingHandCursor);
        auto *msg = form().findChild<QLabel *>("msgtext");
        QCOMPARE(msg->geometry(), QRect(8, 864, 801, 25));
        QCOMPARE(msg->frameShadow(), QFrame::Sunken);
        QVERIFY(msg->text().isEmpty());
        auto *line = form().findChild<QLabel *>("linetext");
        QCOMPARE(line->geometry(), QRect(536, 12, 54, 23));
        QVERIFY(line->alignment() & Qt::AlignRight);
        QVERIFY(line->text().isEmpty());
    }

    void scrollBarShowsWhatAWholePaintShows()
    {
        // A new value repaints the bar only around the slider, and the arrow
        // buttons at either end; the window must show what painting the whole
        // bar gives (the offscreen screen grabs the window's backing store).
        QScrollBar *bar = form().pageBar();
        const QPoint at = bar->mapTo(&form(), QPoint(0, 0));
        const auto shown = [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            return form().screen()->grabWindow(form().winId(), at.x(), at.y(), bar->width(), bar->height())
                .toImage().convertToFormat(QImage::Format_RGB32);
        };
        const QImage first = shown();
        for (int value : {1, 2, 3, 0, 1, 300, 301, 303, 968, 967, 966, 2, 1, 0}) {
            bar->setValue(value);
            QCOMPARE(shown(), screenOf(bar));
        }
        QVERIFY(shown() == first);
    }

    void emptyPageShowsOnlyTheCaret()
    {
        const QImage page = screenOf(form().helpbox());
        QCOMPARE(page.size(), QSize(800, 800));
        for (int y = 0; y < 800; ++y) {
            for (int x = 0; x < 800; ++x) {
                const bool caret = (x == 4 || x == 5) && y >= 5 && y <= 29;
                if (at(page, x, y) != (caret ? render::kRed : render::kPageColor))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
        QCOMPARE(form().pageView().caretRect(), QRect(QPoint(4, 5), QPoint(5, 29)));
    }

    void frameAroundThePage()
    {
        const QImage win = screenOf(&form());
        // Outer ring: top and left dark, bottom and right grey.
        QCOMPARE(at(win, 6, 46), 0x000000u);
        QCOMPARE(at(win, 400, 46), 0x000000u);
        QCOMPARE(at(win, 809, 46), 0x000000u);
        QCOMPARE(at(win, 6, 848), 0x000000u);
        QCOMPARE(at(win, 6, 849), 0xA0A0A0u);
        QCOMPARE(at(win, 808, 849), 0xA0A0A0u);
        QCOMPARE(at(win, 809, 849), 0xA0A0A0u);
        QCOMPARE(at(win, 809, 47), 0xA0A0A0u);
        // Inner ring.
        QCOMPARE(at(win, 7, 47), 0x000000u);
        QCOMPARE(at(win, 808, 47), 0x000000u);
        QCOMPARE(at(win, 7, 847), 0x000000u);
        QCOMPARE(at(win, 7, 848), 0xA0A0A0u);
        QCOMPARE(at(win, 807, 848), 0xA0A0A0u);
        QCOMPARE(at(win, 808, 848), 0xA0A0A0u);
        QCOMPARE(at(win, 808, 48), 0xA0A0A0u);
        // Just outside and inside the rings.
        QVERIFY(at(win, 5, 400) != 0x000000u);
        QCOMPARE(at(win, 8, 400), render::kPageColor);
    }

    void sourceToggleSwitchesViewAndBox()
    {
        form().editor().grid().setLine("\\hHelp", 1);
        form().pageView().repaintPage();
        const QImage rendered = form().pageView().pageBitmap().copy();
        const QImage offBox = screenOf(form().codebox());
        QCOMPARE(at(offBox, 0, 0), 0xC0C0C0u);
        QCOMPARE(at(offBox, 1, 1), 0xC0C0C0u);
        QCOMPARE(at(offBox, 192, 32), 0xC0C0C0u);
        QCOMPARE(at(offBox, 100, 3), 0xC0FFFFu);
        QVERIFY(!imageHas(offBox, 0x0000FF));

        QTest::mouseClick(form().codebox(), Qt::LeftButton);
        QCOMPARE(form().editor().state().sourceMode, markup::DisplayMode::Source);
        const QImage onBox = screenOf(form().codebox());
        QCOMPARE(at(onBox, 0, 0), 0x000000u);
        QCOMPARE(at(onBox, 1, 30), 0x000000u);
        QCOMPARE(at(onBox, 1, 31), 0xFFFFFFu);
        QCOMPARE(at(onBox, 1, 32), 0xFFFFFFu);
        QCOMPARE(at(onBox, 192, 32), 0xFFFFFFu);
        QCOMPARE(at(onBox, 191, 2), 0xFFFFFFu);
        QVERIFY(imageHas(onBox, 0x0000FF));
        QVERIFY(form().pageView().pageBitmap() != rendered);
        QVERIFY(!imageHas(form().pageView().pageBitmap(), render::kHeaderColor));

        QTest::mouseClick(form().codebox(), Qt::LeftButton);
        QCOMPARE(form().editor().state().sourceMode, markup::DisplayMode::Rendered);
        QCOMPARE(form().pageView().pageBitmap(), rendered);
        QCOMPARE(screenOf(form().codebox()), offBox);
    }

    void clearResetsEverythingButTheMessage()
    {
        form().msgtext()->setText(QStringLiteral("keep me"));
        for (int l = 1; l <= 60; ++l)
            form().editor().grid().setLine("line " + QByteArray::number(l), l);
        form().pageBar()->setValue(20);
        QCOMPARE(form().editor().state().topLine, 21);
        QTest::mouseClick(form().codebox(), Qt::LeftButton);

        QTest::mouseClick(form().findChild<QPushButton *>("clearBtn"), Qt::LeftButton);
        const doc::EditorState &s = form().editor().state();
        QCOMPARE(s.topLine, 1);
        QCOMPARE(s.cursorLine, 1);
        QCOMPARE(s.cursorColumn, 1);
        QCOMPARE(s.sourceMode, markup::DisplayMode::Rendered);
        QCOMPARE(form().pageBar()->value(), 0);
        QCOMPARE(form().pageBar()->maximum(), 968);
        for (int l = 1; l <= 1000; ++l)
            QCOMPARE(form().editor().grid().lineLength(l), 0);
        QCOMPARE(form().linkTable().linkCount(), 0);
        QCOMPARE(form().msgtext()->text(), QStringLiteral("keep me"));
        QCOMPARE(at(screenOf(form().codebox()), 0, 0), 0xC0C0C0u);
        QImage blank(800, 800, QImage::Format_RGB32);
        blank.fill(bgr(render::kPageColor));
        QCOMPARE(form().pageView().pageBitmap(), blank);
    }

    void uncoveringCopiesWithoutRendering()
    {
        form().editor().grid().setLine("some text", 1);
        form().pageView().repaintPage();
        // A render hands what it drew to the screen; uncovering hands nothing.
        const auto handed = std::make_shared<QList<QRect>>();
        QWidget *const surface = form().helpbox();
        form().pageView().setScreen([handed, surface](const QRect &r) {
            *handed << r;
            surface->update(r);
        });
        const QImage first = screenOf(form().helpbox());
        form().helpbox()->repaint();
        const QImage second = screenOf(form().helpbox());
        QCOMPARE(second, first);
        QCOMPARE(*handed, QList<QRect>());
    }

    void errorInAHandlerIsReportedAndTheWindowGoesOn()
    {
        app::installMessageBoxReport();
        QString shown;
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        // A failed range check in the middle of a handler: the rest is skipped.
        bool reachedEnd = false;
        const int tooWide = 256;
        const bool completed = form().handle([&] {
            base::toUInt8(tooWide);
            reachedEnd = true;
        });
        base::setErrorSink([this](const QString &t) { win_.reports << t; });
        QVERIFY(!completed);
        QVERIFY(!reachedEnd);
        QCOMPARE(shown, QStringLiteral("Range check error"));

        // A real check failing inside a paint: reported, and the window keeps working.
        form().handle([&] { form().pageView().machine().columnX(0, "abc", markup::DisplayMode::Rendered); });
        QCOMPARE(win_.reports, QStringList{QStringLiteral("Range check error")});
        win_.reports.clear();
        QTest::mouseClick(form().codebox(), Qt::LeftButton);
        QCOMPARE(form().editor().state().sourceMode, markup::DisplayMode::Source);
    }

    // The window's icon is the program's drawing (built into the binary), at
    // the sizes window managers ask for.
    void programIconIsBuiltIn()
    {
        const QIcon icon = app::appIcon();
        QVERIFY(!icon.isNull());
        for (const int size : {16, 32, 48, 64})
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
        // The drawing's arrow: pure blue at its middle, at (14, 48) of 64.
        const QImage large = icon.pixmap(64).toImage();
        QCOMPARE(large.pixel(14, 48), qRgb(0, 0, 255));
        QCOMPARE(qAlpha(large.pixel(0, 0)), 0);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
