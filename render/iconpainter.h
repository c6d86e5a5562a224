#pragma once
// Draws the program's icon from its SVG drawing at any pixel size, with the
// painter alone (no SVG library): the drawing keeps to filled and outlined
// rectangles, rounded or not, and polygons. The build makes the fixed-size
// icons of the desktop theme with it, and the window its own icon, so both
// always show the same drawing.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace render {

// Returns the drawing in svg painted on a transparent size x size image; an
// element or a value it cannot draw gives a null image and the reason in error.
QImage paintIconSvg(const QByteArray &svg, int size, QString *error = nullptr);

} // namespace render
