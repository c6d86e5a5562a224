#pragma once
// The page view: renders the 31 visible lines of the document into the
// off-screen page bitmap and tells the screen which rectangles to copy from
// it; draws the caret on the screen only. Also paints the frame around the page and the source-code box.

#include "document/editor.h"
#include "render/pagerenderer.h"

#include <QImage>
#include <QRect>
#include <functional>

namespace view {

class PageView {
public:
    PageView(const doc::TextGrid &grid, const doc::EditorState &state);

    // Creates the page bitmap: 800 x 800 logical pixels at a device pixel ratio.
    void createPageBitmap(double ratio = 1.0);
    // Sets the function that asks the screen to repaint a rectangle.
    void setScreen(std::function<void(const QRect &)> update);

    // Re-renders the whole page, copies it to the screen and draws the caret.
    void repaintPage();
    // Re-renders the cursor row, copies it to the screen and draws the caret.
    void repaintCursorRow();
    // Shows document lines first to last anew: the one row when a single line
    // on the page changed, the whole page when more did; then the caret.
    void showLines(int first, int last);
    // Moves the caret: restores the page where it was and draws it at the cursor.
    void moveCaret();
    // Restores the page under the caret when the caret is shown.
    void eraseCaret();
    // Draws the caret at the cursor and records its rectangle.
    void drawCaret();
    // Returns the x at which column starts on line, in the current display mode.
    int columnX(int column, int line);

    // Paints the screen's dirty rectangle: the page bitmap, then the caret if shown.
    void paintScreen(QPainter &p, const QRect &dirty) const;

    // Returns the page bitmap, in device pixels.
    const QImage &pageBitmap() const { return renderer_.image(); }
    // Returns the device pixel ratio the page is drawn at.
    double deviceRatio() const { return renderer_.deviceRatio(); }
    // Returns the style machine that draws and measures for this page.
    render::StyleMachine &machine() { return renderer_.machine(); }
    // Returns whether the caret is shown, and where it was last drawn (logical pixels).
    bool caretShown() const { return caretShown_; }
    QRect caretRect() const { return caretRect_; }
    // Returns the pointer and marker glyphs.
    const QImage &pointerGlyph() const { return renderer_.pointerGlyph(); }
    const QImage &markerGlyph() const { return renderer_.markerGlyph(); }

private:
    QRect rowRect(int line) const;
    void repaintRow(int line);
    void toScreen(const QRect &r);

    const doc::TextGrid &grid_;
    const doc::EditorState &state_;
    render::PageRenderer renderer_;
    std::function<void(const QRect &)> screen_;
    bool caretShown_ = false;
    QRect caretRect_;
};

// Paints the sunken two-ring frame around the page at (left, top, width, height).
void paintPageFrame(QPainter &p, const QRect &page);
// Paints the two-ring frame around page: dark (0xBBGGRR) top and left, light bottom and right.
void paintPageFrame(QPainter &p, const QRect &page, uint32_t dark, uint32_t light);
// Paints the source-code toggle box of the given size in the look of the mode.
void paintCodeBox(QPainter &p, const QSize &size, bool sourceMode);
// Paints the frame around page (logical pixels) on a window shown at scale,
// each ring at least one device pixel wide.
void paintScaledPageFrame(QPainter &p, const QRect &page, double scale, uint32_t dark, uint32_t light);
// Paints the source-code toggle box of the given logical size on a window
// shown at scale, its caption drawn at the scaled size.
void paintScaledCodeBox(QPainter &p, const QSize &size, bool sourceMode, double scale);

} // namespace view
