// TREParser: recursive-descent parser from a pattern to a TREParseTree.
//
//   expression = term { "|" term }                 left-nested alternations
//   term       = (empty, before "|", ")" or the end) | factor { factor }
//   factor     = primary [ "*" | "+" | "?" ]       one postfix operator at most
//   primary    = literal | "(" expression ")" | class | negated class | "." | "^" | "$"
//
// "p*" is star(p), "p+" is concat(p, star(p)) over the same subtree p, "p?" is alt(p, empty).
// A class is the alternation of its items in order; a negated class is what is left of the
// three "." ranges once every listed range is cut out of them (so it never matches NUL, CR or
// LF), and the no-character node when nothing is left. The empty pattern and "()" are valid
// and match the empty string.
//
// Bad input raises ERegExpParser at the first byte of the offending token: "[]" and "[^]", a
// "(" without ")", an operator or a stray "]" where a primary is expected (this covers "**"
// and a leading "*"), and tokens left after a complete expression (a stray ")"). Groups nested
// more than kMaxDepth deep are refused as well, so that no pattern can exhaust the stack.
#pragma once

#include "select/re_parse_tree.h"
#include "select/re_scanner.h"

#include <string_view>

namespace pelorin {

class TREParser {
public:
    static constexpr int kMaxDepth = 500;

    explicit TREParser(std::string_view pattern);

    // Parses the whole pattern; returns the root node of Tree().
    TRENodeId Run();
    TREParseTree& Tree() { return tree_; }
    const TREParseTree& Tree() const { return tree_; }

private:
    void Advance() { token_ = scanner_.Next(); }
    bool AtTermEnd() const;
    TRENodeId Expression(int depth);
    TRENodeId Term(int depth);
    TRENodeId Factor(int depth);
    TRENodeId Primary(int depth);
    TRENodeId Class(bool negated, size_t start);

    TREScanner scanner_;
    TREParseTree tree_;
    TREToken token_;
};

}  // namespace pelorin
