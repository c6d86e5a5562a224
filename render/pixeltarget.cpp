#include "render/pixeltarget.h"

#include <algorithm>

namespace render {

namespace {

// Each channel of x times a / 255, rounded as Qt's raster engine rounds it.
inline uint32_t byteMul(uint32_t x, uint32_t a)
{
    uint64_t t = ((uint64_t(x) | (uint64_t(x) << 24)) & 0x00ff00ff00ff00ffULL) * a;
    t = (t + ((t >> 8) & 0x00ff00ff00ff00ffULL) + 0x0080008000800080ULL) >> 8;
    t &= 0x00ff00ff00ff00ffULL;
    return uint32_t(t) | uint32_t(t >> 24);
}

} // namespace

PixelTarget PixelTarget::of(QPainter &p)
{
    PixelTarget t;
    QPaintDevice *d = p.device();
    if (!d || d->devType() != QInternal::Image || !p.transform().isIdentity() || p.hasClipping()
        || p.opacity() != 1.0 || p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return t;
    auto *img = static_cast<QImage *>(d);
    if (img->format() != QImage::Format_RGB32)
        return t;
    // One bits() call: scanLine() would check for sharing on every row.
    t.bits_ = img->bits();
    t.bytesPerLine_ = img->bytesPerLine();
    t.width_ = img->width();
    t.height_ = img->height();
    return t;
}

void PixelTarget::fill(const QRect &r, QRgb color)
{
    const QRect area = r & rect();
    if (area.isEmpty())
        return;
    uchar *row = bits_ + qsizetype(area.top()) * bytesPerLine_;
    for (int y = area.top(); y <= area.bottom(); ++y, row += bytesPerLine_)
        std::fill_n(reinterpret_cast<QRgb *>(row) + area.left(), area.width(), color);
}

void PixelTarget::blendGlyph(const GlyphInfo &g, int x, int baseline, QRgb color)
{
    const QRect placed = g.ink.translated(x, baseline);
    const QRect area = placed & rect();
    if (area.isEmpty())
        return;
    const int stride = placed.width();
    const uint8_t *cov = g.coverage.data() + qsizetype(area.top() - placed.top()) * stride
        + (area.left() - placed.left());
    uchar *row = bits_ + qsizetype(area.top()) * bytesPerLine_;
    for (int y = area.top(); y <= area.bottom(); ++y, row += bytesPerLine_, cov += stride) {
        auto *dst = reinterpret_cast<QRgb *>(row) + area.left();
        for (int i = 0; i < area.width(); ++i) {
            const uint32_t c = cov[i];
            if (c == 0)
                continue;
            // Source over with the pen's colour at coverage c; a full
            // coverage is the pen's colour itself.
            dst[i] = c == 255 ? color : byteMul(color, c) + byteMul(dst[i], 255 - c);
        }
    }
}

} // namespace render
