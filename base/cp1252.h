#pragma once
// Windows-1252: the single-byte code page of documents, help files and the
// built-in help text.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace base {

// Returns the Unicode character that byte b stands for. The five codes that
// Windows-1252 leaves undefined map to the control code point of the same value.
QChar cp1252ToUnicode(uint8_t b);

// Returns the byte for Unicode code point u, or nothing when the code page has none.
std::optional<uint8_t> unicodeToCp1252(char32_t u);

// Returns the bytes decoded as a string, one character per byte.
QString decodeCp1252(const QByteArray &bytes);

// Returns the bytes decoded for a one-line message: control codes (and the five
// undefined bytes) written as \xNN, so that the text shows and stays on one line.
QString printableCp1252(const QByteArray &bytes);

} // namespace base
