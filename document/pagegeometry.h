#pragma once
// The geometry of a page of text, the same for the editor's page and the help
// viewer: an 800 x 800 surface with 31 rows of 25 pixels from y = 5.

#include "base/checked.h"

#include <QPoint>
#include <QSize>

namespace doc {

constexpr int kRows = 31;
constexpr int kRowHeight = 25;
constexpr int kPageTop = 5;
constexpr int kPageSize = 800;
// The wheel acts only this many pixels or more inside the page's rectangle.
constexpr int kWheelMargin = 10;

// Returns the y at which the row of line starts, given the line of the first row.
inline int rowTop(int line, int topLine)
{
    return base::toInt16(line - topLine) * kRowHeight + kPageTop;
}

// Returns the line in the row under y, given the line of the first row: y from
// 0 to 29 gives the first row, y from 755 down the last; no lower limit.
inline int lineAtY(int y, int topLine)
{
    const int line = topLine + (y - kPageTop) / kRowHeight; // C++ division truncates toward zero
    return line > topLine + kRows - 1 ? topLine + kRows - 1 : line;
}

// Returns whether a wheel turn at mouse acts on the page whose rectangle starts
// at corner (both in screen coordinates): strictly inside the margin.
inline bool insideWheelRect(QPoint mouse, QPoint corner)
{
    return corner.x() + kWheelMargin < mouse.x() && mouse.x() < corner.x() + kPageSize - kWheelMargin
        && corner.y() + kWheelMargin < mouse.y() && mouse.y() < corner.y() + kPageSize - kWheelMargin;
}

} // namespace doc
