// MIME encoded words (RFC 2047) in header values. ISO-2022-JP words give their JIS bytes,
// Shift_JIS (and US-ASCII) words their bytes as they are; words in any other charset the C
// library's iconv knows (UTF-8, EUC-JP, ISO-8859-*, Windows-125*, KOI8-R, GB2312, Big5,
// EUC-KR, ...) are read through Unicode into Shift_JIS, a character CP932 cannot hold becoming
// "〓". A word in a charset iconv does not know is left in the text as it stands.
//
// A header value is read in three steps, by the caller: DecodeHeaderWords gives the raw bytes
// of the words, unfolding joins continuation lines, JisToSjis makes display text. An outgoing
// header line goes through SjisToJis and then EncodeHeaderWords.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// Replaces the encoded words of a header value by their bytes (JIS text with its escapes, or
// Shift_JIS bytes; JisToSjis leaves the latter as they are). The value may still hold its folds as LF + space or LF + TAB.
std::string DecodeHeaderWords(std::string_view value);
// The same into `out` (replacing what it held), so a caller decoding many values can keep one
// buffer.
void DecodeHeaderWordsTo(std::string& out, std::string_view value);
// Removes every LF together with the blanks and TABs that follow it; nothing is put in its
// place (a folded header value becomes one line).
std::string Unfold(std::string_view text);
// The same, appended to `out`.
void UnfoldAppend(std::string& out, std::string_view text);
// A header value as UTF-8 text with every character: its words decoded, unfolded, the rest
// read as UTF-8 when it is well-formed UTF-8 and through JisToSjis and CP932 otherwise. For
// showing a value where Unicode can be drawn (the text pane, the command-line companion).
std::string DecodeHeaderUtf8(std::string_view value);
// The same for "=?SHIFT_JIS?" words only.
std::string DecodeSjisHeaderWords(std::string_view value);

// Encodes one header line produced by SjisToJis ("Name: value") for a message posted in
// ISO-2022-JP. The field name and the ASCII words stay plain; the Japanese text becomes
// "=?ISO-2022-JP?B?" words that each hold whole characters, start in ASCII and return to it
// (ESC ( B) before they end, so each reads by itself. Words that only blanks separate are one
// run with the blanks inside the words (readers drop white space between encoded words). In
// address fields (From, To, Cc, Reply-To, ...) only display names and comments are encoded:
// specials and addresses stay plain, and a quoted name holding Japanese text becomes encoded
// words without its quotes. Lines are folded (LF + blank) to at most 76 characters where the
// text allows; an unstructured value that needs a fold is encoded whole, so that it folds only
// between words. A line without double-byte characters is returned unchanged.
std::string EncodeHeaderWords(std::string_view line);
// Encodes one UTF-8 header line ("Name: value") for a message posted in UTF-8, by the same
// rules: the characters beyond ASCII go into "=?UTF-8?B?" words, each cut between characters.
// A line that is all ASCII is unchanged.
std::string EncodeUtf8HeaderLine(std::string_view line);
}  // namespace pelorin
