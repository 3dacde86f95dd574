// The built-in fuzzy-character dictionary: 145 groups of characters that a fuzzy search
// treats as the same ("a" is also "Ａ", "ａ" and "A"; "か" is also "カ" and "ｶ"; "1" is also
// "１", "一", "①", "Ⅰ" and "壱").
//
// Groups 0-25 are the letters A-Z, each as full-width capital, full-width small, ASCII capital
// and ASCII small. Groups 26-144 are stored as comma texts (see re_dictionary.h), written here
// as UTF-8 and converted once through the CP932 codec. Order matters: a lookup takes the first
// member that matches, so "か゛" (group 73) is found before "か" (group 101), and "ー" expands
// through group 48, never through group 49.
//
// The dictionary is built on first use and shared by every engine instance.
#pragma once

#include "select/re_dictionary.h"

#include <string>
#include <vector>

namespace pelorin {

constexpr size_t kFuzzyCharGroups = 145;

const TREDictionary& FuzzyCharDictionary();

// The source of every group as UTF-8 comma text, group 0 first (for tests: each converted
// group must decode back to these members).
std::vector<std::string> FuzzyCharTextsUtf8();

}  // namespace pelorin
