// TMatchHelp. See match_help.h.
#include "select/match_help.h"

#include "coding/cp932.h"
#include "coding/jis.h"

#include <algorithm>

namespace pelorin {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr std::string_view kAnd = "[And]";
constexpr std::string_view kOr = "[Or]";

bool IsGroup(std::string_view text) {
    return text == kAnd || text == kOr;
}

}  // namespace

const std::vector<std::string>& TJkConditionSymbols() {
    static const std::vector<std::string> symbols = {Sjis("＝"), Sjis("≠"),  Sjis("＞"),
                                                     Sjis("≧"),  Sjis("＜"), Sjis("≦")};
    return symbols;
}

int TMatchHelp::Level(size_t i) const {
    const std::string& line = lines_[i];
    size_t spaces = line.find_first_not_of(kIndent);
    if (spaces == std::string::npos)
        spaces = 0;  // an empty line, or one of spaces only, is at level 1
    return static_cast<int>(spaces) + 1;
}

std::string_view TMatchHelp::Text(size_t i) const {
    std::string_view line = lines_[i];
    size_t spaces = line.find_first_not_of(kIndent);
    return spaces == std::string_view::npos ? std::string_view() : line.substr(spaces);
}

size_t TMatchHelp::SubtreeEnd(size_t i) const {
    const int level = Level(i);
    size_t j = i + 1;
    while (j < lines_.size() && Level(j) > level) ++j;
    return j;
}

std::vector<size_t> TMatchHelp::Children(size_t i) const {
    std::vector<size_t> out;
    const int level = Level(i);
    for (size_t j = i + 1, end = SubtreeEnd(i); j < end; ++j) {
        if (Level(j) == level + 1)
            out.push_back(j);
    }
    return out;
}

size_t TMatchHelp::Parent(size_t i) const {
    const int level = Level(i);
    for (size_t j = i; j-- > 0;) {
        if (Level(j) < level)
            return j;
    }
    return kNone;
}

void TMatchHelp::RemoveAndLift(size_t i) {
    const int level = Level(i);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    for (size_t j = i; j < lines_.size() && Level(j) > level; ++j) lines_[j].erase(0, 1);
}

void TMatchHelp::Normalize() {
    for (size_t i = 0; i < lines_.size();) {
        if (Children(i).size() == 1)
            RemoveAndLift(i);
        else
            ++i;
    }
    for (size_t i = 0; i < lines_.size();) {
        size_t parent = Parent(i);
        if (parent != kNone && Text(i) == Text(parent))
            RemoveAndLift(i);
        else
            ++i;
    }
}

void TMatchHelp::SetConditions(const std::vector<std::string>& lines) {
    lines_ = lines;
    Normalize();
}

void TMatchHelp::AddAnd(int index, std::string_view text) {
    Add(index, text, kAnd);
}

void TMatchHelp::AddOr(int index, std::string_view text) {
    Add(index, text, kOr);
}

void TMatchHelp::Add(int index, std::string_view text, std::string_view group) {
    if (lines_.empty()) {
        lines_.emplace_back(text);
        return;
    }
    if (index < 0 || static_cast<size_t>(index) >= lines_.size())
        return;
    size_t target = static_cast<size_t>(index);
    if (size_t parent = Parent(target); parent != kNone && Text(parent) == group)
        target = parent;
    const int level = Level(target);
    auto at_level = [&](int lvl, std::string_view t) {
        return std::string(static_cast<size_t>(lvl - 1), kIndent) + std::string(t);
    };
    if (Text(target) == group) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(SubtreeEnd(target)),
                      at_level(level + 1, text));
        return;
    }
    const size_t end = SubtreeEnd(target);
    for (size_t j = target; j < end; ++j) lines_[j].insert(0, 1, kIndent);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end), at_level(level + 1, text));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(target), at_level(level, group));
}

void TMatchHelp::DeleteNode(int index) {
    if (index < 0 || static_cast<size_t>(index) >= lines_.size())
        return;
    const auto i = static_cast<size_t>(index);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SubtreeEnd(i)));
    Normalize();
}

std::vector<TMatchRow> TMatchHelp::Rows() const {
    std::vector<TMatchRow> rows;
    int previous = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        int depth = std::min(Level(i) - 1, previous + 1);
        rows.push_back({depth, std::string(Text(i))});
        previous = depth;
    }
    return rows;
}

void TMatchHelp::SplitLeaf(std::string_view leaf,
                           std::string& header,
                           TJkCondition& cond,
                           std::string& text) {
    // Operators are looked for at character boundaries only: a double-byte character whose
    // second byte is 0x81 followed by one whose first byte is 0x81 must not read as "＝".
    static const TJkCondition order[] = {jc_Equal,     jc_NotEqual, jc_Less,
                                         jc_LessEqual, jc_Greater,  jc_GreaterEqual};
    const auto& symbols = TJkConditionSymbols();
    for (size_t p = 0; p + 1 < leaf.size();) {
        for (TJkCondition c : order) {
            // The first byte first: leaves are split for every message a condition tests.
            if (leaf[p] == symbols[c][0] && leaf.compare(p, 2, symbols[c]) == 0) {
                header.assign(leaf.substr(0, p));
                cond = c;
                text.assign(leaf.substr(p + 2));
                return;
            }
        }
        p += IsSjisLeadByte(static_cast<unsigned char>(leaf[p])) ? 2 : 1;
    }
    header.assign(leaf);
    cond = jc_Equal;
    text.clear();
}

bool TMatchHelp::Evaluate(const std::any& target) const {
    return Eval(0, target);
}

bool TMatchHelp::Eval(size_t i, const std::any& target) const {
    if (i >= lines_.size())
        return false;
    std::string_view text = Text(i);
    if (IsGroup(text)) {
        const bool is_and = text == kAnd;
        // The first child is line i + 1; the next ones are the following lines at its level.
        const size_t end = SubtreeEnd(i);
        if (i + 1 >= end)
            return is_and;
        const int child_level = Level(i + 1);
        for (size_t j = i + 1; j < end; ++j) {
            if (Level(j) != child_level)
                continue;
            if (Eval(j, target) != is_and)
                return !is_and;
        }
        return is_and;
    }
    if (!OnMatching)
        return false;
    std::string header, value;
    TJkCondition cond = jc_Equal;
    SplitLeaf(text, header, cond, value);
    bool ret = false;
    try {
        OnMatching(target, header, cond, value, ret);
    } catch (...) {
        return false;  // errors never escape a leaf
    }
    return ret;
}

}  // namespace pelorin
