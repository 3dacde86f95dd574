// TREParser. See re_parser.h for the grammar and for what happens to bad input.
#include "select/re_parser.h"

#include "select/re_char.h"
#include "select/re_error.h"

#include <algorithm>
#include <vector>

namespace pelorin {

TREParser::TREParser(std::string_view pattern)
    : scanner_(pattern) {}

TRENodeId TREParser::Run() {
    Advance();
    TRENodeId root = Expression(0);
    if (token_.kind != TRETokenKind::End)
        throw ERegExpParser(TREError::ExtraCharacters, token_.start);
    return root;
}

bool TREParser::AtTermEnd() const {
    return token_.kind == TRETokenKind::Alternation || token_.kind == TRETokenKind::GroupClose ||
           token_.kind == TRETokenKind::End;
}

TRENodeId TREParser::Expression(int depth) {
    TRENodeId node = Term(depth);
    while (token_.kind == TRETokenKind::Alternation) {
        Advance();
        node = tree_.Alternation(node, Term(depth));
    }
    return node;
}

TRENodeId TREParser::Term(int depth) {
    if (AtTermEnd())
        return tree_.Empty();
    TRENodeId node = Factor(depth);
    while (!AtTermEnd()) node = tree_.Concat(node, Factor(depth));
    return node;
}

TRENodeId TREParser::Factor(int depth) {
    TRENodeId p = Primary(depth);
    switch (token_.kind) {
        case TRETokenKind::Star:
            Advance();
            return tree_.Star(p);
        case TRETokenKind::Plus:
            Advance();
            return tree_.Concat(p, tree_.Star(p));
        case TRETokenKind::Optional:
            Advance();
            return tree_.Alternation(p, tree_.Empty());
        default:
            return p;
    }
}

TRENodeId TREParser::Primary(int depth) {
    TREToken t = token_;
    switch (t.kind) {
        case TRETokenKind::Literal:
            Advance();
            return tree_.Leaf(t.code, t.code);
        case TRETokenKind::GroupOpen: {
            if (depth >= kMaxDepth)
                throw ERegExpParser(TREError::TooDeep, t.start);
            Advance();
            TRENodeId inner = Expression(depth + 1);
            if (token_.kind != TRETokenKind::GroupClose)
                throw ERegExpParser(TREError::NeedRightParen, token_.start);
            Advance();
            return inner;
        }
        case TRETokenKind::ClassOpen:
        case TRETokenKind::NegClassOpen:
            Advance();
            return Class(t.kind == TRETokenKind::NegClassOpen, t.start);
        case TRETokenKind::AnyChar:
            Advance();
            return tree_.AnyChar();
        case TRETokenKind::LineStart:
            Advance();
            return tree_.LineStart(t.code);
        case TRETokenKind::LineEnd:
            Advance();
            return tree_.LineEnd(t.code);
        default:
            throw ERegExpParser(TREError::NeedPrimary, t.start);
    }
}

TRENodeId TREParser::Class(bool negated, size_t start) {
    // The scanner is in class mode: only literals, ranges and the closing bracket come here.
    std::vector<re::CodeRange> items;
    while (token_.kind != TRETokenKind::ClassClose) {
        if (token_.kind == TRETokenKind::Literal)
            items.push_back({token_.code, token_.code});
        else
            items.push_back({token_.code, token_.code2});
        Advance();
    }
    if (items.empty())
        throw ERegExpParser(TREError::BadClass, start);
    Advance();

    if (!negated) {
        TRENodeId node = tree_.Leaf(items[0].low, items[0].high);
        for (size_t i = 1; i < items.size(); ++i)
            node = tree_.Alternation(node, tree_.Leaf(items[i].low, items[i].high));
        return node;
    }

    // Cut each listed range out of the "." ranges; what is left, in ascending order, is the
    // class. Cutting in any order gives the same remainder, so the listed ranges need not be
    // made disjoint first.
    std::vector<re::CodeRange> left(re::kAnyCharRanges.begin(), re::kAnyCharRanges.end());
    for (const re::CodeRange& cut : items) {
        std::vector<re::CodeRange> next;
        for (const re::CodeRange& r : left) {
            if (cut.high < r.low || cut.low > r.high) {
                next.push_back(r);
                continue;
            }
            if (cut.low > r.low)
                next.push_back({r.low, cut.low - 1});
            if (cut.high < r.high)
                next.push_back({cut.high + 1, r.high});
        }
        left.swap(next);
    }
    if (left.empty())
        return tree_.NoChar();
    std::sort(left.begin(), left.end(),
              [](const re::CodeRange& a, const re::CodeRange& b) { return a.low < b.low; });
    TRENodeId node = tree_.Leaf(left[0].low, left[0].high);
    for (size_t i = 1; i < left.size(); ++i)
        node = tree_.Alternation(node, tree_.Leaf(left[i].low, left[i].high));
    return node;
}

}  // namespace pelorin
