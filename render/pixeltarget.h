#pragma once
// Writing straight into an RGB32 image: solid fills and glyphs blended from
// their coverage, with the same arithmetic as Qt's raster engine, so the
// pixels are the same as the painter's and the painter's overhead is saved.

#include "render/fontbook.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstdint>

namespace render {

// What lies under a glyph's ink box before it is drawn.
enum class Underlay { Unknown, Background };

class PixelTarget {
public:
    // Returns the target for the image p paints on, when direct writes give the
    // same pixels as p (RGB32 image, no transform, clip, opacity or composition
    // mode); an invalid target otherwise.
    static PixelTarget of(QPainter &p);

    // Returns whether there is an image to write to.
    bool isValid() const { return bits_ != nullptr; }
    // Returns the image's rectangle.
    QRect rect() const { return QRect(0, 0, width_, height_); }
    // Fills r (clipped to the image) with an opaque colour 0xAARRGGBB.
    void fill(const QRect &r, QRgb color);
    // Blends glyph g with its pen at (x, baseline) in an opaque colour 0xAARRGGBB;
    // background is the colour most of its pixels are expected to lie on, and
    // with Underlay::Background every pixel of the ink box holds it.
    void blendGlyph(const GlyphInfo &g, int x, int baseline, QRgb color, QRgb background,
                    Underlay underlay = Underlay::Unknown);

private:
    uchar *bits_ = nullptr;
    qsizetype bytesPerLine_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace render
