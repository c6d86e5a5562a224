#pragma once
// The pixel geometry of a page of text, the same for the editor's page and the
// help viewer: an 800 x 800 surface with its rows of 25 pixels from y = 5.

#include "base/checked.h"
#include "document/textgrid.h"

namespace render {

constexpr int kRowHeight = 25;
constexpr int kPageTop = 5;
constexpr int kPageSize = 800;

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
    return line > topLine + doc::kRows - 1 ? topLine + doc::kRows - 1 : line;
}

} // namespace render
