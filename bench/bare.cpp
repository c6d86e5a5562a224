// A bare Qt widget program: one 800 x 800 widget that paints itself once and
// exits, printing its peak memory. The yardstick for the editor's start-up.

#include "procstat.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

class Page : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0xFF, 0xFF, 0xF0));
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication a(argc, argv);
    Page page;
    page.resize(800, 800);
    page.show();
    a.exec();
    bench::printPeakMemory();
    return 0;
}
