#include "view/pageview.h"

#include "render/colors.h"
#include "render/devicepixels.h"
#include "view/windowscale.h"

#include <QTransform>

namespace view {

namespace {
const QString &kCodeBoxFamily = render::kArialFamily;
const QString kCodeBoxCaption = QStringLiteral("SOURCE CODE");
constexpr int kCodeBoxCell = 25;
constexpr QPoint kCodeBoxText(10, 5);

// Fills the two rings inside outer, each thick device pixels: dark along the
// top and left, light along the bottom and right.
void fillRings(QPainter &p, const QRect &outer, int thick, uint32_t dark, uint32_t light)
{
    for (int i = 0; i <= 1; ++i) {
        const QRect ring = outer.adjusted(i * thick, i * thick, -i * thick, -i * thick);
        p.fillRect(QRect(ring.left(), ring.top(), ring.width(), thick), render::bgr(dark));
        p.fillRect(QRect(ring.left(), ring.top(), thick, ring.height()), render::bgr(dark));
        p.fillRect(QRect(ring.left(), ring.bottom() - thick + 1, ring.width(), thick), render::bgr(light));
        p.fillRect(QRect(ring.right() - thick + 1, ring.top(), thick, ring.height()), render::bgr(light));
    }
}
} // namespace

PageView::PageView(const doc::TextGrid &grid, const doc::EditorState &state)
    : grid_(grid),
      state_(state),
      renderer_(render::gridLines(grid), render::RowClearing::WholePage)
{
}

void PageView::createPageBitmap(double ratio)
{
    renderer_.createSurface(ratio);
}

void PageView::setScreen(std::function<void(const QRect &)> update)
{
    screen_ = std::move(update);
}

QRect PageView::rowRect(int line) const
{
    return QRect(0, render::rowTop(line, state_.topLine), render::kPageSize, render::kRowHeight);
}

void PageView::toScreen(const QRect &r)
{
    if (screen_)
        screen_(r);
}

int PageView::columnX(int column, int line)
{
    return renderer_.columnX(column, line, state_.sourceMode);
}

void PageView::repaintPage()
{
    caretShown_ = false;
    renderer_.renderPage(state_.topLine, state_.sourceMode);
    toScreen(QRect(0, 0, render::kPageSize, render::kPageSize));
    drawCaret();
}

void PageView::repaintCursorRow()
{
    repaintRow(state_.cursorLine);
}

void PageView::repaintRow(int line)
{
    const QRect r = rowRect(line);
    // A caret on another row would stay on the screen: restore the page under it.
    if (caretRect_.top() != r.top())
        eraseCaret();
    caretShown_ = false;
    renderer_.renderRow(line, state_.topLine, state_.sourceMode);
    toScreen(r);
    drawCaret();
}

void PageView::showLines(int first, int last)
{
    const int lastShown = state_.topLine + doc::kRows - 1;
    if (last < state_.topLine || first > lastShown)
        moveCaret();
    else if (first == last)
        repaintRow(first);
    else
        repaintPage();
}

void PageView::moveCaret()
{
    eraseCaret();
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
    const int top = render::rowTop(state_.cursorLine, state_.topLine);
    // (left, top, right, bottom) = (x - 1, top, x + 1, top + 25): columns x - 1 and x.
    caretRect_ = QRect(x - 1, top, 2, render::kRowHeight);
    caretShown_ = true;
    toScreen(caretRect_);
}

void PageView::paintScreen(QPainter &p, const QRect &dirty) const
{
    const double ratio = deviceRatio();
    render::paintDevicePixels(p, pageBitmap(), ratio, dirty);
    if (caretShown_ && dirty.intersects(caretRect_)) {
        // A 2-pixel red pen from (x, top) to (x, bottom - 1) covers exactly caretRect,
        // at the device's resolution the same rectangle times the ratio.
        p.save();
        paintInDevicePixels(p);
        p.fillRect(render::toDevice(caretRect_, ratio), render::bgr(render::kRed));
        p.restore();
    }
}

void paintPageFrame(QPainter &p, const QRect &page)
{
    paintPageFrame(p, page, 0x000000, 0xA0A0A0);
}

namespace {
// Draws two one-pixel rings just inside outer: dark along the top and left,
// light along the bottom and right.
void drawTwoRings(QPainter &p, const QRect &outer, uint32_t dark, uint32_t light)
{
    const int l = outer.left();
    const int r = outer.right();
    const int t = outer.top();
    const int b = outer.bottom();
    for (int i = 0; i <= 1; ++i) {
        render::hvLine(p, dark, r - i, t + i, l + i, t + i);
        render::hvLine(p, dark, l + i, t + i, l + i, b - i);
        render::hvLine(p, light, l + i, b - i, r - i, b - i);
        render::hvLine(p, light, r - i, b - i, r - i, t + i);
    }
}
} // namespace

void paintPageFrame(QPainter &p, const QRect &page, uint32_t dark, uint32_t light)
{
    drawTwoRings(p, page.adjusted(-2, -2, 2, 2), dark, light);
}

void paintCodeBox(QPainter &p, const QSize &size, bool sourceMode)
{
    const int w = size.width();
    const int h = size.height();
    p.fillRect(0, 0, w, h, render::bgr(0xC0FFFF));
    const uint32_t dark = sourceMode ? 0x000000 : 0xC0C0C0;
    const uint32_t light = sourceMode ? 0xFFFFFF : 0xC0C0C0;
    drawTwoRings(p, QRect(0, 0, w, h), dark, light);
    render::FontFace &f = render::fontFace(kCodeBoxFamily, kCodeBoxCell, false, false);
    const QString text = kCodeBoxCaption;
    const int tw = f.metrics.horizontalAdvance(text);
    p.fillRect(kCodeBoxText.x(), kCodeBoxText.y(), tw, f.cellHeight, render::bgr(0xC0FFFF));
    p.setFont(f.font);
    p.setPen(render::bgr(sourceMode ? 0x0000FF : 0xE0E0FF));
    p.drawText(kCodeBoxText + QPoint(0, f.ascent), text);
}

void paintScaledPageFrame(QPainter &p, const QRect &page, double scale, uint32_t dark, uint32_t light)
{
    p.save();
    const double ratio = paintInDevicePixels(p) * scale;
    const int thick = std::max(1, int(std::lround(ratio)));
    const QRect inner = render::toDevice(page, ratio);
    fillRings(p, inner.adjusted(-2 * thick, -2 * thick, 2 * thick, 2 * thick), thick, dark, light);
    p.restore();
}

void paintScaledCodeBox(QPainter &p, const QSize &size, bool sourceMode, double scale)
{
    p.save();
    const double ratio = paintInDevicePixels(p) * scale;
    const QRect box = render::toDevice(QRect(QPoint(0, 0), size), ratio);
    p.fillRect(box, render::bgr(0xC0FFFF));
    fillRings(p, box, std::max(1, int(std::lround(ratio))), sourceMode ? 0x000000 : 0xC0C0C0,
              sourceMode ? 0xFFFFFF : 0xC0C0C0);
    // Laid out with the page face, drawn with its face at the device's size.
    render::FontFace &layout = render::fontFace(kCodeBoxFamily, kCodeBoxCell, false, false);
    render::FontFace &drawn = render::fontFace(kCodeBoxFamily, kCodeBoxCell, false, false, ratio);
    const int width = layout.metrics.horizontalAdvance(kCodeBoxCaption);
    p.fillRect(render::toDevice(QRect(kCodeBoxText, QSize(width, layout.cellHeight)), ratio), render::bgr(0xC0FFFF));
    p.setFont(drawn.font);
    p.setPen(render::bgr(sourceMode ? 0x0000FF : 0xE0E0FF));
    p.drawText(QPoint(render::toDevice(kCodeBoxText.x(), ratio), render::toDevice(kCodeBoxText.y() + layout.ascent, ratio)),
               kCodeBoxCaption);
    p.restore();
}

} // namespace view
