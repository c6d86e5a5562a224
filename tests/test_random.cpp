// A long random session against the real main window, with a reference model
// of the editor beside it. Keys with every modifier set and the texts X11
// attaches, typed bytes 0..255, accent cycles, mouse moves and clicks anywhere,
// wheel turns in and outside the active rectangle, scroll bar moves, the
// buttons, the source toggle and generated files (some of which the editor must
// refuse) go to both. After every single event the window's grid, caret, top
// line, scroll bar, display mode, accent cycle, hover target, caret rectangle,
// line indicator, message and link table must equal the model's exactly, and
// now and then the page must equal a fresh render of the same document.
//
// The model is written from the editing rules alone: it shares no code with the
// document, link or file libraries, and measures columns from the font widths.
//
// HELPEDIT_SEED picks the seed (a fixed default otherwise) and HELPEDIT_EVENTS
// the number of events; a failure names both and the events before it.

#include "app/mainwindow.h"
#include "base/cp1252.h"
#include "editorwindow.h"
#include "markuprules.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

constexpr quint64 kDefaultSeed = 0x5eed2024;
constexpr qint64 kDefaultEvents = 100000;
constexpr int kRecentEvents = 12;      // events named in a failure message
constexpr int kPaintEvery = 500;       // events between two runs of the pending paints
constexpr int kFullCompareEvery = 250; // events between two comparisons of the whole grid
constexpr int kRowTextLimit = 150;     // generated file lines reach past the 120 columns

// ---- the reference model ----------------------------------------------------

constexpr int kCols = 120, kLineCount = 1000, kBarMax = 968, kMaxLinks = 50;

// Virtual key codes of the bound keys.
enum Vk { VkAlt = 18, VkEnd = 35, VkHome = 36, VkLeft = 37, VkUp = 38, VkRight = 39, VkDown = 40,
          VkDelete = 46, VkE = 69, VkI = 73, VkO = 79, VkX = 88, VkY = 89, VkZ = 90 };
enum Mod { Shift = 1, Ctrl = 2, Alt = 4 };

// Key letter, then the letters Alt plus that key cycles through (Windows-1252).
const QByteArray kAccents[] = {"E\xEB\xEA\xE9\xE8", "I\xEF", "O\xF2\xF3\xF4\xF5\xF6"};

struct ModelLink {
    QByteArray name;
    int pointerX = 0, markerX = 0, pointerLine = 0, markerLine = 0;
};

class Model {
public:
    std::vector<std::array<uint8_t, kCols>> cells = std::vector<std::array<uint8_t, kCols>>(kLineCount);
    int cursorLine = 1, cursorColumn = 1, topLine = 1, sourceMode = 0, altCycleIndex = 0;
    int hoverTarget = 0, bar = 0;
    std::array<ModelLink, kMaxLinks> links{};
    int linkCount = 0;
    QString message, lineShown;
    bool linesMoved = false; // whole rows moved since the last full comparison

    uint8_t &cell(int column, int line) { return cells[size_t(line - 1)][size_t(column - 1)]; }
    int length(int line) const
    {
        const auto &row = cells[size_t(line - 1)];
        return int(std::find(row.begin(), row.end(), 0) - row.begin());
    }
    QByteArray text(int line) const
    {
        return QByteArray(reinterpret_cast<const char *>(cells[size_t(line - 1)].data()), length(line));
    }
    int columnX(int column, int line) const { return rules::columnX(text(line), column, sourceMode != 0); }

    // A key event: its virtual key, the held modifiers and the characters it types.
    void key(int vk, int mods, const QByteArray &typed)
    {
        keyDown(vk, mods);
        if (!(mods & Alt) && vk != VkDelete) // Alt with a key and Delete type nothing
            for (char c : typed)
                keyPress(uint8_t(c));
    }

    void wheel(int delta, QPoint local)
    {
        if (local.x() <= 10 || local.x() >= 790 || local.y() <= 10 || local.y() >= 790)
            return;
        if (delta < 0 && cursorLine < 969)
            scrollTo(topLine + 1);
        else if (delta >= 0 && topLine > 1)
            scrollTo(topLine - 1);
    }

    void mouseMove(int x, int y)
    {
        const int line = lineAtY(y);
        lineShown = QString::number(line);
        int value = 0;
        for (int i = 0; i < kMaxLinks && value == 0; ++i) {
            const ModelLink &e = links[size_t(i)];
            if (line == e.pointerLine && e.pointerX < x && x < e.pointerX + rules::kGlyphWidth)
                value = e.markerLine;
            else if (line == e.markerLine && e.markerX < x && x < e.markerX + rules::kGlyphWidth)
                value = 1;
        }
        hoverTarget = value;
    }

