// Fuzz target: pattern compilation (with and without the fuzzy dictionary) and Find on a text.
//
// Input: one flag byte (bit 0 fuzzy, bit 1 LF as line separator), two bytes of pattern length
// (little-endian, cut to what is there), the pattern, then the text. A bad pattern must raise
// ERegExpParser and leave the empty pattern current; a match must lie inside the text on
// character boundaries; the existence test must agree with Find.
#include "select/awkstr.h"
#include "select/re_error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsBoundary(std::string_view text, size_t at) {
    size_t p = 0;
    while (p < at) p += IsLead(static_cast<unsigned char>(text[p])) && p + 1 < text.size() ? 2 : 1;
    return p == at;
}

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    size_t length = data[1] | (size_t{data[2]} << 8);
    data += 3;
    size -= 3;
    if (length > size)
        length = size;
    const std::string pattern(reinterpret_cast<const char*>(data), length);
    const std::string text(reinterpret_cast<const char*>(data + length), size - length);

    static pelorin::TAWKStr re;  // one engine, so the pattern cache sees many patterns
    re.SetLineSeparator(flags & 2 ? pelorin::mcls_LF : pelorin::mcls_CRLF);
    bool valid = true;
    try {
        re.SetUseFuzzyCharDic(flags & 1);
        re.SetRegExp(pattern);
    } catch (const pelorin::ERegExpParser& e) {
        valid = false;
        Check(re.RegExp().empty());
        Check(!e.message().empty());
    }
    size_t pos = 0, len = 0;
    size_t ret = re.Find(text, pos, len);
    Check(ret == pos);
    Check(re.Exists(text) == (pos > 0));
    if (!valid)
        Check(pos == 1 && len == 0);
    if (pos > 0) {
        Check(pos - 1 + len <= text.size());
        Check(IsBoundary(text, pos - 1));
        Check(IsBoundary(text, pos - 1 + len));
    } else {
        Check(len == 0);
    }
    size_t pos2 = 0, len2 = 0;
    re.Find(text, pos2, len2);
    Check(pos2 == pos && len2 == len);
    return 0;
}
