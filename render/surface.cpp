#include "render/surface.h"

#include "base/errorreport.h"
#include "render/pageaccessible.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

namespace render {

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

void PaintSurface::paintEvent(QPaintEvent *e)
{
    base::guarded([&] {
        QPainter p(this);
        paint_(p, e->rect());
    });
}

void PaintSurface::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    base::guarded([&] { move_(pos.x(), pos.y()); });
}

void PaintSurface::mousePressEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    base::guarded([&] { press_(pos.x(), pos.y()); });
}

bool routeToWindow(QWidget *window, QObject *watched, QEvent *e)
{
    if (watched == window || (e->type() != QEvent::KeyPress && e->type() != QEvent::Wheel))
        return false;
    QCoreApplication::sendEvent(window, e);
    return true;
}

} // namespace render
