// TREParseTree: the nodes of one parse tree.
//
// Nodes live in one vector owned by the tree and are named by their index. A node is a range
// leaf (low, high), a line-start or line-end node (holding the code of the character that made
// it, "^" or "$"), a concatenation or alternation of two nodes, a star of one node, the empty
// node, or the no-character node of a negated class that excludes everything.
//
// Range leaves are unique: asking for a (low, high) pair that the tree already holds returns
// the same leaf. The tree may therefore be a graph that shares subtrees ("a+" is the
// concatenation of "a" and the star of that same "a"); the automaton builder walks a shared
// subtree once per use.
//
// Dump prints a subtree as text for tests and diagnostics, with chains of concatenations and
// alternations flattened: "ab|c*" is alt{cat{lit{a}lit{b}}star{lit{c}}}. Characters print as
// themselves when they are printable ASCII other than braces, backslash and hyphen, otherwise
// as \xHH or \xHHHH.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pelorin {

enum class TRENodeKind {
    Range,        // low .. high
    LineStart,    // "^"; low holds the character that made it
    LineEnd,      // "$"; low holds the character that made it
    Concat,       // left then right
    Alternation,  // left or right
    Star,         // left, any number of times
    Empty,        // the empty string
    NoChar,       // matches no character (a negated class that excludes everything)
};

using TRENodeId = int32_t;

struct TRENode {
    TRENodeKind kind = TRENodeKind::Empty;
    unsigned low = 0;      // Range: low code; LineStart/LineEnd: the character's code
    unsigned high = 0;     // Range: high code
    TRENodeId left = -1;   // Concat, Alternation: left child; Star: the child
    TRENodeId right = -1;  // Concat, Alternation: right child
};

class TREParseTree {
public:
    TRENodeId Leaf(unsigned low, unsigned high);
    TRENodeId LineStart(unsigned code);
    TRENodeId LineEnd(unsigned code);
    TRENodeId Concat(TRENodeId left, TRENodeId right);
    TRENodeId Alternation(TRENodeId left, TRENodeId right);
    TRENodeId Star(TRENodeId child);
    TRENodeId Empty();
    TRENodeId NoChar();
    // "." : the alternation of the three leaves 0x01-0x09, 0x0B-0x0C and 0x0E-0xFCFC.
    TRENodeId AnyChar();

    // The node with that index; a missing node is an internal fault (std::logic_error).
    const TRENode& Node(TRENodeId id) const;
    size_t Size() const { return nodes_.size(); }

    std::string Dump(TRENodeId id) const;

private:
    TRENodeId Add(TRENode node);
    TRENodeId Check(TRENodeId id) const;
    void DumpChain(TRENodeId id, TRENodeKind kind, std::string& out) const;
    void DumpTo(TRENodeId id, std::string& out) const;

    std::vector<TRENode> nodes_;
    std::map<std::pair<unsigned, unsigned>, TRENodeId> leaves_;  // (low, high) -> its leaf
};

}  // namespace pelorin
