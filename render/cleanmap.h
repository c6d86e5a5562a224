#pragma once
// What is known about a page image between drawings: for each pixel row, the
// x from which every pixel still holds the page colour. A cell background in
// the page colour laid on such pixels changes nothing and can be left out,
// and clearing the page only has to touch what was drawn since.

#include <QRect>
#include <climits>
#include <vector>

namespace render {

class CleanMap {
public:
    // Starts with nothing known about rows 0..height-1.
    explicit CleanMap(int height = 0) : dirtyRight_(size_t(height), INT_MAX) {}

    // Returns the number of pixel rows the map covers.
    int height() const { return int(dirtyRight_.size()); }
    // Returns the x from which row y holds only the page colour (INT_MAX: nothing known).
    int dirtyRight(int y) const { return dirtyRight_[size_t(y)]; }
    // Records that rows top..bottom now hold only the page colour.
    void markClean(int top, int bottom);
    // Records that pixels of r may no longer hold the page colour.
    void markDirty(const QRect &r);
    // Records that row `to` now holds what row `from` of the image that map describes holds.
    void copyRow(const CleanMap &map, int from, int to) { dirtyRight_[size_t(to)] = map.dirtyRight_[size_t(from)]; }
    // Records that the image's rows moved up by dy (down for a negative dy);
    // nothing is known of the rows that moved in.
    void scroll(int dy);
    // Forgets everything: any pixel may hold anything.
    void markAllDirty();
    // Returns whether every pixel of r inside the map holds the page colour.
    bool isClean(const QRect &r) const;
    // Records that pixels of r may no longer hold the page colour; returns
    // whether all of them held it before (isClean and markDirty in one pass).
    bool markDirtyWasClean(const QRect &r);

private:
    std::vector<int> dirtyRight_;
};

} // namespace render
