#pragma once
// A full report of a document's links, for checking help files outside the
// editor: every fault, not only the first, each at the line and column of the
// pointer or marker it concerns.

#include "base/diagnostic.h"
#include "links/linktable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace links {

// The faults found, the message the link check shows, and every name the scan met.
struct LinkReport {
    // Errors for the links (to nothing, to itself, duplicate names, past the
    // 50th) and warnings for markers the table ignores; by line and column.
    QList<base::Diagnostic> faults;
    QString summary; // "links found = N", "no links found", ...
    QList<ScanEvent> names;
};

// Scans and checks lines firstLine..lastLine; returns every fault and the summary.
LinkReport diagnoseLinks(int firstLine, int lastLine, const std::function<QByteArray(int)> &lineText);

// Returns a link name quoted for a message: 'name', control codes escaped.
QString quotedName(const QByteArray &name);

} // namespace links
