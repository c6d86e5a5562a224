#pragma once
// Widgets shared by the editor page and the help viewer: a paint surface that
// hands its events to the window's handlers, and the routing that lets a window
// see every key and wheel turn before its controls do.

#include <QPoint>
#include <QWidget>
#include <functional>

namespace view {

class PageTextAccess;

// A paint surface whose paint, mouse-move and mouse-press events go to callbacks,
// each run through the error guard.
class PaintSurface : public QWidget {
    Q_OBJECT
public:
    using PaintHandler = std::function<void(QPainter &, const QRect &dirty)>;
    using MouseHandler = std::function<void(int x, int y)>;

    PaintSurface(const QString &name, QWidget *parent, PaintHandler paint, MouseHandler move,
                 MouseHandler press);

    // Sets the window scale: the handlers keep seeing logical pixels.
    void setScale(double scale) { scale_ = scale; }
    // Returns the window scale.
    double scale() const { return scale_; }
    // Asks for a repaint of the logical rectangle r.
    void updateLogical(const QRect &r);
    // Returns the logical pixel under toolkit position pos on the surface.
    QPoint logicalPosition(const QPointF &pos) const;
    // Lets assistive technology read the page through access (not owned; null: no text).
    void setTextAccess(PageTextAccess *access) { access_ = access; }
    // Returns what assistive technology reads the page through, or null.
    PageTextAccess *textAccess() const { return access_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    PaintHandler paint_;
    MouseHandler move_;
    MouseHandler press_;
    double scale_ = 1.0;
    PageTextAccess *access_ = nullptr;
};

// Sends a key press or wheel turn that reached a control of window to window
// itself; returns true when the event was taken.
bool routeToWindow(QWidget *window, QObject *watched, QEvent *e);

// The wheel acts only this many pixels or more inside a page's rectangle.
constexpr int kWheelMargin = 10;

// Returns whether a wheel turn at mouse acts on the page of size x size pixels
// whose rectangle starts at corner (both in screen coordinates): strictly
// inside the margin.
inline bool insideWheelRect(QPoint mouse, QPoint corner, int size)
{
    return corner.x() + kWheelMargin < mouse.x() && mouse.x() < corner.x() + size - kWheelMargin
        && corner.y() + kWheelMargin < mouse.y() && mouse.y() < corner.y() + size - kWheelMargin;
}

} // namespace view
