// Fuzz target for the help file reader: any bytes give lines free of line ends
// and end marks, and those lines, written and read again, come back the same.
// The warnings of --check never change what is read and point at lines that exist.

#include "fileio/helpfile.h"
#include "fuzzsupport.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr char kLineFeed = 10;
constexpr char kCarriageReturn = 13;
constexpr char kEndMark = 26;

bool holdsLineEndOrEndMark(const QByteArray &line)
{
    return line.contains(kLineFeed) || line.contains(kCarriageReturn) || line.contains(kEndMark);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> lines = fileio::parseHelpFile(bytes);

    // Each line but possibly the last ends at its own LF.
    fuzz::require(lines.size() <= bytes.count(kLineFeed) + 1, "more lines than line ends");
    for (const QByteArray &line : lines)
        fuzz::require(!holdsLineEndOrEndMark(line), "a read line holds CR, LF or 26");

    // Such lines are exactly what the format carries unchanged.
    const QByteArray written = fileio::serializeHelpFile(lines);
    fuzz::require(fileio::parseHelpFile(written) == lines, "written lines do not read back the same");

    QList<fileio::FormatWarning> endMarks;
    fuzz::require(fileio::parseHelpFile(bytes, &endMarks) == lines, "asking for warnings changed the lines");
    int previous = 1;
    for (const fileio::FormatWarning &w : fileio::formatWarnings(bytes)) {
        fuzz::require(w.line >= previous && w.line <= lines.size() + 1, "a warning out of order or past the file");
        previous = w.line;
    }
    return 0;
}
