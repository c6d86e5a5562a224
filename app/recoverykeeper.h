#pragma once
// Keeps a recovery copy of the window's document while it has unsaved changes:
// written about two seconds after the last change, and at once before the
// document is discarded. Driven by a slow timer that compares what a save would
// write, so the keystroke path does no work for it.

#include "fileio/recovery.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

namespace app {

class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    // Keeps copies in store of the document that documentLines returns (the
    // lines a save would write); report shows a one-line notice to the user.
    RecoveryKeeper(fileio::RecoveryStore store, std::function<QList<QByteArray>()> documentLines,
                   std::function<void(const QString &)> report, QObject *parent = nullptr);

    // Writes the copy now when the document has unsaved changes; returns its path, or empty.
    QString keepNow();
    // Starts a new document session from what the window now holds, kept as saved.
    void startSession();
    // Starts a session for a recovered copy: the document is unsaved and path stays its copy.
    void adoptCopy(const QString &path);
    // The document was saved: its copy goes, and what it holds counts as saved.
    void saved();

private:
    void tick();
    // Writes lines to the copy unless they are saved or already in it; returns the copy's path, or empty.
    QString keep(const QList<QByteArray> &lines);

    fileio::RecoveryStore store_;
    std::function<QList<QByteArray>()> documentLines_;
    std::function<void(const QString &)> report_;
    QTimer timer_;
    QString copyPath_;
    QList<QByteArray> savedLines_;   // what counts as safe on disk
    QList<QByteArray> writtenLines_; // what the copy holds
    QList<QByteArray> seenLines_;    // what the last tick saw
    QElapsedTimer sinceChange_;
    bool copyWritten_ = false;
    bool failureReported_ = false;
};

} // namespace app
