#include "render/fontbook.h"

#include "base/cp1252.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
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
    // draw as that one glyph, is blended from its coverage; controls, format
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
    captureCoverage(g, indexes.first());
    return g;
}

namespace {

// Returns the box of the non-black pixels of image; gray is cleared when one
// of them has channels that differ.
QRect inkBox(const QImage &image, bool &gray)
{
    QRect ink;
    gray = true;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = row[x];
            if (qRed(px) == 0 && qGreen(px) == 0 && qBlue(px) == 0)
                continue;
            gray = gray && qRed(px) == qGreen(px) && qGreen(px) == qBlue(px);
            ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

} // namespace

QImage FontFace::glyphOnBlack(quint32 index, QPoint origin, QSize size)
{
    QImage scratch(size, QImage::Format_RGB32);
    scratch.fill(Qt::black);
    QGlyphRun run;
    run.setRawFont(rawFont());
    run.setGlyphIndexes({index});
    run.setPositions({QPointF(origin)});
    QPainter p(&scratch);
    p.setPen(Qt::white);
    p.drawGlyphRun(QPointF(0, 0), run);
    return scratch;
}

void FontFace::captureCoverage(GlyphInfo &g, quint32 index)
{
    // Qt draws an opaque white glyph on opaque black with each channel equal
    // to the coverage, so one drawing at a whole-pixel position gives the
    // glyph exactly as every later drawing would blend it.
    const QRect box = rawFont().boundingRect(index).toAlignedRect();
    constexpr int kMargin = 8;
    const QPoint origin(kMargin - box.left(), kMargin - box.top());
    const QImage scratch = glyphOnBlack(index, origin, box.size() + QSize(2 * kMargin, 2 * kMargin));
    bool gray = true;
    const QRect ink = inkBox(scratch, gray);
    // Ink on the scratch's edge may have been cut off, and coloured edges mean
    // subpixel antialiasing that one coverage per pixel cannot carry: such a
    // glyph keeps the text path.
    if (ink.isEmpty()) {
        g.kind = GlyphInfo::Kind::Blank;
        return;
    }
    if (!gray || ink.left() == 0 || ink.top() == 0 || ink.right() == scratch.width() - 1
        || ink.bottom() == scratch.height() - 1) {
        g.kind = GlyphInfo::Kind::TextOnly;
        return;
    }
    g.coverage.reserve(size_t(ink.width()) * size_t(ink.height()));
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(scratch.constScanLine(y));
        for (int x = ink.left(); x <= ink.right(); ++x)
            g.coverage.push_back(uint8_t(qRed(row[x])));
    }
    g.ink = ink.translated(-origin);
    g.kind = GlyphInfo::Kind::Glyph;
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
// the search walks down while the cell is too high and up while the next size
// still fits. Each look loads the font at one more size, so the walk starts
// where the usual faces land: their cells are about 1.135 times their pixel
// size, which makes it two looks for them; any other face still ends right.
int pixelSizeForCell(const QString &family, int cellHeight, bool bold, bool italic)
{
    const auto heightAt = [&](int size) {
        QFont f = baseFont(family, bold, italic);
        f.setPixelSize(size);
        return QFontMetrics(f).height();
    };
    int size = std::max(1, int(std::lround(cellHeight / 1.135)));
    while (size > 1 && heightAt(size) > cellHeight)
        --size;
    while (size < cellHeight * 2 && heightAt(size + 1) <= cellHeight)
        ++size;
    return size;
}

} // namespace

FontFace &fontFace(const QString &family, int cellHeight, bool bold, bool italic, double ratio)
{
    using Key = std::tuple<QString, int, bool, bool, double>;
    static std::map<Key, std::unique_ptr<FontFace>> faces;
    const Key key{family, cellHeight, bold, italic, ratio};
    auto it = faces.find(key);
    if (it == faces.end()) {
        QFont f = baseFont(family, bold, italic);
        if (ratio == 1.0) {
            f.setPixelSize(pixelSizeForCell(family, cellHeight, bold, italic));
        } else {
            // The device face is the page's face at the scaled pixel size, so
            // text keeps its proportions; the layout keeps the page face's widths.
            const int size = fontFace(family, cellHeight, bold, italic).font.pixelSize();
            f.setPixelSize(std::max(1, int(std::lround(size * ratio))));
        }
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
