#pragma once
// The program's window mode, shared with the start-up benchmark so that both
// start the editor the same way.

#include <functional>

namespace app {

class Tform1;

// Runs the editor window until it closes; prepare (may be empty) sees the window
// before it is shown. Returns the event loop's exit code.
int runEditor(int &argc, char **argv, const std::function<void(Tform1 &)> &prepare = {});

} // namespace app
