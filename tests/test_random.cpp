// A long random session against the real main window: keys with every modifier
// set and the texts X11 attaches, typed bytes 0..255, accent cycles, mouse moves
// and clicks anywhere, wheel turns in and outside the active rectangle, scroll
// bar moves, the buttons, the source toggle and generated files, some of which
// the editor must refuse. After every single event the editor state, the link
// table and the error reports are checked.
//
// HELPEDIT_SEED picks the seed (a fixed default otherwise) and HELPEDIT_EVENTS
// the number of events; a failure names both and the event that broke things.

#include "app/Unit1.h"
#include "base/cp1252.h"
#include "editorwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace {

constexpr quint64 kDefaultSeed = 0x5eed2024;
constexpr qint64 kDefaultEvents = 100000;
constexpr int kRecentEvents = 12;      // events named in a failure message
constexpr int kPaintEvery = 500;       // events between two runs of the pending paints
constexpr int kRowTextLimit = 150;     // generated file lines reach past the 120 columns

// Keys the editor binds or explicitly ignores, with the text X11 gives them unmodified.
struct KeyDef {
    int key;
    const char *text;
};
const KeyDef kKeys[] = {
    {Qt::Key_End, ""},      {Qt::Key_Home, ""},       {Qt::Key_Left, ""},     {Qt::Key_Up, ""},
    {Qt::Key_Right, ""},    {Qt::Key_Down, ""},       {Qt::Key_Delete, "\x7f"}, {Qt::Key_Alt, ""},
    {Qt::Key_E, "e"},       {Qt::Key_I, "i"},         {Qt::Key_O, "o"},       {Qt::Key_X, "x"},
    {Qt::Key_Y, "y"},       {Qt::Key_Z, "z"},         {Qt::Key_H, "h"},       {Qt::Key_M, "m"},
    {Qt::Key_Backspace, "\b"}, {Qt::Key_Return, "\r"}, {Qt::Key_Enter, "\r"},  {Qt::Key_PageUp, ""},
    {Qt::Key_PageDown, ""}, {Qt::Key_Insert, ""},     {Qt::Key_Tab, "\t"},    {Qt::Key_Escape, "\x1b"},
    {Qt::Key_Space, " "},   {Qt::Key_Shift, ""},      {Qt::Key_Control, ""},
};

// Markup pieces for generated files; the few names make pointers and markers meet.
const char *const kMarkup[] = {"\\n", "\\c", "\\f", "\\i", "\\l", "\\h", "\\p", "\\s", "\\m", "\\t",
                               "\\[", "\\\\", "\\@a;", "\\@b;", "\\@ab;", "\\#a;", "\\#b;",
                               "\\#ab;", "\\@;", "\\@a\\b;", "\\@a", "word ", "x"};

// Returns the X11 text of a letter key under the held modifiers.
QString letterText(int key, Qt::KeyboardModifiers mods)
{
    const char upper = char(key);
    if (mods & Qt::ControlModifier)
        return QString(QChar(upper - 'A' + 1));
    return QString(QChar(mods & Qt::ShiftModifier ? upper : upper - 'A' + 'a'));
}

} // namespace

class TestRandom : public QObject {
    Q_OBJECT

    enum Kind { TypeByte, KeyCommand, AltCycle, MouseMove, MouseClick, Wheel, Bar, Link, Clear,
                SourceToggle, P1, OpenFile, KindCount };

    EditorWindow win_;
    QTemporaryDir dir_;
    std::mt19937_64 rng_;
    quint64 seed_ = kDefaultSeed;
    qint64 index_ = 0;
    int expectedReports_ = 0;
    int accentLength_ = 0; // length of the accent string of the last Alt+E/I/O, 0 before any
    int filesOpened_ = 0;
    int filesRefused_ = 0;
    QStringList recent_;

