#include "render/glyphbatch.h"

#include "render/colors.h"

#include <QGlyphRun>

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
    QGlyphRun run;
    run.setRawFont(face_->rawFont());
    run.setGlyphIndexes(indexes_);
    run.setPositions(positions_);
    p.setPen(bgr(color_));
    p.drawGlyphRun(QPointF(0, 0), run);
    indexes_.clear();
    positions_.clear();
    ink_ = QRect();
}

} // namespace render
