#pragma once
// A help document as one self-contained web page that looks like the editor's
// rendered page. Every line up to the last one with text is a row of 25 pixels
// in a page 800 pixels wide; every character is real text in a box at the x
// where the renderer draws it (the renderer's own walk tells where), in the
// same font, size, style, colour and background; box frames, the link glyphs
// (the renderer's images) and the offsets of raised and lowered text follow.
// Followed links are anchors to their marker's row. The styles are inside the
// page: no script, and nothing is fetched from anywhere.

#include "document/textgrid.h"
#include "render/stylemachine.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <array>

namespace publish {

// Returns the last line that holds text, 0 for an empty document.
int lastTextLine(const doc::TextGrid &grid);

class HtmlPageWriter {
public:
    HtmlPageWriter();

    // Returns the page (UTF-8) that shows the document; title is what <title> says.
    QByteArray page(const doc::TextGrid &grid, const QString &title);
    // Returns the characters a line shows on the rendered page, in order (as webCharacter gives them).
    QString shownText(const QByteArray &line);
    // Returns the shown text of the first line that shows anything but blanks,
    // trimmed; empty when no line does.
    QString firstShownLine(const doc::TextGrid &grid);

private:
    QImage pointerGlyph_;
    QImage markerGlyph_;
    render::StyleMachine machine_;
    // The CSS rules of the two glyphs, their images inline.
    QByteArray glyphCss_;
};

// Returns the character a byte stands for on a web page: its Windows-1252
// character, or U+FFFD for a control code, which HTML cannot hold.
QChar webCharacter(uint8_t byte);

// Returns webCharacter(byte) in UTF-8, escaped for HTML.
const QByteArray &htmlCharacter(uint8_t byte);

} // namespace publish
