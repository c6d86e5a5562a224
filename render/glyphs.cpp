#include "render/glyphs.h"

#include "render/colors.h"
#include "render/devicepixels.h"

namespace render {

namespace {

QImage whiteGlyph(double ratio)
{
    QImage img(toDevice(kGlyphWidth, ratio), toDevice(kGlyphHeight, ratio), QImage::Format_ARGB32);
    img.fill(bgr(kWhite));
    return img;
}

// White is the glyphs' transparent colour: leave it out once, here.
QImage withWhiteLeftOut(QImage img)
{
    const QRgb white = bgr(kWhite).rgb();
    for (int y = 0; y < img.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (row[x] == white)
                row[x] = qRgba(255, 255, 255, 0);
        }
    }
    return img;
}

} // namespace

QImage createPointerGlyph(double ratio)
{
    QImage img = whiteGlyph(ratio);
    {
        QPainter p(&img);
        const auto line = [&](int x1, int x2, int y) {
            p.fillRect(toDevice(hvLineRect(x1, y, x2, y), ratio), bgr(kBlue));
        };
        for (int r = 5; r <= 12; ++r)
            line(5, 15, r);
        for (int j = 0; j <= 7; ++j)
            line(j + 2, 18 - j, j + 13);
    }
    return withWhiteLeftOut(img);
}

QImage createMarkerGlyph(double ratio)
{
    // A filled ellipse in the rectangle (5, 8)-(15, 18), right and bottom edges
    // excluded: every pixel whose centre lies inside the 10 x 10 circle.
    QImage img = whiteGlyph(ratio);
    const double cx = 10.0, cy = 13.0, r = 5.0;
    const QRect box = toDevice(QRect(5, 8, 10, 10), ratio);
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const double dx = (x + 0.5) / ratio - cx, dy = (y + 0.5) / ratio - cy;
            if (dx * dx + dy * dy <= r * r)
                img.setPixel(x, y, bgr(kBlue).rgb());
        }
    }
    return withWhiteLeftOut(img);
}

} // namespace render
