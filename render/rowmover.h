#pragma once
// Moving a page image by one row. When the page moves on by one line, the
// image's pixels move by one row and only what that leaves wrong is drawn
// again: the new row, the margins, and what the row that left the page had
// drawn over its neighbour. It keeps a record of the page the image shows
// (where each row's drawing reached) and of the line source's change count the
// record holds for; no line may have changed since for a move.

#include "render/pagegeometry.h"
#include "render/cleanmap.h"
#include "render/linesource.h"
#include "render/pageimage.h"
#include "render/stylemachine.h"

#include <QImage>
#include <array>
#include <vector>

namespace render {

// How the rows are cleared. The editor's page is cleared and then drawn, so a
// line's pixels outside its row stay; each help viewer row clears its own
// band just before its line is drawn.
enum class RowClearing { WholePage, EachRow };

// Returns the device rows of the band line takes on the page from topLine, at ratio.
QRect lineBand(int line, int topLine, double ratio);
// Draws text onto the page image in the row whose top is top (logical pixels);
// returns where the drawing reached (nothing for an empty text).
LineReach drawOnPage(StyleMachine &machine, PageImage &page, const QByteArray &text, int top, markup::DisplayMode mode);

class RowMover {
public:
    // Moves the image of page, drawn by machine from lines, cleared as clearing says.
    RowMover(const LineSource &lines, RowClearing clearing, StyleMachine &machine, PageImage &page);

    // Moves the image to the page from topLine when that is one row from the
    // page it shows and the record allows; returns whether it did. When not,
    // the image must be drawn afresh.
    bool move(int topLine, markup::DisplayMode mode);

    // Forgets the record: the image is about to be drawn over.
    void forget();
    // Records where the drawing of page row index reached, on a page drawn afresh.
    void rowDrawn(int index, const LineReach &reach);
    // Records that the image shows the page from topLine in mode, each row's reach recorded.
    void pageDrawn(int topLine, markup::DisplayMode mode);
    // Returns whether the record stays true when line alone is cleared and
    // drawn again on the page from topLine: it is the page recorded, the line
    // is the one change since (or nothing changed) and no other row draws in its band.
    bool keepsRecordOver(int line, int topLine, markup::DisplayMode mode) const;
    // Takes back the record that keepsRecordOver promised after row index was
    // drawn again alone, reaching reach; it holds on if the row kept to its band.
    void rowRedrawn(int index, const LineReach &reach);

private:
    // Device pixel rows top..bottom of the page image.
    struct DeviceRows {
        int top;
        int bottom;
    };

    double ratio() const { return machine_.deviceRatio(); }
    QRect rowBand(int index) const;
    int rowStep() const;
    bool reaches(int index, int top, int bottom) const;
    bool withinBand(int index) const;
    bool aloneInBand(int index) const;
    bool canMove(int topLine, markup::DisplayMode mode) const;
    DeviceRows goneRows(int step) const;
    void shiftImage(int step);
    void redrawDeviceRows(std::vector<DeviceRows> spans, int topLine, markup::DisplayMode mode, int pending);
    void redrawSpan(const DeviceRows &span, int topLine, markup::DisplayMode mode, int pending);
    void prepareStrip(int height);
    void copyFromStrip(const DeviceRows &span, int origin);

    const LineSource &lines_;
    RowClearing clearing_;
    StyleMachine &machine_;
    PageImage &page_;
    // The page the image shows, when it is known row by row.
    bool valid_ = false;
    int top_ = 0;
    markup::DisplayMode mode_ = markup::DisplayMode::Rendered;
    quint64 count_ = 0;
    std::array<LineReach, doc::kRows> rows_;
    // Where rows of the page are drawn afresh before they are copied into it.
    QImage strip_;
    CleanMap stripClean_;
};

} // namespace render
