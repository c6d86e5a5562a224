#pragma once
// The style machine: interprets the backslash markup of one line, byte by byte,
// in two variants. The drawing variant renders the line into its row; the
// measuring variant computes the x at which a column starts. Both share the
// machine's state and its current style, as they share one drawing surface.

#include "render/fontbook.h"
#include "render/cleanmap.h"
#include "render/pixeltarget.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <optional>

namespace render {

// Whether markup is applied or every byte is shown as it is.
enum class DisplayMode { Rendered, Source };

// The walk's interpretation state.
enum class MachineState : uint8_t { Plain = 0, Escape = 1, Name = 2, Raw = 3 };

// How characters reach the surface: Fast blends cached glyph coverage and writes
// fills straight into an RGB32 page, Plain draws each character with its own
// text call and fills through the painter. Both give the same pixels.
enum class DrawPath { Fast, Plain };

// What a box-frame call does.
enum class BoxKind { Reset, Toggle, Extend };

class StyleMachine {
public:
    // The glyphs are drawn for \@ and \#; their widths give the glyphs' advance.
    StyleMachine(const QImage &pointerGlyph, const QImage &markerGlyph);

    // Draws the line's text into its row (top rowTop) on the painter's surface.
    void drawLine(QPainter &p, const QByteArray &text, int rowTop, DisplayMode mode);
    // Returns the x at which column (1..length+1) of text starts.
    int columnX(int column, const QByteArray &text, DisplayMode mode);
    // Measures one byte from x, updating the machine state and style; returns the new x.
    int measureStep(int x, uint8_t ch);
    // Returns the room one character takes in the current font: width * 11 div 10 + 1.
    int advanceWidth(uint8_t ch);
    // Sets the default style: arial 20, black, no style, no text background.
    void defaultStyle();
    // Closes any box without drawing (editor reset): no box open, start x 5.
    void resetBox();

    // Chooses how characters are drawn; the default is Fast.
    void setDrawPath(DrawPath path) { path_ = path; }
    // Returns how characters are drawn.
    DrawPath drawPath() const { return path_; }
    // Sets what is known about the image the drawing walks paint on, or none;
    // the walks keep it up to date and skip fills that would change nothing.
    void setCleanMap(CleanMap *map) { clean_ = map; }

    // Returns the machine's current state.
    MachineState state() const { return state_; }
    // Returns whether a box is open in the drawing walk.
    bool boxOpen() const { return boxOpen_; }
    // Returns the x up to which the open box's edges are drawn.
    int boxStartX() const { return boxStartX_; }
    // Returns the x the last drawLine walk reached after its last cell (5 for an empty line).
    int lastDrawX() const { return lastDrawX_; }

private:
    enum class Family : uint8_t { Arial, Courier };

    FontFace &face();
    void drawGlyph(QPainter &p, FontFace &f, uint8_t ch, int x, int baseline, const QRect &solidCell);
    void fill(QPainter &p, const QRect &r, uint32_t color);
    void boxLine(QPainter &p, int x1, int y1, int x2, int y2);
    void drawLinkGlyph(QPainter &p, const QImage &glyph, int &x, int rowTop);
    void applyDrawCode(QPainter &p, uint8_t code, int &x, int rowTop);
    int applyMeasureCode(uint8_t code, int x);
    void drawCharStep(QPainter &p, uint8_t ch, int &x, int rowTop);
    void drawByte(QPainter &p, uint8_t ch, int &x, int rowTop);
    void boxFrame(QPainter &p, BoxKind kind, int &x, int rowTop);

    const QImage &pointerGlyph_;
    const QImage &markerGlyph_;

    MachineState state_ = MachineState::Plain;
    // The surface's current style.
    Family family_ = Family::Arial;
    int fontHeight_ = 20;
    bool bold_ = false;
    bool italic_ = false;
    uint32_t fontColor_ = 0;
    std::optional<uint32_t> textBackground_;
    int yOffset_ = 5;
    // The face of the current style, and the style it was looked up for.
    FontFace *face_ = nullptr;
    int faceKey_ = -1;
    DrawPath path_ = DrawPath::Fast;
    // The image the fast path writes to without the painter; invalid when the
    // painter's state (clip, transform, format) needs the painter's own drawing.
    PixelTarget target_;
    CleanMap *clean_ = nullptr;
    // The clean map while the walk writes through target_, otherwise null.
    CleanMap *walkClean_ = nullptr;
    // Box state of the drawing walk.
    bool boxOpen_ = false;
    int boxStartX_ = 5;
    int lastDrawX_ = 5;
};

} // namespace render
