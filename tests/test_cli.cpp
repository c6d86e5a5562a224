// The command-line modes: link diagnostics and exit statuses of --check, the
// pages --render writes (at the window's pixel ratio too), and the help and version texts.

#include "app/cli.h"
#include "clirun.h"
#include "editorwindow.h"
#include "render/devicepixels.h"

#include <QProcess>
#include "fileio/recovery.h"
#include <QTemporaryDir>
#include <QtTest>

namespace {

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
        // A marker the table ignores is a warning: the page shows its dot, no link is wrong.
        QTest::newRow("no pointer") << QByteArray("text\n\\#a;\n") << 0
                                    << QStringList{"F:2:1: warning: no pointer names marker 'a'", "F: no links found"};
        QTest::newRow("itself") << QByteArray("x\n\\@a; \\#a;\n") << 1
                                << QStringList{"F:2:1: error: link 'a' points to itself", "F: line 2 points to itself"};
        QTest::newRow("nothing") << QByteArray("\\@a;\n  \\@b;\n\\#b;\n") << 1
                                 << QStringList{"F:1:1: error: link 'a' points to nothing", "F: line 1 points to nothing"};
        // The second pointer of a name is a duplicate, not a pointer to nothing.
        QTest::newRow("every fault, in line order")
            << QByteArray("\\@a;\n\\#z;\nsee \\@a;\n\\#a;\n\\@b;\n") << 1
            << QStringList{"F:1:1: error: duplicate link name 'a' (also on line 3)",
                           "F:2:1: warning: no pointer names marker 'z'",
                           "F:3:5: error: duplicate link name 'a' (also on line 1)",
                           "F:5:1: error: link 'b' points to nothing", "F: duplicate link names"};
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
        QVERIFY(r.out.contains(f + ":51:1: error: pointer 'n51' past the 50th link is ignored\n"));
        QVERIFY(r.out.contains(f + ":52:1: error: marker 'n1' past the 50th link is ignored\n"));
        QVERIFY(r.out.contains(f + ":101:1: error: marker 'n50' past the 50th link is ignored\n"));
        QVERIFY(r.out.endsWith(f + ": line 1 points to nothing\n"));
    }

    // The recovery copies of the user's state folder, newest first, with the
    // time, the line count and the first line that holds text; none is no error.
    void listRecovered()
    {
        qputenv("XDG_STATE_HOME", path("state").toUtf8());
        Run r = cli({"--list-recovered"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString());

        fileio::RecoveryStore store;
        QCOMPARE(store.folder(), path("state/helpedit"));
        const QString older = store.pathForSession(QDateTime::currentDateTime());
        const QString newer = store.pathForSession(QDateTime::currentDateTime());
        store.write(older, {"old text"});
        store.write(newer, {"", "caf\xE9 au lait", "more"});
        QFile f(older);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(QDateTime::currentDateTime().addSecs(-600),
                                                              QFileDevice::FileModificationTime));
        r = cli({"--list-recovered"});
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QStringList first = lines[0].split('\t');
        QCOMPARE(first.size(), 4);
        QCOMPARE(first[0], newer);
        QVERIFY(QDateTime::fromString(first[1], "yyyy-MM-dd HH:mm").isValid());
        QCOMPARE(first[2], "3");
        QCOMPARE(first[3], QString::fromUtf8("caf\u00e9 au lait"));
        QVERIFY(lines[1].startsWith(older + '\t'));
        QVERIFY(lines[1].endsWith("\t1\told text"));
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
            {"bad", {1, "bad:1:1: error: link 'a' points to nothing\nbad: line 1 points to nothing\n", ""}},
            {"huge", {2, "", "huge: cannot read file: text beyond line 1000 (the file has 1001 lines; the editor holds 1000)\n"}},
            {"missing", {2, "", "missing: cannot read file: file not found\n"}},
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

    void usageErrorsSayWhatInOneLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("first");
        QTest::newRow("unknown long") << QStringList{"--bogus"} << "helpedit: unknown option '--bogus'";
        QTest::newRow("unknown short") << QStringList{"-x", "F"} << "helpedit: unknown option '-x'";
        QTest::newRow("render without out") << QStringList{"--render", "F"} << "helpedit: option '--out' is missing";
        QTest::newRow("out without value") << QStringList{"--render", "F", "--out"} << "helpedit: option '--out' needs a value";
        QTest::newRow("out empty") << QStringList{"--render", "F", "--out="} << "helpedit: option '--out' needs a value";
        QTest::newRow("check without file") << QStringList{"--check"} << "helpedit: --check needs at least one FILE";
        QTest::newRow("render two files") << QStringList{"--render", "F", "G", "--out", "D"} << "helpedit: --render needs one FILE";
        QTest::newRow("two modes") << QStringList{"--check", "--render", "F"} << "helpedit: --check and --render cannot";
        QTest::newRow("option of another mode") << QStringList{"--check", "F", "--source"} << "helpedit: --source only goes with --render";
        QTest::newRow("strict alone") << QStringList{"--strict", "F"} << "helpedit: --strict only goes with --check";
        QTest::newRow("window with two files") << QStringList{"F", "G"} << "helpedit: the window opens one FILE";
        QTest::newRow("switch with a value") << QStringList{"--check=F"} << "helpedit: unexpected value after '--check'";
        for (const char *zoom : {"0.49", "4.01", "x", "nan", "inf", "-1", "1,5"})
            QTest::newRow(zoom) << QStringList{QStringLiteral("--zoom=") + zoom} << "helpedit: option '--zoom' takes a number from 0.5 to 4";
        QTest::newRow("zoom without the window") << QStringList{"--check", "F", "--zoom=2"} << "helpedit: --zoom only goes with the window";
    }

    void zoomGoesWithEveryWindow()
    {
        app::CommandLine c = app::parseCommandLine({"helpedit", "--zoom=1.5", "F"});
        QCOMPARE(c.mode, app::CliMode::Window);
        QCOMPARE(c.zoom, 1.5);
        QCOMPARE(c.files, QStringList{"F"});
        c = app::parseCommandLine({"helpedit", "--recover", "--zoom", "0.5"});
        QCOMPARE(c.mode, app::CliMode::Recover);
        QCOMPARE(c.zoom, 0.5);
        QCOMPARE(app::parseCommandLine({"helpedit", "--zoom=4"}).zoom, 4.0);
        QCOMPARE(app::parseCommandLine({"helpedit"}).zoom, 1.0);
    }
    void usageErrorsSayWhatInOneLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, first);
        const Run r = cli(args);
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(first), qPrintable(lines[0]));
        QCOMPARE(lines[1], QStringLiteral("Try 'helpedit --help' for more information."));
    }

    void helpAndVersionGoToStandardOutput()
    {
        for (const QString arg : {"-h", "--help", "-v", "--version"}) {
            // Help and version win over the rest of the line, as in GNU programs.
            const Run r = cli({"--check", arg});
            QCOMPARE(r.status, 0);
            QVERIFY(r.err.isEmpty());
            QVERIFY(r.out.startsWith(arg.contains('h') ? "Usage: helpedit" : "helpedit 6"));
        }
    }

    // --version in the GNU form: "NAME VERSION", a copyright line, the licence line.
    void versionIsInTheGnuForm()
    {
        const Run r = cli({"--version"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("helpedit 6.0"));
        QVERIFY2(lines[1].startsWith("Copyright (C) the helpedit authors"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("License MIT"), qPrintable(lines[2]));
        // The licence named is the one the source says.
        QFile licence(QStringLiteral(HELPEDIT_SOURCE_DIR "/LICENSE"));
        QVERIFY(licence.open(QIODevice::ReadOnly));
        QVERIFY(licence.readAll().startsWith("MIT License"));
    }

    void filesAfterTheOptionsOrAfterDoubleDash()
    {
        QCOMPARE(app::parseCommandLine({"helpedit"}).mode, app::CliMode::Window);
        app::CommandLine c = app::parseCommandLine({"helpedit", "--", "-odd.hlp"});
        QCOMPARE(c.mode, app::CliMode::Window);
        QCOMPARE(c.files, QStringList{"-odd.hlp"});

        write(path("-odd.hlp"), "\\@a;\n\\#a;\n");
        QDir::setCurrent(dir_.path());
        const Run r = cli({"--check", "--", "-odd.hlp"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("-odd.hlp: links found = 1\n"));
        c = app::parseCommandLine({"helpedit", "F", "--out", "D", "--source", "--render"});
        QCOMPARE(c.mode, app::CliMode::Render);
        QCOMPARE(c.out, QStringLiteral("D"));
        QCOMPARE(c.display, markup::DisplayMode::Source);
    }

    void warningsNameFileAndLineAndFailOnlyWhenStrict()
    {
        // Blanks draw nothing, so the long line is not also past the page's edge.
        write(path("w.hlp"), "\\@a;\r\n" + QByteArray(121, ' ') + "\r\ncaf\xc3\xa9\r\n\\#a;\r\n");
        QDir::setCurrent(dir_.path());
        const QStringList expected = {"w.hlp:2:121: warning: line is 121 bytes long", "w.hlp:3:4: warning: line looks like UTF-8",
                                      "w.hlp: links found = 1"};
        for (const bool strict : {false, true}) {
            const Run r = cli(strict ? QStringList{"--check", "--strict", "w.hlp"} : QStringList{"--check", "w.hlp"});
            QCOMPARE(r.status, strict ? 1 : 0);
            const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), expected.size());
            for (int i = 0; i < lines.size(); ++i)
                QVERIFY2(lines[i].startsWith(expected[i]), qPrintable(lines[i]));
        }
        // A link fault still makes the status 1 without --strict, and an unreadable file 2.
        write(path("f.hlp"), "\\@a;\n\\#b;\n" + QByteArray(130, 'y') + "\n");
        QCOMPARE(cli({"--check", "f.hlp"}).status, 1);
        QCOMPARE(cli({"--check", "--strict", "f.hlp", "missing.hlp"}).status, 2);
    }

    void renderRemovesOnlyStalePages()
    {
        const QString out = path("stale");
        QDir().mkpath(out);
        for (const char *name : {"page-001.png", "page-002.png", "page-007.png", "page-1000.png", "page-x.png", "notes.txt", "page-002.jpg"})
            write(out + '/' + name, "old");
        write(path("one.hlp"), "one page\n");
        const Run r = cli({"--render", path("one.hlp"), "--out=" + out});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, out + "/page-001.png\n");
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 (QStringList{"notes.txt", "page-001.png", "page-002.jpg", "page-x.png"}));
        QCOMPARE(r.err.count(": removed"), 3);
        QVERIFY(r.err.startsWith(out + "/page-002.png: removed"));
        QVERIFY(!QImage(out + "/page-001.png").isNull());
    }

    void renderFailuresNameTheCause()
    {
        write(path("one.hlp"), "one page\n");
        write(path("plain"), "a file, not a folder");
        Run r = cli({"--render", path("one.hlp"), "--out", path("plain/sub")});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, path("plain/sub") + ": cannot create folder: not a folder\n");
        r = cli({"--render", path("one.hlp"), "--out", path("plain")});
        QCOMPARE(r.err, path("plain") + ": cannot create folder: not a folder\n");

        // A folder where the page goes: the write fails and says so, naming the page.
        QDir().mkpath(path("taken/page-001.png"));
        r = cli({"--render", path("one.hlp"), "--out", path("taken")});
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(path("taken/page-001.png") + ": cannot write file: "), qPrintable(r.err));
        QVERIFY(r.err.size() > path("taken/page-001.png: cannot write file: ").size() + 1);
        r = cli({"--render", path("absent.hlp"), "--out", path("taken")});
        QVERIFY(r.err.startsWith(path("absent.hlp") + ": cannot read file"));
    }

    void everyOptionOfTheHelpIsInTheManPage()
    {
        QFile page(QStringLiteral(HELPEDIT_SOURCE_DIR "/helpedit.1"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString man = QString::fromUtf8(page.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-"));
        static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
        QStringList options;
        for (const auto &m : option.globalMatch(cli({"--help"}).out))
            options << m.captured();
        QVERIFY(options.contains("--strict") && options.contains("-v"));
        for (const QString &o : options) {
            const QRegularExpression inMan(QStringLiteral("(?<![\\w-])%1(?![\\w-])").arg(QRegularExpression::escape(o)));
            QVERIFY2(man.contains(inMan), qPrintable(o + " is not in helpedit.1"));
        }
    }

    // The installed program as scripts see it: no display, no toolkit noise.
    QProcess &headless(QProcess &p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        return p;
    }

    void programRunsWithoutADisplay()
    {
        QProcess p;
        headless(p).start(QStringLiteral(HELPEDIT_BINARY), {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("helpedit 6"));
        QVERIFY(p.readAllStandardError().isEmpty());

        p.start(QStringLiteral(HELPEDIT_BINARY), {"--check", QStringLiteral(HELPEDIT_EXAMPLES "/sample.hlp")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);

        p.start(QStringLiteral(HELPEDIT_BINARY), {"--render", QStringLiteral(HELPEDIT_EXAMPLES "/sample.hlp"), "--out", path("headless")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardError().isEmpty());
        QVERIFY(!QImage(path("headless/page-001.png")).isNull());
    }

    void windowWithoutADisplaySaysSoInOneLine()
    {
        for (const char *display : {"", ":97"}) {
            QProcess p;
            QProcessEnvironment env = headless(p).processEnvironment();
            if (*display)
                env.insert("DISPLAY", display);
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(HELPEDIT_BINARY), {QStringLiteral(HELPEDIT_EXAMPLES "/sample.hlp")});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 1);
            const QByteArray err = p.readAllStandardError();
            QCOMPARE(err.count('\n'), 1);
            QVERIFY2(err.startsWith("helpedit: cannot open a display ("), err.constData());
            QVERIFY(err.endsWith("); --check and --render work without one\n"));
        }
    }

    void failedStandardOutputIsAFailure()
    {
        for (const QStringList &args : {QStringList{"--check", QStringLiteral(HELPEDIT_EXAMPLES "/sample.hlp")},
                                        QStringList{"--help"}}) {
            QProcess p;
            headless(p).setStandardOutputFile(QStringLiteral("/dev/full"));
            p.start(QStringLiteral(HELPEDIT_BINARY), args);
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 2);
            QVERIFY(p.readAllStandardError().startsWith("helpedit: cannot write to standard output"));
        }
    }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
