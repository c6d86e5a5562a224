#pragma once
// What a drawing walk puts on the page, told item by item in logical pixels:
// the characters with their cells and styles, the link glyphs and the box
// frame lines. The web export lays its page out from these, so that it stands
// exactly where the renderer draws.

#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

namespace render {

struct FontFace;

// One character as the drawing walk places it.
struct DrawnChar {
    uint8_t byte = 0;
    int x = 0;          // left edge of its cell
    int top = 0;        // top of its cell: the row top plus the style's offset
    int width = 0;      // text width: what a text background fills
    int advance = 0;    // the room it takes on the line
    int cellHeight = 0; // the font's cell, internal leading included
    int ascent = 0;     // from the cell's top to the baseline
    QString family;     // "arial" or "courier new"
    int pixelSize = 0;  // the em size the cell height was found for
    bool bold = false;
    bool italic = false;
    uint32_t color = 0; // 0xBBGGRR
    std::optional<uint32_t> background;
    const FontFace *face = nullptr; // the face it is drawn in
};

enum class LinkGlyph { Pointer, Marker };

class DrawListener {
public:
    virtual ~DrawListener() = default;
    // Told of each character drawn, in line order.
    virtual void character(const DrawnChar &c) = 0;
    // Told of a link glyph with its top-left corner at (x, rowTop).
    virtual void linkGlyph(LinkGlyph kind, int x, int rowTop) = 0;
    // Told of a filled rectangle of a box frame.
    virtual void boxLine(const QRect &r) = 0;
};

} // namespace render
