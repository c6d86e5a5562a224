#pragma once
// The documents the benchmark works on: dense lines of 120 bytes full of markup,
// and a 1000-line file with 50 links, identical on every run.

#include <QByteArray>
#include <QList>

namespace bench {

// Returns line number n (1..1000) of the dense document, `length` bytes long.
inline QByteArray denseLine(int n, int length = 120)
{
    static const char *const pieces[] = {
        "Help text ",  "\\fbold words ", "\\iitalic blue ", "\\nnormal again ",
        "\\ccourier ", "\\mgrey cells ", "\\n", "\\[ boxed \\[ ",
        "\\psmall ",   "\\n\\ssub ",     "\\hHeader ",      "\\n\\lLarge ",
        "quick brown fox jumps ", "over the lazy dog ", "0123456789 ", "\\n",
    };
    constexpr int kPieces = int(sizeof(pieces) / sizeof(pieces[0]));
    QByteArray line;
    for (int i = n * 7; line.size() < length; i += 3)
        line += pieces[i % kPieces];
    line.truncate(length);
    return line;
}

// Returns the 1000 x 120 document: dense lines, with 50 pointers in the first
// half and their 50 markers in the second.
inline QList<QByteArray> linkedDocument()
{
    QList<QByteArray> lines;
    for (int n = 1; n <= 1000; ++n) {
        QByteArray line;
        if (n % 10 == 0) {
            const int k = (n / 10 - 1) % 50;
            line = (n <= 500 ? "\\@link" : "\\#link") + QByteArray::number(k) + "; ";
        }
        line += denseLine(n, 120 - int(line.size()));
        lines.append(line);
    }
    return lines;
}

} // namespace bench
