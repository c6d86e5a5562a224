// Recovery copies as a user meets them: text typed and then left behind by
// waiting, closing, CLEAR or OPEN is kept in a private copy; SAVE removes it;
// a later start says so once and the copy opens again; a state folder that
// cannot be written costs one notice and nothing else.

#include "app/mainwindow.h"
#include "app/ending.h"
#include "base/checked.h"
#include "editorwindow.h"
#include "fileio/helpfile.h"
#include "fileio/recovery.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <unistd.h>

using fileio::RecoveryStore;

class TestRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;
    EditorWindow win_;
    QString state() const { return tmp_.filePath(QStringLiteral("state/helpedit")); }

    app::MainWindow &form() { return win_.form(); }
    // A fresh window that keeps its copies in folder.
    void openWindow(const QString &folder)
    {
        QVERIFY(win_.open());
        form().keepRecoveryCopies(RecoveryStore(folder));
    }
    void type(const char *text) { QTest::keyClicks(&form(), text); }
    QStringList copies() const
    {
        return QDir(state()).entryList({QStringLiteral("*.hlp")}, QDir::Files, QDir::Time);
    }
    QByteArray newestCopy() const
    {
        QFile f(RecoveryStore(state()).newest());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }

    // Runs body and returns what it wrote to standard error.
    static QByteArray stderrOf(const std::function<void()> &body)
    {
        QTemporaryFile capture;
        if (!capture.open())
            return "(no capture)";
        std::fflush(stderr);
        const int saved = ::dup(2);
        ::dup2(capture.handle(), 2);
        body();
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        capture.seek(0);
        return capture.readAll();
    }

    // Lets the keeper's next quiet period pass (a tick of 0.5 s after 1.5 s
    // without a change), and a tick more.
    static void letKeeperWrite() { QTest::qWait(2500); }

    // Presses SAVE and returns the file name its dialog offers, cancelling the dialog.
    QString nameSaveOffers()
    {
        QString offered = QStringLiteral("(no dialog)");
        QTimer::singleShot(0, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                offered = dialog->selectedFiles().value(0);
                dialog->reject();
            }
        });
        form().saveClicked();
        return offered;
    }

