#pragma once
// Runs the command line in the test's own process and keeps what it printed.

#include "app/cli.h"

#include <QFile>
#include <QtTest>

struct Run {
    int status = 0;
    QString out;
    QString err;
};

// Returns the exit status and output of helpedit with args.
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

// Writes bytes into the file at path.
inline void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
