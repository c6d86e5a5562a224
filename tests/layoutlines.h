#pragma once
// The markup combinations the layout test checks on one line: each style code
// after \n and after each other code, tabs after boxes and link glyphs, codes
// after large and lowered text, and source mode. The web page test loads them too.

#include <QByteArray>
#include <QList>

struct LayoutLine {
    QByteArray text;
    bool source;
};

inline QList<LayoutLine> layoutLines()
{
    QList<LayoutLine> lines;
    const QByteArray styles = "cfilhpsm";
    // Each style code, then \n; each code followed by each other code.
    for (char a : styles) {
        lines.append({"\\" + QByteArray(1, a) + "Hg\\nHg", false});
        for (char b : styles)
            if (a != b)
                lines.append({"\\" + QByteArray(1, a) + "\\" + QByteArray(1, b) + "Hg", false});
    }
    const LayoutLine rows[] = {
        // Tabs after boxes and link glyphs.
        {"\\[Hx\\[\\tH", false}, {"\\[\\tHx", false}, {"\\@a;\\tH", false}, {"\\#a; x\\tH", false},
        {"W\\@a;\\#b;\\tH\\t\\[x\\[ H", false}, {"\\[\\[\\[x", false}, {"\\[ab\\ncd\\[ef", false},
        {"ab\\[", false}, {"\\[\\nxy", false}, // a box with nothing in it shows its left edge alone
        // Codes after a large or lowered style.
        {"\\lHg\\pHg\\nHg", false}, {"\\sHg\\lHg", false}, {"\\hHg\\sHg\\fHg", false},
        {"\\pHg\\tHg\\nHg", false}, {"\\SHg\\NHg\\MHg", false},
        // Names ended by a blank, by a backslash; text after a tab stop.
        {"\\@ab cd", false}, {"\\#ab\\fcd", false}, {"x\\tab\\t\\tcd", false},
        // Source mode shows every byte in the normal style.
        {"\\hHg\\t\\@a;x", true}, {"\\\\\\[x\\m", true},
    };
    for (const LayoutLine &row : rows)
        lines.append(row);
    return lines;
}
