// Sections: CSS values (colours, fonts, 64ths of a pixel) · DesignAdvances (the
// browser's text advances) · CharStyle and StyleSheet (the page's classes) ·
// RowWriter (one row from the drawing walk: characters, glyphs and links, box
// lines) · TextCollector · the page itself (HtmlPageWriter).

#include "publish/htmlpage.h"

#include "base/cp1252.h"
#include "render/pagegeometry.h"
#include "publish/weblinks.h"
#include "render/colors.h"
#include "render/glyphs.h"

#include <QBuffer>
#include <QHash>
#include <QRawFont>
#include <QtEndian>

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace publish {

namespace {

// Returns n in decimal.
QByteArray number(int n)
{
    return QByteArray::number(n);
}

// Returns the CSS colour of a 0xBBGGRR value.
QByteArray cssColor(uint32_t bgr)
{
    return '#' + QByteArray::number(render::toRgb(bgr) & 0xFFFFFF, 16).rightJustified(6, '0');
}

// Returns the image as a PNG inside a data: URI.
QByteArray pngDataUri(const QImage &image)
{
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    return "data:image/png;base64," + png.data().toBase64();
}

// The fonts the page asks for, with the faces that stand in for them.
QByteArray cssFamily(const QString &family)
{
    if (family == QLatin1String("courier new"))
        return "\"Courier New\",\"Liberation Mono\",Cousine,Courier,monospace";
    return "Arial,\"Liberation Sans\",Arimo,Helvetica,sans-serif";
}

// Appends bytes to a page being written.
void put(std::string &out, const QByteArray &bytes)
{
    out.append(bytes.constData(), size_t(bytes.size()));
}

// Browsers place text in 64ths of a pixel.
constexpr int kSteps = 64;

// Returns the room a browser gives a run of text px wide, in 64ths of a pixel:
// it rounds a text's width up to the next step.
int toSteps(double px)
{
    return int(std::ceil(px * kSteps - 1e-6));
}

// Returns a length of steps 64ths of a pixel in CSS.
QByteArray pixels(int steps)
{
    return QByteArray::number(double(steps) / kSteps, 'g', 8) + "px";
}

// The advances browsers give the characters of a face: they lay text out with
// the font's design advances at its pixel size, which Qt rounds even in its
// design metrics, so they are read from the font's own metrics table.
class DesignAdvances {
public:
    // Returns the advance of byte in face, in pixels; the renderer's text width
    // when the face's font lacks the character (a browser then takes another font).
    double of(const render::FontFace &face, int textWidth, uint8_t byte)
    {
        auto found = faces_.find(&face);
        if (found == faces_.end())
            found = faces_.insert(&face, Face(face.font));
        double &advance = found->advances[byte];
        if (advance < 0)
            advance = found->advanceOf(base::cp1252ToUnicode(byte)).value_or(textWidth);
        return advance;
    }

private:
    struct Face {
        explicit Face(const QFont &font) : raw(QRawFont::fromFont(font))
        {
            advances.fill(-1);
            const QByteArray hhea = raw.fontTable("hhea");
            const QByteArray hmtx = raw.fontTable("hmtx");
            // hhea holds the number of advances at byte 34; hmtx 4 bytes per glyph, the advance first.
            const int count = hhea.size() >= 36 ? qFromBigEndian<quint16>(hhea.constData() + 34) : 0;
            for (int i = 0; i < count && 4 * i + 2 <= hmtx.size(); ++i)
                units.append(qFromBigEndian<quint16>(hmtx.constData() + 4 * i));
        }

        std::optional<double> advanceOf(QChar c) const
        {
            const QList<quint32> glyphs = raw.glyphIndexesForString(QString(c));
            if (glyphs.size() != 1 || glyphs[0] == 0 || units.isEmpty() || raw.unitsPerEm() <= 0)
                return std::nullopt;
            // Glyphs past the last advance share it.
            const quint16 u = units[std::min<qsizetype>(glyphs[0], units.size() - 1)];
            return u * raw.pixelSize() / raw.unitsPerEm();
        }

        QRawFont raw;
        QList<quint16> units;
        std::array<double, 256> advances;
    };
    QHash<const render::FontFace *, Face> faces_;
};

// What a character's look depends on, apart from its width.
struct CharStyle {
    bool courier = false;
    int pixelSize = 0;
    int cellHeight = 0;
    int top = 0;
    bool bold = false;
    bool italic = false;
    uint32_t color = 0;
    std::optional<uint32_t> background;

    static CharStyle of(const render::DrawnChar &c)
    {
        return {c.family == QLatin1String("courier new"), c.pixelSize, c.cellHeight, c.top, c.bold, c.italic, c.color,
                c.background};
    }
    friend bool operator==(const CharStyle &, const CharStyle &) = default;
    auto key() const
    {
        return std::tuple(courier, pixelSize, cellHeight, top, bold, italic, color, background.value_or(0x1000000));
    }

    // The CSS declarations: the font by its em size on a line as high as its
    // cell, so that the baseline falls where the renderer puts it.
    QByteArray css() const
    {
        QByteArray d = "font:";
        if (italic)
            d += "italic ";
        if (bold)
            d += "bold ";
        d += number(pixelSize) + "px/" + number(cellHeight) + "px "
            + cssFamily(courier ? QStringLiteral("courier new") : QStringLiteral("arial")) + ";color:" + cssColor(color);
        if (background)
            d += ";background:" + cssColor(*background);
        // Raised to the row's top, then moved down by the style's offset.
        if (top != 0)
            d += ";position:relative;top:" + number(top) + "px";
        return d;
    }
};

// The classes one page gives its characters: one for each style and right
// margin met, made when first needed and then kept for each byte of the style,
// so that a character costs one look-up in a table.
class StyleSheet {
public:
    // Returns the class of a character: its style, and the right margin that
    // makes the browser's advance up to the renderer's.
    const std::string &charClass(const render::DrawnChar &c)
    {
        const CharStyle style = CharStyle::of(c);
        if (!(style == last_)) {
            last_ = style;
            auto found = index_.find(style.key());
            if (found == index_.end()) {
                found = index_.emplace(style.key(), int(styles_.size())).first;
                styles_.push_back({style.css(), {}});
            }
            current_ = found->second;
        }
        Style &s = styles_[size_t(current_)];
        if (!s.byByte[c.byte]) {
            const int margin = c.advance * kSteps - toSteps(advances_.of(*c.face, c.width, c.byte));
            auto cls = classes_.find({current_, margin});
            if (cls == classes_.end()) {
                cls = classes_.emplace(std::pair(current_, margin), 's' + std::to_string(classes_.size())).first;
                rules_.append('.').append(cls->second.c_str()).append('{').append(s.css).append(";margin-right:");
                rules_.append(pixels(margin)).append("}\n");
            }
            s.byByte[c.byte] = &cls->second;
        }
        return *s.byByte[c.byte];
    }
    // Returns the rules of every class handed out.
    const QByteArray &rules() const { return rules_; }

private:
    struct Style {
        QByteArray css;
        std::array<const std::string *, 256> byByte;
    };
    using Key = decltype(CharStyle().key());
    std::map<Key, int> index_;
    std::vector<Style> styles_;
    // Node-based, so that the class names stay where byByte points.
    std::map<std::pair<int, int>, std::string> classes_;
    DesignAdvances advances_;
    CharStyle last_{false, -1, 0, 0, false, false, 0, std::nullopt};
    int current_ = 0;
    QByteArray rules_;
};

// Writes one row: characters, glyphs and box lines as the renderer's walk
// tells them, left to right in the page's own flow.
class RowWriter : public render::DrawListener {
public:
    RowWriter(std::string &out, StyleSheet &sheet, const WebLinks &links, int line, const QHash<int, QString> &targetTexts)
        : out_(out), sheet_(sheet), links_(links), line_(line), targetTexts_(targetTexts)
    {
    }

    void start(const QByteArray &text) { glyphColumns_ = glyphColumns(text); }

    // A character is text in the flow: its margin makes up the difference
    // between the browser's advance and the renderer's, so that the next one
    // starts where the renderer puts it.
    void character(const render::DrawnChar &c) override
    {
        // Appended piece by piece: a page holds up to 120,000 of these.
        out_ += "<span class=\"";
        out_ += sheet_.charClass(c);
        out_ += '"';
        moveTo(c.x);
        out_ += '>';
        put(out_, htmlCharacter(c.byte));
        out_ += "</span>";
        flow_ = (c.x + c.advance) * kSteps;
    }

    void linkGlyph(render::LinkGlyph kind, int x, int) override
    {
        const GlyphPlace place{line_, glyphColumns_.value(glyphIndex_++)};
        if (kind == render::LinkGlyph::Pointer)
            pointer(place, x);
        else
            marker(place, x);
        flow_ = (x + render::kGlyphWidth) * kSteps;
    }

    // A box's edges grow character by character: pieces that continue one
    // another are joined into one line.
    void boxLine(const QRect &r) override
    {
        for (QRect &line : boxLines_) {
            if (line.top() == r.top() && line.height() == r.height() && r.left() == line.right() + 1) {
                line.setRight(r.right());
                return;
            }
        }
        boxLines_.append(r);
    }

    // Writes what the row holds besides its flow.
    void finish()
    {
        for (const QRect &r : boxLines_) {
            out_ += "<span class=\"b\" style=\"left:" + std::to_string(r.x()) + "px;top:" + std::to_string(r.y())
                + "px;width:" + std::to_string(r.width()) + "px;height:" + std::to_string(r.height()) + "px\"></span>";
        }
    }

private:
    // Moves the flow to x with a margin on the element being opened.
    void moveTo(int x)
    {
        if (x * kSteps != flow_) {
            out_ += " style=\"margin-left:";
            put(out_, pixels(x * kSteps - flow_));
            out_ += '"';
        }
        flow_ = x * kSteps;
    }

    void pointer(const GlyphPlace &place, int x)
    {
        const auto link = links_.pointers.constFind(place);
        if (link == links_.pointers.constEnd()) {
            glyph("p", x, "link arrow that leads nowhere");
            return;
        }
        const QByteArray target = number(link->markerLine);
        put(out_, "<a href=\"#" + fragmentOf(link->name).toLatin1() + "\" title=\"go to line " + target + "\">");
        QString label = QStringLiteral("link to line ") + QString::fromLatin1(target);
        if (const QString text = targetTexts_.value(link->markerLine); !text.isEmpty())
            label += QStringLiteral(": ") + text;
        glyph("p", x, escapeHtml(label).toUtf8());
        out_ += "</a>";
    }

    void marker(const GlyphPlace &place, int x)
    {
        const auto target = links_.targets.constFind(place);
        const QByteArray id = target == links_.targets.constEnd()
            ? QByteArray()
            : " id=\"" + fragmentOf(target->name).toLatin1() + '"';
        if (!links_.matchedMarkers.contains(place)) {
            glyph("m", x, "link target", id);
            return;
        }
        out_ += "<a href=\"#line-1\" title=\"back to line 1\">";
        glyph("m", x, "link target; back to line 1", id);
        out_ += "</a>";
    }

    void glyph(const char *cls, int x, const QByteArray &label, const QByteArray &id = {})
    {
        put(out_, QByteArray("<span class=\"") + cls + '"' + id);
        moveTo(x);
        put(out_, " role=\"img\" aria-label=\"" + label + "\"></span>");
    }

    std::string &out_;
    StyleSheet &sheet_;
    const WebLinks &links_;
    int line_;
    const QHash<int, QString> &targetTexts_;
    QList<int> glyphColumns_;
    int glyphIndex_ = 0;
    QList<QRect> boxLines_;
    // Where the browser's flow stands, in 64ths of a pixel.
    int flow_ = render::kLeftMargin * kSteps;
};

// Collects the characters a line shows.
class TextCollector : public render::DrawListener {
public:
    void character(const render::DrawnChar &c) override { text += webCharacter(c.byte); }
    void linkGlyph(render::LinkGlyph, int, int) override {}
    void boxLine(const QRect &) override {}
    QString text;
};

const char *const kPageStyle =
    // Printed too with its grey cells and glyphs, which are backgrounds.
    "html{background:#fffff0;print-color-adjust:exact;-webkit-print-color-adjust:exact}\n"
    "body{margin:0}\n"
    // Room below the last row, so that any row can be brought to the top.
    "main{display:block;width:800px;padding:5px 0 calc(100vh - 30px);overflow-x:clip}\n"
    // Characters are text in one flow, so that a reader can select and search
    // them; each keeps its own advance (no kerning, no ligatures).
    ".r{position:relative;height:25px;padding-left:5px;white-space:pre;line-height:0;font-size:0;"
    "font-kerning:none;font-variant-ligatures:none}\n"
    ".r span{vertical-align:top}\n"
    ".r .b{position:absolute;background:#707070}\n"
    ".r .p,.r .m{display:inline-block;width:20px;height:25px}\n";

} // namespace

QChar webCharacter(uint8_t byte)
{
    const QChar c = base::cp1252ToUnicode(byte);
    const bool control = (c.unicode() < 0x20 && c != QLatin1Char('\t')) || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
    return control ? QChar(QChar::ReplacementCharacter) : c;
}

const QByteArray &htmlCharacter(uint8_t byte)
{
    static const std::array<QByteArray, 256> table = [] {
        std::array<QByteArray, 256> t;
        for (int b = 0; b < 256; ++b)
            t[size_t(b)] = escapeHtml(QString(webCharacter(uint8_t(b)))).toUtf8();
        return t;
    }();
    return table[byte];
}

int lastTextLine(const doc::TextGrid &grid)
{
    for (int line = doc::kLines; line >= 1; --line) {
        if (grid.lineLength(line) > 0)
            return line;
    }
    return 0;
}

HtmlPageWriter::HtmlPageWriter()
    : pointerGlyph_(render::createPointerGlyph()), markerGlyph_(render::createMarkerGlyph()),
      machine_(pointerGlyph_, markerGlyph_)
{
    glyphCss_ = ".p{background:url(" + pngDataUri(pointerGlyph_) + ")}\n.m{background:url("
        + pngDataUri(markerGlyph_) + ")}\n";
}

QString HtmlPageWriter::shownText(const QByteArray &line)
{
    TextCollector collector;
    machine_.traceLine(line, 0, markup::DisplayMode::Rendered, collector);
    return collector.text;
}

QString HtmlPageWriter::firstShownLine(const doc::TextGrid &grid)
{
    const int last = lastTextLine(grid);
    for (int line = 1; line <= last; ++line) {
        const QString text = shownText(grid.getLine(line)).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QByteArray HtmlPageWriter::page(const doc::TextGrid &grid, const QString &title)
{
    const int last = lastTextLine(grid);
    const WebLinks links = webLinks(grid, last);
    // A link says where it goes: the text of its marker's line.
    QHash<int, QString> targetTexts;
    for (const WebLink &l : links.pointers)
        targetTexts[l.markerLine] = shownText(grid.getLine(l.markerLine)).simplified();

    StyleSheet sheet;
    // A std::string: appending to it is a copy, where QByteArray's is an insert.
    std::string rows;
    // About 25 bytes a character: grown once at most.
    rows.reserve(size_t(last) * 3000);
    for (int line = 1; line <= last; ++line) {
        rows += "<div class=\"r\" id=\"line-" + std::to_string(line) + "\">";
        const QByteArray text = grid.getLine(line);
        RowWriter writer(rows, sheet, links, line, targetTexts);
        writer.start(text);
        machine_.traceLine(text, 0, markup::DisplayMode::Rendered, writer);
        writer.finish();
        rows += "</div>\n";
    }
    QByteArray html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\" />\n"
                      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                      "style-src 'unsafe-inline'; img-src data:\" />\n"
                      "<meta name=\"viewport\" content=\"width=800\" />\n"
                      "<meta name=\"generator\" content=\"helpedit\" />\n<title>";
    html.reserve(rows.size() + sheet.rules().size() + glyphCss_.size() + 2048);
    html.append(escapeHtml(title).toUtf8()).append("</title>\n<style>\n").append(kPageStyle).append(glyphCss_);
    html.append(sheet.rules()).append("</style>\n</head>\n<body>\n<main>\n");
    html.append(rows.data(), qsizetype(rows.size()));
    html.append("</main>\n</body>\n</html>\n");
    return html;
}

} // namespace publish
