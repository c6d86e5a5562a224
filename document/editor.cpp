#include "document/editor.h"

#include "base/checked.h"

#include <QScopedValueRollback>

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

Editor::Editor(TextGrid &grid, EditorView &view) : grid_(grid), view_(view) {}

void Editor::resetEditor()
{
    s_.sourceMode = render::DisplayMode::Rendered;
    s_.topLine = 1;
    s_.cursorLine = 1;
    s_.cursorColumn = 1;
    view_.forgetCaret();
    s_.hoverTarget = 0;
    view_.setBarMaximum(kBarMaximum);
    // Every caller renders the cleared page afterwards.
    moveBarThenRender(0);
    grid_.clearGrid();
    view_.clearLinkTable();
}

void Editor::barMoved(int position)
{
    s_.topLine = base::toInt16(position + 1);
    clampCursor();
    if (!commandRenders_)
        view_.repaintPage();
}

// The bar's change handler runs inside the setter; a command that renders the
// page once it is done leaves the render to itself, so the page renders once.
void Editor::moveBarThenRender(int position)
{
    const QScopedValueRollback<bool> inCommand(commandRenders_, true);
    view_.setBarPosition(position);
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
    view_.eraseCaret();
    s_.topLine -= 1;
    moveBarThenRender(s_.topLine - 1);
    clampCursor();
    view_.repaintPage();
}

void Editor::scrollDownOne()
{
    // The test is on the caret, not the page: the caret rides on the first row,
    // so the page never passes line 969 this way.
    if (s_.cursorLine >= kScrollDownLimit)
        return;
    view_.eraseCaret();
    s_.topLine += 1;
    moveBarThenRender(s_.topLine - 1);
    clampCursor();
    view_.repaintPage();
}

void Editor::wheelTurned(int delta, QPoint mouse, QPoint frameTopLeft)
{
    if (!insideWheelRect(mouse, frameTopLeft + QPoint(kHelpboxLeft, kHelpboxTop)))
        return;
    if (delta < 0)
        scrollDownOne();
    else
        scrollUpOne();
}

void Editor::goToTop()
{
    s_.topLine = 1;
    s_.cursorLine = 1;
    s_.cursorColumn = 1;
    moveBarThenRender(0);
    view_.repaintPage();
}

int Editor::lineAtY(int y) const
{
    return doc::lineAtY(y, s_.topLine);
}

void Editor::placeCaret(int x, int y)
{
    // The line under the mouse may lie above the page while a button held on the
    // page drags outside it; the caret stays on the page.
    int line = lineAtY(y);
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
        const int w = view_.columnX(mid, line);
        if (x >= w)
            lo = mid;
        if (x <= w)
            hi = mid;
    }
    s_.cursorColumn = mid;
    view_.eraseCaret();
    view_.drawCaret();
}

void Editor::jumpToLine(int line)
{
    s_.hoverTarget = 0;
    view_.eraseCaret();
    s_.topLine = line;
    s_.cursorLine = line;
    s_.cursorColumn = 1;
    moveBarThenRender(s_.topLine - 1);
    // The bar did not move when it already stood at its maximum: keep the page
    // from reaching past the last line by hand.
    const int lastTop = view_.barMaximum() + 1;
    if (s_.topLine > lastTop) {
        s_.topLine = lastTop;
        clampCursor();
    }
    view_.repaintPage();
}

void Editor::moveCaretTo(int line, int column)
{
    base::checkRange(line, 1, kLines);
    if (line < s_.topLine || line >= s_.topLine + kRows)
        jumpToLine(line);
    view_.eraseCaret();
    s_.cursorLine = line;
    s_.cursorColumn = std::clamp(column, 1, kColumns + 1);
    limitColumn();
    view_.drawCaret();
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
    view_.eraseCaret();
    s_.cursorColumn = grid_.lineLength(s_.cursorLine) + 1;
    view_.drawCaret();
}

void Editor::keyHome()
{
    view_.eraseCaret();
    s_.cursorColumn = 1;
    view_.drawCaret();
}

void Editor::keyLeft()
{
    view_.eraseCaret();
    if (s_.cursorColumn > 1)
        s_.cursorColumn -= 1;
    view_.drawCaret();
}

void Editor::keyRight()
{
    view_.eraseCaret();
    if (s_.cursorColumn <= grid_.lineLength(s_.cursorLine))
        s_.cursorColumn += 1;
    view_.drawCaret();
}

void Editor::pageDownForCaret()
{
    // The caret has left the bottom row: scroll by one. The bar stops at its
    // maximum, so line 1000 shows with the bar still at 968.
    s_.topLine += 1;
    moveBarThenRender(s_.topLine - 1);
    view_.repaintPage();
}

void Editor::pageUpForCaret()
{
    s_.topLine -= 1;
    moveBarThenRender(s_.topLine - 1);
    view_.repaintPage();
}

void Editor::keyUp()
{
    if (s_.cursorLine == 1)
        return;
    view_.eraseCaret();
    s_.cursorLine -= 1;
    limitColumn();
    if (s_.cursorLine < s_.topLine)
        pageUpForCaret();
    else
        view_.drawCaret();
}

void Editor::keyDown()
{
    if (s_.cursorLine == kLines)
        return;
    view_.eraseCaret();
    s_.cursorLine += 1;
    limitColumn();
    if (s_.cursorLine >= s_.topLine + kRows)
        pageDownForCaret();
    else
        view_.drawCaret();
}

void Editor::keyDelete()
{
    if (s_.cursorColumn > grid_.lineLength(s_.cursorLine))
        return;
    grid_.deleteChar(s_.cursorLine, s_.cursorColumn);
    view_.repaintCursorRow();
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
        view_.repaintCursorRow();
        return;
    }
}

void Editor::eraseCursorLine()
{
    grid_.eraseLine(s_.cursorLine);
    s_.cursorColumn = 1;
    view_.repaintCursorRow();
}

void Editor::deleteCursorLine()
{
    grid_.deleteLine(s_.cursorLine);
    limitColumn();
    view_.repaintPage();
}

void Editor::insertCursorLine()
{
    grid_.insertLine(s_.cursorLine);
    s_.cursorColumn = 1;
    view_.repaintPage();
}

void Editor::backspace()
{
    if (grid_.lineLength(s_.cursorLine) == 0 || s_.cursorColumn == 1)
        return;
    view_.eraseCaret();
    grid_.deleteChar(s_.cursorLine, s_.cursorColumn - 1);
    s_.cursorColumn -= 1;
    view_.repaintCursorRow();
}

void Editor::enter()
{
    view_.eraseCaret();
    if (s_.cursorLine < kLines)
        s_.cursorLine += 1;
    s_.cursorColumn = 1;
    if (s_.cursorLine >= s_.topLine + kRows)
        pageDownForCaret();
    else
        view_.drawCaret();
}

bool Editor::typeChar(uint8_t ch)
{
    if (grid_.lineLength(s_.cursorLine) == kColumns)
        return false;
    grid_.insertChar(s_.cursorLine, s_.cursorColumn, ch);
    s_.cursorColumn += 1;
    view_.repaintCursorRow();
    return true;
}

int Editor::replaceDocument(const QList<QByteArray> &lines)
{
    grid_.loadLines(lines);
    s_.topLine = 1;
    s_.cursorColumn = 1;
    s_.cursorLine = 1;
    // The caller renders the new document.
    moveBarThenRender(0);
    return int(lines.size());
}

} // namespace doc
