#pragma once
// Runs a command-line mode in the test's own process and keeps what it printed.

#include "app/cli.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QtTest>

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

// Writes bytes into the file at path.
inline void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
