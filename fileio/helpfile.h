#pragma once
// The help file format and the file operations of open and save. Plain
// functions, no widgets: bytes in, lines out, and lines out to bytes.
//
// Format: lines of single bytes stored unconverted. Written, every line is
// followed by CR LF. Read, a line ends at LF; CR is never part of a line; byte
// 26 at a line start ends the file, inside a line it ends that line's text (the
// rest up to LF is skipped); every other byte, 0 included, is kept.

#include <QByteArray>
#include <QFileDevice>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace fileio {

// Something that opening a file changes, hides or shows differently without a
// word: a line cut to the page width, hidden or skipped bytes, UTF-8 text.
struct FormatWarning {
    int line = 0; // the line of the file, from 1
    QString message;
    int column = 1;  // the byte column where it starts, from 1
    QString code;    // stable, for tools: "long-line", "text-after-zero", ...
};

// Returns the lines of a help file's bytes, in order. A file ending in a line
// end has no empty line after it; an empty file has no lines. When warnings is
// given, the bytes the end marks (26) leave unread are reported into it.
QList<QByteArray> parseHelpFile(const QByteArray &bytes, QList<FormatWarning> *warnings = nullptr);

// Returns, in line order, what opening these bytes in the editor would silently
// change or show wrongly. A file that looks binary gets that one warning only.
QList<FormatWarning> formatWarnings(const QByteArray &bytes);

// Returns the bytes of a help file holding these lines, each followed by CR LF.
QByteArray serializeHelpFile(const QList<QByteArray> &lines);

// Reads the whole file at path; throws base::FileError with the cause in plain
// words ("file not found", "permission denied", "folder not found", ...) on failure.
QByteArray readFileBytes(const QString &path);

// Writes bytes to path through a temporary file that replaces the old one only
// when everything was written; on failure the old file is untouched and
// base::FileError is thrown with the cause in plain words ("disk full", ...).
// With permissions, the new file gets exactly those.
void writeFileBytes(const QString &path, const QByteArray &bytes,
                    std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// Returns whether path names a file that is not there yet in a folder that is:
// a new document to be saved there (a dangling link does not count).
bool namesNewFile(const QString &path);

// Returns the lines of the help file at path when a grid of gridLines lines
// can hold them all; throws base::FileError with the cause otherwise.
QList<QByteArray> readHelpDocument(const QString &path, int gridLines);

// Returns the lines of a help file's bytes when a grid of gridLines lines can
// hold them all; throws base::FileError saying why not (text past its last
// line, or more lines than a line number can count).
QList<QByteArray> helpDocumentLines(const QByteArray &bytes, int gridLines);

// The steps of a save, for fault injection in tests: Open once the temporary
// file is open, Write before each piece of the data, Commit before the
// temporary file replaces the old one. A hook that throws cancels the save.
enum class SaveStep { Open, Write, Commit };
// Installs a hook that may throw at a save step (nullptr removes it).
void setSaveFaultHook(std::function<void(SaveStep)> hook);

// The steps of an open, for fault injection in tests: Open once the file is
// open, Read before each piece of its bytes is read (the last read finds the
// end). A hook that throws fails the open.
enum class ReadStep { Open, Read };
// Installs a hook that may throw at a read step (nullptr removes it).
void setReadFaultHook(std::function<void(ReadStep)> hook);

} // namespace fileio
