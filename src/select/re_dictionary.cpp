// TREDictionary and comma texts. See re_dictionary.h.
#include "select/re_dictionary.h"

#include "coding/jis.h"

#include <string_view>

namespace pelorin {
namespace {

bool IsBlank(char c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 1 && b <= ' ';
}

constexpr std::string_view kMetacharacters = "^(|)+*?.[]$\\";

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> items;
    size_t p = 0;
    const size_t n = text.size();
    auto skip_blanks = [&] {
        while (p < n && IsBlank(text[p])) ++p;
    };
    skip_blanks();
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                if (IsSjisLeadByte(static_cast<unsigned char>(text[p])) && p + 1 < n)
                    item += text[p++];
                item += text[p++];
            }
        } else {
            size_t start = p;
            while (p < n && !IsBlank(text[p]) && text[p] != ',' && text[p] != '\0') ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        skip_blanks();
        if (p < n && text[p] == ',') {
            if (p + 1 == n)
                items.emplace_back();
            ++p;
            skip_blanks();
        } else if (p < n && text[p] == '\0') {
            break;
        }
    }
    return items;
}

std::string QuoteMember(std::string_view member) {
    std::string out;
    for (size_t i = 0; i < member.size(); ++i) {
        auto b = static_cast<unsigned char>(member[i]);
        if (IsSjisLeadByte(b) && i + 1 < member.size()) {
            out += member[i];
            out += member[++i];
            continue;
        }
        if (kMetacharacters.find(member[i]) != std::string_view::npos)
            out += '\\';
        out += member[i];
    }
    return out;
}

std::vector<unsigned> CharCodes(std::string_view text) {
    std::vector<unsigned> codes;
    for (size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsSjisLeadByte(b) && i + 1 < text.size()) {
            codes.push_back((unsigned{b} << 8) | static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            codes.push_back(b);
        }
    }
    return codes;
}

void TREDictionary::AddGroup(std::vector<std::string> members) {
    Group g;
    g.replacement = "(";
    for (size_t i = 0; i < members.size(); ++i) {
        if (i > 0)
            g.replacement += '|';
        g.replacement += QuoteMember(members[i]);
    }
    g.replacement += ')';
    const size_t index = groups_.size();
    for (const std::string& m : members) {
        std::vector<unsigned> codes = CharCodes(m);
        if (codes.empty())
            continue;  // empty members never match; they only widen the replacement
        by_first_[codes[0]].push_back({index, std::move(codes)});
    }
    g.members = std::move(members);
    groups_.push_back(std::move(g));
}

void TREDictionary::Clear() {
    groups_.clear();
    by_first_.clear();
}

const TREDictionary::Group* TREDictionary::Lookup(const std::vector<unsigned>& codes,
                                                  size_t i,
                                                  size_t end,
                                                  size_t& length) const {
    auto it = by_first_.find(codes[i]);
    if (it == by_first_.end())
        return nullptr;
    for (const Candidate& c : it->second) {
        if (i + c.codes.size() > end)
            continue;
        bool equal = true;
        for (size_t k = 1; k < c.codes.size() && equal; ++k) equal = codes[i + k] == c.codes[k];
        if (equal) {
            length = c.codes.size();
            return &groups_[c.group];
        }
    }
    return nullptr;
}

}  // namespace pelorin
