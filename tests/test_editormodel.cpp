// The editor model against a recording listener, without a window: each
// command tells what changed once, after its state is final, and the top line
// stays within the pages the keys, the wheel, the bar and a jump may reach.

#include "document/editor.h"

#include <QTest>

using doc::Editor;
using doc::TextGrid;

namespace {

// Records every notification, in order, as a short text.
class RecordingListener : public doc::EditorListener {
public:
    QStringList heard;

    void linesChanged(int first, int last) override { heard << QStringLiteral("lines %1-%2").arg(first).arg(last); }
    void caretMoved() override { heard << QStringLiteral("caret"); }
    void topLineMoved() override { heard << QStringLiteral("top"); }
    void documentReplaced() override { heard << QStringLiteral("document"); }
    // Every column is 10 pixels wide, whatever the line.
    int columnX(int column, int) override { return (column - 1) * 10; }

    // Returns what was heard since the last call, and forgets it.
    QStringList take() { return std::exchange(heard, {}); }
};

} // namespace

class TestEditorModel : public QObject {
    Q_OBJECT

    TextGrid grid_;
    RecordingListener listener_;
    Editor editor_{grid_, listener_};

    doc::EditorState &st() { return editor_.state(); }
    void downTimes(int n)
    {
        for (int i = 0; i < n; ++i)
            editor_.handleKeyDown(doc::vk::Down, 0);
    }

private slots:
    void init()
    {
        editor_.resetEditor();
        listener_.take();
    }

    void wheelTurnMovesThePageOnce()
    {
        editor_.wheelTurned(-120);
        QCOMPARE(listener_.take(), QStringList({"top"}));
        QCOMPARE(st().topLine, 2);
        QCOMPARE(st().cursorLine, 2); // rides on the first row
        editor_.wheelTurned(120);
        editor_.wheelTurned(120);
        QCOMPARE(listener_.take(), QStringList({"top"})); // the second turn finds the page at the top
        QCOMPARE(st().topLine, 1);
    }

    void keysReachTheLastLineButTheBarAndJumpsStopEarlier()
    {
        downTimes(30);
        QCOMPARE(listener_.take(), QStringList(30, "caret"));
        downTimes(2000);
        QCOMPARE(st().cursorLine, doc::kLines);
        QCOMPARE(st().topLine, doc::kLastTopLine);
        QCOMPARE(listener_.take().count("top"), doc::kLastTopLine - 1);
        // The bar's last value shows the page one line above.
        editor_.barMoved(doc::kBarMaximum);
        QCOMPARE(st().topLine, doc::kLastBarTopLine);
        QCOMPARE(st().cursorLine, doc::kLines - 1);
        QCOMPARE(listener_.take(), QStringList({"top"}));
        // A jump below that page stops there too, the caret on its line or the last row.
        editor_.jumpToLine(985);
        QCOMPARE(st().topLine, doc::kLastBarTopLine);
        QCOMPARE(st().cursorLine, 985);
        editor_.jumpToLine(doc::kLines);
        QCOMPARE(st().topLine, doc::kLastBarTopLine);
        QCOMPARE(st().cursorLine, doc::kLastBarTopLine + doc::kRows - 1);
        editor_.jumpToLine(400);
        QCOMPARE(st().topLine, 400);
        QCOMPARE(listener_.take(), QStringList(3, "top"));
        // The wheel does not take the page below the bar's last page either.
        editor_.jumpToLine(doc::kScrollDownLimit - 1);
        editor_.scrollDownOne();
        editor_.scrollDownOne();
        QCOMPARE(st().topLine, doc::kLastBarTopLine);
    }

    void editsTellWhichLinesChanged()
    {
        editor_.jumpToLine(40);
        listener_.take();
        editor_.handleKeyPress('a');
        editor_.handleKeyPress('b');
        editor_.handleKeyPress(8);
        QCOMPARE(listener_.take(), QStringList({"lines 40-40", "lines 40-40", "lines 40-40"}));
        QCOMPARE(grid_.getLine(40), QByteArray("a"));
        editor_.handleKeyDown(doc::vk::Z, unsigned(doc::Modifier::Ctrl));
        editor_.handleKeyDown(doc::vk::Y, unsigned(doc::Modifier::Ctrl));
        QCOMPARE(listener_.take(), QStringList({"lines 40-1000", "lines 40-1000"}));
        QCOMPARE(grid_.getLine(40), QByteArray("a"));
        // Backspace in column 1 changes nothing and says nothing.
        editor_.handleKeyDown(doc::vk::Home, 0);
        editor_.handleKeyPress(8);
        QCOMPARE(listener_.take(), QStringList({"caret"}));
    }

    void enterOnTheLastRowMovesThePage()
    {
        downTimes(30);
        listener_.take();
        editor_.handleKeyPress(13);
        QCOMPARE(listener_.take(), QStringList({"top"}));
        QCOMPARE(st().topLine, 2);
        QCOMPARE(st().cursorLine, 32);
    }

    void clickMeasuresThroughTheListener()
    {
        grid_.setLine("abcdef", 3);
        // Column 3 starts at x 20: a click from there to 29 goes before it.
        editor_.placeCaret(3, 29);
        QCOMPARE(st().cursorColumn, 3);
        editor_.placeCaret(3, 30);
        QCOMPARE(st().cursorColumn, 4);
        QCOMPARE(st().cursorLine, 3);
        QCOMPARE(listener_.take(), QStringList({"caret", "caret"}));
    }

    void replacingAndClearingGoBackToTheTop()
    {
        editor_.jumpToLine(500);
        editor_.handleKeyDown(doc::vk::End, 0);
        listener_.take();
        QCOMPARE(editor_.replaceDocument({"one", "two"}), 2);
        QCOMPARE(listener_.take(), QStringList({"document"}));
        QCOMPARE(st().topLine, 1);
        QCOMPARE(st().cursorLine, 1);
        editor_.jumpToLine(300);
        st().sourceMode = markup::DisplayMode::Source;
        listener_.take();
        editor_.resetEditor();
        QCOMPARE(listener_.take(), QStringList({"document"}));
        QCOMPARE(st().topLine, 1);
        QCOMPARE(st().sourceMode, markup::DisplayMode::Rendered);
        QCOMPARE(grid_.getLine(1), QByteArray());
    }
};

QTEST_APPLESS_MAIN(TestEditorModel)
#include "test_editormodel.moc"
