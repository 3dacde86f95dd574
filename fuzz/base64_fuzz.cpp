// Base64Decode and QPDecode on arbitrary bytes: bounded output, no crash; base64 of any bytes
// decodes back to them.
#include "coding/base64.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (pelorin::Base64Decode(in).size() > size)
        std::abort();
    if (pelorin::QPDecode(in).size() > size)
        std::abort();
    if (pelorin::Base64Decode(pelorin::Base64Encode(in)) != in)
        std::abort();
    return 0;
}
