// Link table: scanning, checking and hover, driven by a fake list of lines.

#include "base/checked.h"
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

QTEST_GUILESS_MAIN(TestLinks)
#include "test_links.moc"
