// The style machine's walks. Sections, in order:
//   faces and style        setDeviceRatio, face, deviceFace, defaultStyle, advanceWidth
//   painting               reach, fill, boxLine, drawLinkGlyph, boxFrame, drawGlyph, drawCharStep
//   tracing                traceCharStep (what a cell would draw, without painting)
//   codes and the walk     applyCode, walk
//   the three walks        drawLine, traceLine, columnX

#include "render/stylemachine.h"

#include "base/checked.h"
#include "base/cp1252.h"
#include "render/colors.h"
#include "render/devicepixels.h"
#include "render/glyphs.h"

#include <QScopeGuard>
#include <algorithm>

namespace render {

namespace {

int tabStop(int x)
{
    return base::toUInt16((x / 100 + 1) * 100);
}

// Returns the x just past the last column of a link glyph that is not white (left out when drawn).
int visibleWidth(const QImage &glyph)
{
    for (int x = glyph.width() - 1; x >= 0; --x) {
        for (int y = 0; y < glyph.height(); ++y) {
            if ((glyph.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu && qAlpha(glyph.pixel(x, y)) != 0)
                return x + 1;
        }
    }
    return 0;
}
} // namespace

StyleMachine::StyleMachine(const QImage &pointerGlyph, const QImage &markerGlyph)
    : pointerGlyph_(pointerGlyph), markerGlyph_(markerGlyph)
{
    defaultStyle();
}

void StyleMachine::setDeviceRatio(double ratio)
{
    ratio_ = ratio;
    pointerDrawn_ = ratio == 1.0 ? QImage() : createPointerGlyph(ratio);
    markerDrawn_ = ratio == 1.0 ? QImage() : createMarkerGlyph(ratio);
    deviceFaceKey_ = -1;
}

FontFace &StyleMachine::face()
{
    // The fast path looks the face up only when the style changed since the
    // last character; the plain path looks it up for every character.
    const int key = int(family_) | fontHeight_ << 1 | int(bold_) << 8 | int(italic_) << 9;
    if (key != faceKey_ || path_ == DrawPath::Plain) {
        face_ = &fontFace(family_ == Family::Arial ? kArialFamily : kCourierFamily, fontHeight_, bold_, italic_);
        faceKey_ = key;
    }
    return *face_;
}

FontFace &StyleMachine::deviceFace()
{
    FontFace &logical = face();
    if (ratio_ == 1.0)
        return logical;
    if (deviceFaceKey_ != faceKey_ || path_ == DrawPath::Plain) {
        deviceFace_ = &fontFace(family_ == Family::Arial ? kArialFamily : kCourierFamily, fontHeight_, bold_,
                                italic_, ratio_);
        deviceFaceKey_ = faceKey_;
    }
    return *deviceFace_;
}

void StyleMachine::defaultStyle(std::optional<uint32_t> textBackground)
{
    textBackground_ = textBackground;
    family_ = Family::Arial;
    fontColor_ = kBlack;
    bold_ = false;
    italic_ = false;
    fontHeight_ = 20;
    yOffset_ = 5;
}

int StyleMachine::advanceWidth(uint8_t ch)
{
    const int w = face().textWidth(ch);
    return base::toUInt8(w * 11 / 10 + 1);
}

void StyleMachine::reach(const QRect &r)
{
    drawn_.touched |= r;
    drawn_.changed |= r;
}

void StyleMachine::fill(QPainter &p, const QRect &r, uint32_t color)
{
    // A solid opaque rectangle comes out the same written directly; the
    // painter's fill costs more than the few pixels of a cell or box line.
    if (target_.isValid() && r.width() > 0 && r.height() > 0) {
        if (walkClean_ && color == kPageColor && walkClean_->isClean(r)) {
            // Nothing changes here now, though the same fill over other pixels would.
            drawn_.touched |= r;
            return;
        }
        reach(r);
        target_.fill(r, toRgb(color));
    } else {
        reach(r);
        p.fillRect(r, bgr(color));
    }
    if (walkClean_ && color != kPageColor)
        walkClean_->markDirty(r);
}

void StyleMachine::boxLine(QPainter *p, int x1, int y1, int x2, int y2)
{
    const QRect r = hvLineRect(x1, y1, x2, y2);
    if (listener_ && !r.isEmpty())
        listener_->boxLine(r);
    if (trace_ && !r.isEmpty())
        traceReach(r.x() + r.width());
    if (p && !r.isEmpty())
        fill(*p, toDevice(r, ratio_), kBoxColor);
}

void StyleMachine::drawLinkGlyph(QPainter *p, const QImage &glyph, const QImage &drawn, int &x,
                                 int rowTop)
{
    if (listener_)
        listener_->linkGlyph(&glyph == &pointerGlyph_ ? LinkGlyph::Pointer : LinkGlyph::Marker, x, rowTop);
    if (p) {
        const QImage &image = ratio_ == 1.0 ? glyph : drawn;
        const QPoint at(toDevice(x, ratio_), toDevice(rowTop, ratio_));
        p->drawImage(at, image);
        reach(QRect(at, image.size()));
        if (walkClean_)
            walkClean_->markDirty(QRect(at, image.size()));
    }
    if (trace_) {
        int &width = &glyph == &pointerGlyph_ ? pointerInkWidth_ : markerInkWidth_;
        if (width < 0)
            width = visibleWidth(glyph);
        traceReach(x + width);
    }
    x = base::toUInt16(x + glyph.width());
}

void StyleMachine::boxFrame(QPainter *p, BoxKind kind, int &x, int rowTop)
{
    const int y = rowTop;
    switch (kind) {
    case BoxKind::Reset:
        boxOpen_ = false;
        return;
    case BoxKind::Toggle:
        x = base::toUInt16(x + 5);
        if (!boxOpen_) {
            boxOpen_ = true;
            boxStartX_ = x;
            for (int i = 0; i <= 1; ++i)
                boxLine(p, x + i, y + 3, x + i, y + 25);
        } else {
            boxOpen_ = false;
            for (int i = 0; i <= 1; ++i) {
                boxLine(p, boxStartX_, y + 1 + i, x, y + 1 + i);
                boxLine(p, boxStartX_, y + 24 - i, x, y + 24 - i);
                boxLine(p, x + i, y + 1, x + i, y + 25);
            }
        }
        x = base::toUInt16(x + 5);
        return;
    case BoxKind::Extend:
        if (!boxOpen_)
            return;
        for (int i = 0; i <= 1; ++i) {
            boxLine(p, boxStartX_, y + 1 + i, x, y + 1 + i);
            boxLine(p, boxStartX_, y + 24 - i, x, y + 24 - i);
        }
        boxStartX_ = x;
        return;
    }
}

// x and baseline are device pixels; solidCell, when not empty, holds only the
// text background right now.
void StyleMachine::drawGlyph(QPainter &p, FontFace &f, uint8_t ch, int x, int baseline,
                             const QRect &solidCell)
{
    if (path_ == DrawPath::Fast) {
        const GlyphInfo &g = f.glyph(ch);
        if (g.kind == GlyphInfo::Kind::Blank)
            return;
        if (g.kind == GlyphInfo::Kind::Glyph && target_.isValid()) {
            const uint32_t background = textBackground_.value_or(kPageColor);
            const QRect ink = g.ink.translated(x, baseline);
            reach(ink);
            const bool clean = walkClean_ && walkClean_->markDirtyWasClean(ink);
            const bool plain = (clean && background == kPageColor) || solidCell.contains(ink);
            target_.blendGlyph(g, x, baseline, toRgb(fontColor_), toRgb(background),
                               plain ? Underlay::Background : Underlay::Unknown);
            return;
        }
    }
    // Text drawn through the painter may reach anywhere (a fallback font's
    // glyph has no ink box here).
    drawn_.known = false;
    if (walkClean_)
        walkClean_->markAllDirty();
    p.setPen(bgr(fontColor_));
    p.setFont(f.font);
    p.drawText(QPoint(x, baseline), QString(base::cp1252ToUnicode(ch)));
}

void StyleMachine::drawCharStep(QPainter *p, uint8_t ch, int &x, int rowTop, bool plain)
{
    FontFace &f = face();
    const int top = rowTop + yOffset_;
    const int advance = advanceWidth(ch);
    if (listener_) {
        listener_->character({ch, x, top, f.textWidth(ch), advance, f.cellHeight, f.ascent,
                              family_ == Family::Arial ? kArialFamily : kCourierFamily, f.font.pixelSize(), bold_,
                              italic_, fontColor_, textBackground_, &f});
    }
    if (p) {
        QRect cell;
        if (textBackground_) {
            cell = toDevice(QRect(x, top, f.textWidth(ch), f.cellHeight), ratio_);
            fill(*p, cell, *textBackground_);
        }
        drawGlyph(*p, deviceFace(), ch, toDevice(x, ratio_), toDevice(top + f.ascent, ratio_), cell);
    }
    x = base::toUInt16(x + advance);
    if (plain)
        boxFrame(p, BoxKind::Extend, x, rowTop);
}

void StyleMachine::traceCharStep(uint8_t ch, int &x, bool plain)
{
    FontFace &f = face();
    const int cellEnd = x + f.textWidth(ch);
    if (textBackground_ && *textBackground_ != kPageColor)
        traceReach(cellEnd);
    if (cellEnd + f.cellHeight < traceEdge_) {
        // Far from the edge the cell is near enough; no glyph needs looking at.
        if (f.textWidth(ch) > 0)
            traceReach(cellEnd);
    } else if (const GlyphInfo &g = f.glyph(ch); g.kind == GlyphInfo::Kind::Glyph) {
        traceReach(x + g.ink.x() + g.ink.width());
    } else if (g.kind != GlyphInfo::Kind::Blank && f.textWidth(ch) > 0) {
        traceReach(cellEnd); // drawn by the text call: its cell is what is known
    }
    x = base::toUInt16(x + advanceWidth(ch));
    if (plain)
        boxFrame(nullptr, BoxKind::Extend, x, 0);
}

bool StyleMachine::applyCode(uint8_t code, int &x, QPainter *p, int rowTop, Purpose purpose)
{
    switch (code) {
    case 'N':
        // Unlike the start of a line, \n paints its cells' background.
        defaultStyle(kPageColor);
        boxFrame(p, BoxKind::Reset, x, rowTop);
        break;
    case 'C': family_ = Family::Courier; break;
    case 'F':
        bold_ = true;
        italic_ = italic_ && purpose == Purpose::Draw;
        break;
    case 'I':
        italic_ = true;
        bold_ = bold_ && purpose == Purpose::Draw;
        fontColor_ = kBlue;
        break;
    case 'L': fontHeight_ = 25; yOffset_ = 0; break;
    case 'H': fontColor_ = kHeaderColor; fontHeight_ = 25; yOffset_ = 0; break;
    case 'P': fontHeight_ = 15; yOffset_ = 0; break;
    case 'S': fontHeight_ = 15; yOffset_ = 12; break;
    case 'M': textBackground_ = kGreyBackground; break;
    case 'T': x = tabStop(x); break;
    case '[': boxFrame(p, BoxKind::Toggle, x, rowTop); break;
    case '@': drawLinkGlyph(p, pointerGlyph_, pointerDrawn_, x, rowTop); break;
    case '#': drawLinkGlyph(p, markerGlyph_, markerDrawn_, x, rowTop); break;
    default: return false;
    }
    return true;
}

int StyleMachine::walk(const QByteArray &text, int cells, markup::DisplayMode mode, QPainter *p, int rowTop,
                       Purpose purpose)
{
    int x = kLeftMargin;
    boxFrame(p, BoxKind::Reset, x, rowTop);
    defaultStyle();
    markup::MarkupReader reader(mode, markup::NameRule::Page);
    for (int c = 0; c < cells; ++c) {
        const markup::Token t = reader.next(uint8_t(text[c]));
        bool known = false;
        if (t.kind == markup::TokenKind::Code)
            known = applyCode(t.byte, x, p, rowTop, purpose);
        else if (t.kind == markup::TokenKind::Text && trace_)
            traceCharStep(t.byte, x, reader.state() == markup::ReaderState::Plain);
        else if (t.kind == markup::TokenKind::Text && purpose == Purpose::Draw)
            drawCharStep(p, t.byte, x, rowTop, reader.state() == markup::ReaderState::Plain);
        else if (t.kind == markup::TokenKind::Text)
            x = base::toUInt16(x + advanceWidth(t.byte));
        if (trace_) {
            trace_->append({t.kind, t.byte, known, boxOpen_, traceReach_});
            traceReach_ = 0;
        }
        // Measuring holds every intermediate x to the signed 16-bit range.
        if (purpose == Purpose::Measure)
            x = base::toInt16(x);
    }
    return x;
}

LineReach StyleMachine::drawLine(QPainter &p, const QByteArray &text, int rowTop, markup::DisplayMode mode,
                                 CleanMap *clean)
{
    rowTop = base::toUInt16(rowTop);
    target_ = path_ == DrawPath::Fast ? PixelTarget::of(p) : PixelTarget();
    walkClean_ = target_.isValid() && clean && clean->height() == target_.rect().height() ? clean : nullptr;
    if (clean && !walkClean_)
        clean->markAllDirty();
    drawn_ = LineReach();
    // A range error leaves the walk halfway; the map must not outlive this call.
    const auto detach = qScopeGuard([this] { walkClean_ = nullptr; });
    lastDrawX_ = walk(text, int(text.size()), mode, &p, rowTop, Purpose::Draw);
    return drawn_;
}

void StyleMachine::traceLine(const QByteArray &text, int rowTop, markup::DisplayMode mode, DrawListener &listener)
{
    target_ = PixelTarget();
    walkClean_ = nullptr;
    listener_ = &listener;
    try {
        walk(text, int(text.size()), mode, nullptr, base::toUInt16(rowTop), Purpose::Draw);
    } catch (...) {
        listener_ = nullptr;
        throw;
    }
    listener_ = nullptr;
}

QList<CellTrace> StyleMachine::traceLine(const QByteArray &text, markup::DisplayMode mode, int edge)
{
    QList<CellTrace> cells;
    cells.reserve(text.size());
    trace_ = &cells;
    traceEdge_ = edge;
    traceReach_ = 0;
    // A range error leaves the walk halfway; the machine must not keep the list.
    struct Detach {
        QList<CellTrace> *&trace;
        ~Detach() { trace = nullptr; }
    } detach{trace_};
    walk(text, int(text.size()), mode, nullptr, 0, Purpose::Draw);
    return cells;
}

int StyleMachine::columnX(int column, const QByteArray &text, markup::DisplayMode mode)
{
    if (text.isEmpty()) {
        defaultStyle();
        return kLeftMargin;
    }
    base::checkRange(column, 1, text.size() + 1);
    return walk(text, column - 1, mode, nullptr, 0, Purpose::Measure);
}

} // namespace render
