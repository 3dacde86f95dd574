// TMIMEc.Parse on arbitrary messages, then DecodeText on every leaf. The length of the input
// picks show-headers mode and DecodeAsHeader, so the seeds stay plain message text.
//
// Checked: the leaf walk and Leaf(i) agree, no part is nested deeper than the bound, a second
// DecodeText leaves a leaf as the first one made it, and a leaf read through Unicode has one
// well-formed UTF-8 line for each of its Shift_JIS lines.
#include "coding/charset.h"
#include "coding/mime.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < in.size()) {
        size_t lf = in.find('\n', pos);
        size_t end = lf == std::string_view::npos ? in.size() : lf;
        lines.emplace_back(in.substr(pos, end - pos));
        pos = end + 1;
    }

    pelorin::TMIMEc mime(size % 4 >= 2);
    mime.Root.ParseBody = size % 2 == 0;
    mime.Parse(lines);

    std::vector<pelorin::TMIMEPart*> leaves = mime.Root.Leaves();
    if (leaves.size() != mime.Root.LeafCount() || mime.Root.Leaf(leaves.size()) != nullptr)
        std::abort();
    for (size_t i = 0; i < leaves.size(); ++i) {
        pelorin::TMIMEPart* leaf = leaves[i];
        if (mime.Root.Leaf(i) != leaf || leaf->Level() > pelorin::kMaxMimeLevel)
            std::abort();
        leaf->DecodeText();
        const std::vector<std::string> once = leaf->Body;
        leaf->DecodeText();
        if (leaf->Body != once)
            std::abort();
        if (!leaf->Text.empty() && leaf->Text.size() != leaf->Body.size())
            std::abort();
        for (const std::string& line : leaf->Text) {
            if (!pelorin::IsUtf8(line))
                std::abort();
        }
        leaf->RotBody();
    }
    return 0;
}
