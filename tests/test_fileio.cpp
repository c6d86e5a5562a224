// The help file format and the file operations under it.

#include "app/mainwindow.h"
#include "editorwindow.h"
#include "base/checked.h"
#include "base/errorreport.h"
#include "fileio/helpfile.h"
#include "links/linktable.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <tuple>
#include <vector>

using fileio::ReadStep;
using fileio::SaveStep;
using Lines = QList<QByteArray>;

namespace {

// Failures made on purpose, through the seams or through paths that cannot be
// read or written; each test counts the ones after which it found nothing lost.
int faultsInjected = 0;

QByteArray bytesOf(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(char(c));
    return b;
}

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Runs op and returns the text of the FileError it throws, or a marker.
template <typename Op>
QString fileErrorOf(Op op)
{
    try {
        op();
    } catch (const base::FileError &e) {
        return QString::fromLatin1(e.what());
    }
    return QStringLiteral("<no error>");
}

// Returns a fault hook that throws FileError(cause) at its call number failAt,
// counting from 0, and lets every other call pass.
template <typename Step>
std::function<void(Step)> failAtCall(int failAt, const char *cause)
{
    auto calls = std::make_shared<int>(0);
    return [=](Step) {
        if ((*calls)++ == failAt)
            throw base::FileError(cause);
    };
}

// A few hundred kilobytes of every byte value, so a save takes several writes.
QByteArray bigContent()
{
    QByteArray b;
    for (int i = 0; i < 300 * 1024; ++i)
        b.append(char((i * 7) & 0xFF));
    return b;
}

} // namespace

class TestFileio : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        fileio::setSaveFaultHook(nullptr);
        fileio::setReadFaultHook(nullptr);
    }

    void parse_data();
    void parse();
    void serialize_data();
    void serialize();
    void roundTripKeepsEveryByteButLineEnds();
    void warningsForWhatOpeningChanges_data();
    void warningsForWhatOpeningChanges();
    void warningsDoNotChangeTheLines();

    void writeThenReadBack();
    void readFailures_data();
    void readFailures();
    void saveFailures_data();
    void saveFailures();
    void faultAtEverySaveStepKeepsOldFile();
    void faultAtEveryReadStepFailsTheRead();
    void shortWriteKeepsOldFile();
};

void TestFileio::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Lines>("lines");

    QTest::newRow("empty file") << QByteArray() << Lines{};
    QTest::newRow("one line end") << QByteArray("\r\n") << Lines{""};
    QTest::newRow("last line without end") << QByteArray("ab\r\ncd") << Lines{"ab", "cd"};
    QTest::newRow("no extra line after end") << QByteArray("ab\r\ncd\r\n") << Lines{"ab", "cd"};
    QTest::newRow("LF alone") << QByteArray("ab\ncd\n") << Lines{"ab", "cd"};
    QTest::newRow("mixed ends, empty lines") << QByteArray("a\n\r\n\nb\r\n") << Lines{"a", "", "", "b"};
    QTest::newRow("CR inside dropped") << QByteArray("a\rb\r\r\n") << Lines{"ab"};
    QTest::newRow("lone CR at end") << QByteArray("a\r\n\r") << Lines{"a"};
    QTest::newRow("CR without LF") << QByteArray("a\rb") << Lines{"ab"};
    QTest::newRow("26 starts file") << bytesOf({26, 'a', 10}) << Lines{};
    QTest::newRow("26 at later line start") << bytesOf({'a', 10, 26, 'b', 10, 'c'}) << Lines{"a"};
    QTest::newRow("26 after dropped CR") << bytesOf({'a', 10, 13, 26, 'b', 10}) << Lines{"a"};
    QTest::newRow("26 after empty line") << bytesOf({10, 26, 'b'}) << Lines{""};
    QTest::newRow("26 inside line") << bytesOf({'a', 26, 'b', 26, 13, 10, 'c'}) << Lines{"a", "c"};
    QTest::newRow("26 inside last line") << bytesOf({'a', 'b', 26, 'c'}) << Lines{"ab"};
    QTest::newRow("0 kept") << bytesOf({'a', 0, 'b', 10, 0}) << Lines{bytesOf({'a', 0, 'b'}), bytesOf({0})};
    QTest::newRow("high bytes kept") << bytesOf({128, 233, 255, 10}) << Lines{bytesOf({128, 233, 255})};
    QTest::newRow("long line not cut") << QByteArray(300, 'x') << Lines{QByteArray(300, 'x')};
}

