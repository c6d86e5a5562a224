// The main window's scale: the window fitted to its screen, or zoomed by hand,
// lays its controls out at their logical places times the scale and draws its
// page at the screen's ratio times the scale.

#include "app/mainwindow.h"

#include "helpview/helpviewer.h"
#include "view/windowscale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace app {

void MainWindow::setZoom(double zoom)
{
    zoom_ = zoom;
    fitsScreen_ = true;
    fitToScreen();
}

QMargins MainWindow::frameMargins() const
{
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

void MainWindow::fitToScreen()
{
    const QScreen *shown = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!shown)
        return;
    view::FitRequest request;
    request.natural = QSize(kClientWidth, kClientHeight);
    request.available = shown->availableGeometry();
    request.frame = fittedFrame_ = frameMargins();
    request.screenRatio = shown->devicePixelRatio();
    request.zoom = zoom_;
    const double scale = view::fittedScale(request);
    if (scale != scale_)
        applyWindowScale(scale);
    const QSize framed = size().grownBy(fittedFrame_);
    move(request.available.center() - QPoint(framed.width() / 2, framed.height() / 2));
}

void MainWindow::applyWindowScale(double scale)
{
    scale_ = scale;
    setFixedSize(view::toWindow(kClientWidth, scale), view::toWindow(kClientHeight, scale));
    for (const Placement &p : placements_) {
        p.widget->setGeometry(view::toWindow(p.geometry, scale));
        p.widget->setFont(view::scaledFont(p.font, scale));
    }
    helpbox_->setScale(scale);
    if (helpform_)
        helpform_->setWindowScale(scale);
    page_.createPageBitmap(pageRatio());
    page_.repaintPage();
    update();
}

double MainWindow::pageRatio() const
{
    return helpbox_->devicePixelRatioF() * scale_;
}

void MainWindow::moveEvent(QMoveEvent *e)
{
    // The window manager's frame is known only once the window is shown; a
    // frame the last fit did not allow for may push the window off the screen.
    if (fitsScreen_ && frameMargins() != fittedFrame_)
        QTimer::singleShot(0, this, [this] { fitToScreen(); });
    QWidget::moveEvent(e);
}

} // namespace app