    void mousePress(int x, int y)
    {
        if (hoverTarget > 0)
            jump(hoverTarget);
        else
            placeCaret(x, y);
    }

    // The scroll bar's setter: clamps, and runs the change handler only on a change.
    void setBar(int position)
    {
        position = std::clamp(position, 0, kBarMax);
        if (position == bar)
            return;
        bar = position;
        topLine = bar + 1;
        clampCursor();
    }

    void p1()
    {
        topLine = cursorLine = cursorColumn = 1;
        setBar(0);
    }

    void clear()
    {
        sourceMode = 0;
        topLine = cursorLine = cursorColumn = 1;
        hoverTarget = 0;
        setBar(0);
        for (auto &row : cells)
            row.fill(0);
        clearLinks();
        linesMoved = true;
    }

    void link()
    {
        clearLinks();
        const int count = scanLinks();
        linkCount = count;
        message = count > 0 ? QStringLiteral("links found = %1").arg(count) : QStringLiteral("no links found");
        for (int i = 0; i < count; ++i) {
            const ModelLink &e = links[size_t(i)];
            if (e.pointerLine == e.markerLine || e.markerLine == 0) {
                message = QStringLiteral("line %1 points %2").arg(e.pointerLine)
                              .arg(e.markerLine ? QStringLiteral("to itself") : QStringLiteral("to nothing"));
                break;
            }
        }
        for (int i = 0; i < count; ++i)
            for (int j = i + 1; j < count; ++j)
                if (links[size_t(i)].name == links[size_t(j)].name)
                    message = QStringLiteral("duplicate link names");
    }

    // Opens a file of these bytes; returns false when the grid cannot take it
    // (the document and the page then stay as they were).
    bool open(const QByteArray &bytes)
    {
        const QList<QByteArray> lines = parse(bytes);
        if (lines.size() > 32767)
            return refuse();
        for (qsizetype i = kLineCount; i < lines.size(); ++i)
            if (!lines[i].isEmpty())
                return refuse();
        for (auto &row : cells)
            row.fill(0);
        for (int i = 0; i < std::min<int>(int(lines.size()), kLineCount); ++i)
            std::copy_n(lines[i].constData(), std::min<int>(int(lines[i].size()), kCols), cells[size_t(i)].begin());
        topLine = cursorColumn = cursorLine = 1;
        setBar(0);
        link();
        message = QStringLiteral("file loaded. Lines = %1").arg(lines.size());
        linesMoved = true;
        return true;
    }

    void toggleSource() { sourceMode = 1 - sourceMode; }

private:
    int cycleLine_ = 0, cycleColumn_ = 0; // where the accent cycle placed its letter

    bool refuse()
    {
        message = QStringLiteral("cannot read file");
        return false;
    }

    void keyDown(int vk, int mods)
    {
        if (vk == VkAlt) {
            altCycleIndex = 0;
            return;
        }
        if (mods == 0) {
            switch (vk) {
            case VkEnd: cursorColumn = length(cursorLine) + 1; return;
            case VkHome: cursorColumn = 1; return;
            case VkLeft: cursorColumn = std::max(1, cursorColumn - 1); return;
            case VkRight: if (cursorColumn <= length(cursorLine)) ++cursorColumn; return;
            case VkUp: if (cursorLine > 1) moveCaretLine(-1); return;
            case VkDown: if (cursorLine < kLineCount) moveCaretLine(1); return;
            case VkDelete: if (cursorColumn <= length(cursorLine)) deleteChar(cursorLine, cursorColumn); return;
            default: break;
            }
        }
        if ((mods & Alt) && (vk == VkE || vk == VkI || vk == VkO)) {
            accent(vk);
            return;
        }
        if (mods == Ctrl && vk == VkX) {
            cells[size_t(cursorLine - 1)].fill(0);
            cursorColumn = 1;
        } else if (mods == Ctrl && vk == VkY) {
            cells.erase(cells.begin() + (cursorLine - 1));
            cells.emplace_back().fill(0);
            limitColumn();
            linesMoved = true;
        } else if (mods == Ctrl && vk == VkZ) {
            cells.pop_back();
            cells.insert(cells.begin() + (cursorLine - 1), std::array<uint8_t, kCols>{});
            cursorColumn = 1;
            linesMoved = true;
        }
    }

