// A generated area for the selection benchmarks: subjects and bodies of 100,000 messages in
// Shift_JIS, the way conditions see them (bodies with CR LF line ends), and the same texts in
// UTF-8 for the baseline library. Deterministic: the same seed gives the same area.
//
// Each kind of text lies in one contiguous buffer, in message order, so that both engines read
// memory the same streaming way; with one heap block per text, the first cache miss of every
// text would cost more than the matching itself and the numbers would compare allocators.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin::bench {

struct Texts {
    std::string buffer;                   // all texts, one after another
    std::vector<std::string_view> items;  // views into buffer
};

struct AreaCorpus {
    Texts subjects;  // Shift_JIS
    Texts bodies;    // Shift_JIS
    Texts subjects_utf8;
    Texts bodies_utf8;
};

// Built once, on first use.
const AreaCorpus& Corpus();

}  // namespace pelorin::bench
