#pragma once
// --check: what opening each help file would change, what its page shows
// wrongly and what is wrong with its links, as compiler-style lines (GNU) or
// as one JSON document for tools.

#include "app/cli.h"
#include "base/diagnostic.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

namespace app {

// The findings for one file.
struct FileCheck {
    QString name;                        // as given; "<stdin>" for standard input
    bool readable = true;
    QString readError;                   // why it could not be read
    QList<base::Diagnostic> diagnostics; // by line and column
    QString summary;                     // what LINK would show: "links found = 3", ...
};

// Returns the findings for the bytes of a help file read by the editor's own
// rules; throws base::HelpError when the editor would refuse them.
FileCheck checkHelpBytes(const QString &name, const QByteArray &bytes);

// Returns the status one file's findings give: 1 for an error, or for a warning
// under WarningPolicy::Fail; 2 when it could not be read; else 0.
int checkStatus(const FileCheck &check, WarningPolicy policy);

// Checks every file of the command (standard input for "-") and prints the
// findings in its format; returns the worst status.
int runCheck(const CommandLine &command, QTextStream &out, QTextStream &err);

} // namespace app
