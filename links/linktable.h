#pragma once
// The link table: pointers (\@name;) and the markers (\#name;) they lead to.
// Built on demand from the document, checked, and used for the hand cursor and
// for following a link. The scanner is written once and runs over any list of
// lines: the editor's grid (lines from 1, with a check and a message) and the
// help viewer's built-in text (lines from 0, scan only).

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <utility>

namespace links {

constexpr int kMaxLinks = 50;

// One link: its name, the left edges of its two glyphs and their lines
// (0 while no marker has been matched).
struct Link {
    QByteArray name;
    int pointerX = 0;
    int markerX = 0;
    int pointerLine = 0;
    int markerLine = 0;
};

// What is wrong with one link on its own.
enum class LinkFault { None, ToItself, ToNothing };

// Returns the link's fault: its marker on its own pointer's line, or no marker matched.
LinkFault linkFault(const Link &link);

// What became of a link name met by the scanner at its ";".
enum class ScanOutcome {
    Taken,     // a pointer entered the table, or a marker was matched to its pointer
    EmptyName, // \@; or \#; : ignored
    TableFull, // met after the 50th link had been taken: ignored
    NoPointer, // a marker that no earlier pointer names: ignored
};

// One link name as the scanner met it.
struct ScanEvent {
    bool pointer = true;
    QByteArray name;
    int line = 0;
    int column = 0; // the column of its ";"
    int start = 0;  // the column of the backslash that begins it
    ScanOutcome outcome = ScanOutcome::Taken;
};

// What the scanner reads: the text of a line, and the x at which a column
// (1-based) of a line starts, measured in the display mode of the build.
struct ScanSource {
    int firstLine = 1;
    int lastLine = 1000;
    std::function<QByteArray(int line)> lineText;
    std::function<int(int column, int line)> columnX;
    int pointerWidth = 20;
    int markerWidth = 20;
    // Told of every name the scanner meets, taken or ignored; may be empty.
    std::function<void(const ScanEvent &)> observe;
};

class LinkTable {
public:
    // Empties every entry and sets the count to 0.
    void clearLinkTable();
    // Returns (found, index 1..50) of the first entry whose name equals name, byte for byte.
    std::pair<bool, int> findLink(const QByteArray &name) const;
    // Scans the lines into the (cleared) table; returns how many links were taken. Keeps linkCount.
    int scan(const ScanSource &src);
    // Stores count as linkCount and checks the links; returns the message for the user.
    QString check(int count);
    // Scans, then checks; returns the message for the user.
    QString buildLinkTable(const ScanSource &src);
    // Returns the hover value at (line, x): a marker's line over a pointer glyph,
    // 1 over a matched marker glyph, else 0.
    int hoverValue(int line, int x, int pointerWidth, int markerWidth) const;

    // Returns entry i, 1..50.
    const Link &entry(int i) const;
    // Returns the number of links of the last check.
    int linkCount() const { return linkCount_; }

private:
    void registerName(bool pointer, const QByteArray &name, int start, int column, int line,
                      const ScanSource &src, int &count);
    ScanOutcome takeName(bool pointer, const QByteArray &name, int column, int line,
                         const ScanSource &src, int &count);

    std::array<Link, kMaxLinks> entries_{};
    int linkCount_ = 0;
};

} // namespace links
