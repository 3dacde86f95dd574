// The IMAP response reader on arbitrary server output: framing, parsing and FETCH items never
// crash, hold no literal longer than the limit, and keep their promises (a UID is 1 to
// 2^32-1, a size is not negative). Input capped at 64 KiB.
#include "transfer/imap_response.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace pelorin::transfer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536)
        return 0;
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    constexpr uint64_t kLimit = 256;
    std::string error;
    for (ImapRawResponse& raw : SplitResponses(in, kLimit, &error)) {
        if (raw.literals.size() > ImapFramer::kMaxPieces || raw.text.size() > in.size())
            std::abort();
        for (const ImapRawResponse::Literal& lit : raw.literals)
            if (lit.bytes.size() > kLimit || (lit.kept && lit.bytes.size() != lit.size))
                std::abort();
        ImapResponse r = ParseResponse(raw);
        if (!r.malformed.empty())
            continue;
        if (r.type == ImapResponse::Type::Tagged && r.status.empty())
            std::abort();
        if (r.name == "FETCH") {
            ImapFetch f = ParseFetch(r);
            if (f.malformed.empty() &&
                (f.size < -1 || f.body.size() > kLimit || (f.bodyDropped && f.bodySize <= kLimit)))
                std::abort();
        }
    }
    // What the client writes from server-given text stays one line.
    if (std::optional<std::string> q = Quoted(in);
        q && q->find_first_of("\r\n") != std::string::npos)
        std::abort();
    // A mailbox name comes out as 7-bit text.
    for (char c : MailboxName(in))
        if (static_cast<unsigned char>(c) > 0x7F)
            std::abort();
    return 0;
}
