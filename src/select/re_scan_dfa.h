// TRE_ScanDFA: the existence test. One pass over a text says whether the pattern matches
// anywhere in it, without finding where.
//
// Conditions test every message of an area with the same few patterns and only need a yes or
// no, so instead of running the DFA of re_dfa.h from every start position this automaton runs
// once. Its states are the sets of NFA states alive after each character when a new match may
// begin at every character boundary:
//
//   U(start)  = closure({0} + line-start targets)            position 1 is a line start
//   U(next)   = closure(move(U, c) + {0})                    after an ordinary character c
//   U(next)   = closure(move(U, LF) + {0} + line-start targets)   after LF
//
// Any set holding NFA state 1 is a match, and so is the separator character of LineSeparator
// (CR or LF, each a class of its own) read in a state with a line-end transition; at the end
// of the text a state with a line-end transition matches too. Since the separator decides
// the "$" transitions, one automaton is built per separator.
//
// The scan runs byte by byte, one table lookup per byte: next = table[state + byte], where a
// state is the offset of its 256-entry row. A lead byte leads to an intermediate row that
// waits for the second byte (and remembers, for a lead byte that turns out to be the last byte
// of the text, where that one-byte character would lead). Row 0 is the match; the rows after it
// are the states the scan treats specially (skipping, or no match possible any more), so the
// loop tests one bound per byte, as RE2's DFA does.
//
// Skipping (re_skip.h): a state that most characters leave alone looks for the next byte
// that can change it. For the existence test a character matters in state s when it takes s
// anywhere but back to s; after a one-byte character b (which leads to A) a next character
// matters when it takes A anywhere but back to s or to where it would take s itself (a fresh
// start there), so that "@" followed by anything but "e" lets the scan carry on in s.
//
// Built on first use, whole, with a budget (kMaxStates character states, kMaxBytes of rows);
// Build answers nullptr when the budget is exceeded and the caller falls back to Find.
// Patterns like "a(a|b)(a|b)..." have a small automaton for Find and an exponential one here.
#pragma once

#include "select/re_alphabet.h"
#include "select/re_nfa.h"
#include "select/re_skip.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace pelorin {

class TRE_ScanDFA {
public:
    static constexpr size_t kMaxStates = 3000;
    static constexpr size_t kMaxBytes = size_t{8} << 20;

    // Nullptr when the automaton would outgrow its budget.
    static std::unique_ptr<TRE_ScanDFA> Build(const TRE_NFA& nfa,
                                              const TREAlphabet& alphabet,
                                              unsigned char separator);

    // True when the pattern matches somewhere in `text`.
    bool Scan(std::string_view text) const;

    size_t RowCount() const { return end_match_.size(); }
    size_t SkippingStates() const { return special_rows_ - 1; }

private:
    TRE_ScanDFA() = default;

    std::vector<uint32_t> table_;     // rows of 256 targets (row offsets); row 0 = match
    std::vector<uint8_t> end_match_;  // per row: a match when the text ends here
    std::vector<TRESkip> skip_;       // per special row (index 0 unused)
    uint32_t special_rows_ = 1;       // rows 1 .. special_rows_ - 1 skip or are dead
    uint32_t init_ = 0;               // row offset of the start; 0 when "" matches
};

}  // namespace pelorin
