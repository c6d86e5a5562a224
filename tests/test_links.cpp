// Link table: scanning, checking and hover, driven by a fake list of lines.

#include "app/mainwindow.h"
#include "editorwindow.h"
#include "base/checked.h"
#include "base/errorreport.h"
#include "links/linktable.h"

#include <QtTest>

using links::LinkTable;
using links::ScanSource;

namespace {

// Every column 10 pixels wide from x = 5; the line is added so that a swap
// of column and line would show in the stored positions.
int fakeX(int column, int line)
{
    return 5 + 10 * (column - 1) + line;
}

ScanSource sourceOf(const QList<QByteArray> &lines, int firstLine = 1)
{
    ScanSource src;
    src.firstLine = firstLine;
    src.lastLine = firstLine + int(lines.size()) - 1;
    src.lineText = [lines, firstLine](int line) { return lines.at(line - firstLine); };
    src.columnX = fakeX;
    return src;
}

} // namespace

class TestLinks : public QObject {
    Q_OBJECT
private slots:
    void messages_data();
    void messages();
    void fullTableIgnoresLaterPointersAndMarkers();
    void markersGoToFirstEntryLastOneWins();
    void positionsAreGlyphLeftEdges();
    void hover();
    void zeroBasedLines();
    void entryOutOfRange();
};

void TestLinks::messages_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QString>("message");

    QTest::newRow("markers alone") << QList<QByteArray>{"text \\#a; more", "", "\\#b;"}
                                   << "no links found";
    QTest::newRow("pointer then marker, one line") << QList<QByteArray>{"", "", "\\@a; \\#a;"}
                                                   << "line 3 points to itself";
    QTest::newRow("marker then pointer, one line") << QList<QByteArray>{"", "\\#a; \\@a;"}
                                                   << "line 2 points to nothing";
    QTest::newRow("good link") << QList<QByteArray>{"\\@go;", "x", "\\#go;"} << "links found = 1";
    QTest::newRow("empty name") << QList<QByteArray>{"\\@;", "\\#;"} << "no links found";
    QTest::newRow("backslash drops name") << QList<QByteArray>{"\\@ab\\@c;", "\\#c;"}
                                          << "no links found";
    QTest::newRow("escaped backslash") << QList<QByteArray>{"\\\\@a;", "\\#a;"} << "no links found";
    QTest::newRow("name runs not past line end")
        << QList<QByteArray>{"\\@a", "b;", "\\#b;", "\\#ab;"} << "no links found";
    QTest::newRow("open name does not turn into a marker")
        << QList<QByteArray>{"\\@b;", "\\@a", "b;"} << "line 1 points to nothing";
    QTest::newRow("duplicate beats points to nothing")
        << QList<QByteArray>{"\\@a;", "\\@a;", "\\#a;"} << "duplicate link names";
    QTest::newRow("duplicates apart")
        << QList<QByteArray>{"\\@a;", "\\@b;", "\\@c;", "\\@a;", "\\#a;", "\\#b;", "\\#c;"} << "duplicate link names";
    QTest::newRow("case differs") << QList<QByteArray>{"\\@Go;", "\\@go;", "\\#go;", "\\#Go;"}
                                  << "links found = 2";
    QTest::newRow("trailing space counts") << QList<QByteArray>{"\\@a ;", "\\#a;"}
                                           << "line 1 points to nothing";
    QTest::newRow("first failing entry reported")
        << QList<QByteArray>{"\\@a;", "\\@b;", "\\@c;", "\\#a;"} << "line 2 points to nothing";
}

void TestLinks::messages()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QString, message);
    LinkTable t;
    QCOMPARE(t.buildLinkTable(sourceOf(lines)), message);
}

void TestLinks::fullTableIgnoresLaterPointersAndMarkers()
{
    // 51 links, each pointer on the line above its marker. Taking the 50th
    // pointer fills the table, so even its own marker is ignored.
    QList<QByteArray> lines;
    for (int i = 1; i <= 51; ++i)
        lines << "\\@n" + QByteArray::number(i) + ";" << "\\#n" + QByteArray::number(i) + ";";
    LinkTable t;
    QCOMPARE(t.buildLinkTable(sourceOf(lines)), QString("line 99 points to nothing"));
    QCOMPARE(t.linkCount(), 50);
    QCOMPARE(t.entry(49).markerLine, 98);
    QCOMPARE(t.entry(50).name, QByteArray("n50"));
    QCOMPARE(t.entry(50).markerLine, 0);
    QCOMPARE(t.findLink("n51").first, false);

    // 50 pointers on top fill the table before any marker is met.
    lines.clear();
    for (int i = 1; i <= 50; ++i)
        lines << "\\@n" + QByteArray::number(i) + ";";
    for (int i = 1; i <= 50; ++i)
        lines << "\\#n" + QByteArray::number(i) + ";";
    t.clearLinkTable();
    QCOMPARE(t.buildLinkTable(sourceOf(lines)), QString("line 1 points to nothing"));
    for (int i = 1; i <= 50; ++i)
        QCOMPARE(t.entry(i).markerLine, 0);
}

