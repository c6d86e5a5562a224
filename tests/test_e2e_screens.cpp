// The built program on screens of common sizes, each a virtual X server of
// its own: a laptop's 1366 x 768, 1920 x 1080 at 125 % scaling and a screen
// that holds the window. The whole window lies on the screen, a click on a
// character puts the caret before it, typing shows, LINK reports in the
// message line, and Ctrl+O, Ctrl+S and F1 open their dialogs and window.
// Everything is measured on screenshots, in the X server's pixels. Exits
// with 77 (skipped) when no X server can be started.
//
// Sections: helpers on screenshots (ink runs, the caret, colours); the test's
// own X server and editor; a laptop, 125 % and Qt's factor 0.8; the natural
// size on a large screen; a screen too small; the buttons' keys; main (the
// grab mode of the child process).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "childprocess.h"

#include <cmath>
#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int kSkipped = 77;
constexpr int kWaitMs = 15000;
const QSize kNatural(851, 911);

bool isInk(QRgb c) { return qMax(qRed(c), qMax(qGreen(c), qBlue(c))) < 110; }
bool isCaret(QRgb c) { return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90; }

// The runs of columns in r that hold ink: each H of a row of them is one run.
QList<QPair<int, int>> inkRuns(const QImage &img, const QRect &r)
{
    QList<QPair<int, int>> runs;
    int start = -1;
    for (int x = r.left(); x <= r.right() + 1; ++x) {
        bool ink = false;
        for (int y = r.top(); x <= r.right() && y <= r.bottom() && !ink; ++y)
            ink = isInk(img.pixel(x, y));
        if (ink && start < 0)
            start = x;
        if (!ink && start >= 0) {
            runs.append({start, x - 1});
            start = -1;
        }
    }
    return runs;
}

// The columns of r that show the caret; an empty pair when none does.
QPair<int, int> caretColumns(const QImage &img, const QRect &r)
{
    int left = -1, right = -1;
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y = r.top(); y <= r.bottom(); ++y)
            if (isCaret(img.pixel(x, y))) {
                left = left < 0 ? x : left;
                right = x;
                break;
            }
    return {left, right};
}

int colours(const QImage &img)
{
    QSet<QRgb> seen;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            seen.insert(img.pixel(x, y));
    return int(seen.size());
}

int inkCount(const QImage &img, const QRect &r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += isInk(img.pixel(x, y));
    return n;
}

} // namespace

