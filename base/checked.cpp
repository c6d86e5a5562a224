#include "base/checked.h"

namespace base {

long long checkRange(long long v, long long lo, long long hi)
{
    if (v < lo || v > hi)
        throw RangeError();
    return v;
}

int16_t toInt16(long long v)
{
    return static_cast<int16_t>(checkRange(v, INT16_MIN, INT16_MAX));
}

uint16_t toUInt16(long long v)
{
    return static_cast<uint16_t>(checkRange(v, 0, UINT16_MAX));
}

uint8_t toUInt8(long long v)
{
    return static_cast<uint8_t>(checkRange(v, 0, UINT8_MAX));
}

} // namespace base
