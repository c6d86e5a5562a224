// Editing through the main window as a user does it: the scroll bar, the wheel,
// P1, the line indicator and caret placement by mouse, every key command with
// the key texts X11 delivers, the accent cycle, and the smallest repaint.

#include "app/mainwindow.h"
#include "editorwindow.h"
#include "base/errorreport.h"
#include "markuprules.h"

#include <QApplication>
#include <QTest>
#include <algorithm>

using Mods = Qt::KeyboardModifiers;
using Pos = std::pair<int, int>; // line, column

class TestEditing : public QObject {
    Q_OBJECT

    EditorWindow win_;
    QList<QRect> dirty_; // every rectangle the page view hands to the screen

    app::MainWindow &form() { return win_.form(); }
    doc::EditorState &st() { return win_.form().editor().state(); }
    // Returns how many pages, and how many single rows, were rendered and handed to the screen.
    int pageRenders() const { return int(dirty_.count(QRect(0, 0, 800, 800))); }
    int rowRenders() const
    {
        return int(std::count_if(dirty_.begin(), dirty_.end(), [](const QRect &r) { return r.size() == QSize(800, 25); }));
    }
    QScrollBar *bar() { return win_.form().pageBar(); }
    Pos caret() { return {st().cursorLine, st().cursorColumn}; }
    QString lineShown() { return win_.form().linetext()->text(); }

    void put(int line, const QByteArray &text) { win_.form().editor().grid().setLine(text, line); }
    void put(int first, std::initializer_list<QByteArray> lines)
    {
        for (const QByteArray &l : lines)
            put(first++, l);
    }
    QByteArray text(int line) { return win_.form().editor().grid().getLine(line); }
    QList<QByteArray> texts(int first, int count)
    {
        QList<QByteArray> out;
        for (int l = first; l < first + count; ++l)
            out << text(l);
        return out;
    }

