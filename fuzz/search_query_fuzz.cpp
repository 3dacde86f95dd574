// Fuzz target: the search query language and the folding of its words. Any input either
// parses or fails with a position inside the query; parsed words are folded text that folds
// to itself, and a date range's bounds are in order.
#include "select/search_fold.h"
#include "select/search_query.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string query(reinterpret_cast<const char*>(data), size);
    try {
        const pelorin::SearchQuery q = pelorin::ParseSearchQuery(query);
        for (const auto& clause : q.clauses) {
            Check(!clause.empty());
            for (const auto& term : clause) {
                Check(!term.text.empty());
                if (term.field != pelorin::SearchTerm::Field::Area)
                    Check(pelorin::FoldForSearch(term.text) == term.text);
            }
        }
        if (!q.dateFrom.empty() && !q.dateTo.empty())
            Check(q.dateFrom <= q.dateTo);
    } catch (const pelorin::SearchQueryError& e) {
        Check(e.position <= query.size());
        Check(!e.message.empty());
    }
    return 0;
}
