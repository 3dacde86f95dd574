// SjisToJis on arbitrary bytes. Checks what header encoding relies on: text outside kanji runs
// is 7-bit (inside a run, user-defined characters of lead bytes 0xF0-0xFC have no JIS row and
// come out as their arithmetic 8-bit codes), every ESC $B run is closed by ESC (J on the line, and reading it back gives the input's
// characters (double-byte characters of the JIS rows, with half-width katakana made
// full-width).
#include "coding/jis.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string out = pelorin::SjisToJis(in);
    if (in.find('\x1B') != std::string_view::npos)
        return 0;  // escapes typed into the text pass through as they are
    bool open = false;
    for (size_t i = 0; i < out.size(); ++i) {
        auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0x80 && !open)
            std::abort();
        if (b == 0x1B && i + 2 < out.size()) {
            if (out.compare(i, 3, "\x1B$B") == 0) {
                if (open)
                    std::abort();
                open = true;
            } else if (out.compare(i, 3, "\x1B(J") == 0) {
                if (!open)
                    std::abort();
                open = false;
            }
        }
    }
    if (open)
        std::abort();
    // Input made only of ASCII (no ESC, SO, SI) and JIS-row characters reads back unchanged.
    bool plain = true;
    for (size_t i = 0; i < in.size() && plain; ++i) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b == 0x1B || b == 0x0E || b == 0x0F || b >= 0x80) {
            if (pelorin::IsSjisLeadByte(b) && b <= 0xEF && i + 1 < in.size() &&
                pelorin::IsSjisTrailByte(static_cast<unsigned char>(in[i + 1])) &&
                in[i + 1] != 0x7F) {
                ++i;
                continue;
            }
            plain = false;
        }
    }
    if (plain && pelorin::JisToSjis(out) != in)
        std::abort();
    return 0;
}
