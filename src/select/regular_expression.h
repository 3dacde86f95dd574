// TRegularExpression: the pattern of an engine instance and its cache of compiled patterns.
//
// The cache is an ordered list of at most 30 entries, each an expanded pattern text with its
// compiled program (re_program.h). Entry 0 is the empty pattern, compiled when the object is
// made and never removed. Setting RegExp:
//   1. expands the pattern (re_preprocessor.h; unchanged when both dictionaries are off);
//   2. looks for an entry with exactly that text; a found entry becomes current and keeps its
//      place (the order is the order of insertion, not of use);
//   3. otherwise drops the last entry when the list is full, inserts the text at index 1,
//      compiles it and makes it current;
//   4. records the unexpanded text as the value of RegExp.
// When expansion or compilation fails, the half-built entry is removed, entry 0 becomes
// current, RegExp reads "" and the ERegExpParser goes on to the caller; searches then behave
// like the empty pattern (a match of length 0 at position 1) until the next successful set.
// The error's position is moved back from the expanded text to the pattern as given (to the
// first byte of the character or escape that a dictionary group replaced).
//
// Conditions set the same few patterns once per message, so setting the text that is already
// current (with the same dictionary switches) returns at once, and expansions are memoised;
// neither changes what the steps above would do.
#pragma once

#include "select/re_preprocessor.h"
#include "select/re_program.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelorin {

class TRegularExpression {
public:
    static constexpr size_t kCacheSize = 30;

    TRegularExpression();
    virtual ~TRegularExpression();
    TRegularExpression(const TRegularExpression&) = delete;
    TRegularExpression& operator=(const TRegularExpression&) = delete;

    // The text last set successfully ("" after a failed set).
    const std::string& RegExp() const { return regexp_; }
    virtual void SetRegExp(std::string_view pattern);

    // Test hooks: the cache as it stands and the number of compilations so far.
    size_t TESTING_CacheCount() const { return cache_.size(); }
    const std::string& TESTING_CachedText(size_t i) const { return cache_[i].text; }
    size_t TESTING_CurrentIndex() const { return current_; }
    size_t TESTING_CompileCount() const { return compiles_; }

protected:
    const TREProgram& Current() const { return *cache_[current_].program; }
    TREPreProcessor& PreProcessor() { return preprocessor_; }
    const TREPreProcessor& PreProcessor() const { return preprocessor_; }
    // Forget memoised expansions (after a dictionary changed).
    void InvalidateExpansions();

private:
    struct Entry {
        std::string text;  // after expansion
        std::unique_ptr<TREProgram> program;
    };
    struct Expansion {
        std::string text;
        std::vector<size_t> origin;  // see TREPreProcessor::ExpandPattern; empty: unchanged
    };
    const Expansion& Expand(std::string_view pattern);
    void Fail();

    std::vector<Entry> cache_;
    size_t current_ = 0;
    std::string regexp_;
    TREPreProcessor preprocessor_;
    size_t compiles_ = 0;

    // The last successful set, to recognise a repeat of it.
    bool last_valid_ = false;
    bool last_fuzzy_ = false;
    bool last_synonym_ = false;
    std::unordered_map<std::string, Expansion> expansions_;  // flags + pattern -> expansion
    Expansion plain_;  // the pattern itself, when no dictionary is on
};

}  // namespace pelorin
