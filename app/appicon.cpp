#include "app/appicon.h"

#include "render/iconpainter.h"

#include <QFile>
#include <QPixmap>

namespace app {

QIcon appIcon()
{
    QFile file(QStringLiteral(":/helpedit.svg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray svg = file.readAll();
    QIcon icon;
    // Window managers and task bars pick the nearest of these.
    for (const int size : {16, 32, 48, 64}) {
        const QImage image = render::paintIconSvg(svg, size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace app
