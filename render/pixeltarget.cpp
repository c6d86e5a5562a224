#include "render/pixeltarget.h"

#include <algorithm>
#include <array>

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

// The blend of one pen colour over one background at every coverage. Most
// glyph pixels lie on the cell's background, so a table look-up replaces
// the arithmetic for them.
struct BlendTable {
    QRgb color = 0;
    QRgb background = 0;
    std::array<QRgb, 256> out{};
};

const BlendTable &blendTable(QRgb color, QRgb background)
{
    // A page uses a handful of colour pairs; a few tables hold them all.
    constexpr int kTables = 8;
    static thread_local std::array<BlendTable, kTables> tables;
    static thread_local int used = 0, next = 0;
    for (int i = 0; i < used; ++i) {
        if (tables[i].color == color && tables[i].background == background)
            return tables[i];
    }
    BlendTable &t = tables[next];
    next = (next + 1) % kTables;
    used = std::max(used, next == 0 ? kTables : next);
    t.color = color;
    t.background = background;
    for (uint32_t c = 0; c < 256; ++c)
        t.out[c] = byteMul(color, c) + byteMul(background, 255 - c);
    return t;
}

// Returns g blended in color over background, made once per pair.
const std::vector<QRgb> &glyphTile(const GlyphInfo &g, QRgb color, QRgb background)
{
    for (const GlyphInfo::Tile &t : g.tiles) {
        if (t.color == color && t.background == background)
            return t.pixels;
    }
    const BlendTable &table = blendTable(color, background);
    std::vector<QRgb> pixels(g.coverage.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = g.coverage[i] ? table.out[g.coverage[i]] : background;
    g.tiles.push_back({color, background, std::move(pixels)});
    return g.tiles.back().pixels;
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

void PixelTarget::blendGlyph(const GlyphInfo &g, int x, int baseline, QRgb color, QRgb background,
                             Underlay underlay)
{
    const QRect placed = g.ink.translated(x, baseline);
    const QRect area = placed & rect();
    if (area.isEmpty())
        return;
    const int stride = placed.width();
    const qsizetype skip = qsizetype(area.top() - placed.top()) * stride + (area.left() - placed.left());
    uchar *row = bits_ + qsizetype(area.top()) * bytesPerLine_;
    if (underlay == Underlay::Background) {
        // Blending over a known plain background gives the tile, pixel for
        // pixel, the untouched ones included.
        const QRgb *tile = glyphTile(g, color, background).data() + skip;
        const int width = area.width();
        // A glyph row is a few pixels: a plain loop beats a library call per row.
        for (int y = area.top(); y <= area.bottom(); ++y, row += bytesPerLine_, tile += stride) {
            QRgb *dst = reinterpret_cast<QRgb *>(row) + area.left();
            for (int i = 0; i < width; ++i)
                dst[i] = tile[i];
        }
        return;
    }
    const uint8_t *cov = g.coverage.data() + skip;
    const BlendTable &table = blendTable(color, background);
    for (int y = area.top(); y <= area.bottom(); ++y, row += bytesPerLine_, cov += stride) {
        auto *dst = reinterpret_cast<QRgb *>(row) + area.left();
        for (int i = 0; i < area.width(); ++i) {
            const uint32_t c = cov[i];
            if (c == 0)
                continue;
            // Source over with the pen's colour at coverage c; a full
            // coverage is the pen's colour itself.
            const QRgb d = dst[i];
            dst[i] = d == background ? table.out[c] : byteMul(color, c) + byteMul(d, 255 - c);
        }
    }
}

} // namespace render
