#include "fileio/recovery.h"

#include "base/checked.h"
#include "fileio/helpfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace fileio {

namespace {

const QString kSuffix = QStringLiteral(".hlp");
// Beside a copy, the name its document is meant to be saved under: the copy
// itself stays a plain help file that any editor opens.
const QString kNameSuffix = QStringLiteral(".name");
// Names of the copies already reported at a start, one per line.
const QString kAnnounced = QStringLiteral("announced");

constexpr QFileDevice::Permissions kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kPrivateFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// The first part of path that exists and is not a folder, empty when there is none.
QString fileInTheWay(const QString &path)
{
    for (QFileInfo info(path); !info.absoluteFilePath().isEmpty(); info = QFileInfo(info.absolutePath())) {
        if (info.exists() && !info.isDir())
            return info.absoluteFilePath();
        if (info.isRoot() || info.exists())
            break;
    }
    return {};
}

// The file beside copy that records its document's name.
QString namePath(const QString &copy)
{
    return copy.endsWith(kSuffix) ? copy.chopped(kSuffix.size()) + kNameSuffix : copy + kNameSuffix;
}

} // namespace

RecoveryStore::RecoveryStore(QString folder) : folder_(folder.isEmpty() ? defaultFolder() : std::move(folder)) {}

QString RecoveryStore::defaultFolder()
{
    // The state folder of the freedesktop base directories: data worth keeping
    // across restarts, but not the user's documents.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/helpedit");
}

QString RecoveryStore::pathForSession(const QDateTime &start) const
{
    // The process number and a running count keep sessions started in the
    // same millisecond apart, in one process or in two.
    static int sessions = 0;
    return QDir(folder_).filePath(QStringLiteral("%1-%2-%3%4")
                                      .arg(start.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                                      .arg(QCoreApplication::applicationPid())
                                      .arg(++sessions)
                                      .arg(kSuffix));
}

void RecoveryStore::makeFolder() const
{
    if (!QDir().mkpath(folder_)) {
        const QString blocker = fileInTheWay(folder_);
        throw base::FileError(blocker.isEmpty() ? "cannot make the folder " + folder_.toStdString()
                                                : "a file is in the way: " + blocker.toStdString());
    }
    if (!QFile::setPermissions(folder_, kPrivateFolder))
        throw base::FileError("permission denied");
}

void RecoveryStore::write(const QString &path, const QList<QByteArray> &lines, const QString &documentName)
{
    makeFolder();
    // The name first: a copy is never there without the name it belongs to.
    if (documentName.isEmpty())
        QFile::remove(namePath(path));
    else
        writeFileBytes(namePath(path), documentName.toUtf8(), kPrivateFile);
    try {
        writeFileBytes(path, serializeHelpFile(lines), kPrivateFile);
    } catch (const base::FileError &) {
        // A name without a copy would stay behind for good.
        if (!QFile::exists(path))
            QFile::remove(namePath(path));
        throw;
    }
    prune();
}

void RecoveryStore::remove(const QString &path)
{
    if (path.isEmpty())
        return;
    QFile::remove(path);
    QFile::remove(namePath(path));
}

QString RecoveryStore::documentName(const QString &path) const
{
    try {
        return QString::fromUtf8(readFileBytes(namePath(path)));
    } catch (const base::FileError &) {
        return {}; // none recorded
    }
}

QStringList RecoveryStore::copyNames() const
{
    // Newest first by the time each was last written. Two copies written within
    // one tick of the file system's clock share a time; the later session, whose
    // name sorts later, counts as the newer.
    QFileInfoList copies = QDir(folder_).entryInfoList({QLatin1Char('*') + kSuffix}, QDir::Files);
    std::sort(copies.begin(), copies.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const QDateTime ta = a.lastModified(), tb = b.lastModified();
        return ta != tb ? ta > tb : a.fileName() > b.fileName();
    });
    QStringList names;
    for (const QFileInfo &c : copies)
        names.append(c.fileName());
    return names;
}

void RecoveryStore::prune()
{
    const QStringList names = copyNames();
    for (qsizetype i = kKeptCopies; i < names.size(); ++i)
        remove(QDir(folder_).filePath(names[i]));
}

QList<RecoveryCopy> RecoveryStore::list(QStringList *unreadable) const
{
    QList<RecoveryCopy> copies;
    for (const QString &name : copyNames()) {
        RecoveryCopy c;
        c.path = QDir(folder_).filePath(name);
        try {
            const QList<QByteArray> lines = parseHelpFile(readFileBytes(c.path));
            c.lines = int(lines.size());
            const auto first = std::find_if(lines.begin(), lines.end(), [](const QByteArray &l) { return !l.isEmpty(); });
            if (first != lines.end())
                c.firstText = *first;
        } catch (const base::FileError &) {
            if (unreadable)
                unreadable->append(c.path);
            continue;
        }
        c.written = QFileInfo(c.path).lastModified();
        c.documentName = documentName(c.path);
        copies.append(c);
    }
    return copies;
}

QString RecoveryStore::newest() const
{
    const QStringList names = copyNames();
    return names.isEmpty() ? QString() : QDir(folder_).filePath(names.first());
}

QStringList RecoveryStore::takeUnannounced()
{
    const QString record = QDir(folder_).filePath(kAnnounced);
    QList<QByteArray> told;
    try {
        told = readFileBytes(record).split('\n');
    } catch (const base::FileError &) {
        // None yet: every copy is new.
    }
    const QStringList names = copyNames();
    QStringList fresh;
    for (const QString &name : names) {
        if (!told.contains(name.toUtf8()))
            fresh.append(QDir(folder_).filePath(name));
    }
    if (!fresh.isEmpty()) {
        // Only the copies still there are recorded, so the record stays small.
        try {
            writeFileBytes(record, names.join(QLatin1Char('\n')).toUtf8(), kPrivateFile);
        } catch (const base::FileError &) {
            // Unrecorded, the notice shows again next time: better than never.
        }
    }
    return fresh;
}

} // namespace fileio
