#include "render/stylemachine.h"

#include "base/checked.h"
#include "base/cp1252.h"
#include "render/colors.h"

#include <algorithm>
#include <climits>

namespace render {

namespace {
const QString kArial = QStringLiteral("arial");
const QString kCourier = QStringLiteral("courier new");

// Returns the image p paints on when a solid fill may write its pixels straight
// into it with the same result as the painter's fill; null otherwise.
QImage *directFillTarget(QPainter &p)
{
    QPaintDevice *d = p.device();
    if (!d || d->devType() != QInternal::Image || !p.transform().isIdentity() || p.hasClipping()
        || p.opacity() != 1.0
        || p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    auto *img = static_cast<QImage *>(d);
    return img->format() == QImage::Format_RGB32 ? img : nullptr;
}

// Fills r of an RGB32 image with an opaque colour (0xBBGGRR), clipped to the image.
void fillDirect(QImage &img, const QRect &r, uint32_t color)
{
    const QRect area = r & img.rect();
    if (area.isEmpty())
        return;
    const QRgb pixel = bgr(color).rgb();
    // One bits() call: scanLine() would check for sharing on every row.
    uchar *row = img.bits() + qsizetype(area.top()) * img.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y, row += img.bytesPerLine())
        std::fill_n(reinterpret_cast<QRgb *>(row) + area.left(), area.width(), pixel);
}

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
    batch_.flushIfOverlaps(p, r);
    // A solid opaque rectangle comes out the same written directly; the
    // painter's fill costs more than the few pixels of a cell or box line.
    if (directFill_ && r.width() > 0 && r.height() > 0)
        fillDirect(*directFill_, r, color);
    else
        p.fillRect(r, bgr(color));
}

void StyleMachine::boxLine(QPainter &p, int x1, int y1, int x2, int y2)
{
    const QRect r = hvLineRect(x1, y1, x2, y2);
    if (!r.isEmpty())
        fill(p, r, kBoxColor);
}

void StyleMachine::drawLinkGlyph(QPainter &p, const QImage &glyph, int &x, int rowTop)
{
    batch_.flushIfOverlaps(p, QRect(QPoint(x, rowTop), glyph.size()));
    p.drawImage(x, rowTop, glyph);
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

void StyleMachine::drawGlyph(QPainter &p, FontFace &f, uint8_t ch, int x, int baseline)
{
    if (path_ == DrawPath::Fast) {
        const GlyphInfo &g = f.glyph(ch);
        if (g.kind == GlyphInfo::Kind::Blank)
            return;
        if (g.kind == GlyphInfo::Kind::Glyph) {
            if (x + g.ink.left() < clipRight_)
                batch_.add(p, f, fontColor_, g, x, baseline);
            return;
        }
        batch_.flush(p);
        batch_.usePen(p, fontColor_);
    } else {
        p.setPen(bgr(fontColor_));
    }
    p.setFont(f.font);
    p.drawText(QPoint(x, baseline), QString(base::cp1252ToUnicode(ch)));
}

void StyleMachine::drawCharStep(QPainter &p, uint8_t ch, int &x, int rowTop)
{
    FontFace &f = face();
    const int top = rowTop + yOffset_;
    if (textBackground_)
        fill(p, QRect(x, top, f.textWidth(ch), f.cellHeight), *textBackground_);
    drawGlyph(p, f, ch, x, top + f.ascent);
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
    clipRight_ = p.device() && p.transform().isIdentity() ? p.device()->width() : INT_MAX;
    directFill_ = path_ == DrawPath::Fast ? directFillTarget(p) : nullptr;
    batch_.forgetPen();
    try {
        for (char c : text)
            drawByte(p, uint8_t(c), x, rowTop);
    } catch (...) {
        // A failed range check stops the walk; what came before it is on the page.
        batch_.flush(p);
        throw;
    }
    batch_.flush(p);
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
