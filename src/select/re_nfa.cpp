// TRE_NFA and TRE_NFAStateSet. See re_nfa.h for the construction.
#include "select/re_nfa.h"

#include "select/re_char.h"
#include "select/re_error.h"

#include <cstdio>
#include <stdexcept>

namespace pelorin {

std::vector<int32_t> TRE_NFAStateSet::Members() const {
    std::vector<int32_t> out;
    for (size_t i = 0; i < bytes_.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes_[i]);
        while (b) {
            int bit = __builtin_ctz(b);
            out.push_back(static_cast<int32_t>(i * 8 + static_cast<size_t>(bit)));
            b = static_cast<unsigned char>(b & (b - 1));
        }
    }
    return out;
}

int32_t TRE_NFA::NewState(size_t error_position) {
    if (states_.size() >= kMaxStates)
        throw ERegExpParser(TREError::TooComplex, error_position);
    states_.emplace_back();
    return static_cast<int32_t>(states_.size() - 1);
}

TRE_NFA::TRE_NFA(const TREParseTree& tree,
                 TRENodeId root,
                 const TREAlphabet& alphabet,
                 size_t error_position) {
    NewState(error_position);  // 0: start
    NewState(error_position);  // 1: final
    using Kind = TRE_NFATransition::Kind;
    auto epsilon = [this](int32_t from, int32_t to) {
        states_[static_cast<size_t>(from)].push_back(
            {Kind::Epsilon, re::kEpsilonCode, re::kEpsilonCode, 0, 0, to});
    };
    auto range = [&](int32_t from, int32_t to, unsigned low, unsigned high) {
        states_[static_cast<size_t>(from)].push_back(
            {Kind::Range, low, high, alphabet.ClassOf(low), alphabet.ClassOf(high), to});
    };

    struct Work {
        TRENodeId node;
        int32_t from;
        int32_t to;
    };
    std::vector<Work> stack = {{root, kStart, kFinal}};
    size_t work = 0;
    while (!stack.empty()) {
        if (++work > kMaxWork)
            throw ERegExpParser(TREError::TooComplex, error_position);
        Work w = stack.back();
        stack.pop_back();
        const TRENode& n = tree.Node(w.node);
        switch (n.kind) {
            case TRENodeKind::Range:
                range(w.from, w.to, n.low, n.high);
                break;
            case TRENodeKind::LineStart:
                if (w.from == kStart) {
                    states_[static_cast<size_t>(w.from)].push_back(
                        {Kind::LineStart, re::kLineStartCode, re::kLineStartCode, 0, 0, w.to});
                    uses_line_start_ = true;
                } else {
                    range(w.from, w.to, n.low, n.low);
                }
                break;
            case TRENodeKind::LineEnd:
                if (w.to == kFinal) {
                    states_[static_cast<size_t>(w.from)].push_back(
                        {Kind::LineEnd, re::kLineEndCode, re::kLineEndCode, 0, 0, w.to});
                    uses_line_end_ = true;
                } else {
                    range(w.from, w.to, n.low, n.low);
                }
                break;
            case TRENodeKind::Concat: {
                int32_t s = NewState(error_position);
                // Pushed in reverse so that the left side is built first.
                stack.push_back({n.right, s, w.to});
                stack.push_back({n.left, w.from, s});
                break;
            }
            case TRENodeKind::Alternation:
                stack.push_back({n.right, w.from, w.to});
                stack.push_back({n.left, w.from, w.to});
                break;
            case TRENodeKind::Star: {
                int32_t s1 = NewState(error_position);
                int32_t s2 = NewState(error_position);
                epsilon(w.from, s1);
                epsilon(s2, s1);
                epsilon(s1, w.to);
                stack.push_back({n.left, s1, s2});
                break;
            }
            case TRENodeKind::Empty:
                epsilon(w.from, w.to);
                break;
            case TRENodeKind::NoChar:
                break;
            default:
                throw std::logic_error("This cannot happen in TRE_NFA.GenerateStateList");
        }
    }
}

void TRE_NFA::Close(TRE_NFAStateSet& set) const {
    std::vector<int32_t> stack = set.Members();
    while (!stack.empty()) {
        int32_t s = stack.back();
        stack.pop_back();
        for (const TRE_NFATransition& t : states_[static_cast<size_t>(s)]) {
            if (t.kind == TRE_NFATransition::Kind::Epsilon &&
                set.Include(static_cast<size_t>(t.target)))
                stack.push_back(t.target);
        }
    }
}

std::string TRE_NFA::Dump() const {
    std::string out;
    char buf[48];
    for (size_t s = 0; s < states_.size(); ++s) {
        std::snprintf(buf, sizeof buf, "%zu:", s);
        out += buf;
        for (const TRE_NFATransition& t : states_[s]) {
            switch (t.kind) {
                case TRE_NFATransition::Kind::Range:
                    if (t.low == t.high)
                        std::snprintf(buf, sizeof buf, " %x->%d", t.low, t.target);
                    else
                        std::snprintf(buf, sizeof buf, " %x-%x->%d", t.low, t.high, t.target);
                    break;
                case TRE_NFATransition::Kind::LineStart:
                    std::snprintf(buf, sizeof buf, " ^->%d", t.target);
                    break;
                case TRE_NFATransition::Kind::LineEnd:
                    std::snprintf(buf, sizeof buf, " $->%d", t.target);
                    break;
                case TRE_NFATransition::Kind::Epsilon:
                    std::snprintf(buf, sizeof buf, " e->%d", t.target);
                    break;
            }
            out += buf;
        }
        out += '\n';
    }
    return out;
}

}  // namespace pelorin
