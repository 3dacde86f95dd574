// Find: leftmost-longest results, line anchors with both separators, literal "^" and "$",
// double-byte characters, negated classes, the existence test and the automaton bounds.
#include "support/testing.h"

#include "select/awkstr.h"
#include "select/re_error.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace pelorin {
namespace {

using testing::S;

// (position, length) of Find, after checking that the existence test agrees with it.
std::pair<size_t, size_t> FindIn(std::string_view pattern,
                                 std::string_view text,
                                 TMatchCORELineSeparator sep = mcls_CRLF) {
    TAWKStr re;
    re.SetLineSeparator(sep);
    re.SetRegExp(pattern);
    size_t pos = 99, len = 99;
    size_t ret = re.Find(text, pos, len);
    EXPECT_EQ(ret, pos);
    EXPECT_EQ(re.Exists(text), pos > 0) << "pattern " << testing::U(pattern);
    return {pos, len};
}

using P = std::pair<size_t, size_t>;

TEST(LeftmostLongest, ExamplesAndMore) {
    EXPECT_EQ(FindIn("", "abc"), P(1, 0));
    EXPECT_EQ(FindIn("", ""), P(1, 0));
    EXPECT_EQ(FindIn("a*", "bbb"), P(1, 0));
    EXPECT_EQ(FindIn("x*", "abc"), P(1, 0));
    EXPECT_EQ(FindIn("ab|a", "xab"), P(2, 2));
    EXPECT_EQ(FindIn("a|ab", "xab"), P(2, 2));
    EXPECT_EQ(FindIn("b+", "abbbc"), P(2, 3));
    EXPECT_EQ(FindIn("a?b", "xxb"), P(3, 1));
    EXPECT_EQ(FindIn("a.*b", "xaybzb\r\nb"), P(2, 5));  // "." stops at CR
    EXPECT_EQ(FindIn("(ab)*c", "ababcab"), P(1, 5));
    EXPECT_EQ(FindIn("()", "q"), P(1, 0));
    EXPECT_EQ(FindIn("abc", "ab"), P(0, 0));
    EXPECT_EQ(FindIn("a", ""), P(0, 0));
    EXPECT_EQ(FindIn("[0-9]+", "no 123 45"), P(4, 3));
    EXPECT_EQ(FindIn("\\.", "a.b"), P(2, 1));
    EXPECT_EQ(FindIn("{x}", "a{x}"), P(2, 3));  // braces are plain characters
}

TEST(LineAnchors, LineStartAfterLfOnly) {
    EXPECT_EQ(FindIn("^a", "ba\r\na"), P(5, 1));
    EXPECT_EQ(FindIn("^a", "ab"), P(1, 1));
    EXPECT_EQ(FindIn("^a", "ba\ra"), P(0, 0));  // CR alone starts no line
    EXPECT_EQ(FindIn("^a", "ba\na", mcls_LF), P(4, 1));
    EXPECT_EQ(FindIn("^", "xyz"), P(1, 0));
    EXPECT_EQ(FindIn("^$", "a\n"), P(3, 0));
    EXPECT_EQ(FindIn("^Re:", S("Re: テスト")), P(1, 3));
    EXPECT_EQ(FindIn("^Re:", "Fw: Re: x"), P(0, 0));
    // The longer of the anchored and the plain run wins where "^" holds.
    EXPECT_EQ(FindIn("^a|ab", "ab"), P(1, 2));
    EXPECT_EQ(FindIn("^ab|a", "ab"), P(1, 2));
    EXPECT_EQ(FindIn("^b|a", "xa\nb"), P(2, 1));
}

TEST(LineAnchors, LineEndFollowsTheSeparator) {
    EXPECT_EQ(FindIn("a$", "xa\r\n"), P(2, 1));
    EXPECT_EQ(FindIn("a$", "xa\r\n", mcls_LF), P(0, 0));  // the run stops at CR
    EXPECT_EQ(FindIn("a$", "xa\n", mcls_LF), P(2, 1));
    EXPECT_EQ(FindIn("a$", "xa\n"), P(0, 0));  // with CR LF lines a bare LF ends none
    EXPECT_EQ(FindIn("a$", "xa"), P(2, 1));
    EXPECT_EQ(FindIn("$", "abc"), P(4, 0));
    EXPECT_EQ(FindIn("$", ""), P(1, 0));
    EXPECT_EQ(FindIn("b*$", "abb"), P(2, 2));
    EXPECT_EQ(FindIn("a*$", "bbb"), P(4, 0));
    EXPECT_EQ(FindIn("c$|b", "cb"), P(2, 1));
    EXPECT_EQ(FindIn("^a$", "b\r\na\r\nc"), P(4, 1));
}

TEST(LineAnchors, RunsPastTheSeparatorStillSeeTheLineEnd) {
    // "\r?" can read the CR; the line end before it is still a match (mended: a check only
    // where the run stops would find nothing here).
    EXPECT_EQ(FindIn("a\\r?$", "a\r\n"), P(1, 1));
    EXPECT_EQ(FindIn("a$|a\\rb", "a\rc"), P(1, 1));
    EXPECT_EQ(FindIn("a\\n?$", "a\nx", mcls_LF), P(1, 1));
}

TEST(LineAnchors, CaretAndDollarInsideArePlainCharacters) {
    EXPECT_EQ(FindIn("a^b", "xa^b"), P(2, 3));
    EXPECT_EQ(FindIn("a$b", "xa$b"), P(2, 3));
    EXPECT_EQ(FindIn("a^b", "a\nb"), P(0, 0));
    EXPECT_EQ(FindIn("()^a", "x^a"), P(2, 2));
    EXPECT_EQ(FindIn("(^a)*", "^a^a"), P(1, 4));
    EXPECT_EQ(FindIn("$a", "x$a"), P(2, 2));
    // "+" repeats its operand: the first copy may start the match, the repeats are literal.
    EXPECT_EQ(FindIn("^+", "^^x"), P(1, 2));
}

TEST(DoubleByte, NeverSplit) {
    const std::string so = S("ソ");  // 0x83 0x5C: the second byte is a backslash
    EXPECT_EQ(FindIn("\\\\", so), P(0, 0));
    EXPECT_EQ(FindIn("\\\\", so + "\\"), P(3, 1));
    EXPECT_EQ(FindIn("A", S("ア")), P(0, 0));    // ア is 0x83 0x41
    EXPECT_EQ(FindIn("\\|", S("ポ")), P(0, 0));  // ポ is 0x83 0x7C
    EXPECT_EQ(FindIn(".", S("ア")), P(1, 2));
    EXPECT_EQ(FindIn(S("ア"), S("xアイ")), P(2, 2));
    EXPECT_EQ(FindIn(S("イ"), S("アイ")), P(3, 2));
    EXPECT_EQ(FindIn("\\x8140", S("a　b")), P(2, 2));
    EXPECT_EQ(FindIn("\\x81", S("a　b")), P(0, 0));
    // A lead byte at the very end of the text is a character of its own.
    EXPECT_EQ(FindIn("\\x81", "ab\x81"), P(3, 1));
    EXPECT_EQ(FindIn("b.", "ab\x81"), P(2, 2));
    // Runs of lead-range bytes: 亜 is 0x88 0x9F, both bytes in the lead range.
    EXPECT_EQ(FindIn("\\x9f", S("亜亜")), P(0, 0));
    EXPECT_EQ(FindIn("\\x9f\\x88", S("亜亜")), P(0, 0));
    EXPECT_EQ(FindIn(S("亜"), S("x亜亜")), P(2, 2));
}

TEST(Classes, NegatedNeverMatchLineEndsOrNul) {
    for (std::string p : {"[^a]", "[^\\x00]", "[^ab]*", "."}) {
        for (char c : {'\r', '\n', '\0'})
            EXPECT_EQ(FindIn(p, std::string(1, c)).second, 0u) << p << " " << int{c};
    }
    EXPECT_EQ(FindIn("[^a]", "aab"), P(3, 1));
    EXPECT_EQ(FindIn("[^\\x01-\\x09\\x0b-\\x0c\\x0e-\\xfcfc]", "abc\r\n"), P(0, 0));
    EXPECT_EQ(FindIn("x[^\\x01-\\x09\\x0b-\\x0c\\x0e-\\xfcfc]*", "xa"), P(1, 1));
    EXPECT_EQ(FindIn("[a-]+", "x-a-y"), P(2, 3));
    EXPECT_EQ(FindIn("[-a]+", "x-a-y"), P(2, 3));
    EXPECT_EQ(FindIn("[\\]]", "a]"), P(2, 1));
    EXPECT_EQ(FindIn(S("[亜a]"), "xa"), P(2, 1));  // stepping back over 亜 must not misread
    EXPECT_EQ(FindIn(S("[ア-ン]+"), S("xアイウy")), P(2, 6));
    EXPECT_EQ(FindIn(S("[^ア]"), S("アイ")), P(3, 2));
}

TEST(Bounds, ExplodingSubsetConstructionIsRefused) {
    // Every position among the last n needs its own bit: 2^n states.
    std::string p = "(a|b)*a";
    for (int i = 0; i < 16; ++i) p += "(a|b)";
    TAWKStr re;
    try {
        re.SetRegExp(p);
        FAIL() << "no error";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.kind(), TREError::TooComplex);
        EXPECT_EQ(testing::U(e.message()),
                  "正規表現が複雑すぎます（オートマトンの状態数が上限を超えます）");
    }
    EXPECT_EQ(re.RegExp(), "");
    size_t pos, len;
    EXPECT_EQ(re.Find("abc", pos, len), 1u);  // the empty pattern is current again
}

