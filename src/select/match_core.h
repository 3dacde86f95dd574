// TMatchCORE: the two matchers over the current compiled pattern, and LineSeparator.
//
// Which automaton does what:
//   - TRE_DFA (re_dfa.h) finds the match: it is run from each start position in turn, and the
//     first position that admits a match gives the result, with the longest match there
//     (leftmost, then longest).
//   - TRE_ScanDFA (re_scan_dfa.h) answers only whether a match exists, in one pass. Find asks
//     it first, so a text without a match costs one pass instead of one run per position;
//     conditions use it alone (Exists).
// Between start positions Find skips (re_skip.h) to the next character on which the start
// state has a transition, the next separator when "$" can match at once, and the next LF when
// "^" can: no match can start anywhere else.
//
// The plain matcher serves patterns without line anchors. The anchored matcher serves the
// rest: "^" holds at position 1 and after every LF (whatever LineSeparator says), so at those
// positions a run that starts with the line-start transition is tried as well and the longer
// end kept; "$" holds before the LineSeparator byte (CR for mcls_CRLF, LF for mcls_LF) and at
// the end of the text, so an empty match at the end (position length + 1) is possible.
//
// A run checks for "$" at every position it passes, not only where it stops. A pattern that
// can read the separator itself ("a\r?$" with mcls_CRLF on "a" CR LF) would otherwise run past
// the line end and find nothing at all; checking everywhere gives the leftmost-longest match
// (position 1, length 1) and agrees with the existence test.
//
// Positions: start is a 0-based byte offset here; TAWKStr turns it into the 1-based position.
// A match never starts or ends inside a double-byte character, since runs start only at
// character boundaries and step one character at a time.
#pragma once

#include "select/regular_expression.h"

#include <cstddef>
#include <string_view>

namespace pelorin {

enum TMatchCORELineSeparator { mcls_CRLF = 0, mcls_LF = 1 };

class TMatchCORE : public TRegularExpression {
public:
    TMatchCORELineSeparator LineSeparator() const { return line_separator_; }
    void SetLineSeparator(TMatchCORELineSeparator value) { line_separator_ = value; }

protected:
    struct MatchResult {
        bool found = false;
        size_t start = 0;   // 0-based byte offset
        size_t length = 0;  // bytes
    };
    MatchResult MatchPlain(std::string_view text) const;
    MatchResult MatchAnchored(std::string_view text) const;
    // The existence test: one pass with the scan automaton (or Find when it is too large).
    bool MatchExists(std::string_view text) const;

    unsigned char SeparatorByte() const { return line_separator_ == mcls_LF ? '\n' : '\r'; }

private:
    template <bool kAnchored>
    MatchResult Match(std::string_view text) const;

    TMatchCORELineSeparator line_separator_ = mcls_CRLF;
};

}  // namespace pelorin
