#include "view/windowscale.h"

#include "render/pagegeometry.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace view {

double fittedScale(const FitRequest &request)
{
    const double zoom = std::clamp(request.zoom, kMinWindowScale, kMaxWindowScale);
    if (request.natural.isEmpty() || request.available.isEmpty())
        return zoom;
    const double roomWidth = request.available.width() - request.frame.left() - request.frame.right();
    const double roomHeight = request.available.height() - request.frame.top() - request.frame.bottom();
    const double fit = std::min(roomWidth / request.natural.width(), roomHeight / request.natural.height());
    if (fit >= zoom)
        return zoom;
    // A device ratio in steps of 1/25 makes every 25-pixel row a whole number
    // of device pixels, which keeps the rows sharp and scrolling a plain move.
    const double screen = request.screenRatio > 0 ? request.screenRatio : 1.0;
    const double step = 1.0 / render::kRowHeight;
    const double ratio = std::floor(fit * screen / step + 1e-9) * step;
    // A screen too small even for the smallest scale: the window manager places it.
    return std::clamp(ratio / screen, std::min(kMinWindowScale, zoom), zoom);
}

int toWindow(int v, double scale)
{
    return scale == 1.0 ? v : int(std::lround(v * scale));
}

QRect toWindow(const QRect &r, double scale)
{
    if (scale == 1.0)
        return r;
    return QRect(QPoint(toWindow(r.left(), scale), toWindow(r.top(), scale)),
                 QPoint(toWindow(r.right() + 1, scale) - 1, toWindow(r.bottom() + 1, scale) - 1));
}

int toLogical(double pos, double screenRatio, double scale)
{
    // Logical pixel v starts at device pixel round(v * ratio); the one under
    // device pixel d is the last that starts at or before it.
    const double ratio = screenRatio * scale;
    const double device = std::floor(pos * screenRatio + 1e-9);
    return int(std::ceil((device + 0.5) / ratio)) - 1;
}

QPoint toLogicalOffset(QPoint offset, double scale)
{
    if (scale == 1.0)
        return offset;
    return QPoint(int(std::floor(offset.x() / scale)), int(std::floor(offset.y() / scale)));
}

QRect logicalCover(const QRect &r, double scale)
{
    if (scale == 1.0)
        return r;
    const int left = int(std::floor(r.left() / scale));
    const int top = int(std::floor(r.top() / scale));
    const int right = int(std::ceil((r.right() + 1) / scale)) - 1;
    const int bottom = int(std::ceil((r.bottom() + 1) / scale)) - 1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QFont scaledFont(QFont font, double scale)
{
    if (scale != 1.0 && font.pixelSize() > 0)
        font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
    return font;
}

double paintInDevicePixels(QPainter &p)
{
    const double ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    if (ratio != 1.0)
        p.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    return ratio;
}

} // namespace view
