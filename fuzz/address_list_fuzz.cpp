// ParseAddressList on arbitrary header values, read as Shift_JIS and as bytes: no address that
// counts as deliverable holds a blank or a control character (nothing can be smuggled into an
// SMTP command), and a list read without repairs reads the same once written back.
#include "store/address_list.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    for (pelorin::Text text : {pelorin::Text::ShiftJis, pelorin::Text::Bytes}) {
        const pelorin::AddressList list = pelorin::ParseAddressList(in, text);
        for (const pelorin::Mailbox& m : list.mailboxes) {
            if (!m.HasDomain())
                continue;
            for (char c : m.address) {
                const auto b = static_cast<unsigned char>(c);
                if (b <= ' ' || b == 0x7F)
                    std::abort();
            }
        }
        if (!list.problems.empty())
            continue;
        const std::string written = pelorin::FormatAddressList(list, text);
        const pelorin::AddressList again = pelorin::ParseAddressList(written, text);
        std::vector<std::string> a, b;
        for (const pelorin::Mailbox& m : list.mailboxes)
            if (m.HasDomain())
                a.push_back(m.address);
        for (const pelorin::Mailbox& m : again.mailboxes)
            if (m.HasDomain())
                b.push_back(m.address);
        if (a != b)
            std::abort();
    }
    return 0;
}
