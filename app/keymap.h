#pragma once
// Turns Qt key events into what the editor's key handlers take: a virtual key
// code with the held modifiers, and the characters a key press types.

#include "document/editor.h"

#include <QKeyEvent>
#include <vector>

namespace app {

// Returns the virtual key code of a Qt key the editor acts on (letters keep their
// upper-case code), 0 for any other key.
int virtualKey(int qtKey);
// Returns the held Shift, Ctrl and Alt of an event.
doc::Modifiers modifiersOf(Qt::KeyboardModifiers mods);
// Returns the Windows-1252 characters the event types: none with Alt held or for
// Delete, control codes for Ctrl with a letter, nothing for characters outside the code page.
std::vector<uint8_t> keyPressChars(const QKeyEvent &e);
// The buttons that have a key of their own.
enum class ButtonKey { None, Open, Save, Help };
// Returns the button whose key (Ctrl+O, Ctrl+S, F1, with no other modifier)
// the event's key and modifiers are; None for every other key.
ButtonKey buttonKey(int qtKey, Qt::KeyboardModifiers mods);
// Returns the Windows-1252 characters of text, such as an input method's commit
// string, leaving out characters outside the code page.
std::vector<uint8_t> textChars(const QString &text);

} // namespace app
