// Folding text for the search index: every character of a fuzzy-character group (see
// fuzzy_dictionary.h) becomes one member of its group, so that text and query meet whatever
// form each was written in: katakana and half-width kana become hiragana ("カ", "ｶ" → "か";
// "ｶﾞ", "か゛" → "が"), full-width letters and digits become ASCII, kanji numerals and circled
// numbers become digits ("一", "①" → "1"), full-width punctuation becomes ASCII. ASCII letters
// become small. Everything else stays as it is.
//
// The member a group folds to is its first ASCII member, else its first member. Where members
// of several groups could match at one place, the first group in the dictionary's order wins,
// as in a fuzzy pattern ("か゛" is "が", never "か" and "゛").
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// `utf8`: UTF-8 text; bytes that are not UTF-8 pass through unchanged.
std::string FoldForSearch(std::string_view utf8);

}  // namespace pelorin
