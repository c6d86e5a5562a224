// The page renderer. Sections, in order:
//   the page afresh        createSurface, deviceBand, clearDevice, drawRow, renderAfresh
//   row bands and reach    rowBand, lineBand, rowStep, reaches, withinBand, aloneInBand
//   the one-row move       canMove, moveByOneRow, shiftImage, goneRows
//   strip repair           redrawDeviceRows, redrawSpan, prepareStrip, copyFromStrip
//   entries                renderPage, renderRow, columnX, paintDevicePixels

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

// Page rows of spare buffer above and below the page image: a page moving on
// one way moves its pixels once in twice this many rows.
constexpr int kSpareRows = 8;

} // namespace

PageRenderer::PageRenderer(LineSource lines, RowClearing clearing)
    : lines_(std::move(lines)),
      clearing_(clearing),
      pointerGlyph_(createPointerGlyph()),
      markerGlyph_(createMarkerGlyph()),
      machine_(pointerGlyph_, markerGlyph_)
{
}

void PageRenderer::createSurface(double ratio)
{
    machine_.setDeviceRatio(ratio);
    const int spare = kSpareRows * int(std::ceil(kRowHeight * ratio));
    page_.create(toDevice(kPageSize, ratio), spare);
    recordValid_ = false;
}

QRect PageRenderer::deviceBand(int top, int bottom) const
{
    return toDevice(QRect(0, top, kPageSize, bottom - top + 1), deviceRatio());
}

void PageRenderer::clearDevice(int top, int bottom)
{
    page_.clear(top, bottom);
}

void PageRenderer::drawRow(int line, int topLine, markup::DisplayMode mode)
{
    const int top = rowTop(line, topLine);
    base::checkRange(top, 0, 65535);
    RowRecord row{lines_(line), LineReach()};
    if (!row.text.isEmpty()) {
        QPainter p(&page_.image());
        row.reach = machine_.drawLine(p, row.text, top, mode, &page_.clean());
        ++stats_.linesDrawn;
    }
    const int index = line - topLine;
    if (index >= 0 && index < doc::kRows)
        rows_[size_t(index)] = std::move(row);
}

void PageRenderer::renderAfresh(int topLine, markup::DisplayMode mode)
{
    recordValid_ = false;
    const int last = topLine + doc::kRows - 1;
    if (clearing_ == RowClearing::EachRow) {
        clearDevice(0, deviceBand(0, kPageTop - 1).bottom());
        clearDevice(deviceBand(rowTop(last + 1, topLine), kPageSize - 1).top(), page_.image().height() - 1);
        for (int line = topLine; line <= last; ++line) {
            const QRect band = lineBand(line, topLine);
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
            const int ahead = deviceBand(0, rowTop(line, topLine) + 3 * kRowHeight - 1).bottom();
            if (ahead > cleared) {
                clearDevice(cleared + 1, ahead);
                cleared = ahead;
            }
            drawRow(line, topLine, mode);
        }
        clearDevice(cleared + 1, page_.image().height() - 1);
    }
    recordTop_ = topLine;
    recordMode_ = mode;
    recordValid_ = true;
}

// Returns the device rows of the band of page row index.
QRect PageRenderer::rowBand(int index) const
{
    return lineBand(index, 0);
}

// Returns the device rows of the band line takes on the page from topLine.
QRect PageRenderer::lineBand(int line, int topLine) const
{
    const int top = rowTop(line, topLine);
    return deviceBand(top, top + kRowHeight - 1);
}

// Returns the device rows from the top of one page row to the top of the next.
int PageRenderer::rowStep() const
{
    return rowBand(1).top() - rowBand(0).top();
}

// Returns whether the drawing of page row index may touch device rows top..bottom.
bool PageRenderer::reaches(int index, int top, int bottom) const
{
    const LineReach &reach = rows_[size_t(index)].reach;
    return reach.known && !reach.touched.isEmpty() && reach.touched.top() <= bottom && reach.touched.bottom() >= top;
}

// Returns whether everything page row index drew lies in its own band.
bool PageRenderer::withinBand(int index) const
{
    const LineReach &reach = rows_[size_t(index)].reach;
    const QRect band = rowBand(index);
    return reach.known
        && (reach.touched.isEmpty() || (reach.touched.top() >= band.top() && reach.touched.bottom() <= band.bottom()));
}

