// Charsets other than ISO-2022-JP: reading text written in any charset the C library's iconv
// knows, and telling an undeclared 8-bit text's charset.
//
// The core keeps its text in Shift_JIS. Text that arrives in another charset is read into
// UTF-8 first (ToUtf8), which the text view can show as it is, and then into Shift_JIS for
// everything else (Utf8ToSjisText), where each character CP932 cannot hold becomes "〓".
//
// Charset names are matched the way iconv matches them (any case, its aliases); a language
// suffix ("UTF-8*ja", RFC 2231) is dropped first. ISO-2022-JP and the Shift_JIS family are
// not read through here: the core reads them itself (JisToSjis, or Shift_JIS bytes as they
// are), so they are never changed by a round trip through Unicode.
//
// Bad input: a byte sequence the charset does not allow gives one U+FFFD and reading goes on
// after it (in UTF-8 after the lead byte and the continuation bytes that were still valid, in
// other charsets after the first byte iconv refused); a sequence cut off at the end gives one
// U+FFFD. Nothing here fails: an
// unknown charset is reported by the return value and the caller decides.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin {

// How the core reads text declared in a charset.
enum class CharsetKind {
    None,      // no charset given
    Ascii,     // US-ASCII (7-bit; 8-bit bytes in such text are undeclared)
    Jis,       // ISO-2022-JP and its variants: JisToSjis
    ShiftJis,  // Shift_JIS, CP932, Windows-31J: the bytes as they are
    Utf8,      // UTF-8
    Other,     // any other charset iconv knows
    Unknown,   // a name iconv does not know
};
CharsetKind ClassifyCharset(std::string_view name);
// Charset names this thread keeps a converter (or the answer "unknown") for; it stops growing
// after the first few hundred, however many names messages use.
std::size_t ConverterTableSize();

// Whether `bytes` is well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view bytes);
// Bytes of the UTF-8 character at `pos`: the length of a well-formed sequence, else 1 (a
// broken byte stands alone); 0 at or past the end.
std::size_t Utf8CharLength(std::string_view bytes, std::size_t pos);
// Whether `bytes` holds a byte of 0x80 or above.
bool Has8Bit(std::string_view bytes);

// Appends `bytes` read in `charset` to `out` as UTF-8; false (and nothing appended) when iconv
// does not know the charset. `bad` (optional) is increased by the number of U+FFFD written.
bool AppendUtf8(std::string& out,
                std::string_view bytes,
                std::string_view charset,
                std::size_t* bad = nullptr);
// UTF-8 text (broken sequences allowed) to Shift_JIS; a character CP932 cannot hold, and each
// broken sequence, becomes "〓".
std::string Utf8ToSjisText(std::string_view utf8);
void AppendSjisText(std::string& out, std::string_view utf8);
// Repairs UTF-8: each broken sequence becomes U+FFFD.
std::string ValidUtf8(std::string_view bytes);

// The charset of undeclared Japanese 8-bit text: "UTF-8" when it is well-formed UTF-8, else
// "EUC-JP" or "SHIFT_JIS" as the detector tells, else "" (no opinion).
std::string DetectJapaneseCharset(std::string_view bytes);

}  // namespace pelorin
