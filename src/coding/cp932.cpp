// CP932 tables, built from the C library's iconv converter on first use.
//
//   byte(s)                    | meaning
//   ---------------------------+---------------------------------------------
//   0x00-0x7F                  | ASCII (0x5C is the backslash, 0x7E the tilde)
//   0xA1-0xDF                  | half-width katakana U+FF61-U+FF9F
//   0x81-0x9F, 0xE0-0xFC lead  | followed by a trail byte 0x40-0x7E, 0x80-0xFC
//   0x80, 0xA0, 0xFD-0xFF      | no character
//
// Decoding is a table lookup per code. Encoding is a table from code point to code; where
// several codes decode to one character (NEC row 13 and row 2, the NEC-selected and the IBM
// extension blocks), the converter's own choice of code is kept, so text typed by the user is
// written the way Windows writes it.
#include "coding/cp932.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
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

// Decoding: the code point of each single byte and of each lead/trail pair (U+FFFD if none).
struct DecodeTables {
    std::array<char32_t, 256> single{};
    std::vector<char32_t> dbl;  // (lead - 0x80) * 256 + trail -> code point

    static size_t DoubleIndex(unsigned lead, unsigned trail) {
        return static_cast<size_t>(lead - 0x80) * 256 + trail;
    }
};

// Encoding: the code of each character of the Basic Multilingual Plane (every CP932 character
// lies there); 0 where CP932 has none. Built only when text is first encoded.
struct EncodeTable {
    std::vector<uint16_t> code;
};

char32_t ReadUtf32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<char32_t>(u[0]) | static_cast<char32_t>(u[1]) << 8 |
           static_cast<char32_t>(u[2]) << 16 | static_cast<char32_t>(u[3]) << 24;
}

// Converts `in`, a run of fixed-width units, with an open converter. A unit the converter
// rejects is stepped over; each accepted unit's output goes to `take(unit index, bytes)`.
// Gives false when the output cannot be told apart unit by unit (the caller then keeps what it
// had for the units not taken).
template <typename Split, typename Take>
bool ConvertUnits(iconv_t cd, const std::string& in, size_t width, Split split, Take take) {
    std::string out(in.size() * 2 + 16, '\0');
    size_t next = 0;
    const size_t units = in.size() / width;
    while (next < units) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data()) + next * width;
        size_t src_left = (units - next) * width;
        char* dst = out.data();
        size_t dst_left = out.size();
        const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
        const size_t done = static_cast<size_t>(src - in.data()) / width;
        // Hand out what was converted, one unit's bytes at a time.
        std::string_view bytes(out.data(), out.size() - dst_left);
        for (size_t k = next; k < done; ++k) {
            if (bytes.empty())
                return false;
            const size_t n = split(bytes);
            if (n == 0 || n > bytes.size())
                return false;
            take(k, bytes.substr(0, n));
            bytes.remove_prefix(n);
        }
        if (!bytes.empty())
            return false;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            return false;
        next = done + 1;  // the unit at `done` has no counterpart: step over it
    }
    return true;
}

DecodeTables BuildDecoding() {
    DecodeTables t;
    t.single.fill(kReplacement);
    t.dbl.assign(DecodeTables::DoubleIndex(0xFD, 0), kReplacement);
    for (unsigned b = 0; b < 0x80; ++b) t.single[b] = b;
    for (unsigned b = 0xA1; b <= 0xDF; ++b) t.single[b] = 0xFF61 + (b - 0xA1);

    iconv_t dec = iconv_open("UTF-32LE", "CP932");
    if (dec == reinterpret_cast<iconv_t>(-1))
        return t;
    // Every pair of the code space in one run; each gives one code point (four bytes).
    std::string in;
    std::vector<uint16_t> codes;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsLead(lead) || !IsTrail(trail))
                continue;
            in.push_back(static_cast<char>(lead));
            in.push_back(static_cast<char>(trail));
            codes.push_back(static_cast<uint16_t>(lead << 8 | trail));
        }
    }
    std::vector<char32_t> found(codes.size(), kReplacement);
    const bool whole = ConvertUnits(
        dec, in, 2, [](std::string_view) { return size_t{4}; },
        [&](size_t k, std::string_view out) { found[k] = ReadUtf32(out.data()); });
    for (size_t k = 0; k < codes.size(); ++k) {
        char32_t cp = found[k];
        if (!whole) {  // the run could not be split: ask pair by pair
            cp = kReplacement;
            if (!ConvertUnits(
                    dec, in.substr(k * 2, 2), 2, [](std::string_view) { return size_t{4}; },
                    [&](size_t, std::string_view out) { cp = ReadUtf32(out.data()); }))
                cp = kReplacement;
        }
        t.dbl[DecodeTables::DoubleIndex(codes[k] >> 8, codes[k] & 0xFF)] = cp;
    }
    iconv_close(dec);
    return t;
}

