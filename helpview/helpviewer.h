#pragma once
// The help viewer: a modal window that shows the built-in help text, rendered
// by the editor's markup rules, with working links, a scroll bar and the wheel.
// It keeps its own page renderer (with its style machine and glyphs), link
// table and scroll position and shares nothing with the editor.

#include "helpview/helpaccess.h"
#include "links/linktable.h"
#include "render/pagerenderer.h"
#include "view/surface.h"

#include <QDialog>
#include <QImage>
#include <QScrollBar>
#include <cstdint>

namespace helpview {

class HelpViewer;

class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);
    ~HelpViewer() override;

    // Lays the viewer out at the main window's scale (logical pixels times scale).
    void setWindowScale(double scale);
    // Returns the viewer's scale.
    double windowScale() const { return scale_; }
    // Places the viewer next to mainWindow and shows it modally; returns when it is closed.
    void showHelp(QWidget *mainWindow);
    // Scans the help text into the viewer's link table and marks it built.
    void buildHelpLinks();
    // Returns the x at which column (1-based) of help line index starts.
    int measureHelpPrefix(int column, int index);
    // Draws the background strips and all 31 visible rows into the surface image.
    void drawHelpPage();
    // Returns the help line index under y (surface coordinates), at most the last visible row's.
    int helpRowAtY(int y) const;

    // Event handlers; the events run each through the error report.
    // Copies the dirty part of the surface image (strips and rows of the current position) onto p.
    void paintPage(QPainter &p, const QRect &dirty);
    // Takes the bar's position as the top line and redraws the rows.
    void barMoved();
    // Moves the bar one step for a wheel turn (screen position) over the surface.
    void wheelTurned(int delta, QPoint globalPos);
    // Sets the hover target and the cursor for the mouse at (x, y) on the surface.
    void pageMouseMove(int x, int y);
    // Scrolls to the hovered link's target, if any.
    void pageMouseDown(int x, int y);
    // Closes the viewer with result 1 when key is the Esc character; ignores the rest.
    void handleKeyPress(int key);
    // Paints the two-ring frame around the surface.
    void paintFrame(QPainter &p);

    // Returns the controls, for inspection.
    QWidget *pageSurface() const { return surface_; }
    QScrollBar *pageBar() const { return bar_; }
    // Returns the image the rows are drawn into, in device pixels.
    const QImage &surface() const { return page_.image(); }
    // Returns the viewer's link table.
    const links::LinkTable &helpLinkTable() const { return helpLinkTable_; }
    // Returns the index of the line in the first row.
    int helpTopIndex() const { return helpTopIndex_; }
    // Returns the scroll position a click goes to, or 0 when no glyph is under the mouse.
    int helpHoverTarget() const { return helpHoverTarget_; }
    // Returns whether the link table has been built.
    bool helpLinksBuilt() const { return helpLinksBuilt_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildControls();
    double surfaceRatio() const;

    render::PageRenderer page_;
    HelpAccessibility accessibility_{*this};
    links::LinkTable helpLinkTable_;
    uint16_t helpTopIndex_ = 0;
    int16_t helpHoverTarget_ = 0;
    bool helpLinksBuilt_ = false;
    double scale_ = 1.0;

    view::PaintSurface *surface_ = nullptr;
    QScrollBar *bar_ = nullptr;
};

} // namespace helpview
