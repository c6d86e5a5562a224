#pragma once
// The document: a fixed grid of 120 columns by 1000 lines of single bytes,
// numbered from 1. A line's text runs from column 1 to its first 0 cell. Bytes
// behind that 0 (from a loaded line that held a zero byte) stay in their cells
// and travel with the row in every edit, but are never shown or saved.

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstdint>

namespace doc {

constexpr int kColumns = 120;
constexpr int kLines = 1000;
// The page shows this many lines at a time.
constexpr int kRows = 31;

// Line numbers are 16-bit: the line after this one cannot be counted.
constexpr int kMaxLineNumber = INT16_MAX;

// Whether a list of lines fits a grid, and if not, why.
enum class LineFit { Fits, TooManyLines, TextBeyondGrid };

// Returns whether lines fit a grid of gridLines lines: at most kMaxLineNumber
// lines, and past gridLines only empty ones (they are read and change nothing).
LineFit linesFit(const QList<QByteArray> &lines, int gridLines = kLines);

// A run of document lines, first to last; empty when first > last.
struct LineSpan {
    int first = 1;
    int last = 0;
    bool isEmpty() const { return first > last; }
};

class TextGrid {
public:
    TextGrid();

    // Returns the byte at [column, line]; throws RangeError outside the grid.
    uint8_t cell(int column, int line) const;
    // Writes the byte at [column, line]; throws RangeError outside the grid.
    void setCell(int column, int line, uint8_t value);

    // Returns the length of the line's text, 0 to 120.
    int lineLength(int line) const;
    // Returns the line's text (up to its first 0 cell).
    QByteArray getLine(int line) const;
    // Writes text (cut to 120) into the line from column 1; later cells are left as they are.
    void setLine(const QByteArray &text, int line);
    // Replaces the whole document with lines (each cut to 120). Throws RangeError,
    // with the grid untouched, when text lies beyond line 1000 or the line count
    // leaves the 16-bit line range; empty lines past the grid are allowed.
    void loadLines(const QList<QByteArray> &lines);
    // Sets every cell of the grid to 0.
    void clearGrid();
    // Inserts ch before column, shifting the rest right; returns false (no change) on a full line.
    bool insertChar(int line, int column, uint8_t ch);
    // Removes the cell at column, shifting the rest of the row left and zeroing cell 120.
    void deleteChar(int line, int column);
    // Sets every cell of the line to 0.
    void eraseLine(int line);
    // Removes the line; the lines below move up and line 1000 becomes blank.
    void deleteLine(int line);
    // Inserts a blank line; the line and those below move down and the old line 1000 is lost.
    void insertLine(int line);

    // Returns the number of the last line holding text, or 0 when every line is empty.
    int lastNonEmptyLine() const;
    // Returns lines 1 to the last non-empty one: what a save writes.
    QList<QByteArray> textLines() const;

    // Returns the lines that any change touched since the last call (all of
    // them before the first call) and starts a new record; for readers that
    // keep a copy of the text, such as a screen reader's view of the page.
    LineSpan takeChangedLines();
    // Returns a count that grows with every change to the grid, so that a reader
    // learns whether anything changed without keeping a copy of the text.
    quint64 changeCount() const { return changeCount_; }
    // Returns the lines the latest change touched (every line before the first),
    // so that a reader told of one change learns whether it was its own line.
    LineSpan lastChange() const { return lastChange_; }

private:
    void noteChanged(int first, int last)
    {
        changed_.first = std::min(changed_.first, first);
        changed_.last = std::max(changed_.last, last);
        lastChange_ = LineSpan{first, last};
        ++changeCount_;
    }

    static void checkLine(int line);
    static void checkColumn(int column);
    void copyRow(int from, int to);

    // Column first, as the document model declares it: cells_[column-1][line-1].
    uint8_t cells_[kColumns][kLines];
    LineSpan changed_{1, kLines};
    quint64 changeCount_ = 0;
    LineSpan lastChange_{1, kLines};
};

} // namespace doc
