// Conversion between ISO-2022-JP (7-bit JIS with escape sequences) and Shift_JIS.
//
// Every incoming line is turned into Shift_JIS by JisToSjis before it is shown, indexed or
// matched; every outgoing line goes through SjisToJis before it is framed into the outbound
// packet. The functions are pure: they keep no state between calls (a line always starts in
// ASCII), allocate only their result and never fail. See jis.cpp for the byte tables and for
// what happens to bad input.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// Byte classes of Shift_JIS text.
constexpr bool IsSjisLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsSjisTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC;
}
constexpr bool IsHalfKana(unsigned char b) {
    return b >= 0xA1 && b <= 0xDF;
}

// A JIS X 0208 code (row byte, cell byte) to its two Shift_JIS bytes, computed arithmetically.
// Bytes outside 0x21-0x7F give the visible form "[AABB]" (upper-case hex of both bytes).
// Only the first two bytes of `pair` are used; a shorter string counts missing bytes as 0.
std::string JisCharToSjis(std::string_view pair);
std::string JisCharToSjis(unsigned char a, unsigned char b);

// Two Shift_JIS bytes to their two JIS bytes (arithmetic modulo 256, no range check).
std::string SjisCharToJis(unsigned char lead, unsigned char trail);

// Half-width katakana byte 0xA1-0xDF to the full-width Shift_JIS character. Voiced-sound marks
// stay separate characters. Any other byte gives the empty string.
std::string HalfKanaToFull(unsigned char b);

// ISO-2022-JP text (normally one line) to Shift_JIS.
std::string JisToSjis(std::string_view text);
// A 7-bit katakana run (bytes 0x21-0x5F) to full-width Shift_JIS; other bytes are dropped.
std::string Jis7KanaToSjis(std::string_view text);
// Shift_JIS text (one line) to ISO-2022-JP. Each ESC $B run is closed by ESC (J on the line.
std::string SjisToJis(std::string_view text);

}  // namespace pelorin
