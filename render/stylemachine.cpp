#include "render/stylemachine.h"

#include "base/checked.h"
#include "base/cp1252.h"
#include "render/colors.h"

#include <algorithm>

namespace render {

namespace {
const QString kArial = QStringLiteral("arial");
const QString kCourier = QStringLiteral("courier new");

uint8_t upperAscii(uint8_t c)
{
    return (c >= 'a' && c <= 'z') ? uint8_t(c - 32) : c;
}

int tabStop(int x)
{
    return base::toUInt16((x / 100 + 1) * 100);
}
} // namespace

StyleMachine::StyleMachine(const QImage &pointerGlyph, const QImage &markerGlyph)
    : pointerGlyph_(pointerGlyph), markerGlyph_(markerGlyph)
{
}

FontFace &StyleMachine::face()
{
    // The fast path looks the face up only when the style changed since the
    // last character; the plain path looks it up for every character.
    const int key = int(family_) | fontHeight_ << 1 | int(bold_) << 8 | int(italic_) << 9;
    if (key != faceKey_ || path_ == DrawPath::Plain) {
        face_ = &fontFace(family_ == Family::Arial ? kArial : kCourier, fontHeight_, bold_, italic_);
        faceKey_ = key;
    }
    return *face_;
}

void StyleMachine::defaultStyle()
{
    textBackground_.reset();
    family_ = Family::Arial;
    fontColor_ = kBlack;
    bold_ = false;
    italic_ = false;
    fontHeight_ = 20;
}

void StyleMachine::resetBox()
{
    boxOpen_ = false;
    boxStartX_ = 5;
}

int StyleMachine::advanceWidth(uint8_t ch)
{
    const int w = face().textWidth(ch);
    return base::toUInt8(w * 11 / 10 + 1);
}

void StyleMachine::fill(QPainter &p, const QRect &r, uint32_t color)
{
    // A solid opaque rectangle comes out the same written directly; the
    // painter's fill costs more than the few pixels of a cell or box line.
    if (target_.isValid() && r.width() > 0 && r.height() > 0) {
        if (walkClean_ && color == kPageColor && walkClean_->isClean(r))
            return;
        target_.fill(r, toRgb(color));
    } else {
        p.fillRect(r, bgr(color));
    }
    if (walkClean_ && color != kPageColor)
        walkClean_->markDirty(r);
}

void StyleMachine::boxLine(QPainter &p, int x1, int y1, int x2, int y2)
{
    const QRect r = hvLineRect(x1, y1, x2, y2);
    if (!r.isEmpty())
        fill(p, r, kBoxColor);
}

void StyleMachine::drawLinkGlyph(QPainter &p, const QImage &glyph, int &x, int rowTop)
{
    p.drawImage(x, rowTop, glyph);
    if (walkClean_)
        walkClean_->markDirty(QRect(QPoint(x, rowTop), glyph.size()));
    state_ = MachineState::Name;
    x = base::toUInt16(x + glyph.width());
}

void StyleMachine::boxFrame(QPainter &p, BoxKind kind, int &x, int rowTop)
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

// solidCell, when not empty, holds only the text background right now.
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
            const bool clean = walkClean_ && walkClean_->markDirtyWasClean(ink);
            const bool plain = (clean && background == kPageColor) || solidCell.contains(ink);
            target_.blendGlyph(g, x, baseline, toRgb(fontColor_), toRgb(background),
                               plain ? Underlay::Background : Underlay::Unknown);
            return;
        }
    }
    // Text drawn through the painter may reach anywhere (a fallback font's
    // glyph has no ink box here).
    if (walkClean_)
        walkClean_->markAllDirty();
    p.setPen(bgr(fontColor_));
    p.setFont(f.font);
    p.drawText(QPoint(x, baseline), QString(base::cp1252ToUnicode(ch)));
}

void StyleMachine::drawCharStep(QPainter &p, uint8_t ch, int &x, int rowTop)
{
    FontFace &f = face();
    const int top = rowTop + yOffset_;
    QRect cell;
    if (textBackground_) {
        cell = QRect(x, top, f.textWidth(ch), f.cellHeight);
        fill(p, cell, *textBackground_);
    }
    drawGlyph(p, f, ch, x, top + f.ascent, cell);
    x = base::toUInt16(x + advanceWidth(ch));
    if (state_ == MachineState::Plain)
        boxFrame(p, BoxKind::Extend, x, rowTop);
}

