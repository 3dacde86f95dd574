// String helpers: field splitting, the header-list lookup, the last angle-bracket token,
// integer parsing, Shift_JIS-aware case folding and cutting, file sizes.
#include "store/strutil.h"

#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::S;

TEST(SplitTab, TakesFieldsInTurnAndPadsWithEmptyOnes) {
    EXPECT_EQ(SplitTab("a\tb", 3), (TSList{"a", "b", "", ""}));
    EXPECT_EQ(SplitTab("a\tb\tc\td\te", 3), (TSList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTab("", 2), (TSList{"", "", ""}));
    EXPECT_EQ(SplitTab("\t\tx", 2), (TSList{"", "", "x"}));
    EXPECT_EQ(SplitTab("a\tb", 0), (TSList{"a"}));
    EXPECT_EQ(SplitTab("a\tb", -1), (TSList{"a"}));
}

TEST(HeaderListValue, MatchesNameCaseInsensitivelyWithColonAndBlank) {
    TSList lines = {"FROM: a@b", "subject: hello", "X-No-Blank:x", ""};
    EXPECT_EQ(HeaderListValue(lines, "From"), "a@b");
    EXPECT_EQ(HeaderListValue(lines, "SUBJECT"), "hello");
    EXPECT_EQ(HeaderListValue(lines, "X-No-Blank"), "");
    EXPECT_EQ(HeaderListValue(lines, "Date"), "");
}

TEST(HeaderListValue, JoinsContinuationsAndStopsAtTheEmptyLine) {
    TSList lines = {"Subject: hello", "\t world", "  ", "Other: x", "", "From: body"};
    // The blank-only continuation keeps one blank.
    EXPECT_EQ(HeaderListValue(lines, "Subject"), "helloworld ");
    EXPECT_EQ(HeaderListValue(lines, "From"), "");
    // Only the first field of a name counts.
    EXPECT_EQ(HeaderListValue({"A: 1", "A: 2"}, "A"), "1");
}

TEST(LastAngleToken, FindsTheLastBracketedToken) {
    EXPECT_EQ(LastAngleToken("<a@x> <b@y>"), "<b@y>");
    EXPECT_EQ(LastAngleToken("<a@x> <b@y> junk"), "<b@y>");
    EXPECT_EQ(LastAngleToken("no token"), "no token");
    EXPECT_EQ(LastAngleToken("only> close"), "only> close");
    EXPECT_EQ(LastAngleToken("<open only"), "<open only");
    EXPECT_EQ(LastAngleToken(">"), ">");
    EXPECT_EQ(LastAngleToken(""), "");
}

TEST(ToInteger, NeverFails) {
    EXPECT_EQ(ToInteger("0007"), 7);
    EXPECT_EQ(ToInteger(""), 0);
    EXPECT_EQ(ToInteger("12x"), 0);
    EXPECT_EQ(ToInteger("-5"), -5);
    EXPECT_EQ(ToInteger(" 42 "), 42);
    EXPECT_EQ(ToInteger("000"), 0);
    EXPECT_EQ(ToInteger("0 "), 0);
    EXPECT_EQ(ToInteger("2147483647"), 2147483647);
    EXPECT_EQ(ToInteger("2147483648"), 0);
    EXPECT_EQ(ToInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ToInteger("-"), 0);
    EXPECT_EQ(ToInteger("99999999999999999999"), 0);
}

TEST(SjisCase, FoldsAsciiOnlyAndKeepsDoubleByteCharactersWhole) {
    // "ア" is 83 41: its trail byte is "A" and must not be folded.
    const std::string a = S("ア");
    EXPECT_EQ(SjisLower(a + "ABC"), a + "abc");
    EXPECT_EQ(SjisUpper("subject"), "SUBJECT");
    EXPECT_TRUE(EqualNoCase("AutoLoad", "AUTOLOAD"));
    // 83 41 and 83 61 are different characters, though 41 and 61 differ only in case.
    EXPECT_FALSE(EqualNoCase(a, std::string("\x83\x61")));
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(CompareNoCase("b", "A"), 0);
}

TEST(FindSjisChar, StepsOverTrailBytes) {
    // "マ" is 83 7D and "ソ" 83 5C: their trail bytes are "}" and "\\".
    const std::string text = S("マ") + "}";
    EXPECT_EQ(FindSjisChar(text, '}'), 2u);
    EXPECT_EQ(FindSjisChar(S("ソ"), '\\'), std::string::npos);
}

TEST(CutSjis, NeverSplitsACharacter) {
    const std::string kana = S("アイ");
    EXPECT_EQ(CutSjis("abcdef", 3), "abc");
    EXPECT_EQ(CutSjis(kana, 3), S("ア"));
    EXPECT_EQ(CutSjis(kana, 4), kana);
    EXPECT_EQ(CutSjis("a" + kana, 2), "a");
    EXPECT_EQ(CutSjis("ab", 0), "");
}

TEST(FileSize, GivesBytesOrMinusOne) {
    testing::TempDir dir;
    testing::WriteFile(dir / "f", "12345");
    EXPECT_EQ(FileSize((dir / "f").string()), 5);
    EXPECT_EQ(FileSize((dir / "missing").string()), -1);
    EXPECT_EQ(FileSize(dir.path().string()), -1);
    testing::WriteFile(dir / "empty", "");
    EXPECT_EQ(FileSize((dir / "empty").string()), 0);
}

}  // namespace
}  // namespace pelorin