    app::Tform1 &form() { return win_.form(); }
    doc::EditorState &st() { return win_.form().editor().state(); }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(0, 99) < percent; }
    void note(const QString &what)
    {
        recent_.append(what);
        if (recent_.size() > kRecentEvents)
            recent_.removeFirst();
    }

    // ---- events ----------------------------------------------------------

    void key(int qtKey, Qt::KeyboardModifiers mods, const QString &text)
    {
        note(QStringLiteral("key %1 mods %2 text %3")
                 .arg(qtKey, 0, 16).arg(int(mods) >> 25).arg(text.isEmpty() ? 0 : text.at(0).unicode()));
        QKeyEvent e(QEvent::KeyPress, qtKey, mods, text);
        QApplication::sendEvent(&form(), &e);
        if ((mods & Qt::AltModifier) && (qtKey == Qt::Key_E || qtKey == Qt::Key_I || qtKey == Qt::Key_O))
            accentLength_ = qtKey == Qt::Key_E ? 5 : qtKey == Qt::Key_I ? 2 : 6;
    }

    Qt::KeyboardModifiers randomMods()
    {
        const int bits = pick(0, 7);
        Qt::KeyboardModifiers m;
        if (bits & 1)
            m |= Qt::ShiftModifier;
        if (bits & 2)
            m |= Qt::ControlModifier;
        if (bits & 4)
            m |= Qt::AltModifier;
        return m;
    }

    void keyCommand()
    {
        const KeyDef &k = kKeys[pick(0, int(std::size(kKeys)) - 1)];
        Qt::KeyboardModifiers mods = randomMods();
        if (k.key == Qt::Key_Alt)
            mods |= Qt::AltModifier;
        const bool letter = k.key >= Qt::Key_A && k.key <= Qt::Key_Z;
        key(k.key, mods, letter ? letterText(k.key, mods) : QString::fromLatin1(k.text));
    }

    // A key whose text is the Windows-1252 character of a byte, as a keyboard types it.
    void typeByte()
    {
        const uint8_t b = uint8_t(pick(0, 255));
        const QChar c = base::cp1252ToUnicode(b);
        key(b >= 32 ? int(c.toUpper().unicode()) : int(Qt::Key_unknown), {}, QString(c));
    }

    // Alt pressed, then a run of accent letters with Alt held.
    void altCycle()
    {
        key(Qt::Key_Alt, Qt::AltModifier, {});
        const int presses = pick(1, 7);
        static const int letters[] = {Qt::Key_E, Qt::Key_I, Qt::Key_O};
        int letter = letters[pick(0, 2)];
        for (int i = 0; i < presses && !failed(); ++i) {
            if (chance(20))
                letter = letters[pick(0, 2)];
            key(letter, Qt::AltModifier, letterText(letter, {}));
            if (i + 1 < presses)
                verifyAfterEvent();
        }
    }

    Qt::MouseButton randomButton()
    {
        static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
        return buttons[pick(0, 2)];
    }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        note(QStringLiteral("mouse %1 at %2,%3 button %4 held %5")
                 .arg(int(type)).arg(pos.x()).arg(pos.y()).arg(int(button)).arg(int(held)));
        QWidget *box = form().helpbox();
        QMouseEvent e(type, pos, box->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(box, &e);
    }

    // Anywhere on the page and up to 100 pixels beyond it on every side.
    QPoint randomPagePoint() { return {pick(-100, 900), pick(-100, 900)}; }

    void mouseMove()
    {
        const Qt::MouseButtons held = chance(30) ? Qt::MouseButtons(randomButton()) : Qt::NoButton;
        mouse(QEvent::MouseMove, randomPagePoint(), Qt::NoButton, held);
    }

    void mouseClick()
    {
        const QPoint at = randomPagePoint();
        const Qt::MouseButton button = randomButton();
        mouse(QEvent::MouseButtonPress, at, button, button);
        if (!failed())
            verifyAfterEvent();
        mouse(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }

    // A coordinate of the page, often on or next to the edges of the wheel's active rectangle.
    int wheelCoordinate()
    {
        static const int edges[] = {10, 11, 789, 790, 0, 799};
        return chance(25) ? edges[pick(0, 5)] : pick(-60, 860);
    }

    void wheel()
    {
        const QPoint local(wheelCoordinate(), wheelCoordinate());
        const QPoint global = form().frameGeometry().topLeft() + QPoint(8, 48) + local;
        const int delta = chance(80) ? (chance(50) ? 120 : -120) : pick(-480, 480);
        note(QStringLiteral("wheel %1 at %2,%3").arg(delta).arg(local.x()).arg(local.y()));
        QWheelEvent e(local, global, {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form().helpbox(), &e);
    }

    void bar()
    {
        QScrollBar *b = form().pageBar();
        if (chance(50)) {
            const int value = pick(-20, 1000);
            note(QStringLiteral("bar setValue %1").arg(value));
            b->setValue(value);
            return;
        }
        static const QAbstractSlider::SliderAction actions[] = {
            QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
            QAbstractSlider::SliderPageStepAdd,   QAbstractSlider::SliderPageStepSub,
            QAbstractSlider::SliderToMinimum,     QAbstractSlider::SliderToMaximum};
        const auto action = actions[pick(0, 5)];
        note(QStringLiteral("bar action %1").arg(int(action)));
        b->triggerAction(action);
    }

    void clickButton(const char *name)
    {
        note(QString::fromLatin1(name));
        auto *button = form().findChild<QPushButton *>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        button->click();
    }

    void sourceToggle()
    {
        note(QStringLiteral("codebox"));
        QTest::mouseClick(form().codebox(), Qt::LeftButton, {}, {pick(0, 192), pick(0, 32)});
    }

    // ---- generated files ---------------------------------------------------

    QByteArray randomLine()
    {
        QByteArray line;
        const int length = pick(0, kRowTextLimit);
        while (line.size() < length) {
            if (chance(20)) {
                line += kMarkup[pick(0, int(std::size(kMarkup)) - 1)];
                continue;
            }
            // Any byte but the line end, CR and byte 26, which end lines or files early.
            char c = char(pick(0, 255));
            if (c == '\n' || c == '\r' || c == 26)
                c = 'q';
            line += c;
        }
        return line;
    }

    // A help file of random lines; refused is set when it holds text the grid cannot take.
    QByteArray randomFile(bool &refused)
    {
        const int shape = pick(0, 19);
        int lines = shape < 10 ? pick(0, 60) : shape < 18 ? pick(990, 1010) : 32768;
        QByteArray bytes;
        refused = lines >= 32768;
        for (int n = 1; n <= lines; ++n) {
            QByteArray text;
            if (n <= doc::kLines)
                text = randomLine();
            else if (lines < 32768 && chance(30))
                text = "beyond the grid " + QByteArray::number(n);
            refused = refused || (n > doc::kLines && !text.isEmpty());
            bytes += text;
            // Only a last line with text may go without its line end: an empty one would vanish.
            if (n < lines || text.isEmpty() || chance(70))
                bytes += chance(50) ? "\r\n" : "\n";
        }
        return bytes;
    }

    void openFile()
    {
        bool refused = false;
        const QByteArray bytes = randomFile(refused);
        const QString path = dir_.filePath(QStringLiteral("gen%1.hlp").arg(filesOpened_++));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        note(QStringLiteral("open %1 bytes%2").arg(bytes.size()).arg(refused ? " (refused)" : ""));
        form().handle([&] { form().openFile(path); });
        if (refused) {
            ++expectedReports_;
            ++filesRefused_;
            const QString report = win_.reports.value(expectedReports_ - 1);
            QVERIFY2(report.startsWith(path + ": ") && report.endsWith(". The document was not changed."),
                     qPrintable(report));
        }
        QFile::remove(path);
    }

    void runEvent(Kind kind)
    {
        switch (kind) {
        case TypeByte: typeByte(); break;
        case KeyCommand: keyCommand(); break;
        case AltCycle: altCycle(); break;
        case MouseMove: mouseMove(); break;
        case MouseClick: mouseClick(); break;
        case Wheel: wheel(); break;
        case Bar: bar(); break;
        case Link: clickButton("linkBtn"); break;
        case Clear: clickButton("clearBtn"); break;
        case SourceToggle: sourceToggle(); break;
        case P1: clickButton("SpeedButton1"); break;
        case OpenFile: openFile(); break;
        case KindCount: break;
        }
    }

    // ---- checks ------------------------------------------------------------

    // Returns what is wrong with the editor state, or nothing.
    QString stateViolation()
    {
        const doc::EditorState &s = st();
        if (s.topLine < 1 || s.topLine > 970)
            return QStringLiteral("topLine %1 outside 1..970").arg(s.topLine);
        if (s.cursorLine < s.topLine || s.cursorLine > s.topLine + 30)
            return QStringLiteral("cursorLine %1 off the page at topLine %2").arg(s.cursorLine).arg(s.topLine);
        const int length = form().editor().grid().lineLength(s.cursorLine);
        if (s.cursorColumn < 1 || s.cursorColumn > length + 1)
            return QStringLiteral("cursorColumn %1 on a line of %2").arg(s.cursorColumn).arg(length);
        if (s.altCycleIndex != 0 && (s.altCycleIndex < 2 || s.altCycleIndex > accentLength_))
            return QStringLiteral("altCycleIndex %1 for a string of %2").arg(s.altCycleIndex).arg(accentLength_);
        if (s.hoverTarget < 0 || s.hoverTarget > doc::kLines)
            return QStringLiteral("hoverTarget %1").arg(s.hoverTarget);
        const int barValue = form().pageBar()->value();
        if (barValue != std::min(s.topLine - 1, doc::kBarMaximum))
            return QStringLiteral("bar at %1 with topLine %2").arg(barValue).arg(s.topLine);
        return {};
    }

    // Returns what is wrong with the link table, or nothing.
    QString linkViolation()
    {
        const links::LinkTable &t = form().linkTable();
        const int count = t.linkCount();
        if (count < 0 || count > links::kMaxLinks)
            return QStringLiteral("linkCount %1").arg(count);
        for (int i = 1; i <= links::kMaxLinks; ++i) {
            const links::TLinklist &e = t.entry(i);
            if (i <= count && (e.pointerLine < 1 || e.pointerLine > doc::kLines
                               || e.markerLine < 0 || e.markerLine > doc::kLines || e.name.isEmpty()))
                return QStringLiteral("used entry %1: lines %2/%3").arg(i).arg(e.pointerLine).arg(e.markerLine);
            if (i > count && (!e.name.isEmpty() || e.pointerX || e.markerX || e.pointerLine || e.markerLine))
                return QStringLiteral("entry %1 after linkCount %2 not empty").arg(i).arg(count);
        }
        return {};
    }

    QString reportViolation()
    {
        if (win_.reports.size() == expectedReports_)
            return {};
        return QStringLiteral("%1 error reports, expected %2; last: %3")
            .arg(win_.reports.size()).arg(expectedReports_).arg(win_.reports.value(win_.reports.size() - 1));
    }

    void verifyAfterEvent()
    {
        QString v = stateViolation();
        if (v.isEmpty())
            v = linkViolation();
        if (v.isEmpty())
            v = reportViolation();
        if (v.isEmpty())
            return;
        const QString msg = QStringLiteral("HELPEDIT_SEED=%1, event %2: %3\nlast events:\n  %4")
                                .arg(seed_).arg(index_).arg(v, recent_.join(QStringLiteral("\n  ")));
        QFAIL(qPrintable(msg));
    }

    bool failed() const { return QTest::currentTestFailed(); }

private slots:
    void initTestCase()
    {
        bool ok = false;
        const quint64 seed = qEnvironmentVariable("HELPEDIT_SEED").toULongLong(&ok, 0);
        seed_ = ok ? seed : kDefaultSeed;
        rng_.seed(seed_);
        QVERIFY(dir_.isValid());
        QVERIFY(win_.open());
    }

    void cleanupTestCase() { win_.close(); }

    // Every event of a long seeded session keeps the editor's invariants.
    void randomSessionKeepsInvariants()
    {
        bool ok = false;
        qint64 events = qEnvironmentVariable("HELPEDIT_EVENTS").toLongLong(&ok);
        if (!ok || events <= 0)
            events = kDefaultEvents;
        // Weights per event kind, in the order of Kind.
        std::discrete_distribution<int> kinds({300, 300, 40, 150, 80, 80, 30, 5, 1, 5, 5, 1});
        QElapsedTimer clock;
        clock.start();
        for (index_ = 0; index_ < events; ++index_) {
            runEvent(Kind(kinds(rng_)));
            if (!failed())
                verifyAfterEvent();
            if (failed()) {
                qWarning("HELPEDIT_SEED=%llu, failed at event %lld after:\n  %s", seed_, index_,
                         qPrintable(recent_.join(QStringLiteral("\n  "))));
                return;
            }
            if (index_ % kPaintEvery == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QCOMPARE(win_.reports.size(), expectedReports_);
        qInfo("random session: seed %llu, %lld events, %d files opened (%d refused), %lld ms",
              seed_, events, filesOpened_, filesRefused_, clock.elapsed());
    }
};

QTEST_MAIN(TestRandom)
#include "test_random.moc"
