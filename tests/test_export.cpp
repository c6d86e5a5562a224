// The web export: which pointers become links and how names are made safe,
// pages that are well-formed whatever the file holds, hidden and cut text,
// and --export=html on the command line. Where the characters stand is
// measured in a real browser (test_browser).
//
// Sections: helpers (reading a page back) · link names and links · hostile
// input · the command line.

#include "app/cli.h"
#include "clirun.h"
#include "base/checked.h"
#include "base/cp1252.h"
#include "fileio/helpfile.h"
#include "publish/htmlexport.h"
#include "publish/htmlpage.h"
#include "publish/weblinks.h"
#include "markup/markup.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

doc::TextGrid gridOf(const QList<QByteArray> &lines)
{
    doc::TextGrid grid;
    grid.loadLines(lines);
    return grid;
}

// A page read back as XML: what each row holds, the ids and the links.
struct ReadPage {
    QString error;
    QList<QString> rowText;
    QStringList ids;
    QStringList hrefs;
};

// Parses a page strictly (it is written as well-formed XML as well as HTML).
ReadPage readPage(const QByteArray &html)
{
    ReadPage page;
    QXmlStreamReader xml(html);
    int row = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType t = xml.readNext();
        if (t == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes a = xml.attributes();
            if (a.hasAttribute(QStringLiteral("id")))
                page.ids.append(a.value(QStringLiteral("id")).toString());
            if (a.hasAttribute(QStringLiteral("href")))
                page.hrefs.append(a.value(QStringLiteral("href")).toString());
            if (xml.name() == QLatin1String("div") && a.value(QStringLiteral("class")) == QLatin1String("r")) {
                row = int(page.rowText.size());
                page.rowText.append(QString());
            }
        } else if (t == QXmlStreamReader::EndElement && xml.name() == QLatin1String("div")) {
            row = -1;
        } else if (t == QXmlStreamReader::Characters && row >= 0) {
            // Rows hold no whitespace of their own between elements: every character is text.
            page.rowText[row] += xml.text();
        }
    }
    if (xml.hasError())
        page.error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return page;
}

// Returns the characters the page shows of a line, by the markup reader.
QString shownByReader(const QByteArray &line)
{
    QString text;
    markup::MarkupReader reader(markup::DisplayMode::Rendered, markup::NameRule::Page);
    for (char c : line) {
        const markup::Token t = reader.next(uint8_t(c));
        if (t.kind == markup::TokenKind::Text)
            text += QString::fromUtf8(publish::htmlCharacter(t.byte)).replace("&lt;", "<").replace("&gt;", ">")
                        .replace("&quot;", "\"").replace("&#39;", "'").replace("&amp;", "&");
    }
    return text;
}

// Returns what is wrong with a page's structure, or nothing: a parse error,
// an id given twice, a link to an id the page lacks, anything fetched.
QString structureFault(const QByteArray &html, int rows)
{
    const ReadPage page = readPage(html);
    if (!page.error.isEmpty())
        return page.error;
    if (page.rowText.size() != rows)
        return QStringLiteral("%1 rows, expected %2").arg(page.rowText.size()).arg(rows);
    const QSet<QString> ids(page.ids.begin(), page.ids.end());
    if (ids.size() != page.ids.size())
        return QStringLiteral("an id is given twice");
    for (const QString &href : page.hrefs) {
        if (!href.startsWith('#') || !ids.contains(href.mid(1)))
            return QStringLiteral("link %1 leads to nothing on the page").arg(href);
    }
    if (html.contains("<script") || html.contains("http:") || html.contains("https:"))
        return QStringLiteral("the page runs or fetches something");
    return {};
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.filePath(name); }

