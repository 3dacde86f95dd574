// TRE_NFA: the nondeterministic automaton of one parse tree (Thompson construction), and
// TRE_NFAStateSet, a set of its states.
//
// States are numbered from 0; state 0 is the start and state 1 the final state. Every node is
// built between a from-state and a to-state, the whole tree between 0 and 1:
//
//   range leaf    from --(low..high)--> to
//   "^"           from --LineStart--> to     when from is state 0, else the literal "^"
//   "$"           from --LineEnd--> to       when to is state 1, else the literal "$"
//   concat        from --left--> s --right--> to                      (s new)
//   alternation   both children from --> to
//   star          from -e-> s1 --child--> s2 -e-> s1 -e-> to          (s1, s2 new)
//   empty         from -e-> to
//   no character  nothing
//
// So "^" is special only where it can begin a match and "$" only where it can end one: "a^b"
// and "a$b" hold the literal characters. State 0 is never the target of a transition and
// state 1 never the source of one, so line-start labels leave only state 0 and line-end labels
// only enter state 1.
//
// Labels keep their kind: a pattern character whose code happens to equal a pseudo code
// (\xFFFD) stays an ordinary range that no text character reaches, never a line anchor.
//
// The tree is walked with an explicit stack, and a shared subtree ("a+") is built once per
// use. Since "((a+)+)+..." doubles the automaton at every level, the build is bounded: beyond
// kMaxStates states, or kMaxWork visited nodes (which bounds the transitions too), it raises
// ERegExpParser(TooComplex).
#pragma once

#include "select/re_alphabet.h"
#include "select/re_parse_tree.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pelorin {

struct TRE_NFATransition {
    enum class Kind : uint8_t { Range, LineStart, LineEnd, Epsilon };
    Kind kind = Kind::Epsilon;
    unsigned low = 0;  // Range: codes; the pseudo code otherwise
    unsigned high = 0;
    uint16_t class_low = 0;  // Range: the classes low .. high cover
    uint16_t class_high = 0;
    int32_t target = 0;
};

// A set of NFA states as (number of states / 8 + 1) bytes; bit n % 8 of byte n / 8 is state n.
// The bytes double as the key under which the DFA finds the state built from the set.
class TRE_NFAStateSet {
public:
    explicit TRE_NFAStateSet(size_t nfa_states)
        : bytes_(nfa_states / 8 + 1, '\0') {}

    bool Has(size_t n) const { return (static_cast<unsigned char>(bytes_[n >> 3]) >> (n & 7)) & 1; }
    // Adds n; false when it was already there.
    bool Include(size_t n) {
        auto& b = reinterpret_cast<unsigned char&>(bytes_[n >> 3]);
        unsigned char bit = static_cast<unsigned char>(1u << (n & 7));
        if (b & bit)
            return false;
        b = static_cast<unsigned char>(b | bit);
        return true;
    }
    void Exclude(size_t n) {
        auto& b = reinterpret_cast<unsigned char&>(bytes_[n >> 3]);
        b = static_cast<unsigned char>(b & ~(1u << (n & 7)));
    }
    void Clear() { bytes_.assign(bytes_.size(), '\0'); }
    bool IsEmpty() const { return bytes_.find_first_not_of('\0') == std::string::npos; }
    const std::string& Bytes() const { return bytes_; }
    // The members in ascending order.
    std::vector<int32_t> Members() const;

    friend bool operator==(const TRE_NFAStateSet&, const TRE_NFAStateSet&) = default;

private:
    std::string bytes_;
};

class TRE_NFA {
public:
    static constexpr int32_t kStart = 0;
    static constexpr int32_t kFinal = 1;
    static constexpr size_t kMaxStates = 100000;
    static constexpr size_t kMaxWork = 1000000;

    // GenerateStateList: builds the automaton of the tree below `root`. `error_position` is
    // the position reported if the automaton outgrows kMaxStates.
    TRE_NFA(const TREParseTree& tree,
            TRENodeId root,
            const TREAlphabet& alphabet,
            size_t error_position);

    size_t StateCount() const { return states_.size(); }
    const std::vector<TRE_NFATransition>& Transitions(int32_t state) const {
        return states_[static_cast<size_t>(state)];
    }
    bool UsesLineStart() const { return uses_line_start_; }
    bool UsesLineEnd() const { return uses_line_end_; }

    // Adds to `set` every state reachable from its members by empty transitions.
    void Close(TRE_NFAStateSet& set) const;
    TRE_NFAStateSet EmptySet() const { return TRE_NFAStateSet(states_.size()); }

    // One line per state for tests: "0: 'a'->2 ^->3 e->4".
    std::string Dump() const;

private:
    int32_t NewState(size_t error_position);

    std::vector<std::vector<TRE_NFATransition>> states_;
    bool uses_line_start_ = false;
    bool uses_line_end_ = false;
};

}  // namespace pelorin
