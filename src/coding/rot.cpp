// Rot13 on ASCII letters, Rot47 on double-byte characters.
//
// Rot47 works on the JIS code of the character: each byte above 0x20 swaps the halves
// 0x21-0x4F and 0x50-0x7E (add 47 below 0x50, subtract 47 otherwise), so row and cell both turn.
//
// Bad input: a lead byte without a trail byte, and every byte that is neither a letter nor part
// of a double-byte character, is copied unchanged.
#include "coding/rot.h"

#include "coding/jis.h"

namespace pelorin {

unsigned char Rot13Char(unsigned char ch) {
    return static_cast<unsigned char>((ch & 0x1F) > 13 ? ch - 13 : ch + 13);
}

std::string Rot47Char(unsigned char lead, unsigned char trail) {
    std::string jis = SjisCharToJis(lead, trail);
    for (char& c : jis) {
        auto b = static_cast<unsigned char>(c);
        if (b > 0x20)
            c = static_cast<char>(b < 0x50 ? b + 47 : b - 47);
    }
    std::string sjis = JisCharToSjis(jis);
    if (sjis.size() == 6)  // the bracketed hex form: keep the rotated JIS bytes
        return jis;
    return sjis;
}

std::string RotText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsSjisLeadByte(b)) {
            if (i + 1 < text.size() && IsSjisTrailByte(static_cast<unsigned char>(text[i + 1]))) {
                out += Rot47Char(b, static_cast<unsigned char>(text[i + 1]));
                i += 2;
                continue;
            }
            out.push_back(static_cast<char>(b));
        } else if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out.push_back(static_cast<char>(Rot13Char(b)));
        } else {
            out.push_back(static_cast<char>(b));
        }
        ++i;
    }
    return out;
}

}  // namespace pelorin
