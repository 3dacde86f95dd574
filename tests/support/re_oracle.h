// A brute-force leftmost-longest matcher for the differential tests of the regular-expression
// engine (tests only; never linked into the program).
//
// It shares no code with the engine: it parses the pattern itself (same dialect: literals and
// escapes, "|", "()", "*", "+", "?", classes, negated classes, ".", "^", "$") into a small
// tree and matches by computing, for each start position in turn, the set of all positions
// where the pattern can end. "^" is a line anchor only where it can begin a match and "$" only
// where it can end one (decided by the node's place in the tree); elsewhere they are the
// literal characters. "^" holds at the start of the text and after LF, "$" before the
// separator byte and at the end of the text. Text is read as the engine's characters: a lead
// byte 0x81-0x9F/0xE0-0xFC takes the next byte with it, except as the last byte.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace pelorin::testing {

struct OracleMatch {
    size_t position = 0;  // 1-based; 0 when there is no match
    size_t length = 0;
};

// One pattern, parsed once, for many texts.
class RegexOracle {
public:
    explicit RegexOracle(std::string_view pattern);
    ~RegexOracle();
    // False when the oracle finds the pattern malformed.
    bool Valid() const { return root_ != nullptr; }
    // The leftmost-longest match (the pattern must be valid).
    OracleMatch Find(std::string_view text, char separator = '\r') const;

private:
    std::shared_ptr<const void> root_;
};

// nullopt when the oracle finds the pattern malformed.
std::optional<OracleMatch> OracleFind(std::string_view pattern,
                                      std::string_view text,
                                      char separator = '\r');

}  // namespace pelorin::testing
