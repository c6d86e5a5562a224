#pragma once
// Child processes of the end-to-end tests: tied to the test's life, and ended
// politely first, then for good.

#include <QProcess>
#include <QString>
#include <sys/prctl.h>
#include <csignal>

// Makes the child die with the test, even when the test is killed.
inline void tieToTest(QProcess &p)
{
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// Ends the child: SIGTERM, then SIGKILL when it has not gone within three seconds.
inline void stop(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

// Starts Xvfb with one screen of size (e.g. "1280x1024") on a display it picks
// itself; returns the display name (":N"), empty when it cannot start.
inline QString startXServer(QProcess &xvfb, const QString &size = QStringLiteral("1280x1024"))
{
    tieToTest(xvfb);
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), size + QStringLiteral("x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp")});
    if (!xvfb.waitForStarted(5000))
        return {};
    QByteArray out;
    while (!out.contains('\n') && xvfb.waitForReadyRead(10000))
        out += xvfb.readAllStandardOutput();
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    return ok ? QStringLiteral(":%1").arg(number) : QString();
}
