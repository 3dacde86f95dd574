// A search over open packets, as the search window and the command-line companion run it:
// the index narrows the messages (search_index.h), then the marks the packets hold and the
// query's regular expression (the condition engine's, over subject and body) decide. A query
// that gives the index nothing to narrow by (a pattern or marks alone) is run over every
// message of the packets. Areas that hold results are loaded, as opening them would.
#pragma once

#include "select/search_index.h"
#include "select/search_query.h"

#include <functional>
#include <string>
#include <vector>

namespace pelorin {

class TGrp;
class TMsg;
class TSoup;

struct FoundMessage {
    TSoup* packet = nullptr;
    TGrp* area = nullptr;
    TMsg* msg = nullptr;
};

// Newest first. `fuzzy`: the pattern is widened by the fuzzy-character dictionary. Throws
// SearchQueryError for a pattern the engine cannot read. `cancelled` (may be empty) is asked
// between areas.
std::vector<FoundMessage> RunSearch(SearchIndex& index,
                                    const SearchQuery& query,
                                    const std::vector<TSoup*>& packets,
                                    bool fuzzy = true,
                                    const std::function<bool()>& cancelled = {});

// One line of the message's text around the first place a word of the query occurs (folded
// text compared), at most `width` characters, with the words found between "【" and "】";
// the subject when nothing is found in the body. UTF-8.
std::string SearchSnippet(TMsg& msg, const SearchQuery& query, size_t width = 80);

}  // namespace pelorin
