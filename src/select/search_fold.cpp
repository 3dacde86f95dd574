// Folding text for the search index: see search_fold.h.
#include "select/search_fold.h"

#include "select/fuzzy_dictionary.h"
#include "select/re_dictionary.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace pelorin {
namespace {

// The length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

struct Member {
    std::string text;
    std::string folded;
};

// Members by their first character, in the dictionary's order.
class FoldTable {
public:
    FoldTable() {
        for (const std::string& group : FuzzyCharTextsUtf8()) {
            const std::vector<std::string> members = SplitCommaText(group);
            std::string target;
            for (const std::string& m : members) {
                if (m.size() == 1 && static_cast<unsigned char>(m[0]) < 0x80) {
                    target = m;
                    break;
                }
            }
            if (target.empty() && !members.empty())
                target = members.front();
            for (char& c : target)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            for (const std::string& m : members) {
                if (m.empty())
                    continue;
                byFirst_[FirstCode(m)].push_back({m, target});
            }
        }
    }
    const std::vector<Member>* Find(std::string_view first) const {
        auto it = byFirst_.find(FirstCode(first));
        return it == byFirst_.end() ? nullptr : &it->second;
    }

private:
    // The bytes of the first character as one number: a key that costs no allocation.
    static uint32_t FirstCode(std::string_view text) {
        const size_t n = std::min(text.size(), SequenceLength(static_cast<unsigned char>(text[0])));
        uint32_t code = 0;
        for (size_t i = 0; i < n; ++i) code = code << 8 | static_cast<unsigned char>(text[i]);
        return code;
    }
    std::unordered_map<uint32_t, std::vector<Member>> byFirst_;
};

const FoldTable& Table() {
    static const FoldTable table;
    return table;
}

}  // namespace

std::string FoldForSearch(std::string_view utf8) {
    const FoldTable& table = Table();
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        if (lead < 0x80) {
            // Plain ASCII is the common case: letters become small, the rest stays.
            out += lead >= 'A' && lead <= 'Z' ? static_cast<char>(lead - 'A' + 'a')
                                              : static_cast<char>(lead);
            ++pos;
            continue;
        }
        const size_t n = std::min(SequenceLength(lead), utf8.size() - pos);
        const std::string_view first = utf8.substr(pos, n);
        bool matched = false;
        if (const std::vector<Member>* members = table.Find(first)) {
            for (const Member& m : *members) {
                if (utf8.substr(pos).starts_with(m.text)) {
                    out += m.folded;
                    pos += m.text.size();
                    matched = true;
                    break;
                }
            }
        }
        if (!matched) {
            out += first;
            pos += n;
        }
    }
    return out;
}

}  // namespace pelorin
