#include "render/glyphbatch.h"

#include "render/colors.h"

namespace render {

void GlyphBatch::add(QPainter &p, FontFace &face, uint32_t color, const GlyphInfo &g, int x,
                     int baseline)
{
    if (!indexes_.isEmpty() && (face_ != &face || color_ != color))
        flush(p);
    face_ = &face;
    color_ = color;
    indexes_.append(g.index);
    positions_.append(QPointF(x, baseline));
    ink_ |= g.ink.translated(x, baseline);
}

void GlyphBatch::flush(QPainter &p)
{
    if (indexes_.isEmpty())
        return;
    if (runFace_ != face_) {
        run_.setRawFont(face_->rawFont());
        runFace_ = face_;
    }
    run_.setGlyphIndexes(indexes_);
    run_.setPositions(positions_);
    usePen(p, color_);
    p.drawGlyphRun(QPointF(0, 0), run_);
    // Let go of the lists so that clearing them below keeps their storage.
    run_.setGlyphIndexes({});
    run_.setPositions({});
    indexes_.clear();
    positions_.clear();
    ink_ = QRect();
}

void GlyphBatch::usePen(QPainter &p, uint32_t color)
{
    if (penColor_ == color)
        return;
    p.setPen(bgr(color));
    penColor_ = color;
}

} // namespace render