void TestFileio::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Lines, lines);
    QCOMPARE(fileio::parseHelpFile(bytes), lines);
}

void TestFileio::serialize_data()
{
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("no lines") << Lines{} << QByteArray();
    QTest::newRow("last line ended too") << Lines{"ab", "c"} << QByteArray("ab\r\nc\r\n");
    QTest::newRow("empty lines bare") << Lines{"", "x", ""} << QByteArray("\r\nx\r\n\r\n");
    QTest::newRow("bytes unconverted") << Lines{bytesOf({0, 128, 255})} << bytesOf({0, 128, 255, 13, 10});
}

void TestFileio::serialize()
{
    QFETCH(Lines, lines);
    QFETCH(QByteArray, bytes);
    QCOMPARE(fileio::serializeHelpFile(lines), bytes);
}

void TestFileio::roundTripKeepsEveryByteButLineEnds()
{
    Lines lines{""};
    QByteArray all;
    for (int c = 0; c < 256; ++c) {
        if (c != 10 && c != 13 && c != 26)
            all.append(char(c));
    }
    lines << all << "" << "" << "\\b bold \\n" << all.right(128) << "";
    QCOMPARE(fileio::parseHelpFile(fileio::serializeHelpFile(lines)), lines);
}

// Expected warnings as "line:first words of the message".
using Findings = QStringList;

void TestFileio::warningsForWhatOpeningChanges_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Findings>("findings");

    QTest::newRow("clean, 120 bytes, cp1252, final 26")
        << QByteArray(120, 'x') + "\r\ncaf\xe9 \x80\r\n\x1a" << Findings{};
    QTest::newRow("121 bytes") << "a\r\n" + QByteArray(121, 'x') + "\r\n" << Findings{"2:line is 121 bytes long"};
    QTest::newRow("text after 0") << "some text\n" + bytesOf({'a', 0, 'b', 10, 'c', 0, 10}) + "and more text\n"
                                << Findings{"2:text after a byte 0"};
    QTest::newRow("0 beyond the kept 120 only") << QByteArray(120, 'x') + QByteArray(1, 0) + "y"
                                                << Findings{"1:line is 122 bytes long"};
    QTest::newRow("26 inside a line") << bytesOf({'a', 26, 'b', 13, 10, 'c', 26, 26, 10}) << Findings{"1:text after a byte 26 is skipped"};
    QTest::newRow("26 ends the file") << bytesOf({'a', 10, 26, 13, 10, 'x'}) << Findings{"2:text after a byte 26 that ends the file"};
    QTest::newRow("26 after CR at a line start") << bytesOf({'a', 10, 13, 26, 'x'}) << Findings{"2:text after a byte 26 that ends the file"};
    QTest::newRow("UTF-8") << QByteArray("ok\n\xc3\xa9t\xc3\xa9\n\xe2\x82\xac\n\xc3\n") << Findings{"2:line looks like UTF-8", "3:line looks like UTF-8"};
    QTest::newRow("several on a line, in line order")
        << QByteArray(130, 'x') + "\xc3\xa9" + QByteArray(1, 0) + "z\n\xc3\xa9\n"
        << Findings{"1:line is 134 bytes long", "1:line looks like UTF-8", "2:line looks like UTF-8"};
    QTest::newRow("binary, one warning only") << QByteArray(200, 'x') + QByteArray(60, 1) + QByteArray(300, 'y')
                                               << Findings{"1:the file looks binary (60 of its 560 bytes"};
}

void TestFileio::warningsForWhatOpeningChanges()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Findings, findings);
    Findings found;
    for (const fileio::FormatWarning &w : fileio::formatWarnings(bytes))
        found << QString::number(w.line) + ':' + w.message;
    QCOMPARE(found.size(), findings.size());
    for (int i = 0; i < found.size(); ++i)
        QVERIFY2(found[i].startsWith(findings[i]), qPrintable(found[i]));
}