private slots:
    // --- link names and links ---

    void namesBecomeSafeDistinctFragments()
    {
        const QList<QByteArray> names = {"plain", "a\"b", "a'b", "a<b>", "a&amp;", "a b", "a%20b", "a%b",
                                         "\xe9t\xe9", "\x80\xff", "#top", "A", "a"};
        QSet<QString> seen;
        static const QRegularExpression safe(QStringLiteral("^link-[A-Za-z0-9._~%-]+$"));
        for (const QByteArray &name : names) {
            const QString id = publish::fragmentOf(name);
            QVERIFY2(safe.match(id).hasMatch(), qPrintable(id));
            QVERIFY2(!seen.contains(id), qPrintable(id));
            seen.insert(id);
            // The browser decodes the fragment back to the name's characters.
            QCOMPARE(QString::fromUtf8(QByteArray::fromPercentEncoding(id.mid(5).toLatin1())),
                     base::decodeCp1252(name));
        }
        QCOMPARE(publish::escapeHtml(QStringLiteral("<a href=\"x\">&'")),
                 QStringLiteral("&lt;a href=&quot;x&quot;&gt;&amp;&#39;"));
    }

    void onlyLinksTheEditorFollowsBecomeLinks()
    {
        const doc::TextGrid grid = gridOf({
            "\\@good; go",             // 1: leads to line 5
            "\\@self; \\#self;",       // 2: points to itself
            "\\@none;",                // 3: no marker
            "\\@dup; \\@dup;",         // 4: a name two pointers share
            "\\#good; target \\#dup;", // 5
            "\\@a\\\\@hid;",           // 6: the scanner takes "hid", the page shows it as text
            "\\#hid;",                 // 7
            "\\#good; again",          // 8: the last marker of a name is the one kept
        });
        const publish::WebLinks links = publish::webLinks(grid, 8);
        QCOMPARE(links.pointers.keys(), (QList<publish::GlyphPlace>{{1, 2}}));
        QCOMPARE(links.pointers.value({1, 2}).markerLine, 8);
        QCOMPARE(links.targets.keys(), (QList<publish::GlyphPlace>{{8, 2}}));
        // Every marker the table matched sends the reader back to line 1, as in the editor.
        for (const publish::GlyphPlace p : {publish::GlyphPlace{8, 2}, {2, 10}, {5, 17}})
            QVERIFY2(links.matchedMarkers.contains(p), qPrintable(QString::number(p.column)));
        QVERIFY(!links.matchedMarkers.contains({5, 2}));

        // The page: one link, to the marker that carries its id; broken arrows are no links.
        const QByteArray html = publish::HtmlPageWriter().page(grid, "t");
        QCOMPARE(html.count("href=\"#link-good\""), 1);
        QCOMPARE(html.count("id=\"link-good\""), 1);
        QCOMPARE(html.count("class=\"p\""), 6);
        QCOMPARE(html.count("aria-label=\"link arrow that leads nowhere\""), 5);
        QVERIFY(html.contains("aria-label=\"link to line 8: again\""));
        QCOMPARE(structureFault(html, 8), QString());
    }

    void theFiftyFirstLinkIsNoLink()
    {
        QList<QByteArray> lines;
        for (int k = 1; k <= 51; ++k) {
            lines.append("\\@n" + QByteArray::number(k) + ";");
            lines.append("\\#n" + QByteArray::number(k) + ";");
        }
        const publish::WebLinks links = publish::webLinks(gridOf(lines), int(lines.size()));
        // The 50th pointer fills the table, so its own marker comes too late.
        QCOMPARE(links.pointers.size(), 49);
        QVERIFY(links.pointers.contains({97, 2}));
        QVERIFY(!links.pointers.contains({99, 2}));
        QVERIFY(!links.pointers.contains({101, 2}));
        QVERIFY(!links.matchedMarkers.contains({100, 2}));
    }

    // --- hostile input ---

    void everyCorpusFileExportsToAWellFormedPage()
    {
        publish::HtmlPageWriter writer;
        int exported = 0;
        QDirIterator files(QStringLiteral(HELPEDIT_SOURCE_DIR "/fuzz/corpus"), QDir::Files, QDirIterator::Subdirectories);
        QStringList paths{QStringLiteral(HELPEDIT_SOURCE_DIR "/examples/sample.hlp")};
        while (files.hasNext())
            paths.append(files.next());
        for (const QString &file : paths) {
            QList<QByteArray> lines;
            try {
                lines = fileio::readHelpDocument(file, doc::kLines);
            } catch (const base::HelpError &) {
                continue; // a file the editor refuses is refused by the export too
            }
            const doc::TextGrid grid = gridOf(lines);
            const QString fault = structureFault(writer.page(grid, file), publish::lastTextLine(grid));
            QVERIFY2(fault.isEmpty(), qPrintable(file + ": " + fault));
            ++exported;
        }
        QVERIFY(exported >= 30);

        // Every byte, names made of every byte, and markup that never closes.
        QList<QByteArray> lines;
        for (int b = 1; b < 256; ++b) {
            const QByteArray byte(1, char(b));
            if (b != '\r' && b != '\n' && b != 26)
                lines.append("x" + byte + "\\@" + byte + "q;\\#" + byte + "q; <&>\"'" + byte + "\\[\\m" + byte);
        }
        const doc::TextGrid grid = gridOf(lines);
        const QByteArray html = writer.page(grid, "<&>\"'");
        QCOMPARE(structureFault(html, int(lines.size())), QString());
        const ReadPage page = readPage(html);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(page.rowText[i], shownByReader(lines[i]));
    }

    void hiddenAndCutTextIsExportedAsTheEditorShowsIt()
    {
        // Control codes in the first line, which is the title, and in a link's target line.
        write(path("ctl.hlp"), "\x01\x7f title \x81\r\n\\@t; \r\n\\#t;\x02 target\r\n");
        QCOMPARE(cli({"--export=html", path("ctl.hlp"), "--out=" + path("cut")}).status, 0);
        const QByteArray ctl = readAll(path("cut/ctl.html"));
        QCOMPARE(structureFault(ctl, 3), QString());
        QVERIFY(ctl.contains("<title>\xef\xbf\xbd\xef\xbf\xbd title \xef\xbf\xbd</title>"));
        QVERIFY(ctl.contains("aria-label=\"link to line 3: \xef\xbf\xbd target\""));

        const QByteArray longLine(130, 'x');
        write(path("cut.hlp"), QByteArray("seen\0hidden words\r\n", 19) + longLine + "\r\nlast\x1a" "after the end mark\r\n");
        const Run r = cli({"--export=html", path("cut.hlp"), "--out=" + path("cut")});
        QCOMPARE(r.status, 0);
        const QByteArray html = readAll(path("cut/cut.html"));
        QVERIFY(!html.contains("hidden"));
        QVERIFY(!html.contains("after the end mark"));
        const ReadPage page = readPage(html);
        QCOMPARE(page.rowText, (QList<QString>{"seen", QString(120, 'x'), "last"}));
    }

    // --- the command line ---

    void severalFilesGetPagesAndAnIndex()
    {
        write(path("one.hlp"), "\n\\hFirst <page> & more\n\\@a; x\n\\#a;\n");
        write(path("two.HLP"), "\\[\\[\n second\n");
        const Run r = cli({"--export=html", path("one.hlp"), path("two.HLP"), "--out", path("site")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, path("site/one.html") + '\n' + path("site/two.html") + '\n' + path("site/index.html") + '\n');
        QCOMPARE(r.err, QString());
        const QByteArray one = readAll(path("site/one.html"));
        QVERIFY(one.contains("<title>First &lt;page&gt; &amp; more</title>"));
        const QByteArray index = readAll(path("site/index.html"));
        QCOMPARE(readPage(index).error, QString());
        QVERIFY(index.contains("<a href=\"one.html\">one.hlp</a>: First &lt;page&gt; &amp; more"));
        QVERIFY(index.contains("<a href=\"two.html\">two.HLP</a>: second"));
        // One file: its page alone, no index.
        const Run single = cli({"--export=html", path("one.hlp"), "--out=" + path("single")});
        QCOMPARE(single.out, path("single/one.html") + '\n');
        QVERIFY(!QFile::exists(path("single/index.html")));
    }

    void failuresNameTheFileAndLeaveNoHalfPage()
    {
        write(path("good.hlp"), "good\n");
        QDir().mkpath(path("a"));
        QDir().mkpath(path("b"));
        write(path("a/same.hlp"), "a\n");
        write(path("b/same.hlp"), "b\n");

        const Run missing = cli({"--export=html", path("good.hlp"), path("gone.hlp"), "--out=" + path("m")});
        QCOMPARE(missing.status, 2);
        QVERIFY2(missing.err.startsWith(path("gone.hlp") + ": cannot read file: "), qPrintable(missing.err));
        QVERIFY(QFile::exists(path("m/good.html")));
        QVERIFY(!QFile::exists(path("m/index.html"))); // not a complete export

        const Run clash = cli({"--export=html", path("a/same.hlp"), path("b/same.hlp"), "--out=" + path("c")});
        QCOMPARE(clash.status, 2);
        QVERIFY2(clash.err.contains(path("b/same.hlp") + ": cannot export: same.html is already the page of"), qPrintable(clash.err));
        QVERIFY(readAll(path("c/same.html")).contains(">a</span>"));

        write(path("plainfile"), "x");
        const Run notFolder = cli({"--export=html", path("good.hlp"), "--out=" + path("plainfile")});
        QCOMPARE(notFolder.status, 2);
        QCOMPARE(notFolder.err, path("plainfile") + ": cannot create folder: not a folder\n");

        // The page's name is taken by a folder: the write fails, nothing is left behind.
        QDir().mkpath(path("w/good.html"));
        const Run blocked = cli({"--export=html", path("good.hlp"), "--out=" + path("w")});
        QCOMPARE(blocked.status, 2);
        QVERIFY2(blocked.err.startsWith(path("w/good.html") + ": cannot write file: "), qPrintable(blocked.err));
        QCOMPARE(QDir(path("w")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"good.html"});
    }

    void wrongArgumentsAreUsageErrors()
    {
        write(path("u.hlp"), "u\n");
        const Run pdf = cli({"--export=pdf", path("u.hlp"), "--out=" + path("u")});
        QCOMPARE(pdf.status, 2);
        QVERIFY(pdf.err.startsWith("helpedit: option '--export' takes html\n"));
        const Run noOut = cli({"--export=html", path("u.hlp")});
        QCOMPARE(noOut.status, 2);
        QVERIFY(noOut.err.contains("'--out' is missing"));
        const Run noFile = cli({"--export=html", "--out=" + path("u")});
        QCOMPARE(noFile.status, 2);
        const Run withRender = cli({"--export=html", "--render", path("u.hlp"), "--out=" + path("u")});
        QCOMPARE(withRender.status, 2);
        const Run scale = cli({"--export=html", path("u.hlp"), "--out=" + path("u"), "--scale=2"});
        QCOMPARE(scale.status, 2);
        QVERIFY(scale.err.contains("--scale only goes with --render"));
    }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
