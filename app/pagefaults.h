#pragma once
// What the page shows wrongly on one line, found by walking the line as the
// page draws it (the style machine's trace) and by what the link scan made of
// its names: text cut at the right edge, link glyphs that make no link,
// backslashes that swallow a character, boxes without a right edge.

#include "base/diagnostic.h"
#include "links/linktable.h"
#include "render/stylemachine.h"

#include <QByteArray>
#include <QHash>
#include <QList>

namespace app {

// The names the link scan met on one line, by the column of their backslash.
using LineNames = QHash<int, const links::ScanEvent *>;

// Returns the warnings for document line `line` holding text, as drawn in the rendered view.
QList<base::Diagnostic> pageFaults(int line, const QByteArray &text, render::StyleMachine &machine,
                                   const LineNames &names);

} // namespace app
