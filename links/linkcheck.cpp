#include "links/linkcheck.h"

#include "base/cp1252.h"

#include <QHash>

namespace links {

using base::Diagnostic;
using base::Severity;

namespace {

Diagnostic fault(const ScanEvent &e, Severity severity, const char *code, const QString &message)
{
    return {e.line, e.start, severity, QString::fromLatin1(code), message};
}

// Names the scan could not use: markers it ignored, names past the 50th link.
void addIgnored(const QList<ScanEvent> &names, QList<Diagnostic> &out)
{
    QHash<QByteArray, int> firstPointerLine;
    for (const ScanEvent &e : names) {
        if (e.pointer && e.outcome != ScanOutcome::EmptyName && !firstPointerLine.contains(e.name))
            firstPointerLine.insert(e.name, e.line);
    }
    for (const ScanEvent &e : names) {
        const QString kind = e.pointer ? QStringLiteral("pointer") : QStringLiteral("marker");
        if (e.outcome == ScanOutcome::TableFull) {
            out.append(fault(e, Severity::Error, "past-fiftieth-link",
                             QStringLiteral("%1 %2 past the 50th link is ignored").arg(kind, quotedName(e.name))));
        } else if (e.outcome == ScanOutcome::NoPointer && firstPointerLine.contains(e.name)) {
            out.append(fault(e, Severity::Warning, "marker-before-pointer",
                             QStringLiteral("marker %1 comes before the first pointer of its name (line %2); the link table ignores it")
                                 .arg(quotedName(e.name))
                                 .arg(firstPointerLine.value(e.name))));
        } else if (e.outcome == ScanOutcome::NoPointer) {
            out.append(fault(e, Severity::Warning, "marker-without-pointer",
                             QStringLiteral("no pointer names marker %1").arg(quotedName(e.name))));
        }
    }
}

// Pointers that lead nowhere useful. Every pointer of a name used more than once
// is a duplicate; only the first of them can ever get a marker, so only it is
// also checked for where it leads.
void addEntryFaults(const LinkTable &table, const QList<const ScanEvent *> &pointers, QList<Diagnostic> &out)
{
    QHash<QByteArray, QList<int>> linesOf;
    for (const ScanEvent *p : pointers)
        linesOf[p->name].append(p->line);
    QHash<QByteArray, int> seen;
    for (int i = 1; i <= table.linkCount(); ++i) {
        const Link &e = table.entry(i);
        const ScanEvent &p = *pointers[i - 1];
        const QList<int> &lines = linesOf[e.name];
        const bool first = seen[e.name]++ == 0;
        if (lines.size() > 1) {
            out.append(fault(p, Severity::Error, "duplicate-link-name",
                             QStringLiteral("duplicate link name %1 (also on line %2)")
                                 .arg(quotedName(e.name))
                                 .arg(first ? lines[1] : lines[0])));
        }
        if (!first)
            continue;
        const LinkFault linkAlone = linkFault(e);
        if (linkAlone == LinkFault::ToItself)
            out.append(fault(p, Severity::Error, "link-to-itself",
                             QStringLiteral("link %1 points to itself").arg(quotedName(e.name))));
        else if (linkAlone == LinkFault::ToNothing)
            out.append(fault(p, Severity::Error, "link-to-nothing",
                             QStringLiteral("link %1 points to nothing").arg(quotedName(e.name))));
    }
}

} // namespace

QString quotedName(const QByteArray &name)
{
    return QLatin1Char('\'') + base::printableCp1252(name) + QLatin1Char('\'');
}

LinkReport diagnoseLinks(int firstLine, int lastLine, const std::function<QByteArray(int)> &lineText)
{
    LinkReport report;
    ScanSource src;
    src.firstLine = firstLine;
    src.lastLine = lastLine;
    src.lineText = lineText;
    // Positions play no part in the report.
    src.columnX = [](int, int) { return 0; };
    src.observe = [&report](const ScanEvent &e) { report.names.append(e); };
    LinkTable table;
    report.summary = table.buildLinkTable(src);
    // The taken pointers, in the order of the table's entries.
    QList<const ScanEvent *> pointers;
    for (const ScanEvent &e : report.names) {
        if (e.pointer && e.outcome == ScanOutcome::Taken)
            pointers.append(&e);
    }
    addEntryFaults(table, pointers, report.faults);
    addIgnored(report.names, report.faults);
    base::sortByPlace(report.faults);
    return report;
}

} // namespace links
