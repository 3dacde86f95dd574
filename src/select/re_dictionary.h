// TREDictionary: groups of interchangeable strings for pattern expansion, and the comma texts
// they are stored as.
//
// A dictionary is an ordered list of groups; a group is an ordered list of members (Shift_JIS,
// one or more characters, or empty). Each group also keeps its replacement, "(" + every member
// quoted + ")" joined by "|", since that is all an expansion ever writes for it, and the
// dictionary keeps, per first character, the members that begin with it in dictionary order,
// so a lookup tries only members that can match yet still finds the first one in order.
//
// Comma texts follow the rules of a string list: items are separated by commas, blanks and
// control characters around items are skipped, an item in double quotes may hold commas and
// blanks (two double quotes inside stand for one), and an empty item between commas or after
// a trailing comma is an empty member. An unquoted item ends at a blank. Nothing is an error:
// an unterminated quote runs to the end of the text.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelorin {

std::vector<std::string> SplitCommaText(std::string_view text);

// A member with a backslash before each of the 12 metacharacters ^ ( | ) + * ? . [ ] $ \ .
// Double-byte characters are copied whole, whatever their second byte.
std::string QuoteMember(std::string_view member);

// The codes of a string's characters (a lead byte and the byte after it form one code; a lead
// byte at the very end is a code of its own).
std::vector<unsigned> CharCodes(std::string_view text);

class TREDictionary {
public:
    struct Group {
        std::vector<std::string> members;
        std::string replacement;
    };

    void AddGroup(std::vector<std::string> members);
    void AddCommaText(std::string_view text) { AddGroup(SplitCommaText(text)); }
    void Clear();

    const std::vector<Group>& Groups() const { return groups_; }
    bool Empty() const { return groups_.empty(); }

    // The first member, in dictionary order, whose characters equal codes[i], codes[i+1], ...
    // (all before `end`). Returns its group and sets `length` to the member's character count;
    // nullptr when no member matches.
    const Group* Lookup(const std::vector<unsigned>& codes,
                        size_t i,
                        size_t end,
                        size_t& length) const;

private:
    struct Candidate {
        size_t group;
        std::vector<unsigned> codes;
    };
    std::vector<Group> groups_;
    std::unordered_map<unsigned, std::vector<Candidate>> by_first_;
};

}  // namespace pelorin