// Returns whether row index drew only in its band and no other row drew there.
bool PageRenderer::aloneInBand(int index) const
{
    const QRect band = rowBand(index);
    for (int r = 0; r < doc::kRows; ++r) {
        if (r == index ? !withinBand(r) : !rows_[size_t(r)].reach.known || reaches(r, band.top(), band.bottom()))
            return false;
    }
    return true;
}

bool PageRenderer::canMove(int topLine, markup::DisplayMode mode) const
{
    // Moving pixels gives what drawing gives only when a row is a whole number
    // of device pixels high and the rows kept show the same text as before.
    const int step = topLine - recordTop_;
    const double band = kRowHeight * deviceRatio();
    if (!recordValid_ || mode != recordMode_ || (step != 1 && step != -1) || band != std::floor(band))
        return false;
    for (int r = 0; r < doc::kRows; ++r) {
        const int old = r + step;
        // The help viewer clears each band before its row, which hides what
        // the row above drew there; only rows that stay in their band are
        // moved there. The editor's rows are drawn again where they overlap.
        if (!rows_[size_t(r)].reach.known || (clearing_ == RowClearing::EachRow && !withinBand(r)))
            return false;
        const QRect band = rowBand(r);
        const QRect &reach = rows_[size_t(r)].reach.touched;
        if (!reach.isEmpty() && (reach.top() < band.top() - band.height() || reach.bottom() > band.bottom() + band.height()))
            return false;
        if (old >= 0 && old < doc::kRows && rows_[size_t(old)].text != lines_(topLine + r))
            return false;
    }
    return true;
}

bool PageRenderer::moveByOneRow(int topLine, markup::DisplayMode mode)
{
    if (!canMove(topLine, mode))
        return false;
    recordValid_ = false;
    const int step = topLine - recordTop_;
    const int band = rowStep();
    const int first = rowBand(0).top();
    const int last = doc::kRows - 1;
    const DeviceRows gone = goneRows(step);
    shiftImage(step);
    const int newRow = step > 0 ? last : 0;
    const int line = topLine + newRow;
    // Drawn afresh: the margins above and below the rows, what the leaving row
    // drew, and the new row's band.
    std::vector<DeviceRows> spans{{0, first - 1}, {first + band * doc::kRows, page_.image().height() - 1},
                                  {rowBand(newRow).top(), rowBand(newRow).bottom()}, gone};
    if (step > 0) {
        // The last row is drawn last: it goes over what the rows above left.
        rows_[size_t(newRow)] = RowRecord{lines_(line), LineReach{false, QRect(), QRect()}};
        redrawDeviceRows(spans, mode, -1);
        drawRow(line, topLine, mode);
    } else {
        // The first row is drawn first: what it changed beyond its band is drawn
        // again once that is known, so that the rows below lie over it.
        rows_[size_t(newRow)] = RowRecord{lines_(line), LineReach{true, rowBand(newRow), rowBand(newRow)}};
        redrawDeviceRows(spans, mode, newRow);
        if (const QRect &changed = rows_[size_t(newRow)].reach.changed; !changed.isEmpty())
            redrawDeviceRows({{rowBand(newRow).bottom() + 1, changed.bottom()}}, mode, -1);
    }
    if (!rows_[size_t(newRow)].reach.known || (clearing_ == RowClearing::EachRow && !withinBand(newRow)))
        return false;
    recordTop_ = topLine;
    recordValid_ = true;
    ++stats_.pageMoves;
    return true;
}

// Moves the image and the row records by one row, up for step 1 and down for -1.
void PageRenderer::shiftImage(int step)
{
    const int band = rowStep();
    page_.scroll(step * band);
    if (step > 0)
        std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    else
        std::rotate(rows_.rbegin(), rows_.rbegin() + 1, rows_.rend());
    for (RowRecord &row : rows_)
        row.reach = row.reach.translated(-step * band);
}

// Returns the device rows, where the image's pixels go, that the row leaving
// the page by step may have changed in the moved part of the image.
PageRenderer::DeviceRows PageRenderer::goneRows(int step) const
{
    const int band = rowStep();
    if (step > 0) {
        // What the first row drew below its band, onto pixels that were clear
        // then whatever the rows around it hold, as rows reach one band at most.
        const QRect &changed = rows_[0].reach.changed;
        if (changed.isEmpty())
            return {1, 0};
        return {rowBand(0).bottom() + 1 - band, changed.bottom() - band};
    }
    // What the last row drew above its band lay over the row above it.
    const int last = doc::kRows - 1;
    const QRect &reach = rows_[size_t(last)].reach.touched;
    if (reach.isEmpty())
        return {1, 0};
    return {reach.top() + band, rowBand(last).top() - 1 + band};
}

