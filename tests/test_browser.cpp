// Exported pages in a real browser (Debian's chromium, headless, 800 pixels
// wide): the example, the layout test's lines and a file of links with hostile
// names. Each row's ink must lie within 2 pixels of where the renderer draws
// it, each row's text read back from the DOM must be the page's characters and
// be found by the browser's search, a
// click on each working arrow must bring its marker's row to the top, and
// nothing else that looks like a link may lead anywhere.
//
// Sections: the files · ink · the test (text, ink, links).

#include "app/cli.h"
#include "base/cp1252.h"
#include "devtools.h"
#include "render/pagegeometry.h"
#include "fileio/helpfile.h"
#include "layoutlines.h"
#include "links/linktable.h"
#include "publish/htmlexport.h"
#include "publish/htmlpage.h"
#include "render/glyphs.h"
#include "markup/markup.h"
#include "render/stylemachine.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

constexpr int kWidth = 800;
constexpr int kTolerance = 2;

// --- the files ---

QByteArray layoutFile()
{
    QByteArray bytes;
    for (const LayoutLine &l : layoutLines()) {
        if (!l.source)
            bytes += l.text + "\r\n";
    }
    return bytes;
}

// Working links whose names need escaping, and pointers that lead nowhere.
QByteArray linksFile()
{
    const QList<QByteArray> names = {"q\"t", "a'b", "lt<gt>", "amp&x", "per%20cent", "\xe9t\xe9", "\x80\xff", "x#y"};
    QByteArray top = "\\hLinks with names to escape\r\n";
    QByteArray below;
    for (const QByteArray &name : names) {
        top += "\\@" + name + "; to " + name + "\r\n";
        below += "\\#" + name + ";\\f " + name + "\r\n" + QByteArray(3, '\n').replace("\n", "\r\n");
    }
    top += "\\@nowhere; no marker\r\n\\@self; \\#self; itself\r\n\\@twice; one\r\n\\@twice; two\r\n";
    below += "\\#twice; the shared name\r\n";
    return top + below;
}

// Full lines of 120 bytes in every style, where any drift between the
// browser's advances and the renderer's would add up.
QByteArray longLinesFile()
{
    const QByteArray text = "Sphinx of black quartz, judge my vow; 0123456789 WAVY lilt! ";
    QByteArray bytes;
    for (const QByteArray code : {"", "\\c", "\\f", "\\i", "\\m", "\\p", "\\s", "\\f\\i", "\\c\\f"})
        bytes += (code + text + text).left(120) + "\r\n";
    bytes += "a\\tb\\fc\\td\\[e f\\[\\ig\\th\\mij kl\\nmn\\lop\\hqr\\s st \\p uv \\n wx\\c yz\r\n";
    return bytes;
}

// --- ink ---

// The box of the pixels of a band that differ clearly from the page colour.
QRect inkBox(const QImage &image, int top)
{
    QRect box;
    for (int y = top; y < top + 25 && y < image.height(); ++y) {
        for (int x = 0; x < kWidth && x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::max({255 - qRed(p), 255 - qGreen(p), std::abs(240 - qBlue(p))}) > 20)
                box |= QRect(x, y - top, 1, 1);
        }
    }
    return box;
}

QString boxText(const QRect &r)
{
    return r.isEmpty() ? QStringLiteral("none")
                       : QStringLiteral("x %1..%2 y %3..%4").arg(r.left()).arg(r.right()).arg(r.top()).arg(r.bottom());
}

bool near(const QRect &a, const QRect &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty();
    return std::abs(a.left() - b.left()) <= kTolerance && std::abs(a.right() - b.right()) <= kTolerance
        && std::abs(a.top() - b.top()) <= kTolerance && std::abs(a.bottom() - b.bottom()) <= kTolerance;
}

// The links the editor follows, in reading order: pointer line and marker line.
QList<QPair<int, int>> workingLinks(const doc::TextGrid &grid)
{
    links::ScanSource src;
    src.lineText = [&grid](int line) { return grid.getLine(line); };
    src.columnX = [](int, int) { return 0; };
    links::LinkTable table;
    table.check(table.scan(src));
    QList<QPair<int, int>> result;
    for (int i = 1; i <= table.linkCount(); ++i) {
        const links::Link &e = table.entry(i);
        bool shared = false;
        for (int j = 1; j <= table.linkCount(); ++j)
            shared = shared || (j != i && table.entry(j).name == e.name);
        if (e.markerLine != 0 && e.markerLine != e.pointerLine && !shared)
            result.append({e.pointerLine, e.markerLine});
    }
    return result;
}

// Collects where the drawing walk puts each character.
struct CharPositions : render::DrawListener {
    QList<int> x;
    void character(const render::DrawnChar &c) override { x.append(c.x); }
    void linkGlyph(render::LinkGlyph, int, int) override {}
    void boxLine(const QRect &) override {}
};

