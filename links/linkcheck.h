#pragma once
// A full report of a document's links, for checking help files outside the
// editor: every fault, not only the first, each with the line it stands on.

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace links {

// One fault, at a document line.
struct Diagnostic {
    int line = 0;
    QString message;
};

// The faults found and the message the link check shows for the document.
struct LinkReport {
    QList<Diagnostic> faults; // ordered by line
    QString summary;          // "links found = N", "no links found", ...
};

// Scans and checks lines firstLine..lastLine; returns every fault and the summary.
LinkReport diagnoseLinks(int firstLine, int lastLine, const std::function<QByteArray(int)> &lineText);

} // namespace links
