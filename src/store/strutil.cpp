#include "store/strutil.h"

namespace pelorin {

std::string Unfold(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            out.push_back(text[i]);
            continue;
        }
        while (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t')) ++i;
    }
    return out;
}

}  // namespace pelorin
