// Base64 (RFC 2045 alphabet: A-Z 0-25, a-z 26-51, 0-9 52-61, "+" 62, "/" 63, pad "=") and
// quoted-printable decoding.
//
// Bad input: base64 characters outside the alphabet are skipped wherever they stand; leftover
// bits that do not fill a byte are dropped. In quoted-printable text, "=" without two
// upper-case hex digits after it is copied as it is.
#include "coding/base64.h"

#include <array>
#include <cstdint>

namespace pelorin {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeValues() {
    std::array<int8_t, 256> v{};
    for (auto& x : v) x = -1;
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        v[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return v;
}
constexpr std::array<int8_t, 256> kValues = MakeValues();

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Base64Decode(std::string_view text) {
    std::string out;
    Base64DecodeAppend(out, text);
    return out;
}

void Base64DecodeAppend(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() / 4 * 3 + 2);
    uint32_t acc = 0;
    int count = 0;
    for (char c : text) {
        int v = kValues[static_cast<unsigned char>(c)];
        if (v < 0)
            continue;
        acc = acc << 6 | static_cast<uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<char>(acc >> 16 & 0xFF));
            out.push_back(static_cast<char>(acc >> 8 & 0xFF));
            out.push_back(static_cast<char>(acc & 0xFF));
            acc = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out.push_back(static_cast<char>(acc >> 4 & 0xFF));
    } else if (count == 3) {
        out.push_back(static_cast<char>(acc >> 10 & 0xFF));
        out.push_back(static_cast<char>(acc >> 2 & 0xFF));
    }
}

char Base64Char(int v) {
    if (v < 0 || v > 63)
        return '=';
    return kAlphabet[static_cast<size_t>(v)];
}

int Base64BytesFor(int k) {
    if (k <= 0)
        return 0;
    int n = 3 * (k / 4);
    if (k % 4 == 2)
        n += 1;
    else if (k % 4 == 3)
        n += 2;
    return n;
}

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(Base64Char(static_cast<int>(v >> 18 & 63)));
        out.push_back(Base64Char(static_cast<int>(v >> 12 & 63)));
        out.push_back(Base64Char(static_cast<int>(v >> 6 & 63)));
        out.push_back(Base64Char(static_cast<int>(v & 63)));
    }
    size_t rest = bytes.size() - i;
    if (rest == 1) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        out.push_back(Base64Char(static_cast<int>(v >> 18 & 63)));
        out.push_back(Base64Char(static_cast<int>(v >> 12 & 63)));
        out += "==";
    } else if (rest == 2) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out.push_back(Base64Char(static_cast<int>(v >> 18 & 63)));
        out.push_back(Base64Char(static_cast<int>(v >> 12 & 63)));
        out.push_back(Base64Char(static_cast<int>(v >> 6 & 63)));
        out += '=';
    }
    return out;
}

std::string QPDecode(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '=' && i + 2 < line.size()) {
            int hi = HexValue(line[i + 1]);
            int lo = HexValue(line[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi << 4 | lo));
                i += 2;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace pelorin
