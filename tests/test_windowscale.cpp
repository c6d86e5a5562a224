// The window at its own scale: the scale chosen for a screen, where the mouse
// lands, the scaled page against the renderer and against the page at scale 1,
// every control inside the scaled window, and the buttons' keys. The test
// gives its offscreen platform a 1366 x 768 screen.
//
// Sections: helpers (fit requests, ink boxes, a catcher for modal windows);
// the scale chosen for a screen; the mouse mapping; each line's ink at every
// scale; the scaled window against the renderer; controls inside the window;
// clicks, hover and the wheel; the help viewer; the fit at start; the keys;
// main (the screen configuration).

#include "app/mainwindow.h"
#include "app/cli.h"
#include "app/keymap.h"
#include "editorwindow.h"
#include "fileio/helpfile.h"
#include "helpview/helpviewer.h"
#include "render/colors.h"
#include "render/devicepixels.h"
#include "view/windowscale.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

namespace {

const QSize kNatural(851, 911);
const double kScales[] = {0.5, 0.64, 0.8, 0.84, 0.92};

view::FitRequest screenOf(int width, int height, double ratio = 1.0, double zoom = 1.0)
{
    view::FitRequest r;
    r.natural = kNatural;
    r.available = QRect(0, 0, width, height);
    r.screenRatio = ratio;
    r.zoom = zoom;
    return r;
}

// The box of the pixels in band that are not the page colour; empty when none.
QRect inkBox(const QImage &page, const QRect &band)
{
    QRect box;
    for (int y = band.top(); y <= band.bottom() && y < page.height(); ++y)
        for (int x = band.left(); x <= band.right() && x < page.width(); ++x)
            if (render::toBgr(page.pixel(x, y)) != render::kPageColor)
                box |= QRect(x, y, 1, 1);
    return box;
}

doc::TextGrid sampleGrid()
{
    doc::TextGrid grid;
    grid.loadLines(fileio::parseHelpFile(fileio::readFileBytes(QStringLiteral(HELPEDIT_SOURCE_DIR "/examples/sample.hlp"))));
    return grid;
}

// Closes the next modal window once it shows and returns its object name.
class ModalCatcher {
public:
    ModalCatcher()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                seen_ = w->objectName();
                if (auto *d = qobject_cast<QDialog *>(w))
                    d->done(QDialog::Rejected);
            }
        });
        timer_.start(20);
    }
    QString seen() const { return seen_; }

private:
    QTimer timer_;
    QString seen_;
};

} // namespace

class TestWindowScale : public QObject {
    Q_OBJECT

    EditorWindow win_;
    app::MainWindow &form() { return win_.form(); }
    // The toolkit point over the middle of logical span [a, b) of the page along one axis.
    double over(int a, int b) const
    {
        const double ratio = win_.form().helpbox()->devicePixelRatioF() * win_.form().windowScale();
        const int first = render::toDevice(a, ratio);
        const int last = render::toDevice(b, ratio) - 1;
        return ((first + last) / 2 + 0.5) / win_.form().helpbox()->devicePixelRatioF();
    }
    QPoint overPage(QRect logical) const
    {
        return QPoint(int(over(logical.left(), logical.right() + 1)), int(over(logical.top(), logical.bottom() + 1)));
    }

