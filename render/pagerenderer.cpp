#include "render/pagerenderer.h"

#include "base/checked.h"
#include "render/colors.h"
#include "render/devicepixels.h"
#include "render/glyphs.h"

#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace render {

namespace {

int rowTop(int line, int topLine)
{
    return base::toInt16(line - topLine) * doc::kRowHeight + doc::kPageTop;
}

} // namespace

PageRenderer::PageRenderer(LineSource lines, RowClearing clearing)
    : lines_(std::move(lines)),
      clearing_(clearing),
      pointerGlyph_(createPointerGlyph()),
      markerGlyph_(createMarkerGlyph()),
      machine_(pointerGlyph_, markerGlyph_)
{
    machine_.setCleanMap(&clean_);
}

void PageRenderer::createSurface(double ratio)
{
    machine_.setDeviceRatio(ratio);
    const int size = toDevice(doc::kPageSize, ratio);
    page_ = QImage(size, size, QImage::Format_RGB32);
    // Nothing is known of the new image: clearing fills every row.
    clean_ = CleanMap(size);
    clearDevice(0, size - 1);
    recordValid_ = false;
}

QRect PageRenderer::deviceBand(int top, int bottom) const
{
    return toDevice(QRect(0, top, doc::kPageSize, bottom - top + 1), deviceRatio());
}

void PageRenderer::clearDevice(int top, int bottom)
{
    // Only what was drawn since the rows were last clear needs the page colour again.
    // Each row is copied from one clear row: the library's copy is the fastest
    // way to put the same pixels into memory.
    static std::vector<QRgb> clearRow;
    if (clearRow.size() < size_t(page_.width()))
        clearRow.assign(size_t(page_.width()), toRgb(kPageColor));
    uchar *bits = page_.bits();
    for (int y = std::max(top, 0); y <= std::min(bottom, page_.height() - 1); ++y) {
        const int right = std::min(clean_.dirtyRight(y), page_.width());
        if (right > 0)
            std::memcpy(bits + qsizetype(y) * page_.bytesPerLine(), clearRow.data(),
                        size_t(right) * sizeof(QRgb));
    }
    clean_.markClean(top, bottom);
}

void PageRenderer::drawRow(int line, int topLine, DisplayMode mode)
{
    const int top = rowTop(line, topLine);
    base::checkRange(top, 0, 65535);
    RowRecord row{lines_(line), true};
    if (!row.text.isEmpty()) {
        QPainter p(&page_);
        machine_.drawLine(p, row.text, top, mode);
        ++stats_.linesDrawn;
        row.withinBand = machine_.lastDrawWithin(deviceBand(top, top + doc::kRowHeight - 1));
    }
    const int index = line - topLine;
    if (index >= 0 && index < doc::kRows)
        rows_[size_t(index)] = std::move(row);
}

void PageRenderer::renderAfresh(int topLine, DisplayMode mode)
{
    recordValid_ = false;
    const int last = topLine + doc::kRows - 1;
    if (clearing_ == RowClearing::EachRow) {
        clearDevice(0, deviceBand(0, doc::kPageTop - 1).bottom());
        clearDevice(deviceBand(rowTop(last + 1, topLine), doc::kPageSize - 1).top(), page_.height() - 1);
        for (int line = topLine; line <= last; ++line) {
            const QRect band = deviceBand(rowTop(line, topLine), rowTop(line, topLine) + doc::kRowHeight - 1);
            clearDevice(band.top(), band.bottom());
            drawRow(line, topLine, mode);
        }
    } else {
        // The page is cleared a few rows ahead of the drawing rather than all at
        // once: a row band is still in the cache when its line is drawn. What a
        // line draws reaches at most a few pixels past its own band, into pixels
        // that are already clear, so the result is the same as clearing first.
        int cleared = -1;
        for (int line = topLine; line <= last; ++line) {
            const int ahead = deviceBand(0, rowTop(line, topLine) + 3 * doc::kRowHeight - 1).bottom();
            if (ahead > cleared) {
                clearDevice(cleared + 1, ahead);
                cleared = ahead;
            }
            drawRow(line, topLine, mode);
        }
        clearDevice(cleared + 1, page_.height() - 1);
    }
    recordTop_ = topLine;
    recordMode_ = mode;
    recordValid_ = true;
}