void PageRenderer::redrawDeviceRows(std::vector<DeviceRows> spans, markup::DisplayMode mode, int pending)
{
    std::sort(spans.begin(), spans.end(), [](const DeviceRows &a, const DeviceRows &b) { return a.top < b.top; });
    std::vector<DeviceRows> merged;
    for (DeviceRows span : spans) {
        span.top = std::max(span.top, 0);
        span.bottom = std::min(span.bottom, page_.image().height() - 1);
        if (span.top > span.bottom)
            continue;
        if (!merged.empty() && span.top <= merged.back().bottom + 1)
            merged.back().bottom = std::max(merged.back().bottom, span.bottom);
        else
            merged.push_back(span);
    }
    for (const DeviceRows &span : merged)
        redrawSpan(span, mode, pending);
}

// Makes device rows of span what drawing the whole page gives there: every row
// whose drawing reaches them is drawn, in order, into the strip, and the span is
// copied from there. The reach of row pending is learnt on the way.
void PageRenderer::redrawSpan(const DeviceRows &span, markup::DisplayMode mode, int pending)
{
    int firstRow = -1;
    for (int r = doc::kRows - 1; r >= 0; --r) {
        if (reaches(r, span.top, span.bottom))
            firstRow = r;
    }
    if (firstRow < 0) {
        clearDevice(span.top, span.bottom);
        return;
    }
    // The strip starts a whole number of rows below the page's top, so that a
    // row drawn there is its drawing on the page moved by whole device pixels.
    const int band = rowStep();
    const int shift = std::min(firstRow, span.top / band);
    const int origin = shift * band;
    prepareStrip(span.bottom - origin + 1);
    QPainter p(&strip_);
    for (int r = firstRow; r < doc::kRows; ++r) {
        RowRecord &row = rows_[size_t(r)];
        if (!reaches(r, span.top, span.bottom))
            continue;
        LineReach drawn;
        if (!row.text.isEmpty()) {
            drawn = machine_.drawLine(p, row.text, rowTop(r, shift), mode, &stripClean_);
            ++stats_.linesDrawn;
        }
        if (r == pending)
            row.reach = drawn.translated(origin);
    }
    p.end();
    copyFromStrip(span, origin);
}

// Makes the first height rows of the strip clear, making the strip when it is smaller.
void PageRenderer::prepareStrip(int height)
{
    if (strip_.width() != page_.image().width() || strip_.height() < height) {
        const int band = rowStep();
        strip_ = QImage(page_.image().width(), std::max(height, 3 * band), QImage::Format_RGB32);
        stripClean_ = CleanMap(strip_.height());
    }
    clearRows(strip_, stripClean_, 0, height - 1);
}

void PageRenderer::copyFromStrip(const DeviceRows &span, int origin)
{
    uchar *bits = page_.image().bits();
    const qsizetype stride = page_.image().bytesPerLine();
    for (int y = span.top; y <= span.bottom; ++y) {
        const int from = y - origin;
        const int width = std::min(page_.image().width(), std::max(page_.clean().dirtyRight(y), stripClean_.dirtyRight(from)));
        if (width > 0)
            std::memcpy(bits + y * stride, strip_.constScanLine(from), size_t(width) * sizeof(QRgb));
        page_.clean().copyRow(stripClean_, from, y);
    }
}

void PageRenderer::renderPage(int topLine, markup::DisplayMode mode)
{
    page_.detach();
    if (!moveByOneRow(topLine, mode))
        renderAfresh(topLine, mode);
    ++stats_.pageRenders;
}

void PageRenderer::renderRow(int line, int topLine, markup::DisplayMode mode)
{
    const int index = line - topLine;
    // The image stays what drawing the page afresh gives only when the row's
    // old and new drawings keep to its band and no other row draws there.
    page_.detach();
    const bool inRecord = recordValid_ && topLine == recordTop_ && mode == recordMode_ && index >= 0
        && index < doc::kRows && aloneInBand(index);
    recordValid_ = false;
    const QRect band = lineBand(line, topLine);
    clearDevice(band.top(), band.bottom());
    drawRow(line, topLine, mode);
    ++stats_.rowRenders;
    recordValid_ = inRecord && withinBand(index);
}

int PageRenderer::columnX(int column, int line, markup::DisplayMode mode)
{
    return machine_.columnX(column, lines_(line), mode);
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
