// Small string helpers shared by the packet store: the string list, trimming,
// Shift_JIS-aware case folding and searching, field splitting at TABs, the header-list lookup,
// the last angle-bracket token, integer parsing that never fails, and the size of a file.
//
// Strings are Shift_JIS bytes. Case folding touches only single-byte ASCII letters: the second
// byte of a double-byte character (0x40-0xFC) may look like an ASCII letter or like "[", "]",
// "{", "}", "\" or "@", so every scan here steps over a lead byte and its trail byte together.
// Character positions in comments count from 1.
#pragma once

#include "coding/header_words.h"  // Unfold, shared with the decoding of header words

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// An ordered list of lines (duplicates allowed), as the line writer and the settings helpers
// pass them around.
using TSList = std::vector<std::string>;

// Removes leading and trailing bytes up to 0x20 (blanks and control characters).
std::string_view Trim(std::string_view text);
// Removes leading and trailing blanks and TABs only.
std::string_view TrimBlanks(std::string_view text);

// ASCII letters folded to upper / lower case; double-byte characters are left whole.
std::string SjisUpper(std::string_view text);
std::string SjisLower(std::string_view text);
// Comparison without regard to ASCII case (as SjisUpper sees the texts): <0, 0, >0.
int CompareNoCase(std::string_view a, std::string_view b);
inline bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// Byte index of the first single-byte `c` at or after `from` that is not the second byte of a
// double-byte character (the scan starts at a character boundary `from`); npos when none.
size_t FindSjisChar(std::string_view text, char c, size_t from = 0);
// The first `n` bytes at most, shortened by one byte when the cut would leave a lead byte
// without its trail byte.
std::string_view CutSjis(std::string_view text, size_t n);

// Splits `text` into n + 1 fields: each is the text up to the next TAB, which is consumed; when
// no TAB remains the field is the whole rest and later fields are empty. Text after the
// (n+1)-th TAB is dropped. A negative n gives one field.
TSList SplitTab(std::string_view text, int n);

// The value of header `name` in a list of header lines, as a message file parser gathers them:
// the first line whose first (name length + 2) characters, lowercased, equal the name
// lowercased followed by ": " gives the rest of the line; following lines that begin with a
// blank or TAB continue the value (their leading blanks and TABs removed, always leaving one
// character; appended with nothing in between). An empty line ends the header. Empty when the
// field is missing.
std::string HeaderListValue(const TSList& lines, std::string_view name);

// The last "<...>" token of a text: from the last ">" back to the nearest "<" before it, both
// included. When either is missing, the whole text.
std::string LastAngleToken(std::string_view text);
std::string_view LastAngleTokenView(std::string_view text);  // the same, a part of `text`

// Integer parsing that never fails: leading "0" characters are removed (one character is
// always kept), then blanks are trimmed; an empty text counts as 0; an optional sign and
// decimal digits give their value; anything else, or a value outside 32 bits, gives 0.
int32_t ToInteger(std::string_view text);
// The same for 64-bit values (offsets and sizes of message files past 2 GiB).
int64_t ToInteger64(std::string_view text);
// Strict decimal parsing of a trimmed text (optional sign, at least one digit, 32 bits).
bool ParseInt32(std::string_view text, int32_t& value);

// Size in bytes of the file at `path` (Shift_JIS text, see DiskPath); -1 when there is no
// file of that name (a directory counts as none).
int64_t FileSize(std::string_view path);

}  // namespace pelorin
