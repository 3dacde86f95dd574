// The pattern cache: entry 0, eviction order, reuse without compiling, failures, and the
// dictionary switches that re-expand the current pattern.
#include "support/testing.h"

#include "select/awkstr.h"
#include "select/re_error.h"

#include <gtest/gtest.h>
#include <string>

namespace pelorin {
namespace {

TEST(PatternCache, EvictsTheLastEntryWhenFull) {
    TAWKStr re;
    ASSERT_EQ(re.TESTING_CacheCount(), 1u);
    EXPECT_EQ(re.TESTING_CachedText(0), "");
    for (int i = 1; i <= 29; ++i) re.SetRegExp("p" + std::to_string(i));
    EXPECT_EQ(re.TESTING_CacheCount(), 30u);
    EXPECT_EQ(re.TESTING_CachedText(1), "p29");  // newest at index 1
    EXPECT_EQ(re.TESTING_CachedText(29), "p1");  // oldest last
    EXPECT_EQ(re.TESTING_CompileCount(), 29u);

    // A cached pattern is reused where it stands: no compilation, no reordering.
    re.SetRegExp("p1");
    EXPECT_EQ(re.TESTING_CompileCount(), 29u);
    EXPECT_EQ(re.TESTING_CurrentIndex(), 29u);
    EXPECT_EQ(re.TESTING_CachedText(29), "p1");

    // A 30th new pattern pushes out the one inserted first, whatever was used since.
    re.SetRegExp("p30");
    EXPECT_EQ(re.TESTING_CacheCount(), 30u);
    EXPECT_EQ(re.TESTING_CachedText(1), "p30");
    EXPECT_EQ(re.TESTING_CachedText(29), "p2");
    EXPECT_EQ(re.TESTING_CachedText(0), "");
    re.SetRegExp("p1");
    EXPECT_EQ(re.TESTING_CompileCount(), 31u);
}

TEST(PatternCache, FailureLeavesTheEmptyPatternCurrent) {
    TAWKStr re;
    re.SetRegExp("abc");
    EXPECT_EQ(re.RegExp(), "abc");
    EXPECT_THROW(re.SetRegExp("(abc"), ERegExpParser);
    EXPECT_EQ(re.RegExp(), "");
    EXPECT_EQ(re.TESTING_CurrentIndex(), 0u);
    EXPECT_EQ(re.TESTING_CacheCount(), 2u);  // the failed entry is gone
    size_t pos, len;
    EXPECT_EQ(re.Find("xyz", pos, len), 1u);
    EXPECT_EQ(len, 0u);
    re.SetRegExp("abc");  // still cached
    EXPECT_EQ(re.TESTING_CompileCount(), 2u);
    EXPECT_EQ(re.Find("xabc", pos, len), 2u);
}

TEST(PatternCache, DictionarySwitchesGiveTheirOwnEntries) {
    TAWKStr re;
    re.SetRegExp("ab");
    re.SetUseFuzzyCharDic(true);
    EXPECT_EQ(re.RegExp(), "ab");
    EXPECT_EQ(re.TESTING_CacheCount(), 3u);
    EXPECT_EQ(testing::U(re.TESTING_CachedText(1)), "(Ａ|ａ|A|a)(Ｂ|ｂ|B|b)");
    size_t pos, len;
    EXPECT_EQ(re.Find(testing::S("xＡｂ"), pos, len), 2u);
    EXPECT_EQ(len, 4u);
    re.SetUseFuzzyCharDic(false);
    EXPECT_EQ(re.TESTING_CacheCount(), 3u);
    EXPECT_EQ(re.Find(testing::S("xＡｂ"), pos, len), 0u);
    // Setting the same text again is free.
    re.SetRegExp("ab");
    EXPECT_EQ(re.TESTING_CompileCount(), 2u);
    // The synonym dictionary starts empty and changes nothing.
    re.SetUseSynonymDic(true);
    EXPECT_EQ(re.TESTING_CompileCount(), 2u);
    re.SynonymDic().AddCommaText("ab,xyz");
    re.SetRegExp("ab");
    EXPECT_EQ(re.Find("..xyz", pos, len), 3u);
    EXPECT_EQ(len, 3u);
}

}  // namespace
}  // namespace pelorin
