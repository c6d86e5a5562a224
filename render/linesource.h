#pragma once
// Where a page's lines come from: their texts, and a change count by which a
// reader of the page learns that nothing changed without keeping the texts.

#include "document/textgrid.h"

#include <QByteArray>
#include <functional>
#include <utility>

namespace render {

struct LineSource {
    // Returns the text of a line (empty for a line that does not exist).
    std::function<QByteArray(int line)> text;
    // Returns a count that grows with every change to any line.
    std::function<quint64()> changeCount;
    // Returns the lines the latest change touched.
    std::function<doc::LineSpan()> lastChange;
};

// Returns the source that reads the lines of grid as they are at each call.
inline LineSource gridLines(const doc::TextGrid &grid)
{
    return {[&grid](int line) { return grid.getLine(line); }, [&grid] { return grid.changeCount(); },
            [&grid] { return grid.lastChange(); }};
}

// Returns the source of a text that never changes: its count stays 0.
inline LineSource fixedLines(std::function<QByteArray(int line)> text)
{
    return {std::move(text), [] { return quint64(0); }, [] { return doc::LineSpan{1, 0}; }};
}

} // namespace render
