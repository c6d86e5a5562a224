// Fuzz target for the link scanner and check: random documents of up to 1000
// lines, measured by the real style machine. The table keeps its shape (at
// most 50 links in reading order, empty entries all zero, markers after their
// pointers) and the check answers with one of its five messages.

#include "fuzzstyles.h"
#include "links/linktable.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

using links::Link;

namespace {

constexpr int kMaxLines = 1000;
constexpr int kLineCells = 120;

// Splits the input at LF into at most 1000 lines of at most 120 cells, as the grid holds them.
QList<QByteArray> documentOf(const uint8_t *data, size_t size)
{
    QList<QByteArray> lines = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    if (lines.size() > kMaxLines)
        lines.resize(kMaxLines);
    for (QByteArray &line : lines)
        line.truncate(kLineCells);
    return lines;
}

bool isEmptyEntry(const Link &e)
{
    return e.name.isEmpty() && e.pointerX == 0 && e.markerX == 0 && e.pointerLine == 0 && e.markerLine == 0;
}

void requireUsedEntry(const links::LinkTable &table, int i, int lineCount, markup::DisplayMode mode)
{
    // Rendered, the glyph stands past the start x 5 of the line; in source
    // mode the positions are those of the raw text and only keep their order.
    const bool rendered = mode == markup::DisplayMode::Rendered;
    const Link &e = table.entry(i);
    fuzz::require(e.pointerLine >= 1 && e.pointerLine <= lineCount, "pointer line outside the document");
    fuzz::require(!e.name.isEmpty() && e.name.size() <= kLineCells - 3, "name empty or longer than a line allows");
    fuzz::require(!e.name.contains(';') && !e.name.contains('\\'), "name holds its terminator");
    fuzz::require(!rendered || e.pointerX >= 5, "pointer glyph left of the line start");
    fuzz::require(table.findLink(e.name).second <= i, "a name's first entry comes after it");
    if (i > 1)
        fuzz::require(table.entry(i - 1).pointerLine <= e.pointerLine, "entries out of reading order");
    if (e.markerLine == 0) {
        fuzz::require(e.markerX == 0, "unmatched marker with an x");
        return;
    }
    fuzz::require(e.markerLine >= e.pointerLine && e.markerLine <= lineCount, "marker before its pointer");
    fuzz::require(!rendered || e.markerX >= 5, "marker glyph left of the line start");
    if (e.markerLine == e.pointerLine)
        fuzz::require(e.markerX >= e.pointerX + (rendered ? render::kGlyphWidth : 1), "marker left of its pointer on one line");
}

void requireMessageFitsTable(const QString &msg, const links::LinkTable &table)
{
    static const QRegularExpression form(QStringLiteral(
        "^(links found = ([1-9]|[1-4][0-9]|50)|no links found|line ([1-9][0-9]*) points to (itself|nothing)"
        "|duplicate link names)$"));
    const QRegularExpressionMatch m = form.match(msg);
    fuzz::require(m.hasMatch(), "check message of no known form");
    fuzz::require((table.linkCount() == 0) == (msg == QStringLiteral("no links found")), "count message wrong");
    if (!m.captured(2).isEmpty())
        fuzz::require(m.captured(2).toInt() == table.linkCount(), "count message differs from linkCount");
    if (!m.captured(3).isEmpty()) {
        const int line = m.captured(3).toInt();
        bool named = false;
        for (int i = 1; i <= table.linkCount(); ++i)
            named = named || table.entry(i).pointerLine == line;
        fuzz::require(named, "check names a line without a pointer");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::styleMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> lines = documentOf(data, size);
    const int lineCount = int(lines.size());
    for (const markup::DisplayMode mode : {markup::DisplayMode::Rendered, markup::DisplayMode::Source}) {
        links::ScanSource src;
        src.firstLine = 1;
        src.lastLine = lineCount;
        src.lineText = [&](int line) { return lines.at(line - 1); };
        src.columnX = [&](int column, int line) { return fuzz::styleMachine().columnX(column, lines.at(line - 1), mode); };
        links::LinkTable table;
        table.clearLinkTable();
        const QString msg = table.buildLinkTable(src);

        fuzz::require(table.linkCount() >= 0 && table.linkCount() <= links::kMaxLinks, "linkCount outside 0..50");
        for (int i = 1; i <= table.linkCount(); ++i)
            requireUsedEntry(table, i, lineCount, mode);
        for (int i = table.linkCount() + 1; i <= links::kMaxLinks; ++i)
            fuzz::require(isEmptyEntry(table.entry(i)), "entry after linkCount not empty");
        requireMessageFitsTable(msg, table);
    }
    return 0;
}