    void keyPress(uint8_t ch)
    {
        if (ch == 8) {
            if (length(cursorLine) > 0 && cursorColumn > 1)
                deleteChar(cursorLine, --cursorColumn);
        } else if (ch == 13) {
            cursorLine = std::min(cursorLine + 1, kLineCount);
            cursorColumn = 1;
            if (cursorLine >= topLine + 31)
                scrollForCaret(topLine + 1);
        } else if (ch >= 32) {
            type(ch);
        }
    }

    bool type(uint8_t ch)
    {
        if (length(cursorLine) == kCols)
            return false;
        auto &row = cells[size_t(cursorLine - 1)];
        std::copy_backward(row.begin() + (cursorColumn - 1), row.end() - 1, row.end());
        row[size_t(cursorColumn - 1)] = ch;
        ++cursorColumn;
        return true;
    }

    void deleteChar(int line, int column)
    {
        auto &row = cells[size_t(line - 1)];
        std::copy(row.begin() + column, row.end(), row.begin() + (column - 1));
        row.back() = 0;
    }

    // A further press replaces the letter the cycle placed only while the caret
    // still stands right after it; otherwise the press starts a new cycle.
    void accent(int vk)
    {
        for (const QByteArray &chars : kAccents) {
            if (uint8_t(chars[0]) != vk)
                continue;
            const bool continues = altCycleIndex != 0 && cursorColumn > 1 && cursorLine == cycleLine_
                && cursorColumn == cycleColumn_;
            if (!continues) {
                altCycleIndex = 0;
                if (type(uint8_t(chars[1]))) {
                    altCycleIndex = 2;
                    cycleLine_ = cursorLine;
                    cycleColumn_ = cursorColumn;
                }
                return;
            }
            if (++altCycleIndex > chars.size())
                altCycleIndex = 2;
            cell(cursorColumn - 1, cursorLine) = uint8_t(chars[altCycleIndex - 1]);
            return;
        }
    }

    void limitColumn() { cursorColumn = std::min(cursorColumn, length(cursorLine) + 1); }

    void clampCursor()
    {
        cursorLine = std::clamp(cursorLine, topLine, topLine + 30);
        limitColumn();
    }

    void moveCaretLine(int step)
    {
        cursorLine += step;
        limitColumn();
        if (cursorLine < topLine || cursorLine >= topLine + 31)
            scrollForCaret(topLine + step);
    }

    // The keys scroll without clamping the caret: it is on the new page already.
    void scrollForCaret(int top)
    {
        topLine = top;
        setBar(topLine - 1);
    }

    // The wheel scrolls and keeps the caret on the page.
    void scrollTo(int top)
    {
        topLine = top;
        setBar(topLine - 1);
        clampCursor();
    }

    int lineAtY(int y) const { return std::min(topLine + (y - 5) / 25, topLine + 30); }

    // Binary search for the last column start at or left of x; a press above
    // the page places the caret on its first row.
    void placeCaret(int x, int y)
    {
        cursorLine = std::max(lineAtY(y), topLine);
        int lo = 1, hi = length(cursorLine) + 1, mid = 1, prev = 0;
        while (mid != prev) {
            prev = mid;
            mid = (lo + hi) / 2;
            const int w = columnX(mid, cursorLine);
            if (x >= w)
                lo = mid;
            if (x <= w)
                hi = mid;
        }
        cursorColumn = mid;
    }

    void jump(int line)
    {
        hoverTarget = 0;
        topLine = cursorLine = line;
        cursorColumn = 1;
        setBar(topLine - 1);
        if (topLine > kBarMax + 1) {
            topLine = kBarMax + 1;
            clampCursor();
        }
    }

    void clearLinks()
    {
        links.fill(ModelLink{});
        linkCount = 0;
    }

    // Scans every line for \@name; and \#name;, returns the number of pointers taken.
    int scanLinks()
    {
        int count = 0;
        for (int line = 1; line <= kLineCount; ++line) {
            const QByteArray t = text(line);
            enum { Outside, After, InName } state = Outside;
            bool pointer = false;
            QByteArray name;
            for (int c = 1; c <= t.size(); ++c) {
                const char ch = t[c - 1];
                if (state == Outside) {
                    state = ch == '\\' ? After : Outside;
                } else if (state == After) {
                    state = (ch == '@' || ch == '#') ? InName : Outside;
                    pointer = ch == '@';
                    name.clear();
                } else if (ch == ';') {
                    if (count < kMaxLinks && !name.isEmpty())
                        takeName(pointer, name, line, columnX(c, line) - rules::kGlyphWidth, count);
                    state = Outside;
                } else if (ch == '\\') {
                    state = Outside;
                } else {
                    name += ch;
                }
            }
        }
        return count;
    }

