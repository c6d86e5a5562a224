// Program entry: a command-line mode without a window, or the main window and
// the event loop until it closes.

#include "app/Unit1.h"
#include "app/cli.h"

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
    QApplication a(argc, argv);
    app::installMessageBoxReport();
    app::Tform1 form1;
    form1.show();
    form1.setFocus();
    form1.openFromArguments(QCoreApplication::arguments());
    return a.exec();
}
