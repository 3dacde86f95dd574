// TMsg::Expand: the %-template language of list rows, status texts, tab captions, attribution
// lines and print headers.
//
// Text outside directives is copied. A directive is "%", an optional decimal width N, and one
// character:
//
//   %  \  {     the character itself
//   s           Subject, put through DecodeHeaderWords and JisToSjis once more
//   F  R  c     From as stored, FromAddress, FromName
//   f           FromAddress + "(" + FromName + ")"
//   r           FromAddress up to "@" (the whole address when "@" is missing or first)
//   I           Message-ID
//   K           the mark character (width ignored)
//   N           Newsgroups value, raw
//   O           Organization value, decoded
//   [name]      value of header `name`, decoded; without "]" the "[" stays as text
//   B  L        length in bytes / number of lines, right-aligned in N characters (N defaults
//               to the number's own length; a longer number loses its leading digits)
//   V           depth x N blanks (N defaults to 2)
//   (inner%)    the inner template expanded, padded with blanks or cut to exactly N; without a
//               width or without the closing "%)" the "(" stays as text
//   Y y m b d w W H h M S p P z Z G e    date fields of SortDate (dates.h)
//   any other   the character stays in the text
//
// A directive followed by "{yes,no}" (a "," before the next "}") is conditional: a non-empty
// value becomes yes with the value in place of "%@" (or yes appended to the value when yes has
// no "%@"); an empty value becomes no. Without such a "," the "{" stays as text. Then, except
// for K, B, L and V, a width cuts the value to at most N characters.
//
// Widths count bytes, which is the column width of Shift_JIS text in a fixed-pitch font. A cut
// never splits a double-byte character: the value is cut one byte shorter (and "(" pads that
// byte with a blank, so its column keeps exactly N). Searching for "]", "," and "}" steps over
// double-byte characters, whose second byte may equal them.
//
// Bad templates: a "%" at the end, or a width with nothing after it, ends the expansion there;
// an unclosed "[", "(" or "{" stays as text. Widths above 9999 count as 9999, an indentation
// never exceeds 9999 blanks, and "(" nests at most 32 deep (deeper ones stay as text), so no
// template can make the expansion run away. "(" finds its own "%)": inner "%(" ... "%)" pairs
// are skipped.
#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/address_parts.h"
#include "store/dates.h"
#include "store/msg.h"

#include <algorithm>
#include <string>

namespace pelorin {
namespace {

constexpr size_t kMaxWidth = 9999;
constexpr int kMaxNesting = 32;
constexpr std::string_view kDateLetters = "YymbdwWHhMSpPzZGe";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsPairAt(std::string_view t, size_t i) {
    return IsSjisLeadByte(static_cast<unsigned char>(t[i])) && i + 1 < t.size();
}

// Position of the "%)" that closes a "(" whose inner text starts at `from`; npos when none.
size_t FindClose(std::string_view t, size_t from) {
    int depth = 0;
    size_t j = from;
    while (j < t.size()) {
        if (IsPairAt(t, j)) {
            j += 2;
            continue;
        }
        if (t[j] != '%') {
            ++j;
            continue;
        }
        size_t k = j + 1;
        while (k < t.size() && IsDigit(t[k])) ++k;
        if (k >= t.size())
            return std::string_view::npos;
        if (t[k] == '(') {
            ++depth;
        } else if (t[k] == ')' && k == j + 1) {
            if (depth == 0)
                return j;
            --depth;
        }
        j = IsPairAt(t, k) ? k + 2 : k + 1;
    }
    return std::string_view::npos;
}

// A number right-aligned in at least `width` characters: the width is a minimum, and a longer
// number is shown whole (a count cut to its last digits would read as another number).
std::string RightAligned(int64_t value, bool hasWidth, size_t width) {
    std::string digits = std::to_string(value);
    if (!hasWidth || digits.size() >= width)
        return digits;
    return std::string(width - digits.size(), ' ') + digits;
}

// Exactly `width` bytes: cut without splitting a character, then padded with blanks.
std::string Column(std::string_view text, size_t width) {
    std::string out(CutSjis(text, width));
    out.resize(width, ' ');
    return out;
}

std::string DecodeOnce(std::string_view text) {
    return JisToSjis(DecodeHeaderWords(text));
}

class Expander {
public:
    explicit Expander(TMsg& msg)
        : msg_(msg) {}

