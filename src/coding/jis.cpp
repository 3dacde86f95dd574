// ISO-2022-JP <-> Shift_JIS.
//
// Shift_JIS byte classes (inclusive):
//
//   lead byte    0x81-0x9F, 0xE0-0xFC   first byte of a double-byte character
//   trail byte   0x40-0xFC              second byte (0x7F is accepted)
//   half kana    0xA1-0xDF              half-width katakana, one byte
//
// Escape sequences read (the two bytes after ESC 0x1B):
//
//   ( B   ASCII                          -> ASCII
//   ( J   JIS X 0201 Roman, kept as ASCII -> ASCII
//   $ @   JIS C 6226-1978 kanji          -> KANJI
//   $ B   JIS X 0208 kanji               -> KANJI
//   ( I   JIS X 0201 katakana, 7-bit     -> KANA
//
// and SO 0x0E ... SI 0x0F, which shift a run of 7-bit katakana in. Output uses ESC $B before
// double-byte text and ESC (J after it.
//
// JIS row/cell to Shift_JIS is pure arithmetic, applied to every pair in 0x21-0x7F, assigned
// or not: rows pair up into one lead byte, odd rows take trail bytes 0x40-0x9E (skipping 0x7F),
// even rows 0x9F-0xFC.
//
// Bad input, decoding (JisToSjis):
//  - a pair with a byte outside 0x21-0x7F in a kanji run shows as "[AABB]" (a stray space or
//    letter inside a run becomes visible instead of vanishing);
//  - a single byte left at the end of a kanji run is copied as it is;
//  - an ESC not followed by a known sequence is dropped by itself, the bytes after it stay text;
//  - bytes of a katakana run outside 0x21-0x5F (space included) are dropped;
//  - 8-bit bytes (Shift_JIS, EUC-JP) in ASCII state pass through unchanged.
// Inside a kanji run, SO ... SI is read the way ASCII state reads it: the bytes between go
// through the katakana converter and pairs are taken again after SI.
//
// Bad input, encoding (SjisToJis): bytes that ISO-2022-JP cannot carry (0x80, 0xA0,
// 0xFD-0xFF, a lead byte without a trail byte) are dropped.
#include "coding/jis.h"

#include "coding/cp932.h"

#include <array>

namespace pelorin {
namespace {

constexpr char kEsc = 0x1B;
constexpr char kSo = 0x0E;
constexpr char kSi = 0x0F;

// Full-width forms of the 63 half-width katakana 0xA1-0xDF, two Shift_JIS bytes each.
const std::array<std::array<char, 2>, 63>& FullKanaTable() {
    static const std::array<std::array<char, 2>, 63> table = [] {
        std::array<std::array<char, 2>, 63> t{};
        const std::string full = Sjis(
            "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
            "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜");
        for (size_t k = 0; k < t.size() && 2 * k + 1 < full.size(); ++k)
            t[k] = {full[2 * k], full[2 * k + 1]};
        return t;
    }();
    return table;
}

void AppendFullKana(std::string& out, unsigned char b) {
    const auto& c = FullKanaTable()[b - 0xA1];
    out.push_back(c[0]);
    out.push_back(c[1]);
}

void AppendJisChar(std::string& out, unsigned char a, unsigned char b) {
    if (a <= 0x20 || a >= 0x80 || b <= 0x20 || b >= 0x80) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += '[';
        out += kHex[a >> 4];
        out += kHex[a & 0xF];
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
        out += ']';
        return;
    }
    unsigned r = (a & 1) ? a : a - 1u;
    unsigned c = (r - 0x21) >> 1;
    unsigned first = a < 0x5F ? c + 0x81 : c + 0xC1;
    unsigned second = !(a & 1) ? b + 0x7Eu : b >= 0x60 ? b + 0x20u : b + 0x1Fu;
    out.push_back(static_cast<char>(first));
    out.push_back(static_cast<char>(second));
}

void AppendSjisAsJis(std::string& out, unsigned char s1, unsigned char s2) {
    unsigned c = s1 < 0xA0 ? 2u * s1 - 0xE0u : 2u * s1 - 0x60u;
    unsigned first, second;
    if (s2 > 0x9E) {
        second = s2 - 0x7Eu;
        first = c;
    } else {
        second = s2 > 0x7E ? s2 - 0x20u : s2 - 0x1Fu;
        first = c - 1;
    }
    out.push_back(static_cast<char>(first & 0xFF));
    out.push_back(static_cast<char>(second & 0xFF));
}

void AppendJis7Kana(std::string& out, std::string_view run) {
    for (unsigned char b : run) {
        if (b >= 0x21 && b <= 0x5F)
            AppendFullKana(out, static_cast<unsigned char>(b + 0x80));
    }
}

enum class State { kAscii, kKanji, kKana };

// ASCII state: bytes are copied, SO ... SI (or SO to the end) is a 7-bit katakana run.
void ConvertAscii(std::string& out, std::string_view seg) {
    for (;;) {
        size_t so = seg.find(kSo);
        if (so == std::string_view::npos)
            break;
        out.append(seg.substr(0, so));
        seg.remove_prefix(so + 1);
        size_t si = seg.find(kSi);
        AppendJis7Kana(out, seg.substr(0, si));
        if (si == std::string_view::npos) {
            seg = {};
            break;
        }
        seg.remove_prefix(si + 1);
    }
    out.append(seg);
}

void ConvertKanji(std::string& out, std::string_view seg) {
    size_t i = 0;
    while (i + 1 < seg.size()) {
        if (seg[i] == kSo) {
            size_t si = seg.find(kSi, i + 1);
            AppendJis7Kana(out, seg.substr(i + 1, si == std::string_view::npos ? si : si - i - 1));
            if (si == std::string_view::npos)
                return;
            i = si + 1;
            continue;
        }
        AppendJisChar(out, static_cast<unsigned char>(seg[i]),
                      static_cast<unsigned char>(seg[i + 1]));
        i += 2;
    }
    if (i < seg.size())
        out.push_back(seg[i]);
}

}  // namespace

