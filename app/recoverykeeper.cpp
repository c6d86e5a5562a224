#include "app/recoverykeeper.h"

#include "base/checked.h"

#include <algorithm>

namespace app {

namespace {
constexpr int kTickMs = 500;
// A copy is written once the document has stood still this long (plus up to one tick).
constexpr int kQuietMs = 1500;
} // namespace

RecoveryKeeper::RecoveryKeeper(fileio::RecoveryStore store, std::function<QList<QByteArray>()> documentLines,
                               std::function<void(const QString &)> report, QObject *parent)
    : QObject(parent), store_(std::move(store)), documentLines_(std::move(documentLines)), report_(std::move(report))
{
    startSession();
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::tick);
    timer_.start(kTickMs);
}

void RecoveryKeeper::startSession()
{
    savedLines_ = documentLines_();
    seenLines_ = savedLines_;
    writtenLines_.clear();
    copyWritten_ = false;
    copyPath_ = store_.pathForSession(QDateTime::currentDateTime());
    documentName_.clear();
    sinceChange_.start();
}

QString RecoveryKeeper::adoptCopy(const QString &path)
{
    startSession();
    // Nothing of it is on disk under a name of the user's: it stays unsaved,
    // and its copy is the one it came from.
    savedLines_.clear();
    writtenLines_ = seenLines_;
    copyWritten_ = true;
    copyPath_ = path;
    documentName_ = store_.documentName(path);
    return documentName_;
}

void RecoveryKeeper::setDocumentName(const QString &name)
{
    documentName_ = name;
    // A copy already written is written again, name and all, at the next chance.
    copyWritten_ = false;
}

QString RecoveryKeeper::keepNow()
{
    return keep(documentLines_());
}

bool RecoveryKeeper::needsWriting(const QList<QByteArray> &lines) const
{
    return lines != savedLines_ && !(copyWritten_ && lines == writtenLines_);
}

void RecoveryKeeper::writeCopy(const QList<QByteArray> &lines)
{
    store_.write(copyPath_, lines, documentName_);
    writtenLines_ = lines;
    copyWritten_ = true;
}

QString RecoveryKeeper::keep(const QList<QByteArray> &lines)
{
    if (lines == savedLines_)
        return {};
    if (!needsWriting(lines))
        return copyPath_;
    try {
        writeCopy(lines);
    } catch (const base::FileError &e) {
        // Editing goes on without copies; the user hears of it once.
        if (!failureReported_)
            report_(QStringLiteral("recovery copies cannot be written: %1").arg(QString::fromUtf8(e.what())));
        failureReported_ = true;
        return {};
    }
    return copyPath_;
}

ExitKeep RecoveryKeeper::keepForExit()
{
    const QList<QByteArray> lines = documentLines_();
    ExitKeep result;
    if (lines == savedLines_)
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
    copyWritten_ = false;
    writtenLines_.clear();
    savedLines_ = documentLines_();
    seenLines_ = savedLines_;
}

void RecoveryKeeper::tick()
{
    const QList<QByteArray> lines = documentLines_();
    if (lines != seenLines_) {
        seenLines_ = lines;
        sinceChange_.restart();
        return;
    }
    if (sinceChange_.elapsed() >= kQuietMs)
        keep(lines);
}

} // namespace app
