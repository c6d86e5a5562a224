#include "document/textgrid.h"

#include "base/checked.h"

#include <cstring>

namespace doc {

LineFit linesFit(const QList<QByteArray> &lines, int gridLines)
{
    if (lines.size() > kMaxLineNumber)
        return LineFit::TooManyLines;
    const bool textBeyond = std::any_of(lines.begin() + std::min<qsizetype>(gridLines, lines.size()), lines.end(),
                                        [](const QByteArray &line) { return !line.isEmpty(); });
    return textBeyond ? LineFit::TextBeyondGrid : LineFit::Fits;
}

TextGrid::TextGrid()
{
    clearGrid();
}

void TextGrid::checkLine(int line)
{
    base::checkRange(line, 1, kLines);
}

void TextGrid::checkColumn(int column)
{
    base::checkRange(column, 1, kColumns);
}

uint8_t TextGrid::cell(int column, int line) const
{
    checkColumn(column);
    checkLine(line);
    return cells_[column - 1][line - 1];
}

void TextGrid::setCell(int column, int line, uint8_t value)
{
    checkColumn(column);
    checkLine(line);
    cells_[column - 1][line - 1] = value;
    noteChanged(line, line);
}

int TextGrid::lineLength(int line) const
{
    checkLine(line);
    int n = 0;
    while (n < kColumns && cells_[n][line - 1] != 0)
        ++n;
    return n;
}

QByteArray TextGrid::getLine(int line) const
{
    const int n = lineLength(line);
    QByteArray text(n, Qt::Uninitialized);
    for (int c = 0; c < n; ++c)
        text[c] = static_cast<char>(cells_[c][line - 1]);
    return text;
}

void TextGrid::setLine(const QByteArray &text, int line)
{
    checkLine(line);
    const int n = std::min<int>(text.size(), kColumns);
    for (int c = 0; c < n; ++c)
        cells_[c][line - 1] = static_cast<uint8_t>(text[c]);
    noteChanged(line, line);
}

void TextGrid::loadLines(const QList<QByteArray> &lines)
{
    // Check everything before touching the grid, so that a file the grid cannot
    // hold leaves the document as it was.
    if (linesFit(lines) != LineFit::Fits)
        throw base::RangeError();
    clearGrid();
    const qsizetype shown = std::min<qsizetype>(lines.size(), kLines);
    for (qsizetype i = 0; i < shown; ++i)
        setLine(lines[i], int(i + 1));
}

void TextGrid::clearGrid()
{
    std::memset(cells_, 0, sizeof cells_);
    noteChanged(1, kLines);
}

bool TextGrid::insertChar(int line, int column, uint8_t ch)
{
    checkColumn(column);
    if (lineLength(line) == kColumns)
        return false;
    for (int k = kColumns; k >= column + 1; --k)
        cells_[k - 1][line - 1] = cells_[k - 2][line - 1];
    cells_[column - 1][line - 1] = ch;
    noteChanged(line, line);
    return true;
}

void TextGrid::deleteChar(int line, int column)
{
    checkColumn(column);
    checkLine(line);
    for (int k = column; k <= kColumns - 1; ++k)
        cells_[k - 1][line - 1] = cells_[k][line - 1];
    cells_[kColumns - 1][line - 1] = 0;
    noteChanged(line, line);
}

void TextGrid::eraseLine(int line)
{
    checkLine(line);
    for (int c = 0; c < kColumns; ++c)
        cells_[c][line - 1] = 0;
    noteChanged(line, line);
}

void TextGrid::copyRow(int from, int to)
{
    for (int c = 0; c < kColumns; ++c)
        cells_[c][to - 1] = cells_[c][from - 1];
}

void TextGrid::deleteLine(int line)
{
    checkLine(line);
    for (int i = line; i <= kLines - 1; ++i)
        copyRow(i + 1, i);
    eraseLine(kLines);
    noteChanged(line, kLines);
}

void TextGrid::insertLine(int line)
{
    checkLine(line);
    for (int i = kLines; i >= line + 1; --i)
        copyRow(i - 1, i);
    eraseLine(line);
    noteChanged(line, kLines);
}

int TextGrid::lastNonEmptyLine() const
{
    for (int line = kLines; line >= 1; --line) {
        if (cells_[0][line - 1] != 0)
            return line;
    }
    return 0;
}

QList<QByteArray> TextGrid::textLines() const
{
    QList<QByteArray> lines;
    const int last = lastNonEmptyLine();
    for (int line = 1; line <= last; ++line)
        lines.append(getLine(line));
    return lines;
}

LineSpan TextGrid::takeChangedLines()
{
    const LineSpan span = changed_;
    // Empty, with first past every line: the next change sets both ends.
    changed_ = LineSpan{kLines + 1, 0};
    return span;
}

} // namespace doc
