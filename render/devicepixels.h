#pragma once
// Logical page pixels to device pixels. The page is laid out in logical pixels;
// on a screen with a device pixel ratio above 1 it is drawn at the device's own
// resolution, each logical coordinate times the ratio, rounded to a whole pixel.

#include <QRect>
#include <cmath>

namespace render {

// Returns the device pixel at which logical coordinate v starts.
inline int toDevice(int v, double ratio)
{
    return ratio == 1.0 ? v : int(std::lround(v * ratio));
}

// Returns the device pixels that the logical rectangle r covers; adjacent
// rectangles stay adjacent.
inline QRect toDevice(const QRect &r, double ratio)
{
    if (ratio == 1.0)
        return r;
    return QRect(QPoint(toDevice(r.left(), ratio), toDevice(r.top(), ratio)),
                 QPoint(toDevice(r.right() + 1, ratio) - 1, toDevice(r.bottom() + 1, ratio) - 1));
}

} // namespace render