    // Moves the mouse over the page to pos, in the page's toolkit pixels.
    void hover(QPoint pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, form().helpbox()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(form().helpbox(), &move);
    }

private slots:
    void init() { QVERIFY(win_.open()); }
    void cleanup()
    {
        const QStringList reports = win_.close();
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join(", ")));
    }

    void scaleFitsTheScreen()
    {
        // 768 rows hold 911 at 0.843: the row step 25 x 0.84 = 21 device pixels.
        QCOMPARE(view::fittedScale(screenOf(1366, 768)), 0.84);
        // 1920 x 1080 at 125 %: 864 logical rows; 1.25 x 0.948 goes down to 1.16.
        QCOMPARE(view::fittedScale(screenOf(1536, 864, 1.25)), 1.16 / 1.25);
        // A screen that holds the window changes nothing; a zoom is kept when it fits.
        QCOMPARE(view::fittedScale(screenOf(1280, 1024)), 1.0);
        QCOMPARE(view::fittedScale(screenOf(3840, 2160, 1.0, 1.5)), 1.5);
        // A zoom too large for the screen is cut to the fit, never larger than the screen.
        QCOMPARE(view::fittedScale(screenOf(1366, 768, 1.0, 2.0)), 0.84);
        // A frame takes its room; a screen too small even at 0.5 gets 0.5.
        view::FitRequest framed = screenOf(1366, 768);
        framed.frame = QMargins(4, 40, 4, 4);
        QCOMPARE(view::fittedScale(framed), 0.76);
        QCOMPARE(view::fittedScale(screenOf(320, 240)), 0.5);
        QCOMPARE(view::fittedScale(screenOf(320, 240, 1.0, 0.7)), 0.5);
    }

    void fittedWindowIsTheLargestThatFits()
    {
        for (const double ratio : {1.0, 1.25, 1.5, 2.0}) {
            for (int height = 500; height <= 1200; height += 7) {
                const double scale = view::fittedScale(screenOf(4000, height, ratio));
                const QString where = QStringLiteral("ratio %1, height %2").arg(ratio).arg(height);
                QVERIFY2(scale >= 0.5 && scale <= 1.0, qPrintable(where));
                if (scale == 1.0 || scale == 0.5)
                    continue;
                QVERIFY2(view::toWindow(911, scale) <= height, qPrintable(where));
                // A page row is a whole number of device pixels, and one pixel more would not fit.
                const double row = 25 * ratio * scale;
                QVERIFY2(std::abs(row - std::round(row)) < 1e-6, qPrintable(where));
                QVERIFY2(911 * (row + 1) / (25 * ratio) > height, qPrintable(where));
            }
        }
    }

    // The logical pixel a toolkit position maps to is the one whose device
    // pixels hold the device pixel under it, as the renderer places them.
    void mouseLandsOnTheCharacterDrawnUnderIt()
    {
        for (const double screen : {1.0, 1.25, 2.0}) {
            for (const double scale : {0.5, 0.64, 0.8, 0.84, 0.928, 1.5}) {
                const double ratio = screen * scale;
                for (int device = 0; device < 900; ++device) {
                    const int logical = view::toLogical((device + 0.5) / screen, screen, scale);
                    const QString where = QStringLiteral("%1 x %2 at %3").arg(screen).arg(scale).arg(device);
                    QVERIFY2(render::toDevice(logical, ratio) <= device, qPrintable(where));
                    QVERIFY2(render::toDevice(logical + 1, ratio) > device, qPrintable(where));
                }
            }
        }
        QCOMPARE(view::toLogical(137, 1.0, 1.0), 137);
    }

    // An expectation that does not come from the renderer: each line's ink,
    // drawn alone at ratio r, lies where its ink at ratio 1 does, times r,
    // within two device pixels.
    void rowsKeepTheirPlaceAtEveryScale()
    {
        const doc::TextGrid sample = sampleGrid();
        const QRect firstRows(0, 0, render::kPageSize, 3 * render::kRowHeight);
        int linesWithInk = 0;
        for (int line = 1; line <= 42; ++line) {
            doc::TextGrid grid;
            grid.setLine(sample.getLine(line), 1);
            const QRect expected = inkBox(app::renderPage(grid, 1, markup::DisplayMode::Rendered), firstRows);
            linesWithInk += !expected.isEmpty();
            for (const double ratio : kScales) {
                const QImage scaled = app::renderPage(grid, 1, markup::DisplayMode::Rendered, ratio);
                const QRect got = inkBox(scaled, render::toDevice(firstRows, ratio));
                const QString where = QStringLiteral("ratio %1, line %2: %3,%4 %5x%6 against %7,%8 %9x%10")
                                          .arg(ratio).arg(line).arg(got.x()).arg(got.y()).arg(got.width())
                                          .arg(got.height()).arg(expected.x()).arg(expected.y())
                                          .arg(expected.width()).arg(expected.height());
                QVERIFY2(expected.isEmpty() == got.isEmpty(), qPrintable(where));
                if (expected.isEmpty())
                    continue;
                const auto near = [&](int v, int want) { return std::abs(v - want * ratio) <= 2.0; };
                QVERIFY2(near(got.left(), expected.left()) && near(got.right() + 1, expected.right() + 1)
                             && near(got.top(), expected.top()) && near(got.bottom() + 1, expected.bottom() + 1),
                         qPrintable(where));
            }
        }
        QVERIFY(linesWithInk > 15);
    }

    // The scaled window shows exactly what --render --scale draws at the
    // screen's ratio times the window's scale, caret aside.
    void scaledWindowShowsTheRenderersPage()
    {
        form().openFile(QStringLiteral(HELPEDIT_SOURCE_DIR "/examples/sample.hlp"));
        for (const double scale : kScales) {
            form().applyWindowScale(scale);
            QImage shown = form().helpbox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            shown.setDevicePixelRatio(1);
            const double ratio = form().helpbox()->devicePixelRatioF() * scale;
            QImage written = app::renderPage(sampleGrid(), 1, markup::DisplayMode::Rendered, ratio)
                                 .convertToFormat(QImage::Format_RGB32);
            const QRect caret = render::toDevice(form().pageView().caretRect(), ratio);
            for (QImage *img : {&shown, &written})
                QPainter(img).fillRect(caret, Qt::black);
            const QRect common = shown.rect() & written.rect();
            QVERIFY2(std::abs(shown.width() - written.width()) <= 2, qPrintable(QString::number(scale)));
            QVERIFY2(shown.copy(common) == written.copy(common), qPrintable(QString::number(scale)));
        }
    }

    // Every control lies inside the scaled window, each caption fits its
    // button, and the bar and the source-code box are drawn.
    void scaledWindowKeepsEveryControlInside()
    {
        for (const double scale : kScales) {
            form().applyWindowScale(scale);
            const QString at = QString::number(scale);
            QCOMPARE(form().size(), QSize(view::toWindow(851, scale), view::toWindow(911, scale)));
            for (QWidget *w : form().findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (!w->isWindow())
                    QVERIFY2(form().rect().contains(w->geometry()), qPrintable(at + w->objectName()));
                if (auto *b = qobject_cast<QPushButton *>(w))
                    QVERIFY2(QFontMetrics(b->font()).horizontalAdvance(b->text()) < b->width(),
                             qPrintable(at + b->text()));
            }
            const QImage window = form().grab().toImage().convertToFormat(QImage::Format_RGB32);
            const double screen = form().devicePixelRatioF();
            const auto inkIn = [&](QWidget *w, uint32_t background) {
                const QRect r(w->geometry().topLeft() * screen, w->geometry().size() * screen);
                int n = 0;
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        n += render::toBgr(window.pixel(x, y)) != background;
                return n;
            };
            // The caption of the box, and the slider and arrows of the bar.
            QVERIFY2(inkIn(form().codebox(), 0xC0FFFF) > 100, qPrintable(at));
            const uint32_t face = render::toBgr(window.pixel(form().pageBar()->geometry().center() * screen));
            QVERIFY2(inkIn(form().pageBar(), face) > 50, qPrintable(at));
        }
    }

    // Clicks, hover and the wheel land on the same characters at every scale.
    void mouseActsAsAtScaleOne()
    {
        doc::TextGrid &grid = form().editor().grid();
        grid.setLine("\\@far; HHHHHHHHHH", 1);
        grid.setLine("\\#far; here", 40);
        form().linkClicked();
        form().pageView().repaintPage();
        const int row = render::rowTop(1, 1);
        for (const double scale : kScales) {
            form().applyWindowScale(scale);
            const QString at = QString::number(scale);
            for (int column = 7; column <= 17; column += 3) {
                const int a = form().pageView().columnX(column, 1);
                const int b = form().pageView().columnX(column + 1, 1);
                QTest::mouseClick(form().helpbox(), Qt::LeftButton, {}, overPage(QRect(a, row, b - a, 25)));
                QVERIFY2(form().editor().state().cursorColumn == column, qPrintable(at));
            }
            // Over the arrow the hand shows and a click follows the link.
            hover(overPage(QRect(5, row, 20, 25)));
            QVERIFY2(form().editor().state().hoverTarget == 40, qPrintable(at));
            hover(overPage(QRect(300, row, 20, 25)));
            QVERIFY2(form().editor().state().hoverTarget == 0, qPrintable(at));
            // The wheel acts inside the page less its margin, as at scale 1.
            const QPoint corner = form().frameGeometry().topLeft();
            const auto wheelAt = [&](QPoint logical) {
                const int top = form().editor().state().topLine;
                const QPoint global = corner + QPoint(view::toWindow(logical.x(), scale), view::toWindow(logical.y(), scale));
                form().wheelTurned(-120, global);
                const bool moved = form().editor().state().topLine != top;
                form().goToTopClicked();
                return moved;
            };
            QVERIFY2(wheelAt(QPoint(8 + 400, 48 + 400)), qPrintable(at));
            QVERIFY2(!wheelAt(QPoint(8 + 795, 48 + 400)), qPrintable(at));
            QVERIFY2(!wheelAt(QPoint(8 + 400, 48 + 795)), qPrintable(at));
        }
    }

    // A reader's magnifier gets each character's box where the scaled page
    // shows it: the box holds the character's ink, and the point in its middle
    // gives the character back.
    void readerFindsCharactersOnTheScaledPage()
    {
        form().editor().grid().setLine("HHHHHHHHHH", 1);
        form().pageView().repaintPage();
        for (const double scale : kScales) {
            form().applyWindowScale(scale);
            QAccessibleInterface *page = QAccessible::queryAccessibleInterface(form().helpbox());
            QVERIFY(page && page->textInterface());
            QAccessibleTextInterface *text = page->textInterface();
            QCOMPARE(text->text(0, 10), QStringLiteral("HHHHHHHHHH"));
            const double screen = form().helpbox()->devicePixelRatioF();
            const QImage shown = form().helpbox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            for (int i = 0; i < 10; ++i) {
                const QRect global = text->characterRect(i);
                const QRect box(form().helpbox()->mapFromGlobal(global.topLeft()), global.size());
                const QString at = QStringLiteral("%1, H %2").arg(scale).arg(i);
                QVERIFY2(inkBox(shown, QRect(box.topLeft() * screen, box.size() * screen)).width() > 2, qPrintable(at));
                QVERIFY2(text->offsetAtPoint(global.center()) == i, qPrintable(at));
            }
        }
    }

    void helpViewerTakesTheScale()
    {
        form().applyWindowScale(0.8);
        helpview::HelpViewer *help = form().helpform();
        QCOMPARE(help->windowScale(), 0.8);
        QCOMPARE(help->size(), QSize(view::toWindow(854, 0.8), view::toWindow(822, 0.8)));
        QCOMPARE(help->surface().size(), QSize(640, 640) * help->pageSurface()->devicePixelRatioF());
        QVERIFY(help->rect().contains(help->pageBar()->geometry()));
    }

    // At the start the window takes the largest scale up to the zoom at which
    // it fits the screen, and lies inside its available area.
    void programFitsItsScreen()
    {
        const QRect avail = form().screen()->availableGeometry();
        for (const double zoom : {1.0, 0.6, 1.5, 4.0}) {
            form().setZoom(zoom);
            const QString at = QStringLiteral("zoom %1: scale %2, window %3 x %4 on %5 x %6").arg(zoom).arg(form().windowScale()).arg(form().width()).arg(form().height()).arg(avail.width()).arg(avail.height());
            QVERIFY2(avail.contains(form().frameGeometry()), qPrintable(at));
            QVERIFY2(form().windowScale() <= zoom, qPrintable(at));
            // One step larger (a device pixel more a row) the framed window would not fit.
            const int frame = form().frameGeometry().height() - form().height();
            const double larger = form().windowScale() + 0.04 / form().devicePixelRatioF();
            if (form().windowScale() < zoom)
                QVERIFY2(view::toWindow(911, larger) + frame > avail.height(), qPrintable(at));
        }
    }

    void buttonKeysDoWhatTheButtonsDo()
    {
        using app::ButtonKey;
        QCOMPARE(app::buttonKey(Qt::Key_O, Qt::ControlModifier), ButtonKey::Open);
        QCOMPARE(app::buttonKey(Qt::Key_S, Qt::ControlModifier | Qt::KeypadModifier), ButtonKey::Save);
        QCOMPARE(app::buttonKey(Qt::Key_F1, Qt::NoModifier), ButtonKey::Help);
        QCOMPARE(app::buttonKey(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier), ButtonKey::None);
        QCOMPARE(app::buttonKey(Qt::Key_S, Qt::AltModifier), ButtonKey::None);
        QCOMPARE(app::buttonKey(Qt::Key_F1, Qt::ShiftModifier), ButtonKey::None);
        QCOMPARE(app::buttonKey(Qt::Key_O, Qt::NoModifier), ButtonKey::None);

        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods) {
            ModalCatcher catcher;
            QTest::keyClick(&form(), key, mods);
            return catcher.seen();
        };
        QCOMPARE(press(Qt::Key_O, Qt::ControlModifier), QStringLiteral("OpenDialog1"));
        QCOMPARE(press(Qt::Key_F1, Qt::NoModifier), QStringLiteral("helpform"));
        // SAVE does nothing while the page is empty, and so does its key.
        QCOMPARE(press(Qt::Key_S, Qt::ControlModifier), QString());
        QTest::keyClicks(&form(), QStringLiteral("ab"));
        QCOMPARE(press(Qt::Key_S, Qt::ControlModifier), QStringLiteral("SaveDialog1"));
        QCOMPARE(press(Qt::Key_F2, Qt::NoModifier), QString());
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("ab"));
        QCOMPARE(form().editor().state().cursorColumn, 3);
        QVERIFY(QApplication::focusWidget() == nullptr || QApplication::focusWidget() == &form());
    }
};

int main(int argc, char **argv)
{
    // A laptop's screen for the offscreen platform, unless a test run asks for another.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96}]})");
    f.close();
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QStringLiteral("offscreen"))
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    TestWindowScale test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_windowscale.moc"
