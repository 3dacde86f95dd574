// Small string helpers shared by the packet store (see strutil.h).
#include "store/strutil.h"

#include "coding/jis.h"
#include "store/disk_path.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace pelorin {
namespace {

// True when text[i] starts a double-byte character whose trail byte is present.
bool IsPairAt(std::string_view text, size_t i) {
    return IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

template <typename Fold>
std::string FoldCase(std::string_view text, Fold fold) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsPairAt(out, i))
            ++i;
        else
            out[i] = fold(out[i]);
    }
    return out;
}

}  // namespace

std::string_view Trim(std::string_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
    return text.substr(b, e - b);
}

std::string_view TrimBlanks(std::string_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    return text.substr(b, e - b);
}

std::string SjisUpper(std::string_view text) {
    return FoldCase(text, UpperAscii);
}

std::string SjisLower(std::string_view text) {
    return FoldCase(text, LowerAscii);
}

int CompareNoCase(std::string_view a, std::string_view b) {
    // Both texts are walked with their own character boundaries; bytes compare unsigned.
    size_t i = 0;
    for (; i < a.size() && i < b.size(); ++i) {
        bool pairA = IsPairAt(a, i);
        bool pairB = IsPairAt(b, i);
        auto ca = static_cast<unsigned char>(pairA ? a[i] : UpperAscii(a[i]));
        auto cb = static_cast<unsigned char>(pairB ? b[i] : UpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (pairA && pairB) {
            ++i;
            auto ta = static_cast<unsigned char>(a[i]);
            auto tb = static_cast<unsigned char>(b[i]);
            if (ta != tb)
                return ta < tb ? -1 : 1;
        }
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

size_t FindSjisChar(std::string_view text, char c, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        if (IsPairAt(text, i))
            ++i;
        else if (text[i] == c)
            return i;
    }
    return std::string_view::npos;
}

std::string_view CutSjis(std::string_view text, size_t n) {
    if (text.size() <= n)
        return text;
    size_t i = 0;
    while (i < n) {
        size_t step = IsPairAt(text, i) ? 2 : 1;
        if (i + step > n)
            break;
        i += step;
    }
    return text.substr(0, i);
}

TSList SplitTab(std::string_view text, int n) {
    TSList fields;
    const size_t count = n < 0 ? 1 : static_cast<size_t>(n) + 1;
    fields.reserve(std::min(count, text.size() + 1));
    size_t pos = 0;
    bool rest = true;  // text remains to be split
    for (size_t k = 0; k < count; ++k) {
        if (!rest) {
            fields.emplace_back();
            continue;
        }
        size_t tab = text.find('\t', pos);
        if (tab == std::string_view::npos) {
            fields.emplace_back(text.substr(pos));
            rest = false;
        } else {
            fields.emplace_back(text.substr(pos, tab - pos));
            pos = tab + 1;
        }
    }
    return fields;
}

std::string HeaderListValue(const TSList& lines, std::string_view name) {
    const std::string key = SjisLower(name) + ": ";
    std::string value;
    bool found = false;
    for (const std::string& line : lines) {
        if (line.empty())
            break;
        if (!found) {
            if (line.size() >= key.size() &&
                SjisLower(std::string_view(line).substr(0, key.size())) == key) {
                value = line.substr(key.size());
                found = true;
            }
            continue;
        }
        if (line[0] != ' ' && line[0] != '\t')
            break;
        size_t skip = 0;
        while (skip + 1 < line.size() && (line[skip] == ' ' || line[skip] == '\t')) ++skip;
        value.append(line, skip, std::string::npos);
    }
    return value;
}

std::string LastAngleToken(std::string_view text) {
    return std::string(LastAngleTokenView(text));
}

std::string_view LastAngleTokenView(std::string_view text) {
    // Searched from the end with memrchr: every index line's References value passes here.
    const void* close = text.empty() ? nullptr : ::memrchr(text.data(), '>', text.size());
    if (!close || close == text.data())
        return text;
    const auto end = static_cast<size_t>(static_cast<const char*>(close) - text.data());
    const void* open = ::memrchr(text.data(), '<', end);
    if (!open)
        return text;
    const auto start = static_cast<size_t>(static_cast<const char*>(open) - text.data());
    return text.substr(start, end - start + 1);
}

bool ParseInt32(std::string_view text, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

namespace {

// The value of a text of 1 to `most` decimal digits and nothing else, as index columns are
// written; false for any other text.
bool PlainDigits(std::string_view text, size_t most, int64_t& value) {
    if (text.empty() || text.size() > most)
        return false;
    int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

}  // namespace

int32_t ToInteger(std::string_view text) {
    if (int64_t v = 0; PlainDigits(text, 9, v))
        return static_cast<int32_t>(v);
    size_t zeros = 0;
    while (zeros + 1 < text.size() && text[zeros] == '0') ++zeros;
    std::string_view rest = Trim(text.substr(zeros));
    if (rest.empty())
        return 0;
    int32_t value = 0;
    return ParseInt32(rest, value) ? value : 0;
}

int64_t ToInteger64(std::string_view text) {
    if (int64_t v = 0; PlainDigits(text, 18, v))
        return v;
    size_t zeros = 0;
    while (zeros + 1 < text.size() && text[zeros] == '0') ++zeros;
    std::string_view rest = Trim(text.substr(zeros));
    if (rest.empty())
        return 0;
    int64_t value = 0;
    const char* first = rest.data() + (rest[0] == '+' ? 1 : 0);
    const char* last = rest.data() + rest.size();
    if (first == last || *first == '+' || (rest[0] == '+' && *first == '-'))
        return 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last ? value : 0;
}

int64_t FileSize(std::string_view path) {
    std::error_code ec;
    const std::filesystem::path p = DiskPath(path);
    if (!std::filesystem::is_regular_file(p, ec))
        return -1;
    auto size = std::filesystem::file_size(p, ec);
    if (ec)
        return -1;
    return static_cast<int64_t>(size);
}

}  // namespace pelorin