int rowTopOnPage(int line)
{
    return 5 + 25 * (line - 1);
}

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    DevTools browser_;
    QString binary_;

    QString path(const QString &name) const { return dir_.filePath(name); }

    // Returns the page's scroll position once it has stopped moving.
    int settledScroll()
    {
        int last = -1;
        for (int i = 0; i < 40; ++i) {
            QThread::msleep(25);
            const int now = browser_.evaluate(QStringLiteral("window.scrollY")).toInt();
            if (now == last)
                return now;
            last = now;
        }
        return last;
    }

    // Scrolls so that the element (a CSS selector and index) is in view; returns its centre in the window.
    QPointF bringIntoView(const QString &selector, int index)
    {
        const QJsonValue r = browser_.evaluate(QStringLiteral(
            "(() => { const e = document.querySelectorAll('%1')[%2];"
            " window.scrollTo(0, Math.max(0, e.getBoundingClientRect().top + window.scrollY - 300));"
            " const b = e.getBoundingClientRect(); return [b.left + b.width / 2, b.top + b.height / 2]; })()")
                                                   .arg(selector).arg(index));
        return {r[0].toDouble(), r[1].toDouble()};
    }

    void checkText(const doc::TextGrid &grid, int last)
    {
        const QJsonArray rows = browser_.evaluate(
            QStringLiteral("Array.from(document.querySelectorAll('.r')).map(r => r.textContent)")).toArray();
        QCOMPARE(rows.size(), last);
        for (int line = 1; line <= last; ++line) {
            QString expected;
            markup::MarkupReader reader(markup::DisplayMode::Rendered, markup::NameRule::Page);
            for (char c : grid.getLine(line)) {
                const markup::Token t = reader.next(uint8_t(c));
                if (t.kind == markup::TokenKind::Text)
                    expected += base::cp1252ToUnicode(t.byte);
            }
            QCOMPARE(rows[line - 1].toString(), expected);
            // The row's text is one run a reader can search for and select.
            const QString words = expected.trimmed();
            if (words.size() < 2)
                continue;
            const QString quoted = QString::fromUtf8(QJsonDocument(QJsonArray{words}).toJson(QJsonDocument::Compact));
            QVERIFY2(browser_.evaluate(QStringLiteral("getSelection().removeAllRanges(), window.find(%1[0], true, false, true)")
                                           .arg(quoted)).toBool(),
                     qPrintable(QStringLiteral("line %1: \"%2\" cannot be found").arg(line).arg(words)));
            QCOMPARE(browser_.evaluate(QStringLiteral("getSelection().toString()")).toString(), words);
        }
        browser_.evaluate(QStringLiteral("getSelection().removeAllRanges()"));
    }

    // Each character's box starts at the x where the renderer's drawing walk puts it.
    void checkPositions(const doc::TextGrid &grid, int last, const QString &file)
    {
        const QJsonArray rows = browser_.evaluate(QStringLiteral(
            "Array.from(document.querySelectorAll('.r')).map(r => Array.from(r.querySelectorAll('span[class^=\"s\"]'))"
            ".map(e => e.getBoundingClientRect().left))")).toArray();
        const QImage pointer = render::createPointerGlyph();
        const QImage marker = render::createMarkerGlyph();
        render::StyleMachine machine(pointer, marker);
        double worst = 0;
        for (int line = 1; line <= last; ++line) {
            CharPositions drawn;
            machine.traceLine(grid.getLine(line), 0, markup::DisplayMode::Rendered, drawn);
            const QJsonArray lefts = rows[line - 1].toArray();
            QCOMPARE(lefts.size(), drawn.x.size());
            for (int k = 0; k < lefts.size(); ++k)
                worst = std::max(worst, std::abs(lefts[k].toDouble() - drawn.x[k]));
        }
        QVERIFY2(worst < 0.1, qPrintable(QStringLiteral("%1: a character box stands %2 px off").arg(file).arg(worst)));
        qInfo("%s: character boxes at most %.3f px from the renderer's x", qPrintable(file), worst);
    }

    void checkInk(const doc::TextGrid &grid, int last, const QString &file)
    {
        const QJsonObject shot = browser_.call(QStringLiteral("Page.captureScreenshot"),
            {{QStringLiteral("format"), QStringLiteral("png")}, {QStringLiteral("captureBeyondViewport"), true},
             {QStringLiteral("clip"), QJsonObject{{QStringLiteral("x"), 0}, {QStringLiteral("y"), 0},
                                                  {QStringLiteral("width"), kWidth},
                                                  {QStringLiteral("height"), rowTopOnPage(last + 1)},
                                                  {QStringLiteral("scale"), 1}}}});
        const QImage page = QImage::fromData(QByteArray::fromBase64(shot.value(QStringLiteral("data")).toString().toLatin1()));
        QVERIFY2(page.width() == kWidth, qPrintable(QStringLiteral("no screenshot of %1").arg(file)));
        int worst = 0;
        for (int line = 1; line <= last; ++line) {
            // The line below the one before it, as on the web page, so that what
            // reaches down from that line is in both bands.
            const int top = std::max(1, line - 1);
            const QImage rendered = app::renderPage(grid, top, markup::DisplayMode::Rendered);
            const QRect want = inkBox(rendered, render::rowTop(line, top));
            const QRect got = inkBox(page, rowTopOnPage(line));
            QVERIFY2(near(want, got), qPrintable(QStringLiteral("%1 line %2: the browser's ink %3, the renderer's %4")
                                                     .arg(file).arg(line).arg(boxText(got), boxText(want))));
            if (!want.isEmpty()) {
                worst = std::max({worst, std::abs(want.left() - got.left()), std::abs(want.right() - got.right()),
                                  std::abs(want.top() - got.top()), std::abs(want.bottom() - got.bottom())});
            }
        }
        qInfo("%s: %d rows, ink at most %d px from the renderer's", qPrintable(file), last, worst);
    }

    void checkLinks(const doc::TextGrid &grid, const QString &file)
    {
        // Every anchor leads to an element of the page.
        QCOMPARE(browser_.evaluate(QStringLiteral(
                     "Array.from(document.querySelectorAll('a')).every(a => "
                     "document.getElementById(a.getAttribute('href').slice(1)) !== null)")).toBool(), true);
        const QList<QPair<int, int>> expected = workingLinks(grid);
        const QJsonArray rows = browser_.evaluate(QStringLiteral(
            "Array.from(document.querySelectorAll('a[href^=\"#link-\"]')).map(a => a.closest('.r').id)")).toArray();
        QCOMPARE(rows.size(), expected.size());
        for (int k = 0; k < expected.size(); ++k) {
            QCOMPARE(rows[k].toString(), QStringLiteral("line-%1").arg(expected[k].first));
            const QPointF at = bringIntoView(QStringLiteral("a[href^=\"#link-\"] span"), k);
            browser_.click(at.x(), at.y());
            QVERIFY2(settledScroll() == rowTopOnPage(expected[k].second),
                     qPrintable(QStringLiteral("%1: the arrow on line %2 did not bring line %3 to the top")
                                    .arg(file).arg(expected[k].first).arg(expected[k].second)));
        }
        // A matched dot leads back to the first line.
        const int dots = browser_.evaluate(QStringLiteral("document.querySelectorAll('a[href=\"#line-1\"] .m').length")).toInt();
        for (int k = 0; k < dots; ++k) {
            const QPointF at = bringIntoView(QStringLiteral("a[href=\"#line-1\"] .m"), k);
            browser_.click(at.x(), at.y());
            QCOMPARE(settledScroll(), rowTopOnPage(1));
        }
        // Arrows that lead nowhere are drawn, and a click on one moves nothing.
        const int broken = browser_.evaluate(QStringLiteral("document.querySelectorAll('.p:not(a .p)').length")).toInt();
        for (int k = 0; k < broken; ++k) {
            const QPointF at = bringIntoView(QStringLiteral(".p:not(a .p)"), k);
            const int before = settledScroll();
            const QString hash = browser_.evaluate(QStringLiteral("location.hash")).toString();
            browser_.click(at.x(), at.y());
            QCOMPARE(settledScroll(), before);
            QCOMPARE(browser_.evaluate(QStringLiteral("location.hash")).toString(), hash);
        }
        qInfo("%s: %lld working links followed, %d dots back to line 1, %d broken arrows inert", qPrintable(file),
              qlonglong(expected.size()), dots, broken);
    }

