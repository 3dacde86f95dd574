// TRE_DFA: the deterministic automaton of one pattern, built from its NFA by subset
// construction over the pattern's character classes (TREAlphabet). Find runs it from every
// start position (see match_core.h).
//
// Construction:
//   1. The start state is the empty-transition closure of {0}.
//   2. States are processed in order of creation. For each, the range transitions of its NFA
//      states are swept class by class (TREMoveSweep); every run of classes that leads to the
//      same targets gives one closed target set, which is looked up by its bytes or appended
//      as a new state (accepting when it holds NFA state 1).
//   3. Line-start and line-end labels give each state at most one pseudo transition of each
//      kind; only the start state can have a line-start one.
//
// Representation: a dense table of (states x classes) targets, kNone for "no transition", so
// a step is two lookups (code -> class, state x class -> state). Transitions() gives the same
// automaton as sorted, non-overlapping (low, high, target) code ranges, the pseudo codes last.
//
// Subset construction can grow exponentially in the pattern length ("(a|b)*a(a|b)(a|b)..."),
// so it is bounded: more than kMaxStates states, or a table and state sets above kMaxBytes,
// raise ERegExpParser(TooComplex) instead of exhausting memory. No filter a person writes
// comes near either bound.
#pragma once

#include "select/re_alphabet.h"
#include "select/re_nfa.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace pelorin {

// Sweeps the range transitions that leave a set of NFA states, in class order, and reports
// each maximal run of classes that leads to one nonempty set of (unclosed) targets.
class TREMoveSweep {
public:
    explicit TREMoveSweep(const TRE_NFA& nfa);

    // f(uint32_t class_low, uint32_t class_high, const TRE_NFAStateSet& targets)
    template <typename F>
    void Run(const std::vector<int32_t>& members, F&& f);

private:
    struct Event {
        uint32_t at;  // class where the transition starts (+) or stops applying (-)
        int32_t target;
        bool add;
    };
    const TRE_NFA& nfa_;
    std::vector<uint32_t> count_;  // per NFA state: transitions currently covering the class
    TRE_NFAStateSet active_;
    std::vector<Event> events_;
};

class TRE_DFA {
public:
    static constexpr int32_t kNone = -1;
    static constexpr size_t kMaxStates = 10000;
    static constexpr size_t kMaxBytes = size_t{16} << 20;

    // Builds the automaton; `error_position` is reported if it outgrows the bounds.
    TRE_DFA(const TRE_NFA& nfa, const TREAlphabet& alphabet, size_t error_position);

    size_t StateCount() const { return states_.size(); }
    uint32_t ClassCount() const { return classes_; }
    static constexpr int32_t Start() { return 0; }
    bool UsesLineStart() const { return uses_line_start_; }
    bool UsesLineEnd() const { return uses_line_end_; }

    bool Accepting(int32_t s) const { return states_[static_cast<size_t>(s)].accepting; }
    // Targets of the pseudo transitions, kNone when the state has none.
    int32_t LineStartTarget(int32_t s) const { return states_[static_cast<size_t>(s)].line_start; }
    int32_t LineEndTarget(int32_t s) const { return states_[static_cast<size_t>(s)].line_end; }
    const TRE_NFAStateSet& Set(int32_t s) const { return states_[static_cast<size_t>(s)].set; }

    // The next state on class k, or kNone.
    int32_t Next(int32_t s, uint32_t k) const {
        return table_[static_cast<size_t>(s) * classes_ + k];
    }
    const int32_t* Row(int32_t s) const { return &table_[static_cast<size_t>(s) * classes_]; }

    struct Transition {
        unsigned low;
        unsigned high;
        int32_t target;
    };
    // The transitions of state s by code, sorted by low code, ranges never overlapping.
    std::vector<Transition> Transitions(int32_t s) const;
    // The next state on a text character's code, or kNone.
    int32_t NextByCode(int32_t s, unsigned code) const { return Next(s, alphabet_->ClassOf(code)); }

private:
    struct State {
        TRE_NFAStateSet set;
        bool accepting = false;
        int32_t line_start = kNone;
        int32_t line_end = kNone;
    };

    const TREAlphabet* alphabet_;
    uint32_t classes_;
    bool uses_line_start_;
    bool uses_line_end_;
    std::vector<State> states_;
    std::vector<int32_t> table_;
};

// ---- template implementation ----

template <typename F>
void TREMoveSweep::Run(const std::vector<int32_t>& members, F&& f) {
    events_.clear();
    for (int32_t s : members) {
        for (const TRE_NFATransition& t : nfa_.Transitions(s)) {
            if (t.kind != TRE_NFATransition::Kind::Range)
                continue;
            events_.push_back({t.class_low, t.target, true});
            events_.push_back({uint32_t{t.class_high} + 1, t.target, false});
        }
    }
    if (events_.empty())
        return;
    std::sort(events_.begin(), events_.end(),
              [](const Event& a, const Event& b) { return a.at < b.at; });
    size_t i = 0;
    size_t live = 0;  // NFA states in active_
    while (i < events_.size()) {
        uint32_t at = events_[i].at;
        for (; i < events_.size() && events_[i].at == at; ++i) {
            auto target = static_cast<size_t>(events_[i].target);
            if (events_[i].add) {
                if (count_[target]++ == 0) {
                    active_.Include(target);
                    ++live;
                }
            } else if (--count_[target] == 0) {
                active_.Exclude(target);
                --live;
            }
        }
        if (live > 0 && i < events_.size())
            f(at, events_[i].at - 1, static_cast<const TRE_NFAStateSet&>(active_));
    }
}

}  // namespace pelorin
