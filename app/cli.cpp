#include "app/cli.h"

#include "base/checked.h"
#include "document/editor.h"
#include "fileio/helpfile.h"
#include "links/linkcheck.h"
#include "render/pagerenderer.h"

#include <QDir>

namespace app {

namespace {

const QString kUsage = QStringLiteral(
    "usage: helpedit [FILE]\n"
    "       helpedit --check FILE...\n"
    "       helpedit --render FILE --out DIR [--source] [--scale N]\n"
    "       helpedit --help | --version\n"
    "\n"
    "  FILE                open FILE in the editor window\n"
    "  --check FILE...     check the links of each file; exit 0 when all are clean,\n"
    "                      1 when any has a link fault, 2 when a file cannot be read\n"
    "  --render FILE       write the pages of FILE as 800 x 800 PNG images\n"
    "    --out DIR         into DIR (created when missing)\n"
    "    --source          show the raw source instead of the rendered markup\n"
    "    --scale N         draw at a device pixel ratio N (1 to 4), as a window shows\n"
    "                      the page on a high-density screen\n"
    "  --help              show this text\n"
    "  --version           show the version\n");

enum Status { Clean = 0, Faults = 1, Failed = 2 };

// Reads a help file into grid by the editor's own rules; throws base::HelpError.
void loadFile(const QString &path, doc::TextGrid &grid)
{
    grid.loadLines(fileio::readHelpDocument(path, doc::kLines));
}

// Checks one file; prints its faults and summary, returns its status.
int checkFile(const QString &path, QTextStream &out, QTextStream &err)
{
    doc::TextGrid grid;
    try {
        loadFile(path, grid);
    } catch (const base::HelpError &e) {
        err << path << ": cannot read file: " << e.what() << Qt::endl;
        return Failed;
    }
    const links::LinkReport report =
        links::diagnoseLinks(1, doc::kLines, [&grid](int line) { return grid.getLine(line); });
    for (const links::Diagnostic &d : report.faults)
        out << path << ':' << d.line << ": " << d.message << '\n';
    out << path << ": " << report.summary << Qt::endl;
    return report.faults.isEmpty() ? Clean : Faults;
}

int runCheck(const QStringList &files, QTextStream &out, QTextStream &err)
{
    if (files.isEmpty()) {
        err << kUsage;
        return Failed;
    }
    int status = Clean;
    for (const QString &f : files)
        status = std::max(status, checkFile(f, out, err));
    return status;
}

// The arguments of --render: FILE, --out DIR, --source and --scale N, in any order.
struct RenderArgs {
    QString file;
    QString out;
    render::DisplayMode mode = render::DisplayMode::Rendered;
    double scale = 1.0;
    bool valid = false;
};

RenderArgs renderArgs(const QStringList &rest)
{
    RenderArgs r;
    for (int i = 0; i < rest.size(); ++i) {
        if (rest[i] == QLatin1String("--out") && i + 1 < rest.size())
            r.out = rest[++i];
        else if (rest[i] == QLatin1String("--source"))
            r.mode = render::DisplayMode::Source;
        else if (rest[i] == QLatin1String("--scale") && i + 1 < rest.size())
            r.scale = rest[++i].toDouble();
        else if (r.file.isEmpty() && !rest[i].startsWith(QLatin1String("--")))
            r.file = rest[i];
        else
            return r;
    }
    // The image grows with the square of the scale: a few times the page is enough.
    r.valid = !r.file.isEmpty() && !r.out.isEmpty() && r.scale >= 1.0 && r.scale <= 4.0;
    return r;
}

int runRender(const QStringList &rest, QTextStream &out, QTextStream &err)
{
    const RenderArgs a = renderArgs(rest);
    if (!a.valid) {
        err << kUsage;
        return Failed;
    }
    doc::TextGrid grid;
    try {
        loadFile(a.file, grid);
    } catch (const base::HelpError &e) {
        err << a.file << ": cannot read file: " << e.what() << Qt::endl;
        return Failed;
    }
    const QDir dir(a.out);
    if (!dir.mkpath(QStringLiteral("."))) {
        err << a.out << ": cannot create folder" << Qt::endl;
        return Failed;
    }
    const QList<int> tops = pageTops(grid);
    for (int page = 1; page <= tops.size(); ++page) {
        // The name comes from the page number alone: nothing is written outside the folder.
        const QString path = dir.filePath(QStringLiteral("page-%1.png").arg(page, 3, 10, QLatin1Char('0')));
        if (!renderPage(grid, tops[page - 1], a.mode, a.scale).save(path, "PNG")) {
            err << path << ": cannot write file" << Qt::endl;
            return Failed;
        }
        out << path << '\n';
    }
    out.flush();
    return Clean;
}

} // namespace

CliMode cliMode(const QStringList &args)
{
    if (args.size() < 2 || !args[1].startsWith(QLatin1String("--")))
        return CliMode::Window;
    const QString opt = args[1];
    if (opt == QLatin1String("--check"))
        return CliMode::Check;
    if (opt == QLatin1String("--render"))
        return CliMode::Render;
    if (opt == QLatin1String("--help") || opt == QLatin1String("-h"))
        return CliMode::Help;
    if (opt == QLatin1String("--version"))
        return CliMode::Version;
    return CliMode::Usage;
}

int runCli(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const QStringList rest = args.mid(2);
    switch (cliMode(args)) {
    case CliMode::Check: return runCheck(rest, out, err);
    case CliMode::Render: return runRender(rest, out, err);
    case CliMode::Help: out << kUsage; out.flush(); return Clean;
    case CliMode::Version:
        out << "helpedit 6 (build " << HELPEDIT_BUILD_VERSION << ")" << Qt::endl;
        return Clean;
    case CliMode::Usage: err << kUsage; err.flush(); return Failed;
    case CliMode::Window: break;
    }
    return Clean;
}

QList<int> pageTops(const doc::TextGrid &grid)
{
    int last = 0;
    for (int line = doc::kLines; line >= 1 && last == 0; --line) {
        if (grid.lineLength(line) > 0)
            last = line;
    }
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

QImage renderPage(const doc::TextGrid &grid, int topLine, render::DisplayMode mode, double scale)
{
    render::PageRenderer page([&grid](int line) { return grid.getLine(line); },
                              render::RowClearing::WholePage);
    page.createSurface(scale);
    page.renderPage(topLine, mode);
    return page.image();
}

} // namespace app
