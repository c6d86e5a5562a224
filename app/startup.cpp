#include "app/startup.h"

#include "app/Unit1.h"
#include "fileio/recovery.h"

#include <QApplication>
#include <fontconfig/fontconfig.h>
#include <thread>

namespace app {

namespace {

// The system's font configuration is read the first time any text is measured:
// milliseconds of parsing before the first caption can be drawn. Reading it on
// a worker thread from the first moment overlaps it with the toolkit's own
// start; the window is shown (which measures no text yet) and then waits for
// it before any text is drawn, so that the two never read it at once.
class FontConfigReader {
public:
    FontConfigReader() : thread_([] { FcInit(); }) {}
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

} // namespace

int runEditor(int &argc, char **argv, const std::function<void(Tform1 &)> &prepare)
{
    FontConfigReader fonts;
    QApplication a(argc, argv);
    installMessageBoxReport();
    Tform1 form1;
    form1.keepRecoveryCopies(fileio::RecoveryStore());
    if (prepare)
        prepare(form1);
    form1.show();
    form1.setFocus();
    // The first text is measured when a file is opened or the window paints.
    fonts.wait();
    form1.openFromArguments(QCoreApplication::arguments());
    return a.exec();
}

} // namespace app
