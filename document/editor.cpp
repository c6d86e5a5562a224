// The editor's commands. Sections, in order: reset and the page's top line
// (the bar, the wheel, P1, clicks and jumps); the key-down and key-press
// dispatch; the caret keys; the editing keys; replacing the document.

#include "document/editor.h"

#include "base/checked.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace doc {

namespace {
// Key letter (upper case, the virtual key code) followed by the letters that
// Alt plus that key cycles through, in Windows-1252.
const std::array<std::string_view, 3> kAltCharTable = {
    "E\xEB\xEA\xE9\xE8",
    "I\xEF",
    "O\xF2\xF3\xF4\xF5\xF6",
};
} // namespace

Editor::Editor(TextGrid &grid, EditorListener &listener) : grid_(grid), listener_(listener) {}

void Editor::resetEditor()
{
    s_.sourceMode = markup::DisplayMode::Rendered;
    s_.hoverTarget = 0;
    moveToTop();
    grid_.clearGrid();
    listener_.documentReplaced();
}

void Editor::moveToTop()
{
    s_.topLine = 1;
    s_.cursorLine = 1;
    s_.cursorColumn = 1;
}

void Editor::barMoved(int position)
{
    s_.topLine = base::toInt16(position + 1);
    clampCursor();
    listener_.topLineMoved();
}

void Editor::limitColumn()
{
    const int len = grid_.lineLength(s_.cursorLine);
    if (len < s_.cursorColumn)
        s_.cursorColumn = len + 1;
}

void Editor::clampCursor()
{
    if (s_.cursorLine < s_.topLine)
        s_.cursorLine = s_.topLine;
    if (s_.cursorLine >= s_.topLine + kRows)
        s_.cursorLine = s_.topLine + kRows - 1;
    limitColumn();
}

void Editor::scrollUpOne()
{
    if (s_.topLine <= 1)
        return;
    s_.topLine -= 1;
    clampCursor();
    listener_.topLineMoved();
}

void Editor::scrollDownOne()
{
    // The test is on the caret, not the page: the caret rides on the first row,
    // so the page never passes line 969 this way.
    if (s_.cursorLine >= kScrollDownLimit)
        return;
    s_.topLine += 1;
    clampCursor();
    listener_.topLineMoved();
}

void Editor::wheelTurned(int delta)
{
    if (delta < 0)
        scrollDownOne();
    else
        scrollUpOne();
}

void Editor::goToTop()
{
    moveToTop();
    listener_.topLineMoved();
}

void Editor::placeCaret(int line, int x)
{
    // The line under the mouse may lie above the page while a button held on the
    // page drags outside it; the caret stays on the page.
    if (line < s_.topLine)
        line = s_.topLine;
    s_.cursorLine = line;
    s_.cursorColumn = 1;
    int lo = 1;
    int hi = grid_.lineLength(line) + 1;
    int mid = 1;
    int prev = 0;
    while (mid != prev) {
        prev = mid;
        mid = (lo + hi) / 2;
        const int w = listener_.columnX(mid, line);
        if (x >= w)
            lo = mid;
        if (x <= w)
            hi = mid;
    }
    s_.cursorColumn = mid;
    listener_.caretMoved();
}

void Editor::jumpToLine(int line)
{
    s_.hoverTarget = 0;
    // A jump stops where the scroll bar does; the caret then goes no lower than the last row.
    s_.topLine = std::min(line, kLastBarTopLine);
    s_.cursorLine = line;
    s_.cursorColumn = 1;
    clampCursor();
    listener_.topLineMoved();
}

void Editor::moveCaretTo(int line, int column)
{
    base::checkRange(line, 1, kLines);
    if (line < s_.topLine || line >= s_.topLine + kRows)
        jumpToLine(line);
    s_.cursorLine = line;
    s_.cursorColumn = std::clamp(column, 1, kColumns + 1);
    limitColumn();
    listener_.caretMoved();
}

void Editor::handleKeyDown(int key, Modifiers mods)
{
    if (key == vk::Alt) {
        s_.altCycleIndex = 0;
        return;
    }
    const bool none = mods == 0;
    const bool alt = has(mods, Modifier::Alt);
    const bool ctrlOnly = mods == unsigned(Modifier::Ctrl);
    if (none) {
        switch (key) {
        case vk::End: keyEnd(); return;
        case vk::Home: keyHome(); return;
        case vk::Left: keyLeft(); return;
        case vk::Up: keyUp(); return;
        case vk::Right: keyRight(); return;
        case vk::Down: keyDown(); return;
        case vk::Delete: keyDelete(); return;
        default: break;
        }
    }
    if (alt && (key == vk::E || key == vk::I || key == vk::O)) {
        accentCycle(key);
        return;
    }
    if (ctrlOnly) {
        switch (key) {
        case vk::X: eraseCursorLine(); return;
        case vk::Y: deleteCursorLine(); return;
        case vk::Z: insertCursorLine(); return;
        default: break;
        }
    }
}