void TestLinks::markersGoToFirstEntryLastOneWins()
{
    QList<QByteArray> lines(30);
    lines[4] = "\\@a;";
    lines[9] = "\\@a;";
    lines[19] = "\\#a;";
    lines[29] = "\\#a;";
    LinkTable t;
    QCOMPARE(t.buildLinkTable(sourceOf(lines)), QString("duplicate link names"));
    QCOMPARE(t.entry(1).markerLine, 30);
    QCOMPARE(t.entry(2).markerLine, 0);
    QCOMPARE(t.hoverValue(20, t.entry(1).markerX + 10, 20, 20), 0);
    QCOMPARE(t.hoverValue(30, t.entry(1).markerX + 10, 20, 20), 1);
}

void TestLinks::positionsAreGlyphLeftEdges()
{
    // ";" of the pointer in column 7 of line 1, of the marker in column 9 of line 2.
    ScanSource src = sourceOf({"ab \\@x;", "abcd \\#x;"});
    src.pointerWidth = 20;
    src.markerWidth = 16;
    LinkTable t;
    t.buildLinkTable(src);
    QCOMPARE(t.entry(1).pointerLine, 1);
    QCOMPARE(t.entry(1).pointerX, fakeX(7, 1) - 20);
    QCOMPARE(t.entry(1).markerLine, 2);
    QCOMPARE(t.entry(1).markerX, fakeX(9, 2) - 16);
}

void TestLinks::hover()
{
    LinkTable t;
    t.buildLinkTable(sourceOf({"\\@a; \\@lost;", "", "\\#a;"}));
    const int px = t.entry(1).pointerX;
    const int mx = t.entry(1).markerX;
    QCOMPARE(t.hoverValue(1, px, 20, 20), 0);
    QCOMPARE(t.hoverValue(1, px + 1, 20, 20), 3);
    QCOMPARE(t.hoverValue(1, px + 19, 20, 20), 3);
    QCOMPARE(t.hoverValue(1, px + 20, 20, 20), 0);
    QCOMPARE(t.hoverValue(2, px + 1, 20, 20), 0);
    QCOMPARE(t.hoverValue(3, mx + 1, 20, 20), 1);
    QCOMPARE(t.hoverValue(3, mx + 19, 20, 19), 0);
    QCOMPARE(t.entry(2).name, QByteArray("lost"));
    QCOMPARE(t.hoverValue(1, t.entry(2).pointerX + 10, 20, 20), 0);
}

void TestLinks::zeroBasedLines()
{
    LinkTable t;
    const int n = t.scan(sourceOf({"\\@a;", "", "\\#a;"}, 0));
    QCOMPARE(n, 1);
    QCOMPARE(t.linkCount(), 0);
    QCOMPARE(t.entry(1).pointerLine, 0);
    QCOMPARE(t.entry(1).markerLine, 2);
    QCOMPARE(t.entry(1).pointerX, fakeX(4, 0) - 20);
    QCOMPARE(t.hoverValue(0, t.entry(1).pointerX + 1, 20, 20), 2);

    // Empty slots have lines 0 and x 0: line 0 near x 0 must stay inert.
    LinkTable empty;
    QCOMPARE(empty.hoverValue(0, 10, 20, 20), 0);
}

void TestLinks::entryOutOfRange()
{
    LinkTable t;
    QVERIFY_THROWS_EXCEPTION(base::RangeError, t.entry(0));
    QVERIFY_THROWS_EXCEPTION(base::RangeError, t.entry(51));
}

// ---- the link table in the editor window ---------------------------------

class CursorChanges : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::CursorChange)
            ++count;
        return false;
    }
};

class TestLinkWindow : public QObject {
    Q_OBJECT

    EditorWindow win_;