private slots:
    void initTestCase()
    {
        binary_ = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        QVERIFY2(!binary_.isEmpty(), "no chromium: install the Debian package (make test does)");
        QVERIFY(dir_.isValid());
        const QString failure = browser_.start(binary_, path("browser"), kWidth, 600);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void pagesLookReadAndLinkLikeTheEditor_data()
    {
        QTest::addColumn<QString>("file");
        QDir().mkpath(path("in"));
        for (const QString &name : QDir(QStringLiteral(HELPEDIT_SOURCE_DIR "/examples")).entryList({"*.hlp"}))
            QTest::newRow(qPrintable(name)) << QStringLiteral(HELPEDIT_SOURCE_DIR "/examples/") + name;
        for (const auto &[name, bytes] : {std::pair{QStringLiteral("layout.hlp"), layoutFile()},
                                          std::pair{QStringLiteral("links.hlp"), linksFile()},
                                          std::pair{QStringLiteral("long.hlp"), longLinesFile()}}) {
            QFile f(path("in/") + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            QTest::newRow(qPrintable(name)) << f.fileName();
        }
    }

    void pagesLookReadAndLinkLikeTheEditor()
    {
        QFETCH(QString, file);
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        QCOMPARE(publish::exportHtml({file}, path("site"), outStream, errStream), 0);
        doc::TextGrid grid;
        grid.loadLines(fileio::readHelpDocument(file, doc::kLines));
        const int last = publish::lastTextLine(grid);
        const QString page = path("site/") + publish::pageNameOf(file);
        QVERIFY(browser_.navigate(QUrl::fromLocalFile(page).toString()));
        checkText(grid, last);
        checkPositions(grid, last, QFileInfo(file).fileName());
        checkInk(grid, last, QFileInfo(file).fileName());
        checkLinks(grid, QFileInfo(file).fileName());
    }
};

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
