#pragma once
// Recovery copies: the unsaved text of a document, kept in the user's state
// folder so that nothing typed is lost when the window closes, the document is
// replaced or the program dies. Plain file work, no widgets.
//
// Every copy is a help file of its own, named by the start time of the document
// session it belongs to. The folder is private to the user (0700) and so is
// every copy (0600). Only the newest copies are kept.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace fileio {

// How many copies the folder keeps; older ones are removed when a copy is written.
constexpr int kKeptCopies = 20;

// One recovery copy, as listed.
struct RecoveryCopy {
    QString path;
    QDateTime written;    // when the copy was last written
    int lines = 0;        // lines it holds
    QByteArray firstText; // its first non-empty line
    QString documentName; // the name the document is meant to be saved under, or empty
};

class RecoveryStore {
public:
    // A store in folder; with an empty folder, in the user's state folder.
    explicit RecoveryStore(QString folder = {});

    // Returns $XDG_STATE_HOME/helpedit, or ~/.local/state/helpedit without it.
    static QString defaultFolder();
    // Returns the folder of the copies.
    QString folder() const { return folder_; }

    // Returns the path of the copy for a document session started at start.
    QString pathForSession(const QDateTime &start) const;
    // Writes lines as a help file to path atomically, making the folder first,
    // records documentName beside it (empty: none), and removes all but the
    // newest copies; throws base::FileError with the cause.
    void write(const QString &path, const QList<QByteArray> &lines, const QString &documentName = {});
    // Removes the copy at path and its recorded name, if there are any.
    void remove(const QString &path);
    // Returns the document name the copy at path records, or empty.
    QString documentName(const QString &path) const;
    // Returns the copies, newest first; the paths of copies that cannot be read
    // go to unreadable (may be null) instead.
    QList<RecoveryCopy> list(QStringList *unreadable = nullptr) const;
    // Returns the path of the newest copy, empty when there is none.
    QString newest() const;
    // Returns the copies not reported before, and records them as reported.
    QStringList takeUnannounced();

private:
    void makeFolder() const;
    QStringList copyNames() const;
    void prune();

    QString folder_;
};

} // namespace fileio
