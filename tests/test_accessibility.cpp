// The page and the controls as a screen reader sees them: the page's text as
// shown, offsets against document columns, character boxes against the drawn
// ink, the reader moving the caret and editing, the news after each command,
// and the help viewer's text. Asked through Qt's accessibility interfaces on
// the real window.
//
// Sections: helpers; the page's text by itself (shown characters, offsets and
// columns, edits after a refresh); the window (controls, the page's text, caret
// offsets, character boxes, the reader's caret and edits, news after each
// command, the help viewer).

#include "app/accessibility.h"
#include "editorwindow.h"
#include "helpview/helptext.h"
#include "helpview/helpviewer.h"
#include "render/colors.h"
#include "render/pagetext.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

namespace {

QAccessibleInterface *accessible(QObject *o)
{
    return QAccessible::queryAccessibleInterface(o);
}

QAccessibleTextInterface *textOf(QObject *o)
{
    QAccessibleInterface *i = accessible(o);
    return i ? i->textInterface() : nullptr;
}

// A page text over fixed lines, numbered from 1.
struct FixedLines {
    QList<QByteArray> lines;
    render::PageText text{1, int(lines.size()), [this](int line) { return lines.at(line - 1); }};
};

using Changes = std::vector<std::tuple<int, QString, QString>>;

// Returns the edits of refreshing lines first to last, after checking that
// they turn the text before into the text after.
Changes refreshed(render::PageText &t, int first, int last)
{
    QString text = t.text();
    Changes out;
    for (const render::TextChange &c : t.refresh(first, last)) {
        if (text.mid(c.offset, c.removed.size()) != c.removed)
            qWarning("removed text not found at %d", c.offset);
        text.replace(c.offset, c.removed.size(), c.inserted);
        out.emplace_back(c.offset, c.removed, c.inserted);
    }
    if (text != t.text())
        out.emplace_back(-1, text, t.text()); // the edits do not give the new text
    return out;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

    EditorWindow win_;
    QTemporaryDir dir_;

    app::MainWindow &form() { return win_.form(); }
    void key(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
    {
        QKeyEvent e(QEvent::KeyPress, qtKey, mods, text);
        QApplication::sendEvent(&form(), &e);
    }
    void type(const char *s) { QTest::keyClicks(&form(), s); }
    void openLines(const QByteArray &content)
    {
        const QString path = dir_.filePath(QStringLiteral("page.hlp"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        form().handle([&] { form().openFile(path); });
    }

private slots:
    void init() { QVERIFY(win_.open()); }
    void cleanup()
    {
        const QStringList reports = win_.close();
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join(", ")));
    }

    // ---- the page's text, by itself ---------------------------------------

    void renderedTextLeavesOutCodesAndLinkNames()
    {
        struct Case {
            QByteArray line;
            QString rendered;
            std::vector<uint8_t> columns;
        };
        const Case cases[] = {
            {"a\\fb \\@go;c\\#x;d", QStringLiteral("ab cd"), {1, 4, 5, 11, 16}},
            // A page name ends at a blank, which is not shown either.
            {"\\@go c", QStringLiteral("c"), {6}},
            {"\\\\x\\", QStringLiteral("x"), {3}},
            {"\\tA\\[B\\[", QStringLiteral("AB"), {3, 6}},
            {"\xE9\x80", QStringLiteral("\u00E9\u20AC"), {1, 2}},
            {"", QString(), {}},
        };
        for (const Case &c : cases) {
            std::vector<uint8_t> columns;
            QCOMPARE(render::PageText::exposeLine(c.line, markup::DisplayMode::Rendered, &columns), c.rendered);
            QCOMPARE(columns, c.columns);
            // The source shows every byte as it is.
            QCOMPARE(render::PageText::exposeLine(c.line, markup::DisplayMode::Source, nullptr),
                     QString::fromLatin1(c.line).replace(QChar(0x80), QChar(0x20AC)));
        }
    }

    void offsetsAndColumnsMapBothWays()
    {
        FixedLines doc{{"a\\fbc", "", "\\ixy\\n"}};
        render::PageText &t = doc.text;
        QCOMPARE(t.text(), QStringLiteral("abc\n\nxy"));
        // A caret inside or after a code counts only the characters before it.
        QCOMPARE(t.offsetOf(1, 1), 0);
        QCOMPARE(t.offsetOf(1, 2), 1);
        QCOMPARE(t.offsetOf(1, 3), 1);
        QCOMPARE(t.offsetOf(1, 4), 1);
        QCOMPARE(t.offsetOf(1, 5), 2);
        QCOMPARE(t.offsetOf(1, 6), 3);
        QCOMPARE(t.offsetOf(2, 1), 4);
        QCOMPARE(t.offsetOf(3, 3), 5);
        QCOMPARE(t.offsetOf(3, 7), 7);
        // And back: a character's own column, a line's end after its last byte.
        const std::pair<int, int> back[] = {{1, 1}, {1, 4}, {1, 5}, {1, 6}, {2, 1}, {3, 3}, {3, 4}, {3, 7}};
        for (int offset = 0; offset <= 7; ++offset) {
            const render::TextPosition p = t.positionAt(offset);
            QCOMPARE(std::make_pair(p.line, p.column), back[offset]);
        }
        QCOMPARE(t.positionAt(99).column, 7);
        // Source mode counts every byte.
        t.setMode(markup::DisplayMode::Source);
        QCOMPARE(t.offsetOf(1, 3), 2);
        QCOMPARE(t.offsetOf(3, 7), 13);
    }

    void refreshReportsSmallEdits()
    {
        FixedLines doc{{"one", "tw\\fo", "three", "", "end"}};
        render::PageText &t = doc.text;
        // Nothing was read yet: nothing to report.
        doc.lines[0] = "ONE";
        QVERIFY(t.refresh(1, 1).empty());
        QCOMPARE(t.text(), QStringLiteral("ONE\ntwo\nthree\n\nend"));

        doc.lines[1] = "tw\\fxo";
        QCOMPARE(refreshed(t, 2, 2), (Changes{{6, {}, "x"}}));
        // A code typed changes nothing shown.
        doc.lines[1] = "tw\\f\\ixo";
        QVERIFY(t.refresh(2, 2).empty());
        // Repeated letters: the edit is reported once, after the longest common start.
        doc.lines[2] = "threee";
        QCOMPARE(refreshed(t, 3, 3), (Changes{{14, {}, "e"}}));
        // Lines moving up: the first line goes, an empty last line comes.
        doc.lines = {"twxo", "threee", "", "end", ""};
        QCOMPARE(refreshed(t, 1, 5), (Changes{{0, "ONE\n", {}}, {16, {}, "\n"}}));
        QCOMPARE(t.offsetOf(2, 1), 5);
        QCOMPARE(t.lineStart(5), 17);
        // Lines moving down from the second: the reverse.
        doc.lines = {"twxo", "", "threee", "", "end"};
        QCOMPARE(refreshed(t, 2, 5), (Changes{{16, "\n", {}}, {5, {}, "\n"}}));
        // Two lines edited far apart: one edit from the first change to the last.
        doc.lines = {"twxo", "", "thrEEe", "", "End"};
        QCOMPARE(refreshed(t, 1, 5), (Changes{{9, "eee\n\ne", "EEe\n\nE"}}));
        QCOMPARE(t.positionAt(16), (render::TextPosition{5, 3}));
    }

    // ---- the window --------------------------------------------------------

    void controlsAreNamedAndTyped()
    {
        const std::pair<const char *, const char *> buttons[] = {
            {"openBtn", "OPEN"}, {"saveBtn", "SAVE"}, {"linkBtn", "LINK"}, {"clearBtn", "CLEAR"},
            {"helpBtn", "HELP"}, {"topBtn", "go to top"}};
        for (const auto &[object, name] : buttons) {
            QAccessibleInterface *b = accessible(form().findChild<QPushButton *>(QLatin1String(object)));
            QVERIFY(b);
            QCOMPARE(b->role(), QAccessible::Button);
            QCOMPARE(b->text(QAccessible::Name), QLatin1String(name));
        }
        QAccessibleInterface *box = accessible(form().codebox());
        QCOMPARE(box->role(), QAccessible::CheckBox);
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("SOURCE CODE"));
        QVERIFY(box->state().checkable);
        QVERIFY(!box->state().checked);
        // The reader's toggle is the box's click.
        box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(form().editor().state().sourceMode, markup::DisplayMode::Source);
        QVERIFY(box->state().checked);

        QAccessibleInterface *page = accessible(form().helpbox());
        QCOMPARE(page->role(), QAccessible::EditableText);
        QVERIFY(page->state().editable && page->state().multiLine);
        QVERIFY(page->editableTextInterface());
        for (QLabel *label : {form().msgtext(), form().linetext()})
            QCOMPARE(accessible(label)->role(), QAccessible::StaticText);
        openLines("x\r\n");
        QCOMPARE(accessible(form().msgtext())->text(QAccessible::Name), QStringLiteral("file loaded. Lines = 1"));
    }

    void pageTextIsTheDocumentAsShown()
    {
        openLines("\\hTitle\r\nsee \\@more; here\r\n\r\n\\#more;\\fmore\r\n");
        QAccessibleTextInterface *t = textOf(form().helpbox());
        QVERIFY(t);
        const QString shown = QStringLiteral("Title\nsee  here\n\nmore");
        // Every line of the grid is in the text; the ones past the file are empty.
        QCOMPARE(t->characterCount(), int(shown.size()) + doc::kLines - 4);
        QCOMPARE(t->text(0, int(shown.size())), shown);
        QCOMPARE(t->text(int(shown.size()), -1), QString(doc::kLines - 4, QLatin1Char('\n')));
        form().handle([&] { form().sourceBoxClicked(); });
        QCOMPARE(t->text(0, 14), QStringLiteral("\\hTitle\nsee \\@"));
        // Typing shows at once, through any number of questions.
        form().handle([&] { form().sourceBoxClicked(); });
        type("A\\fB");
        QCOMPARE(t->text(0, 8), QStringLiteral("ABTitle\n"));
        QCOMPARE(t->cursorPosition(), 2);
    }

    void caretOffsetCountsOnlyShownCharacters()
    {
        QAccessibleTextInterface *t = textOf(form().helpbox());
        type("ab\\ic");
        QCOMPARE(t->cursorPosition(), 3);
        key(Qt::Key_Left);
        QCOMPARE(t->cursorPosition(), 2);
        key(Qt::Key_Left); // between the backslash and the code
        QCOMPARE(t->cursorPosition(), 2);
        key(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        type("xy");
        QCOMPARE(t->cursorPosition(), 4 + 2);
        form().handle([&] { form().sourceBoxClicked(); });
        QCOMPARE(t->cursorPosition(), 6 + 2);
    }

    void characterBoxesHoldTheDrawnInk()
    {
        openLines("\r\nWide \\fBold\\l Large\\n mix\r\n");
        QAccessibleTextInterface *t = textOf(form().helpbox());
        const QImage page = form().pageView().pageBitmap();
        QCOMPARE(page.devicePixelRatio(), 1.0);
        const QWidget *surface = form().helpbox();
        const int start = t->text(0, -1).indexOf(QLatin1Char('W'));
        const QString line = QStringLiteral("Wide Bold Large mix");
        QCOMPARE(t->text(start, start + int(line.size())), line);
        QList<QRect> boxes;
        for (int i = 0; i < line.size(); ++i) {
            const QRect global = t->characterRect(start + i);
            boxes << QRect(surface->mapFromGlobal(global.topLeft()), global.size());
        }
        // Every ink pixel of the row lies in the box of a character (one pixel
        // of overhang allowed), and every letter's box holds some of its ink.
        const int top = boxes[0].top();
        QCOMPARE(top, 30); // the second row of the page
        QVector<int> inkPerBox(boxes.size(), 0);
        for (int y = top; y < top + 25; ++y) {
            for (int x = 0; x < page.width(); ++x) {
                if (render::toBgr(page.pixel(x, y)) == render::kPageColor)
                    continue;
                bool inside = false;
                for (int b = 0; b < boxes.size(); ++b) {
                    if (boxes[b].adjusted(-1, 0, 1, 0).contains(x, y)) {
                        inside = true;
                        ++inkPerBox[b];
                    }
                }
                QVERIFY2(inside, qPrintable(QStringLiteral("ink at %1,%2 outside every box").arg(x).arg(y)));
            }
        }
        for (int b = 0; b < boxes.size(); ++b)
            QVERIFY2(line[b] == QLatin1Char(' ') || inkPerBox[b] > 0, qPrintable(QString(line[b])));
        // The point a magnifier asks about finds the character back.
        for (int b = 0; b < boxes.size(); ++b)
            QCOMPARE(t->offsetAtPoint(surface->mapToGlobal(boxes[b].center())), start + b);
        // A line off the page has no box.
        QVERIFY(t->characterRect(t->characterCount() - 1).isEmpty());
    }

    void readerMovesTheCaretAndEdits()
    {
        openLines("a\\fbc\r\n");
        QAccessibleTextInterface *t = textOf(form().helpbox());
        t->setCursorPosition(1);
        const doc::EditorState &s = form().editor().state();
        QCOMPARE(std::make_pair(s.cursorLine, s.cursorColumn), std::make_pair(1, 4));
        // An offset on a line below the page brings that line up: line 601
        // starts after "abc", its break and 599 empty lines.
        t->setCursorPosition(4 + 599);
        QCOMPARE(s.cursorLine, 601);
        QVERIFY(s.topLine <= 601 && 601 < s.topLine + doc::kRows);
        QCOMPARE(form().pageBar()->value(), s.topLine - 1);

        // The reader's edits go where its caret would: before the character
        // at the offset, after any code in front of it.
        QAccessibleEditableTextInterface *e = accessible(form().helpbox())->editableTextInterface();
        e->insertText(1, QStringLiteral("X\u00E9"));
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("a\\fX\xE9" "bc"));
        QCOMPARE(t->cursorPosition(), 3);
        // Deleting across a code leaves the code; a line break stays.
        e->deleteText(0, 2);
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("\\f\xE9" "bc"));
        e->deleteText(2, 5);
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("\\f\xE9" "b"));
        QCOMPARE(t->text(0, 4), QStringLiteral("\u00E9b\n\n"));
        e->replaceText(1, 2, QStringLiteral("Z"));
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("\\f\xE9Z"));
    }

    static Changes edits(const app::PageNews &n)
    {
        Changes out;
        for (const render::TextChange &c : n.changes)
            out.emplace_back(c.offset, c.removed, c.inserted);
        return out;
    }

    void newsAfterTypingAndMoving()
    {
        app::EditorAccessibility &a = form().accessibility();
        a.takeNews();
        type("a");
        app::PageNews n = a.takeNews();
        QCOMPARE(edits(n), (Changes{{0, {}, "a"}}));
        QVERIFY(n.caretMoved);
        QCOMPARE(n.caret, 1);
        // A code typed is no news; the letter after it is, one character on.
        type("\\f");
        QVERIFY(a.takeNews().isEmpty());
        type("b");
        n = a.takeNews();
        QCOMPARE(edits(n), (Changes{{1, {}, "b"}}));
        QCOMPARE(n.caret, 2);
        key(Qt::Key_Down);
        n = a.takeNews();
        QVERIFY(n.changes.empty());
        QVERIFY(n.caretMoved);
        QCOMPARE(n.caret, 3);
        type("c");
        QCOMPARE(edits(a.takeNews()), (Changes{{3, {}, "c"}}));
    }

    void newsAfterDeletingLinesAndSwitchingMode()
    {
        app::EditorAccessibility &a = form().accessibility();
        type("a\\fb");
        key(Qt::Key_Down);
        type("c");
        a.takeNews();
        app::PageNews n;
        // Ctrl+Y: the line and its break go, an empty line 1000 comes.
        key(Qt::Key_Up);
        key(Qt::Key_Y, Qt::ControlModifier, QStringLiteral("\x19"));
        n = a.takeNews();
        QCOMPARE(edits(n), (Changes{{0, "ab\n", {}}, {999, {}, "\n"}}));
        QCOMPARE(n.caret, 1);
        // With nothing below, the line's text is all that goes.
        key(Qt::Key_Y, Qt::ControlModifier, QStringLiteral("\x19"));
        QCOMPARE(edits(a.takeNews()), (Changes{{0, "c", {}}}));
        type("q\\iw");
        a.takeNews();
        form().handle([&] { form().sourceBoxClicked(); });
        n = a.takeNews();
        QVERIFY(n.sourceToggled);
        QCOMPARE(edits(n), (Changes{{1, {}, "\\i"}}));
        QCOMPARE(n.caret, 4);
        form().handle([&] { form().clearClicked(); });
        n = a.takeNews();
        QVERIFY(n.sourceToggled);
        QCOMPARE(edits(n), (Changes{{0, "q\\iw", {}}}));
        QCOMPARE(n.caret, 0);
    }

    void helpViewerTextIsReadable()
    {
        helpview::HelpViewer *help = form().helpform();
        QAccessibleInterface *page = accessible(help->pageSurface());
        QCOMPARE(page->role(), QAccessible::EditableText);
        QVERIFY(page->state().readOnly);
        QVERIFY(!page->editableTextInterface());
        QAccessibleTextInterface *t = page->textInterface();
        const QString all = t->text(0, -1);
        QCOMPARE(all.count(QLatin1Char('\n')), helpview::helpText().size() - 1);
        QVERIFY(!all.contains(QLatin1Char('\\')));
        QVERIFY(all.startsWith(QStringLiteral("Help Editor HELP\ndata\n120 characters per line\n")));
        QCOMPARE(t->cursorPosition(), 0);
        // The caret is where the page starts: it follows the bar, and moving it scrolls.
        help->pageBar()->setValue(10);
        const int caret = t->cursorPosition();
        QCOMPARE(all.left(caret).count(QLatin1Char('\n')), 10);
        QCOMPARE(all[caret - 1], QLatin1Char('\n'));
        QCOMPARE(t->characterRect(caret).top(), help->pageSurface()->mapToGlobal(QPoint(0, render::kPageTop)).y());
        t->setCursorPosition(all.indexOf(QLatin1Char('\n'), caret + 1) + 1);
        QCOMPARE(help->helpTopIndex(), 11);
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
