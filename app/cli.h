#pragma once
// The command line: GNU-style options parsed by QCommandLineParser, and the
// modes that check and render help files without a window, for authors who
// build their help files in scripts and CI.

#include "document/textgrid.h"
#include "render/stylemachine.h"

#include <QImage>
#include <QList>
#include <QStringList>
#include <QTextStream>

namespace app {

// What the program's arguments ask for.
enum class CliMode { Window, Recover, Check, Render, Export, ListRecovered, Help, Version, Usage };

// Whether --check fails on warnings.
enum class WarningPolicy { Report, Fail };

// How --check prints its findings: compiler-style lines, or one JSON document.
enum class CheckFormat { Gnu, Json };

// The arguments, parsed: the mode, its files and the options that refine it.
struct CommandLine {
    CliMode mode = CliMode::Window;
    QStringList files;
    QString out;
    markup::DisplayMode display = markup::DisplayMode::Rendered;
    WarningPolicy warnings = WarningPolicy::Report;
    CheckFormat format = CheckFormat::Gnu;
    double scale = 1.0; // device pixel ratio of --render
    double zoom = 1.0;  // the window's scale asked for by --zoom
    QString error; // for CliMode::Usage: what was wrong, in one line
};

// Returns the parsed arguments (the program name first); a fault in them gives CliMode::Usage.
CommandLine parseCommandLine(const QStringList &args);

// Runs a mode other than the window, printing to out and err; returns the process exit status.
int runCli(const CommandLine &command, QTextStream &out, QTextStream &err);

// Parses the arguments and runs their mode; returns the process exit status.
int runCli(const QStringList &args, QTextStream &out, QTextStream &err);

// Returns the top lines of the pages that show the document up to its last non-empty line.
QList<int> pageTops(const doc::TextGrid &grid);

// Returns the page with the given top line exactly as the editor renders it at a
// device pixel ratio (scale), without the caret.
QImage renderPage(const doc::TextGrid &grid, int topLine, markup::DisplayMode mode, double scale = 1.0);

} // namespace app
