// TRegularExpression: the pattern cache. See regular_expression.h.
#include "select/regular_expression.h"

#include "select/re_error.h"

namespace pelorin {
namespace {

constexpr size_t kMaxMemoisedExpansions = 256;

}  // namespace

TRegularExpression::TRegularExpression() {
    cache_.reserve(kCacheSize);
    cache_.push_back({std::string(), std::make_unique<TREProgram>("")});
}

TRegularExpression::~TRegularExpression() = default;

void TRegularExpression::InvalidateExpansions() {
    expansions_.clear();
    last_valid_ = false;
}

const TRegularExpression::Expansion& TRegularExpression::Expand(std::string_view pattern) {
    if (!preprocessor_.UseFuzzyCharDic && !preprocessor_.UseSynonymDic) {
        plain_.text.assign(pattern);
        plain_.origin.clear();
        return plain_;
    }
    std::string key;
    key += preprocessor_.UseFuzzyCharDic ? 'F' : '-';
    key += preprocessor_.UseSynonymDic ? 'S' : '-';
    key += pattern;
    auto it = expansions_.find(key);
    if (it != expansions_.end())
        return it->second;
    Expansion e;
    e.text = preprocessor_.ExpandPattern(pattern, &e.origin);
    if (expansions_.size() >= kMaxMemoisedExpansions)
        expansions_.clear();
    return expansions_.emplace(std::move(key), std::move(e)).first->second;
}

void TRegularExpression::Fail() {
    current_ = 0;
    regexp_.clear();
    last_valid_ = false;
}

void TRegularExpression::SetRegExp(std::string_view pattern) {
    if (last_valid_ && pattern == regexp_ && last_fuzzy_ == preprocessor_.UseFuzzyCharDic &&
        last_synonym_ == preprocessor_.UseSynonymDic)
        return;

    const Expansion* expansion = nullptr;
    try {
        expansion = &Expand(pattern);
    } catch (...) {
        Fail();
        throw;
    }
    const std::string& expanded = expansion->text;

    size_t found = cache_.size();
    for (size_t i = 0; i < cache_.size(); ++i) {
        if (cache_[i].text == expanded) {
            found = i;
            break;
        }
    }
    if (found == cache_.size()) {
        if (cache_.size() >= kCacheSize)
            cache_.pop_back();
        cache_.insert(cache_.begin() + 1, Entry{expanded, nullptr});
        try {
            ++compiles_;
            cache_[1].program = std::make_unique<TREProgram>(expanded);
        } catch (const ERegExpParser& e) {
            cache_.erase(cache_.begin() + 1);
            Fail();
            const std::vector<size_t>& origin = expansion->origin;
            if (origin.empty() || e.position() == 0 || e.position() > origin.size())
                throw;
            throw ERegExpParser(e.kind(), origin[e.position() - 1]);
        } catch (...) {
            cache_.erase(cache_.begin() + 1);
            Fail();
            throw;
        }
        found = 1;
    }
    current_ = found;
    regexp_.assign(pattern);
    last_valid_ = true;
    last_fuzzy_ = preprocessor_.UseFuzzyCharDic;
    last_synonym_ = preprocessor_.UseSynonymDic;
}

}  // namespace pelorin
