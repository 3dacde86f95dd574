// The NNTP response parser on arbitrary server output: status lines, GROUP numbers, overview
// lines and data blocks never crash, and a block that DotEncode wrote decodes back to its
// text. Input capped at 64 KiB.
#include "transfer/nntp_response.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace pelorin::transfer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536)
        return 0;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    size_t pos = 0;
    while (pos <= in.size()) {
        size_t nl = in.find('\n', pos);
        std::string_view line = in.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
        NntpStatus s = ParseStatus(line);
        if (s.code != 0 && (s.code < 100 || s.code > 599))
            std::abort();
        GroupReply g = ParseGroupReply(s.text);
        if (g.ok && (g.count < 0 || g.low < 0 || g.high < 0))
            std::abort();
        OverviewLine o = ParseOverview(line);
        if (o.number < 0 || o.bytes < 0 || o.lines < 0)
            std::abort();
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    bool complete = false;
    std::string text = DecodeBlock(in, &complete);
    if (text.size() > in.size() + 1)
        std::abort();
    // Text as the decoder hands it on (LF line ends, no CR before them) survives the round trip.
    std::string plain;
    for (char c : in)
        if (c != '\r')
            plain += c;
    if (!plain.empty() && plain.back() != '\n')
        plain += '\n';
    bool again = false;
    if (DecodeBlock(DotEncode(plain), &again) != plain || !again)
        std::abort();
    return 0;
}
