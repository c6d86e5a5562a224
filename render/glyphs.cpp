#include "render/glyphs.h"

#include "render/colors.h"

namespace render {

namespace {

QImage whiteGlyph()
{
    QImage img(kGlyphWidth, kGlyphHeight, QImage::Format_ARGB32);
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

QImage createPointerGlyph()
{
    QImage img = whiteGlyph();
    {
        QPainter p(&img);
        for (int r = 5; r <= 12; ++r)
            hvLine(p, kBlue, 5, r, 15, r);
        for (int j = 0; j <= 7; ++j)
            hvLine(p, kBlue, j + 2, j + 13, 18 - j, j + 13);
    }
    return withWhiteLeftOut(img);
}

QImage createMarkerGlyph()
{
    // A filled ellipse in the rectangle (5, 8)-(15, 18), right and bottom edges
    // excluded: every pixel whose centre lies inside the 10 x 10 circle.
    QImage img = whiteGlyph();
    const double cx = 10.0, cy = 13.0, r = 5.0;
    for (int y = 8; y < 18; ++y) {
        for (int x = 5; x < 15; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy <= r * r)
                img.setPixel(x, y, bgr(kBlue).rgb());
        }
    }
    return withWhiteLeftOut(img);
}

} // namespace render