const DecodeTables& Decoding() {
    static const DecodeTables tables = BuildDecoding();
    return tables;
}

EncodeTable BuildEncoding() {
    const DecodeTables& d = Decoding();
    EncodeTable t;
    t.code.assign(0x10000, 0);
    std::vector<bool> single(0x10000, false);
    // Single bytes encode to themselves.
    for (unsigned b = 0; b < 256; ++b) {
        const char32_t cp = d.single[b];
        if (cp != kReplacement && cp < 0x10000 && !single[cp]) {
            t.code[cp] = static_cast<uint16_t>(b);
            single[cp] = true;
        }
    }
    // Each other character takes the code the converter prefers; the first pair seen for it is
    // the fallback when the converter gives none.
    std::string in;
    std::vector<char32_t> chars;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLead(lead))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            const char32_t cp = d.dbl[DecodeTables::DoubleIndex(lead, trail)];
            if (cp == kReplacement || cp >= 0x10000 || single[cp] || t.code[cp] != 0)
                continue;
            t.code[cp] = static_cast<uint16_t>(lead << 8 | trail);
            chars.push_back(cp);
            const char unit[4] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8 & 0xFF),
                                  0, 0};
            in.append(unit, 4);
        }
    }
    iconv_t enc = iconv_open("CP932", "UTF-32LE");
    if (enc == reinterpret_cast<iconv_t>(-1))
        return t;
    // A code is one byte, or two when the first is a lead byte; only two-byte answers count.
    const auto split = [](std::string_view out) {
        return IsLead(static_cast<unsigned char>(out[0])) ? size_t{2} : size_t{1};
    };
    std::vector<uint16_t> preferred(chars.size(), 0);
    const auto take = [&](size_t k, std::string_view out) {
        if (out.size() == 2)
            preferred[k] = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                                 static_cast<unsigned char>(out[1]));
    };
    if (!ConvertUnits(enc, in, 4, split, take)) {
        std::fill(preferred.begin(), preferred.end(), 0);
        for (size_t k = 0; k < chars.size(); ++k) {
            if (!ConvertUnits(enc, in.substr(k * 4, 4), 4, split,
                              [&](size_t, std::string_view out) { take(k, out); }))
                preferred[k] = 0;
        }
    }
    for (size_t k = 0; k < chars.size(); ++k) {
        if (preferred[k] != 0)
            t.code[chars[k]] = preferred[k];
    }
    iconv_close(enc);
    return t;
}

const EncodeTable& Encoding() {
    static const EncodeTable table = BuildEncoding();
    return table;
}

// Walks Shift_JIS text and hands each code point to `emit`.
template <typename Emit>
void Decode(std::string_view sjis, std::size_t* bad, Emit emit) {
    size_t replaced = 0;
    const DecodeTables* tables = nullptr;  // looked up at the first byte past ASCII
    for (size_t i = 0; i < sjis.size();) {
        unsigned b = static_cast<unsigned char>(sjis[i]);
        if (b < 0x80) {
            emit(static_cast<char32_t>(b));
            ++i;
            continue;
        }
        if (!tables)
            tables = &Decoding();
        const DecodeTables& t = *tables;
        if (IsLead(b) && i + 1 < sjis.size() && IsTrail(static_cast<unsigned char>(sjis[i + 1]))) {
            char32_t cp =
                t.dbl[DecodeTables::DoubleIndex(b, static_cast<unsigned char>(sjis[i + 1]))];
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
    const unsigned code = EncodeCodePoint(cp);
    if (code == 0) {
        out.push_back('?');
        ++replaced;
        return;
    }
    if (code > 0xFF)
        out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

std::string ToUtf8(std::string_view sjis, std::size_t* bad) {
    // ASCII is the same in both: runs of it are copied whole.
    size_t ascii = 0;
    while (ascii < sjis.size() && static_cast<unsigned char>(sjis[ascii]) < 0x80) ++ascii;
    std::string out;
    if (ascii == sjis.size()) {
        if (bad)
            *bad = 0;
        out.assign(sjis);
        return out;
    }
    out.reserve(sjis.size() * 3 / 2);
    out.assign(sjis.substr(0, ascii));
    Decode(sjis.substr(ascii), bad, [&out](char32_t cp) { AppendUtf8(out, cp); });
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
    const DecodeTables& t = Decoding();
    if (code < 0x100)
        return t.single[code];
    unsigned lead = code >> 8, trail = code & 0xFF;
    if (code > 0xFFFF || !IsLead(lead) || !IsTrail(trail))
        return kReplacement;
    return t.dbl[DecodeTables::DoubleIndex(lead, trail)];
}

unsigned EncodeCodePoint(char32_t cp) {
    if (cp < 0x80)
        return cp;
    return cp < 0x10000 ? Encoding().code[cp] : 0;
}

}  // namespace pelorin::cp932
