#pragma once
// How the editor ends when its close box is not what ends it: a request by a
// signal (a logout, `kill`, Ctrl+C), whatever modal window is up, and the
// display connection breaking, when the toolkit ends the process on its own.
// Either way the unsaved text goes to a recovery copy first.

#include <QString>

#include <memory>

class QSocketNotifier;

namespace app {

class RecoveryKeeper;
class MainWindow;
struct ExitKeep;

// Returns the one line standard error gets about unsaved text at an exit that
// bypassed the window: where it was kept, or what was lost and why; empty when
// nothing was unsaved.
QString exitNotice(const ExitKeep &result);

// While it lives, SIGTERM, SIGHUP and SIGINT end the editor as its close box
// does, also with a message box, a file dialog or the help viewer up: the
// window closes (keeping unsaved text) and every running event loop, nested
// ones too, is left. The signal handler only writes a byte; the event loop
// does the rest. Once an end is under way, further signals change nothing.
class EndRequestWatch {
public:
    explicit EndRequestWatch(MainWindow &window);
    ~EndRequestWatch();
    EndRequestWatch(const EndRequestWatch &) = delete;
    EndRequestWatch &operator=(const EndRequestWatch &) = delete;

    // Returns whether an end was requested: an event loop started after it
    // would never be told to stop, so the caller must not start one.
    bool requested() const { return requested_; }

private:
    static void onSignal(int);
    void endNow(MainWindow &window);

    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    bool requested_ = false;
};

// While it lives, an exit() that bypasses the window (Qt's X11 platform calls
// it when the display connection breaks) first writes keeper's unsaved text to
// its recovery copy, with the file writer alone, and says on standard error
// where it went or what was lost. At most one rescue is armed at a time.
class ExitRescue {
public:
    explicit ExitRescue(RecoveryKeeper *keeper);
    ~ExitRescue();
    ExitRescue(const ExitRescue &) = delete;
    ExitRescue &operator=(const ExitRescue &) = delete;

private:
    static void atExit();
};

} // namespace app
