// The pieces of the header-word reader that a reader of a value arriving in blocks needs
// (header_stream.cpp): where words start, and how the text between two words loses its folds.
// Not for other callers: header_words.h is the interface.
#pragma once

#include "coding/charset.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin::header_scan {

// One "=?charset?" found in a value.
struct WordStart {
    size_t at = std::string_view::npos;  // where "=?" stands
    size_t letter_at = 0;                // the encoding letter, after the charset's "?"
    std::string_view charset;
    CharsetKind kind = CharsetKind::Unknown;
    // Only when the value is not complete: whether "=?" at `at` starts a word depends on bytes
    // that have not come yet.
    bool undecided = false;
};

// The next encoded word from `pos` on. An "=?ISO-2022-JP?" always starts one; another charset
// starts one only when iconv knows it and the word is whole (B or Q, "?", payload, "?=").
// `complete` false: `value` is only the start of the value, and the search stops (`undecided`)
// at the first "=?" that a "?=" among the bytes still to come would make a word.
WordStart FindWord(std::string_view value, size_t pos, bool complete = true);

// The first place of LF + `blank` in `text` from `from` on, or npos.
size_t FindFold(std::string_view text, char blank, size_t from = 0);

// Appends the text between words with its first LF + space, and then (in what is left) its
// first LF + TAB, taken out.
void AppendBetweenWords(std::string& out, std::string_view between);

}  // namespace pelorin::header_scan
