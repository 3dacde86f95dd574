// The search query language, parsed into a Qt-free form the index turns into its own query.
//
//   打ち合わせ資料          words: every one must occur (Japanese needs no spaces between them)
//   "weekly report"        a phrase: the words in this order
//   -draft                 must not occur (also -"a phrase", -from:someone)
//   a OR b                 either (binds adjacent terms: "x a OR b y" is x, (a or b), y)
//   from:yamada  to:sato  subject:見積   in that header only (a word or a "phrase")
//   area:fj.test           in that area only (its name, any case)
//   date:2026-01..2026-03  written in that period: YYYY, YYYY-MM or YYYY-MM-DD on either side,
//                          either side may be left out ("date:..2025", "date:2026-02-01..");
//                          without "..", that one year, month or day
//   mark:-  mark:*  mark:+  mark:_   marked so (several mark: terms: any of them)
//   has:attachment         with a part that is not text
//   /pattern/              a regular expression of the condition engine over subject and body
//                          (at most one; "\/" is a "/" inside it)
//
// Words and phrases are folded (search_fold.h) so that they meet the text in every form. Terms
// are separated by blanks (ASCII or full-width). Errors name the problem and where it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

struct SearchQueryError {
    std::string message;  // UTF-8, for the user
    size_t position = 0;  // byte offset in the query, from 0
};

struct SearchTerm {
    enum class Field { Text, From, To, Subject, Area };
    Field field = Field::Text;
    std::string text;  // folded UTF-8 (Area: the area name as typed, in small ASCII letters)
    bool phrase = false;
    bool negated = false;
};

struct SearchQuery {
    // Every clause must hold; a clause holds when any of its terms does.
    std::vector<std::vector<SearchTerm>> clauses;
    std::string dateFrom;  // sort-key prefix ("20260101") of the first day, or empty
    std::string dateTo;    // upper bound of sort keys in the period ("202603~"), or empty
    std::string marks;     // the marks a message may carry; empty: any
    bool hasAttachment = false;
    std::string pattern;  // the regular expression (UTF-8), or empty

    bool Empty() const {
        return clauses.empty() && dateFrom.empty() && dateTo.empty() && marks.empty() &&
               !hasAttachment && pattern.empty();
    }
};

// Throws SearchQueryError.
SearchQuery ParseSearchQuery(std::string_view utf8);

}  // namespace pelorin
