#pragma once
// Where the markup puts each character of a line, computed straight from the
// rules with Qt's font metrics as the only input: what the tests expect of the
// style machine, written without it.

#include "base/cp1252.h"

#include <QByteArray>
#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <array>
#include <cstdint>
#include <map>
#include <tuple>

namespace rules {

// A drawing font as the rules ask for it: a family, a cell height, bold and italic.
struct FaceKey {
    bool courier = false;
    int height = 20;
    bool bold = false;
    bool italic = false;
    auto tie() const { return std::tuple(courier, height, bold, italic); }
    bool operator<(const FaceKey &o) const { return tie() < o.tie(); }
};

// A realised face: its font, the ascent and cell height, and the text width of each byte.
struct Face {
    QFont font;
    int ascent = 0;
    int cellHeight = 0;
    std::array<int, 256> widths{};
};

// Returns the face for key: the largest pixel size whose cell is key.height high.
inline const Face &face(const FaceKey &key)
{
    static std::map<FaceKey, Face> faces;
    auto it = faces.find(key);
    if (it != faces.end())
        return it->second;
    QFont f(key.courier ? QStringLiteral("courier new") : QStringLiteral("arial"));
    f.setBold(key.bold);
    f.setItalic(key.italic);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferFullHinting); // as the page draws, for the same pixels
    int best = 1;
    for (int size = 1; size <= 2 * key.height; ++size) {
        f.setPixelSize(size);
        if (QFontMetrics(f).height() <= key.height)
            best = size;
    }
    f.setPixelSize(best);
    Face face{f, QFontMetrics(f).ascent(), QFontMetrics(f).height(), {}};
    for (int b = 0; b < 256; ++b)
        face.widths[size_t(b)] = QFontMetrics(f).horizontalAdvance(base::cp1252ToUnicode(uint8_t(b)));
    return faces.emplace(key, face).first->second;
}

// Returns the room a byte takes in a face: its width times 1.1, truncated, plus 1.
inline int advance(const FaceKey &key, uint8_t ch)
{
    return face(key).widths[ch] * 11 / 10 + 1;
}

inline uint8_t upperAscii(uint8_t c)
{
    return (c >= 'a' && c <= 'z') ? uint8_t(c - 32) : c;
}

constexpr int kGlyphWidth = 20;

// Returns the x at which column (1..length + 1) of text starts, by the measuring
// rules: \f and \i replace the style, \n resets font, height and style.
inline int columnX(const QByteArray &text, int column, bool source)
{
    enum { Plain, Escape, Name, Raw } state = source ? Raw : Plain;
    FaceKey style;
    int x = 5;
    for (int c = 1; c < column && c <= text.size(); ++c) {
        const uint8_t ch = uint8_t(text[c - 1]);
        if (state == Raw || (state == Plain && ch != '\\')) {
            x += advance(style, ch);
        } else if (state == Plain || (state == Name && ch == '\\')) {
            state = Escape;
        } else if (state == Name) {
            if (ch == ' ' || ch == ';')
                state = Plain;
        } else {
            state = Plain;
            switch (upperAscii(ch)) {
            case 'N': style = FaceKey{}; break;
            case 'C': style.courier = true; break;
            case 'F': style.bold = true; style.italic = false; break;
            case 'I': style.italic = true; style.bold = false; break;
            case 'L': case 'H': style.height = 25; break;
            case 'P': case 'S': style.height = 15; break;
            case 'T': x = (x / 100 + 1) * 100; break;
            case '[': x += 10; break;
            case '@': case '#': x += kGlyphWidth; state = Name; break;
            default: break;
            }
        }
    }
    return x;
}

} // namespace rules