class TestScreens : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QProcess xvfb_;
    QProcess app_;
    QString display_;
    QString wid_;
    double scale_ = 1; // X server pixels per logical pixel of the window

    // Runs a program on the test's X server; returns its output, or nothing when it failed.
    std::optional<QString> run(const QString &program, const QStringList &args)
    {
        QProcess p;
        tieToTest(p);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        p.setProcessEnvironment(env);
        p.start(program, args);
        const bool done = p.waitForFinished(kWaitMs);
        stop(p);
        if (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return std::nullopt;
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    bool xdo(const QStringList &args) { return run(QStringLiteral("xdotool"), args).has_value(); }
    QString findWindow(const QString &name, bool wait)
    {
        QStringList args{QStringLiteral("search")};
        if (wait)
            args << QStringLiteral("--sync");
        args << QStringLiteral("--onlyvisible") << QStringLiteral("--name") << name;
        return run(QStringLiteral("xdotool"), args).value_or(QString()).section(u'\n', 0, 0);
    }
    // Returns the window's place on the screen.
    QRect geometryOf(const QString &wid)
    {
        const QString shell = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                              QStringLiteral("--shell"), wid}).value_or(QString());
        QMap<QString, int> v;
        for (const QString &line : shell.split(u'\n'))
            v[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
        return QRect(v.value("X"), v.value("Y"), v.value("WIDTH"), v.value("HEIGHT"));
    }
    QImage screenshot()
    {
        const QString file = dir_.filePath(QStringLiteral("shot.png"));
        QFile::remove(file);
        if (!run(QCoreApplication::applicationFilePath(), {QStringLiteral("--grab"), wid_, file}))
            return {};
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }
    // The window rectangle, in X server pixels, of a logical rectangle of the window.
    QRect scaled(const QRect &logical) const
    {
        return QRect(QPoint(int(std::lround(logical.left() * scale_)), int(std::lround(logical.top() * scale_))),
                     QPoint(int(std::lround((logical.right() + 1) * scale_)) - 1,
                            int(std::lround((logical.bottom() + 1) * scale_)) - 1));
    }
    bool clickAt(QPoint p)
    {
        return xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), wid_, QString::number(p.x()),
                    QString::number(p.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

    // Starts an X server with one screen of size, and the editor on it with file.
    void start(const QString &size, const QString &qtScale, const QString &file)
    {
        stop(app_);
        stop(xvfb_);
        display_ = startXServer(xvfb_, size);
        QVERIFY(!display_.isEmpty());
        tieToTest(app_);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), dir_.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("HOME"), dir_.path());
        env.remove(QStringLiteral("QT_SCALE_FACTOR"));
        if (!qtScale.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), qtScale);
        app_.setProcessEnvironment(env);
        app_.setProcessChannelMode(QProcess::ForwardedChannels);
        app_.start(QStringLiteral(HELPEDIT_BINARY), {file});
        QVERIFY(app_.waitForStarted(5000));
        wid_ = findWindow(QStringLiteral("^help file editor V6$"), true);
        QVERIFY2(!wid_.isEmpty(), "the editor window did not show");
        QVERIFY(xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), wid_}));
        scale_ = geometryOf(wid_).width() / double(kNatural.width());
    }

    QString writeDocument()
    {
        const QString path = dir_.filePath(QStringLiteral("doc.hlp"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("HHHHHHHHHH\r\n\\@far; to the end\r\n\r\n\\#far; the end\r\n");
        return path;
    }

    // The first row of the page, in X server pixels of the window.
    QRect firstRow() const { return scaled(QRect(8 + 2, 48 + 5, 790, 25)); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void cleanupTestCase()
    {
        stop(app_);
        stop(xvfb_);
    }

    void windowWorksOnTheScreen_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("qtScale");
        QTest::addColumn<bool>("keys");
        QTest::newRow("1366x768") << QStringLiteral("1366x768") << QString() << true;
        QTest::newRow("1920x1080 at 125 %") << QStringLiteral("1920x1080") << QStringLiteral("1.25") << false;
        // Qt's own factor below 1 once cut off the controls and dropped the bar and the box.
        QTest::newRow("1366x768, Qt at 80 %") << QStringLiteral("1366x768") << QStringLiteral("0.8") << false;
    }

    void windowWorksOnTheScreen()
    {
        QFETCH(QString, size);
        QFETCH(QString, qtScale);
        QFETCH(bool, keys);
        start(size, qtScale, writeDocument());
        if (QTest::currentTestFailed())
            return;
        const QSize screen(size.section(u'x', 0, 0).toInt(), size.section(u'x', 1).toInt());
        checkFitsAndDrawsControls(screen, qtScale, size);
        if (QTest::currentTestFailed())
            return;
        clickTypeAndLink();
        if (keys)
            buttonKeysOpenTheirWindows(screen);
    }


    // At a screen that holds the window nothing changes: the natural size,
    // and the page exactly as --render draws it.
    void windowKeepsItsSizeOnALargeScreen()
    {
        const QString file = writeDocument();
        start(QStringLiteral("1280x1024"), QString(), file);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(geometryOf(wid_).size(), kNatural);
        const QString out = dir_.filePath(QStringLiteral("pages"));
        QProcess render;
        render.start(QStringLiteral(HELPEDIT_BINARY), {QStringLiteral("--render"), file, QStringLiteral("--out"), out});
        QVERIFY(render.waitForFinished(kWaitMs) && render.exitCode() == 0);
        const QImage written = QImage(out + QStringLiteral("/page-001.png")).convertToFormat(QImage::Format_RGB32);
        const auto pageDiffers = [&] {
            const QImage page = screenshot().copy(8, 48, 800, 800);
            int differ = 0;
            for (int y = 0; y < 800; ++y)
                for (int x = 0; x < 800; ++x)
                    differ += page.pixel(x, y) != written.pixel(x, y) && !isCaret(page.pixel(x, y));
            return differ;
        };
        QTRY_COMPARE_WITH_TIMEOUT(pageDiffers(), 0, kWaitMs);
    }

    // A screen too small even at half the size: the window takes half the size,
    // is placed anyway and keeps working.
    void tinyScreenGetsHalfTheSize()
    {
        start(QStringLiteral("320x240"), QString(), writeDocument());
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(geometryOf(wid_).size(), QSize(426, 456));
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("xy")}));
        QTest::qWait(300);
        QCOMPARE(app_.state(), QProcess::Running);
        QVERIFY(!screenshot().isNull());
    }

