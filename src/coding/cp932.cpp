// CP932 tables, built from the C library's iconv converter on first use.
//
//   byte(s)                    | meaning
//   ---------------------------+---------------------------------------------
//   0x00-0x7F                  | ASCII (0x5C is the backslash, 0x7E the tilde)
//   0xA1-0xDF                  | half-width katakana U+FF61-U+FF9F
//   0x81-0x9F, 0xE0-0xFC lead  | followed by a trail byte 0x40-0x7E, 0x80-0xFC
//   0x80, 0xA0, 0xFD-0xFF      | no character
//
// Decoding is a table lookup per code. Encoding uses a map from code point to code; where
// several codes decode to one character (NEC row 13 and row 2, the NEC-selected and the IBM
// extension blocks), the converter's own choice of code is kept, so text typed by the user is
// written the way Windows writes it.
#include "coding/cp932.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <unordered_map>
#include <vector>

namespace pelorin::cp932 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsLead(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrail(unsigned b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

struct Tables {
    std::array<char32_t, 256> single{};  // code point of each single byte; FFFD if none
    std::vector<char32_t> dbl;           // (lead - 0x80) * 256 + trail -> code point, or FFFD
    std::unordered_map<char32_t, uint16_t> encode;  // code point -> code (single or double)

    static size_t DoubleIndex(unsigned lead, unsigned trail) {
        return static_cast<size_t>(lead - 0x80) * 256 + trail;
    }
};

// Converts `in` with an open converter; returns false if iconv rejects any of it.
bool Convert(iconv_t cd, const char* in, size_t in_len, char* out, size_t* out_len) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t src_left = in_len;
    size_t dst_left = *out_len;
    if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1) || src_left != 0)
        return false;
    *out_len = *out_len - dst_left;
    return true;
}

char32_t ReadUtf32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<char32_t>(u[0]) | static_cast<char32_t>(u[1]) << 8 |
           static_cast<char32_t>(u[2]) << 16 | static_cast<char32_t>(u[3]) << 24;
}

Tables Build() {
    Tables t;
    t.single.fill(kReplacement);
    t.dbl.assign(Tables::DoubleIndex(0xFD, 0), kReplacement);
    for (unsigned b = 0; b < 0x80; ++b) t.single[b] = b;
    for (unsigned b = 0xA1; b <= 0xDF; ++b) t.single[b] = 0xFF61 + (b - 0xA1);

    iconv_t dec = iconv_open("UTF-32LE", "CP932");
    iconv_t enc = iconv_open("CP932", "UTF-32LE");
    if (dec != reinterpret_cast<iconv_t>(-1)) {
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLead(lead))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!IsTrail(trail))
                    continue;
                const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char out[8];
                size_t out_len = sizeof out;
                if (Convert(dec, in, 2, out, &out_len) && out_len == 4)
                    t.dbl[Tables::DoubleIndex(lead, trail)] = ReadUtf32(out);
            }
        }
        iconv_close(dec);
    }

    // Single bytes encode to themselves; the first double-byte code seen for a character is a
    // fallback in case the converter cannot tell us its preferred one.
    for (unsigned b = 0; b < 256; ++b) {
        if (t.single[b] != kReplacement)
            t.encode.emplace(t.single[b], static_cast<uint16_t>(b));
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsLead(lead))
                continue;
            char32_t cp = t.dbl[Tables::DoubleIndex(lead, trail)];
            if (cp == kReplacement || t.encode.count(cp))
                continue;
            uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
            if (enc != reinterpret_cast<iconv_t>(-1)) {
                const char in[4] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8 & 0xFF),
                                    static_cast<char>(cp >> 16 & 0xFF), 0};
                char out[4];
                size_t out_len = sizeof out;
                if (Convert(enc, in, 4, out, &out_len) && out_len == 2) {
                    code = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                                 static_cast<unsigned char>(out[1]));
                }
            }
            t.encode.emplace(cp, code);
        }
    }
    if (enc != reinterpret_cast<iconv_t>(-1))
        iconv_close(enc);
    return t;
}