void TestFileio::warningsDoNotChangeTheLines()
{
    // The warnings come from the editor's own reader; asking for them must not change what it reads.
    const QByteArray bytes = bytesOf({'a', 26, 'b', 10, 0, 'c', 10, 26, 'd'});
    QList<fileio::FormatWarning> warnings;
    QCOMPARE(fileio::parseHelpFile(bytes, &warnings), fileio::parseHelpFile(bytes));
    QCOMPARE(warnings.size(), 2);
}

void TestFileio::writeThenReadBack()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("doc.hlp");
    putFile(path, QByteArray(5000, 'o')); // longer than the new content: nothing of it may remain

    const QByteArray content = fileio::serializeHelpFile({bytesOf({0, 26, 128, 255}), "text"});
    fileio::writeFileBytes(path, content);
    QCOMPARE(fileio::readFileBytes(path), content);
    QCOMPARE(entries(dir.path()), QStringList{"doc.hlp"}); // no temporary left behind

    fileio::writeFileBytes(path, QByteArray());
    QCOMPARE(fileio::readFileBytes(path), QByteArray());
}

void TestFileio::readFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cause");

    QTest::newRow("missing file") << "nothing.hlp" << "file not found";
    QTest::newRow("folder as file") << "folder" << "is a folder, not a file";
    QTest::newRow("missing parent") << "missing/doc.hlp" << "folder not found";
    QTest::newRow("parent is a file") << "plain.txt/doc.hlp" << "folder not found";
}

void TestFileio::readFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    putFile(dir.filePath("plain.txt"), "x");
    QCOMPARE(fileErrorOf([&] { fileio::readFileBytes(dir.filePath(name)); }), cause);
}

void TestFileio::saveFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cause");

    QTest::newRow("folder as file") << "folder" << "is a folder, not a file";
    QTest::newRow("missing parent") << "missing/doc.hlp" << "folder not found";
    QTest::newRow("parent is a file") << "plain.txt/doc.hlp" << "folder not found";
}

void TestFileio::saveFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    putFile(dir.filePath("folder/inside.hlp"), "kept");
    putFile(dir.filePath("plain.txt"), "old bytes");

    QCOMPARE(fileErrorOf([&] { fileio::writeFileBytes(dir.filePath(name), "new\r\n"); }), cause);
    QCOMPARE(fileContent(dir.filePath("plain.txt")), QByteArray("old bytes"));
    QCOMPARE(entries(dir.filePath("folder")), QStringList{"inside.hlp"});
    QCOMPARE(fileContent(dir.filePath("folder/inside.hlp")), QByteArray("kept"));
    QCOMPARE(entries(dir.path()), (QStringList{"folder", "plain.txt"}));
    ++faultsInjected;
}

// Every step a save goes through is made to fail once; each time the old
// file must stay whole and no temporary may be left in the folder.
void TestFileio::faultAtEverySaveStepKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.hlp");
    const QByteArray oldBytes = "old line\r\n";
    const QByteArray newBytes = bigContent();

    QList<SaveStep> steps;
    fileio::setSaveFaultHook([&](SaveStep s) { steps << s; });
    fileio::writeFileBytes(dir.filePath("probe.hlp"), newBytes);
    QVERIFY2(steps.count(SaveStep::Write) >= 2, "the content should take several writes");
    QCOMPARE(steps.first(), SaveStep::Open);
    QCOMPARE(steps.last(), SaveStep::Commit);
    QVERIFY(QFile::remove(dir.filePath("probe.hlp")));

    for (int failAt = 0; failAt < steps.size(); ++failAt) {
        putFile(path, oldBytes);
        fileio::setSaveFaultHook(failAtCall<SaveStep>(failAt, "Disk full"));
        const QString where = QStringLiteral("fault at call %1").arg(failAt);
        QVERIFY2(fileErrorOf([&] { fileio::writeFileBytes(path, newBytes); }) == "Disk full", qPrintable(where));
        QVERIFY2(fileContent(path) == oldBytes, qPrintable(where));
        QVERIFY2(entries(dir.path()) == QStringList{"doc.hlp"}, qPrintable(where));
        ++faultsInjected;
    }
}

