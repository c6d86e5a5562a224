#pragma once
// Collects the glyphs of consecutive characters of one face and colour and
// draws them in one glyph run. Drawing order only matters where pixels
// overlap, so anything else drawn on the row first flushes the pending glyphs
// whose ink it would touch; the result is the same as drawing each at once.

#include "render/fontbook.h"

#include <QGlyphRun>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QRect>
#include <cstdint>
#include <optional>

namespace render {

class GlyphBatch {
public:
    // Queues glyph g of face at (x, baseline) in colour (0xBBGGRR); flushes first
    // when face or colour differ from what is pending.
    void add(QPainter &p, FontFace &face, uint32_t color, const GlyphInfo &g, int x, int baseline);
    // Draws the pending glyphs when any of them may touch area.
    void flushIfOverlaps(QPainter &p, const QRect &area)
    {
        if (!indexes_.isEmpty() && ink_.intersects(area))
            flush(p);
    }
    // Draws every pending glyph and empties the batch.
    void flush(QPainter &p);
    // Sets p's pen to color (0xBBGGRR) unless the batch set that pen last.
    void usePen(QPainter &p, uint32_t color);
    // Forgets which pen was set: a new painter or walk starts.
    void forgetPen() { penColor_.reset(); }

private:
    FontFace *face_ = nullptr;
    uint32_t color_ = 0;
    QList<quint32> indexes_;
    QList<QPointF> positions_;
    QRect ink_;
    // Kept between flushes so each run reuses its storage.
    QGlyphRun run_;
    FontFace *runFace_ = nullptr;
    std::optional<uint32_t> penColor_;
};

} // namespace render