void PageRenderer::moveImageRows(int from, int to, int count)
{
    // A row of the image is copied only as far as either row holds anything
    // but the page colour; the clean map moves with the pixels.
    uchar *bits = page_.bits();
    const qsizetype stride = page_.bytesPerLine();
    const auto copy = [&](int i) {
        const int src = from + i, dst = to + i;
        const int width = std::min(page_.width(), std::max(clean_.dirtyRight(src), clean_.dirtyRight(dst)));
        if (width > 0)
            std::memcpy(bits + dst * stride, bits + src * stride, size_t(width) * sizeof(QRgb));
        clean_.copyRow(src, dst);
    };
    if (to < from) {
        for (int i = 0; i < count; ++i)
            copy(i);
    } else {
        for (int i = count - 1; i >= 0; --i)
            copy(i);
    }
}

bool PageRenderer::moveByOneRow(int topLine, DisplayMode mode)
{
    // Moving pixels gives what drawing gives only when each row's drawing stayed
    // in its band, a row is a whole number of device pixels high, and the rows
    // kept show the same text as before.
    const int step = topLine - recordTop_;
    const double band = doc::kRowHeight * deviceRatio();
    if (!recordValid_ || mode != recordMode_ || (step != 1 && step != -1) || band != std::floor(band))
        return false;
    for (int r = 0; r < doc::kRows; ++r) {
        const int old = r + step;
        if (!rows_[size_t(r)].withinBand
            || (old >= 0 && old < doc::kRows && rows_[size_t(old)].text != lines_(topLine + r)))
            return false;
    }
    recordValid_ = false;
    const int first = deviceBand(doc::kPageTop, doc::kPageTop).top();
    const int rows = int(band) * (doc::kRows - 1);
    if (step > 0) {
        moveImageRows(first + int(band), first, rows);
        std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    } else {
        moveImageRows(first, first + int(band), rows);
        std::rotate(rows_.rbegin(), rows_.rbegin() + 1, rows_.rend());
    }
    const int line = step > 0 ? topLine + doc::kRows - 1 : topLine;
    const QRect newBand = deviceBand(rowTop(line, topLine), rowTop(line, topLine) + doc::kRowHeight - 1);
    clearDevice(newBand.top(), newBand.bottom());
    drawRow(line, topLine, mode);
    // A new first row reaching into the second would lie over it, where drawing
    // afresh puts the second row over the first.
    if (step < 0 && !rows_[0].withinBand)
        return false;
    recordTop_ = topLine;
    recordValid_ = true;
    ++stats_.pageMoves;
    return true;
}

void PageRenderer::renderPage(int topLine, DisplayMode mode)
{
    if (!moveByOneRow(topLine, mode))
        renderAfresh(topLine, mode);
    ++stats_.pageRenders;
}

void PageRenderer::renderRow(int line, int topLine, DisplayMode mode)
{
    const int index = line - topLine;
    const bool inRecord = recordValid_ && topLine == recordTop_ && mode == recordMode_ && index >= 0
        && index < doc::kRows && rows_[size_t(index)].withinBand;
    recordValid_ = false;
    const int top = rowTop(line, topLine);
    const QRect band = deviceBand(top, top + doc::kRowHeight - 1);
    clearDevice(band.top(), band.bottom());
    drawRow(line, topLine, mode);
    ++stats_.rowRenders;
    // The row's old drawing stayed in its band, so clearing the band removed all of it.
    recordValid_ = inRecord && rows_[size_t(index)].withinBand;
}

int PageRenderer::columnX(int column, int line, DisplayMode mode)
{
    return machine_.columnX(column, lines_(line), mode);
}

void paintDevicePixels(QPainter &p, const QImage &image, double ratio, const QRect &dirty)
{
    // The surface is painted in logical pixels; undoing the ratio in the
    // painter copies the device pixels one to one.
    const QRect area = ratio == 1.0 ? dirty & image.rect()
                                    : toDevice(dirty, ratio).adjusted(-1, -1, 1, 1) & image.rect();
    if (ratio == 1.0) {
        p.drawImage(area.topLeft(), image, area);
        return;
    }
    p.save();
    p.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    p.drawImage(area.topLeft(), image, area);
    p.restore();
}

} // namespace render
