// --check as an author meets it: each finding from a file that shows the fault
// on the page, the edge warning against what drawing really draws, the JSON
// read back by a JSON parser, standard input, and hostile input in both formats.
//
// Sections: helpers (findings of a document, drawing on a wide surface); one
// finding per fault and clean markup; duplicates and the 50th link; the right
// edge against drawing and --render; JSON; hostile input; standard input; usage.

#include "app/check.h"
#include "clirun.h"
#include "render/colors.h"
#include "render/glyphs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Returns the findings of a document with the given line at line 2 and line 1 empty.
QList<base::Diagnostic> findingsOf(const QByteArray &doc)
{
    return app::checkHelpBytes(QStringLiteral("F"), doc).diagnostics;
}

// Returns x just past the rightmost pixel that drawing text changes, on a surface wide enough to hold all of it.
int drawnRightEnd(const QByteArray &text)
{
    static const QImage pointer = render::createPointerGlyph();
    static const QImage marker = render::createMarkerGlyph();
    render::StyleMachine machine(pointer, marker);
    QImage wide(4000, 40, QImage::Format_RGB32);
    wide.fill(render::bgr(render::kPageColor));
    {
        QPainter p(&wide);
        machine.drawLine(p, text, 5, markup::DisplayMode::Rendered);
    }
    for (int x = wide.width() - 1; x >= 0; --x) {
        for (int y = 0; y < wide.height(); ++y) {
            if (render::toBgr(wide.pixel(x, y)) != render::kPageColor)
                return x + 1;
        }
    }
    return 0;
}

// Returns the pixels cut that the edge warning gives, or 0 without one.
int reportedCut(const QList<base::Diagnostic> &findings)
{
    static const QRegularExpression cut(QStringLiteral("; (\\d+) pixels cut$"));
    for (const base::Diagnostic &d : findings) {
        if (d.code == QLatin1String("past-right-edge"))
            return cut.match(d.message).captured(1).toInt();
    }
    return 0;
}

} // namespace