std::string JisCharToSjis(unsigned char a, unsigned char b) {
    std::string out;
    AppendJisChar(out, a, b);
    return out;
}

std::string JisCharToSjis(std::string_view pair) {
    unsigned char a = pair.size() > 0 ? static_cast<unsigned char>(pair[0]) : 0;
    unsigned char b = pair.size() > 1 ? static_cast<unsigned char>(pair[1]) : 0;
    return JisCharToSjis(a, b);
}

std::string SjisCharToJis(unsigned char lead, unsigned char trail) {
    std::string out;
    AppendSjisAsJis(out, lead, trail);
    return out;
}

std::string HalfKanaToFull(unsigned char b) {
    if (!IsHalfKana(b))
        return {};
    std::string out;
    AppendFullKana(out, b);
    return out;
}

std::string Jis7KanaToSjis(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    AppendJis7Kana(out, text);
    return out;
}

std::string JisToSjis(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    State state = State::kAscii;
    for (;;) {
        size_t esc = text.find(kEsc);
        std::string_view seg = text.substr(0, esc);
        switch (state) {
            case State::kAscii:
                ConvertAscii(out, seg);
                break;
            case State::kKanji:
                ConvertKanji(out, seg);
                break;
            case State::kKana:
                AppendJis7Kana(out, seg);
                break;
        }
        if (esc == std::string_view::npos)
            break;
        text.remove_prefix(esc + 1);
        if (text.size() >= 2) {
            char c1 = text[0], c2 = text[1];
            bool known = true;
            if (c1 == '(' && (c2 == 'B' || c2 == 'J'))
                state = State::kAscii;
            else if (c1 == '$' && (c2 == '@' || c2 == 'B'))
                state = State::kKanji;
            else if (c1 == '(' && c2 == 'I')
                state = State::kKana;
            else
                known = false;
            if (known)
                text.remove_prefix(2);
        }
    }
    return out;
}

std::string SjisToJis(std::string_view text) {
    static constexpr std::string_view kKanjiIn = "\x1B$B";
    static constexpr std::string_view kKanjiOut = "\x1B(J";
    std::string out;
    out.reserve(text.size() + 8);
    bool kanji = false;
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsSjisLeadByte(b) && i + 1 < text.size() &&
            IsSjisTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            if (!kanji) {
                out.append(kKanjiIn);
                kanji = true;
            }
            AppendSjisAsJis(out, b, static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else if (IsHalfKana(b)) {
            if (!kanji) {
                out.append(kKanjiIn);
                kanji = true;
            }
            const auto& full = FullKanaTable()[b - 0xA1];
            AppendSjisAsJis(out, static_cast<unsigned char>(full[0]),
                            static_cast<unsigned char>(full[1]));
            ++i;
        } else if (b < 0x80) {
            if (kanji) {
                out.append(kKanjiOut);
                kanji = false;
            }
            out.push_back(static_cast<char>(b));
            ++i;
        } else {
            ++i;  // no place for this byte in ISO-2022-JP
        }
    }
    if (kanji)
        out.append(kKanjiOut);
    return out;
}

}  // namespace pelorin
