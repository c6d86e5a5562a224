#include "app/recoverykeeper.h"

#include "base/checked.h"

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
    sinceChange_.start();
}

void RecoveryKeeper::adoptCopy(const QString &path)
{
    startSession();
    // Nothing of it is on disk under a name of the user's: it stays unsaved,
    // and its copy is the one it came from.
    savedLines_.clear();
    writtenLines_ = seenLines_;
    copyWritten_ = true;
    copyPath_ = path;
}

QString RecoveryKeeper::keepNow()
{
    return keep(documentLines_());
}

QString RecoveryKeeper::keep(const QList<QByteArray> &lines)
{
    if (lines == savedLines_)
        return {};
    if (copyWritten_ && lines == writtenLines_)
        return copyPath_;
    try {
        store_.write(copyPath_, lines);
    } catch (const base::FileError &e) {
        // Editing goes on without copies; the user hears of it once.
        if (!failureReported_)
            report_(QStringLiteral("recovery copies cannot be written: %1").arg(QString::fromUtf8(e.what())));
        failureReported_ = true;
        return {};
    }
    writtenLines_ = lines;
    copyWritten_ = true;
    return copyPath_;
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