private:
    // Checks that the window lies on screen at a scale that fits, with its bar and box drawn.
    void checkFitsAndDrawsControls(QSize screen, const QString &qtScale, const QString &size)
    {
        const QRect window = geometryOf(wid_);
        QVERIFY2(QRect(QPoint(0, 0), screen).contains(window), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(window.x()).arg(window.y()).arg(window.width()).arg(window.height())));
        // Smaller than natural to fit; Qt's factor below 1 becomes the window's own scale.
        const double qt = qtScale.isEmpty() ? 1.0 : qtScale.toDouble();
        QVERIFY2(qt < 1 ? std::abs(scale_ - qt) < 0.01 : scale_ < qt, qPrintable(QString::number(scale_)));
        // The scroll bar and the source-code box are drawn: more than their background.
        QTRY_VERIFY_WITH_TIMEOUT(colours(screenshot().copy(scaled(QRect(816, 48, 17, 801)))) > 2, kWaitMs);
        QVERIFY(colours(screenshot().copy(scaled(QRect(600, 8, 193, 33)))) > 3);
        qInfo("window %d x %d on %s: %.3f screen pixels a logical pixel", window.width(), window.height(),
              qPrintable(size), scale_);
    }

    // Clicks into the first row, types there and presses LINK, checking what each shows.
    void clickTypeAndLink()
    {
        // A click on the middle of the fifth H puts the caret between the fourth and the fifth.
        QImage shot;
        QList<QPair<int, int>> runs;
        QTRY_VERIFY_WITH_TIMEOUT((runs = inkRuns(shot = screenshot(), firstRow())).size() == 10, kWaitMs);
        QVERIFY(clickAt(QPoint((runs[4].first + runs[4].second) / 2, firstRow().center().y())));
        QPair<int, int> caret;
        QTRY_VERIFY_WITH_TIMEOUT((caret = caretColumns(screenshot(), firstRow())).first > runs[0].first, kWaitMs);
        QVERIFY2(caret.first > (runs[3].first + runs[3].second) / 2 && caret.second <= runs[4].first + 1,
                 qPrintable(QStringLiteral("caret %1..%2, fourth H %3..%4, fifth %5..%6").arg(caret.first).arg(caret.second)
                                .arg(runs[3].first).arg(runs[3].second).arg(runs[4].first).arg(runs[4].second)));

        // Typing shows on the page.
        const int inkBefore = inkCount(shot, firstRow());
        QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("xy")}));
        QTRY_VERIFY_WITH_TIMEOUT(inkCount(screenshot(), firstRow()) > inkBefore + 10, kWaitMs);

        // LINK reports in the message line.
        const QRect message = scaled(QRect(8, 864, 801, 25));
        const QImage before = screenshot().copy(message);
        QVERIFY(inkCount(before, before.rect()) > 0); // "file loaded. Lines = 4"
        QVERIFY(clickAt(scaled(QRect(184, 8, 73, 33)).center()));
        QTRY_VERIFY_WITH_TIMEOUT(screenshot().copy(message) != before, kWaitMs);
    }

    // Ctrl+O, Ctrl+S and F1 open the open and save dialogs and the help window, on the screen.
    void buttonKeysOpenTheirWindows(const QSize &screen)
    {
        const struct {
            const char *key;
            const char *title;
        } cases[] = {{"ctrl+o", "^Open$"}, {"ctrl+s", "^Save As$"}, {"F1", "^help$"}};
        for (const auto &c : cases) {
            QVERIFY(xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), wid_}));
            QVERIFY(xdo({QStringLiteral("key"), QString::fromLatin1(c.key)}));
            const QString shown = findWindow(QString::fromLatin1(c.title), true);
            QVERIFY2(!shown.isEmpty(), c.title);
            if (QByteArray(c.key) == "F1")
                QVERIFY(QRect(QPoint(0, 0), screen).contains(geometryOf(shown)));
            xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), shown});
            QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Escape")}));
            QTRY_VERIFY_WITH_TIMEOUT(findWindow(QString::fromLatin1(c.title), false).isEmpty(), kWaitMs);
        }
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--grab") == 0) {
        // Child mode: saves a picture of X window argv[2] to argv[3].
        int n = 1;
        QGuiApplication app(n, argv);
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(QByteArray(argv[2]).toULongLong());
        return !shot.isNull() && shot.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    QProcess probe;
    probe.start(QStringLiteral("Xvfb"), {QStringLiteral("-help")});
    if (!probe.waitForStarted(5000)) {
        qWarning("skipped: no X server could be started (Xvfb: %s)", qPrintable(probe.errorString()));
        return kSkipped;
    }
    probe.waitForFinished(5000);
    TestScreens test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e_screens.moc"
