// Starts the editor as the program does, waits until the page has been painted
// once, then exits printing its peak memory. The benchmark times this process.

#include "procstat.h"

#include "app/mainwindow.h"
#include "app/startup.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace {

// Quits the event loop right after the first paint event of the watched widget.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool seen_ = false;
};

} // namespace

int main(int argc, char **argv)
{
    FirstPaint watch;
    app::runEditor(argc, argv, {}, [&](app::MainWindow &form) { form.helpbox()->installEventFilter(&watch); });
    bench::printPeakMemory();
    return 0;
}
