// Reading other charsets through iconv, and the detector for undeclared Japanese text.
//
// UTF-8 is read here directly (the commonest case, and the one on the path that opens large
// areas); every other charset goes through an iconv converter to UTF-8. Converters are opened
// once per charset name and kept for the life of the thread, so reading the subjects of a
// large area does not open one per word. iconv stops at a sequence it cannot read: one U+FFFD
// is written for its first byte and reading goes on after that byte.
//
// UTF-8 sequences accepted (the well-formed ones of RFC 3629):
//
//   lead       continuation bytes      code points
//   00-7F      -                       U+0000-U+007F
//   C2-DF      80-BF                   U+0080-U+07FF
//   E0         A0-BF 80-BF             U+0800-U+0FFF
//   E1-EC      80-BF 80-BF             U+1000-U+CFFF
//   ED         80-9F 80-BF             U+D000-U+D7FF (no surrogates)
//   EE-EF      80-BF 80-BF             U+E000-U+FFFF
//   F0         90-BF 80-BF 80-BF       U+10000-U+3FFFF
//   F1-F3      80-BF 80-BF 80-BF       U+40000-U+FFFFF
//   F4         80-8F 80-BF 80-BF       U+100000-U+10FFFF
#include "coding/charset.h"

#include "coding/cp932.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <map>
#include <memory>
#include <uchardet.h>

namespace pelorin {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

std::string UpperName(std::string_view name) {
    const std::size_t star = name.find('*');  // RFC 2231 language suffix
    if (star != std::string_view::npos)
        name = name.substr(0, star);
    std::string out;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '"')
            continue;
        out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

// Bytes of the well-formed UTF-8 sequence at `i`, with its code point; 0 when broken.
std::size_t Utf8Sequence(std::string_view s, std::size_t i, char32_t& cp) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned b = at(i);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    std::size_t len = 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned c = at(i + k);
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF))
            return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    return len;
}

// Bytes of the broken sequence at `i` to replace by one U+FFFD: the lead byte and the
// continuation bytes that were still valid after it (the "maximal subpart" of Unicode's
// recommended practice), at least 1.
std::size_t BrokenLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        lo = b == 0xE0 ? 0xA0 : 0x80;
        hi = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        lo = b == 0xF0 ? 0x90 : 0x80;
        hi = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    std::size_t k = 1;
    while (k < len && i + k < s.size()) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF))
            break;
        ++k;
    }
    return k;
}

struct Converter {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
};

constexpr std::size_t kMaxConverters = 256;

thread_local std::map<std::string, std::unique_ptr<Converter>> openConverters;

// The converter from `upper` to UTF-8 for this thread, or nullptr when iconv does not know it.
// The first names asked for stay open (or known as unknown) for the life of the thread. iconv
// takes endless spellings of one charset ("EUC-JP!", "EUC-JP//X", ...), so the table stops
// growing at kMaxConverters: a name beyond it gets a converter of its own that is closed when
// the next such name is asked for, and a hostile packet cannot make the table grow.
iconv_t ConverterFor(const std::string& upper) {
    const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
    if (upper.empty() || upper.size() > 40)
        return nullptr;
    auto& open = openConverters;
    auto it = open.find(upper);
    if (it == open.end()) {
        auto c = std::make_unique<Converter>();
        c->cd = iconv_open("UTF-8", upper.c_str());
        if (open.size() >= kMaxConverters) {
            thread_local std::unique_ptr<Converter> beyond;
            beyond = std::move(c);
            return beyond->cd == kNone ? nullptr : beyond->cd;
        }
        it = open.emplace(upper, std::move(c)).first;
    }
    const iconv_t cd = it->second->cd;
    return cd == kNone ? nullptr : cd;
}

