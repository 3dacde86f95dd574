// Characters as the regular-expression engine sees them.
//
// Text and patterns are Shift_JIS byte strings read one character at a time as an unsigned
// 16-bit code:
//
//   bytes                          | code
//   -------------------------------+-------------------------------------------
//   lead 0x81-0x9F/0xE0-0xFC + any | lead * 256 + next byte (one character)
//   any other byte                 | the byte value (ASCII, half-width kana 0xA1-0xDF)
//   a lead byte as the last byte   | the byte value (text only; in a pattern it is an error)
//
// Three codes that no text can produce are the automaton's pseudo characters: 0xFFFD stands
// for "^" (line start), 0xFFFE for "$" (line end) and 0xFFFF labels an empty transition. No
// text character reaches them, since the highest lead byte is 0xFC.
//
// "." is every character except NUL, LF and CR: 0x01-0x09, 0x0B-0x0C and 0x0E-0xFCFC.
#pragma once

#include "coding/jis.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace pelorin::re {

constexpr unsigned kLineStartCode = 0xFFFD;
constexpr unsigned kLineEndCode = 0xFFFE;
constexpr unsigned kEpsilonCode = 0xFFFF;
constexpr unsigned kMaxCode = 0xFFFF;

struct CodeRange {
    unsigned low;
    unsigned high;
    friend bool operator==(const CodeRange&, const CodeRange&) = default;
};

constexpr std::array<CodeRange, 3> kAnyCharRanges = {{{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0xFCFC}}};

// One character of a text: its code and its length in bytes (1 or 2).
struct TextChar {
    unsigned code;
    unsigned length;
};

// Reads the character at `p` (p < end). A lead byte with no byte after it is one character.
inline TextChar ReadTextChar(const unsigned char* p, const unsigned char* end) {
    unsigned b = *p;
    if (IsSjisLeadByte(static_cast<unsigned char>(b)) && p + 1 < end)
        return {(b << 8) | p[1], 2};
    return {b, 1};
}

}  // namespace pelorin::re
