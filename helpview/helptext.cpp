#include "helpview/helptext.h"

namespace helpview {

const QList<QByteArray> &helpText()
{
    // Accented letters are single Windows-1252 bytes, the ones Alt+E, I and O type.
    static const QList<QByteArray> lines = {
        "\\hHelp Editor HELP",
        "\\l\\fdata",
        "120 characters per line",
        "1000 lines",
        "display 31 lines, vertical scroll.",
        "",
        "\\l\\fStyles",
        "\\ backslash\\tn:\\tnormal font",
        "\\\\\\tc:\\t\\ccourier font \\",
        "\\tf:\\t\\ffat font",
        "\\tl:\\t\\llarge font",
        "\\ti:\\t\\iitalic font",
        "\\tm:\\t\\mbackground color",
        "\\tp:\\t\\psuperscript \\n (power)",
        "\\ts:\\t\\ssubscript   \\n  (xxxx)",
        "\\th:\\t\\hheader",
        "\\t[:\\t\\[ text in rectangle \\[",
        "",
        "\\f\\lPointers and Markers",
        "backslash\\t@name;\\t\\@form;  pointer to text line ahead",
        "\\t#name;\\t\\#form;  marks line by name",
        "",
        "\\f\\lTab",
        "backslash t:\\tnext multiple of 100 pixels",
        "",
        "\\f\\lKeyboard commands",
        "<ctrl>X\\terase line",
        "        Y\\tdelete line, shift next lines up",
        "        Z\\tinsert new line",
        "",
        "\\f\\lAlt Characters",
        "\\i<alt>\\n e\\t\xEB\xEA\xE9\xE8          (hold \\i<alt>\\n keep pressing e)",
        "         i\\t\xEF",
        "         o\\t\xF2\xF3\xF4\xF5\xF6",
        "",
        "\\[\\f LINK \\[ \\n press button to make link list",
        "",
        "version 6, june 2015",
    };
    return lines;
}

} // namespace helpview
