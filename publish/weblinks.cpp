#include "publish/weblinks.h"

#include "base/cp1252.h"
#include "links/linktable.h"
#include "markup/markup.h"

#include <QList>

namespace publish {

QString escapeHtml(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

QString fragmentOf(const QByteArray &name)
{
    // The percent sign itself is escaped, so the id says exactly one name.
    return QStringLiteral("link-")
        + QString::fromLatin1(base::decodeCp1252(name).toUtf8().toPercentEncoding());
}

QList<int> glyphColumns(const QByteArray &line)
{
    QList<int> columns;
    markup::MarkupReader reader(markup::DisplayMode::Rendered, markup::NameRule::Page);
    for (int c = 1; c <= line.size(); ++c) {
        const markup::Token t = reader.next(uint8_t(line[c - 1]));
        if (t.kind == markup::TokenKind::Code && (t.byte == '@' || t.byte == '#'))
            columns.append(c);
    }
    return columns;
}

namespace {

// Returns whether the page draws a glyph of the kind (@ or #) at place. The
// link scanner and the page end names by different rules, so a name the
// scanner takes may stand where the page shows plain text.
bool drawnAt(const doc::TextGrid &grid, const GlyphPlace &place, char code)
{
    const QByteArray line = grid.getLine(place.line);
    return glyphColumns(line).contains(place.column) && line[place.column - 1] == code;
}

// A name the scanner took, with the column of the code that starts it.
struct Taken {
    bool pointer;
    QByteArray name;
    GlyphPlace place;
};

// Returns whether entry i (1-based) shares its name with another entry of the table.
bool nameShared(const links::LinkTable &table, int i)
{
    for (int j = 1; j <= table.linkCount(); ++j) {
        if (j != i && table.entry(j).name == table.entry(i).name)
            return true;
    }
    return false;
}

} // namespace

WebLinks webLinks(const doc::TextGrid &grid, int lastLine)
{
    QList<Taken> taken;
    links::ScanSource src;
    src.firstLine = 1;
    src.lastLine = lastLine;
    src.lineText = [&grid](int line) { return grid.getLine(line); };
    // Positions play no part: glyphs are known by the column of their code.
    src.columnX = [](int, int) { return 0; };
    src.observe = [&taken](const links::ScanEvent &e) {
        // A name's bytes follow its code without a gap up to the ";".
        if (e.outcome == links::ScanOutcome::Taken)
            taken.append({e.pointer, e.name, {e.line, e.column - int(e.name.size()) - 1}});
    };
    links::LinkTable table;
    table.check(table.scan(src));

    // Pointers enter the table in reading order; a marker goes to the first
    // entry of its name, and the last marker of a name is the one kept.
    QList<GlyphPlace> pointerAt;
    QHash<int, GlyphPlace> markerOf;
    for (const Taken &t : taken) {
        if (t.pointer)
            pointerAt.append(t.place);
        else
            markerOf[table.findLink(t.name).second] = t.place;
    }
    WebLinks result;
    for (int i = 1; i <= table.linkCount(); ++i) {
        const links::Link &e = table.entry(i);
        if (e.markerLine == 0)
            continue;
        result.matchedMarkers.insert(markerOf.value(i), {e.name, 1});
        if (e.markerLine == e.pointerLine || nameShared(table, i))
            continue;
        // A link to a glyph the page does not draw would lead nowhere.
        if (!drawnAt(grid, pointerAt[i - 1], '@') || !drawnAt(grid, markerOf.value(i), '#'))
            continue;
        result.pointers.insert(pointerAt[i - 1], {e.name, e.markerLine});
        result.targets.insert(markerOf.value(i), {e.name, e.markerLine});
    }
    return result;
}

} // namespace publish
