#pragma once
// The text of a page as a screen reader gets it: the lines as shown, joined by
// "\n". In rendered mode a line holds only the characters the page draws (no
// escape codes, no link names); in source mode every byte of the line. Offsets
// count in that text, and this class maps them to document lines and columns
// and back, reading each line through the markup reader the drawing uses.
//
// Lines are read once and kept; a change names the lines to read again and
// comes back as a small edit of the text, for the change events: the edited
// part of one line, or a line that went and an empty one added at the end
// (and the reverse) when lines moved up or down.

#include "markup/markup.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace render {

// An edit of the exposed text: at offset, removed was replaced by inserted.
struct TextChange {
    int offset = 0;
    QString removed;
    QString inserted;
    bool isEmpty() const { return removed.isEmpty() && inserted.isEmpty(); }
};
// Edits that apply one after the other.
using TextChanges = std::vector<TextChange>;

// A place in the document: the caret stands before column (from 1) of line.
struct TextPosition {
    int line = 0;
    int column = 1;
    bool operator==(const TextPosition &) const = default;
};

class PageText {
public:
    // Returns the raw bytes of one line.
    using LineSource = std::function<QByteArray(int line)>;

    // The text of lines first to last, read through source, in rendered mode.
    PageText(int firstLine, int lastLine, LineSource source);

    // Returns the characters line shows in mode; columns, when given, receives
    // the column (from 1) of each of them.
    static QString exposeLine(const QByteArray &line, markup::DisplayMode mode, std::vector<uint8_t> *columns);

    // Sets the display mode; returns how the text changed (nothing before the first read).
    TextChanges setMode(markup::DisplayMode mode);
    // Returns the display mode.
    markup::DisplayMode mode() const { return mode_; }
    // Reads lines first to last again; returns how the text changed (nothing
    // before the first read, which reads every line anyway).
    TextChanges refresh(int first, int last);

    // Returns the whole text.
    const QString &text();
    // Returns the number of characters, the line breaks included.
    int length();
    // Returns the offset of the first character of line.
    int lineStart(int line);
    // Returns the offset of the caret standing before column of line.
    int offsetOf(int line, int column);
    // Returns where the character at offset stands; at a line's end, or past
    // the text, the place after the line's last column.
    TextPosition positionAt(int offset);
    // Returns the first and last line.
    int firstLine() const { return first_; }
    int lastLine() const { return last_; }

private:
    struct Line {
        QString text;
        std::vector<uint8_t> columns; // the column of each character of text
        int rawLength = 0;
    };

    void readAll();
    void readLine(int line);
    QString joined(int first, int last) const;
    static QString joined(const std::vector<QString> &lines, size_t from, size_t to);
    TextChanges lineChanges(const std::vector<QString> &before, int first, int base) const;
    Line &at(int line) { return lines_[size_t(line - first_)]; }

    int first_;
    int last_;
    LineSource source_;
    markup::DisplayMode mode_ = markup::DisplayMode::Rendered;
    bool read_ = false;        // every line is read and held
    std::vector<Line> lines_;
    std::vector<int> starts_;  // the offset of each line's start, valid while read_
    QString text_;
};

// Returns the smallest single edit that turns before into after, at offset base.
TextChange textChange(const QString &before, const QString &after, int base);

} // namespace render
