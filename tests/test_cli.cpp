// The command-line modes: link diagnostics and exit statuses of --check, the
// pages --render writes, and the help and version texts.

#include "app/cli.h"
#include "editorwindow.h"

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

    // Every order of two or three of a good, a faulty and two unreadable files:
    // each is reported in its turn, and the worst status wins wherever it stands.
    void severalFilesInEveryOrder()
    {
        write(path("good"), "\\@a;\n\\#a;\n");
        write(path("bad"), "\\@a;\n");
        write(path("huge"), QByteArray(1000, '\n') + "line 1001\n");
        const QMap<QString, std::tuple<int, QString, QString>> report = {
            {"good", {0, "good: links found = 1\n", ""}},
            {"bad", {1, "bad:1: link \"a\" points to nothing\nbad: line 1 points to nothing\n", ""}},
            {"huge", {2, "", "huge: cannot read file: Range check error\n"}},
            {"missing", {2, "", "missing: cannot read file: File not found\n"}},
        };
        QDir::setCurrent(dir_.path());
        QStringList names = report.keys(); // sorted: the first permutation
        int runs = 0;
        do {
            for (int n : {2, 3}) {
                int status = 0;
                QString out, err;
                for (const QString &name : names.mid(0, n)) {
                    status = std::max(status, std::get<0>(report[name]));
                    out += std::get<1>(report[name]);
                    err += std::get<2>(report[name]);
                }
                const Run r = cli(QStringList{"--check"} + names.mid(0, n));
                QVERIFY2(r.status == status && r.out == out && r.err == err, qPrintable(names.mid(0, n).join(' ')));
                ++runs;
            }
        } while (std::next_permutation(names.begin(), names.end()));
        QCOMPARE(runs, 48);
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
