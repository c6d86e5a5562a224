// Build tool: draws the program's SVG icon as PNG files of the desktop
// theme's fixed sizes. Usage: makeicons ICON.svg OUTDIR SIZE...; writes
// OUTDIR/SIZE/helpedit.png for each SIZE. Exit status 1 with one line on
// standard error when the drawing or a file fails.

#include "render/iconpainter.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: makeicons ICON.svg OUTDIR SIZE...\n");
        return 1;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "makeicons: %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    const QByteArray svg = file.readAll();
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        QString error;
        const QImage image = render::paintIconSvg(svg, size, &error);
        const QString path = out.filePath(QStringLiteral("%1/helpedit.png").arg(size));
        if (image.isNull() || size <= 0) {
            std::fprintf(stderr, "makeicons: %s at %s pixels: %s\n", argv[1], argv[i], qPrintable(error));
            return 1;
        }
        if (!out.mkpath(QString::number(size)) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "makeicons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