// Every step of a read is made to fail once; the failure must come out as the
// file error and never as a shortened content.
void TestFileio::faultAtEveryReadStepFailsTheRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.hlp");
    putFile(path, bigContent());

    QList<ReadStep> steps;
    fileio::setReadFaultHook([&](ReadStep s) { steps << s; });
    QCOMPARE(fileio::readFileBytes(path), bigContent());
    QVERIFY2(steps.count(ReadStep::Read) >= 3, "the content should take several reads");
    QCOMPARE(steps.first(), ReadStep::Open);

    for (int failAt = 0; failAt < steps.size(); ++failAt) {
        fileio::setReadFaultHook(failAtCall<ReadStep>(failAt, "Read error"));
        QCOMPARE(fileErrorOf([&] { fileio::readFileBytes(path); }), QStringLiteral("Read error"));
        ++faultsInjected;
    }
}

// A real write failure that holds for root too: a file size limit just below
// the content's size makes the system cut the last write short, with no
// failing write after it.
void TestFileio::shortWriteKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.hlp");
    putFile(path, "old line\r\n");
    const QByteArray newBytes = bigContent();

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = rlim_t(newBytes.size() - 10);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString cause = fileErrorOf([&] { fileio::writeFileBytes(path, newBytes); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(cause, QStringLiteral("write error"));
    QCOMPARE(fileContent(path), QByteArray("old line\r\n"));
    QCOMPARE(entries(dir.path()), QStringList{"doc.hlp"});
    ++faultsInjected;
}

// ---- OPEN and SAVE in the editor window --------------------------------------

namespace {

// Waits for the next modal widget of type T and hands it to act; returns the
// waiting timer, which deletes itself once it has acted.
template <typename T>
QTimer *whenModal(std::function<void(T *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(w);
        }
    });
    poll->start();
    return poll;
}

// Answers the next file dialog with path (cancels when path is empty) and
// records the name the dialog offered when it opened.
void answerFileDialog(const QString &path, QString *offered = nullptr)
{
    whenModal<QFileDialog>([path, offered](QFileDialog *d) {
        if (offered)
            *offered = d->selectedFiles().value(0);
        if (path.isEmpty()) {
            d->reject();
            return;
        }
        // Typed into the name field, as a user would.
        d->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
    });
}

} // namespace

class TestFileWindow : public QObject {
    Q_OBJECT

    EditorWindow win_;
    QTemporaryDir dir_;

    app::MainWindow &form() { return win_.form(); }
    doc::TextGrid &grid() { return win_.form().editor().grid(); }
    QString path(const QString &name) const { return dir_.filePath(name); }
    void click(const char *button) { QTest::mouseClick(form().findChild<QPushButton *>(button), Qt::LeftButton); }
    void openThroughDialog(const QString &file) { answerFileDialog(file); click("openBtn"); }
    void saveThroughDialog(const QString &file) { answerFileDialog(file); click("saveBtn"); }

    // A document with a link, scrolled down, with a message showing.
    void someDocument()
    {
        grid().setLine("old \\@a;", 1);
        grid().setLine("\\#a;", 2);
        grid().setLine("old text", 60);
        click("linkBtn");
        form().pageBar()->setValue(40);
        form().msgtext()->setText(QStringLiteral("before"));
    }
    QList<QByteArray> documentLines()
    {
        QList<QByteArray> lines;
        for (int l = 1; l <= 1000; ++l)
            lines << grid().getLine(l);
        return lines;
    }

    // What a failed open or save must leave as it was.
    struct Snapshot {
        QList<QByteArray> lines;
        int cursorLine, cursorColumn, topLine, barValue, linkCount;
        std::vector<std::tuple<QByteArray, int, int, int, int>> links;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snapshot()
    {
        const doc::EditorState &s = form().editor().state();
        Snapshot snap{documentLines(), s.cursorLine, s.cursorColumn, s.topLine,
                      form().pageBar()->value(), form().linkTable().linkCount(), {}};
        for (int i = 1; i <= links::kMaxLinks; ++i) {
            const links::Link &e = form().linkTable().entry(i);
            snap.links.emplace_back(e.name, e.pointerX, e.markerX, e.pointerLine, e.markerLine);
        }
        return snap;
    }

