#include "publish/htmlpage.h"

#include "base/cp1252.h"
#include "document/pagegeometry.h"
#include "publish/weblinks.h"
#include "render/colors.h"
#include "render/glyphs.h"

#include <QBuffer>
#include <QHash>

namespace publish {

namespace {

QByteArray number(int n)
{
    return QByteArray::number(n);
}

// Returns the CSS colour of a 0xBBGGRR value.
QByteArray cssColor(uint32_t bgr)
{
    return '#' + QByteArray::number(render::toRgb(bgr) & 0xFFFFFF, 16).rightJustified(6, '0');
}

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

// What a character's look depends on, apart from its width.
struct CharStyle {
    QString family;
    int pixelSize = 0;
    int cellHeight = 0;
    int top = 0;
    bool bold = false;
    bool italic = false;
    uint32_t color = 0;
    std::optional<uint32_t> background;

    static CharStyle of(const render::DrawnChar &c)
    {
        return {c.family, c.pixelSize, c.cellHeight, c.top, c.bold, c.italic, c.color, c.background};
    }
    friend bool operator==(const CharStyle &, const CharStyle &) = default;

    // The CSS declarations: the font by its em size on a line as high as its
    // cell, so that the baseline falls where the renderer puts it.
    QByteArray css() const
    {
        QByteArray d = "font:";
        if (italic)
            d += "italic ";
        if (bold)
            d += "bold ";
        d += number(pixelSize) + "px/" + number(cellHeight) + "px " + cssFamily(family) + ";color:" + cssColor(color)
            + ";height:" + number(cellHeight) + "px;margin-top:" + number(top) + "px";
        if (background)
            d += ";background:" + cssColor(*background);
        return d;
    }
};

// The class names of the character styles and cell widths one page uses.
class StyleSheet {
public:
    // Returns the class of a character's style, made when first asked for.
    const QByteArray &styleClass(const render::DrawnChar &c)
    {
        const CharStyle style = CharStyle::of(c);
        if (!(style == last_)) {
            last_ = style;
            const QByteArray css = style.css();
            auto found = styles_.find(css);
            if (found == styles_.end()) {
                found = styles_.insert(css, 's' + number(int(styles_.size())));
                rules_ += '.' + *found + '{' + css + "}\n";
            }
            lastClass_ = *found;
        }
        return lastClass_;
    }
    // Returns the class of a cell width (what a background fills) followed by the rest of an advance.
    const QByteArray &widthClass(int width, int advance)
    {
        const int key = width << 16 | advance;
        auto found = widths_.find(key);
        if (found == widths_.end()) {
            found = widths_.insert(key, 'w' + number(int(widths_.size())));
            rules_ += '.' + *found + "{width:" + number(width) + "px;margin-right:" + number(advance - width) + "px}\n";
        }
        return *found;
    }
    // Returns the rules of every class handed out.
    const QByteArray &rules() const { return rules_; }

private:
    QHash<QByteArray, QByteArray> styles_;
    QHash<int, QByteArray> widths_;
    CharStyle last_{QString(), -1, 0, 0, false, false, 0, std::nullopt};
    QByteArray lastClass_;
    QByteArray rules_;
};

// Writes one row: characters, glyphs and box lines as the renderer's walk
// tells them, left to right in the page's own flow.
class RowWriter : public render::DrawListener {
public:
    RowWriter(QByteArray &out, StyleSheet &sheet, const WebLinks &links, int line,
              const QHash<int, QString> &targetTexts)
        : out_(out), sheet_(sheet), links_(links), line_(line), targetTexts_(targetTexts)
    {
    }

    void start(const QByteArray &text) { glyphColumns_ = glyphColumns(text); }

    void character(const render::DrawnChar &c) override
    {
        out_ += "<span class=\"" + sheet_.styleClass(c) + ' ' + sheet_.widthClass(c.width, c.advance) + '"';
        moveTo(c.x);
        out_ += '>' + htmlCharacter(c.byte) + "</span>";
        flowX_ = c.x + c.advance;
    }

