#include "app/ending.h"

#include "app/mainwindow.h"
#include "app/recoverykeeper.h"
#include "base/cp1252.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <atomic>
#include <utility>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The end of the socket pair the signal handler writes to; -1 while no watch lives.
volatile sig_atomic_t g_signalWriteEnd = -1;
// The keeper whose text an exit that bypasses the window rescues; null when none is armed.
std::atomic<RecoveryKeeper *> g_rescued{nullptr};

void setEndSignals(void (*handler)(int))
{
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int signal : kEndSignals)
        ::sigaction(signal, &sa, nullptr);
}

} // namespace

QString exitNotice(const ExitKeep &result)
{
    if (!result.copy.isEmpty())
        return QStringLiteral("helpedit: unsaved text kept in %1 (helpedit --recover opens it)")
            .arg(QDir::toNativeSeparators(result.copy));
    if (result.failure.isEmpty())
        return {};
    const QString first = base::decodeCp1252(result.firstText);
    return QStringLiteral("helpedit: unsaved text lost (%1 %2, the first with text: \"%3\"): %4")
        .arg(result.lines)
        .arg(result.lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"), first, result.failure);
}

EndRequestWatch::EndRequestWatch(MainWindow &window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
        return;
    g_signalWriteEnd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &window, [this, &window] {
        char byte;
        if (::read(fds_[1], &byte, 1) == 1)
            endNow(window);
    });
    setEndSignals(onSignal);
}

EndRequestWatch::~EndRequestWatch()
{
    // After a requested end, a late signal must not kill the process on its
    // way out: its text is kept already.
    for (const int signal : kEndSignals)
        std::signal(signal, requested_ ? SIG_IGN : SIG_DFL);
    g_signalWriteEnd = -1;
    notifier_.reset();
    for (const int fd : fds_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void EndRequestWatch::onSignal(int)
{
    const char byte = 1;
    const int fd = g_signalWriteEnd;
    if (fd >= 0)
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
}

void EndRequestWatch::endNow(MainWindow &window)
{
    if (std::exchange(requested_, true))
        return;
    // Closing keeps the unsaved text, as the close box does. A modal window
    // runs an event loop of its own inside the main one (or, for the start-up
    // error box, before it): exit() tells every running loop to stop and
    // makes any loop started later return at once.
    window.close();
    QCoreApplication::exit(0);
}

ExitRescue::ExitRescue(RecoveryKeeper *keeper)
{
    static const bool registered = std::atexit(&ExitRescue::atExit) == 0;
    if (registered)
        g_rescued = keeper;
}

ExitRescue::~ExitRescue()
{
    g_rescued = nullptr;
}

void ExitRescue::atExit()
{
    // The display may be gone: only the keeper and the file writer run here.
    RecoveryKeeper *keeper = g_rescued.exchange(nullptr);
    if (!keeper)
        return;
    const QString notice = exitNotice(keeper->keepForExit());
    if (!notice.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(notice));
}

} // namespace app
