#pragma once
// Keeps a recovery copy of the window's document while it has unsaved changes:
// written about two seconds after the last change, and at once before the
// document is discarded. Driven by a slow timer that reads the grid's change
// count, so the keystroke path does no work for it and a quiet document is not
// copied again and again.

#include "document/textgrid.h"
#include "fileio/recovery.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace app {

// What became of the unsaved text at an exit that no window code may see.
struct ExitKeep {
    QString copy;      // where it was kept; empty when nothing was unsaved or it was lost
    QString failure;   // why it could not be kept; empty when it was, or nothing was unsaved
    int lines = 0;     // lines of the unsaved text
    QByteArray firstText; // its first non-empty line
};

class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    // Keeps copies in store of the lines a save of grid would write; report
    // shows a one-line notice to the user. The grid must outlive the keeper.
    RecoveryKeeper(fileio::RecoveryStore store, const doc::TextGrid &grid,
                   std::function<void(const QString &)> report, QObject *parent = nullptr);

    // Writes the copy now when the document has unsaved changes; returns its path, or empty.
    QString keepNow();
    // Writes the copy as keepNow does but tells nobody, for an exit where the
    // window is gone; returns what became of the unsaved text.
    ExitKeep keepForExit();
    // Records the name the document is meant to be saved under (empty: none)
    // beside its copies.
    void setDocumentName(const QString &name);
    // Starts a new document session from what the window now holds, kept as saved.
    void startSession();
    // Starts a session for a recovered copy: the document is unsaved and path
    // stays its copy. Returns the name the copy records for the document, or empty.
    QString adoptCopy(const QString &path);
    // The document was saved: its copy goes, and what it holds counts as saved.
    void saved();

private:
    void tick();
    // Returns whether the document is safe: saved, already in the copy, or now written to it.
    bool secure(const QList<QByteArray> &lines);
    // Returns whether lines, the document's text at the grid's present change
    // count, are what counts as saved.
    bool isSaved(const QList<QByteArray> &lines) const;
    // Whether lines need writing to the copy (unsaved and not in it yet).
    bool needsWriting(const QList<QByteArray> &lines) const;
    // Writes lines to the copy; throws base::FileError with the cause.
    void writeCopy(const QList<QByteArray> &lines);
    // Takes the document as it now stands as saved.
    void takeAsSaved();

    fileio::RecoveryStore store_;
    const doc::TextGrid &grid_;
    std::function<void(const QString &)> report_;
    QTimer timer_;
    QString copyPath_;
    QString documentName_;
    // What counts as safe on disk: the change count it was taken at (none when
    // the saved text is not the grid's) and a digest of its text, which knows
    // the saved text again after edits that undo each other.
    std::optional<quint64> savedChange_;
    QByteArray savedDigest_;
    std::optional<quint64> writtenChange_; // the change count whose text the copy holds
    quint64 seenChange_ = 0;         // the grid's change count at the last tick
    std::optional<quint64> securedChange_; // the change count whose lines are safe, if known
    QElapsedTimer sinceChange_;
    bool failureReported_ = false;
};

} // namespace app
