#pragma once
// The window's own scale: a window that does not fit its screen is shown
// smaller (or, asked for, larger) as a whole. Its layout stays in logical
// pixels; the controls are placed at the scaled size, the pages are drawn at
// the screen's pixel ratio times the scale, and the mouse is mapped back to
// logical pixels so that it lands on the same characters at every scale.
// Qt's own scale factor is of no use below 1: Qt 6.4's painter never scales a
// device down, so every control would be drawn at full size and clipped.

#include <QFont>
#include <QMargins>
#include <QPointF>
#include <QRect>
#include <QSize>

class QPainter;
class QWidget;

namespace view {

// The smallest and largest window scale.
constexpr double kMinWindowScale = 0.5;
constexpr double kMaxWindowScale = 4.0;

// What a window's scale is chosen from.
struct FitRequest {
    QSize natural;          // the client area at scale 1, logical pixels
    QRect available;        // the screen's available area, in the toolkit's pixels
    QMargins frame;         // what the window manager adds around the client area
    double screenRatio = 1; // the toolkit's device pixels per its pixel
    double zoom = 1;        // the scale asked for by hand (1: none)
};

// Returns the window scale: the zoom, or the largest scale below it at which
// the framed window fits the available area, never below kMinWindowScale. A
// scale made smaller to fit is rounded down so that a page row is a whole
// number of device pixels high.
double fittedScale(const FitRequest &request);

// Returns the toolkit pixel at which logical coordinate v starts at scale s.
int toWindow(int v, double scale);
// Returns the toolkit pixels the logical rectangle covers at scale s;
// adjacent rectangles stay adjacent.
QRect toWindow(const QRect &r, double scale);
// Returns the logical pixel under toolkit position pos (along one axis) at
// scale s on a screen of the given ratio: the one whose device pixels hold
// the device pixel under pos, as the page is drawn.
int toLogical(double pos, double screenRatio, double scale);
// Returns offset (toolkit pixels from a window corner) as logical pixels at scale s.
QPoint toLogicalOffset(QPoint offset, double scale);
// Returns the logical rectangle covering the toolkit rectangle r at scale s.
QRect logicalCover(const QRect &r, double scale);

// Returns font with its pixel size times scale (at least 1).
QFont scaledFont(QFont font, double scale);

// Makes painter p draw in the device pixels of its widget, whatever the
// screen's pixel ratio; returns that ratio.
double paintInDevicePixels(QPainter &p);

} // namespace view
