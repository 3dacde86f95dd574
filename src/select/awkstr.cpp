// TAWKStr. See awkstr.h.
#include "select/awkstr.h"

#include <string>

namespace pelorin {

void TAWKStr::SetRegExp(std::string_view pattern) {
    try {
        TMatchCORE::SetRegExp(pattern);
    } catch (...) {
        anchored_ = false;  // the empty pattern is current now
        throw;
    }
    const TRE_DFA& dfa = Current().Dfa();
    anchored_ = dfa.UsesLineStart() || dfa.UsesLineEnd();
}

void TAWKStr::SetUseFuzzyCharDic(bool value) {
    PreProcessor().UseFuzzyCharDic = value;
    SetRegExp(std::string(RegExp()));
}

void TAWKStr::SetUseSynonymDic(bool value) {
    PreProcessor().UseSynonymDic = value;
    SetRegExp(std::string(RegExp()));
}

TREDictionary& TAWKStr::SynonymDic() {
    InvalidateExpansions();
    return PreProcessor().SynonymDic();
}

size_t TAWKStr::Find(std::string_view text, size_t& position, size_t& length) const {
    MatchResult m = anchored_ ? MatchAnchored(text) : MatchPlain(text);
    position = m.found ? m.start + 1 : 0;
    length = m.found ? m.length : 0;
    return position;
}

}  // namespace pelorin
