#pragma once
// The built-in help text: fixed lines in the editor's own markup, Windows-1252.

#include <QByteArray>
#include <QList>

namespace helpview {

// Returns the lines of the built-in help, indexed from 0.
const QList<QByteArray> &helpText();

} // namespace helpview