    // A document of full lines, long enough that reading or writing it takes several pieces.
    void fullDocument()
    {
        for (int l = 1; l <= 1000; ++l)
            grid().setLine(QByteArray(120, char('a' + l % 26)), l);
    }

    // The steps one save or open of the full document goes through.
    template <typename Step>
    QList<Step> stepsOf(void (*install)(std::function<void(Step)>), const std::function<void()> &op)
    {
        QList<Step> steps;
        install([&](Step s) { steps << s; });
        op();
        install(nullptr);
        return steps;
    }

private slots:
    void init()
    {
        QVERIFY(win_.open());
    }
    void cleanup()
    {
        win_.close();
        fileio::setSaveFaultHook(nullptr);
        fileio::setReadFaultHook(nullptr);
    }

    void openReplacesTheDocument()
    {
        someDocument();
        putFile(path("a.hlp"), "first\r\nsec\ror\x1a hidden\n\n" + QByteArray(150, 'x') + "\r\n\\@k;\n\\#k;");
        openThroughDialog(path("a.hlp"));
        QCOMPARE(form().msgtext()->text(), QStringLiteral("file loaded. Lines = 6"));
        QCOMPARE(grid().getLine(1), QByteArray("first"));
        QCOMPARE(grid().getLine(2), QByteArray("secor"));
        QCOMPARE(grid().lineLength(3), 0);
        QCOMPARE(grid().getLine(4), QByteArray(120, 'x'));
        QCOMPARE(grid().lineLength(60), 0);
        const doc::EditorState &s = form().editor().state();
        QCOMPARE(s.topLine, 1);
        QCOMPARE(s.cursorLine, 1);
        QCOMPARE(form().pageBar()->value(), 0);
        QCOMPARE(form().linkTable().linkCount(), 1);
        QCOMPARE(form().linkTable().entry(1).name, QByteArray("k"));
        QCOMPARE(form().linkTable().entry(1).markerLine, 6);
        QVERIFY(win_.reports.isEmpty());
    }

    void cancelledDialogsChangeNothing()
    {
        someDocument();
        const auto before = documentLines();
        answerFileDialog({});
        click("openBtn");
        answerFileDialog({});
        click("saveBtn");
        QCOMPARE(documentLines(), before);
        QCOMPARE(form().msgtext()->text(), QStringLiteral("before"));
        QCOMPARE(form().editor().state().topLine, 41);
        QVERIFY(win_.reports.isEmpty());
    }

    void failedOpenKeepsEverything_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("byDialog");
        // The dialog itself takes a name that does not exist; a folder name it
        // would open as a folder, so those paths go straight to the open.
        QTest::newRow("missing file") << "nothing.hlp" << "file not found" << true;
        QTest::newRow("text past line 1000")
            << "long.hlp" << "text beyond line 1000 (the file has 1001 lines; the editor holds 1000)" << true;
        QTest::newRow("2000 lines")
            << "big.hlp" << "text beyond line 1000 (the file has 2000 lines; the editor holds 1000)" << true;
        QTest::newRow("40000 lines") << "huge.hlp" << "more than 32767 lines" << true;
        QTest::newRow("folder") << "sub" << "is a folder, not a file" << false;
        QTest::newRow("missing folder") << "nowhere/a.hlp" << "folder not found" << false;
        QTest::newRow("parent is a file") << "plain/a.hlp" << "folder not found" << false;
    }
    void failedOpenKeepsEverything()
    {
        QFETCH(QString, name);
        QFETCH(QString, cause);
        QFETCH(bool, byDialog);
        QDir(dir_.path()).mkdir("sub");
        putFile(path("plain"), "x");
        putFile(path("long.hlp"), QByteArray(1000, '\n') + "text on 1001\n");
        putFile(path("big.hlp"), QByteArray("line\r\n").repeated(2000));
        // Empty past line 1000: only the count is too large.
        putFile(path("huge.hlp"), "top\n" + QByteArray(39999, '\n'));
        someDocument();
        const Snapshot before = snapshot();
        const QImage page = form().pageView().pageBitmap();
        if (byDialog)
            openThroughDialog(path(name));
        else
            form().handle([&] { form().openFile(path(name)); });
        QCOMPARE(form().msgtext()->text(), QStringLiteral("cannot read file"));
        // The box names the file, says why, and that nothing changed.
        QCOMPARE(win_.reports, QStringList{path(name) + ": " + cause + ". The document was not changed."});
        QVERIFY(snapshot() == before);
        QVERIFY(form().pageView().pageBitmap() == page);
        QCOMPARE(form().editor().state().topLine, 41);
        ++faultsInjected;
    }

