#pragma once
// The editor's state and every command that moves the caret or the page or
// changes the document: the keyboard commands, scrolling, the wheel, P1, caret
// placement by mouse and the jump that a link click makes. The editor owns the
// state (the top line too); it tells its EditorListener what changed and lets
// the listener decide what to show, so the commands run the same against the
// real window and against a test double.

#include "document/textgrid.h"
#include "markup/markup.h"

#include <QList>
#include <cstdint>

namespace doc {

// The editor's position and mode values. Lines and columns count from 1.
struct EditorState {
    int cursorLine = 1;    // 1..1000, the caret's document line
    int cursorColumn = 1;  // 1..121, the caret stands before this column
    int topLine = 1;       // 1..kLastTopLine, the line in the page's first row
    markup::DisplayMode sourceMode = markup::DisplayMode::Rendered; // Source shows raw characters
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

// The last top lines. Keys that take the caret past the last row reach the
// last line's page, the line count less the rows plus one; the scroll bar and
// a link jump stop one line before it, and the bar's values count from 0.
constexpr int kLastTopLine = kLines - kRows + 1;        // 970
constexpr int kLastBarTopLine = kLastTopLine - 1;       // 969
constexpr int kBarMaximum = kLastBarTopLine - 1;        // 968
// The wheel and the scroll commands move the page down only while the caret is
// above this line: with the caret on the first row the page stops at the bar's last top line.
constexpr int kScrollDownLimit = kLastBarTopLine;

// What the editor tells its client after a command: what changed, never what
// to draw. A notification comes once the state it reports is final; a command
// sends one (moveCaretTo two when it first brings its line onto the page).
class EditorListener {
public:
    virtual ~EditorListener() = default;
    // Document lines first to last changed (the caret may have moved with them).
    virtual void linesChanged(int first, int last) = 0;
    // The caret moved; the page and the document are as they were.
    virtual void caretMoved() = 0;
    // The page's top line moved (the caret with it when it left the page).
    virtual void topLineMoved() = 0;
    // The document was replaced or emptied and the editor state put back to its start.
    virtual void documentReplaced() = 0;
    // Returns the x at which column starts on line as shown (a query, for caret placement).
    virtual int columnX(int column, int line) = 0;
};

class Editor {
public:
    Editor(TextGrid &grid, EditorListener &listener);

    // Returns the editor state.
    EditorState &state() { return s_; }
    const EditorState &state() const { return s_; }
    // Returns the document grid.
    TextGrid &grid() { return grid_; }

    // Puts the editor back to its start values and empties the document.
    void resetEditor();

    // Shows the page whose top line is position + 1 (the scroll bar's value).
    void barMoved(int position);
    // Brings the caret onto the page and limits its column; notifies nothing.
    void clampCursor();
    // Moves the page up one line (wheel).
    void scrollUpOne();
    // Moves the page down one line (wheel); refused while the caret is on line 969 or below.
    void scrollDownOne();
    // A wheel turn on the page: a negative delta moves it down one line, any other up.
    void wheelTurned(int delta);
    // P1: back to the top of the document, the caret at its start.
    void goToTop();
    // Places the caret on line (the page's first line when it lies above the
    // page) before the character under x, measured by the listener's columnX.
    void placeCaret(int line, int x);
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

    void moveToTop();
    void caretLeftPage();
    void limitColumn();

    TextGrid &grid_;
    EditorListener &listener_;
    EditorState s_;
    // Where the accent cycle last placed its letter: further presses overwrite
    // only that cell, and start afresh when the caret has moved away from it.
    int cycleLine_ = 0;
    int cycleColumn_ = 0;
};

} // namespace doc
