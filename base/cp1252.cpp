#include "base/cp1252.h"

namespace base {

namespace {
// Code points of bytes 0x80..0x9F; 0 marks the five undefined codes.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
} // namespace

QChar cp1252ToUnicode(uint8_t b)
{
    if (b >= 0x80 && b <= 0x9F) {
        const char16_t u = kHigh[b - 0x80];
        return QChar(u != 0 ? u : char16_t(b));
    }
    return QChar(char16_t(b));
}

std::optional<uint8_t> unicodeToCp1252(char32_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<uint8_t>(u);
    for (int i = 0; i < 32; ++i) {
        const char16_t h = kHigh[i];
        if ((h != 0 && h == u) || (h == 0 && u == char32_t(0x80 + i)))
            return static_cast<uint8_t>(0x80 + i);
    }
    return std::nullopt;
}

QString decodeCp1252(const QByteArray &bytes)
{
    QString s;
    s.reserve(bytes.size());
    for (char c : bytes)
        s.append(cp1252ToUnicode(static_cast<uint8_t>(c)));
    return s;
}

QString printableCp1252(const QByteArray &bytes)
{
    QString s;
    s.reserve(bytes.size());
    for (char c : bytes) {
        const QChar u = cp1252ToUnicode(static_cast<uint8_t>(c));
        if (u.category() == QChar::Other_Control)
            s += QStringLiteral("\\x%1").arg(static_cast<uint8_t>(c), 2, 16, QLatin1Char('0'));
        else
            s += u;
    }
    return s;
}

} // namespace base
