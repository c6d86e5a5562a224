#pragma once
// The editor's state and every command that moves the caret or the page or
// changes the document: the keyboard commands, scrolling, the wheel, P1, caret
// placement by mouse and the jump that a link click makes. The commands reach
// the screen, the scroll bar and the link table only through EditorView, so
// they run the same against the real window and against a test double.

#include "document/pagegeometry.h"
#include "document/textgrid.h"
#include "markup/markup.h"

#include <QList>
#include <QPoint>
#include <cstdint>

namespace doc {

// The editor's position and mode values. Lines and columns count from 1.
struct EditorState {
    int cursorLine = 1;    // 1..1000, the caret's document line
    int cursorColumn = 1;  // 1..121, the caret stands before this column
    int topLine = 1;       // 1..970, the line in the page's first row
    render::DisplayMode sourceMode = render::DisplayMode::Rendered; // Source shows raw characters
    int altCycleIndex = 0; // 0, or the position in an accent string of the last letter placed
    int hoverTarget = 0;   // 0, or the line a click on the page would jump to
};

// Held modifier keys, as a bit set.
enum class Modifier : unsigned { None = 0, Shift = 1, Ctrl = 2, Alt = 4 };
using Modifiers = unsigned;
constexpr Modifiers operator|(Modifier a, Modifier b) { return unsigned(a) | unsigned(b); }
constexpr bool has(Modifiers m, Modifier f) { return (m & unsigned(f)) != 0; }

// Virtual key codes of the keys the editor acts on.
namespace vk {
constexpr int Alt = 18, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
              Delete = 46, E = 69, I = 73, O = 79, X = 88, Y = 89, Z = 90;
}

// The scroll bar's maximum after the reset, and where the page lies in the window.
constexpr int kBarMaximum = 968;
constexpr int kHelpboxLeft = 8, kHelpboxTop = 48, kHelpboxSize = kPageSize;
// The wheel and the scroll commands move the page down only while the caret is above this line.
constexpr int kScrollDownLimit = kLines - kRows;

// What the commands need from the window: repaints, measuring, the scroll bar
// and the link table's reset.
class EditorView {
public:
    virtual ~EditorView() = default;
    // Re-renders all rows and draws the caret.
    virtual void repaintPage() = 0;
    // Re-renders the cursor line's row and draws the caret.
    virtual void repaintCursorRow() = 0;
    // Restores the page under the caret, if the caret is shown.
    virtual void eraseCaret() = 0;
    // Draws the caret at the cursor.
    virtual void drawCaret() = 0;
    // Forgets the caret without restoring the page under it (editor reset).
    virtual void forgetCaret() = 0;
    // Returns the x at which column starts on line, in the current display mode.
    virtual int columnX(int column, int line) = 0;
    // Sets the scroll bar's maximum; may run barMoved at once.
    virtual void setBarMaximum(int maximum) = 0;
    // Sets the scroll bar's position (clamped); runs barMoved at once when it changes.
    virtual void setBarPosition(int position) = 0;
    // Returns the scroll bar's maximum.
    virtual int barMaximum() const = 0;
    // Empties the link table (editor reset).
    virtual void clearLinkTable() = 0;
};

class Editor {
public:
    Editor(TextGrid &grid, EditorView &view);

    // Returns the editor state.
    EditorState &state() { return s_; }
    const EditorState &state() const { return s_; }
    // Returns the document grid.
    TextGrid &grid() { return grid_; }

    // Puts the editor back to its start values and empties the document and link table.
    void resetEditor();

    // The scroll bar's change handler: the page follows the bar's position.
    void barMoved(int position);
    // Brings the caret onto the page and limits its column; repaints nothing.
    void clampCursor();
    // Moves the page up one line (wheel).
    void scrollUpOne();
    // Moves the page down one line (wheel); refused while the caret is on line 969 or below.
    void scrollDownOne();
    // Wheel event at a screen position, given the window's outer top-left corner.
    void wheelTurned(int delta, QPoint mouse, QPoint frameTopLeft);
    // P1: back to the top of the document.
    void goToTop();
    // Returns the document line under a page y (no lower limit).
    int lineAtY(int y) const;
    // Places the caret before the character under the page position (x, y).
    void placeCaret(int x, int y);
    // Shows line at the top of the page with the caret at its start (link follow).
    void jumpToLine(int line);
    // Puts the caret before column of line (after the line's end at most),
    // bringing the line to the top of the page when it is not shown.
    void moveCaretTo(int line, int column);

    // Replaces the document with the lines of a file and puts the page and the
    // caret back at line 1; returns the number of lines. Throws RangeError, with
    // the document untouched, when text lies beyond line 1000 or the count
    // leaves the 16-bit line range.
    int replaceDocument(const QList<QByteArray> &lines);

    // Key-down handler: virtual key code and held modifiers.
    void handleKeyDown(int key, Modifiers mods);
    // Key-press handler: one Windows-1252 character code.
    void handleKeyPress(uint8_t ch);

private:
    void keyEnd();
    void keyHome();
    void keyLeft();
    void keyRight();
    void keyUp();
    void keyDown();
    void keyDelete();
    void accentCycle(int key);
    void eraseCursorLine();
    void deleteCursorLine();
    void insertCursorLine();
    void backspace();
    void enter();
    bool typeChar(uint8_t ch);

    void moveBarThenRender(int position);
    void pageDownForCaret();
    void pageUpForCaret();
    void limitColumn();

    TextGrid &grid_;
    EditorView &view_;
    EditorState s_;
    // Where the accent cycle last placed its letter: further presses overwrite
    // only that cell, and start afresh when the caret has moved away from it.
    int cycleLine_ = 0;
    int cycleColumn_ = 0;
    // Set while a command that renders the page itself moves the bar.
    bool commandRenders_ = false;
};

} // namespace doc
