// MIME encoded words (RFC 2047) in header values, for the two charsets this program reads:
// "=?ISO-2022-JP?" and "=?SHIFT_JIS?" (matched without regard to case). Words in any other
// charset are left in the text as they stand.
//
// A header value is read in three steps, by the caller: DecodeHeaderWords gives the raw bytes
// of the words, unfolding joins continuation lines, JisToSjis makes display text. An outgoing
// header line goes through SjisToJis and then EncodeHeaderWords.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// Replaces the encoded words of a header value by their bytes (JIS text with its escapes, or
// Shift_JIS bytes). The value may still hold its folds as LF + space or LF + TAB.
std::string DecodeHeaderWords(std::string_view value);
// The same into `out` (replacing what it held), so a caller decoding many values can keep one
// buffer.
void DecodeHeaderWordsTo(std::string& out, std::string_view value);
// The same for "=?SHIFT_JIS?" words only (DecodeHeaderWords hands such values here).
std::string DecodeSjisHeaderWords(std::string_view value);

// Encodes the JIS runs (ESC $B ... ESC (J) of one header line produced by SjisToJis as
// "=?ISO-2022-JP?B?" words of at most 43 bytes each, every further word on a line of its own
// (folded with LF + space), so no folded line grows past 79 characters. The field name and the ASCII parts stay plain.
std::string EncodeHeaderWords(std::string_view line);
// Appends one JIS run to `outputSoFar` as one or more encoded words and returns the result.
std::string EncodeJisWord(std::string outputSoFar, std::string_view run);

}  // namespace pelorin
