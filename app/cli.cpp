#include "app/cli.h"

#include "app/check.h"

#include "base/checked.h"
#include "document/editor.h"
#include "base/cp1252.h"
#include "fileio/folders.h"
#include "fileio/helpfile.h"
#include "fileio/recovery.h"
#include "publish/htmlexport.h"
#include "render/pagerenderer.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace app {

namespace {

enum Status { Clean = 0, Faults = 1, Failed = 2 };

// Whether an option picks the mode or refines the mode another option picked.
enum class Role { Selects, Refines };
// How many FILE arguments a mode takes.
enum class Files { None, AtMostOne, One, AtLeastOne };

// One option of the command line. Adding an option is adding a row here (and,
// for a new mode, a row to kModes and its run function).
struct OptionRow {
    QStringList names;
    QString valueName; // empty for a switch
    QString description;
    CliMode mode;
    Role role;
};

const QList<OptionRow> &optionTable()
{
    static const QList<OptionRow> table = {
        {{"check"}, {}, "Check the links and the format of each FILE.", CliMode::Check, Role::Selects},
        {{"strict"}, {}, "With --check: exit 1 when there is any warning.", CliMode::Check, Role::Refines},
        {{"format"}, "FORMAT", "With --check: gnu (FILE:LINE:COLUMN: lines, the default) or json.", CliMode::Check,
         Role::Refines},
        {{"render"}, {}, "Write the pages of FILE as 800 x 800 PNG images.", CliMode::Render, Role::Selects},
        {{"out"}, "DIR", "With --render or --export: the folder for the pages (made when missing).", CliMode::Render,
         Role::Refines},
        {{"source"}, {}, "With --render: show the raw source instead of the markup.", CliMode::Render, Role::Refines},
        {{"scale"}, "N", "With --render: draw at a device pixel ratio N (0.5 to 4), as a high-density screen shows the page.",
         CliMode::Render, Role::Refines},
        {{"zoom"}, "F", "In the window: show it F times its size (0.5 to 4), within the screen.", CliMode::Window,
         Role::Refines},
        {{"export"}, "FORMAT", "Write each FILE as a web page (FORMAT html) into the folder --out names.",
         CliMode::Export, Role::Selects},
        {{"recover"}, {}, "Open the newest recovery copy of unsaved text (or the copy FILE) in the window.",
         CliMode::Recover, Role::Selects},
        {{"list-recovered"}, {}, "List the recovery copies of unsaved text, newest first.", CliMode::ListRecovered,
         Role::Selects},
        {{"h", "help"}, {}, "Show this help and exit.", CliMode::Help, Role::Selects},
        {{"v", "version"}, {}, "Show the version and exit.", CliMode::Version, Role::Selects},
    };
    return table;
}

// What a mode takes: its files and an option it cannot go without.
struct ModeRow {
    CliMode mode;
    QString option; // the option that selects it; empty for the window
    Files files;
    QString needs;
};

const QList<ModeRow> kModes = {
    {CliMode::Window, {}, Files::AtMostOne, {}},
    {CliMode::Check, "check", Files::AtLeastOne, {}},
    {CliMode::Render, "render", Files::One, "out"},
    {CliMode::Export, "export", Files::AtLeastOne, "out"},
    {CliMode::Recover, "recover", Files::AtMostOne, {}},
    {CliMode::ListRecovered, "list-recovered", Files::None, {}},
};

const QString kSynopsis = QStringLiteral(
    "Edit help files in a window, or check, render and publish them without one.\n"
    "\n"
    "  helpedit [--zoom=F] [FILE]           open FILE in the editor window\n"
    "  helpedit --check [--strict] [--format=gnu|json] FILE...\n"
    "                                       check each FILE (- for standard input)\n"
    "  helpedit --render FILE --out=DIR [--source] [--scale=N]\n"
    "                                       write the pages of FILE into DIR\n"
    "  helpedit --export=html FILE... --out=DIR  write each FILE as a web page\n"
    "  helpedit --recover [FILE]            open a recovery copy of unsaved text\n"
    "  helpedit --list-recovered            list the recovery copies\n"
    "\n"
    "Exit status: 0 success, 1 link faults (or warnings with --strict),\n"
    "2 a file that cannot be read or written, or wrong arguments.\n"
    "Put -- before a FILE whose name starts with a dash.\n"
    "\n"
    "In the window: Ctrl+O opens (OPEN), Ctrl+S saves (SAVE), F1 shows the help (HELP).");

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

CommandLine usageError(const QString &what)
{
    CommandLine c;
    c.mode = CliMode::Usage;
    c.error = what;
    return c;
}

void addOptions(QCommandLineParser &parser)
{
    for (const OptionRow &o : optionTable())
        parser.addOption(QCommandLineOption(o.names, o.description, o.valueName));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A help file."), QStringLiteral("[FILE...]"));
    parser.setApplicationDescription(kSynopsis);
}

// Returns the one-line complaint about arguments QCommandLineParser refused.
QString parseError(const QCommandLineParser &parser)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unknown option '%1'").arg(dashed(parser.unknownOptionNames().first()));
    // "Missing value after '--out'." and the like, in the form of the other complaints.
    QString text = parser.errorText();
    static const QRegularExpression missing(QStringLiteral("^Missing value after ('.*')"));
    if (const QRegularExpressionMatch m = missing.match(text); m.hasMatch())
        return QStringLiteral("option %1 needs a value").arg(m.captured(1));
    if (text.endsWith('.'))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

// Returns the mode the options pick (the window when none does); an error when two do.
std::optional<CliMode> selectedMode(const QCommandLineParser &parser, QString &error)
{
    // Help and version win over everything else, as in every GNU program.
    for (const CliMode first : {CliMode::Help, CliMode::Version}) {
        for (const OptionRow &o : optionTable()) {
            if (o.mode == first && parser.isSet(o.names.last()))
                return first;
        }
    }
    const OptionRow *picked = nullptr;
    for (const OptionRow &o : optionTable()) {
        if (o.role != Role::Selects || !parser.isSet(o.names.last()))
            continue;
        if (picked) {
            error = QStringLiteral("%1 and %2 cannot be used together").arg(dashed(picked->names.last()), dashed(o.names.last()));
            return std::nullopt;
        }
        picked = &o;
    }
    return picked ? picked->mode : CliMode::Window;
}

// Returns the device pixel ratio --scale asks for (1 without it), nothing when it is no number from 0.5 to 4.
std::optional<double> scaleOf(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("scale")))
        return 1.0;
    bool number = false;
    const double scale = parser.value(QStringLiteral("scale")).toDouble(&number);
    // The image grows with the square of the scale: a few times the page is enough.
    if (!number || scale < 0.5 || scale > 4.0)
        return std::nullopt;
    return scale;
}

