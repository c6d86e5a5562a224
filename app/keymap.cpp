#include "app/keymap.h"

#include "base/cp1252.h"

namespace app {

int virtualKey(int qtKey)
{
    // Only the keys the editor's key-down handler acts on; Backspace, Enter and
    // the characters arrive as key presses.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;
    switch (qtKey) {
    case Qt::Key_Alt: return doc::vk::Alt;
    case Qt::Key_End: return doc::vk::End;
    case Qt::Key_Home: return doc::vk::Home;
    case Qt::Key_Left: return doc::vk::Left;
    case Qt::Key_Up: return doc::vk::Up;
    case Qt::Key_Right: return doc::vk::Right;
    case Qt::Key_Down: return doc::vk::Down;
    case Qt::Key_Delete: return doc::vk::Delete;
    default: return 0;
    }
}

doc::Modifiers modifiersOf(Qt::KeyboardModifiers mods)
{
    doc::Modifiers m = 0;
    if (mods & Qt::ShiftModifier)
        m |= unsigned(doc::Modifier::Shift);
    if (mods & Qt::ControlModifier)
        m |= unsigned(doc::Modifier::Ctrl);
    if (mods & Qt::AltModifier)
        m |= unsigned(doc::Modifier::Alt);
    return m;
}

std::vector<uint8_t> keyPressChars(const QKeyEvent &e)
{
    // Alt with a letter is the accent cycle's business: X11 still sends the
    // letter as text, which must not be typed. Delete's text is DEL (127),
    // which is no character to type either.
    if ((e.modifiers() & Qt::AltModifier) || e.key() == Qt::Key_Delete)
        return {};
    const bool ctrl = e.modifiers() & Qt::ControlModifier;
    if (ctrl && e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z)
        return {uint8_t(e.key() - Qt::Key_A + 1)};
    return textChars(e.text());
}

ButtonKey buttonKey(int qtKey, Qt::KeyboardModifiers mods)
{
    // A key on the keypad carries the keypad flag; it is the same key.
    mods &= ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier && qtKey == Qt::Key_O)
        return ButtonKey::Open;
    if (mods == Qt::ControlModifier && qtKey == Qt::Key_S)
        return ButtonKey::Save;
    if (mods == Qt::NoModifier && qtKey == Qt::Key_F1)
        return ButtonKey::Help;
    return ButtonKey::None;
}

std::vector<uint8_t> textChars(const QString &text)
{
    std::vector<uint8_t> out;
    for (char32_t u : text.toUcs4()) {
        if (auto b = base::unicodeToCp1252(u))
            out.push_back(*b);
    }
    return out;
}

} // namespace app
