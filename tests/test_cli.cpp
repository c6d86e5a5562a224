// The command-line modes: link diagnostics and exit statuses of --check, the
// pages --render writes (at the window's pixel ratio too), and the help and version texts.

#include "app/cli.h"
#include "editorwindow.h"
#include "render/devicepixels.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status = 0;
    QString out;
    QString err;
};

Run cli(const QStringList &args)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = app::runCli(QStringList{"helpedit"} + args, out, err);
    out.flush();
    err.flush();
    return r;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray manyLinks(int pointers)
{
    QByteArray doc;
    for (int i = 1; i <= pointers; ++i)
        doc += "\\@n" + QByteArray::number(i) + ";\n";
    for (int i = 1; i <= pointers; ++i)
        doc += "\\#n" + QByteArray::number(i) + ";\n";
    return doc;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.filePath(name); }

private slots:
    void check_data()
    {
        QTest::addColumn<QByteArray>("doc");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("clean") << QByteArray("\\@a; go\n\n\\#a; here\n") << 0
                               << QStringList{"F: links found = 1"};
        QTest::newRow("no pointer") << QByteArray("text\n\\#a;\n") << 1
                                    << QStringList{"F:2: marker \"a\" has no earlier pointer", "F: no links found"};
        QTest::newRow("itself") << QByteArray("x\n\\@a; \\#a;\n") << 1
                                << QStringList{"F:2: link \"a\" points to itself", "F: line 2 points to itself"};
        QTest::newRow("nothing") << QByteArray("\\@a;\n\\@b;\n\\#b;\n") << 1
                                 << QStringList{"F:1: link \"a\" points to nothing", "F: line 1 points to nothing"};
        QTest::newRow("every fault, in line order")
            << QByteArray("\\@a;\n\\#z;\n\\@a;\n\\#a;\n\\@b;\n") << 1
            << QStringList{"F:1: duplicate link name \"a\"", "F:2: marker \"z\" has no earlier pointer",
                           "F:3: link \"a\" points to nothing", "F:3: duplicate link name \"a\"",
                           "F:5: link \"b\" points to nothing", "F: duplicate link names"};
    }
    void check()
    {
        QFETCH(QByteArray, doc);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        write(path("F"), doc);
        QDir::setCurrent(dir_.path());
        const Run r = cli({"--check", "F"});
        QCOMPARE(r.status, status);
        QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts), lines);
        QVERIFY(r.err.isEmpty());
    }

    void linksPastTheFiftieth()
    {
        write(path("many"), manyLinks(51));
        const Run r = cli({"--check", path("many")});
        QCOMPARE(r.status, 1);
        const QString f = path("many");
        QVERIFY(r.out.contains(f + ":51: pointer \"n51\" past the 50th link is ignored\n"));
        QVERIFY(r.out.contains(f + ":52: marker \"n1\" past the 50th link is ignored\n"));
        QVERIFY(r.out.contains(f + ":101: marker \"n50\" past the 50th link is ignored\n"));
        QVERIFY(r.out.endsWith(f + ": line 1 points to nothing\n"));
    }

    void severalFilesAndUnreadableOnes()
    {
        write(path("good"), "\\@a;\n\\#a;\n");
        write(path("bad"), "\\@a;\n");
        write(path("huge"), QByteArray(1000, '\n') + "line 1001\n");
        Run r = cli({"--check", path("good"), path("bad")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out.count('\n'), 3);

        r = cli({"--check", path("missing"), path("good"), path("huge")});
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.contains(path("good") + ": links found = 1"));
        QVERIFY(r.err.contains(path("missing") + ": cannot read file: file not found"));
        QVERIFY(r.err.contains(path("huge") + ": cannot read file: text beyond line 1000 (the file has 1001 lines; "
                                              "the editor holds 1000)"));
        QCOMPARE(cli({"--check"}).status, 2);
    }

    void renderMatchesTheEditorPage()
    {
        QByteArray doc;
        for (int i = 1; i <= 70; ++i)
            doc += "\\tline " + QByteArray::number(i) + (i % 3 ? " \\fbold" : " \\@x;") + "\r\n";
        write(path("doc.hlp"), doc);
        const QString out = path("made/here");
        const Run r = cli({"--render", path("doc.hlp"), "--out", out});
        QCOMPARE(r.status, 0);
        const QStringList pages = {out + "/page-001.png", out + "/page-002.png", out + "/page-003.png"};
        QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts), pages);
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 3);

        EditorWindow win;
        QVERIFY(win.open());
        win.form().openFile(path("doc.hlp"));
        win.form().pageBar()->setValue(31);
        const QImage editorPage = win.form().pageView().pageBitmap().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(QImage(pages[1]).convertToFormat(QImage::Format_RGB32), editorPage);

        QVERIFY(cli({"--render", path("doc.hlp"), "--out", out, "--source"}).status == 0);
        QTest::mouseClick(win.form().codebox(), Qt::LeftButton);
        QCOMPARE(QImage(pages[1]).convertToFormat(QImage::Format_RGB32),
                 win.form().pageView().pageBitmap().convertToFormat(QImage::Format_RGB32));
        QVERIFY(win.close().isEmpty());
    }

    void scaledRenderIsWhatTheWindowShows()
    {
        // The window draws its page at its screen's pixel ratio (2 when this case
        // runs under QT_SCALE_FACTOR=2); --scale of that ratio writes the same
        // device pixels, caret aside. A bad scale is refused.
        EditorWindow win;
        QVERIFY(win.open());
        const double ratio = win.form().helpbox()->devicePixelRatioF();
        win.form().openFile(QStringLiteral(HELPEDIT_EXAMPLES "/sample.hlp"));
        QImage shown = win.form().helpbox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(800, 800) * ratio);
        const QString out = path("scaled");
        QCOMPARE(cli({"--render", HELPEDIT_EXAMPLES "/sample.hlp", "--out", out, "--scale",
                      QString::number(ratio)}).status, 0);
        QImage written = QImage(out + "/page-001.png").convertToFormat(QImage::Format_RGB32);
        const QRect caret = render::toDevice(win.form().pageView().caretRect(), ratio);
        shown.setDevicePixelRatio(1); // compared pixel for pixel
        for (QImage *img : {&shown, &written})
            QPainter(img).fillRect(caret, Qt::black);
        QVERIFY(shown == written);
        QVERIFY(win.close().isEmpty());
        for (const char *bad : {"0", "5", "x"})
            QCOMPARE(cli({"--render", HELPEDIT_EXAMPLES "/sample.hlp", "--out", out, "--scale", bad}).status, 2);
    }

    void pagesStopAtTheLastLine()
    {
        doc::TextGrid grid;
        QCOMPARE(app::pageTops(grid), QList<int>{1});
        grid.setLine("x", 31);
        QCOMPARE(app::pageTops(grid), QList<int>{1});
        grid.setLine("x", 32);
        QCOMPARE(app::pageTops(grid), (QList<int>{1, 32}));
        grid.setLine("x", 1000);
        const QList<int> tops = app::pageTops(grid);
        QCOMPARE(tops.size(), 33);
        QCOMPARE(tops.last(), 970);
    }

    void modes()
    {
        QCOMPARE(app::cliMode({"helpedit"}), app::CliMode::Window);
        QCOMPARE(app::cliMode({"helpedit", "notes.hlp"}), app::CliMode::Window);
        QCOMPARE(app::cliMode({"helpedit", "--bogus"}), app::CliMode::Usage);
        const Run help = cli({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("--check FILE..."));
        QVERIFY(help.out.contains("--render FILE"));
        QCOMPARE(cli({"--bogus"}).status, 2);
        QCOMPARE(cli({"--render", path("doc.hlp")}).status, 2); // no --out
    }

    void programRunsWithoutADisplay()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(HELPEDIT_BINARY), {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("helpedit 6"));
        QVERIFY(p.readAllStandardError().isEmpty());

        p.start(QStringLiteral(HELPEDIT_BINARY), {"--check", QStringLiteral(HELPEDIT_EXAMPLES "/sample.hlp")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
    }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