    std::string Run(std::string_view t, int level) {
        std::string out;
        size_t i = 0;
        while (i < t.size()) {
            if (t[i] != '%') {
                size_t step = IsPairAt(t, i) ? 2 : 1;
                out.append(t.substr(i, step));
                i += step;
                continue;
            }
            ++i;
            bool hasWidth = false;
            size_t width = 0;
            while (i < t.size() && IsDigit(t[i])) {
                hasWidth = true;
                width = std::min(kMaxWidth, width * 10 + static_cast<size_t>(t[i] - '0'));
                ++i;
            }
            if (i >= t.size())
                break;  // a lone "%" or a width with no directive ends the expansion
            const char d = t[i++];
            std::string value;
            bool widthDone = false;
            switch (d) {
                case '%':
                case '\\':
                case '{':
                    value = std::string(1, d);
                    break;
                case 's':
                    value = DecodeOnce(msg_.subject);
                    break;
                case 'F':
                    value = msg_.From();
                    break;
                case 'R':
                    value = msg_.FromAddress();
                    break;
                case 'c':
                    value = msg_.FromName();
                    break;
                case 'f':
                    value = msg_.FromAddress() + "(" + msg_.FromName() + ")";
                    break;
                case 'r':
                    value = LocalPart(msg_.FromAddress());
                    break;
                case 'I':
                    value = msg_.messageId;
                    break;
                case 'K':
                    value = std::string(1, msg_.mark);
                    widthDone = true;
                    break;
                case 'N':
                    value = msg_.Header("Newsgroups");
                    break;
                case 'O':
                    value = DecodeOnce(msg_.Header("Organization"));
                    break;
                case '[': {
                    size_t close = FindSjisChar(t, ']', i);
                    if (close == std::string_view::npos) {
                        out += '[';
                        continue;
                    }
                    value = DecodeOnce(msg_.Header(t.substr(i, close - i)));
                    i = close + 1;
                    break;
                }
                case 'B':
                    value = RightAligned(msg_.length, hasWidth, width);
                    widthDone = true;
                    break;
                case 'L':
                    value = RightAligned(msg_.lineCount, hasWidth, width);
                    widthDone = true;
                    break;
                case 'V': {
                    const size_t step = hasWidth ? width : 2;
                    const size_t depth = msg_.depth > 0 ? static_cast<size_t>(msg_.depth) : 0;
                    const size_t blanks = step == 0 ? 0 : std::min(kMaxWidth, depth * step);
                    value.assign(blanks, ' ');
                    widthDone = true;
                    break;
                }
                case '(': {
                    size_t close =
                        hasWidth && level < kMaxNesting ? FindClose(t, i) : std::string_view::npos;
                    if (close == std::string_view::npos) {
                        out += '(';
                        continue;
                    }
                    value = Column(Run(t.substr(i, close - i), level + 1), width);
                    i = close + 2;
                    break;
                }
                default:
                    if (kDateLetters.find(d) != std::string_view::npos) {
                        value = DateField(msg_.SortDate(), d);
                        break;
                    }
                    // Not a directive: the character stays (a double-byte one whole).
                    out += d;
                    if (IsSjisLeadByte(static_cast<unsigned char>(d)) && i < t.size())
                        out += t[i++];
                    continue;
            }
            i = Conditional(t, i, value);
            if (hasWidth && !widthDone)
                value = std::string(CutSjis(value, width));
            out += value;
        }
        return out;
    }

private:
    // Applies a "{yes,no}" that starts at `i`; returns the position after it (or `i`).
    static size_t Conditional(std::string_view t, size_t i, std::string& value) {
        if (i >= t.size() || t[i] != '{')
            return i;
        size_t close = FindSjisChar(t, '}', i + 1);
        size_t comma = FindSjisChar(t, ',', i + 1);
        if (close == std::string_view::npos || comma == std::string_view::npos || comma > close)
            return i;
        if (value.empty()) {
            value = std::string(t.substr(comma + 1, close - comma - 1));
        } else {
            std::string_view yes = t.substr(i + 1, comma - i - 1);
            size_t at = yes.find("%@");
            if (at == std::string_view::npos)
                value.append(yes);
            else
                value = std::string(yes.substr(0, at)) + value + std::string(yes.substr(at + 2));
        }
        return close + 1;
    }

    TMsg& msg_;
};

}  // namespace

std::string TMsg::Expand(std::string_view tmpl) {
    return Expander(*this).Run(tmpl, 0);
}

}  // namespace pelorin
