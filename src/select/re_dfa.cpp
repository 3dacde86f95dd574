// TRE_DFA and TREMoveSweep. See re_dfa.h for the construction and its bounds.
#include "select/re_dfa.h"

#include "select/re_char.h"
#include "select/re_error.h"

#include <unordered_map>

namespace pelorin {

TREMoveSweep::TREMoveSweep(const TRE_NFA& nfa)
    : nfa_(nfa)
    , count_(nfa.StateCount(), 0)
    , active_(nfa.StateCount()) {}

TRE_DFA::TRE_DFA(const TRE_NFA& nfa, const TREAlphabet& alphabet, size_t error_position)
    : alphabet_(&alphabet)
    , classes_(alphabet.Count())
    , uses_line_start_(nfa.UsesLineStart())
    , uses_line_end_(nfa.UsesLineEnd()) {
    std::unordered_map<std::string, int32_t> closed_index;  // closed set -> state
    std::unordered_map<std::string, int32_t> raw_index;     // unclosed targets -> state
    size_t bytes = 0;

    auto intern_closed = [&](const TRE_NFAStateSet& set) -> int32_t {
        auto it = closed_index.find(set.Bytes());
        if (it != closed_index.end())
            return it->second;
        bytes += size_t{classes_} * sizeof(int32_t) + 3 * set.Bytes().size() + 96;
        if (states_.size() >= kMaxStates || bytes > kMaxBytes)
            throw ERegExpParser(TREError::TooComplex, error_position);
        auto id = static_cast<int32_t>(states_.size());
        states_.push_back({set, set.Has(TRE_NFA::kFinal), kNone, kNone});
        table_.resize(table_.size() + classes_, kNone);
        closed_index.emplace(set.Bytes(), id);
        return id;
    };
    auto intern_raw = [&](const TRE_NFAStateSet& raw) -> int32_t {
        auto it = raw_index.find(raw.Bytes());
        if (it != raw_index.end())
            return it->second;
        TRE_NFAStateSet closed = raw;
        nfa.Close(closed);
        int32_t id = intern_closed(closed);
        raw_index.emplace(raw.Bytes(), id);
        return id;
    };

    TRE_NFAStateSet start = nfa.EmptySet();
    start.Include(TRE_NFA::kStart);
    intern_raw(start);

    TREMoveSweep sweep(nfa);
    TRE_NFAStateSet line_start = nfa.EmptySet();
    TRE_NFAStateSet line_end = nfa.EmptySet();
    for (size_t i = 0; i < states_.size(); ++i) {
        std::vector<int32_t> members = states_[i].set.Members();
        sweep.Run(members, [&](uint32_t low, uint32_t high, const TRE_NFAStateSet& targets) {
            int32_t id = intern_raw(targets);
            int32_t* row = &table_[i * classes_];
            for (uint32_t k = low; k <= high; ++k) row[k] = id;
        });
        line_start.Clear();
        line_end.Clear();
        bool has_start = false;
        bool has_end = false;
        for (int32_t m : members) {
            for (const TRE_NFATransition& t : nfa.Transitions(m)) {
                if (t.kind == TRE_NFATransition::Kind::LineStart)
                    has_start = line_start.Include(static_cast<size_t>(t.target)) || has_start;
                else if (t.kind == TRE_NFATransition::Kind::LineEnd)
                    has_end = line_end.Include(static_cast<size_t>(t.target)) || has_end;
            }
        }
        if (has_start) {
            int32_t id = intern_raw(line_start);
            states_[i].line_start = id;
        }
        if (has_end) {
            int32_t id = intern_raw(line_end);
            states_[i].line_end = id;
        }
    }
}

std::vector<TRE_DFA::Transition> TRE_DFA::Transitions(int32_t s) const {
    std::vector<Transition> out;
    const int32_t* row = Row(s);
    for (uint32_t k = 0; k < classes_; ++k) {
        if (row[k] == kNone)
            continue;
        re::CodeRange codes = alphabet_->Codes(k);
        if (!out.empty() && out.back().target == row[k] && out.back().high + 1 == codes.low)
            out.back().high = codes.high;
        else
            out.push_back({codes.low, codes.high, row[k]});
    }
    const State& st = states_[static_cast<size_t>(s)];
    if (st.line_start != kNone)
        out.push_back({re::kLineStartCode, re::kLineStartCode, st.line_start});
    if (st.line_end != kNone)
        out.push_back({re::kLineEndCode, re::kLineEndCode, st.line_end});
    return out;
}

}  // namespace pelorin
