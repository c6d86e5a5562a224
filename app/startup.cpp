#include "app/startup.h"

#include "app/mainwindow.h"
#include "app/appicon.h"
#include "app/ending.h"
#include "fileio/recovery.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <utility>

#ifdef HELPEDIT_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace app {

namespace {

// The system's font configuration is read the first time any text is measured:
// milliseconds of parsing before the first caption can be drawn. Reading it on
// a worker thread from the first moment overlaps it with the toolkit's own
// start; the window is shown (which measures no text yet) and then waits for
// it before any text is drawn, so that the two never read it at once. Built
// without fontconfig, Qt reads it on first use and the start is a little slower.
class FontConfigReader {
public:
#ifdef HELPEDIT_HAVE_FONTCONFIG
    FontConfigReader() : thread_([] { FcInit(); }) {}
#else
    FontConfigReader() = default;
#endif
    ~FontConfigReader() { wait(); }
    FontConfigReader(const FontConfigReader &) = delete;
    FontConfigReader &operator=(const FontConfigReader &) = delete;

    // Returns once the configuration has been read.
    void wait()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::thread thread_;
};

// While the application connects to the display, the toolkit's platform
// messages are held back: when no display can be opened it prints several
// lines of advice meant for developers and aborts. Instead the user gets one
// line with the reason and exit status 1; on success the held messages go on.
class DisplayWatch {
public:
    DisplayWatch() { previous_ = qInstallMessageHandler(&DisplayWatch::handle); }
    ~DisplayWatch()
    {
        qInstallMessageHandler(previous_);
        for (const auto &[type, text] : std::exchange(held_, {})) {
            if (previous_)
                previous_(type, QMessageLogContext(), text);
        }
    }
    DisplayWatch(const DisplayWatch &) = delete;
    DisplayWatch &operator=(const DisplayWatch &) = delete;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "helpedit: cannot open a display (%s); --check and --render work without one\n",
                         qPrintable(reason()));
            std::_Exit(1);
        }
        if (QByteArrayView(context.category).startsWith("qt.qpa"))
            held_.append({type, text});
        else if (previous_)
            previous_(type, context, text);
    }

    // The first thing the platform said, or that there is no display to ask for.
    static QString reason()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            return QStringLiteral("DISPLAY is not set");
        return held_.isEmpty() ? QStringLiteral("no platform plugin could start") : held_.first().second.trimmed();
    }

    static inline QtMessageHandler previous_ = nullptr;
    static inline QList<std::pair<QtMsgType, QString>> held_;
};

// Qt's own scale factor below 1 leaves every control drawn at full size and
// clipped (its painter never scales a device down): such a factor is taken
// over as the window's own scale instead, which draws everything at that size.
double takeOverSmallScaleFactor(double zoom)
{
    bool number = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&number);
    if (!number || !(factor > 0 && factor < 1))
        return zoom;
    qunsetenv("QT_SCALE_FACTOR");
    return zoom * factor;
}

} // namespace

int runEditor(int &argc, char **argv, const QString &file, const std::function<void(MainWindow &)> &prepare,
              StartFile kind, double zoom)
{
    FontConfigReader fonts;
    zoom = takeOverSmallScaleFactor(zoom);
    std::optional<DisplayWatch> watch(std::in_place);
    QApplication a(argc, argv);
    watch.reset();
    installMessageBoxReport();
    QApplication::setWindowIcon(appIcon());
    MainWindow form1;
    form1.setZoom(zoom);
    form1.keepRecoveryCopies(fileio::RecoveryStore());
    const ExitRescue rescue(form1.recoveryKeeper());
    const EndRequestWatch endRequests(form1);
    if (prepare)
        prepare(form1);
    form1.show();
    form1.setFocus();
    // The first text is measured when a file is opened or the window paints.
    fonts.wait();
    if (kind == StartFile::RecoveryCopy)
        form1.handle([&] { form1.recoverCopy(file); });
    else
        form1.openFromCommandLine(file);
    // A signal that came while a start-up error box was up has closed the window.
    if (endRequests.requested())
        return 0;
    return a.exec();
}

} // namespace app
