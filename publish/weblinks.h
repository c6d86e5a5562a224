#pragma once
// The links of a help document as a web page follows them: which pointers
// lead somewhere, which marker each one leads to, and the names of both made
// safe for HTML and for a URL fragment.

#include "document/textgrid.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace publish {

// Returns text with &, <, >, " and ' written as character references.
QString escapeHtml(const QString &text);

// Returns the id, and the fragment, that a link name gets on the page: "link-"
// and the name's characters in UTF-8, every byte but letters, digits and
// - . _ ~ written as %XX. Distinct names give distinct ids, and an id needs no
// further escaping in an attribute or a URL.
QString fragmentOf(const QByteArray &name);

// Where a link glyph stands: its line and the column of its \@ or \# code.
struct GlyphPlace {
    int line = 0;
    int column = 0;
    friend bool operator==(const GlyphPlace &a, const GlyphPlace &b) = default;
};
inline size_t qHash(const GlyphPlace &p, size_t seed = 0)
{
    return ::qHash(p.line * 256 + p.column, seed);
}

// A pointer the page follows, or a marker a followed pointer leads to.
struct WebLink {
    QByteArray name;
    int markerLine = 0;
};

// The glyphs of a document that the page turns into links.
struct WebLinks {
    // Pointers the editor follows: a marker, on another line, and a name no
    // other pointer of the table has.
    QHash<GlyphPlace, WebLink> pointers;
    // The marker each of those pointers leads to.
    QHash<GlyphPlace, WebLink> targets;
    // Every marker the link table matched to a pointer: a click on it goes
    // back to the first line, as in the editor.
    QHash<GlyphPlace, WebLink> matchedMarkers;
};

// Returns the columns of the \@ and \# codes of a line as the page reads it:
// where it draws a link glyph, in drawing order.
QList<int> glyphColumns(const QByteArray &line);

// Returns the links of lines 1..lastLine of grid, by the editor's link table.
WebLinks webLinks(const doc::TextGrid &grid, int lastLine);

} // namespace publish
