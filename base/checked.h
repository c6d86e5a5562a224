#pragma once
// Checked arithmetic: every value that the editor stores in a narrow field goes
// through these helpers, so a value out of range raises an error that the event
// entry point reports instead of silently wrapping.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace base {

// An error the user must see; what() is the short text for the error box.
class HelpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value left its range ("Range check error").
class RangeError : public HelpError {
public:
    RangeError() : HelpError("Range check error") {}
};

// A file operation failed; what() is the short cause, e.g. "File not found".
class FileError : public HelpError {
public:
    using HelpError::HelpError;
};

// Returns v when lo <= v <= hi, else throws RangeError.
long long checkRange(long long v, long long lo, long long hi);

// Returns v as a signed 16-bit value, or throws RangeError.
int16_t toInt16(long long v);
// Returns v as an unsigned 16-bit value, or throws RangeError.
uint16_t toUInt16(long long v);
// Returns v as an unsigned byte, or throws RangeError.
uint8_t toUInt8(long long v);

} // namespace base
