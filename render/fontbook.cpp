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

const QRawFont &FontFace::rawFont()
{
    if (!raw_.isValid())
        raw_ = QRawFont::fromFont(font);
    return raw_;
}

const GlyphInfo &FontFace::glyph(uint8_t byte)
{
    GlyphInfo &g = glyphs_[byte];
    if (g.kind != GlyphInfo::Kind::Unknown)
        return g;
    // Only a character the face's own font has, and that the text path would
    // draw as that one glyph, goes to the glyph cache; controls, format
    // characters and characters from fallback fonts keep the text path.
    const QChar c = base::cp1252ToUnicode(byte);
    const QRawFont &raw = rawFont();
    const auto category = c.category();
    const bool special = category == QChar::Other_Control || category == QChar::Other_Format
        || category == QChar::Other_NotAssigned || c.isSurrogate();
    const QList<quint32> indexes = raw.glyphIndexesForString(QString(c));
    if (special || indexes.size() != 1 || indexes.first() == 0 || !raw.supportsCharacter(c)) {
        g.kind = GlyphInfo::Kind::TextOnly;
        return g;
    }
    g.index = indexes.first();
    const QRectF box = raw.boundingRect(g.index);
    g.kind = box.isEmpty() ? GlyphInfo::Kind::Blank : GlyphInfo::Kind::Glyph;
    // Antialiasing and hinting may reach a pixel past the outline's box.
    g.ink = box.toAlignedRect().adjusted(-2, -2, 2, 2);
    return g;
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
// below it when no size hits it exactly. Cell heights grow with the size, so
// the search walks down from the cell height and back up to the last size that
// still fits, loading a handful of sizes instead of every one.
int pixelSizeForCell(const QString &family, int cellHeight, bool bold, bool italic)
{
    const auto heightAt = [&](int size) {
        QFont f = baseFont(family, bold, italic);
        f.setPixelSize(size);
        return QFontMetrics(f).height();
    };
    int size = cellHeight;
    while (size > 1 && heightAt(size) > cellHeight)
        --size;
    while (size < cellHeight * 2 && heightAt(size + 1) <= cellHeight)
        ++size;
    return size;
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
