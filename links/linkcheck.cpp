#include "links/linkcheck.h"

#include "base/cp1252.h"
#include "links/linktable.h"

#include <QMap>
#include <algorithm>

namespace links {

namespace {

QString quoted(const QByteArray &name)
{
    return QLatin1Char('"') + base::decodeCp1252(name) + QLatin1Char('"');
}

// What the scanner ignored: markers without a pointer, names past the 50th link.
void addIgnored(const ScanEvent &e, QList<Diagnostic> &out)
{
    const QString kind = e.pointer ? QStringLiteral("pointer") : QStringLiteral("marker");
    if (e.outcome == ScanOutcome::NoPointer)
        out.append({e.line, QStringLiteral("marker %1 has no earlier pointer").arg(quoted(e.name))});
    else if (e.outcome == ScanOutcome::TableFull)
        out.append({e.line, QStringLiteral("%1 %2 past the 50th link is ignored").arg(kind, quoted(e.name))});
}

// Pointers that lead nowhere useful, and names taken by more than one pointer.
void addEntryFaults(const LinkTable &table, QList<Diagnostic> &out)
{
    QMap<QByteArray, int> uses;
    for (int i = 1; i <= table.linkCount(); ++i)
        ++uses[table.entry(i).name];
    for (int i = 1; i <= table.linkCount(); ++i) {
        const TLinklist &e = table.entry(i);
        if (e.markerLine == e.pointerLine)
            out.append({e.pointerLine, QStringLiteral("link %1 points to itself").arg(quoted(e.name))});
        else if (e.markerLine == 0)
            out.append({e.pointerLine, QStringLiteral("link %1 points to nothing").arg(quoted(e.name))});
        if (uses.value(e.name) > 1)
            out.append({e.pointerLine, QStringLiteral("duplicate link name %1").arg(quoted(e.name))});
    }
}

} // namespace

LinkReport diagnoseLinks(int firstLine, int lastLine, const std::function<QByteArray(int)> &lineText)
{
    QList<Diagnostic> ignored;
    ScanSource src;
    src.firstLine = firstLine;
    src.lastLine = lastLine;
    src.lineText = lineText;
    // Positions play no part in the report.
    src.columnX = [](int, int) { return 0; };
    src.observe = [&ignored](const ScanEvent &e) { addIgnored(e, ignored); };
    LinkTable table;
    LinkReport report;
    report.summary = table.buildLinkTable(src);
    addEntryFaults(table, report.faults);
    report.faults.append(ignored);
    std::stable_sort(report.faults.begin(), report.faults.end(),
                     [](const Diagnostic &a, const Diagnostic &b) { return a.line < b.line; });
    return report;
}

} // namespace links
