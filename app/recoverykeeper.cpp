#include "app/recoverykeeper.h"

#include "base/checked.h"

#include <QCryptographicHash>
#include <algorithm>

namespace app {

namespace {
constexpr int kTickMs = 500;
// A copy is written once the document has stood still this long (plus up to one tick).
constexpr int kQuietMs = 1500;

// Returns a digest of lines that tells two texts apart (each line's length goes in before it).
QByteArray digestOf(const QList<QByteArray> &lines)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QByteArray &line : lines) {
        const qint64 length = line.size();
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(&length), sizeof length));
        hash.addData(line);
    }
    return hash.result();
}
} // namespace

RecoveryKeeper::RecoveryKeeper(fileio::RecoveryStore store, const doc::TextGrid &grid,
                               std::function<void(const QString &)> report, QObject *parent)
    : QObject(parent), store_(std::move(store)), grid_(grid), report_(std::move(report))
{
    startSession();
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::tick);
    timer_.start(kTickMs);
}

void RecoveryKeeper::takeAsSaved()
{
    savedChange_ = grid_.changeCount();
    savedDigest_ = digestOf(grid_.textLines());
    seenChange_ = grid_.changeCount();
    securedChange_.reset();
    writtenChange_.reset();
}

void RecoveryKeeper::startSession()
{
    takeAsSaved();
    copyPath_ = store_.pathForSession(QDateTime::currentDateTime());
    documentName_.clear();
    sinceChange_.start();
}

QString RecoveryKeeper::adoptCopy(const QString &path)
{
    startSession();
    // Nothing of it is on disk under a name of the user's: it stays unsaved,
    // and its copy is the one it came from.
    writtenChange_ = grid_.changeCount();
    savedChange_.reset();
    savedDigest_ = digestOf({});
    copyPath_ = path;
    documentName_ = store_.documentName(path);
    return documentName_;
}

void RecoveryKeeper::setDocumentName(const QString &name)
{
    documentName_ = name;
    // A copy already written is written again, name and all, at the next chance.
    writtenChange_.reset();
    securedChange_.reset();
}

bool RecoveryKeeper::isSaved(const QList<QByteArray> &lines) const
{
    return savedChange_ == grid_.changeCount() || digestOf(lines) == savedDigest_;
}

bool RecoveryKeeper::needsWriting(const QList<QByteArray> &lines) const
{
    return writtenChange_ != grid_.changeCount() && !isSaved(lines);
}

void RecoveryKeeper::writeCopy(const QList<QByteArray> &lines)
{
    store_.write(copyPath_, lines, documentName_);
    writtenChange_ = grid_.changeCount();
}

QString RecoveryKeeper::keepNow()
{
    const QList<QByteArray> lines = grid_.textLines();
    if (isSaved(lines))
        return {};
    return secure(lines) ? copyPath_ : QString();
}

bool RecoveryKeeper::secure(const QList<QByteArray> &lines)
{
    if (!needsWriting(lines))
        return true;
    try {
        writeCopy(lines);
    } catch (const base::FileError &e) {
        // Editing goes on without copies; the user hears of it once.
        if (!failureReported_)
            report_(QStringLiteral("recovery copies cannot be written: %1").arg(QString::fromUtf8(e.what())));
        failureReported_ = true;
        return false;
    }
    return true;
}

ExitKeep RecoveryKeeper::keepForExit()
{
    const QList<QByteArray> lines = grid_.textLines();
    ExitKeep result;
    if (isSaved(lines))
        return result;
    result.lines = int(lines.size());
    const auto first = std::find_if(lines.begin(), lines.end(), [](const QByteArray &l) { return !l.isEmpty(); });
    if (first != lines.end())
        result.firstText = *first;
    try {
        if (needsWriting(lines))
            writeCopy(lines);
        result.copy = copyPath_;
    } catch (const base::FileError &e) {
        result.failure = QString::fromUtf8(e.what());
    }
    return result;
}

void RecoveryKeeper::saved()
{
    store_.remove(copyPath_);
    takeAsSaved();
}

void RecoveryKeeper::tick()
{
    const quint64 change = grid_.changeCount();
    if (change != seenChange_) {
        seenChange_ = change;
        sinceChange_.restart();
        return;
    }
    // A failed copy is tried again at every tick; a safe one waits for the next change.
    if (sinceChange_.elapsed() < kQuietMs || securedChange_ == change)
        return;
    if (secure(grid_.textLines()))
        securedChange_ = change;
}

} // namespace app
