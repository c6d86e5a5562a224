// The document grid: line text, the edits at the grid's edges, and the hidden
// bytes behind a zero cell that travel with their row; what a save writes and
// what a load accepts.

#include "base/checked.h"
#include "document/textgrid.h"

#include <QTest>

using doc::LineFit;
using doc::TextGrid;
using doc::kMaxLineNumber;
using doc::linesFit;

class TestGrid : public QObject {
    Q_OBJECT

private slots:
    void fullLineHasLength120()
    {
        TextGrid g;
        g.setLine(QByteArray(120, 'a'), 7);
        QCOMPARE(g.lineLength(7), 120);
        QCOMPARE(g.getLine(7), QByteArray(120, 'a'));
    }

    void setLineCutsAndKeepsTheRest()
    {
        TextGrid g;
        QByteArray long300;
        for (int i = 0; i < 300; ++i)
            long300.append(char('a' + i % 26));
        g.setLine(long300, 1);
        QCOMPARE(g.getLine(1), long300.left(120));

        g.setLine("0123456789", 2);
        g.setLine("abcde", 2);
        QCOMPARE(g.getLine(2), QByteArray("abcde56789"));

        g.setLine("", 2);
        QCOMPARE(g.getLine(2), QByteArray("abcde56789"));
    }

    void insertCharFillsToTheEdgeThenRefuses()
    {
        TextGrid g;
        g.setLine(QByteArray(119, 'x'), 3);
        QVERIFY(g.insertChar(3, 1, 'A'));
        QCOMPARE(g.lineLength(3), 120);
        QCOMPARE(g.cell(1, 3), uint8_t('A'));
        const QByteArray before = g.getLine(3);
        QVERIFY(!g.insertChar(3, 5, 'B'));
        QCOMPARE(g.getLine(3), before);

        g.setLine(QByteArray(119, 'y'), 4);
        QVERIFY(g.insertChar(4, 120, 'Z'));
        QCOMPARE(g.getLine(4), QByteArray(119, 'y') + "Z");
    }

    void deleteCharAtTheEdges()
    {
        TextGrid g;
        g.setLine(QByteArray(119, 'q') + "E", 1);
        g.deleteChar(1, 120);
        QCOMPARE(g.getLine(1), QByteArray(119, 'q'));

        g.setLine("z", 2);
        g.deleteChar(2, 1);
        QCOMPARE(g.lineLength(2), 0);

        g.setLine("abc", 3);
        g.deleteChar(3, 50); // beyond the text: nothing visible changes
        QCOMPARE(g.getLine(3), QByteArray("abc"));
    }

    void deleteAndInsertLinesAtBothEnds()
    {
        TextGrid g;
        for (int l = 1; l <= 1000; ++l)
            g.setLine(QByteArray::number(l), l);

        g.deleteLine(1);
        QCOMPARE(g.getLine(1), QByteArray("2"));
        QCOMPARE(g.getLine(999), QByteArray("1000"));
        QCOMPARE(g.lineLength(1000), 0);

        g.setLine("last", 1000);
        g.deleteLine(1000);
        QCOMPARE(g.lineLength(1000), 0);
        QCOMPARE(g.getLine(999), QByteArray("1000"));

        g.insertLine(1);
        QCOMPARE(g.lineLength(1), 0);
        QCOMPARE(g.getLine(2), QByteArray("2"));
        QCOMPARE(g.getLine(1000), QByteArray("1000"));

        g.insertLine(1000);
        QCOMPARE(g.lineLength(1000), 0);
        QCOMPARE(g.getLine(999), QByteArray("999"));
    }

    void hiddenBytesTravelWithTheirRow()
    {
        TextGrid g;
        g.setLine(QByteArray("ab\0cd", 5), 10);
        QCOMPARE(g.lineLength(10), 2);
        QCOMPARE(g.getLine(10), QByteArray("ab"));

        QVERIFY(g.insertChar(10, 1, 'X'));
        QCOMPARE(g.getLine(10), QByteArray("Xab"));
        QCOMPARE(g.cell(4, 10), uint8_t(0));
        QCOMPARE(g.cell(5, 10), uint8_t('c'));
        QCOMPARE(g.cell(6, 10), uint8_t('d'));

        g.insertLine(10);
        QCOMPARE(g.cell(6, 11), uint8_t('d'));
        g.deleteLine(1);
        QCOMPARE(g.getLine(10), QByteArray("Xab"));
        QCOMPARE(g.cell(5, 10), uint8_t('c'));
    }

    void eraseAndClear()
    {
        TextGrid g;
        g.setLine(QByteArray("ab\0cd", 5), 1);
        g.eraseLine(1);
        for (int c = 1; c <= 120; ++c)
            QCOMPARE(g.cell(c, 1), uint8_t(0));
        g.setLine("x", 500);
        g.clearGrid();
        QCOMPARE(g.lineLength(500), 0);
    }

    void textLinesEndAtTheLastLineWithText()
    {
        TextGrid g;
        QCOMPARE(g.lastNonEmptyLine(), 0);
        QVERIFY(g.textLines().isEmpty());
        // A line whose first cell is 0 counts as empty, whatever hides behind it.
        g.setLine(QByteArray("\0hidden", 7), 1000);
        g.setLine("first", 2);
        g.setLine("last", 999);
        QCOMPARE(g.lastNonEmptyLine(), 999);
        const QList<QByteArray> lines = g.textLines();
        QCOMPARE(lines.size(), 999);
        QCOMPARE(lines.first(), QByteArray());
        QCOMPARE(lines.at(1), QByteArray("first"));
        QCOMPARE(lines.last(), QByteArray("last"));
        g.setLine("end", 1000);
        QCOMPARE(g.lastNonEmptyLine(), 1000);
    }

    void linesFitTheGridAndTheLineNumbers()
    {
        QList<QByteArray> lines(1000, "x");
        QCOMPARE(linesFit(lines), LineFit::Fits);
        // Empty lines past the grid fit, up to the last line number there is.
        lines.resize(kMaxLineNumber);
        QCOMPARE(linesFit(lines), LineFit::Fits);
        lines.append(QByteArray());
        QCOMPARE(linesFit(lines), LineFit::TooManyLines);
        lines.resize(1001);
        lines[1000] = "y";
        QCOMPARE(linesFit(lines), LineFit::TextBeyondGrid);
        QCOMPARE(linesFit(lines, 1001), LineFit::Fits);
        // Loading refuses what does not fit and leaves the grid as it was.
        TextGrid g;
        g.setLine("kept", 1);
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.loadLines(lines));
        QCOMPARE(g.getLine(1), QByteArray("kept"));
        lines[1000].clear();
        lines[0] = "loaded";
        g.loadLines(lines);
        QCOMPARE(g.getLine(1), QByteArray("loaded"));
    }

    void accessOutsideTheGridIsARangeError()
    {
        TextGrid g;
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.cell(0, 1));
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.cell(121, 1));
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.setCell(121, 1, 'x'));
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.setCell(0, 1000, 'x'));
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.lineLength(0));
        QVERIFY_THROWS_EXCEPTION(base::RangeError, g.setLine("a", 1001));
        try {
            g.cell(1, 1001);
            QFAIL("no error");
        } catch (const base::HelpError &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Range check error"));
        }
    }
};

QTEST_APPLESS_MAIN(TestGrid)
#include "test_grid.moc"
