// TMatchHelp: a condition tree held as indented text lines, its editing operations, and its
// evaluation for one object under test.
//
// Each line is one node. A line's level is 1 plus its leading spaces; its text is the rest.
// "[And]" and "[Or]" are groups, any other text is a leaf. The children of line i are the
// following lines one level deeper, up to the first later line that is not deeper than i; the
// parent of line i is the nearest earlier line with a smaller level. Line 0 is the root.
//
// A leaf is a field name, an operator and a value with nothing between them ("Subject＝foo",
// "Date≧Today-7", "Lines＜100"). The six operators are double-byte characters; a leaf with
// none tests its whole text as a field name with ＝ and an empty value. TMatchHelp knows
// nothing of fields: evaluation hands each leaf it reaches to OnMatching, which answers.
//
// Evaluation: an "[And]" is true until a child is false and stops there; an "[Or]" is false
// until a child is true and stops there; a group without children (only a hand-edited file
// makes one) is true for "[And]" and false for "[Or]"; a leaf without an OnMatching handler is
// false. An exception thrown by the handler is caught: that leaf is false and evaluation goes
// on.
//
// Editing keeps one root: AddAnd/AddOr join a new leaf to a node (into its "[And]" / "[Or]"
// group when it has one, else by wrapping the node in a new group), DeleteNode removes a
// subtree, and both SetConditions and DeleteNode normalize (a group with one child gives way
// to the child; a group directly inside a group of the same kind is merged into it).
#pragma once

#include <any>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

enum TJkCondition {
    jc_Equal = 0,         // ＝
    jc_NotEqual = 1,      // ≠
    jc_Greater = 2,       // ＞
    jc_GreaterEqual = 3,  // ≧
    jc_Less = 4,          // ＜
    jc_LessEqual = 5,     // ≦
};

// The operator characters as Shift_JIS, indexed by TJkCondition.
const std::vector<std::string>& TJkConditionSymbols();

// Called for each leaf evaluation reaches: `Target` is what Evaluate was given, `ret` comes in
// false and carries the answer out.
using TJkMatchingEvent = std::function<void(const std::any& Target,
                                            const std::string& Header,
                                            TJkCondition Cond,
                                            const std::string& Text,
                                            bool& ret)>;

// One row of the tree for display: depth 0 for the root.
struct TMatchRow {
    int depth = 0;
    std::string text;
};

class TMatchHelp {
public:
    static constexpr char kIndent = ' ';
    static constexpr const char* kScratchFile = "jktmp.dat";

    // The condition list, one node per line.
    const std::vector<std::string>& Conditions() const { return lines_; }
    // Replaces the list with a copy of `lines`, then normalizes.
    void SetConditions(const std::vector<std::string>& lines);

    // Joins `text` to the node at line `index` (the selected node; -1 when none) with an
    // "[And]" / "[Or]" group. An empty list just takes `text` as its root.
    void AddAnd(int index, std::string_view text);
    void AddOr(int index, std::string_view text);
    // Removes the node at line `index` and everything below it, then normalizes.
    void DeleteNode(int index);

    // The tree as (depth, text) rows for a tree view, fully expanded. A line more than one
    // level deeper than the one before it is shown one level deeper only.
    std::vector<TMatchRow> Rows() const;

    bool Evaluate(const std::any& target) const;
    TJkMatchingEvent OnMatching;

    // Splits a leaf into field name, operator and value.
    static void SplitLeaf(std::string_view leaf,
                          std::string& header,
                          TJkCondition& cond,
                          std::string& text);

    // Level (1 + leading spaces) and text of line i.
    int Level(size_t i) const;
    std::string_view Text(size_t i) const;

private:
    void Add(int index, std::string_view text, std::string_view group);
    bool Eval(size_t i, const std::any& target) const;
    size_t SubtreeEnd(size_t i) const;
    std::vector<size_t> Children(size_t i) const;
    // Index of the parent of line i, or npos.
    size_t Parent(size_t i) const;
    // Removes line i and moves its subtree one level up.
    void RemoveAndLift(size_t i);
    void Normalize();

    std::vector<std::string> lines_;
};

}  // namespace pelorin
