#pragma once
// The style machine: interprets the backslash markup of one line, byte by byte,
// in two variants. The drawing variant renders the line into its row; the
// measuring variant computes the x at which a column starts. Both are one walk
// over the line through the markup reader and one table of escape codes, and
// share the machine's current style, as they share one drawing surface.
//
// The layout is in logical page pixels. The drawing walk paints at a device
// pixel ratio: fonts at the scaled pixel size and every position, fill and
// link glyph times the ratio, so a high-density screen gets sharp text.

#include "render/cleanmap.h"
#include "render/drawlistener.h"
#include "render/fontbook.h"
#include "markup/markup.h"
#include "render/pixeltarget.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <optional>

namespace render {

// How characters reach the surface: Fast blends cached glyph coverage and writes
// fills straight into an RGB32 page, Plain draws each character with its own
// text call and fills through the painter. Both give the same pixels.
enum class DrawPath { Fast, Plain };

// What a box-frame call does.
enum class BoxKind { Reset, Toggle, Extend };

// The x at which every line's text starts, in logical pixels.
constexpr int kLeftMargin = 5;

// What the drawing walk does at one cell of a line, found without painting.
struct CellTrace {
    markup::TokenKind kind = markup::TokenKind::Text; // what the markup reader made of the byte
    uint8_t byte = 0;                 // the byte; a code upper-cased
    bool knownCode = false;           // a code the machine acts on (kind Code only)
    bool boxOpen = false;             // a box is open after this cell
    int reach = 0;                    // x just past the last pixel this cell draws; 0 when it draws nothing
};

// Where the drawing of one line reached on its target, in device pixels.
struct LineReach {
    // Whether touched bounds the drawing: a character drawn by the painter's
    // text call (a fallback font's glyph) may reach anywhere.
    bool known = true;
    QRect touched; // the pixels the drawing may have touched (empty: none)
    QRect changed; // the part of touched whose pixels it may have changed

    // Returns the same reach moved down by dy device rows.
    LineReach translated(int dy) const { return {known, touched.translated(0, dy), changed.translated(0, dy)}; }
};

class StyleMachine {
public:
    // The glyphs are drawn for \@ and \#; their widths give the glyphs' advance.
    StyleMachine(const QImage &pointerGlyph, const QImage &markerGlyph);

    // Draws the line's text into its row (top rowTop, logical) on the painter's
    // surface, keeping clean (what is known of that surface, when given) up to
    // date and leaving out fills it shows would change nothing; returns where
    // the drawing reached.
    LineReach drawLine(QPainter &p, const QByteArray &text, int rowTop, markup::DisplayMode mode,
                       CleanMap *clean = nullptr);
    // Walks the line as drawLine does, drawing nothing, and tells listener what
    // would be drawn and where (row top rowTop, logical pixels).
    void traceLine(const QByteArray &text, int rowTop, markup::DisplayMode mode, DrawListener &listener);
    // Returns the x at which column (1..length+1) of text starts.
    int columnX(int column, const QByteArray &text, markup::DisplayMode mode);
    // Returns what drawing each cell of text would do, walking as drawLine does
    // but painting nothing. A character's reach is its exact ink where the cell
    // ends within a cell height of x = edge or beyond, else the end of its cell.
    QList<CellTrace> traceLine(const QByteArray &text, markup::DisplayMode mode, int edge);
    // Returns the room one character takes in the current font: width * 11 div 10 + 1.
    int advanceWidth(uint8_t ch);
    // Sets the default style: arial 20 at the normal offset, black, no style,
    // and textBackground behind the characters (none: the page shows through).
    void defaultStyle(std::optional<uint32_t> textBackground = std::nullopt);

    // Sets the device pixel ratio the drawing walk paints at; 1 is the page's own pixels.
    void setDeviceRatio(double ratio);
    // Returns the device pixel ratio of the drawing walk.
    double deviceRatio() const { return ratio_; }
    // Chooses how characters are drawn; the default is Fast.
    void setDrawPath(DrawPath path) { path_ = path; }
    // Returns how characters are drawn.
    DrawPath drawPath() const { return path_; }

    // Returns the x the last drawLine walk reached after its last cell (5 for an empty line).
    int lastDrawX() const { return lastDrawX_; }

private:
    enum class Family : uint8_t { Arial, Courier };
    // What a walk is for. The measuring walk lets \f and \i replace each
    // other where drawing adds them up, so text after both measures narrower.
    enum class Purpose { Draw, Measure };

    int walk(const QByteArray &text, int cells, markup::DisplayMode mode, QPainter *p, int rowTop, Purpose purpose);
    FontFace &face();
    FontFace &deviceFace();
    void drawGlyph(QPainter &p, FontFace &f, uint8_t ch, int x, int baseline, const QRect &solidCell);
    void fill(QPainter &p, const QRect &r, uint32_t color);
    void boxLine(QPainter *p, int x1, int y1, int x2, int y2);
    void drawLinkGlyph(QPainter *p, const QImage &glyph, const QImage &drawn, int &x, int rowTop);
    bool applyCode(uint8_t code, int &x, QPainter *p, int rowTop, Purpose purpose);
    void traceCharStep(uint8_t ch, int &x, bool plain);
    void traceReach(int right) { traceReach_ = std::max(traceReach_, right); }
    void drawCharStep(QPainter *p, uint8_t ch, int &x, int rowTop, bool plain);
    void boxFrame(QPainter *p, BoxKind kind, int &x, int rowTop);
    void reach(const QRect &r);

    const QImage &pointerGlyph_;
    const QImage &markerGlyph_;
    // The glyphs as drawn at the device pixel ratio.
    QImage pointerDrawn_;
    QImage markerDrawn_;
    double ratio_ = 1.0;

    // The surface's current style, set by defaultStyle and the codes.
    Family family_;
    int fontHeight_;
    bool bold_;
    bool italic_;
    uint32_t fontColor_;
    std::optional<uint32_t> textBackground_;
    int yOffset_;
    // The faces of the current style, and the style they were looked up for.
    FontFace *face_ = nullptr;
    FontFace *deviceFace_ = nullptr;
    int faceKey_ = -1;
    int deviceFaceKey_ = -1;
    DrawPath path_ = DrawPath::Fast;
    // The image the fast path writes to without the painter; invalid when the
    // painter's state (clip, transform, format) needs the painter's own drawing.
    PixelTarget target_;
    // The clean map while the walk writes through target_, otherwise null.
    CleanMap *walkClean_ = nullptr;
    // Box state of the drawing walk.
    bool boxOpen_ = false;
    int boxStartX_ = kLeftMargin;
    int lastDrawX_ = kLeftMargin;
    // Where the drawing walk under way has reached so far.
    LineReach drawn_;
    // Told of what the drawing walk draws, while a trace runs.
    DrawListener *listener_ = nullptr;
    // The cells of the tracing walk, or null while drawing or measuring.
    QList<CellTrace> *trace_ = nullptr;
    int traceEdge_ = 0;
    int traceReach_ = 0;
    // How far the two link glyphs' non-white pixels reach; -1 until first needed.
    int pointerInkWidth_ = -1;
    int markerInkWidth_ = -1;
};

} // namespace render