private slots:
    void init()
    {
        QDir(state()).removeRecursively();
        openWindow(state());
    }
    void cleanup()
    {
        fileio::setSaveFaultHook(nullptr);
        fileio::setReadFaultHook(nullptr);
        win_.close();
    }

    // Typed text is in a private copy about two seconds later; SAVE removes it.
    void copyFollowsTypingAndSaveRemovesIt()
    {
        type("first words");
        QVERIFY(copies().isEmpty()); // never on the keystroke
        QTRY_COMPARE_WITH_TIMEOUT(newestCopy(), QByteArray("first words\r\n"), 8000);
        QCOMPARE(QFile::permissions(state()) & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                     | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        QCOMPARE(QFile::permissions(QDir(state()).filePath(copies().value(0))) & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

        type(" more");
        QTRY_COMPARE_WITH_TIMEOUT(newestCopy(), QByteArray("first words more\r\n"), 8000);
        QCOMPARE(copies().size(), 1); // one copy per document session

        form().saveFile(tmp_.filePath(QStringLiteral("saved.hlp")));
        QVERIFY(copies().isEmpty());
        QVERIFY(win_.reports.isEmpty());
    }

    // Text that CLEAR, OPEN or closing the window discards is kept at once;
    // text that was saved or never changed leaves nothing.
    void discardedTextIsKept()
    {
        type("cleared text");
        form().clearClicked();
        QCOMPARE(copies().size(), 1);
        QCOMPARE(newestCopy(), QByteArray("cleared text\r\n"));

        const QString other = tmp_.filePath(QStringLiteral("other.hlp"));
        fileio::writeFileBytes(other, "other file\r\n");
        type("replaced text");
        form().openFile(other);
        QCOMPARE(copies().size(), 2);
        QCOMPARE(newestCopy(), QByteArray("replaced text\r\n"));

        // Opened and left unchanged: nothing to keep.
        form().clearClicked();
        QCOMPARE(copies().size(), 2);

        type("closed text");
        form().close();
        QCOMPARE(copies().size(), 3);
        QCOMPARE(newestCopy(), QByteArray("closed text\r\n"));
        QVERIFY(win_.reports.isEmpty());
    }

    // The next start tells once that text was kept; the copy opens as an
    // unnamed document and stays until that document is saved.
    void nextStartTellsOnceAndRecovers()
    {
        type("line one");
        QTest::keyClick(&form(), Qt::Key_Return);
        type("line two");
        form().close();
        win_.close();

        openWindow(state());
        QCOMPARE(form().msgtext()->text(), QStringLiteral("unsaved text kept: helpedit --recover"));
        win_.close();
        openWindow(state());
        QCOMPARE(form().msgtext()->text(), QString());

        const QString copy = RecoveryStore(state()).newest();
        form().recoverCopy(copy);
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("line one"));
        QCOMPARE(form().editor().grid().getLine(2), QByteArray("line two"));
        // Closing again keeps the same copy, not a second one.
        form().close();
        QCOMPARE(copies().size(), 1);
        form().saveFile(tmp_.filePath(QStringLiteral("named.hlp")));
        QVERIFY(!QFile::exists(copy));
    }

    // Only the newest copies stay; the listing is newest first, with the line
    // count and the first line that holds text, and skips what cannot be read.
    void storeKeepsTheNewestAndListsThem()
    {
        RecoveryStore store(state());
        for (int i = 1; i <= fileio::kKeptCopies + 3; ++i) {
            const QString path = store.pathForSession(QDateTime::currentDateTime().addSecs(i));
            store.write(path, {QByteArray(), "copy " + QByteArray::number(i), "end"});
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite)
                    && f.setFileTime(QDateTime::currentDateTime().addSecs(i - 100), QFileDevice::FileModificationTime));
        }
        QCOMPARE(copies().size(), fileio::kKeptCopies);
        const QList<fileio::RecoveryCopy> listed = store.list();
        QCOMPARE(listed.size(), fileio::kKeptCopies);
        QCOMPARE(listed.first().firstText, QByteArray("copy 23"));
        QCOMPARE(listed.first().lines, 3);
        QCOMPARE(listed.last().firstText, QByteArray("copy 4"));
        QCOMPARE(store.newest(), listed.first().path);

        fileio::setReadFaultHook([](fileio::ReadStep step) {
            static int opens = 0;
            if (step == fileio::ReadStep::Open && opens++ == 0)
                throw base::FileError("read error");
        });
        QStringList unreadable;
        QCOMPARE(store.list(&unreadable).size(), fileio::kKeptCopies - 1);
        QCOMPARE(unreadable, QStringList{listed.first().path});
    }

    // A state folder that cannot be made or written: editing goes on, the
    // message line says so once, and no error box shows.
    void unwritableFolderCostsOneNotice_data()
    {
        QTest::addColumn<bool>("fileInTheWay");
        QTest::addColumn<QString>("cause");
        QTest::newRow("a file in the way") << true << "a file is in the way: ";
        QTest::newRow("disk full") << false << "disk full";
    }
    void unwritableFolderCostsOneNotice()
    {
        QFETCH(bool, fileInTheWay);
        QFETCH(QString, cause);
        const QString blocker = tmp_.filePath(QStringLiteral("blocker"));
        QFile::remove(blocker);
        if (fileInTheWay) {
            fileio::writeFileBytes(blocker, "x");
            win_.close();
            openWindow(blocker + QStringLiteral("/helpedit"));
        } else {
            fileio::setSaveFaultHook([](fileio::SaveStep) { throw base::FileError("disk full"); });
        }
        type("abc");
        QTRY_VERIFY_WITH_TIMEOUT(form().msgtext()->text().startsWith("recovery copies cannot be written: " + cause),
                                 8000);
        form().msgtext()->setText(QStringLiteral("later"));
        type("def");
        form().clearClicked();
        QCOMPARE(form().msgtext()->text(), QStringLiteral("later"));
        type("x");
        QCOMPARE(form().editor().grid().getLine(1), QByteArray("x"));
        // Closed with nowhere to keep the text: standard error says what was lost.
        const QByteArray said = stderrOf([&] { form().close(); });
        QVERIFY2(said.startsWith("helpedit: unsaved text lost (1 line, the first with text: \"x\"): " + cause.toUtf8()),
                 (said.isEmpty() ? QByteArray("(nothing)") : said).constData());
        QVERIFY(win_.reports.isEmpty());
    }

    // After each change of state the keeper's next quiet period brings no copy
    // that should not be, and the next start says nothing it should not.
    void quietPeriodsAfterChangesWriteNothingUnwanted()
    {
        type("saved text");
        form().saveFile(tmp_.filePath(QStringLiteral("saved.hlp")));
        letKeeperWrite();
        QVERIFY(copies().isEmpty());
        form().clearClicked(); // saved text: nothing to keep
        letKeeperWrite();
        QVERIFY(copies().isEmpty());
        form().openFile(tmp_.filePath(QStringLiteral("saved.hlp")));
        letKeeperWrite();
        QVERIFY(copies().isEmpty());
        form().close();
        QVERIFY(copies().isEmpty());
        win_.close();
        openWindow(state());
        QCOMPARE(form().msgtext()->text(), QString());
    }

    void aRecoveredCopyStaysTheOneCopyOfItsText()
    {
        // A recovered copy stays the one copy of its text while it is not saved.
        type("recover me");
        form().close();
        const QString copy = RecoveryStore(state()).newest();
        const QDateTime written = QFileInfo(copy).lastModified();
        win_.close();
        openWindow(state());
        QCOMPARE(form().msgtext()->text(), QStringLiteral("unsaved text kept: helpedit --recover"));
        form().recoverCopy(copy);
        letKeeperWrite();
        QCOMPARE(copies(), QStringList{QFileInfo(copy).fileName()});
        QCOMPARE(QFileInfo(copy).lastModified(), written);
        form().close();
        QCOMPARE(copies().size(), 1);
        win_.close();
        openWindow(state());
        QCOMPARE(form().msgtext()->text(), QString()); // told once already
        form().recoverCopy(copy);
        form().saveFile(tmp_.filePath(QStringLiteral("recovered.hlp")));
        letKeeperWrite();
        QVERIFY(copies().isEmpty());
        form().close();
        win_.close();
        openWindow(state());
        QCOMPARE(form().msgtext()->text(), QString());
        QVERIFY(win_.reports.isEmpty());
    }

    // The keeper tells texts apart, not edits: typing that is taken back leaves
    // the saved text, which needs no copy; typing it again after a copy was
    // written brings the copy up to date.
    void editsTakenBackNeedNoCopy()
    {
        type("saved");
        form().saveFile(tmp_.filePath(QStringLiteral("undo.hlp")));
        type("xy");
        QTest::keyClick(&form(), Qt::Key_Backspace);
        QTest::keyClick(&form(), Qt::Key_Backspace);
        letKeeperWrite();
        QVERIFY(copies().isEmpty());
        QCOMPARE(app::exitNotice(form().recoveryKeeper()->keepForExit()), QString());
        type("z");
        letKeeperWrite();
        QCOMPARE(copies().size(), 1);
        QTest::keyClick(&form(), Qt::Key_Backspace);
        type("w");
        letKeeperWrite();
        QCOMPARE(RecoveryStore(state()).list().value(0).firstText, QByteArray("savedw"));
    }

    // At an exit that bypasses the window the keeper writes the copy and
    // tells only through the returned notice; when the folder cannot be
    // made, the notice names what was lost.
    void exitKeepsTextWithoutTheWindow()
    {
        app::RecoveryKeeper &keeper = *form().recoveryKeeper();
        QCOMPARE(app::exitNotice(keeper.keepForExit()), QString()); // nothing unsaved
        QVERIFY(copies().isEmpty());
        type("typed before the end");
        const QString notice = app::exitNotice(keeper.keepForExit());
        QCOMPARE(newestCopy(), QByteArray("typed before the end\r\n"));
        QCOMPARE(notice, "helpedit: unsaved text kept in " + RecoveryStore(state()).newest()
                             + " (helpedit --recover opens it)");
        QCOMPARE(app::exitNotice(keeper.keepForExit()), notice); // no second copy
        QCOMPARE(copies().size(), 1);

        const QString blocker = tmp_.filePath(QStringLiteral("blocker"));
        fileio::writeFileBytes(blocker, "x");
        win_.close();
        openWindow(blocker + QStringLiteral("/helpedit"));
        form().msgtext()->setText(QStringLiteral("before"));
        // A first line left empty, then one in Windows-1252.
        form().editor().grid().setLine("caf\xe9 text", 2);
        const app::ExitKeep lost = form().recoveryKeeper()->keepForExit();
        QVERIFY(lost.copy.isEmpty());
        QCOMPARE(app::exitNotice(lost), QStringLiteral("helpedit: unsaved text lost (2 lines, the first with text: "
                                                       "\"caf\u00e9 text\"): a file is in the way: ")
                                            + blocker);
        QCOMPARE(form().msgtext()->text(), QStringLiteral("before"));
        QVERIFY(win_.reports.isEmpty());
    }

    // `helpedit FILE` for a file not there yet in a folder that is: an empty
    // page, "new file: FILE", the copy records the name and SAVE offers it,
    // also after the copy was recovered. A missing folder or a FILE that is
    // a folder still get the error box.
    void newFileByNameIsRecordedAndOffered()
    {
        const QString file = tmp_.filePath(QStringLiteral("new-topic.hlp"));
        form().openFromCommandLine(file);
        QCOMPARE(form().msgtext()->text(), "new file: " + file);
        QVERIFY(!QFile::exists(file));
        type("draft");
        QCOMPARE(nameSaveOffers(), file);
        form().close();
        const QString copy = RecoveryStore(state()).newest();
        QCOMPARE(RecoveryStore(state()).documentName(copy), file);
        QCOMPARE(RecoveryStore(state()).list().value(0).documentName, file);

        win_.close();
        openWindow(state());
        form().recoverCopy(copy);
        QCOMPARE(nameSaveOffers(), file);
        form().saveFile(file);
        QVERIFY(!QFile::exists(copy));
        QVERIFY(QDir(state()).entryList(QDir::Files).filter(QStringLiteral(".name")).isEmpty());
        QVERIFY(win_.reports.isEmpty());
    }

    void aFailedCopyOrADanglingLinkLeavesNoName()
    {
        const QString file = tmp_.filePath(QStringLiteral("new-topic.hlp"));
        // A copy that cannot be written leaves no name behind either.
        int opens = 0;
        fileio::setSaveFaultHook([&opens](fileio::SaveStep step) {
            if (step == fileio::SaveStep::Open && ++opens == 2)
                throw base::FileError("disk full");
        });
        RecoveryStore store(state());
        QVERIFY_THROWS_EXCEPTION(base::FileError, store.write(store.pathForSession(QDateTime::currentDateTime()),
                                                              {"text"}, file));
        QCOMPARE(opens, 2);
        QCOMPARE(QDir(state()).entryList(QDir::Files).filter(QStringLiteral(".name")), QStringList());
        fileio::setSaveFaultHook(nullptr);

        // A dangling link is no new file: writing there would replace the link.
        const QString link = tmp_.filePath(QStringLiteral("dangling.hlp"));
        QVERIFY(QFile::link(tmp_.filePath(QStringLiteral("gone")), link));
        QVERIFY(!fileio::namesNewFile(link));
        for (const QString &bad : {tmp_.filePath(QStringLiteral("no-folder/topic.hlp")), tmp_.path(), link}) {
            win_.reports.clear();
            form().openFromCommandLine(bad);
            QCOMPARE(win_.reports.size(), 1);
            QCOMPARE(form().msgtext()->text(), QStringLiteral("cannot read file"));
        }
    }
};

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