    void linkGlyph(render::LinkGlyph kind, int x, int) override
    {
        const GlyphPlace place{line_, glyphColumns_.value(glyphIndex_++)};
        if (kind == render::LinkGlyph::Pointer)
            pointer(place, x);
        else
            marker(place, x);
        flowX_ = x + render::kGlyphWidth;
    }

    void boxLine(const QRect &r) override
    {
        out_ += "<span class=\"b\" style=\"left:" + number(r.x()) + "px;top:" + number(r.y()) + "px;width:"
            + number(r.width()) + "px;height:" + number(r.height()) + "px\"></span>";
    }

private:
    // Moves the flow to x with a margin on the element being opened.
    void moveTo(int x)
    {
        if (x != flowX_)
            out_ += " style=\"margin-left:" + number(x - flowX_) + "px\"";
    }

    void pointer(const GlyphPlace &place, int x)
    {
        const auto link = links_.pointers.constFind(place);
        if (link == links_.pointers.constEnd()) {
            glyph("p", x, "link arrow that leads nowhere");
            return;
        }
        const QByteArray target = number(link->markerLine);
        out_ += "<a href=\"#" + fragmentOf(link->name).toLatin1() + "\" title=\"go to line " + target + "\">";
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
        out_ += QByteArray("<span class=\"") + cls + '"' + id;
        moveTo(x);
        out_ += " role=\"img\" aria-label=\"" + label + "\"></span>";
    }

    QByteArray &out_;
    StyleSheet &sheet_;
    const WebLinks &links_;
    int line_;
    const QHash<int, QString> &targetTexts_;
    QList<int> glyphColumns_;
    int glyphIndex_ = 0;
    int flowX_ = render::kLeftMargin;
};

// Collects the characters a line shows.
class TextCollector : public render::DrawListener {
public:
    void character(const render::DrawnChar &c) override { text += base::cp1252ToUnicode(c.byte); }
    void linkGlyph(render::LinkGlyph, int, int) override {}
    void boxLine(const QRect &) override {}
    QString text;
};

const char *const kPageStyle =
    "html{background:#fffff0}\n"
    "body{margin:0}\n"
    // Room below the last row, so that any row can be brought to the top.
    "main{display:block;width:800px;padding:5px 0 calc(100vh - 30px);overflow-x:clip}\n"
    ".r{position:relative;height:25px;padding-left:5px;white-space:pre;line-height:0;font-size:0}\n"
    ".r span{display:inline-block;vertical-align:top}\n"
    ".r .b{position:absolute;background:#707070}\n"
    ".p,.m{width:20px;height:25px}\n";

} // namespace

const QByteArray &htmlCharacter(uint8_t byte)
{
    static const std::array<QByteArray, 256> table = [] {
        std::array<QByteArray, 256> t;
        for (int b = 0; b < 256; ++b) {
            const QChar c = base::cp1252ToUnicode(uint8_t(b));
            const bool control = (c.unicode() < 0x20 && c != QLatin1Char('\t')) || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
            t[size_t(b)] = control ? QString(QChar(0xFFFD)).toUtf8() : escapeHtml(QString(c)).toUtf8();
        }
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
    machine_.traceLine(line, 0, render::DisplayMode::Rendered, collector);
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
    QByteArray rows;
    rows.reserve(last * 2000);
    for (int line = 1; line <= last; ++line) {
        rows += "<div class=\"r\" id=\"line-" + number(line) + "\">";
        const QByteArray text = grid.getLine(line);
        RowWriter writer(rows, sheet, links, line, targetTexts);
        writer.start(text);
        machine_.traceLine(text, 0, render::DisplayMode::Rendered, writer);
        rows += "</div>\n";
    }
    QByteArray html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\" />\n"
                      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                      "style-src 'unsafe-inline'; img-src data:\" />\n"
                      "<meta name=\"viewport\" content=\"width=800\" />\n"
                      "<meta name=\"generator\" content=\"helpedit\" />\n<title>";
    html += escapeHtml(title).toUtf8() + "</title>\n<style>\n" + kPageStyle + glyphCss_ + sheet.rules()
        + "</style>\n</head>\n<body>\n<main>\n" + rows + "</main>\n</body>\n</html>\n";
    return html;
}

} // namespace publish