    // Each step of an open fails once, on a file that would replace every line.
    void faultAtEveryOpenStepKeepsTheDocument()
    {
        fullDocument();
        form().saveFile(path("full.hlp"));
        const auto steps = stepsOf<ReadStep>(fileio::setReadFaultHook, [&] { form().openFile(path("full.hlp")); });
        QVERIFY2(steps.count(ReadStep::Read) >= 2, "the file should take several reads");

        form().clearClicked();
        someDocument();
        form().editor().state().cursorLine = 45;
        form().editor().state().cursorColumn = 3;
        const Snapshot before = snapshot();
        for (int failAt = 0; failAt < steps.size(); ++failAt) {
            fileio::setReadFaultHook(failAtCall<ReadStep>(failAt, "read error"));
            win_.reports.clear();
            form().handle([&] { form().openFile(path("full.hlp")); });
            const QString where = QStringLiteral("fault at read step %1").arg(failAt);
            QVERIFY2(form().msgtext()->text() == "cannot read file", qPrintable(where));
            QVERIFY2(win_.reports == QStringList{path("full.hlp") + ": read error. The document was not changed."},
                     qPrintable(where));
            QVERIFY2(snapshot() == before, qPrintable(where));
            ++faultsInjected;
        }
    }

    // Each step of a save fails once, over an older file of that name.
    void faultAtEverySaveStepKeepsDocumentAndFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("doc.hlp");
        fullDocument();
        const auto steps = stepsOf<SaveStep>(fileio::setSaveFaultHook, [&] { form().saveFile(target); });
        QVERIFY2(steps.count(SaveStep::Write) >= 2, "the document should take several writes");

