#include "view/surface.h"

#include "base/errorreport.h"
#include "view/pageaccessible.h"
#include "view/windowscale.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

namespace view {

PaintSurface::PaintSurface(const QString &name, QWidget *parent, PaintHandler paint,
                           MouseHandler move, MouseHandler press)
    : QWidget(parent), paint_(std::move(paint)), move_(std::move(move)), press_(std::move(press))
{
    setObjectName(name);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    installPageAccessibleFactory();
}

void PaintSurface::updateLogical(const QRect &r)
{
    // One toolkit pixel more on each side: a logical pixel's device pixels may
    // reach into the neighbouring toolkit pixel.
    update(scale_ == 1.0 ? r : toWindow(r, scale_).adjusted(-1, -1, 1, 1));
}

QPoint PaintSurface::logicalPosition(const QPointF &pos) const
{
    if (scale_ == 1.0)
        return pos.toPoint();
    const double ratio = devicePixelRatioF();
    return QPoint(toLogical(pos.x(), ratio, scale_), toLogical(pos.y(), ratio, scale_));
}

void PaintSurface::paintEvent(QPaintEvent *e)
{
    base::guarded([&] {
        QPainter p(this);
        paint_(p, logicalCover(e->rect(), scale_));
    });
}

void PaintSurface::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = logicalPosition(e->position());
    base::guarded([&] { move_(pos.x(), pos.y()); });
}

void PaintSurface::mousePressEvent(QMouseEvent *e)
{
    const QPoint pos = logicalPosition(e->position());
    base::guarded([&] { press_(pos.x(), pos.y()); });
}

bool routeToWindow(QWidget *window, QObject *watched, QEvent *e)
{
    if (watched == window || (e->type() != QEvent::KeyPress && e->type() != QEvent::Wheel))
        return false;
    QCoreApplication::sendEvent(window, e);
    return true;
}

} // namespace view
