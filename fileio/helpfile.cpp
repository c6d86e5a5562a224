#include "fileio/helpfile.h"

#include "base/checked.h"
#include "document/textgrid.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace fileio {

namespace {

constexpr char kLineFeed = 10;
constexpr char kCarriageReturn = 13;
constexpr char kEndMark = 26;

// Bytes handed to the operating system per read or write call. Working in
// pieces keeps a partial write detectable and gives the fault hooks more than
// one step in the middle of a file.
constexpr qsizetype kChunk = 64 * 1024;

// One hook per kind of step (SaveStep, ReadStep).
template <typename Step>
std::function<void(Step)> &faultHook()
{
    static std::function<void(Step)> hook;
    return hook;
}

template <typename Step>
void runFaultHook(Step step)
{
    if (const auto &hook = faultHook<Step>())
        hook(step);
}

bool parentIsFolder(const QFileInfo &info)
{
    return QFileInfo(info.absolutePath()).isDir();
}

bool isDiskFull(const QFileDevice &file, int err)
{
    // Qt reports ENOSPC from a write as ResourceError; errno covers quota limits
    // and the short writes that Qt passes on without an error of their own.
    return file.error() == QFileDevice::ResourceError || err == ENOSPC || err == EDQUOT;
}

// The short cause of a failed open for reading, told from what the path is now.
const char *readOpenCause(const QString &path, int err)
{
    const QFileInfo info(path);
    if (path.isEmpty())
        return "file not found";
    if (info.isDir())
        return "is a folder, not a file";
    if (!info.exists())
        return parentIsFolder(info) ? "file not found" : "folder not found";
    if (err == EMFILE || err == ENFILE)
        return "too many files open";
    return "permission denied";
}

// The short cause of a failed open for saving. The new content goes into a
// temporary file beside the target, so a missing folder and a refused folder
// both show up here.
const char *saveOpenCause(const QString &path, const QFileDevice &file, int err)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !parentIsFolder(info))
        return "folder not found";
    if (info.isDir())
        return "is a folder, not a file";
    if (isDiskFull(file, err))
        return "disk full";
    if (err == EMFILE || err == ENFILE)
        return "too many files open";
    return "permission denied";
}

const char *saveWriteCause(const QFileDevice &file, int err)
{
    if (isDiskFull(file, err))
        return "disk full";
    // The data was complete; only putting the new file in place of the old failed.
    if (file.error() == QFileDevice::RenameError)
        return "permission denied";
    return "write error";
}

// Bytes that show up in text files only by mistake (TAB, LF, FF, CR and the end
// mark 26 are at home in a help file).
bool isControlByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u < 32 && u != 9 && u != kLineFeed && u != 12 && u != kCarriageReturn && u != kEndMark) || u == 127;
}

// Whether bytes hold anything besides line ends and end marks.
bool holdsText(QByteArrayView bytes)
{
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return c != kLineFeed && c != kCarriageReturn && c != kEndMark; });
}

// Whether a line holds multi-byte UTF-8 sequences and nothing that UTF-8 forbids.
bool looksLikeUtf8(const QByteArray &line)
{
    if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 128; }))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(line);
    return !utf8.hasError();
}

// Appends what the grid does silently to one line as it is loaded: it keeps
// 120 bytes, and a byte 0 ends the text it shows and saves.
void addLineWarnings(const QByteArray &line, int number, QList<FormatWarning> &warnings)
{
    if (line.size() > doc::kColumns) {
        warnings.append({number, QStringLiteral("line is %1 bytes long; the editor keeps the first %2 and saving drops the rest")
                                     .arg(line.size())
                                     .arg(doc::kColumns),
                            doc::kColumns + 1, QStringLiteral("long-line")});
    }
    const qsizetype zero = line.indexOf('\0');
    if (zero >= 0 && zero + 1 < std::min<qsizetype>(line.size(), doc::kColumns))
        warnings.append({number, QStringLiteral("text after a byte 0 is hidden in the editor and never saved"),
                         int(zero + 1), QStringLiteral("text-after-zero")});
    if (looksLikeUtf8(line)) {
        const auto high = std::find_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 128; });
        warnings.append({number, QStringLiteral("line looks like UTF-8; its multi-byte characters will show as Windows-1252 pairs"),
                         int(high - line.begin() + 1), QStringLiteral("utf-8-text")});
    }
}

void writeAll(QSaveFile &file, const QByteArray &bytes)
{
    for (qsizetype pos = 0; pos < bytes.size(); pos += kChunk) {
        runFaultHook(SaveStep::Write);
        const qsizetype length = std::min(kChunk, bytes.size() - pos);
        errno = 0;
        // A short count is a failure too: Qt does not flag it, and committing
        // after it would replace the old file with a truncated one.
        if (file.write(bytes.constData() + pos, length) != length)
            throw base::FileError(saveWriteCause(file, errno));
    }
}

} // namespace

namespace {

// The lines read so far and the state of the line being read.
struct LineReading {
    QList<FormatWarning> *warnings = nullptr;
    QList<QByteArray> lines;
    QByteArray line;
    bool lineStarted = false; // a byte other than a dropped CR belongs to the current line
    bool skipping = false;    // an end mark inside the line hides the rest of it
    bool skippedText = false; // and something other than further end marks was hidden

