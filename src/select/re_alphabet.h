// TREAlphabet: the disjoint character classes of one pattern.
//
// Before the automata are built, the range leaves of the tree are made disjoint: every code
// from 0 to 0xFFFF falls into exactly one class, and each class is a run of codes that every
// leaf of the tree either covers wholly or not at all. The class boundaries are the low ends
// and the ends + 1 of all leaves (the characters of "^" and "$" nodes count as leaves, since a
// "^" that cannot start a match is a literal), plus NUL, LF and CR, which always get classes
// of their own because line ends and the "." set turn on them. A leaf (low, high) is then the
// run of classes ClassOf(low) .. ClassOf(high), and any two leaves' labels in the automata are
// equal or disjoint. The leaves themselves are not rewritten.
//
// Codes map to classes through 256 pages of 256 entries, one per first byte (the single-byte
// codes are page 0); pages whose codes all fall into one class are shared, so the table stays
// small whatever the pattern.
#pragma once

#include "select/re_char.h"
#include "select/re_parse_tree.h"

#include <array>
#include <cstdint>
#include <vector>

namespace pelorin {

class TREAlphabet {
public:
    using Page = std::array<uint16_t, 256>;

    // Classes for the leaves of `tree`. Raises ERegExpParser(TooComplex) at `error_position`
    // beyond 65535 classes.
    TREAlphabet(const TREParseTree& tree, size_t error_position);
    // The page table points into storage_, whose buffer a move keeps and a copy would not.
    TREAlphabet(const TREAlphabet&) = delete;
    TREAlphabet& operator=(const TREAlphabet&) = delete;
    TREAlphabet(TREAlphabet&&) = default;
    TREAlphabet& operator=(TREAlphabet&&) = default;

    uint32_t Count() const { return static_cast<uint32_t>(bounds_.size()); }
    uint16_t ClassOf(unsigned code) const { return (*pages_[code >> 8])[code & 0xFF]; }
    // The codes of class k.
    re::CodeRange Codes(uint32_t k) const;
    // The class table of codes first_byte * 256 .. first_byte * 256 + 255.
    const Page& PageOf(unsigned first_byte) const { return *pages_[first_byte]; }
    // Pages that hold the same classes have the same index (0 .. 255).
    size_t PageIndex(unsigned first_byte) const { return index_[first_byte]; }
    // The distinct classes on that page, ascending (one for a page of a single class).
    const std::vector<uint16_t>& PageClasses(unsigned first_byte) const {
        return classes_of_[index_[first_byte]];
    }

private:
    std::vector<unsigned> bounds_;        // first code of each class, ascending, bounds_[0] = 0
    std::vector<Page> storage_;           // distinct pages
    std::array<const Page*, 256> pages_;  // first byte -> its page in storage_
    std::array<size_t, 256> index_{};     // first byte -> index in storage_
    std::vector<std::vector<uint16_t>> classes_of_;  // per stored page: its distinct classes
};

}  // namespace pelorin
