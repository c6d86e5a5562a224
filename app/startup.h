#pragma once
// The program's window mode, shared with the start-up benchmark so that both
// start the editor the same way.

#include <QString>
#include <functional>

namespace app {

class MainWindow;

// How the window takes the file it starts with.
enum class StartFile { Document, RecoveryCopy };

// Runs the editor window until it closes, opening file first unless it is empty
// (a recovery copy opens as an unnamed, unsaved document); prepare (may be empty)
// sees the window before it is shown; the window is shown at zoom times its
// size, or smaller to fit its screen. Returns the event loop's exit code, or 1
// after one line on standard error when no display can be opened.
int runEditor(int &argc, char **argv, const QString &file = {},
              const std::function<void(MainWindow &)> &prepare = {}, StartFile kind = StartFile::Document,
              double zoom = 1.0);

} // namespace app
