// TREPreProcessor: dictionary expansion of a pattern before it is compiled.
//
// ExpandPattern runs one pass with the synonym dictionary when UseSynonymDic is on, then one
// pass with each dictionary of the fuzzy list (the built-in fuzzy-character dictionary) when
// UseFuzzyCharDic is on. With both off the pattern is returned as it is.
//
// One pass scans the pattern into tokens (re_scanner.h) and copies each token's source text,
// except within runs of literal tokens outside classes: there the longest-first dictionary
// lookup of re_dictionary.h is tried at each token, and a hit writes the whole group as
// "(m1|m2|...)" with every member quoted and goes on after the tokens it matched. Matching
// compares character codes, so "\(" matches the member "(" and "\x41" matches "A". Class
// contents and ranges are never expanded.
//
// Example: "ab" becomes "(Ａ|ａ|A|a)(Ｂ|ｂ|B|b)"; "ー" becomes "(ー|～|ｰ|)".
//
// Bad input: the scanner's errors (a backslash at the end, a lone lead byte at the end, an
// unclosed class ...) are raised from here as ERegExpParser, before anything is compiled.
#pragma once

#include "select/re_dictionary.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class TREPreProcessor {
public:
    // The fuzzy list starts with the built-in dictionary as its only entry; the synonym
    // dictionary starts empty.
    TREPreProcessor();

    bool UseFuzzyCharDic = false;
    bool UseSynonymDic = false;

    // With `origin`, also where each byte of the result came from: origin[i] is the 1-based
    // position in `pattern` of the token that byte i belongs to (or of its own byte, for text
    // copied as it stands), and one more entry maps the end (pattern length + 1). Errors found
    // in the expanded text can so be reported where the user wrote them.
    std::string ExpandPattern(std::string_view pattern,
                              std::vector<size_t>* origin = nullptr) const;

    // One pass over `pattern` with `dictionary`; `origin` as for ExpandPattern.
    static std::string Pass(std::string_view pattern,
                            const TREDictionary& dictionary,
                            std::vector<size_t>* origin = nullptr);

    TREDictionary& SynonymDic() { return synonym_; }
    const TREDictionary& SynonymDic() const { return synonym_; }
    std::vector<const TREDictionary*>& FuzzyDics() { return fuzzy_; }

private:
    TREDictionary synonym_;
    std::vector<const TREDictionary*> fuzzy_;
};

}  // namespace pelorin
