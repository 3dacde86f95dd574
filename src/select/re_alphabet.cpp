// TREAlphabet. See re_alphabet.h.
#include "select/re_alphabet.h"

#include "select/re_error.h"

#include <algorithm>
#include <map>

namespace pelorin {

TREAlphabet::TREAlphabet(const TREParseTree& tree, size_t error_position) {
    std::vector<unsigned> cuts = {0x00, 0x01, 0x0A, 0x0B, 0x0D, 0x0E};
    auto add = [&](unsigned low, unsigned high) {
        cuts.push_back(low);
        if (high < re::kMaxCode)
            cuts.push_back(high + 1);
    };
    for (size_t i = 0; i < tree.Size(); ++i) {
        const TRENode& n = tree.Node(static_cast<TRENodeId>(i));
        if (n.kind == TRENodeKind::Range)
            add(n.low, n.high);
        else if (n.kind == TRENodeKind::LineStart || n.kind == TRENodeKind::LineEnd)
            add(n.low, n.low);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    if (cuts.size() > 0xFFFF)
        throw ERegExpParser(TREError::TooComplex, error_position);
    bounds_ = std::move(cuts);

    // A page holds one class unless a class starts strictly inside it. Only such pages are
    // filled code by code; the others share one stored page per class.
    std::map<uint16_t, size_t> uniform;
    std::array<size_t, 256>& index = index_;
    storage_.reserve(256);
    for (unsigned h = 0; h < 256; ++h) {
        const unsigned base = h << 8;
        auto next = std::upper_bound(bounds_.begin(), bounds_.end(), base);
        auto k = static_cast<size_t>(next - bounds_.begin()) - 1;
        if (next == bounds_.end() || *next > base + 255) {
            auto [it, inserted] = uniform.try_emplace(static_cast<uint16_t>(k), storage_.size());
            if (inserted) {
                storage_.emplace_back();
                storage_.back().fill(static_cast<uint16_t>(k));
            }
            index[h] = it->second;
            continue;
        }
        index[h] = storage_.size();
        Page& page = storage_.emplace_back();
        for (unsigned t = 0; t < 256; ++t) {
            while (k + 1 < bounds_.size() && bounds_[k + 1] <= base + t) ++k;
            page[t] = static_cast<uint16_t>(k);
        }
    }
    for (size_t p = 0; p < 256; ++p) pages_[p] = &storage_[index[p]];
    for (const Page& page : storage_) {
        std::vector<uint16_t>& v = classes_of_.emplace_back(1, page[0]);
        if (page[0] == page[255])
            continue;  // classes ascend along a page: first == last means one class
        for (uint16_t k : page) {
            if (v.back() != k)
                v.push_back(k);
        }
    }
}

re::CodeRange TREAlphabet::Codes(uint32_t k) const {
    unsigned high = k + 1 < bounds_.size() ? bounds_[k + 1] - 1 : re::kMaxCode;
    return {bounds_[k], high};
}

}  // namespace pelorin