void StyleMachine::applyDrawCode(QPainter &p, uint8_t code, int &x, int rowTop)
{
    switch (upperAscii(code)) {
    case 'N':
        family_ = Family::Arial;
        fontColor_ = kBlack;
        fontHeight_ = 20;
        bold_ = italic_ = false;
        textBackground_ = kPageColor;
        yOffset_ = 5;
        boxFrame(p, BoxKind::Reset, x, rowTop);
        break;
    case 'C': family_ = Family::Courier; break;
    case 'F': bold_ = true; break;
    case 'I':
        italic_ = true;
        fontColor_ = kBlue;
        break;
    case 'L': fontHeight_ = 25; yOffset_ = 0; break;
    case 'H': fontColor_ = kHeaderColor; fontHeight_ = 25; yOffset_ = 0; break;
    case 'P': fontHeight_ = 15; yOffset_ = 0; break;
    case 'S': fontHeight_ = 15; yOffset_ = 12; break;
    case 'M': textBackground_ = kGreyBackground; break;
    case 'T': x = tabStop(x); break;
    case '[': boxFrame(p, BoxKind::Toggle, x, rowTop); break;
    case '@': drawLinkGlyph(p, pointerGlyph_, x, rowTop); break;
    case '#': drawLinkGlyph(p, markerGlyph_, x, rowTop); break;
    default: break;
    }
}

int StyleMachine::applyMeasureCode(uint8_t code, int x)
{
    switch (upperAscii(code)) {
    case 'N':
        family_ = Family::Arial;
        fontHeight_ = 20;
        bold_ = italic_ = false;
        return x;
    case 'C': family_ = Family::Courier; return x;
    case 'F': bold_ = true; italic_ = false; return x;
    case 'I': italic_ = true; bold_ = false; return x;
    case 'L':
    case 'H': fontHeight_ = 25; return x;
    case 'P':
    case 'S': fontHeight_ = 15; return x;
    case 'T': return tabStop(x);
    case '[': return base::toUInt16(x + 10);
    case '@':
        state_ = MachineState::Name;
        return base::toUInt16(x + pointerGlyph_.width());
    case '#':
        state_ = MachineState::Name;
        return base::toUInt16(x + markerGlyph_.width());
    default: return x;
    }
}

void StyleMachine::drawByte(QPainter &p, uint8_t ch, int &x, int rowTop)
{
    switch (state_) {
    case MachineState::Plain:
        if (ch == '\\')
            state_ = MachineState::Escape;
        else
            drawCharStep(p, ch, x, rowTop);
        break;
    case MachineState::Escape:
        state_ = MachineState::Plain;
        applyDrawCode(p, ch, x, rowTop);
        break;
    case MachineState::Name:
        if (ch == ' ' || ch == ';')
            state_ = MachineState::Plain;
        else if (ch == '\\')
            state_ = MachineState::Escape;
        break;
    case MachineState::Raw:
        drawCharStep(p, ch, x, rowTop);
        break;
    }
}

void StyleMachine::drawLine(QPainter &p, const QByteArray &text, int rowTop, DisplayMode mode)
{
    int x = 5;
    yOffset_ = 5;
    rowTop = base::toUInt16(rowTop);
    boxFrame(p, BoxKind::Reset, x, rowTop);
    defaultStyle();
    state_ = mode == DisplayMode::Source ? MachineState::Raw : MachineState::Plain;
    target_ = path_ == DrawPath::Fast ? PixelTarget::of(p) : PixelTarget();
    walkClean_ = target_.isValid() && clean_ && clean_->height() == target_.rect().height() ? clean_
                                                                                          : nullptr;
    if (clean_ && !walkClean_)
        clean_->markAllDirty();
    for (char c : text)
        drawByte(p, uint8_t(c), x, rowTop);
    lastDrawX_ = x;
}

int StyleMachine::measureStep(int x, uint8_t ch)
{
    switch (state_) {
    case MachineState::Plain:
        if (ch == '\\') {
            state_ = MachineState::Escape;
            return x;
        }
        return base::toUInt16(x + advanceWidth(ch));
    case MachineState::Escape:
        state_ = MachineState::Plain;
        return applyMeasureCode(ch, x);
    case MachineState::Name:
        if (ch == ' ' || ch == ';')
            state_ = MachineState::Plain;
        else if (ch == '\\')
            state_ = MachineState::Escape;
        return x;
    case MachineState::Raw:
        return base::toUInt16(x + advanceWidth(ch));
    }
    return x;
}

int StyleMachine::columnX(int column, const QByteArray &text, DisplayMode mode)
{
    defaultStyle();
    state_ = mode == DisplayMode::Source ? MachineState::Raw : MachineState::Plain;
    if (text.isEmpty())
        return 5;
    base::checkRange(column, 1, text.size() + 1);
    int x = 5;
    for (int c = 1; c <= column - 1; ++c)
        x = int(base::toInt16(measureStep(x, uint8_t(text[c - 1]))));
    return x;
}

} // namespace render
