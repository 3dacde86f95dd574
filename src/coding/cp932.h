// The CP932 codec: Shift_JIS as Windows writes it (code page 932, JIS X 0208 with the NEC row 13
// and the NEC-selected and IBM extension kanji) to Unicode and back.
//
// This is the one place where program text meets Unicode. The Qt layer converts every line it
// draws and every text the user types through it, the command-line companion prints through it,
// and the core uses it the other way round to turn Japanese literals written as UTF-8 in the
// source into Shift_JIS once (fuzzy-character dictionary, error messages).
//
// The tables are built once, on first use, from the C library's CP932 converter: nothing here is
// typed in by hand.
//
// Bad input:
//  - a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a trail byte (0x40-0x7E, 0x80-0xFC) that
//    names no character gives one U+FFFD for the pair;
//  - any other byte with no character (0x80, 0xA0, 0xFD-0xFF, a lead byte without a trail
//    byte, a lead byte at the end) gives one U+FFFD for that byte alone;
//  - in the other direction, a character CP932 cannot hold, or broken UTF-8, gives "?".
// Nothing ever fails; the optional counter reports how many replacements were made.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin::cp932 {

// Shift_JIS bytes to UTF-8 / UTF-16. `bad` (optional) receives the number of U+FFFD emitted.
std::string ToUtf8(std::string_view sjis, std::size_t* bad = nullptr);
std::u16string ToUtf16(std::string_view sjis, std::size_t* bad = nullptr);

// UTF-8 / UTF-16 to Shift_JIS bytes. `bad` (optional) receives the number of "?" substituted.
std::string FromUtf8(std::string_view utf8, std::size_t* bad = nullptr);
std::string FromUtf16(std::u16string_view utf16, std::size_t* bad = nullptr);

// One Shift_JIS code (single byte, or lead * 256 + trail) to its code point; U+FFFD if unmapped.
char32_t DecodeCode(unsigned code);
// One code point to its Shift_JIS code (as above); 0 if CP932 cannot hold it (U+0000 is 0 too).
unsigned EncodeCodePoint(char32_t cp);

}  // namespace pelorin::cp932

namespace pelorin {

// Shorthand for Japanese literals in the source: Sjis("テスト") gives the Shift_JIS bytes.
inline std::string Sjis(std::string_view utf8) {
    return cp932::FromUtf8(utf8);
}

}  // namespace pelorin
