// Moving a page image by one row. Sections, in order:
//   drawing on the page    lineBand, drawOnPage
//   bands and reach        rowBand, rowStep, reaches, withinBand, aloneInBand
//   the record             forget, rowDrawn, pageDrawn, keepsRecordOver, rowRedrawn
//   the move               canMove, move, shiftImage, goneRows
//   strip repair           redrawDeviceRows, redrawSpan, prepareStrip, copyFromStrip

#include "render/rowmover.h"

#include "render/devicepixels.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace render {

QRect lineBand(int line, int topLine, double ratio)
{
    const int top = rowTop(line, topLine);
    return toDevice(QRect(0, top, kPageSize, kRowHeight), ratio);
}

LineReach drawOnPage(StyleMachine &machine, PageImage &page, const QByteArray &text, int top, markup::DisplayMode mode)
{
    if (text.isEmpty())
        return LineReach();
    QPainter p(&page.image());
    return machine.drawLine(p, text, top, mode, &page.clean());
}

RowMover::RowMover(const LineSource &lines, RowClearing clearing, StyleMachine &machine, PageImage &page)
    : lines_(lines), clearing_(clearing), machine_(machine), page_(page)
{
}

// Returns the device rows of the band of page row index.
QRect RowMover::rowBand(int index) const
{
    return lineBand(index, 0, ratio());
}

// Returns the device rows from the top of one page row to the top of the next.
int RowMover::rowStep() const
{
    return rowBand(1).top() - rowBand(0).top();
}

// Returns whether the drawing of page row index may touch device rows top..bottom.
bool RowMover::reaches(int index, int top, int bottom) const
{
    const LineReach &reach = rows_[size_t(index)];
    return reach.known && !reach.touched.isEmpty() && reach.touched.top() <= bottom && reach.touched.bottom() >= top;
}

// Returns whether everything page row index drew lies in its own band.
bool RowMover::withinBand(int index) const
{
    const LineReach &reach = rows_[size_t(index)];
    const QRect band = rowBand(index);
    return reach.known
        && (reach.touched.isEmpty() || (reach.touched.top() >= band.top() && reach.touched.bottom() <= band.bottom()));
}

// Returns whether row index drew only in its band and no other row drew there.
bool RowMover::aloneInBand(int index) const
{
    const QRect band = rowBand(index);
    for (int r = 0; r < doc::kRows; ++r) {
        if (r == index ? !withinBand(r) : !rows_[size_t(r)].known || reaches(r, band.top(), band.bottom()))
            return false;
    }
    return true;
}

void RowMover::forget()
{
    valid_ = false;
}

void RowMover::rowDrawn(int index, const LineReach &reach)
{
    rows_[size_t(index)] = reach;
}

void RowMover::pageDrawn(int topLine, markup::DisplayMode mode)
{
    top_ = topLine;
    mode_ = mode;
    count_ = lines_.changeCount();
    valid_ = true;
}

bool RowMover::keepsRecordOver(int line, int topLine, markup::DisplayMode mode) const
{
    const int index = line - topLine;
    if (!valid_ || topLine != top_ || mode != mode_ || index < 0 || index >= doc::kRows)
        return false;
    // Every other row must still show its line: nothing changed since the
    // record was made, or one change, to this line alone. A change the page
    // was never drawn for leaves the record behind for good.
    const quint64 count = lines_.changeCount();
    const doc::LineSpan change = lines_.lastChange();
    const bool current = count == count_ || (count == count_ + 1 && change.first == line && change.last == line);
    return current && aloneInBand(index);
}

void RowMover::rowRedrawn(int index, const LineReach &reach)
{
    rows_[size_t(index)] = reach;
    count_ = lines_.changeCount();
    valid_ = withinBand(index);
}

bool RowMover::canMove(int topLine, markup::DisplayMode mode) const
{
    // Moving pixels gives what drawing gives only when a row is a whole number
    // of device pixels high and the rows kept show the lines they showed.
    const int step = topLine - top_;
    const double band = kRowHeight * ratio();
    if (!valid_ || mode != mode_ || (step != 1 && step != -1) || band != std::floor(band)
        || lines_.changeCount() != count_)
        return false;
    for (int r = 0; r < doc::kRows; ++r) {
        // The help viewer clears each band before its row, which hides what
        // the row above drew there; only rows that stay in their band are
        // moved there. The editor's rows are drawn again where they overlap.
        if (!rows_[size_t(r)].known || (clearing_ == RowClearing::EachRow && !withinBand(r)))
            return false;
        const QRect own = rowBand(r);
        const QRect &reach = rows_[size_t(r)].touched;
        if (!reach.isEmpty() && (reach.top() < own.top() - own.height() || reach.bottom() > own.bottom() + own.height()))
            return false;
    }
    return true;
}