    // Ends the current line, warning when it hid text after an end mark.
    void endLine()
    {
        if (skippedText && warnings)
            warnings->append({int(lines.size() + 1), QStringLiteral("text after a byte 26 is skipped to the line end"),
                              int(line.size() + 1), QStringLiteral("text-after-end-mark")});
        lines.append(std::exchange(line, {}));
        lineStarted = skipping = skippedText = false;
    }
};

} // namespace

QList<QByteArray> parseHelpFile(const QByteArray &bytes, QList<FormatWarning> *warnings)
{
    LineReading r;
    r.warnings = warnings;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        // CR never reaches a line and does not count as its start: CR then 26
        // still has the end mark at the start of the line.
        if (c == kCarriageReturn)
            continue;
        if (c == kLineFeed) {
            r.endLine();
            continue;
        }
        if (r.skipping) {
            r.skippedText = r.skippedText || c != kEndMark;
            continue;
        }
        if (c == kEndMark) {
            if (!r.lineStarted) {
                if (warnings && holdsText(bytes.sliced(i + 1)))
                    warnings->append({int(r.lines.size() + 1), QStringLiteral("text after a byte 26 that ends the file is never read"),
                                       1, QStringLiteral("text-after-end-of-file")});
                return r.lines;
            }
            r.skipping = true;
            continue;
        }
        r.line.append(c);
        r.lineStarted = true;
    }
    if (r.lineStarted)
        r.endLine();
    return r.lines;
}

QList<FormatWarning> formatWarnings(const QByteArray &bytes)
{
    // Past this share of control codes the file is not text, and a warning per
    // line would bury that one useful fact.
    const qsizetype controls = std::count_if(bytes.begin(), bytes.end(), isControlByte);
    if (controls * 10 > bytes.size()) {
        return {{1, QStringLiteral("the file looks binary (%1 of its %2 bytes are control codes)")
                        .arg(controls)
                        .arg(bytes.size()),
                 1, QStringLiteral("binary-file")}};
    }
    QList<FormatWarning> warnings;
    const QList<QByteArray> lines = parseHelpFile(bytes, &warnings);
    for (qsizetype i = 0; i < lines.size(); ++i)
        addLineWarnings(lines[i], int(i + 1), warnings);
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const FormatWarning &a, const FormatWarning &b) { return a.line < b.line; });
    return warnings;
}

QByteArray serializeHelpFile(const QList<QByteArray> &lines)
{
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 2;
    QByteArray bytes;
    bytes.reserve(size);
    for (const QByteArray &line : lines) {
        bytes.append(line);
        bytes.append("\r\n", 2);
    }
    return bytes;
}

QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw base::FileError(readOpenCause(path, errno));
    runFaultHook(ReadStep::Open);
    QByteArray bytes;
    for (;;) {
        runFaultHook(ReadStep::Read);
        const QByteArray piece = file.read(kChunk);
        if (file.error() != QFileDevice::NoError)
            throw base::FileError("read error");
        if (piece.isEmpty())
            return bytes;
        bytes.append(piece);
    }
}

void writeFileBytes(const QString &path, const QByteArray &bytes, std::optional<QFileDevice::Permissions> permissions)
{
    QSaveFile file(path);
    // Without the temporary file a failure would leave the old file half
    // overwritten; better to fail the save and keep the old file whole.
    file.setDirectWriteFallback(false);
    try {
        errno = 0;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw base::FileError(saveOpenCause(path, file, errno));
        runFaultHook(SaveStep::Open);
        // Set on the temporary file before anything is written to it.
        if (permissions && !file.setPermissions(*permissions))
            throw base::FileError("permission denied");
        writeAll(file, bytes);
        runFaultHook(SaveStep::Commit);
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    errno = 0;
    if (!file.commit())
        throw base::FileError(saveWriteCause(file, errno));
}

bool namesNewFile(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() && !info.isSymLink() && !path.endsWith(QLatin1Char('/'))
           && QFileInfo(info.absolutePath()).isDir();
}

QList<QByteArray> readHelpDocument(const QString &path, int gridLines)
{
    return helpDocumentLines(readFileBytes(path), gridLines);
}

QList<QByteArray> helpDocumentLines(const QByteArray &bytes, int gridLines)
{
    QList<QByteArray> lines = parseHelpFile(bytes);
    switch (doc::linesFit(lines, gridLines)) {
    case doc::LineFit::TooManyLines:
        throw base::FileError("more than 32767 lines");
    case doc::LineFit::TextBeyondGrid:
        throw base::FileError(QStringLiteral("text beyond line %1 (the file has %2 lines; the editor holds %1)")
                                  .arg(gridLines)
                                  .arg(lines.size())
                                  .toStdString());
    case doc::LineFit::Fits:
        break;
    }
    return lines;
}

void setSaveFaultHook(std::function<void(SaveStep)> hook)
{
    faultHook<SaveStep>() = std::move(hook);
}

void setReadFaultHook(std::function<void(ReadStep)> hook)
{
    faultHook<ReadStep>() = std::move(hook);
}

} // namespace fileio
