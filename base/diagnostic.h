#pragma once
// One finding about a help file, located as compilers locate theirs: the line
// and the 1-based byte column where it starts, how serious it is, a stable
// code for tools and a message for people.

#include <QList>
#include <QString>
#include <algorithm>

namespace base {

// Whether a finding is a fault in the file's links or a warning about what the page shows.
enum class Severity { Warning, Error };

struct Diagnostic {
    int line = 0;
    int column = 1;
    Severity severity = Severity::Warning;
    QString code;    // e.g. "link-to-nothing"
    QString message; // one line, without the severity word
};

// Sorts findings by line, then column, keeping the order of equal places.
inline void sortByPlace(QList<Diagnostic> &list)
{
    std::stable_sort(list.begin(), list.end(), [](const Diagnostic &a, const Diagnostic &b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
}

} // namespace base
