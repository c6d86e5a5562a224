#pragma once
// Runs a command-line mode in the test's own process and keeps what it printed.

#include "app/cli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

struct Run {
    int status = 0;
    QString out;
    QString err;
};

// Returns the status and output of the program run with args (without its name).
inline Run cli(const QStringList &args)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = app::runCli(QStringList{"helpedit"} + args, out, err);
    out.flush();
    err.flush();
    return r;
}
