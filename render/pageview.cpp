#include "render/pageview.h"

#include "base/checked.h"
#include "render/colors.h"
#include "render/glyphs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace render {

PageView::PageView(const doc::TextGrid &grid, const doc::EditorState &state)
    : grid_(grid),
      state_(state),
      pointerGlyph_(createPointerGlyph()),
      markerGlyph_(createMarkerGlyph()),
      machine_(pointerGlyph_, markerGlyph_)
{
    machine_.setCleanMap(&clean_);
}

void PageView::createPageBitmap()
{
    page_ = QImage(doc::kHelpboxSize, doc::kHelpboxSize, QImage::Format_RGB32);
    // Nothing is known of the new image: clearing fills every row.
    clean_ = CleanMap(page_.height());
    clearRows(0, page_.height() - 1);
}

void PageView::setScreen(std::function<void(const QRect &)> update)
{
    screen_ = std::move(update);
}

DisplayMode PageView::mode() const
{
    return state_.sourceMode ? DisplayMode::Source : DisplayMode::Rendered;
}

int PageView::rowTop(int line) const
{
    const int diff = base::toInt16(line - state_.topLine);
    return diff * doc::kRowHeight + doc::kPageTop;
}

QRect PageView::rowRect() const
{
    return QRect(0, rowTop(state_.cursorLine), page_.width(), doc::kRowHeight);
}

void PageView::toScreen(const QRect &r)
{
    stats_.lastDirty = r;
    ++stats_.dirtyCount;
    if (screen_)
        screen_(r);
}

void PageView::clearRows(int top, int bottom)
{
    // Only what was drawn since the rows were last clear needs the page colour again.
    // Each row is copied from one clear row: the library's copy is the fastest
    // way to put the same pixels into memory.
    static const std::vector<QRgb> clearRow(size_t(doc::kHelpboxSize), toRgb(kPageColor));
    uchar *bits = page_.bits();
    const int width = std::min(page_.width(), int(clearRow.size()));
    for (int y = std::max(top, 0); y <= std::min(bottom, page_.height() - 1); ++y) {
        const int right = std::min(clean_.dirtyRight(y), width);
        if (right > 0)
            std::memcpy(bits + qsizetype(y) * page_.bytesPerLine(), clearRow.data(),
                        size_t(right) * sizeof(QRgb));
    }
    clean_.markClean(top, bottom);
}

void PageView::drawLine(int line)
{
    const int top = rowTop(line);
    base::checkRange(top, 0, 65535);
    QPainter p(&page_);
    machine_.drawLine(p, grid_.getLine(line), top, mode());
    ++stats_.linesDrawn;
}

int PageView::columnX(int column, int line)
{
    return machine_.columnX(column, grid_.getLine(line), mode());
}

void PageView::repaintPage()
{
    caretShown_ = false;
    // The page is cleared a few rows ahead of the drawing rather than all at
    // once: a row band is still in the cache when its line is drawn. What a
    // line draws reaches at most a few pixels past its own band, into pixels
    // that are already clear, so the result is the same as clearing first.
    int cleared = -1;
    const auto clearTo = [&](int y) {
        y = std::min(y, page_.height() - 1);
        if (y > cleared) {
            clearRows(cleared + 1, y);
            cleared = y;
        }
    };
    for (int line = state_.topLine; line <= state_.topLine + doc::kRows - 1; ++line) {
        clearTo(rowTop(line) + 3 * doc::kRowHeight - 1);
        if (grid_.lineLength(line) != 0)
            drawLine(line);
    }
    clearTo(page_.height() - 1);
    ++stats_.pageRenders;
    toScreen(page_.rect());
    drawCaret();
}

void PageView::repaintCursorRow()
{
    caretShown_ = false;
    const QRect r = rowRect();
    clearRows(r.top(), r.bottom());
    if (grid_.lineLength(state_.cursorLine) != 0)
        drawLine(state_.cursorLine);
    ++stats_.rowRenders;
    toScreen(r);
    drawCaret();
}

void PageView::eraseCaret()
{
    if (!caretShown_)
        return;
    caretShown_ = false;
    toScreen(caretRect_);
}

void PageView::drawCaret()
{
    const int x = columnX(state_.cursorColumn, state_.cursorLine);
    const int top = (state_.cursorLine - state_.topLine) * doc::kRowHeight + doc::kPageTop;
    // (left, top, right, bottom) = (x - 1, top, x + 1, top + 25): columns x - 1 and x.
    caretRect_ = QRect(x - 1, top, 2, doc::kRowHeight);
    caretShown_ = true;
    toScreen(caretRect_);
}

void PageView::paintScreen(QPainter &p, const QRect &dirty) const
{
    p.drawImage(dirty.topLeft(), page_, dirty);
    if (caretShown_ && dirty.intersects(caretRect_)) {
        // A 2-pixel red pen from (x, top) to (x, bottom - 1) covers exactly caretRect.
        p.fillRect(caretRect_, bgr(kRed));
    }
}

void paintPageFrame(QPainter &p, const QRect &page)
{
    paintPageFrame(p, page, 0x000000, 0xA0A0A0);
}

void paintPageFrame(QPainter &p, const QRect &page, uint32_t dark, uint32_t light)
{
    const int l = page.left() - 2;
    const int r = page.left() + page.width() + 1;
    const int t = page.top() - 2;
    const int b = page.top() + page.height() + 1;
    for (int i = 0; i <= 1; ++i) {
        hvLine(p, dark, r - i, t + i, l + i, t + i);
        hvLine(p, dark, l + i, t + i, l + i, b - i);
        hvLine(p, light, l + i, b - i, r - i, b - i);
        hvLine(p, light, r - i, b - i, r - i, t + i);
    }
}

void paintCodeBox(QPainter &p, const QSize &size, bool sourceMode)
{
    const int w = size.width();
    const int h = size.height();
    p.fillRect(0, 0, w, h, bgr(0xC0FFFF));
    const uint32_t dark = sourceMode ? 0x000000 : 0xC0C0C0;
    const uint32_t light = sourceMode ? 0xFFFFFF : 0xC0C0C0;
    for (int i = 0; i <= 1; ++i) {
        hvLine(p, dark, w - 1 - i, i, i, i);
        hvLine(p, dark, i, i, i, h - 1 - i);
        hvLine(p, light, i, h - 1 - i, w - 1 - i, h - 1 - i);
        hvLine(p, light, w - 1 - i, h - 1 - i, w - 1 - i, i);
    }
    FontFace &f = fontFace(QStringLiteral("arial"), 25, false, false);
    const QString text = QStringLiteral("SOURCE CODE");
    const int tw = f.metrics.horizontalAdvance(text);
    p.fillRect(10, 5, tw, f.cellHeight, bgr(0xC0FFFF));
    p.setFont(f.font);
    p.setPen(bgr(sourceMode ? 0x0000FF : 0xE0E0FF));
    p.drawText(QPoint(10, 5 + f.ascent), text);
}

} // namespace render
