#include "render/fontbook.h"

#include "base/cp1252.h"

#include <map>
#include <tuple>

namespace render {

FontFace::FontFace(const QFont &f) : font(f), metrics(f)
{
    ascent = metrics.ascent();
    cellHeight = metrics.height();
    widths.fill(-1);
}

int FontFace::textWidth(uint8_t byte)
{
    int &w = widths[byte];
    if (w < 0)
        w = metrics.horizontalAdvance(base::cp1252ToUnicode(byte));
    return w;
}

namespace {

QFont baseFont(const QString &family, bool bold, bool italic)
{
    QFont f(family);
    f.setBold(bold);
    f.setItalic(italic);
    f.setKerning(false);
    f.setStyleStrategy(QFont::PreferDefault);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// The largest pixel size whose cell height equals the wanted one; the largest
// below it when no size hits it exactly.
int pixelSizeForCell(const QString &family, int cellHeight, bool bold, bool italic)
{
    int exact = 0;
    int below = 1;
    for (int size = 1; size <= cellHeight * 2; ++size) {
        QFont f = baseFont(family, bold, italic);
        f.setPixelSize(size);
        const int h = QFontMetrics(f).height();
        if (h == cellHeight)
            exact = size;
        else if (h < cellHeight)
            below = size;
        else if (exact != 0)
            break;
    }
    return exact != 0 ? exact : below;
}

} // namespace

FontFace &fontFace(const QString &family, int cellHeight, bool bold, bool italic)
{
    using Key = std::tuple<QString, int, bool, bool>;
    static std::map<Key, std::unique_ptr<FontFace>> faces;
    const Key key{family, cellHeight, bold, italic};
    auto it = faces.find(key);
    if (it == faces.end()) {
        QFont f = baseFont(family, bold, italic);
        f.setPixelSize(pixelSizeForCell(family, cellHeight, bold, italic));
        it = faces.emplace(key, std::make_unique<FontFace>(f)).first;
    }
    return *it->second;
}

QFont captionFont(const QString &family, int height, bool bold)
{
    QFont f(family);
    f.setPixelSize(height);
    f.setBold(bold);
    return f;
}

} // namespace render
