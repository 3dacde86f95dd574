// TAWKStr: the regular-expression engine as the rest of the program uses it.
//
//   TAWKStr re;
//   re.SetUseFuzzyCharDic(true);
//   re.SetRegExp(Sjis("テスト"));            // may raise ERegExpParser
//   size_t pos, len;
//   re.Find(text, pos, len);                  // 1-based position and byte length, 0 0 if none
//   re.Exists(text);                          // one pass: is there a match at all?
//
// Setting RegExp picks the matcher: the anchored one when the compiled pattern uses line
// start or line end, the plain one otherwise (match_core.h). Setting UseFuzzyCharDic or
// UseSynonymDic stores the switch and sets RegExp again to its current text, so the pattern is
// expanded anew (and can raise). The synonym dictionary starts empty.
#pragma once

#include "select/match_core.h"

#include <cstddef>
#include <string_view>

namespace pelorin {

class TAWKStr : public TMatchCORE {
public:
    void SetRegExp(std::string_view pattern) override;

    bool UseFuzzyCharDic() const { return PreProcessor().UseFuzzyCharDic; }
    void SetUseFuzzyCharDic(bool value);
    bool UseSynonymDic() const { return PreProcessor().UseSynonymDic; }
    void SetUseSynonymDic(bool value);
    // The synonym dictionary, to be filled by the caller (the next set of RegExp uses it).
    TREDictionary& SynonymDic();

    // Searches the whole text. On a match `position` is the 1-based index of its first byte
    // and `length` its length in bytes (possibly 0); without one both are 0. Returns position.
    size_t Find(std::string_view text, size_t& position, size_t& length) const;
    // Whether Find would find a match, in a single pass over the text.
    bool Exists(std::string_view text) const { return MatchExists(text); }

private:
    bool anchored_ = false;
};

}  // namespace pelorin