class TestCheck : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.filePath(name); }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // The process tests start the program; it must not share state with other runs.
        qputenv("XDG_STATE_HOME", path("state").toUtf8());
        qputenv("HOME", path("home").toUtf8());
    }

    // One line per finding: the line shows the fault on the page, the finding
    // names its column, its severity and its code, and a message that says what.
    void eachFindingAtItsColumn_data()
    {
        QTest::addColumn<QByteArray>("doc");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("pointer name ended by a blank")
            << QByteArray("see \\@c pointer with blank") << 1 << 5 << "glyph-without-link"
            << "pointer arrow makes no link: its name 'c' ends at a blank, not at ';'";
        QTest::newRow("pointer at the line end") << QByteArray("the end \\@d") << 1 << 9 << "glyph-without-link"
                                                 << "its name 'd' has no ';' before the line end";
        QTest::newRow("marker name ended by a backslash")
            << QByteArray("\\#here\\f bold") << 1 << 1 << "glyph-without-link"
            << "marker dot makes no link: its name 'here' ends at a backslash";
        QTest::newRow("empty name") << QByteArray("x \\@; y") << 1 << 3 << "glyph-without-link" << "it has no name";
        QTest::newRow("unknown code") << QByteArray("ab \\x cd") << 1 << 4 << "unknown-code"
                                      << "a backslash and the 'x' make no code; the 'x' is not shown";
        QTest::newRow("blank after a backslash") << QByteArray("a\\ b") << 1 << 2 << "unknown-code" << "the blank is not shown";
        QTest::newRow("doubled backslash") << QByteArray("c:\\\\dir") << 1 << 3 << "backslash-not-shown"
                                           << "a backslash cannot be shown";
        QTest::newRow("backslash at the line end") << QByteArray("end \\") << 1 << 5 << "backslash-not-shown"
                                                   << "at the line end";
        QTest::newRow("box left open") << QByteArray("a \\[ box") << 1 << 3 << "box-left-open" << "no right edge";
        QTest::newRow("box abandoned by \\n") << QByteArray("\\[ box \\n after") << 1 << 8 << "box-abandoned"
                                              << "opened at column 1";
        QTest::newRow("blank inside a link name") << QByteArray("\\@a b; go\n\\#a b;") << 1 << 4 << "blank-in-link-name"
                                                  << "link name 'a b' holds a blank";
        QTest::newRow("marker before its pointer") << QByteArray("\\#a; top\n\\@a; go") << 1 << 1
                                                   << "marker-before-pointer" << "first pointer of its name (line 2)";
        QTest::newRow("marker no pointer names") << QByteArray("x\n  \\#lonely;") << 2 << 3 << "marker-without-pointer"
                                                 << "no pointer names marker 'lonely'";
        QTest::newRow("link to nothing") << QByteArray("go \\@a;") << 1 << 4 << "link-to-nothing"
                                         << "link 'a' points to nothing";
        QTest::newRow("link to itself") << QByteArray("\\@a; \\#a;") << 1 << 1 << "link-to-itself" << "points to itself";
        QTest::newRow("long line") << QByteArray(125, ' ') << 1 << 121 << "long-line" << "125 bytes long";
        QTest::newRow("text after a byte 0") << QByteArray("ab\0cd and some more text", 25) << 1 << 3 << "text-after-zero" << "byte 0";
        QTest::newRow("text after a byte 26") << QByteArray("abc\x1axyz") << 1 << 4 << "text-after-end-mark" << "byte 26";
        QTest::newRow("text after the end of file") << QByteArray("a\n\x1a rest") << 2 << 1 << "text-after-end-of-file"
                                                    << "never read";
        QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9") << 1 << 4 << "utf-8-text" << "UTF-8";
        QTest::newRow("binary") << QByteArray("\x01\x02\x03\\x\x04") << 1 << 1 << "binary-file" << "looks binary";
    }
    void eachFindingAtItsColumn()
    {
        QFETCH(QByteArray, doc);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QString, code);
        QFETCH(QString, message);
        const QList<base::Diagnostic> found = findingsOf(doc);
        const auto hit = std::find_if(found.begin(), found.end(), [&](const base::Diagnostic &d) { return d.code == code; });
        QVERIFY2(hit != found.end(), qPrintable(code));
        QCOMPARE(hit->line, line);
        QCOMPARE(hit->column, column);
        QVERIFY2(hit->message.contains(message), qPrintable(hit->message));
        const bool error = code.startsWith("link-") || code.startsWith("duplicate") || code.startsWith("past-fiftieth");
        QCOMPARE(hit->severity, error ? base::Severity::Error : base::Severity::Warning);
        // A binary file gets that one warning, not one per odd byte.
        if (code == "binary-file")
            QCOMPARE(found.size(), 1);
    }

    // What the page shows rightly gives no warning at all.
    void cleanMarkupGivesNothing()
    {
        const QByteArray doc = "\\h Chapter 1 \\@setup; see\n"
                               "\\t name:\\t\\c value \\[boxed\\[ \\m grey\\n back \\p up \\s down \\i it \\f bold\n"
                               "\\#setup;\\F Setting up \\I ok \\N\n"
                               "@name; and #name; are text, so is a \\[ box \\[ ; and \\n alone";
        const QList<base::Diagnostic> found = findingsOf(doc);
        for (const base::Diagnostic &d : found)
            qWarning() << d.line << d.column << d.code << d.message;
        QVERIFY(found.isEmpty());
    }

    // Every pointer of a name pointed to more than once is a duplicate naming
    // another line; only the first, which markers go to, is checked further.
    void duplicatesNameTheOtherLine()
    {
        const QList<base::Diagnostic> found = findingsOf("\\@a; one\n\\@a; two\nx \\@a; three\n\\#a;\n\\@b;\n\\@b;");
        QStringList seen;
        for (const base::Diagnostic &d : found)
            seen << QStringLiteral("%1:%2 %3 %4").arg(d.line).arg(d.column).arg(d.code, d.message);
        QCOMPARE(seen, (QStringList{"1:1 duplicate-link-name duplicate link name 'a' (also on line 2)",
                                    "2:1 duplicate-link-name duplicate link name 'a' (also on line 1)",
                                    "3:3 duplicate-link-name duplicate link name 'a' (also on line 1)",
                                    "5:1 duplicate-link-name duplicate link name 'b' (also on line 6)",
                                    "5:1 link-to-nothing link 'b' points to nothing",
                                    "6:1 duplicate-link-name duplicate link name 'b' (also on line 5)"}));
    }

    void pointersPastTheFiftiethAreErrors()
    {
        QByteArray doc;
        for (int i = 1; i <= 51; ++i)
            doc += "\\@n" + QByteArray::number(i) + "; \\#n" + QByteArray::number(i) + ";\n";
        const QList<base::Diagnostic> found = findingsOf(doc);
        const auto past = std::find_if(found.begin(), found.end(), [](const base::Diagnostic &d) {
            return d.code == QLatin1String("past-fiftieth-link") && d.message.startsWith("pointer");
        });
        QVERIFY(past != found.end());
        QCOMPARE(past->line, 51);
        QCOMPARE(past->column, 1);
        QCOMPARE(past->severity, base::Severity::Error);
    }

    // The edge warning counts what drawing draws: drawn on a surface wide enough
    // for the whole line, the last changed pixel is exactly as far past the
    // page's 800 pixels as the warning says, and a line that fits is not reported.
    // The line drawn up to the column named stays on the page; with that column it does not.
    void pixelsCutAreWhatDrawingDraws_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("prose") << QByteArray("Prose that fills the line with ordinary words, more of them than the page can hold in one row, ends cut off");
        QTest::newRow("bold italic") << QByteArray("\\f\\iBold italic is measured narrower than it is drawn; drawn it needs more room than this");
        QTest::newRow("header") << QByteArray("\\hA header line in the large font runs out of room early on the page");
        QTest::newRow("tabs") << QByteArray("\\t\\t\\t\\t\\t\\t\\tseven tabs then text");
        QTest::newRow("box") << QByteArray("\\t\\t\\t\\t\\t\\t\\[ an open box with text in it");
        QTest::newRow("grey cells") << QByteArray("\\t\\t\\t\\t\\t\\t\\t\\m grey cells");
        QTest::newRow("pointer last") << QByteArray("\\t\\t\\t\\t\\t\\t\\t\\l long words \\@far;");
        QTest::newRow("blanks only past the edge") << QByteArray("\\t\\t\\t\\t\\t\\t\\t end" + QByteArray(80, ' '));
        QTest::newRow("fits") << QByteArray("\\t\\t\\t\\t\\t\\tsix tabs");
    }
    void pixelsCutAreWhatDrawingDraws()
    {
        QFETCH(QByteArray, text);
        const int drawn = drawnRightEnd(text);
        const QList<base::Diagnostic> found = findingsOf(text);
        QCOMPARE(reportedCut(found), std::max(0, drawn - 800));
        for (const base::Diagnostic &d : found) {
            if (d.code != QLatin1String("past-right-edge"))
                continue;
            // A code's column is its backslash; the code itself is the byte after it.
            const int through = text[d.column - 1] == '\\' ? d.column + 1 : d.column;
            QVERIFY(drawnRightEnd(text.left(d.column - 1)) <= 800);
            QVERIFY(drawnRightEnd(text.left(through)) > 800);
        }
    }

    // The page --render writes shows the cut: a line's box reaches the last pixel column.
    void renderedPageShowsTheCutLine()
    {
        write("cut.hlp", "short\n\\[ " + QByteArray(110, 'w') + "\n");
        const Run check = cli({"--check", path("cut.hlp")});
        QVERIFY2(check.out.contains(QRegularExpression(":2:\\d+: warning: text drawn past the page's right edge")),
                 qPrintable(check.out));
        QCOMPARE(cli({"--render", path("cut.hlp"), "--out", path("cut")}).status, 0);
        const QImage page(path("cut/page-001.png"));
        const int rowTop = 5 + 25; // line 2
        QCOMPARE(render::toBgr(page.pixel(799, rowTop + 1)), render::kBoxColor);
        QCOMPARE(render::toBgr(page.pixel(799, 5 + 1)), render::kPageColor);
    }

    // The JSON is one document a parser reads, with every file, each finding's
    // fields and stable code, names converted from Windows-1252, and the same status.
    void jsonForTools()
    {
        write("names.hlp", "\\@\"q\"<&>\x80\xe9\x9f; go\n\\#ok;\n");
        write("good.hlp", "\\@a; go\n\\#a;\n");
        const Run r = cli({"--check", "--format=json", path("names.hlp"), path("missing.hlp"), path("good.hlp")});
        QCOMPARE(r.status, 2);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray files = doc.object().value("files").toArray();
        QCOMPARE(files.size(), 3);
        QCOMPARE(doc.object().value("status").toInt(), 2);
        const QJsonObject names = files[0].toObject();
        QCOMPARE(names.value("summary").toString(), "line 1 points to nothing");
        QCOMPARE(names.value("status").toInt(), 1);
        const QJsonArray found = names.value("diagnostics").toArray();
        QCOMPARE(found.size(), 2);
        const QJsonObject first = found[0].toObject();
        QCOMPARE(first.value("file").toString(), path("names.hlp"));
        QCOMPARE(first.value("line").toInt(), 1);
        QCOMPARE(first.value("column").toInt(), 1);
        QCOMPARE(first.value("severity").toString(), "error");
        QCOMPARE(first.value("code").toString(), "link-to-nothing");
        QCOMPARE(first.value("message").toString(), QString::fromUtf8("link '\"q\"<&>\u20ac\u00e9\u0178' points to nothing"));
        QCOMPARE(found[1].toObject().value("code").toString(), "marker-without-pointer");
        const QJsonObject missing = files[1].toObject();
        QCOMPARE(missing.value("readable").toBool(), false);
        QCOMPARE(missing.value("error").toString(), "cannot read file: file not found");
        QCOMPARE(files[2].toObject().value("summary").toString(), "links found = 1");
        QVERIFY(r.err.contains("missing.hlp: cannot read file"));
    }

    // Whatever the bytes, a GNU line is one finding and the JSON parses.
    void hostileInputStaysWellFormed()
    {
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary += char((i * 37) % 256);
        QByteArray awkward = "\\@a\"b<c&d\x81\x9d\x1b\t\x7f; x\n\\#\x0c\x01;\n" + QByteArray(300, 'x') + "\n\\@n\0ul;\n\x1a tail";
        awkward.insert(40, '\0');
        QByteArray manyLines;
        for (int i = 0; i < 32767; ++i)
            manyLines += i < 1000 ? "\\@x\x85 \\\x90 line\n" : "\n";
        write("binary.hlp", binary);
        write("awkward.hlp", awkward);
        write("many.hlp", manyLines);
        write("line\nbreak.hlp", "\\@a;");
        const QStringList files = {path("binary.hlp"), path("awkward.hlp"), path("many.hlp"), path("line\nbreak.hlp")};
        const Run gnu = cli(QStringList{"--check"} + files);
        QCOMPARE(gnu.status, 1);
        static const QRegularExpression finding(QStringLiteral("^[^\\n]+:\\d+:\\d+: (warning|error): [^\\x00-\\x1f]+$"));
        static const QRegularExpression summary(QStringLiteral("^[^\\n:]+: [a-z][^\\x00-\\x1f]+$"));
        const QStringList lines = gnu.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 4);
        for (const QString &line : lines)
            QVERIFY2(finding.match(line).hasMatch() || summary.match(line).hasMatch(), qPrintable(line));
        QCOMPARE(lines.filter(QRegularExpression(": (links found|no links found|line \\d+ points|duplicate)")).size(), 4);
        const Run json = cli(QStringList{"--check", "--format=json", "--strict"} + files);
        QCOMPARE(json.status, 1);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.out.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.object().value("files").toArray().size(), 4);
        QCOMPARE(doc.object().value("files").toArray()[3].toObject().value("file").toString(), path("line\nbreak.hlp"));
    }

    // "-" reads standard input, named <stdin>, as in git show :file | helpedit --check -.
    void standardInput()
    {
        QProcess p;
        p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p.start(QStringLiteral(HELPEDIT_BINARY), {"--check", "-"});
        QVERIFY(p.waitForStarted());
        p.write("line one\n\\@to; where\n");
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                 QStringLiteral("<stdin>:2:1: error: link 'to' points to nothing\n<stdin>: line 2 points to nothing\n"));

        p.start(QStringLiteral(HELPEDIT_BINARY), {"--check", "--format=json", "-"});
        QVERIFY(p.waitForStarted());
        p.write("\\@a; \\#b;\n\\#a;\n");
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QJsonObject file = QJsonDocument::fromJson(p.readAllStandardOutput()).object().value("files").toArray()[0].toObject();
        QCOMPARE(file.value("file").toString(), "<stdin>");
        QCOMPARE(file.value("diagnostics").toArray()[0].toObject().value("code").toString(), "marker-without-pointer");
    }

    void unknownFormatIsAUsageError()
    {
        const Run r = cli({"--check", "--format=xml", "F"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.startsWith("helpedit: option '--format' takes gnu or json\n"));
        QVERIFY(cli({"--render", "F", "--out=D", "--format=json"}).err.startsWith("helpedit: --format only goes with --check"));
    }
};

QTEST_MAIN(TestCheck)
#include "test_check.moc"
