// The page renderer: the page drawn afresh, one row drawn again, and the
// entries that hand a one-line move to the row mover.

#include "render/pagerenderer.h"

#include "base/checked.h"
#include "render/colors.h"
#include "render/devicepixels.h"
#include "render/glyphs.h"

#include <QTransform>
#include <cmath>

namespace render {

namespace {

// Page rows of spare buffer above and below the page image: a page moving on
// one way moves its pixels once in twice this many rows.
constexpr int kSpareRows = 8;

} // namespace

PageRenderer::PageRenderer(LineSource lines, RowClearing clearing)
    : lines_(std::move(lines)),
      clearing_(clearing),
      pointerGlyph_(createPointerGlyph()),
      markerGlyph_(createMarkerGlyph()),
      machine_(pointerGlyph_, markerGlyph_),
      mover_(lines_, clearing, machine_, page_)
{
}

void PageRenderer::createSurface(double ratio)
{
    machine_.setDeviceRatio(ratio);
    const int spare = kSpareRows * int(std::ceil(kRowHeight * ratio));
    page_.create(toDevice(kPageSize, ratio), spare);
    mover_.forget();
}

QRect PageRenderer::deviceBand(int top, int bottom) const
{
    return toDevice(QRect(0, top, kPageSize, bottom - top + 1), deviceRatio());
}

LineReach PageRenderer::drawRow(int line, int topLine, markup::DisplayMode mode)
{
    const int top = rowTop(line, topLine);
    base::checkRange(top, 0, 65535);
    return drawOnPage(machine_, page_, lines_.text(line), top, mode);
}

void PageRenderer::renderAfresh(int topLine, markup::DisplayMode mode)
{
    mover_.forget();
    const int last = topLine + doc::kRows - 1;
    if (clearing_ == RowClearing::EachRow) {
        page_.clear(0, deviceBand(0, kPageTop - 1).bottom());
        page_.clear(deviceBand(rowTop(last + 1, topLine), kPageSize - 1).top(), page_.image().height() - 1);
        for (int line = topLine; line <= last; ++line) {
            const QRect band = lineBand(line, topLine, deviceRatio());
            page_.clear(band.top(), band.bottom());
            mover_.rowDrawn(line - topLine, drawRow(line, topLine, mode));
        }
    } else {
        // The page is cleared a few rows ahead of the drawing rather than all at
        // once: a row band is still in the cache when its line is drawn. What a
        // line draws reaches at most a few pixels past its own band, into pixels
        // that are already clear, so the result is the same as clearing first.
        int cleared = -1;
        for (int line = topLine; line <= last; ++line) {
            const int ahead = deviceBand(0, rowTop(line, topLine) + 3 * kRowHeight - 1).bottom();
            if (ahead > cleared) {
                page_.clear(cleared + 1, ahead);
                cleared = ahead;
            }
            mover_.rowDrawn(line - topLine, drawRow(line, topLine, mode));
        }
        page_.clear(cleared + 1, page_.image().height() - 1);
    }
    mover_.pageDrawn(topLine, mode);
}

void PageRenderer::renderPage(int topLine, markup::DisplayMode mode)
{
    page_.detach();
    if (!mover_.move(topLine, mode))
        renderAfresh(topLine, mode);
}

void PageRenderer::renderRow(int line, int topLine, markup::DisplayMode mode)
{
    // The image stays what drawing the page afresh gives only when the row's
    // old and new drawings keep to its band and no other row draws there.
    page_.detach();
    const bool kept = mover_.keepsRecordOver(line, topLine, mode);
    mover_.forget();
    const QRect band = lineBand(line, topLine, deviceRatio());
    page_.clear(band.top(), band.bottom());
    const LineReach reach = drawRow(line, topLine, mode);
    if (kept)
        mover_.rowRedrawn(line - topLine, reach);
}

int PageRenderer::columnX(int column, int line, markup::DisplayMode mode)
{
    return machine_.columnX(column, lines_.text(line), mode);
}

void paintDevicePixels(QPainter &p, const QImage &image, double ratio, const QRect &dirty)
{
    // The surface is painted in its toolkit pixels, which are logical pixels
    // unless the window is scaled; undoing the screen's ratio in the painter
    // copies the device pixels one to one.
    const double screen = p.device() ? p.device()->devicePixelRatioF() : ratio;
    const QRect area = ratio == 1.0 ? dirty & image.rect()
                                    : toDevice(dirty, ratio).adjusted(-1, -1, 1, 1) & image.rect();
    if (ratio == 1.0 && screen == 1.0) {
        p.drawImage(area.topLeft(), image, area);
        return;
    }
    p.save();
    p.setWorldTransform(QTransform::fromScale(1 / screen, 1 / screen));
    p.drawImage(area.topLeft(), image, area);
    p.restore();
}

} // namespace render
