#pragma once
// One page of text rendered into an image: the 31 rows of lines taken from a
// line source, drawn by the style machine at a device pixel ratio. The
// editor's page view, the help viewer and the command line's pages all render
// through it. It owns the image, what is known of its clear pixels, and a
// record of the rows it drew, so that a page moved by one line is moved in the
// image and only its new row is drawn.

#include "render/pagegeometry.h"
#include "render/cleanmap.h"
#include "render/pageimage.h"
#include "render/stylemachine.h"

#include <QImage>
#include <array>
#include <functional>
#include <vector>

namespace render {

// Returns the text of a line (empty for a line that does not exist).
using LineSource = std::function<QByteArray(int line)>;

// How the rows are cleared. The editor's page is cleared and then drawn, so a
// line's pixels outside its row stay; each help viewer row clears its own
// band just before its line is drawn.
enum class RowClearing { WholePage, EachRow };

// Counts of the work done; tests read them to check that each command renders
// no more than it must.
struct RenderStats {
    int pageRenders = 0; // renders of the whole page, moved or drawn afresh
    int pageMoves = 0;   // page renders that moved the image by one row
    int rowRenders = 0;  // renders of one row alone
    int linesDrawn = 0;  // lines walked by the drawing variant
};

class PageRenderer {
public:
    PageRenderer(LineSource lines, RowClearing clearing);

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
    // Returns the work counters.
    RenderStats &stats() { return stats_; }

private:
    // What the image shows of one row.
    struct RowRecord {
        QByteArray text;
        // Where its drawing reached on the page image.
        LineReach reach;
    };
    // Device pixel rows top..bottom of the page image.
    struct DeviceRows {
        int top;
        int bottom;
    };

    QRect deviceBand(int top, int bottom) const;
    QRect rowBand(int index) const;
    QRect lineBand(int line, int topLine) const;
    int rowStep() const;
    bool reaches(int index, int top, int bottom) const;
    bool withinBand(int index) const;
    bool aloneInBand(int index) const;
    void clearDevice(int top, int bottom);
    void drawRow(int line, int topLine, markup::DisplayMode mode);
    void renderAfresh(int topLine, markup::DisplayMode mode);
    bool canMove(int topLine, markup::DisplayMode mode) const;
    bool moveByOneRow(int topLine, markup::DisplayMode mode);
    DeviceRows goneRows(int step) const;
    void shiftImage(int step);
    void prepareStrip(int height);
    void redrawDeviceRows(std::vector<DeviceRows> spans, markup::DisplayMode mode, int pending);
    void redrawSpan(const DeviceRows &span, markup::DisplayMode mode, int pending);
    void copyFromStrip(const DeviceRows &span, int origin);

    LineSource lines_;
    RowClearing clearing_;
    QImage pointerGlyph_;
    QImage markerGlyph_;
    StyleMachine machine_;
    PageImage page_;
    RenderStats stats_;
    // The page the image shows, when it is known row by row.
    bool recordValid_ = false;
    int recordTop_ = 0;
    markup::DisplayMode recordMode_ = markup::DisplayMode::Rendered;
    std::array<RowRecord, doc::kRows> rows_;
    // Where rows of the page are drawn afresh before they are copied into it.
    QImage strip_;
    CleanMap stripClean_;
};

// Copies the part of a device-pixel image under dirty (logical pixels) onto a
// surface painted in logical pixels, one image pixel to one device pixel.
void paintDevicePixels(QPainter &p, const QImage &image, double ratio, const QRect &dirty);

} // namespace render