const Tables& Get() {
    static const Tables tables = Build();
    return tables;
}

// Walks Shift_JIS text and hands each code point to `emit`.
template <typename Emit>
void Decode(std::string_view sjis, std::size_t* bad, Emit emit) {
    const Tables& t = Get();
    size_t replaced = 0;
    for (size_t i = 0; i < sjis.size();) {
        unsigned b = static_cast<unsigned char>(sjis[i]);
        if (b < 0x80) {
            emit(static_cast<char32_t>(b));
            ++i;
            continue;
        }
        if (IsLead(b) && i + 1 < sjis.size() && IsTrail(static_cast<unsigned char>(sjis[i + 1]))) {
            char32_t cp = t.dbl[Tables::DoubleIndex(b, static_cast<unsigned char>(sjis[i + 1]))];
            replaced += cp == kReplacement;
            emit(cp);
            i += 2;
            continue;
        }
        char32_t cp = t.single[b];
        replaced += cp == kReplacement;
        emit(cp);
        ++i;
    }
    if (bad)
        *bad = replaced;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendSjis(std::string& out, char32_t cp, size_t& replaced) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    const Tables& t = Get();
    auto it = t.encode.find(cp);
    if (it == t.encode.end()) {
        out.push_back('?');
        ++replaced;
        return;
    }
    uint16_t code = it->second;
    if (code > 0xFF)
        out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

std::string ToUtf8(std::string_view sjis, std::size_t* bad) {
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    Decode(sjis, bad, [&out](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::u16string ToUtf16(std::string_view sjis, std::size_t* bad) {
    std::u16string out;
    out.reserve(sjis.size());
    // Every CP932 character lies in the Basic Multilingual Plane.
    Decode(sjis, bad, [&out](char32_t cp) { out.push_back(static_cast<char16_t>(cp)); });
    return out;
}

std::string FromUtf8(std::string_view utf8, std::size_t* bad) {
    std::string out;
    out.reserve(utf8.size());
    size_t replaced = 0;
    for (size_t i = 0; i < utf8.size();) {
        unsigned b = static_cast<unsigned char>(utf8[i]);
        size_t len = b < 0x80             ? 1
                     : (b & 0xE0) == 0xC0 ? 2
                     : (b & 0xF0) == 0xE0 ? 3
                     : (b & 0xF8) == 0xF0 ? 4
                                          : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len != 0 && i + len <= utf8.size();
        for (size_t k = 1; ok && k < len; ++k) {
            unsigned c = static_cast<unsigned char>(utf8[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = cp << 6 | (c & 0x3F);
        }
        if (!ok) {
            out.push_back('?');
            ++replaced;
            ++i;
            continue;
        }
        AppendSjis(out, cp, replaced);
        i += len;
    }
    if (bad)
        *bad = replaced;
    return out;
}

std::string FromUtf16(std::u16string_view utf16, std::size_t* bad) {
    std::string out;
    out.reserve(utf16.size() * 2);
    size_t replaced = 0;
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        AppendSjis(out, cp, replaced);
    }
    if (bad)
        *bad = replaced;
    return out;
}

char32_t DecodeCode(unsigned code) {
    const Tables& t = Get();
    if (code < 0x100)
        return t.single[code];
    unsigned lead = code >> 8, trail = code & 0xFF;
    if (code > 0xFFFF || !IsLead(lead) || !IsTrail(trail))
        return kReplacement;
    return t.dbl[Tables::DoubleIndex(lead, trail)];
}

unsigned EncodeCodePoint(char32_t cp) {
    const Tables& t = Get();
    auto it = t.encode.find(cp);
    return it == t.encode.end() ? 0 : it->second;
}

}  // namespace pelorin::cp932
