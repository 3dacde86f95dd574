// The line rules of the text view, free of Qt so that they can be tested without painting:
// Shift_JIS character steps, quote lines, page-break lines, TAB expansion (with the map from
// stored bytes to drawn bytes), clickable URLs and bracketed addresses, and the text of a
// selection.
//
// A stored line is Shift_JIS bytes exactly as the message gave them. The view draws it with TABs
// expanded, but every position it hands out (clickable items, hit tests, selections) counts bytes
// of the stored line, 0-based. A character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a
// trail byte (0x40-0xFC), or any other single byte; no position ever falls inside a character.
//
// Bad input: a lead byte without a trail byte is a character of its own; nothing here fails.
// Trail bytes may look like "@", "h" or "<": every search steps over whole characters, so a
// double-byte character never yields half of a URL or an address.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::textview {

// How the bytes of the stored lines are read. A view holds Shift_JIS lines as a rule; a part
// read through Unicode (a UTF-8 or other non-Japanese charset, HTML) is given to it as UTF-8
// lines, so that every character can be drawn. A UTF-8 character is a well-formed sequence
// (any broken byte stands alone); positions then count UTF-8 bytes.
enum class LineCoding { ShiftJis, Utf8 };

// TAB stops are clamped into this range: below 1 a TAB could never reach a stop, and a huge
// width would let one line of TABs fill the memory.
constexpr int kMinTabCount = 1;
constexpr int kMaxTabCount = 64;

// Bytes of the character that starts at `pos` (2 for a lead byte with a valid trail byte after
// it, else 1); 0 at or past the end.
std::size_t CharLength(std::string_view line,
                       std::size_t pos,
                       LineCoding coding = LineCoding::ShiftJis);
// The start of the character that holds byte `pos` (pos itself when it is a boundary); a `pos`
// past the end gives the line's length.
std::size_t CharBoundaryAtOrBefore(std::string_view line,
                                   std::size_t pos,
                                   LineCoding coding = LineCoding::ShiftJis);

// A quote line: after trimming bytes up to 0x20 at both ends, its first character occurs among
// the characters of `quoting_chars` (compared character by character).
// (`quoting_chars` is in the lines' coding.)
bool IsQuoteLine(std::string_view line,
                 std::string_view quoting_chars,
                 LineCoding coding = LineCoding::ShiftJis);
// A page-break line: non-empty and its first byte is `page_break_char` (no trimming).
bool IsPageBreakLine(std::string_view line, char page_break_char);

// The drawn form of a stored line.
struct ExpandedLine {
    std::string text;                 // the line with every TAB replaced by spaces
    std::vector<std::size_t> offset;  // offset[b]: where stored byte offset b lands in `text`,
                                      // for b = 0 .. line size (one entry past the end)
};
// Every TAB becomes one space and then as many more as bring the output length (in bytes) to a
// multiple of `tab_count` (clamped to kMinTabCount..kMaxTabCount).
std::string ExpandTabs(std::string_view line, int tab_count);
ExpandedLine ExpandTabsMapped(std::string_view line, int tab_count);

// A clickable item: a URL, or an address or Message-ID in angle brackets.
struct Clickable {
    int line = 0;            // index of the line in the text
    std::size_t offset = 0;  // 0-based byte offset of the item in the stored line
    std::string text;        // the item as it stands in the line (brackets included)
    std::size_t End() const { return offset + text.size(); }
    bool operator==(const Clickable&) const = default;
};
// The clickable items of one line, at most one URL and then at most one bracketed item:
//  - URL: the first "http://" or "https://" (case-sensitive) that starts a character, extended
//    over the characters RFC 3986 allows (letters, digits, "-._~:/?#[]@!$&'()*+,;=" and "%"
//    of the escapes), then shortened by the punctuation that ends a sentence: trailing
//    ".,;:!?'*", and a ")" or "]" that closes none opened inside the URL.
//  - Bracketed item: take the first "@" that starts a character and stands after the first
//    byte; the bytes after it over "$-.0-9A-Z_a-z" must end at ">", the bytes before it over
//    RFC 5322's atext and "." (letters, digits, "!#$%&'*+-./=?^_`{|}~") must end at "<"; the
//    item runs from "<" through ">".
std::vector<Clickable> ScanClickables(std::string_view line,
                                      int line_index,
                                      LineCoding coding = LineCoding::ShiftJis);

// A position in the text: a line index and a byte count into that stored line.
struct TextPos {
    int line = 0;
    std::size_t bytes = 0;
    bool operator==(const TextPos&) const = default;
};
// The text from just after `start` up to `end`, lines joined with CR LF: on one line the bytes
// between the two positions; across lines the rest of the start line, every line in between,
// and the end line up to `end`. Empty when `end` comes before `start` or `start` is past the
// last line. An `end` below the last line stands for the end of the last line. Positions are
// clamped to their line and moved back to a character boundary, so a double-byte character is
// never split.
std::string SelectedText(const std::vector<std::string>& lines,
                         TextPos start,
                         TextPos end,
                         LineCoding coding = LineCoding::ShiftJis);

}  // namespace pelorin::textview
