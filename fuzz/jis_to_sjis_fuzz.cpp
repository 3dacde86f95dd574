// JisToSjis on arbitrary bytes: must not crash or read past the input, and never grows the
// text by more than the bracketed hex form allows (3 bytes out per byte in).
#include "coding/jis.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string out = pelorin::JisToSjis(in);
    if (out.size() > 3 * in.size())
        std::abort();
    return 0;
}