    void takeName(bool pointer, const QByteArray &name, int line, int x, int &count)
    {
        if (pointer) {
            links[size_t(count++)] = ModelLink{name, x, 0, line, 0};
            return;
        }
        for (ModelLink &e : links) {
            if (e.name == name) {
                e.markerLine = line;
                e.markerX = x;
                return;
            }
        }
    }

    // The lines of a help file: LF ends a line, CR is dropped, byte 26 ends the
    // file at a line start and the rest of the line inside one.
    static QList<QByteArray> parse(const QByteArray &bytes)
    {
        QList<QByteArray> lines;
        QByteArray line;
        bool started = false, skipping = false;
        for (char c : bytes) {
            if (c == '\r')
                continue;
            if (c == '\n') {
                lines.append(line);
                line.clear();
                started = skipping = false;
            } else if (c == 26 && !started) {
                return lines;
            } else if (c == 26 || skipping) {
                skipping = true;
            } else {
                line += c;
                started = true;
            }
        }
        if (started)
            lines.append(line);
        return lines;
    }
};

// ---- the session ------------------------------------------------------------

// Keys the editor binds or explicitly ignores, with the text X11 gives them unmodified.
struct KeyDef {
    int key;
    const char *text;
};
const KeyDef kKeys[] = {
    {Qt::Key_End, ""},      {Qt::Key_Home, ""},       {Qt::Key_Left, ""},     {Qt::Key_Up, ""},
    {Qt::Key_Right, ""},    {Qt::Key_Down, ""},       {Qt::Key_Delete, "\x7f"}, {Qt::Key_Alt, ""},
    {Qt::Key_E, "e"},       {Qt::Key_I, "i"},         {Qt::Key_O, "o"},       {Qt::Key_X, "x"},
    {Qt::Key_Y, "y"},       {Qt::Key_Z, "z"},         {Qt::Key_H, "h"},       {Qt::Key_M, "m"},
    {Qt::Key_Backspace, "\b"}, {Qt::Key_Return, "\r"}, {Qt::Key_Enter, "\r"},  {Qt::Key_PageUp, ""},
    {Qt::Key_PageDown, ""}, {Qt::Key_Insert, ""},     {Qt::Key_Tab, "\t"},    {Qt::Key_Escape, "\x1b"},
    {Qt::Key_Space, " "},   {Qt::Key_Shift, ""},      {Qt::Key_Control, ""},
};

// Markup pieces for generated files; the few names make pointers and markers meet.
const char *const kMarkup[] = {"\\n", "\\c", "\\f", "\\i", "\\l", "\\h", "\\p", "\\s", "\\m", "\\t",
                               "\\[", "\\\\", "\\@a;", "\\@b;", "\\@ab;", "\\#a;", "\\#b;",
                               "\\#ab;", "\\@;", "\\@a\\b;", "\\@a", "word ", "x"};

// Returns the X11 text of a letter key under the held modifiers.
QByteArray letterText(int key, Qt::KeyboardModifiers mods)
{
    const char upper = char(key);
    if (mods & Qt::ControlModifier)
        return QByteArray(1, char(upper - 'A' + 1));
    return QByteArray(1, mods & Qt::ShiftModifier ? upper : char(upper - 'A' + 'a'));
}

// Returns the virtual key code of a Qt key, 0 for keys the editor does not bind.
int virtualKeyOf(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;
    const std::pair<int, int> named[] = {{Qt::Key_End, VkEnd},     {Qt::Key_Home, VkHome}, {Qt::Key_Left, VkLeft},
                                         {Qt::Key_Up, VkUp},       {Qt::Key_Right, VkRight}, {Qt::Key_Down, VkDown},
                                         {Qt::Key_Delete, VkDelete}, {Qt::Key_Alt, VkAlt}};
    for (auto [qt, vk] : named)
        if (qt == qtKey)
            return vk;
    return 0;
}

int modBits(Qt::KeyboardModifiers mods)
{
    return (mods & Qt::ShiftModifier ? Shift : 0) | (mods & Qt::ControlModifier ? Ctrl : 0)
        | (mods & Qt::AltModifier ? Alt : 0);
}

} // namespace