// Returns the window scale --zoom asks for (1 without it), nothing when it is no number from 0.5 to 4.
std::optional<double> zoomOf(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("zoom")))
        return 1.0;
    bool number = false;
    const double zoom = parser.value(QStringLiteral("zoom")).toDouble(&number);
    if (!number || !(zoom >= 0.5 && zoom <= 4.0))
        return std::nullopt;
    return zoom;
}

// Returns whether an option of owner's may refine mode: the window's options
// go with every mode that opens the window.
bool refines(CliMode owner, CliMode mode)
{
    return owner == mode || (owner == CliMode::Window && mode == CliMode::Recover);
}

// Returns the format --check prints in (GNU without the option), nothing for an unknown one.
std::optional<CheckFormat> formatOf(const QCommandLineParser &parser)
{
    const QString value = parser.value(QStringLiteral("format"));
    if (!parser.isSet(QStringLiteral("format")) || value == QLatin1String("gnu"))
        return CheckFormat::Gnu;
    if (value == QLatin1String("json"))
        return CheckFormat::Json;
    return std::nullopt;
}

// Returns what is wrong with the options and files given to the mode; empty when nothing.
QString modeError(const QCommandLineParser &parser, const ModeRow &mode)
{
    const QString name = mode.option.isEmpty() ? QStringLiteral("the window") : dashed(mode.option);
    for (const OptionRow &o : optionTable()) {
        // An option a mode cannot go without belongs to it too.
        const bool foreign = !refines(o.mode, mode.mode) && o.names.last() != mode.needs;
        if (o.role == Role::Refines && foreign && parser.isSet(o.names.last())) {
            const auto owner = std::find_if(kModes.begin(), kModes.end(), [&](const ModeRow &m) { return m.mode == o.mode; });
            const QString ownerName = owner->option.isEmpty() ? QStringLiteral("the window") : dashed(owner->option);
            return QStringLiteral("%1 only goes with %2").arg(dashed(o.names.last()), ownerName);
        }
        if (!o.valueName.isEmpty() && parser.isSet(o.names.last()) && parser.value(o.names.last()).isEmpty())
            return QStringLiteral("option '%1' needs a value").arg(dashed(o.names.last()));
    }
    const qsizetype files = parser.positionalArguments().size();
    if (mode.files == Files::None && files > 0)
        return QStringLiteral("%1 takes no FILE").arg(name);
    if (mode.files == Files::AtMostOne && files > 1)
        return QStringLiteral("%1 opens one FILE, not %2").arg(name).arg(files);
    if (mode.files == Files::One && files != 1)
        return QStringLiteral("%1 needs one FILE, not %2").arg(name).arg(files);
    if (mode.files == Files::AtLeastOne && files == 0)
        return QStringLiteral("%1 needs at least one FILE").arg(name);
    if (!mode.needs.isEmpty() && !parser.isSet(mode.needs))
        return QStringLiteral("option '%1' is missing (%2 needs it)").arg(dashed(mode.needs), name);
    if (mode.mode == CliMode::Export && parser.value(QStringLiteral("export")).compare(QLatin1String("html"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("option '--export' takes html");
    if (!scaleOf(parser))
        return QStringLiteral("option '--scale' takes a number from 0.5 to 4");
    if (!zoomOf(parser))
        return QStringLiteral("option '--zoom' takes a number from 0.5 to 4");
    if (!formatOf(parser))
        return QStringLiteral("option '--format' takes gnu or json");
    return {};
}

CommandLine commandOf(const QCommandLineParser &parser, CliMode mode)
{
    CommandLine c;
    c.mode = mode;
    c.files = parser.positionalArguments();
    c.out = parser.value(QStringLiteral("out"));
    if (parser.isSet(QStringLiteral("source")))
        c.display = markup::DisplayMode::Source;
    if (parser.isSet(QStringLiteral("strict")))
        c.warnings = WarningPolicy::Fail;
    c.scale = scaleOf(parser).value_or(1.0);
    c.zoom = zoomOf(parser).value_or(1.0);
    c.format = formatOf(parser).value_or(CheckFormat::Gnu);
    return c;
}

// Reads the file at path into grid by the editor's own rules; returns its bytes,
// or nothing after saying why it cannot be read.
std::optional<QByteArray> loadFile(const QString &path, doc::TextGrid &grid, QTextStream &err)
{
    try {
        QByteArray bytes = fileio::readFileBytes(path);
        grid.loadLines(fileio::helpDocumentLines(bytes, doc::kLines));
        return bytes;
    } catch (const base::HelpError &e) {
        err << path << ": cannot read file: " << e.what() << Qt::endl;
        return std::nullopt;
    }
}

// Makes the folder and its parents; on failure says why and returns false.
bool makeFolder(const QString &dir, QTextStream &err)
{
    try {
        fileio::makeFolder(dir);
        return true;
    } catch (const base::HelpError &e) {
        err << dir << ": cannot create folder: " << e.what() << Qt::endl;
        return false;
    }
}

QString pageName(int page)
{
    return QStringLiteral("page-%1.png").arg(page, 3, 10, QLatin1Char('0'));
}

// Removes the pages an earlier, longer render left beyond the new last page, so
// that the folder never looks like a complete render of this file when it is
// not; other files are never touched. Returns false when one cannot be removed.
bool removeStalePages(const QDir &dir, int pages, QTextStream &err)
{
    static const QRegularExpression pageFile(QStringLiteral("^page-(\\d{3,})\\.png$"));
    bool removedAll = true;
    for (const QString &name : dir.entryList({QStringLiteral("page-*.png")}, QDir::Files | QDir::System)) {
        const QRegularExpressionMatch m = pageFile.match(name);
        if (!m.hasMatch() || m.captured(1).toLongLong() <= pages)
            continue;
        QFile stale(dir.filePath(name));
        if (stale.remove()) {
            err << stale.fileName() << ": removed, left over from an earlier render" << Qt::endl;
        } else {
            err << stale.fileName() << ": cannot remove stale page: " << stale.errorString() << Qt::endl;
            removedAll = false;
        }
    }
    return removedAll;
}

// Writes one page as PNG through the same atomic writing as a save; on failure says why.
bool writePage(const QImage &page, const QString &path, QTextStream &err)
{
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    page.save(&png, "PNG");
    try {
        fileio::writeFileBytes(path, png.data());
        return true;
    } catch (const base::HelpError &e) {
        err << path << ": cannot write file: " << e.what() << Qt::endl;
        return false;
    }
}

int runRender(const CommandLine &command, QTextStream &out, QTextStream &err)
{
    const QString &file = command.files.first();
    doc::TextGrid grid;
    if (!loadFile(file, grid, err) || !makeFolder(command.out, err))
        return Failed;
    const QDir dir(command.out);
    const QList<int> tops = pageTops(grid);
    if (!removeStalePages(dir, int(tops.size()), err))
        return Failed;
    for (int page = 1; page <= tops.size(); ++page) {
        // The name comes from the page number alone: nothing is written outside the folder.
        const QString path = dir.filePath(pageName(page));
        if (!writePage(renderPage(grid, tops[page - 1], command.display, command.scale), path, err))
            return Failed;
        out << path << '\n';
    }
    out.flush();
    return Clean;
}

// Prints one line per recovery copy, newest first: path, time written, lines,
// first line with text; a copy that cannot be read is skipped with a warning.
int listRecovered(QTextStream &out, QTextStream &err)
{
    QStringList unreadable;
    const QList<fileio::RecoveryCopy> copies = fileio::RecoveryStore().list(&unreadable);
    for (const QString &path : unreadable)
        err << "helpedit: " << path << ": warning: cannot read this recovery copy; skipped" << Qt::endl;
    for (const fileio::RecoveryCopy &c : copies) {
        out << c.path << '\t' << c.written.toString(QStringLiteral("yyyy-MM-dd HH:mm")) << '\t' << c.lines << '\t'
            << base::decodeCp1252(c.firstText) << '\n';
    }
    out.flush();
    return Clean;
}

int showHelp(QTextStream &out)
{
    QCommandLineParser parser;
    addOptions(parser);
    // Qt names the program after the binary; the help speaks of helpedit however it was started.
    QString text = parser.helpText();
    text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: helpedit"));
    out << text;
    out.flush();
    return Clean;
}

} // namespace

CommandLine parseCommandLine(const QStringList &args)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(args))
        return usageError(parseError(parser));
    QString error;
    const std::optional<CliMode> mode = selectedMode(parser, error);
    if (!mode)
        return usageError(error);
    const auto row = std::find_if(kModes.begin(), kModes.end(), [&](const ModeRow &m) { return m.mode == *mode; });
    if (row != kModes.end()) {
        error = modeError(parser, *row);
        if (!error.isEmpty())
            return usageError(error);
    }
    return commandOf(parser, *mode);
}