    app::MainWindow &form() { return win_.form(); }
    void pressLink() { QTest::mouseClick(form().findChild<QPushButton *>("linkBtn"), Qt::LeftButton); }
    // The page position of a row's line: y in the middle of its row.
    int rowY(int line) { return (line - win_.form().editor().state().topLine) * 25 + 5 + 12; }
    void moveTo(int x, int y) { QTest::mouseMove(form().helpbox(), QPoint(x, y)); }
    void clickAt(int x, int y) { QTest::mouseClick(form().helpbox(), Qt::LeftButton, {}, QPoint(x, y)); }

private slots:
    void init()
    {
        QVERIFY(win_.open());
    }
    void cleanup()
    {
        const QStringList reports = win_.close();
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join(", ")));
    }

    void linkReportsAndClearEmpties()
    {
        form().editor().grid().setLine("\\@a; x", 1);
        form().editor().grid().setLine("\\#a;", 5);
        pressLink();
        QCOMPARE(form().msgtext()->text(), QStringLiteral("links found = 1"));
        QCOMPARE(form().linkTable().entry(1).markerLine, 5);
        QTest::mouseClick(form().findChild<QPushButton *>("clearBtn"), Qt::LeftButton);
        QCOMPARE(form().linkTable().linkCount(), 0);
        QVERIFY(form().linkTable().entry(1).name.isEmpty());
        QCOMPARE(form().msgtext()->text(), QStringLiteral("links found = 1"));
    }

    void hoverShowsTheHandOnlyOverActiveGlyphs()
    {
        form().editor().grid().setLine("ab\\@go; text", 2);
        form().editor().grid().setLine("\\@none;", 3);
        form().editor().grid().setLine("\\#go;", 40);
        pressLink();
        const int left = form().linkTable().entry(1).pointerX;
        QCOMPARE(left, form().pageView().columnX(3, 2));

        CursorChanges changes;
        form().helpbox()->installEventFilter(&changes);
        moveTo(left, rowY(2));
        QCOMPARE(form().editor().state().hoverTarget, 0);
        QCOMPARE(changes.count, 0);
        moveTo(left + 1, rowY(2));
        QCOMPARE(form().editor().state().hoverTarget, 40);
        QCOMPARE(form().helpbox()->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(changes.count, 1);
        for (int x = left + 2; x <= left + 19; ++x)
            moveTo(x, rowY(2));
        QCOMPARE(changes.count, 1); // no change while inside the glyph
        moveTo(left + 20, rowY(2));
        QCOMPARE(form().editor().state().hoverTarget, 0);
        QCOMPARE(form().helpbox()->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(changes.count, 2);

        // A pointer without a marker never shows the hand.
        moveTo(form().linkTable().entry(2).pointerX + 10, rowY(3));
        QCOMPARE(form().editor().state().hoverTarget, 0);
        QCOMPARE(changes.count, 2);
    }

    void clickingFollowsTheLink()
    {
        form().editor().grid().setLine("\\@go;", 1);
        form().editor().grid().setLine("\\#go; here", 100);
        pressLink();
        moveTo(10, rowY(1));
        clickAt(10, rowY(1));
        const doc::EditorState &s = form().editor().state();
        QCOMPARE(s.topLine, 100);
        QCOMPARE(s.cursorLine, 100);
        QCOMPARE(s.cursorColumn, 1);
        QCOMPARE(form().pageBar()->value(), 99);
        QCOMPARE(s.hoverTarget, 0);
        QCOMPARE(form().helpbox()->cursor().shape(), Qt::ArrowCursor);

        // The marker's dot leads back to line 1.
        moveTo(300, 300);
        moveTo(10, rowY(100));
        QCOMPARE(s.hoverTarget, 1);
        clickAt(10, rowY(100));
        QCOMPARE(s.topLine, 1);
        QCOMPARE(form().pageBar()->value(), 0);
    }

    void jumpNearTheEndShowsTheLastPage()
    {
        form().editor().grid().setLine("\\@end;", 980);
        form().editor().grid().setLine("\\#end;", 990);
        pressLink();
        form().pageBar()->setValue(968);
        QCOMPARE(form().editor().state().topLine, 969);
        moveTo(10, rowY(980));
        QCOMPARE(form().editor().state().hoverTarget, 990);
        clickAt(10, rowY(980));
        const doc::EditorState &s = form().editor().state();
        QCOMPARE(s.topLine, 969);
        QCOMPARE(s.cursorLine, 990);
        QCOMPARE(form().pageBar()->value(), 968);

        // From the top the bar moves and the page still stops at its last page.
        form().pageBar()->setValue(0);
        form().editor().jumpToLine(990);
        QCOMPARE(s.topLine, 969);
        QCOMPARE(s.cursorLine, 990);
    }

    void linkInSourceModeStoresRawPositions()
    {
        form().editor().grid().setLine("\\fab\\@go;", 1);
        form().editor().grid().setLine("\\#go;", 9);
        QTest::mouseClick(form().codebox(), Qt::LeftButton);
        pressLink();
        const int raw = form().linkTable().entry(1).pointerX;
        QTest::mouseClick(form().codebox(), Qt::LeftButton);
        QVERIFY(raw > form().pageView().columnX(5, 1));
        // Back in the rendered view the hand shows at the raw position, not over the arrow.
        moveTo(raw + 5, rowY(1));
        QCOMPARE(form().editor().state().hoverTarget, 9);
        moveTo(form().pageView().columnX(5, 1) + 5, rowY(1));
        QCOMPARE(form().editor().state().hoverTarget, 0);
    }

    void staleTableKeepsOldTargets()
    {
        form().editor().grid().setLine("\\@go;", 1);
        form().editor().grid().setLine("\\#go;", 50);
        pressLink();
        form().editor().grid().insertLine(1); // the text moves, the table does not
        moveTo(10, rowY(1));
        QCOMPARE(form().editor().state().hoverTarget, 50);
        clickAt(10, rowY(1));
        QCOMPARE(form().editor().state().topLine, 50);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestLinks plain;
    TestLinkWindow window;
    return QTest::qExec(&plain, argc, argv) | QTest::qExec(&window, argc, argv);
}
#include "test_links.moc"
