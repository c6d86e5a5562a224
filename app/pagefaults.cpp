#include "app/pagefaults.h"

#include "base/cp1252.h"
#include "render/pagegeometry.h"
#include "links/linkcheck.h"

namespace app {

using base::Diagnostic;
using render::CellTrace;
using markup::TokenKind;

namespace {

// One line under inspection and the warnings gathered for it.
struct LineWalk {
    int line;
    const QByteArray &text;
    const QList<CellTrace> &cells;
    QList<Diagnostic> &out;

    void warn(int column, const char *code, const QString &message) const
    {
        out.append({line, column, base::Severity::Warning, QString::fromLatin1(code), message});
    }
    // The 1-based column where cell i (0-based) starts to matter: a code's backslash.
    int columnOf(int i) const { return cells[i].kind == TokenKind::Code ? i : i + 1; }
};

// How the page ended a link name.
enum class NameEnd { Semicolon, Blank, Backslash, LineEnd };

// Returns a byte as a message names it.
QString byteName(uint8_t b)
{
    if (b == ' ')
        return QStringLiteral("blank");
    const QString shown = base::printableCp1252(QByteArray(1, char(b)));
    return shown.size() == 1 ? QLatin1Char('\'') + shown + QLatin1Char('\'') : QStringLiteral("byte ") + shown;
}

void addPastEdge(const LineWalk &w)
{
    int first = 0;
    int reach = 0;
    for (int i = 0; i < w.cells.size(); ++i) {
        if (w.cells[i].reach <= render::kPageSize)
            continue;
        if (first == 0)
            first = w.columnOf(i);
        reach = std::max(reach, w.cells[i].reach);
    }
    if (first > 0)
        w.warn(first, "past-right-edge",
               QStringLiteral("text drawn past the page's right edge from here; %1 pixels cut").arg(reach - render::kPageSize));
}

void addCodeFaults(const LineWalk &w)
{
    for (int i = 0; i < w.cells.size(); ++i) {
        const CellTrace &c = w.cells[i];
        if (c.kind != TokenKind::Code || c.knownCode)
            continue;
        if (c.byte == '\\')
            w.warn(i, "backslash-not-shown", QStringLiteral("'\\\\' shows nothing: a backslash cannot be shown"));
        else
            w.warn(i, "unknown-code", QStringLiteral("a backslash and the %1 make no code; the %1 is not shown")
                                          .arg(byteName(uint8_t(w.text[i]))));
    }
    if (!w.cells.isEmpty() && w.cells.last().kind == TokenKind::Silent)
        w.warn(int(w.cells.size()), "backslash-not-shown", QStringLiteral("a backslash at the line end is not shown"));
}

void addBoxFaults(const LineWalk &w)
{
    int openedAt = 0;
    bool open = false;
    for (int i = 0; i < w.cells.size(); ++i) {
        const CellTrace &c = w.cells[i];
        if (c.kind == TokenKind::Code && c.byte == '[' && c.boxOpen)
            openedAt = w.columnOf(i);
        if (c.kind == TokenKind::Code && c.byte == 'N' && open && !c.boxOpen)
            w.warn(w.columnOf(i), "box-abandoned",
                   QStringLiteral("'\\n' abandons the box opened at column %1; it has no right edge").arg(openedAt));
        open = c.boxOpen;
    }
    if (open)
        w.warn(openedAt, "box-left-open", QStringLiteral("box still open at the line end; it has no right edge"));
}

// Returns how the page ends the name that starts after cell i, and sets end to the cell that ends it.
NameEnd nameEnd(const LineWalk &w, int i, int &end)
{
    end = i + 1;
    while (end < w.cells.size() && w.cells[end].kind == TokenKind::NameByte)
        ++end;
    if (end == w.cells.size())
        return NameEnd::LineEnd;
    if (w.cells[end].kind == TokenKind::Silent)
        return NameEnd::Backslash;
    return w.cells[end].byte == ';' ? NameEnd::Semicolon : NameEnd::Blank;
}

void addNameFault(const LineWalk &w, int i, const LineNames &names)
{
    int end = 0;
    const NameEnd how = nameEnd(w, i, end);
    const QByteArray pageName = w.text.mid(i + 1, end - i - 1);
    const links::ScanEvent *scanned = names.value(w.columnOf(i));
    if (scanned && scanned->outcome != links::ScanOutcome::EmptyName) {
        if (how == NameEnd::Blank)
            w.warn(end + 1, "blank-in-link-name",
                   QStringLiteral("link name %1 holds a blank; the page ends the name here and shows the rest as text")
                       .arg(links::quotedName(scanned->name)));
        return;
    }
    const QString glyph = w.cells[i].byte == '@' ? QStringLiteral("pointer arrow") : QStringLiteral("marker dot");
    QString why = QStringLiteral("it has no name");
    if (!pageName.isEmpty() && how == NameEnd::Blank)
        why = QStringLiteral("its name %1 ends at a blank, not at ';'").arg(links::quotedName(pageName));
    else if (!pageName.isEmpty() && how == NameEnd::Backslash)
        why = QStringLiteral("its name %1 ends at a backslash, not at ';'").arg(links::quotedName(pageName));
    else if (!pageName.isEmpty() && how == NameEnd::LineEnd)
        why = QStringLiteral("its name %1 has no ';' before the line end").arg(links::quotedName(pageName));
    else if (!pageName.isEmpty())
        why = QStringLiteral("the link table reads it as part of an earlier name on the line");
    w.warn(w.columnOf(i), "glyph-without-link", QStringLiteral("%1 makes no link: %2").arg(glyph, why));
}

} // namespace

QList<Diagnostic> pageFaults(int line, const QByteArray &text, render::StyleMachine &machine, const LineNames &names)
{
    QList<Diagnostic> out;
    if (text.isEmpty())
        return out;
    const QList<CellTrace> cells = machine.traceLine(text, markup::DisplayMode::Rendered, render::kPageSize);
    const LineWalk w{line, text, cells, out};
    addPastEdge(w);
    addCodeFaults(w);
    addBoxFaults(w);
    for (int i = 0; i < cells.size(); ++i) {
        if (cells[i].kind == TokenKind::Code && (cells[i].byte == '@' || cells[i].byte == '#'))
            addNameFault(w, i, names);
    }
    return out;
}

} // namespace app