        const QByteArray oldBytes = "old line\r\n";
        putFile(target, oldBytes);
        const Snapshot before = snapshot();
        for (int failAt = 0; failAt < steps.size(); ++failAt) {
            fileio::setSaveFaultHook(failAtCall<SaveStep>(failAt, "disk full"));
            win_.reports.clear();
            form().handle([&] { form().saveFile(target); });
            const QString where = QStringLiteral("fault at save step %1").arg(failAt);
            QVERIFY2(form().msgtext()->text() == "cannot write file", qPrintable(where));
            QVERIFY2(win_.reports == QStringList{target + ": disk full. The file on disk was not changed."},
                     qPrintable(where));
            QVERIFY2(fileContent(target) == oldBytes, qPrintable(where));
            QVERIFY2(entries(dir.path()) == QStringList{"doc.hlp"}, qPrintable(where));
            QVERIFY2(snapshot() == before, qPrintable(where));
            ++faultsInjected;
        }
    }

    void emptyLinesPastTheGridAreCounted()
    {
        putFile(path("a.hlp"), "top\n" + QByteArray(1004, '\n'));
        form().openFile(path("a.hlp"));
        QCOMPARE(form().msgtext()->text(), QStringLiteral("file loaded. Lines = 1005"));
        putFile(path("e.hlp"), "");
        form().openFile(path("e.hlp"));
        QCOMPARE(form().msgtext()->text(), QStringLiteral("file loaded. Lines = 0"));
        QCOMPARE(grid().lineLength(1), 0);
    }

    void saveWritesUpToTheLastLine()
    {
        grid().setLine("one", 1);
        grid().setLine("t\xE9\x80", 2);
        grid().setLine(QByteArray("ab\0hidden", 9), 5);
        grid().setLine("seven", 7);
        saveThroughDialog(path("out.hlp"));
        QCOMPARE(form().msgtext()->text(), QStringLiteral("file saved. Lines = 7"));
        QCOMPARE(fileContent(path("out.hlp")),
                 QByteArray("one\r\nt\xE9\x80\r\n\r\n\r\nab\r\n\r\nseven\r\n"));

        // Opened again, the document and the count come back the same.
        const auto saved = documentLines();
        form().openFile(path("out.hlp"));
        QCOMPARE(form().msgtext()->text(), QStringLiteral("file loaded. Lines = 7"));
        QCOMPARE(documentLines(), saved);
    }

    void savingAnEmptyDocumentAsksNothing()
    {
        form().msgtext()->setText(QStringLiteral("before"));
        bool dialogShown = false;
        QTimer *watch = whenModal<QWidget>([&](QWidget *w) { dialogShown = true; w->close(); });
        click("saveBtn");
        QTest::qWait(30);
        delete watch;
        QVERIFY(!dialogShown);
        QCOMPARE(form().msgtext()->text(), QStringLiteral("before"));
    }

    void replacingAFileAsksFirst()
    {
        putFile(path("old.hlp"), "old\r\n");
        grid().setLine("new", 1);
        QString question;
        whenModal<QMessageBox>([&](QMessageBox *box) {
            question = box->text();
            box->button(QMessageBox::No)->click();
            // Said no: the file dialog stays open; cancel it.
            whenModal<QFileDialog>([](QFileDialog *d) { d->reject(); });
        });
        answerFileDialog(path("old.hlp"));
        click("saveBtn");
        QVERIFY(question.contains("old.hlp"));
        QCOMPARE(fileContent(path("old.hlp")), QByteArray("old\r\n"));

        whenModal<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        answerFileDialog(path("old.hlp"));
        click("saveBtn");
        QCOMPARE(fileContent(path("old.hlp")), QByteArray("new\r\n"));
    }

    void failedSaveKeepsTheOldFile()
    {
        putFile(path("keep.hlp"), "old\r\n");
        grid().setLine("new", 1);
        fileio::setSaveFaultHook([](SaveStep step) {
            if (step == SaveStep::Commit)
                throw base::FileError("disk full");
        });
        form().handle([&] { form().saveFile(path("keep.hlp")); });
        QCOMPARE(form().msgtext()->text(), QStringLiteral("cannot write file"));
        QCOMPARE(fileContent(path("keep.hlp")), QByteArray("old\r\n"));
        fileio::setSaveFaultHook(nullptr);

        QDir(dir_.path()).mkdir("sub");
        form().handle([&] { form().saveFile(path("sub")); });
        QCOMPARE(win_.reports, (QStringList{path("keep.hlp") + ": disk full. The file on disk was not changed.",
                                            path("sub") + ": is a folder, not a file. The file on disk was not changed."}));
        QCOMPARE(grid().getLine(1), QByteArray("new"));
        faultsInjected += 2;
    }

    void dialogsKeepTheirOwnNames()
    {
        putFile(path("in.hlp"), "text\n");
        openThroughDialog(path("in.hlp"));
        saveThroughDialog(path("copy.hlp"));
        QString offeredOpen, offeredSave;
        answerFileDialog({}, &offeredOpen);
        click("openBtn");
        answerFileDialog({}, &offeredSave);
        click("saveBtn");
        QCOMPARE(QFileInfo(offeredOpen).fileName(), QStringLiteral("in.hlp"));
        QCOMPARE(QFileInfo(offeredSave).fileName(), QStringLiteral("copy.hlp"));
    }

    void fileNamedAtStartOpens()
    {
        putFile(path("start.hlp"), "hello\n");
        form().openFromCommandLine(path("start.hlp"));
        QCOMPARE(grid().getLine(1), QByteArray("hello"));
        QCOMPARE(form().msgtext()->text(), QStringLiteral("file loaded. Lines = 1"));
        form().openFromCommandLine({});
        QCOMPARE(grid().getLine(1), QByteArray("hello"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestFileio plain;
    TestFileWindow window;
    const int failed = QTest::qExec(&plain, argc, argv) | QTest::qExec(&window, argc, argv);
    qInfo("faults injected: %d, each checked to lose nothing", faultsInjected);
    return failed;
}
#include "test_fileio.moc"