void ConvertWith(iconv_t cd, std::string& out, std::string_view bytes, std::size_t* bad) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(bytes.data());
    std::size_t left = bytes.size();
    char buffer[1024];
    while (true) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = left == 0 ? iconv(cd, nullptr, nullptr, &dst, &room)
                                        : iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1)) {
            if (left == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        // EILSEQ: a sequence the charset does not allow; EINVAL: one cut off at the end.
        out += kReplacementUtf8;
        if (bad)
            ++*bad;
        if (errno == EINVAL || left == 0)
            break;
        ++src;
        --left;
    }
    // Whatever the converter still holds (a shift state) is flushed; it adds no text.
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
}

}  // namespace

std::size_t ConverterTableSize() {
    return openConverters.size();
}

CharsetKind ClassifyCharset(std::string_view name) {
    const std::string upper = UpperName(name);
    if (upper.empty())
        return CharsetKind::None;
    if (upper == "US-ASCII" || upper == "ASCII" || upper == "ANSI_X3.4-1968")
        return CharsetKind::Ascii;
    if (upper.rfind("ISO-2022-JP", 0) == 0 || upper == "CSISO2022JP")
        return CharsetKind::Jis;
    if (upper == "SHIFT_JIS" || upper == "SHIFT-JIS" || upper == "SJIS" || upper == "X-SJIS" ||
        upper == "CP932" || upper == "WINDOWS-31J" || upper == "MS_KANJI" || upper == "CSSHIFTJIS")
        return CharsetKind::ShiftJis;
    if (upper == "UTF-8" || upper == "UTF8")
        return CharsetKind::Utf8;
    return ConverterFor(upper) ? CharsetKind::Other : CharsetKind::Unknown;
}

bool IsUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8Sequence(bytes, i, cp);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::size_t Utf8CharLength(std::string_view bytes, std::size_t pos) {
    if (pos >= bytes.size())
        return 0;
    char32_t cp = 0;
    const std::size_t n = Utf8Sequence(bytes, pos, cp);
    return n == 0 ? 1 : n;
}

bool Has8Bit(std::string_view bytes) {
    // Eight bytes at a time: searches run this over every message of an area.
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        if (w & 0x8080808080808080ULL)
            return true;
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return true;
    }
    return false;
}

std::string ValidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8Sequence(bytes, i, cp);
        if (n == 0) {
            out += kReplacementUtf8;
            i += BrokenLength(bytes, i);
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

bool AppendUtf8(std::string& out,
                std::string_view bytes,
                std::string_view charset,
                std::size_t* bad) {
    const std::string upper = UpperName(charset);
    if (upper == "UTF-8" || upper == "UTF8") {
        char32_t cp = 0;
        for (std::size_t i = 0; i < bytes.size();) {
            const std::size_t n = Utf8Sequence(bytes, i, cp);
            if (n == 0) {
                out += kReplacementUtf8;
                if (bad)
                    ++*bad;
                i += BrokenLength(bytes, i);
            } else {
                out.append(bytes.substr(i, n));
                i += n;
            }
        }
        return true;
    }
    const iconv_t cd = ConverterFor(upper);
    if (!cd)
        return false;
    ConvertWith(cd, out, bytes, bad);
    return true;
}

void AppendSjisText(std::string& out, std::string_view utf8) {
    static const std::string kGeta = Sjis("〓");
    char32_t cp = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = Utf8Sequence(utf8, i, cp);
        if (n == 0) {
            out += kGeta;
            i += BrokenLength(utf8, i);
            continue;
        }
        i += n;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        const unsigned code = cp932::EncodeCodePoint(cp);
        if (code == 0) {
            out += kGeta;
        } else if (code < 0x100) {
            out.push_back(static_cast<char>(code));
        } else {
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        }
    }
}

std::string Utf8ToSjisText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    AppendSjisText(out, utf8);
    return out;
}

std::string DetectJapaneseCharset(std::string_view bytes) {
    if (IsUtf8(bytes))
        return "UTF-8";
    const uchardet_t detector = uchardet_new();
    if (!detector)
        return {};
    std::string found;
    if (uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0) {
        uchardet_data_end(detector);
        const std::string name = UpperName(uchardet_get_charset(detector));
        if (name == "EUC-JP" || name == "SHIFT_JIS")
            found = name;
    }
    uchardet_delete(detector);
    return found;
}

}  // namespace pelorin