TEST(Bounds, SharedRepeatsAndDeepGroups) {
    std::string p = "a";
    for (int i = 0; i < 40; ++i) p = "(" + p + ")+";
    TAWKStr re;
    EXPECT_THROW(re.SetRegExp(p), ERegExpParser);
    std::string deep(2000, '(');
    deep += "a" + std::string(2000, ')');
    try {
        re.SetRegExp(deep);
        FAIL() << "no error";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.kind(), TREError::TooDeep);
    }
    std::string ok(200, '(');
    ok += "a" + std::string(200, ')');
    re.SetRegExp(ok);
    size_t pos, len;
    EXPECT_EQ(re.Find("xa", pos, len), 2u);
}

TEST(Bounds, ScanAutomatonTooLargeFallsBackToFind) {
    // Small for Find, exponential for the one-pass scan: the scan gives up, Find still answers.
    std::string p = "a";
    for (int i = 0; i < 14; ++i) p += "(a|b)";
    std::string text(200, 'b');
    text += "a" + std::string(14, 'b');
    EXPECT_EQ(FindIn(p, text), P(201, 15));
    EXPECT_EQ(FindIn(p, std::string(300, 'a')).first, 1u);
    EXPECT_EQ(FindIn(p, std::string(300, 'b')).first, 0u);
}

TEST(ExistenceTest, SkipsOverTrailBytesThatLookLikeTheWord) {
    // Trail bytes 0x41-0x5A and 0x61-0x7A are letters; the skip loop must not start a match
    // on one.
    std::string text;
    for (int i = 0; i < 50; ++i) text += S("アイウエオカキクケコ");
    TAWKStr re;
    re.SetRegExp("A");
    EXPECT_FALSE(re.Exists(text));
    re.SetRegExp("[A-Z]");
    EXPECT_FALSE(re.Exists(text));
    EXPECT_TRUE(re.Exists(text + "Z"));
    re.SetRegExp("^Re:");
    EXPECT_FALSE(re.Exists(text + "Re:"));
    EXPECT_TRUE(re.Exists(text + "\nRe:"));
    re.SetRegExp("x$");
    EXPECT_FALSE(re.Exists(text + "x\n"));
    EXPECT_TRUE(re.Exists(text + "x\r\n"));
    EXPECT_TRUE(re.Exists(text + "x"));
}

}  // namespace
}  // namespace pelorin