class TestRandom : public QObject {
    Q_OBJECT

    enum Kind { TypeByte, KeyCommand, AltCycle, MouseMove, MouseClick, Wheel, Bar, Link, Clear,
                SourceToggle, P1, OpenFile, KindCount };

    EditorWindow win_;
    Model model_;
    QTemporaryDir dir_;
    std::mt19937_64 rng_;
    quint64 seed_ = kDefaultSeed;
    qint64 index_ = 0;
    int expectedReports_ = 0;
    int filesOpened_ = 0;
    int filesRefused_ = 0;
    int editedLine_ = 1;       // the caret's line before the event: where an edit lands
    bool compareLinks_ = false; // the event built or cleared the link table
    QStringList recent_;

    app::MainWindow &form() { return win_.form(); }
    const doc::EditorState &st() { return win_.form().editor().state(); }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(0, 99) < percent; }
    void note(const QString &what)
    {
        recent_.append(what);
        if (recent_.size() > kRecentEvents)
            recent_.removeFirst();
    }

    // ---- events: each goes to the window and to the model ------------------

    // A key as X11 delivers it; typed holds the Windows-1252 bytes of its text.
    void key(int qtKey, Qt::KeyboardModifiers mods, const QByteArray &typed)
    {
        note(QStringLiteral("key %1 mods %2 text %3")
                 .arg(qtKey, 0, 16).arg(int(mods) >> 25).arg(typed.isEmpty() ? 0 : uint8_t(typed[0])));
        QString text;
        for (char c : typed)
            text += base::cp1252ToUnicode(uint8_t(c));
        QKeyEvent e(QEvent::KeyPress, qtKey, mods, text);
        QApplication::sendEvent(&form(), &e);
        model_.key(virtualKeyOf(qtKey), modBits(mods), typed);
    }

    Qt::KeyboardModifiers randomMods()
    {
        const int bits = pick(0, 7);
        Qt::KeyboardModifiers m;
        if (bits & 1)
            m |= Qt::ShiftModifier;
        if (bits & 2)
            m |= Qt::ControlModifier;
        if (bits & 4)
            m |= Qt::AltModifier;
        return m;
    }

    void keyCommand()
    {
        const KeyDef &k = kKeys[pick(0, int(std::size(kKeys)) - 1)];
        Qt::KeyboardModifiers mods = randomMods();
        if (k.key == Qt::Key_Alt)
            mods |= Qt::AltModifier;
        // Ctrl+O and Ctrl+S open a modal file dialog, as their buttons do; their own tests cover them.
        if (app::buttonKey(k.key, mods) != app::ButtonKey::None)
            return;
        const bool letter = k.key >= Qt::Key_A && k.key <= Qt::Key_Z;
        key(k.key, mods, letter ? letterText(k.key, mods) : QByteArray(k.text));
    }

    // A key whose text is the Windows-1252 character of a byte, as a keyboard types it.
    void typeByte()
    {
        const uint8_t b = uint8_t(pick(0, 255));
        const QChar c = base::cp1252ToUnicode(b);
        key(b >= 32 ? int(c.toUpper().unicode()) : int(Qt::Key_unknown), {}, QByteArray(1, char(b)));
    }

    // Alt pressed, then a run of accent letters with Alt held.
    void altCycle()
    {
        key(Qt::Key_Alt, Qt::AltModifier, {});
        const int presses = pick(1, 7);
        static const int letters[] = {Qt::Key_E, Qt::Key_I, Qt::Key_O};
        int letter = letters[pick(0, 2)];
        for (int i = 0; i < presses && !failed(); ++i) {
            if (chance(20))
                letter = letters[pick(0, 2)];
            verifyAfterEvent();
            key(letter, Qt::AltModifier, letterText(letter, {}));
        }
    }

    Qt::MouseButton randomButton()
    {
        static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
        return buttons[pick(0, 2)];
    }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        note(QStringLiteral("mouse %1 at %2,%3 button %4 held %5")
                 .arg(int(type)).arg(pos.x()).arg(pos.y()).arg(int(button)).arg(int(held)));
        QWidget *box = form().helpbox();
        QMouseEvent e(type, pos, box->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(box, &e);
        if (type == QEvent::MouseMove)
            model_.mouseMove(pos.x(), pos.y());
        else if (type == QEvent::MouseButtonPress)
            model_.mousePress(pos.x(), pos.y());
    }

    // Anywhere on the page and up to 100 pixels beyond it on every side; often
    // on or next to a link glyph's edge.
    QPoint randomPagePoint()
    {
        if (model_.linkCount > 0 && chance(30)) {
            const ModelLink &e = model_.links[size_t(pick(0, model_.linkCount - 1))];
            const bool marker = e.markerLine && chance(40);
            const int line = marker ? e.markerLine : e.pointerLine;
            const int x = (marker ? e.markerX : e.pointerX) + pick(-1, 21);
            return {x, (line - model_.topLine) * 25 + pick(5, 29)};
        }
        return {pick(-100, 900), pick(-100, 900)};
    }

    void mouseMove()
    {
        const Qt::MouseButtons held = chance(30) ? Qt::MouseButtons(randomButton()) : Qt::NoButton;
        mouse(QEvent::MouseMove, randomPagePoint(), Qt::NoButton, held);
    }

    void mouseClick()
    {
        const QPoint at = randomPagePoint();
        const Qt::MouseButton button = randomButton();
        mouse(QEvent::MouseButtonPress, at, button, button);
        if (!failed())
            verifyAfterEvent();
        mouse(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }

    // A coordinate of the page, often on or next to the edges of the wheel's active rectangle.
    int wheelCoordinate()
    {
        static const int edges[] = {10, 11, 789, 790, 0, 799};
        return chance(25) ? edges[pick(0, 5)] : pick(-60, 860);
    }

    void wheel()
    {
        const QPoint local(wheelCoordinate(), wheelCoordinate());
        const QPoint global = form().frameGeometry().topLeft() + QPoint(8, 48) + local;
        const int delta = chance(80) ? (chance(50) ? 120 : -120) : pick(-480, 480);
        note(QStringLiteral("wheel %1 at %2,%3").arg(delta).arg(local.x()).arg(local.y()));
        QWheelEvent e(local, global, {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form().helpbox(), &e);
        model_.wheel(delta, local);
    }

    void bar()
    {
        QScrollBar *b = form().pageBar();
        if (chance(50)) {
            const int value = pick(-20, 1000);
            note(QStringLiteral("bar setValue %1").arg(value));
            b->setValue(value);
            model_.setBar(value);
            return;
        }
        static const std::pair<QAbstractSlider::SliderAction, int> actions[] = {
            {QAbstractSlider::SliderSingleStepAdd, 1}, {QAbstractSlider::SliderSingleStepSub, -1},
            {QAbstractSlider::SliderPageStepAdd, 10},  {QAbstractSlider::SliderPageStepSub, -10},
            {QAbstractSlider::SliderToMinimum, -2000}, {QAbstractSlider::SliderToMaximum, 2000}};
        const auto [action, step] = actions[pick(0, 5)];
        note(QStringLiteral("bar action %1").arg(int(action)));
        b->triggerAction(action);
        model_.setBar(model_.bar + step);
    }

    void clickButton(const char *name)
    {
        note(QString::fromLatin1(name));
        auto *button = form().findChild<QPushButton *>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        button->click();
    }

    void sourceToggle()
    {
        note(QStringLiteral("codebox"));
        QTest::mouseClick(form().codebox(), Qt::LeftButton, {}, {pick(0, 192), pick(0, 32)});
        model_.toggleSource();
    }

    // ---- generated files ---------------------------------------------------

    QByteArray randomLine()
    {
        QByteArray line;
        const int length = pick(0, kRowTextLimit);
        while (line.size() < length) {
            if (chance(20)) {
                line += kMarkup[pick(0, int(std::size(kMarkup)) - 1)];
                continue;
            }
            // Any byte; line ends, CR and the end mark only now and then.
            char c = char(pick(0, 255));
            if ((c == '\n' || c == '\r' || c == 26) && !chance(3))
                c = 'q';
            line += c;
        }
        return line;
    }

    // A help file of random lines, some with text past the grid or too many lines.
    QByteArray randomFile()
    {
        const int shape = pick(0, 19);
        const int lines = shape < 10 ? pick(0, 60) : shape < 18 ? pick(990, 1010) : 32768;
        QByteArray bytes;
        for (int n = 1; n <= lines; ++n) {
            if (n <= doc::kLines)
                bytes += randomLine();
            else if (lines < 32768 && chance(30))
                bytes += "beyond the grid " + QByteArray::number(n);
            if (n < lines || chance(70))
                bytes += chance(50) ? "\r\n" : "\n";
        }
        return bytes;
    }

    void openFile()
    {
        const QByteArray bytes = randomFile();
        const QString path = dir_.filePath(QStringLiteral("gen%1.hlp").arg(filesOpened_++));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        note(QStringLiteral("open %1 bytes").arg(bytes.size()));
        form().handle([&] { form().openFile(path); });
        if (!model_.open(bytes)) {
            ++expectedReports_;
            ++filesRefused_;
            const QString report = win_.reports.value(expectedReports_ - 1);
            QVERIFY2(report.startsWith(path + ": ") && report.endsWith(". The document was not changed."),
                     qPrintable(report));
        }
        QFile::remove(path);
    }

    void runEvent(Kind kind)
    {
        editedLine_ = model_.cursorLine;
        compareLinks_ = kind == Link || kind == Clear || kind == OpenFile;
        switch (kind) {
        case TypeByte: typeByte(); break;
        case KeyCommand: keyCommand(); break;
        case AltCycle: altCycle(); break;
        case MouseMove: mouseMove(); break;
        case MouseClick: mouseClick(); break;
        case Wheel: wheel(); break;
        case Bar: bar(); break;
        case Link: clickButton("linkBtn"); model_.link(); break;
        case Clear: clickButton("clearBtn"); model_.clear(); break;
        case SourceToggle: sourceToggle(); break;
        case P1: clickButton("topBtn"); model_.p1(); break;
        case OpenFile: openFile(); break;
        case KindCount: break;
        }
    }

    // ---- comparison with the model -------------------------------------------

    static QString differs(const char *what, const QString &real, const QString &model)
    {
        return real == model ? QString()
                             : QStringLiteral("%1 is %2, the model says %3").arg(QLatin1String(what), real, model);
    }
    static QString differs(const char *what, int real, int model)
    {
        return differs(what, QString::number(real), QString::number(model));
    }

    QString stateMismatch()
    {
        const doc::EditorState &s = st();
        const Model &m = model_;
        const std::tuple<const char *, int, int> values[] = {
            {"cursorLine", s.cursorLine, m.cursorLine},    {"cursorColumn", s.cursorColumn, m.cursorColumn},
            {"topLine", s.topLine, m.topLine},             {"pageBar", form().pageBar()->value(), m.bar},
            {"sourceMode", int(s.sourceMode == markup::DisplayMode::Source), m.sourceMode},    {"altCycleIndex", s.altCycleIndex, m.altCycleIndex},
            {"hoverTarget", s.hoverTarget, m.hoverTarget}, {"caret shown", form().pageView().caretShown(), 1},
        };
        for (auto [what, real, model] : values)
            if (real != model)
                return differs(what, real, model);
        const int x = model_.columnX(m.cursorColumn, m.cursorLine);
        const QRect caret(x - 1, (m.cursorLine - m.topLine) * 25 + 5, 2, 25);
        if (form().pageView().caretRect() != caret)
            return QStringLiteral("caret at x %1, the model says %2").arg(form().pageView().caretRect().left() + 1).arg(x);
        QString v = differs("linetext", form().linetext()->text(), m.lineShown);
        return v.isEmpty() ? differs("msgtext", form().msgtext()->text(), m.message) : v;
    }

    QString lineMismatch(int line)
    {
        doc::TextGrid &grid = form().editor().grid();
        for (int c = 1; c <= doc::kColumns; ++c)
            if (grid.cell(c, line) != model_.cell(c, line))
                return QStringLiteral("line %1 is \"%2\", the model says \"%3\" (first difference in column %4)")
                    .arg(line).arg(QString::fromLatin1(grid.getLine(line).toPercentEncoding()),
                                   QString::fromLatin1(model_.text(line).toPercentEncoding())).arg(c);
        return {};
    }

    QString gridMismatch(bool whole)
    {
        if (!whole)
            return lineMismatch(editedLine_) + lineMismatch(model_.cursorLine);
        QString v;
        for (int line = 1; line <= doc::kLines && v.isEmpty(); ++line)
            v = lineMismatch(line);
        return v;
    }

    QString linkMismatch()
    {
        const links::LinkTable &t = form().linkTable();
        if (t.linkCount() != model_.linkCount)
            return differs("linkCount", t.linkCount(), model_.linkCount);
        for (int i = 1; i <= links::kMaxLinks; ++i) {
            const links::Link &e = t.entry(i);
            const ModelLink &m = model_.links[size_t(i - 1)];
            if (e.name != m.name || e.pointerX != m.pointerX || e.markerX != m.markerX
                || e.pointerLine != m.pointerLine || e.markerLine != m.markerLine)
                return QStringLiteral("link %1 is %2 at %3,%4 to %5,%6; the model says %7 at %8,%9 to %10,%11")
                    .arg(i).arg(QString::fromLatin1(e.name)).arg(e.pointerLine).arg(e.pointerX).arg(e.markerLine)
                    .arg(e.markerX).arg(QString::fromLatin1(m.name)).arg(m.pointerLine).arg(m.pointerX)
                    .arg(m.markerLine).arg(m.markerX);
        }
        return {};
    }

    // The page as the commands left it equals a fresh render of the same
    // document and position: no command leaves a stale or missing row. Only
    // the middle 20 pixel rows of each row count: descenders and accents reach
    // a few pixels into the neighbouring rows, where a repaint of one row alone
    // clears them or blends them once more, as the row-only repaint means to.
    QString pageMismatch()
    {
        const doc::EditorState state = st();
        view::PageView fresh(form().editor().grid(), state);
        fresh.createPageBitmap();
        fresh.repaintPage();
        const QImage &page = form().pageView().pageBitmap();
        for (int y = 0; y < page.height(); ++y) {
            if (y < 5 || (y - 5) % 25 < 3 || (y - 5) % 25 > 22)
                continue;
            if (std::memcmp(page.constScanLine(y), fresh.pageBitmap().constScanLine(y), size_t(page.bytesPerLine())))
                return QStringLiteral("the page differs in pixel row %1 from a fresh render of lines %2 to %3")
                    .arg(y).arg(state.topLine).arg(state.topLine + 30);
        }
        return {};
    }

    QString reportMismatch()
    {
        if (win_.reports.size() == expectedReports_)
            return {};
        return QStringLiteral("%1 error reports, expected %2; last: %3")
            .arg(win_.reports.size()).arg(expectedReports_).arg(win_.reports.value(win_.reports.size() - 1));
    }

    void verifyAfterEvent()
    {
        const bool whole = model_.linesMoved || index_ % kFullCompareEvery == 0;
        model_.linesMoved = false;
        QString v = stateMismatch();
        if (v.isEmpty())
            v = gridMismatch(whole);
        if (v.isEmpty() && (compareLinks_ || whole))
            v = linkMismatch();
        if (v.isEmpty() && index_ % kPaintEvery == 0)
            v = pageMismatch();
        if (v.isEmpty())
            v = reportMismatch();
        if (v.isEmpty())
            return;
        const QString msg = QStringLiteral("HELPEDIT_SEED=%1, event %2: %3\nlast events:\n  %4")
                                .arg(seed_).arg(index_).arg(v, recent_.join(QStringLiteral("\n  ")));
        QFAIL(qPrintable(msg));
    }

    bool failed() const { return QTest::currentTestFailed(); }

private slots:
    void initTestCase()
    {
        bool ok = false;
        const quint64 seed = qEnvironmentVariable("HELPEDIT_SEED").toULongLong(&ok, 0);
        seed_ = ok ? seed : kDefaultSeed;
        rng_.seed(seed_);
        QVERIFY(dir_.isValid());
        QVERIFY(win_.open());
    }

    void cleanupTestCase() { win_.close(); }

    // Every event of a long seeded session leaves the window as the model says.
    void randomSessionFollowsTheModel()
    {
        bool ok = false;
        qint64 events = qEnvironmentVariable("HELPEDIT_EVENTS").toLongLong(&ok);
        if (!ok || events <= 0)
            events = kDefaultEvents;
        // Weights per event kind, in the order of Kind.
        std::discrete_distribution<int> kinds({300, 300, 40, 150, 80, 80, 30, 5, 1, 5, 5, 1});
        QElapsedTimer clock;
        clock.start();
        for (index_ = 0; index_ < events; ++index_) {
            runEvent(Kind(kinds(rng_)));
            if (!failed())
                verifyAfterEvent();
            if (failed()) {
                qWarning("HELPEDIT_SEED=%llu, failed at event %lld after:\n  %s", seed_, index_,
                         qPrintable(recent_.join(QStringLiteral("\n  "))));
                return;
            }
            if (index_ % kPaintEvery == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QCOMPARE(win_.reports.size(), expectedReports_);
        qInfo("random session: seed %llu, %lld events, %d files opened (%d refused), %lld ms",
              seed_, events, filesOpened_, filesRefused_, clock.elapsed());
    }
};

QTEST_MAIN(TestRandom)
#include "test_random.moc"