void Editor::handleKeyPress(uint8_t ch)
{
    if (ch == 8)
        backspace();
    else if (ch == 13)
        enter();
    else if (ch >= 32)
        typeChar(ch);
}

void Editor::keyEnd()
{
    s_.cursorColumn = grid_.lineLength(s_.cursorLine) + 1;
    listener_.caretMoved();
}

void Editor::keyHome()
{
    s_.cursorColumn = 1;
    listener_.caretMoved();
}

void Editor::keyLeft()
{
    if (s_.cursorColumn > 1)
        s_.cursorColumn -= 1;
    listener_.caretMoved();
}

void Editor::keyRight()
{
    if (s_.cursorColumn <= grid_.lineLength(s_.cursorLine))
        s_.cursorColumn += 1;
    listener_.caretMoved();
}

void Editor::caretLeftPage()
{
    // The caret has left the page by one row: the page follows it by one line.
    // The page may pass the bar's last top line this way, so that line 1000 shows.
    if (s_.cursorLine < s_.topLine)
        s_.topLine -= 1;
    else if (s_.cursorLine >= s_.topLine + kRows)
        s_.topLine += 1;
    else {
        listener_.caretMoved();
        return;
    }
    listener_.topLineMoved();
}

void Editor::keyUp()
{
    if (s_.cursorLine == 1)
        return;
    s_.cursorLine -= 1;
    limitColumn();
    caretLeftPage();
}

void Editor::keyDown()
{
    if (s_.cursorLine == kLines)
        return;
    s_.cursorLine += 1;
    limitColumn();
    caretLeftPage();
}

void Editor::keyDelete()
{
    if (s_.cursorColumn > grid_.lineLength(s_.cursorLine))
        return;
    grid_.deleteChar(s_.cursorLine, s_.cursorColumn);
    listener_.linesChanged(s_.cursorLine, s_.cursorLine);
}

void Editor::accentCycle(int key)
{
    for (std::string_view chars : kAltCharTable) {
        if (uint8_t(chars[0]) != key)
            continue;
        const int len = int(chars.size());
        // A further press replaces the letter the cycle placed; when there is
        // none right before the caret (nothing was inserted, the caret moved, or
        // it stands in column 1) the press starts a new cycle instead.
        const bool continues = s_.altCycleIndex != 0 && s_.cursorColumn > 1
            && s_.cursorLine == cycleLine_ && s_.cursorColumn == cycleColumn_;
        if (!continues) {
            s_.altCycleIndex = 0;
            if (typeChar(uint8_t(chars[1]))) {
                s_.altCycleIndex = 2;
                cycleLine_ = s_.cursorLine;
                cycleColumn_ = s_.cursorColumn;
            }
            return;
        }
        s_.altCycleIndex += 1;
        if (s_.altCycleIndex > len)
            s_.altCycleIndex = 2;
        grid_.setCell(s_.cursorColumn - 1, s_.cursorLine, uint8_t(chars[s_.altCycleIndex - 1]));
        listener_.linesChanged(s_.cursorLine, s_.cursorLine);
        return;
    }
}

void Editor::eraseCursorLine()
{
    grid_.eraseLine(s_.cursorLine);
    s_.cursorColumn = 1;
    listener_.linesChanged(s_.cursorLine, s_.cursorLine);
}

void Editor::deleteCursorLine()
{
    grid_.deleteLine(s_.cursorLine);
    limitColumn();
    listener_.linesChanged(s_.cursorLine, kLines);
}

void Editor::insertCursorLine()
{
    grid_.insertLine(s_.cursorLine);
    s_.cursorColumn = 1;
    listener_.linesChanged(s_.cursorLine, kLines);
}

void Editor::backspace()
{
    if (grid_.lineLength(s_.cursorLine) == 0 || s_.cursorColumn == 1)
        return;
    grid_.deleteChar(s_.cursorLine, s_.cursorColumn - 1);
    s_.cursorColumn -= 1;
    listener_.linesChanged(s_.cursorLine, s_.cursorLine);
}

void Editor::enter()
{
    if (s_.cursorLine < kLines)
        s_.cursorLine += 1;
    s_.cursorColumn = 1;
    caretLeftPage();
}

bool Editor::typeChar(uint8_t ch)
{
    if (grid_.lineLength(s_.cursorLine) == kColumns)
        return false;
    grid_.insertChar(s_.cursorLine, s_.cursorColumn, ch);
    s_.cursorColumn += 1;
    listener_.linesChanged(s_.cursorLine, s_.cursorLine);
    return true;
}

int Editor::replaceDocument(const QList<QByteArray> &lines)
{
    grid_.loadLines(lines);
    moveToTop();
    listener_.documentReplaced();
    return int(lines.size());
}

} // namespace doc
