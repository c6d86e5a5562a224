// Program entry: a command-line mode without a window, or the main window and
// the event loop until it closes.

#include "app/cli.h"
#include "app/startup.h"
#include "fileio/recovery.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {
// The command-line modes speak through their own output only; the toolkit's
// chatter about the headless platform would get in the way of scripts.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        fprintf(stderr, "%s\n", qPrintable(msg));
}

// A script must not take output that never arrived (a full disk, a closed
// pipe) for success: a failed write to standard output makes the status 2.
int checkedStatus(int status, QTextStream &out)
{
    out.flush();
    if (out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    const QString cause = out.device() ? out.device()->errorString() : QString();
    std::fprintf(stderr, "helpedit: cannot write to standard output: %s\n",
                 qPrintable(cause.isEmpty() ? QStringLiteral("write error") : cause));
    return 2;
}
// Opens the recovery copy given, or the newest, in the window.
int recover(int &argc, char **argv, QString copy, double zoom)
{
    const fileio::RecoveryStore store;
    if (copy.isEmpty())
        copy = store.newest();
    if (copy.isEmpty()) {
        std::fprintf(stderr, "helpedit: no recovery copies in %s\n", qPrintable(store.folder()));
        return 1;
    }
    return app::runEditor(argc, argv, copy, {}, app::StartFile::RecoveryCopy, zoom);
}
} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const app::CommandLine command = app::parseCommandLine(args);
    if (command.mode == app::CliMode::Window)
        return app::runEditor(argc, argv, command.files.value(0), {}, app::StartFile::Document, command.zoom);
    if (command.mode == app::CliMode::Recover)
        return recover(argc, argv, command.files.value(0), command.zoom);
    // The command-line modes draw off screen only: no display needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    QGuiApplication a(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = app::runCli(command, out, err);
    err.flush();
    return checkedStatus(status, out);
}