bool RowMover::move(int topLine, markup::DisplayMode mode)
{
    if (!canMove(topLine, mode))
        return false;
    valid_ = false;
    const int step = topLine - top_;
    const int newRow = step > 0 ? doc::kRows - 1 : 0;
    const QRect fresh = rowBand(newRow);
    const int first = rowBand(0).top();
    const DeviceRows gone = goneRows(step);
    shiftImage(step);
    // Drawn afresh: the margins above and below the rows, what the leaving row
    // drew, and the new row's band.
    std::vector<DeviceRows> spans{{0, first - 1}, {first + rowStep() * doc::kRows, page_.image().height() - 1},
                                  {fresh.top(), fresh.bottom()}, gone};
    if (step > 0) {
        // The last row is drawn last: it goes over what the rows above left.
        rows_[size_t(newRow)] = LineReach{false, QRect(), QRect()};
        redrawDeviceRows(spans, topLine, mode, -1);
        const int line = topLine + newRow;
        rows_[size_t(newRow)] = drawOnPage(machine_, page_, lines_.text(line), rowTop(line, topLine), mode);
    } else {
        // The first row is drawn first: what it changed beyond its band is drawn
        // again once that is known, so that the rows below lie over it.
        rows_[size_t(newRow)] = LineReach{true, fresh, fresh};
        redrawDeviceRows(spans, topLine, mode, newRow);
        if (const QRect &changed = rows_[size_t(newRow)].changed; !changed.isEmpty())
            redrawDeviceRows({{fresh.bottom() + 1, changed.bottom()}}, topLine, mode, -1);
    }
    if (!rows_[size_t(newRow)].known || (clearing_ == RowClearing::EachRow && !withinBand(newRow)))
        return false;
    top_ = topLine;
    valid_ = true;
    return true;
}

// Moves the image and the row records by one row, up for step 1 and down for -1.
void RowMover::shiftImage(int step)
{
    const int band = rowStep();
    page_.scroll(step * band);
    if (step > 0)
        std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    else
        std::rotate(rows_.rbegin(), rows_.rbegin() + 1, rows_.rend());
    for (LineReach &reach : rows_)
        reach = reach.translated(-step * band);
}

// Returns the device rows, where the image's pixels go, that the row leaving
// the page by step may have changed in the moved part of the image.
RowMover::DeviceRows RowMover::goneRows(int step) const
{
    const int band = rowStep();
    if (step > 0) {
        // What the first row drew below its band, onto pixels that were clear
        // then whatever the rows around it hold, as rows reach one band at most.
        const QRect &changed = rows_[0].changed;
        if (changed.isEmpty())
            return {1, 0};
        return {rowBand(0).bottom() + 1 - band, changed.bottom() - band};
    }
    // What the last row drew above its band lay over the row above it.
    const int last = doc::kRows - 1;
    const QRect &reach = rows_[size_t(last)].touched;
    if (reach.isEmpty())
        return {1, 0};
    return {reach.top() + band, rowBand(last).top() - 1 + band};
}

// Draws device rows of spans afresh, spans merged where they touch; the reach
// of row pending is learnt on the way.
void RowMover::redrawDeviceRows(std::vector<DeviceRows> spans, int topLine, markup::DisplayMode mode, int pending)
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
        redrawSpan(span, topLine, mode, pending);
}

// Makes device rows of span what drawing the whole page gives there: every row
// whose drawing reaches them is drawn, in order, into the strip, and the span is
// copied from there. The reach of row pending is learnt on the way.
void RowMover::redrawSpan(const DeviceRows &span, int topLine, markup::DisplayMode mode, int pending)
{
    int firstRow = -1;
    for (int r = doc::kRows - 1; r >= 0; --r) {
        if (reaches(r, span.top, span.bottom))
            firstRow = r;
    }
    if (firstRow < 0) {
        page_.clear(span.top, span.bottom);
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
        if (!reaches(r, span.top, span.bottom))
            continue;
        const QByteArray text = lines_.text(topLine + r);
        const LineReach drawn
            = text.isEmpty() ? LineReach() : machine_.drawLine(p, text, rowTop(r, shift), mode, &stripClean_);
        if (r == pending)
            rows_[size_t(r)] = drawn.translated(origin);
    }
    p.end();
    copyFromStrip(span, origin);
}

// Makes the first height rows of the strip clear, making the strip when it is smaller.
void RowMover::prepareStrip(int height)
{
    if (strip_.width() != page_.image().width() || strip_.height() < height) {
        const int band = rowStep();
        strip_ = QImage(page_.image().width(), std::max(height, 3 * band), QImage::Format_RGB32);
        stripClean_ = CleanMap(strip_.height());
    }
    clearRows(strip_, stripClean_, 0, height - 1);
}

// Copies device rows of span from the strip, whose row 0 is the page's row origin.
void RowMover::copyFromStrip(const DeviceRows &span, int origin)
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

} // namespace render
