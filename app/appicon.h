#pragma once
// The window's own icon, drawn from the same drawing as the installed icons.

#include <QIcon>

namespace app {

// Returns the program's icon at the sizes a window manager asks for.
QIcon appIcon();

} // namespace app
