#pragma once
// The markup of one line read byte by byte: which bytes are characters, which
// are escape codes and which belong to a link name. Drawing, measuring and the
// link scanner all read a line through this one reader.

#include <cstdint>

namespace markup {

// Whether markup is applied or every byte is shown as it is.
enum class DisplayMode { Rendered, Source };

// The reader's state.
enum class ReaderState : uint8_t { Plain = 0, Escape = 1, Name = 2, Raw = 3 };

// How a link name ends. The page ends it at a blank as at ";", and a backslash
// ends it and starts an escape; the link scanner keeps blanks in the name, and
// a backslash drops the name without starting an escape.
enum class NameRule { Page, LinkScan };

// What one byte of the line is.
enum class TokenKind : uint8_t {
    Text,     // a character to show
    Code,     // an escape code (the byte upper-cased); \@ and \# also start a name
    NameByte, // part of a link name
    NameEnd,  // the ";" (or, on the page, the blank) that ends a link name
    Silent,   // a backslash: no room, nothing shown
};

struct Token {
    TokenKind kind;
    uint8_t byte;
};

class MarkupReader {
public:
    // Starts a line: Raw in source mode, else Plain.
    MarkupReader(DisplayMode mode, NameRule rule)
        : state_(mode == DisplayMode::Source ? ReaderState::Raw : ReaderState::Plain), rule_(rule)
    {
    }

    // Returns what byte is and moves to the state after it.
    Token next(uint8_t byte)
    {
        switch (state_) {
        case ReaderState::Plain:
            if (byte != '\\')
                return {TokenKind::Text, byte};
            state_ = ReaderState::Escape;
            return {TokenKind::Silent, byte};
        case ReaderState::Escape: {
            const uint8_t code = (byte >= 'a' && byte <= 'z') ? uint8_t(byte - 32) : byte;
            state_ = (code == '@' || code == '#') ? ReaderState::Name : ReaderState::Plain;
            return {TokenKind::Code, code};
        }
        case ReaderState::Name:
            return nameByte(byte);
        case ReaderState::Raw:
            return {TokenKind::Text, byte};
        }
        return {TokenKind::Silent, byte};
    }

    // Returns the state the next byte is read in.
    ReaderState state() const { return state_; }

private:
    Token nameByte(uint8_t byte)
    {
        if (byte == ';' || (byte == ' ' && rule_ == NameRule::Page)) {
            state_ = ReaderState::Plain;
            return {TokenKind::NameEnd, byte};
        }
        if (byte == '\\') {
            state_ = rule_ == NameRule::Page ? ReaderState::Escape : ReaderState::Plain;
            return {TokenKind::Silent, byte};
        }
        return {TokenKind::NameByte, byte};
    }

    ReaderState state_;
    NameRule rule_;
};

} // namespace markup
