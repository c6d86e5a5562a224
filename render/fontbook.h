#pragma once
// Fonts by name, cell height and style. The drawing fonts are asked for by the
// height of their character cell (internal leading included), which is not
// what Qt's pixel size means, so each one is found by search once and kept.

#include <QFont>
#include <QFontMetrics>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <array>
#include <memory>
#include <vector>

namespace render {

// How the fast drawing path puts one byte of a face on the page.
struct GlyphInfo {
    enum class Kind : uint8_t {
        Unknown,  // not looked at yet
        Glyph,    // one glyph of the face's own font, blended from its coverage
        Blank,    // a glyph without ink: nothing to draw
        TextOnly, // needs the text path (fallback font, control or format character)
    };
    Kind kind = Kind::Unknown;
    // The pixels the glyph touches, relative to (x, baseline): exactly its ink.
    QRect ink;
    // The coverage (0..255) of each pixel of ink, row by row, as Qt's own
    // text drawing produces it for this face.
    std::vector<uint8_t> coverage;
    // The glyph already blended over a plain background in a pen colour, made
    // when first needed: copied whole onto ink boxes that hold only that background.
    struct Tile {
        uint32_t color;
        uint32_t background;
        std::vector<uint32_t> pixels;
    };
    mutable std::vector<Tile> tiles;
};
// One realised drawing font with its metrics and the advances of its 256 bytes.
struct FontFace {
    QFont font;
    QFontMetrics metrics;
    int ascent = 0;
    int cellHeight = 0;
    // Text width of each Windows-1252 byte, or -1 until first asked.
    std::array<int, 256> widths;

    explicit FontFace(const QFont &f);
    // Returns the text width in pixels of one byte in this font.
    int textWidth(uint8_t byte);
    // Returns how the fast path draws byte, looked up once per face and byte.
    const GlyphInfo &glyph(uint8_t byte);

private:
    const QRawFont &rawFont();
    // Returns an image of size with glyph index drawn white on black at origin.
    QImage glyphOnBlack(quint32 index, QPoint origin, QSize size);
    void captureCoverage(GlyphInfo &g, quint32 index);

    std::array<GlyphInfo, 256> glyphs_;
    QRawFont raw_;
};

// The two families the page, its code box and the window's captions ask for;
// fontconfig resolves them (to Liberation Sans and Mono on Debian).
inline const QString kArialFamily = QStringLiteral("arial");
inline const QString kCourierFamily = QStringLiteral("courier new");

// Returns the face for a family name (kArialFamily, kCourierFamily), a cell height and a
// style; at a device pixel ratio above 1, that face's font at the scaled pixel size.
FontFace &fontFace(const QString &family, int cellHeight, bool bold, bool italic, double ratio = 1.0);

// Returns a font whose characters are `height` pixels high without internal leading.
QFont captionFont(const QString &family, int height, bool bold);

} // namespace render
