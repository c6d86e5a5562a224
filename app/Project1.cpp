// Program entry: a command-line mode without a window, or the main window and
// the event loop until it closes.

#include "app/cli.h"
#include "app/startup.h"

#include <QApplication>
#include <QTextStream>

namespace {
// The command-line modes speak through their own output only; the toolkit's
// chatter about the headless platform would get in the way of scripts.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        fprintf(stderr, "%s\n", qPrintable(msg));
}
} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (app::cliMode(args) != app::CliMode::Window) {
        // The command-line modes draw off screen only: no display needed.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietMessages);
        QGuiApplication a(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return app::runCli(args, out, err);
    }
    return app::runEditor(argc, argv);
}
