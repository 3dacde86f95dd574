#include "view/textview_layout.h"

#include "coding/charset.h"
#include "coding/jis.h"

#include <algorithm>
#include <array>

namespace pelorin::textview {
namespace {

unsigned char Byte(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// The line without leading and trailing bytes up to 0x20 (blanks and control characters). Trail
// bytes are 0x40 or above, so no character is cut.
std::string_view TrimControls(std::string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && Byte(s, begin) <= 0x20) ++begin;
    while (end > begin && Byte(s, end - 1) <= 0x20) --end;
    return s.substr(begin, end - begin);
}

int ClampTabCount(int tab_count) {
    return std::clamp(tab_count, kMinTabCount, kMaxTabCount);
}

// Byte sets of the clickable scanner, as 256-entry tables built once.
using ByteSet = std::array<bool, 256>;

ByteSet MakeSet(std::string_view extra) {
    ByteSet set{};
    for (int c = '0'; c <= '9'; ++c) set[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) set[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) set[c] = true;
    for (char c : extra) set[static_cast<unsigned char>(c)] = true;
    return set;
}

// The characters RFC 3986 lets a URI hold: unreserved, reserved and "%" of the escapes.
const ByteSet& UrlSet() {
    static const ByteSet set = MakeSet("-._~:/?#[]@!$&'()*+,;=%");
    return set;
}

// The domain side of an address or Message-ID.
const ByteSet& AddressSet() {
    static const ByteSet set = MakeSet("$-._");
    return set;
}

// The local part of an address or Message-ID: RFC 5322's atext and ".".
const ByteSet& LocalPartSet() {
    static const ByteSet set = MakeSet("!#$%&'*+-./=?^_`{|}~");
    return set;
}

// Where a URL that runs to `end` ends once the punctuation that closes a sentence around it is
// left out: trailing ".,;:!?'*" and a ")" or "]" that closes no "(" or "[" of the URL.
std::size_t UrlEnd(std::string_view line, std::size_t start, std::size_t end) {
    while (end > start) {
        const char last = line[end - 1];
        if (std::string_view(".,;:!?'*").find(last) != std::string_view::npos) {
            --end;
            continue;
        }
        if (last == ')' || last == ']') {
            const char open = last == ')' ? '(' : '[';
            const std::string_view url = line.substr(start, end - start);
            if (std::count(url.begin(), url.end(), open) <
                std::count(url.begin(), url.end(), last)) {
                --end;
                continue;
            }
        }
        break;
    }
    return end;
}

// The first occurrence of `needle` (ASCII) in `line` that starts a character; npos if none.
std::size_t FindAtBoundary(std::string_view line, std::string_view needle, LineCoding coding) {
    for (std::size_t i = 0; i < line.size(); i += CharLength(line, i, coding)) {
        if (line.substr(i, needle.size()) == needle)
            return i;
    }
    return std::string_view::npos;
}

bool ScanUrl(std::string_view line,
             int line_index,
             LineCoding coding,
             std::vector<Clickable>& out) {
    static constexpr std::string_view kSchemes[] = {"http://", "https://"};
    std::size_t start = std::string_view::npos;
    std::size_t scheme_size = 0;
    for (std::string_view scheme : kSchemes) {
        const std::size_t p = FindAtBoundary(line, scheme, coding);
        if (p < start) {
            start = p;
            scheme_size = scheme.size();
        }
    }
    if (start == std::string_view::npos)
        return false;
    std::size_t end = start + scheme_size;
    while (end < line.size() && UrlSet()[Byte(line, end)]) ++end;
    end = std::max(UrlEnd(line, start, end), start + scheme_size);
    out.push_back(Clickable{line_index, start, std::string(line.substr(start, end - start))});
    return true;
}

bool ScanBracketed(std::string_view line,
                   int line_index,
                   LineCoding coding,
                   std::vector<Clickable>& out) {
    const std::size_t at = FindAtBoundary(line, "@", coding);
    if (at == std::string_view::npos || at == 0)
        return false;
    const ByteSet& set = AddressSet();
    std::size_t close = at + 1;
    while (close < line.size() && set[Byte(line, close)]) ++close;
    if (close >= line.size() || line[close] != '>')
        return false;
    // The bytes before "@" are all ASCII when the scan reaches "<", so they are whole
    // characters: a trail byte in the set cannot be reached without passing its lead byte,
    // which is not in the set. (A UTF-8 line has no bytes of a wider character below 0x80.)
    std::size_t open = at;
    while (open > 0 && LocalPartSet()[Byte(line, open - 1)]) --open;
    if (open == 0 || line[open - 1] != '<')
        return false;
    --open;
    out.push_back(Clickable{line_index, open, std::string(line.substr(open, close + 1 - open))});
    return true;
}

}  // namespace

std::size_t CharLength(std::string_view line, std::size_t pos, LineCoding coding) {
    if (pos >= line.size())
        return 0;
    if (coding == LineCoding::Utf8)
        return Utf8CharLength(line, pos);
    if (IsSjisLeadByte(Byte(line, pos)) && pos + 1 < line.size() &&
        IsSjisTrailByte(Byte(line, pos + 1)))
        return 2;
    return 1;
}

std::size_t CharBoundaryAtOrBefore(std::string_view line, std::size_t pos, LineCoding coding) {
    if (pos >= line.size())
        return line.size();
    std::size_t i = 0;
    while (true) {
        const std::size_t next = i + CharLength(line, i, coding);
        if (next > pos)
            return i;
        i = next;
    }
}

bool IsQuoteLine(std::string_view line, std::string_view quoting_chars, LineCoding coding) {
    const std::string_view text = TrimControls(line);
    if (text.empty())
        return false;
    const std::string_view first = text.substr(0, CharLength(text, 0, coding));
    for (std::size_t i = 0; i < quoting_chars.size(); i += CharLength(quoting_chars, i, coding)) {
        if (quoting_chars.substr(i, CharLength(quoting_chars, i, coding)) == first)
            return true;
    }
    return false;
}

bool IsPageBreakLine(std::string_view line, char page_break_char) {
    return !line.empty() && line[0] == page_break_char;
}

ExpandedLine ExpandTabsMapped(std::string_view line, int tab_count) {
    const std::size_t stop = static_cast<std::size_t>(ClampTabCount(tab_count));
    ExpandedLine out;
    out.text.reserve(line.size());
    out.offset.reserve(line.size() + 1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        out.offset.push_back(out.text.size());
        if (line[i] == '\t') {
            out.text.push_back(' ');
            while (out.text.size() % stop != 0) out.text.push_back(' ');
        } else {
            out.text.push_back(line[i]);
        }
    }
    out.offset.push_back(out.text.size());
    return out;
}

std::string ExpandTabs(std::string_view line, int tab_count) {
    if (line.find('\t') == std::string_view::npos)
        return std::string(line);
    return ExpandTabsMapped(line, tab_count).text;
}

std::vector<Clickable> ScanClickables(std::string_view line, int line_index, LineCoding coding) {
    std::vector<Clickable> items;
    ScanUrl(line, line_index, coding, items);
    ScanBracketed(line, line_index, coding, items);
    return items;
}

std::string SelectedText(const std::vector<std::string>& lines,
                         TextPos start,
                         TextPos end,
                         LineCoding coding) {
    const int count = static_cast<int>(lines.size());
    if (start.line < 0 || start.line >= count || end.line < start.line)
        return {};
    if (end.line >= count)
        end = TextPos{count - 1, lines[static_cast<std::size_t>(count - 1)].size()};
    const auto at = [&](int index) -> const std::string& {
        return lines[static_cast<std::size_t>(index)];
    };
    const std::size_t from = CharBoundaryAtOrBefore(at(start.line), start.bytes, coding);
    // The end position counts through the character under the pointer: a count inside a
    // character is moved back to that character's start, never into it.
    const std::size_t to = CharBoundaryAtOrBefore(at(end.line), end.bytes, coding);
    if (start.line == end.line) {
        if (to <= from)
            return {};
        return at(start.line).substr(from, to - from);
    }
    std::string text = at(start.line).substr(from);
    for (int i = start.line + 1; i < end.line; ++i) {
        text += "\r\n";
        text += at(i);
    }
    text += "\r\n";
    text += at(end.line).substr(0, to);
    return text;
}

}  // namespace pelorin::textview
