#pragma once
// The command-line modes: checking and rendering help files without a window,
// for authors who build their help files in scripts and CI.

#include "document/textgrid.h"
#include "render/stylemachine.h"

#include <QImage>
#include <QList>
#include <QStringList>
#include <QTextStream>

namespace app {

// What the program's arguments ask for.
enum class CliMode { Window, Check, Render, Help, Version, Usage };

// Returns the mode asked for by the arguments (the program name first).
CliMode cliMode(const QStringList &args);

// Runs a command-line mode; returns the process exit status.
int runCli(const QStringList &args, QTextStream &out, QTextStream &err);

// Returns the top lines of the pages that show the document up to its last non-empty line.
QList<int> pageTops(const doc::TextGrid &grid);

// Returns the page with the given top line exactly as the editor renders it at a
// device pixel ratio (scale), without the caret.
QImage renderPage(const doc::TextGrid &grid, int topLine, render::DisplayMode mode, double scale = 1.0);

} // namespace app
