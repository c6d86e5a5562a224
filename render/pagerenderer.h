#pragma once
// One page of text rendered into an image: the 31 rows of lines taken from a
// line source, drawn by the style machine at a device pixel ratio. The
// editor's page view, the help viewer and the command line's pages all render
// through it. It owns the image and the row mover, which moves a page that
// moved on by one line in the image and draws only its new row.

#include "render/pagegeometry.h"
#include "render/linesource.h"
#include "render/pageimage.h"
#include "render/rowmover.h"
#include "render/stylemachine.h"

#include <QImage>

namespace render {

class PageRenderer {
public:
    // Renders the lines of lines, its rows cleared as clearing says; no image until createSurface.
    PageRenderer(LineSource lines, RowClearing clearing);
    PageRenderer(const PageRenderer &) = delete;
    PageRenderer &operator=(const PageRenderer &) = delete;

    // Makes the cleared page image for a device pixel ratio: 800 x 800 logical
    // pixels, 800 x 800 times the ratio device pixels.
    void createSurface(double ratio);
    // Renders the 31 rows of the page whose first row shows topLine.
    void renderPage(int topLine, markup::DisplayMode mode);
    // Clears the row of line on the page from topLine and draws the line into it.
    void renderRow(int line, int topLine, markup::DisplayMode mode);
    // Returns the x at which column (1-based) of line starts, in logical pixels.
    int columnX(int column, int line, markup::DisplayMode mode);

    // Returns the page image in device pixels.
    const QImage &image() const { return page_.image(); }
    // Returns the device pixel ratio the page is drawn at.
    double deviceRatio() const { return machine_.deviceRatio(); }
    // Returns the style machine that draws and measures the page.
    StyleMachine &machine() { return machine_; }
    // Returns the pointer and marker glyphs (their widths are the glyphs' advance).
    const QImage &pointerGlyph() const { return pointerGlyph_; }
    const QImage &markerGlyph() const { return markerGlyph_; }

private:
    QRect deviceBand(int top, int bottom) const;
    LineReach drawRow(int line, int topLine, markup::DisplayMode mode);
    void renderAfresh(int topLine, markup::DisplayMode mode);

    LineSource lines_;
    RowClearing clearing_;
    QImage pointerGlyph_;
    QImage markerGlyph_;
    StyleMachine machine_;
    PageImage page_;
    RowMover mover_;
};

// Copies the part of a device-pixel image under dirty (logical pixels) onto a
// surface painted in logical pixels, one image pixel to one device pixel.
void paintDevicePixels(QPainter &p, const QImage &image, double ratio, const QRect &dirty);

} // namespace render