    // One key press as the window receives it, with the text X11 attaches.
    void key(int qtKey, Mods mods = {}, const QString &text = {})
    {
        QKeyEvent e(QEvent::KeyPress, qtKey, mods, text);
        QApplication::sendEvent(&win_.form(), &e);
    }
    void alt() { key(Qt::Key_Alt, Qt::AltModifier); }
    void altKey(char letter) { key(Qt::Key_A + (letter - 'a'), Qt::AltModifier, QString(QChar(letter))); }
    void type(const char *s) { QTest::keyClicks(&win_.form(), s); }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, pos, form().helpbox()->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(form().helpbox(), &e);
    }
    void hover(int y) { mouse(QEvent::MouseMove, {100, y}, Qt::NoButton, Qt::NoButton); }
    void wheel(QPoint local, int delta)
    {
        const QPoint global = form().frameGeometry().topLeft() + QPoint(8, 48) + local;
        QWheelEvent e(local, global, {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form().helpbox(), &e);
    }
    // Scrolls line onto the page with the bar when it is off it, then clicks at x on its row.
    void click(int line, int x)
    {
        if (line < st().topLine || line > st().topLine + 30)
            bar()->setValue(std::min(line - 1, 968));
        QTest::mouseClick(form().helpbox(), Qt::LeftButton, {}, {x, 5 + 25 * (line - st().topLine) + 12});
    }
    // Puts the caret before column of line: a click, or a click and End after the text.
    void caretTo(int line, int column)
    {
        const bool end = column > form().editor().grid().lineLength(line);
        click(line, end ? 0 : form().pageView().columnX(column, line));
        if (end)
            key(Qt::Key_End);
        QCOMPARE(caret(), Pos(line, column));
    }

private slots:
    void init()
    {
        QVERIFY(win_.open());
        win_.form().pageView().setScreen([this](const QRect &r) {
            dirty_ << r;
            win_.form().helpbox()->update(r);
        });
    }
    void cleanup()
    {
        const QStringList reports = win_.close();
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join(", ")));
    }

    // ---- scrolling ----------------------------------------------------------

    void barMovesThePage_data()
    {
        // A slider action, or -1: drag the thumb to value.
        QTest::addColumn<int>("action"); QTest::addColumn<int>("value"); QTest::addColumn<int>("top");
        QTest::newRow("arrow") << int(QAbstractSlider::SliderSingleStepAdd) << 0 << 2;
        QTest::newRow("track") << int(QAbstractSlider::SliderPageStepAdd) << 0 << 11;
        QTest::newRow("thumb") << -1 << 300 << 301;
        QTest::newRow("end") << int(QAbstractSlider::SliderToMaximum) << 0 << 969;
        QTest::newRow("past the end") << -1 << 5000 << 969;
    }
    void barMovesThePage()
    {
        QFETCH(int, action); QFETCH(int, value); QFETCH(int, top);
        const int renders = pageRenders();
        if (action < 0)
            bar()->setSliderPosition(value);
        else
            bar()->triggerAction(QAbstractSlider::SliderAction(action));
        QCOMPARE(st().topLine, top);
        QCOMPARE(bar()->value(), top - 1);
        QCOMPARE(caret(), Pos(top, 1)); // rides on the first row
        QCOMPARE(pageRenders(), renders + 1);
        hover(0);
        QCOMPARE(lineShown().toInt(), top);
        hover(799);
        QCOMPARE(lineShown().toInt(), top + 30);
    }

    // Every command that moves the bar renders the page once, although the
    // bar's change handler runs inside the command.
    void everyBarMoveRendersOnce_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("top");
        QTest::newRow("Down on the last row") << "down" << 22;
        QTest::newRow("Up on the first row") << "up" << 20;
        QTest::newRow("wheel toward the user") << "wheel down" << 22;
        QTest::newRow("wheel away") << "wheel up" << 20;
        QTest::newRow("P1") << "P1" << 1;
        QTest::newRow("link jump") << "link" << 300;
        QTest::newRow("bar track click") << "bar" << 31;
    }
    void everyBarMoveRendersOnce()
    {
        QFETCH(QString, command); QFETCH(int, top);
        put(25, "\\@a; pointer");
        put(300, "\\#a; marker");
        QTest::mouseClick(form().findChild<QPushButton *>("linkBtn"), Qt::LeftButton);
        bar()->setValue(20);
        caretTo(command == "down" ? 51 : 21, 1);
        const QPoint arrow(form().linkTable().entry(1).pointerX + 10, 5 + 25 * 4 + 12);
        if (command == "link")
            mouse(QEvent::MouseMove, arrow, Qt::NoButton, Qt::NoButton);
        const int renders = pageRenders();
        if (command == "down")
            key(Qt::Key_Down);
        else if (command == "up")
            key(Qt::Key_Up);
        else if (command.startsWith("wheel"))
            wheel({400, 400}, command.endsWith("down") ? -120 : 120);
        else if (command == "P1")
            QTest::mouseClick(form().findChild<QPushButton *>("topBtn"), Qt::LeftButton);
        else if (command == "link")
            QTest::mouseClick(form().helpbox(), Qt::LeftButton, {}, arrow);
        else
            bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(st().topLine, top);
        QCOMPARE(bar()->value(), top - 1);
        QCOMPARE(pageRenders(), renders + 1);
    }

    void caretRidesOnThePage()
    {
        put(31, "abc");
        put(40, QByteArray(30, 'x'));
        put(50, "12345");
        bar()->setValue(19);
        caretTo(40, 25);
        bar()->setValue(29);
        QCOMPARE(caret(), Pos(40, 25));
        bar()->setValue(49);
        QCOMPARE(caret(), Pos(50, 6));
        bar()->setValue(0);
        QCOMPARE(caret(), Pos(31, 4));
    }

    void p1GoesToTheTop()
    {
        put(600, "some text");
        caretTo(600, 5);
        QTest::mouseClick(form().findChild<QPushButton *>("topBtn"), Qt::LeftButton);
        QCOMPARE(st().topLine, 1);
        QCOMPARE(caret(), Pos(1, 1));
        QCOMPARE(bar()->value(), 0);
        QCOMPARE(form().pageView().caretRect().top(), 5);
    }

    void wheel_data()
    {
        QTest::addColumn<int>("top"); QTest::addColumn<int>("line"); QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("delta"); QTest::addColumn<int>("topAfter"); QTest::addColumn<int>("lineAfter");
        const QPoint mid(400, 400);
        QTest::newRow("down, caret on 975") << 950 << 975 << mid << -120 << 950 << 975;
        QTest::newRow("down, caret on 960") << 950 << 960 << mid << -120 << 951 << 960;
        QTest::newRow("up") << 950 << 960 << mid << 120 << 949 << 960;
        QTest::newRow("up at the top") << 1 << 5 << mid << 120 << 1 << 5;
        QTest::newRow("down, caret rides") << 1 << 1 << mid << -120 << 2 << 2;
        QTest::newRow("up, caret rides") << 11 << 41 << mid << 120 << 10 << 40;
        QTest::newRow("big turn") << 1 << 5 << mid << -480 << 2 << 5;
        QTest::newRow("small turn") << 1 << 5 << mid << -1 << 2 << 5;
        for (auto [x, y, live] : {std::tuple{10, 400, false}, {11, 400, true}, {789, 400, true},
                                  {790, 400, false}, {400, 10, false}, {400, 11, true},
                                  {400, 789, true}, {400, 790, false}})
            QTest::addRow("at %d,%d", x, y) << 1 << 5 << QPoint(x, y) << -120 << (live ? 2 : 1) << 5;
    }
    void wheel()
    {
        QFETCH(int, top); QFETCH(int, line); QFETCH(QPoint, pos);
        QFETCH(int, delta); QFETCH(int, topAfter); QFETCH(int, lineAfter);
        bar()->setValue(top - 1);
        click(line, 0);
        wheel(pos, delta);
        QCOMPARE(st().topLine, topAfter);
        QCOMPARE(bar()->value(), topAfter - 1);
        QCOMPARE(st().cursorLine, lineAfter);
    }

    // The page that shows line 1000 is reached only by the caret; a wheel turn
    // up moves it back with the bar already at its end, and the caret rides along.
    void wheelUpFromTheLastPage()
    {
        bar()->setValue(968);
        click(999, 0);
        key(Qt::Key_Down);
        QCOMPARE(st().topLine, 970);
        wheel({400, 400}, 120);
        QCOMPARE(st().topLine, 969);
        QCOMPARE(caret(), Pos(999, 1));
        QCOMPARE(bar()->value(), 968);
    }

    // The line under the mouse, also while a held button drags it above the page.
    void lineUnderTheMouse_data()
    {
        QTest::addColumn<int>("top"); QTest::addColumn<int>("y"); QTest::addColumn<int>("line");
        for (auto [top, y, line] : {std::tuple{20, 0, 20}, {20, 29, 20}, {20, 30, 21}, {20, 754, 49},
                                    {20, 755, 50}, {20, 799, 50}, {1, -20, 0}, {1, -45, -1}})
            QTest::addRow("top %d, y %d", top, y) << top << y << line;
    }
    void lineUnderTheMouse()
    {
        QFETCH(int, top); QFETCH(int, y); QFETCH(int, line);
        QVERIFY(lineShown().isEmpty());
        bar()->setValue(top - 1);
        mouse(QEvent::MouseMove, {50, y}, Qt::NoButton, y < 0 ? Qt::LeftButton : Qt::NoButton);
        QCOMPARE(lineShown(), QString::number(line));
        key(Qt::Key_Down); // keys leave the indicator alone
        QCOMPARE(lineShown(), QString::number(line));
    }

    void clickPlacesTheCaret_data()
    {
        // The click's x is x plus the start of column aim, or x alone when aim is 0.
        QTest::addColumn<QByteArray>("line"); QTest::addColumn<int>("aim");
        QTest::addColumn<int>("x"); QTest::addColumn<int>("column");
        const QByteArray ten("abcdefghij");
        QTest::newRow("empty line") << QByteArray() << 0 << 300 << 1;
        QTest::newRow("right of 10 characters") << ten << 0 << 700 << 10;
        QTest::newRow("left of x 5") << ten << 0 << 2 << 1;
        QTest::newRow("on a column start") << ten << 4 << 0 << 4;
        QTest::newRow("inside a character") << ten << 4 << 2 << 4;
        QTest::newRow("right of 120 characters") << QByteArray(120, 'i') << 0 << 799 << 120;
    }
    void clickPlacesTheCaret()
    {
        QFETCH(QByteArray, line); QFETCH(int, aim); QFETCH(int, x); QFETCH(int, column);
        put(7, line);
        click(7, (aim ? form().pageView().columnX(aim, 7) : 0) + x);
        QCOMPARE(caret(), Pos(7, column));
    }

    void pressAboveThePageKeepsTheCaretOnIt()
    {
        put(20, "first row of the page");
        bar()->setValue(19);
        click(20, 60);
        const int column = st().cursorColumn;
        click(30, 0);
        // The left button holds the mouse on the page; the right one goes down above it.
        mouse(QEvent::MouseMove, {60, -70}, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonPress, {60, -70}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(lineShown(), QStringLiteral("17"));
        QCOMPARE(caret(), Pos(20, column));
        QCOMPARE(form().pageView().caretRect().top(), 5);
    }

    // ---- keys ---------------------------------------------------------------

    void fullLineRefusesCharacters()
    {
        const QByteArray full = QByteArray(119, 'a') + 'b';
        put(3, QByteArray(119, 'a'));
        caretTo(3, 120);
        type("b");
        key(Qt::Key_End);
        key(Qt::Key_Right);
        QCOMPARE(caret(), Pos(3, 121));
        const int rows = rowRenders();
        type("c");
        caretTo(3, 60);
        alt();
        for (int i = 0; i < 3; ++i)
            altKey('e');
        QCOMPARE(text(3), full);
        QCOMPARE(text(4), QByteArray());
        QCOMPARE(st().cursorColumn, 60);
        QCOMPARE(rowRenders(), rows);
    }

    void backspaceAndDeleteNeverJoinLines()
    {
        put(4, {"abc", "def", "ghi"});
        caretTo(5, 1);
        key(Qt::Key_Backspace, {}, "\b");
        key(Qt::Key_End);
        key(Qt::Key_Right);
        key(Qt::Key_Delete, {}, "\x7f");
        QCOMPARE(texts(4, 3), QList<QByteArray>({"abc", "def", "ghi"}));
        QCOMPARE(st().cursorColumn, 4);
        key(Qt::Key_Backspace, {}, "\b");
        QCOMPARE(text(5), QByteArray("de"));
        QCOMPARE(st().cursorColumn, 3);
    }

    void enter_data()
    {
        QTest::addColumn<int>("line"); QTest::addColumn<int>("lineAfter"); QTest::addColumn<int>("topAfter");
        QTest::newRow("middle of the page") << 10 << 11 << 1;
        QTest::newRow("last row scrolls") << 31 << 32 << 2;
        QTest::newRow("line 1000 stays") << 1000 << 1000 << 970;
    }
    void enter()
    {
        QFETCH(int, line); QFETCH(int, lineAfter); QFETCH(int, topAfter);
        put(line, "text");
        if (line == 1000) {
            caretTo(999, 1);
            key(Qt::Key_Down);
        }
        caretTo(line, 3);
        key(Qt::Key_Return, {}, "\r");
        QCOMPARE(caret(), Pos(lineAfter, 1));
        QCOMPARE(st().topLine, topAfter);
        QCOMPARE(bar()->value(), std::min(topAfter - 1, 968));
        QCOMPARE(text(line), QByteArray("text"));
    }

    void bottomOfTheDocument()
    {
        bar()->triggerAction(QAbstractSlider::SliderToMaximum);
        caretTo(999, 1);
        key(Qt::Key_Down);
        QCOMPARE(caret(), Pos(1000, 1));
        QCOMPARE(st().topLine, 970);
        QCOMPARE(bar()->value(), 968);
        hover(799);
        QCOMPARE(lineShown(), QStringLiteral("1000"));
        key(Qt::Key_Down);
        QCOMPARE(caret(), Pos(1000, 1));
        QCOMPARE(st().topLine, 970);
        click(970, 0);
        key(Qt::Key_Up);
        QCOMPARE(caret(), Pos(969, 1));
        QCOMPARE(st().topLine, 969);
        QCOMPARE(bar()->value(), 968);
    }

    void upAndDownLimitTheColumn()
    {
        put(4, {QByteArray(10, 's'), QByteArray(30, 'l')});
        caretTo(5, 25);
        key(Qt::Key_Up);
        QCOMPARE(caret(), Pos(4, 11));
        key(Qt::Key_Down);
        QCOMPARE(caret(), Pos(5, 11));
    }

    void ctrlLineCommands()
    {
        put(5, {QByteArray(30, 'a'), "bbbbbbbbbb", "ccc"});
        put(1000, "end");
        caretTo(5, 30);
        key(Qt::Key_Y, Qt::ControlModifier, "\x19");
        QCOMPARE(caret(), Pos(5, 11));
        QCOMPARE(text(5), QByteArray("bbbbbbbbbb"));
        QCOMPARE(texts(999, 2), QList<QByteArray>({"end", ""}));
        caretTo(6, 3);
        key(Qt::Key_Z, Qt::ControlModifier, "\x1a");
        QCOMPARE(caret(), Pos(6, 1));
        QCOMPARE(text(7), QByteArray("ccc"));
        type("new");
        QCOMPARE(text(6), QByteArray("new"));
        key(Qt::Key_X, Qt::ControlModifier, "\x18");
        QCOMPARE(caret(), Pos(6, 1));
        QCOMPARE(texts(6, 2), QList<QByteArray>({"", "ccc"}));
    }

    void modifiersDisableNavigation_data()
    {
        QTest::addColumn<int>("qtKey"); QTest::addColumn<Mods>("mods");
        const std::pair<int, const char *> keys[] = {
            {Qt::Key_Left, "Left"}, {Qt::Key_Right, "Right"}, {Qt::Key_Up, "Up"}, {Qt::Key_Down, "Down"},
            {Qt::Key_Home, "Home"}, {Qt::Key_End, "End"}, {Qt::Key_Delete, "Delete"}};
        const std::pair<Qt::KeyboardModifier, const char *> mods[] = {
            {Qt::ShiftModifier, "Shift"}, {Qt::ControlModifier, "Ctrl"}, {Qt::AltModifier, "Alt"}};
        for (auto [k, kn] : keys)
            for (auto [m, mn] : mods)
                QTest::addRow("%s+%s", mn, kn) << k << Mods(m);
    }
    void modifiersDisableNavigation()
    {
        QFETCH(int, qtKey); QFETCH(Mods, mods);
        put(4, {"above", "abcdef", "below"});
        caretTo(5, 3);
        key(qtKey, mods, qtKey == Qt::Key_Delete ? "\x7f" : "");
        QCOMPARE(caret(), Pos(5, 3));
        QCOMPARE(text(5), QByteArray("abcdef"));
    }

    // Presses on "xyz" with the caret before the y: a letter is that letter with
    // Alt held, 'A' the Alt key itself, '>' and '<' a click one column right and
    // into column 1. After a click a press starts a new cycle where the caret now
    // stands; in column 1 there is nothing before the caret to overwrite.
    void accentCycle_data()
    {
        QTest::addColumn<QByteArray>("presses"); QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("E once") << QByteArray("Ae") << QByteArray("x\xEByz") << 3;
        QTest::newRow("E four times") << QByteArray("Aeeee") << QByteArray("x\xE8yz") << 3;
        QTest::newRow("E five times") << QByteArray("Aeeeee") << QByteArray("x\xEByz") << 3;
        QTest::newRow("Alt again") << QByteArray("AeeeeAe") << QByteArray("x\xE8\xEByz") << 4;
        QTest::newRow("I twice") << QByteArray("Aii") << QByteArray("x\xEFyz") << 3;
        QTest::newRow("O five times") << QByteArray("Aooooo") << QByteArray("x\xF6yz") << 3;
        QTest::newRow("O six times") << QByteArray("Aoooooo") << QByteArray("x\xF2yz") << 3;
        QTest::newRow("E then O") << QByteArray("Aeo") << QByteArray("x\xF3yz") << 3;
        QTest::newRow("click moved the caret") << QByteArray("Ae>e") << QByteArray("x\xEBy\xEBz") << 5;
        QTest::newRow("click to column 1") << QByteArray("Ae<e") << QByteArray("\xEBx\xEByz") << 2;
    }
    void accentCycle()
    {
        QFETCH(QByteArray, presses); QFETCH(QByteArray, line); QFETCH(int, column);
        put(5, "xyz");
        caretTo(5, 2);
        for (char p : presses) {
            if (p == '>' || p == '<')
                caretTo(5, p == '>' ? st().cursorColumn + 1 : 1);
            else
                p == 'A' ? alt() : altKey(p);
        }
        QCOMPARE(text(5), line);
        QCOMPARE(caret(), Pos(5, column));
    }

    // Key events as X11 delivers them, on "xyz" with the caret before the y.
    void keyEvents_data()
    {
        QTest::addColumn<int>("qtKey"); QTest::addColumn<Mods>("mods"); QTest::addColumn<QString>("keyText");
        QTest::addColumn<QByteArray>("result"); QTest::addColumn<int>("column");
        const Mods none, ctrl(Qt::ControlModifier), alt(Qt::AltModifier);
        QTest::newRow("a") << int(Qt::Key_A) << none << "a" << QByteArray("xayz") << 3;
        QTest::newRow("space") << int(Qt::Key_Space) << none << " " << QByteArray("x yz") << 3;
        QTest::newRow("e acute") << 201 << none << QString(QChar(0xE9)) << QByteArray("x\xE9yz") << 3;
        QTest::newRow("euro") << 8364 << none << QString(QChar(0x20AC)) << QByteArray("x\x80yz") << 3;
        QTest::newRow("no code page byte") << 0 << none << QString(QChar(0x0105)) << QByteArray("xyz") << 2;
        QTest::newRow("Alt+E") << int(Qt::Key_E) << alt << "e" << QByteArray("x\xEByz") << 3;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << none << "\x7f" << QByteArray("xz") << 2;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << "\b" << QByteArray("yz") << 1;
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << "\x18" << QByteArray() << 1;
        QTest::newRow("Ctrl+Shift+X") << int(Qt::Key_X) << (ctrl | Qt::ShiftModifier) << "\x18" << QByteArray("xyz") << 2;
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ctrl << "\x01" << QByteArray("xyz") << 2;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << none << "\t" << QByteArray("xyz") << 2;
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << "" << QByteArray("xyz") << 2;
        QTest::newRow("Insert") << int(Qt::Key_Insert) << none << "" << QByteArray("xyz") << 2;
    }
    void keyEvents()
    {
        QFETCH(int, qtKey); QFETCH(Mods, mods); QFETCH(QString, keyText);
        QFETCH(QByteArray, result); QFETCH(int, column);
        put(5, "xyz");
        caretTo(5, 2);
        if (mods & Qt::AltModifier)
            alt();
        key(qtKey, mods, keyText);
        QCOMPARE(text(5), result);
        QCOMPARE(caret(), Pos(5, column));
    }

    // What dead keys, compose sequences and input methods commit, on "xyz"
    // with the caret before the y: each character typed as its own key would.
    void inputMethodCommits_data()
    {
        QTest::addColumn<QString>("commit"); QTest::addColumn<QString>("preedit");
        QTest::addColumn<QByteArray>("result"); QTest::addColumn<int>("column");
        QTest::newRow("dead circumflex, e") << "\u00EA" << "" << QByteArray("x\xEAyz") << 3;
        QTest::newRow("dead diaeresis, i") << "\u00EF" << "" << QByteArray("x\xEFyz") << 3;
        QTest::newRow("compose, apostrophe, e") << "\u00E9" << "" << QByteArray("x\xE9yz") << 3;
        QTest::newRow("compose, C, =") << "\u20AC" << "" << QByteArray("x\x80yz") << 3;
        QTest::newRow("a whole word") << "\u00E9t\u00E9" << "" << QByteArray("x\xE9t\xE9yz") << 5;
        QTest::newRow("no code page byte") << "a\u0105b" << "" << QByteArray("xabyz") << 4;
        QTest::newRow("pre-edit only") << "" << "\u00B4" << QByteArray("xyz") << 2;
    }
    void inputMethodCommits()
    {
        QFETCH(QString, commit); QFETCH(QString, preedit); QFETCH(QByteArray, result); QFETCH(int, column);
        put(5, "xyz");
        caretTo(5, 2);
        QVERIFY(form().testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(form().inputMethodQuery(Qt::ImEnabled).toBool());
        QInputMethodEvent e(preedit, {});
        e.setCommitString(commit);
        QApplication::sendEvent(&form(), &e);
        QCOMPARE(text(5), result);
        QCOMPARE(caret(), Pos(5, column));
        // A candidate window would open at the caret: its rectangle in the window.
        const QRect at = form().inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QCOMPARE(at.topLeft(), form().helpbox()->pos() + QPoint(form().pageView().columnX(column, 5) - 1, 5 + 25 * 4));
    }

    // A commit on a full line is refused like a typed key; a committed
    // character ends an accent cycle as a typed one does.
    void inputMethodFollowsTheTypingRules()
    {
        put(5, QByteArray(120, 'w'));
        caretTo(5, 3);
        QInputMethodEvent full;
        full.setCommitString(QStringLiteral("\u00EA"));
        QApplication::sendEvent(&form(), &full);
        QCOMPARE(text(5), QByteArray(120, 'w'));
        QCOMPARE(caret(), Pos(5, 3));

        put(6, "xyz");
        caretTo(6, 2);
        alt();
        altKey('e');
        QInputMethodEvent typed;
        typed.setCommitString(QStringLiteral("\u00EA"));
        QApplication::sendEvent(&form(), &typed);
        altKey('e');
        QCOMPARE(text(6), QByteArray("x\xEB\xEA\xEByz"));
    }

    void keysReachTheEditorAfterAClick()
    {
        QVERIFY(QTest::qWaitForWindowActive(&win_.form()));
        QWidget *controls[] = {form().findChild<QPushButton *>("linkBtn"), form().codebox(), bar(),
                               form().findChild<QPushButton *>("topBtn")};
        QByteArray typed;
        for (QWidget *w : controls) {
            QTest::mouseClick(w, Qt::LeftButton, {}, {5, 5});
            QTest::keyClick(form().windowHandle(), Qt::Key_K); // to whatever has the focus
            QCOMPARE(text(1), typed += 'k');
        }
    }

    // Each command from another state than the tests above use: the page scrolled
    // to line 500 with the bar away from 0, the source view on, and the caret put
    // before column 6 of "\\hxyz\\[q" by a click right of the text, Right and
    // three presses of Left. Expected texts are of the lines before, at and after
    // the caret's; the caret's x is measured by the rules in the source view.
    void commandsFromAScrolledSourceView_data()
    {
        QTest::addColumn<int>("qtKey"); QTest::addColumn<Mods>("mods"); QTest::addColumn<QString>("keyText");
        QTest::addColumn<int>("line"); QTest::addColumn<Pos>("after"); QTest::addColumn<int>("top");
        QTest::addColumn<QList<QByteArray>>("expected");
        const Mods none, ctrl(Qt::ControlModifier), altMod(Qt::AltModifier);
        const QByteArray a = "\\fab\\tcd", b = "\\hxyz\\[q", c = "w";
        const auto row = [&](const char *name, int k, Mods m, const char *t, int line, Pos after, int top,
                             QList<QByteArray> texts) {
            QTest::newRow(name) << k << m << QString::fromLatin1(t) << line << after << top << texts;
        };
        row("type", Qt::Key_K, none, "k", 511, {511, 7}, 500, {a, "\\hxyzk\\[q", c});
        row("Backspace", Qt::Key_Backspace, none, "\b", 511, {511, 5}, 500, {a, "\\hxy\\[q", c});
        row("Delete", Qt::Key_Delete, none, "\x7f", 511, {511, 6}, 500, {a, "\\hxyz[q", c});
        row("Left", Qt::Key_Left, none, "", 511, {511, 5}, 500, {a, b, c});
        row("Right", Qt::Key_Right, none, "", 511, {511, 7}, 500, {a, b, c});
        row("Home", Qt::Key_Home, none, "", 511, {511, 1}, 500, {a, b, c});
        row("End", Qt::Key_End, none, "", 511, {511, 9}, 500, {a, b, c});
        row("Up", Qt::Key_Up, none, "", 511, {510, 6}, 500, {a, b, c});
        row("Down to a short line", Qt::Key_Down, none, "", 511, {512, 2}, 500, {a, b, c});
        row("Enter", Qt::Key_Return, none, "\r", 511, {512, 1}, 500, {a, b, c});
        row("Ctrl+X", Qt::Key_X, ctrl, "\x18", 511, {511, 1}, 500, {a, "", c});
        row("Ctrl+Y", Qt::Key_Y, ctrl, "\x19", 511, {511, 2}, 500, {a, c, ""});
        row("Ctrl+Z", Qt::Key_Z, ctrl, "\x1a", 511, {511, 1}, 500, {a, "", b});
        row("Alt+O twice", Qt::Key_O, altMod, "o", 511, {511, 7}, 500, {a, "\\hxyz\xF3\\[q", c});
        row("Up on the top row", Qt::Key_Up, none, "", 500, {499, 6}, 499, {a, b, c});
        row("Down on the bottom row", Qt::Key_Down, none, "", 530, {531, 2}, 501, {a, b, c});
        row("Enter on the bottom row", Qt::Key_Return, none, "\r", 530, {531, 1}, 501, {a, b, c});
    }
    void commandsFromAScrolledSourceView()
    {
        QFETCH(int, qtKey); QFETCH(Mods, mods); QFETCH(QString, keyText);
        QFETCH(int, line); QFETCH(Pos, after); QFETCH(int, top); QFETCH(QList<QByteArray>, expected);
        put(line - 1, {"\\fab\\tcd", "\\hxyz\\[q", "w"});
        bar()->setValue(499);
        QTest::mouseClick(form().codebox(), Qt::LeftButton);
        click(line, 799);
        key(Qt::Key_Right);
        for (int i = 0; i < 3; ++i)
            key(Qt::Key_Left);
        QCOMPARE(caret(), Pos(line, 6));
        if (mods & Qt::AltModifier) {
            alt();
            key(qtKey, mods, keyText); // the first press places ò, the second replaces it
        }
        key(qtKey, mods, keyText);
        QCOMPARE(caret(), after);
        QCOMPARE(texts(line - 1, 3), expected);
        QCOMPARE(st().topLine, top);
        QCOMPARE(bar()->value(), top - 1);
        QCOMPARE(st().sourceMode, markup::DisplayMode::Source);
        const int x = rules::columnX(text(after.first), after.second, true);
        QCOMPARE(form().pageView().caretRect(), QRect(x - 1, 5 + 25 * (after.first - top), 2, 25));
    }

    // ---- smallest repaint ---------------------------------------------------

    // With the caret on the page's bottom row, in column 3 of "ghijkl".
    void repaint_data()
    {
        QTest::addColumn<int>("qtKey"); QTest::addColumn<Mods>("mods"); QTest::addColumn<QString>("keyText");
        QTest::addColumn<QString>("kind"); // caret, row or page
        const Mods none, ctrl(Qt::ControlModifier);
        QTest::newRow("type") << int(Qt::Key_Q) << none << "q" << "row";
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << "\b" << "row";
        QTest::newRow("Delete") << int(Qt::Key_Delete) << none << "\x7f" << "row";
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << "\x18" << "row";
        QTest::newRow("Alt+O") << int(Qt::Key_O) << Mods(Qt::AltModifier) << "o" << "row";
        QTest::newRow("Right") << int(Qt::Key_Right) << none << "" << "caret";
        QTest::newRow("Left") << int(Qt::Key_Left) << none << "" << "caret";
        QTest::newRow("Home") << int(Qt::Key_Home) << none << "" << "caret";
        QTest::newRow("End") << int(Qt::Key_End) << none << "" << "caret";
        QTest::newRow("Up") << int(Qt::Key_Up) << none << "" << "caret";
        QTest::newRow("Down") << int(Qt::Key_Down) << none << "" << "page";
        QTest::newRow("Enter") << int(Qt::Key_Return) << none << "\r" << "page";
        QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << ctrl << "\x19" << "page";
        QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << ctrl << "\x1a" << "page";
    }
    void repaint()
    {
        QFETCH(int, qtKey); QFETCH(Mods, mods); QFETCH(QString, keyText); QFETCH(QString, kind);
        put(30, {"abcdef", "ghijkl"});
        caretTo(31, 3);
        if (mods & Qt::AltModifier)
            alt();
        const QRect oldCaret = form().pageView().caretRect();
        dirty_.clear();
        key(qtKey, mods, keyText);
        const QRect newCaret = form().pageView().caretRect();
        QVERIFY(!dirty_.isEmpty());
        QCOMPARE(dirty_.last(), newCaret);
        if (kind == "caret") {
            QCOMPARE(dirty_, QList<QRect>({oldCaret, newCaret}));
        } else if (kind == "row") {
            // An erased caret may come first; the caret's row is the page's last.
            QVERIFY(dirty_.size() == 2 || dirty_.size() == 3);
            QCOMPARE(dirty_.at(dirty_.size() - 2), QRect(0, 5 + 25 * 30, 800, 25));
            QCOMPARE(rowRenders(), 1);
            QCOMPARE(pageRenders(), 0);
        } else {
            QVERIFY(dirty_.contains(QRect(0, 0, 800, 800)));
            QCOMPARE(pageRenders(), 1);
            QCOMPARE(rowRenders(), 0);
        }
    }
};

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
