// TREProgram: one compiled pattern, as the pattern cache keeps it.
//
// Compiling runs the pipeline in order: TREParser (scanner and parse tree), TREAlphabet (the
// disjoint classes), TRE_NFA (GenerateStateList with the line-start code 0xFFFD and the
// line-end code 0xFFFE) and TRE_DFA (subset construction). The parse tree is dropped once the
// automata exist. The NFA is kept, because the existence test builds its own automaton
// (TRE_ScanDFA) from it the first time it is asked, once per line separator; Find's skipping
// over positions where no match can start is worked out on first use too.
//
// Bad input raises ERegExpParser from the stage that meets it; nothing is kept then.
#pragma once

#include "select/re_alphabet.h"
#include "select/re_dfa.h"
#include "select/re_nfa.h"
#include "select/re_scan_dfa.h"
#include "select/re_skip.h"

#include <memory>
#include <optional>
#include <string_view>

namespace pelorin {

class TREProgram {
public:
    explicit TREProgram(std::string_view pattern);
    TREProgram(const TREProgram&) = delete;
    TREProgram& operator=(const TREProgram&) = delete;

    const TREAlphabet& Alphabet() const { return *alphabet_; }
    const TRE_NFA& Nfa() const { return *nfa_; }
    const TRE_DFA& Dfa() const { return *dfa_; }
    // The existence automaton for that separator byte (CR or LF); nullptr when it would be
    // too large, in which case callers use Find instead.
    const TRE_ScanDFA* ScanDfa(unsigned char separator) const;
    // How Find skips to the next position where a match can start (for that separator byte);
    // nullptr when it does not skip.
    const TRESkip* FindSkip(unsigned char separator) const;

private:
    std::unique_ptr<TREAlphabet> alphabet_;
    std::unique_ptr<TRE_NFA> nfa_;
    std::unique_ptr<TRE_DFA> dfa_;
    mutable std::unique_ptr<TRE_ScanDFA> scan_[2];  // [0] CR, [1] LF
    mutable bool scan_built_[2] = {false, false};
    mutable std::optional<TRESkip> find_skip_[2];
    mutable bool find_skip_built_[2] = {false, false};
};

}  // namespace pelorin
