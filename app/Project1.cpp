// Program entry: the main window, then the event loop until it closes.

#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication a(argc, argv);
    app::installMessageBoxReport();
    app::Tform1 form1;
    form1.show();
    form1.setFocus();
    form1.openFromArguments(QCoreApplication::arguments());
    return a.exec();
}
