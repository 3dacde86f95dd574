// DecodeHeaderWords on arbitrary header values, and EncodeHeaderWords on the SjisToJis form of
// arbitrary text: encoding then decoding must give the JIS text back.
#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/strutil.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string decoded = pelorin::DecodeHeaderWords(in);
    (void)pelorin::JisToSjis(pelorin::Unfold(decoded));

    // Header lines never hold line breaks or "=?" of their own when they are written.
    std::string line;
    for (char c : in) {
        if (c != '\n' && c != '\r' && c != '?' && c != '=')
            line.push_back(c);
    }
    std::string jis = pelorin::SjisToJis(line);
    std::string encoded = pelorin::EncodeHeaderWords(jis);
    if (pelorin::Unfold(pelorin::DecodeHeaderWords(encoded)) != pelorin::Unfold(jis))
        std::abort();
    return 0;
}