int runCli(const CommandLine &command, QTextStream &out, QTextStream &err)
{
    switch (command.mode) {
    case CliMode::Check: return runCheck(command, out, err);
    case CliMode::Render: return runRender(command, out, err);
    case CliMode::Export: return publish::exportHtml(command.files, command.out, out, err);
    case CliMode::ListRecovered: return listRecovered(out, err);
    case CliMode::Help: return showHelp(out);
    case CliMode::Version:
        // The GNU form: name and version, the copyright, the licence.
        out << "helpedit " << HELPEDIT_BUILD_VERSION << "\nCopyright (C) the helpedit authors\n"
            << "License MIT <https://opensource.org/license/mit>: free to change and redistribute; NO WARRANTY."
            << Qt::endl;
        return Clean;
    case CliMode::Usage:
        err << "helpedit: " << command.error << "\nTry 'helpedit --help' for more information." << Qt::endl;
        return Failed;
    case CliMode::Window:
    case CliMode::Recover: break;
    }
    return Clean;
}

int runCli(const QStringList &args, QTextStream &out, QTextStream &err)
{
    return runCli(parseCommandLine(args), out, err);
}

QList<int> pageTops(const doc::TextGrid &grid)
{
    const int last = grid.lastNonEmptyLine();
    // The page cannot start below the last top line the editor can show.
    const int lastTop = doc::kLines - doc::kRows + 1;
    QList<int> tops;
    for (int top = 1; top == 1 || top <= last; top += doc::kRows) {
        tops.append(std::min(top, lastTop));
        if (top >= lastTop)
            break;
    }
    return tops;
}

QImage renderPage(const doc::TextGrid &grid, int topLine, markup::DisplayMode mode, double scale)
{
    render::PageRenderer page(render::gridLines(grid), render::RowClearing::WholePage);
    page.createSurface(scale);
    page.renderPage(topLine, mode);
    return page.image();
}

} // namespace app
