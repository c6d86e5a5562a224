#include "render/iconpainter.h"

#include <QPainter>
#include <QPolygonF>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <optional>
#include <stdexcept>

namespace render {

namespace {

// A drawing the painter cannot show as the SVG says.
struct Unsupported : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double number(const QXmlStreamAttributes &a, const char *name, double fallback)
{
    const QStringView text = a.value(QLatin1String(name));
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        throw Unsupported(std::string("a number was expected in ") + name + ": " + text.toString().toStdString());
    return value;
}

// The colour of fill or stroke: "none" (or absent, for a stroke) gives none.
std::optional<QColor> paint(const QXmlStreamAttributes &a, const char *name, const char *fallback)
{
    const QString text = a.hasAttribute(QLatin1String(name)) ? a.value(QLatin1String(name)).toString()
                                                             : QString::fromLatin1(fallback);
    if (text == QLatin1String("none"))
        return std::nullopt;
    const QColor colour = QColor::fromString(text);
    if (!colour.isValid())
        throw Unsupported(std::string("an unknown colour in ") + name + ": " + text.toStdString());
    return colour;
}

void setPaint(QPainter &p, const QXmlStreamAttributes &a)
{
    const std::optional<QColor> fill = paint(a, "fill", "#000000");
    const std::optional<QColor> stroke = paint(a, "stroke", "none");
    p.setBrush(fill ? QBrush(*fill) : QBrush(Qt::NoBrush));
    if (stroke) {
        QPen pen(*stroke, number(a, "stroke-width", 1.0));
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
    } else {
        p.setPen(Qt::NoPen);
    }
}

QPolygonF points(const QXmlStreamAttributes &a)
{
    const QStringList values =
        a.value(QLatin1String("points")).toString().split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    if (values.size() < 6 || values.size() % 2 != 0)
        throw Unsupported("a polygon needs at least three x,y points");
    QPolygonF polygon;
    for (qsizetype i = 0; i < values.size(); i += 2) {
        bool okX = false, okY = false;
        polygon << QPointF(values[i].toDouble(&okX), values[i + 1].toDouble(&okY));
        if (!okX || !okY)
            throw Unsupported("a polygon point is not a number");
    }
    return polygon;
}

// Sets up the painter for the <svg> element: its viewBox (or size) onto size x size pixels.
void startDrawing(QPainter &p, const QXmlStreamAttributes &a, int size)
{
    double width = number(a, "width", 0), height = number(a, "height", 0);
    const QStringList box = a.value(QLatin1String("viewBox")).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    double left = 0, top = 0;
    if (box.size() == 4) {
        left = box[0].toDouble();
        top = box[1].toDouble();
        width = box[2].toDouble();
        height = box[3].toDouble();
    }
    if (width <= 0 || height <= 0)
        throw Unsupported("the drawing has no size");
    p.scale(size / width, size / height);
    p.translate(-left, -top);
}

void drawElement(QPainter &p, QStringView name, const QXmlStreamAttributes &a)
{
    setPaint(p, a);
    if (name == QLatin1String("rect")) {
        const QRectF r(number(a, "x", 0), number(a, "y", 0), number(a, "width", 0), number(a, "height", 0));
        const double rx = number(a, "rx", 0);
        p.drawRoundedRect(r, rx, number(a, "ry", rx));
    } else if (name == QLatin1String("polygon")) {
        p.drawPolygon(points(a));
    } else {
        throw Unsupported("cannot draw <" + name.toString().toStdString() + ">");
    }
}

} // namespace

QImage paintIconSvg(const QByteArray &svg, int size, QString *error)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QXmlStreamReader xml(svg);
    try {
        bool started = false;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (!started) {
                if (xml.name() != QLatin1String("svg"))
                    throw Unsupported("not an SVG drawing");
                startDrawing(p, xml.attributes(), size);
                started = true;
                continue;
            }
            drawElement(p, xml.name(), xml.attributes());
        }
        if (xml.hasError())
            throw Unsupported(xml.errorString().toStdString());
        if (!started)
            throw Unsupported("not an SVG drawing");
    } catch (const Unsupported &e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return {};
    }
    return image;
}

} // namespace render
