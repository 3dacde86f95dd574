// The fuzzy-character dictionary (its converted texts) and pattern expansion.
#include "support/testing.h"

#include "select/awkstr.h"
#include "select/fuzzy_dictionary.h"
#include "select/re_error.h"
#include "select/re_preprocessor.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::Hex;
using testing::S;
using testing::U;

TEST(FuzzyDictionary, EveryGroupDecodesBackToItsText) {
    const std::vector<std::string> texts = FuzzyCharTextsUtf8();
    const TREDictionary& d = FuzzyCharDictionary();
    ASSERT_EQ(texts.size(), kFuzzyCharGroups);
    ASSERT_EQ(d.Groups().size(), kFuzzyCharGroups);
    for (size_t g = 0; g < kFuzzyCharGroups; ++g) {
        // Split the UTF-8 source the same way and compare member by member, so a character
        // that CP932 cannot hold (or holds as another one) shows up here.
        std::vector<std::string> expected = SplitCommaText(texts[g]);
        const std::vector<std::string>& members = d.Groups()[g].members;
        ASSERT_EQ(members.size(), expected.size()) << "group " << g;
        for (size_t m = 0; m < members.size(); ++m)
            EXPECT_EQ(U(members[m]), expected[m]) << "group " << g << " member " << m;
    }
    EXPECT_EQ(texts[0], "Ａ,ａ,A,a");
    EXPECT_EQ(texts[25], "Ｚ,ｚ,Z,z");
    EXPECT_EQ(d.Groups()[36].members, (std::vector<std::string>{S("　"), " "}));
    EXPECT_EQ(d.Groups()[38].members, (std::vector<std::string>{"\"", S("”")}));
    EXPECT_EQ(d.Groups()[48].members.size(), 4u);
    EXPECT_EQ(d.Groups()[48].members[3], "");
    EXPECT_EQ(d.Groups()[68].members, (std::vector<std::string>{",", "\xA4", S("、"), S("，")}));
}

TEST(FuzzyDictionary, CodesOfTheAwkwardCharacters) {
    const auto& g = FuzzyCharDictionary().Groups();
    EXPECT_EQ(Hex(g[27].members[3]), "87 40");  // ①
    EXPECT_EQ(Hex(g[35].members[3]), "87 48");  // ⑨
    EXPECT_EQ(Hex(g[27].members[4]), "87 54");  // Ⅰ
    EXPECT_EQ(Hex(g[35].members[4]), "87 5C");  // Ⅸ
    EXPECT_EQ(Hex(g[48].members[1]), "81 60");  // ～
    EXPECT_EQ(Hex(g[67].members[1]), "81 50");  // ￣
    EXPECT_EQ(Hex(g[60].members[1]), "81 8F");  // ￥
    EXPECT_EQ(Hex(g[49].members[2]), "81 7C");  // －
    EXPECT_EQ(Hex(g[48].members[0]), "81 5B");  // ー
    EXPECT_EQ(Hex(g[50].members[1]), "81 45");  // ・
    EXPECT_EQ(Hex(g[73].members[2]), "B6 DE");  // ｶﾞ
}

TEST(CommaText, StringListRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommaText("a,b"), (V{"a", "b"}));
    EXPECT_EQ(SplitCommaText("a,,b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("a,"), (V{"a", ""}));
    EXPECT_EQ(SplitCommaText(" a , b "), (V{"a", "b"}));
    EXPECT_EQ(SplitCommaText("a b"), (V{"a", "b"}));
    EXPECT_EQ(SplitCommaText("\"x, y\",\"q\"\"\""), (V{"x, y", "q\""}));
    EXPECT_EQ(SplitCommaText("\"open"), (V{"open"}));
    EXPECT_EQ(SplitCommaText(""), V{});
}

std::string Expand(std::string_view utf8) {
    TREPreProcessor p;
    p.UseFuzzyCharDic = true;
    return U(p.ExpandPattern(S(utf8)));
}

TEST(FuzzyExpansion, Examples) {
    EXPECT_EQ(Expand("ab"), "(Ａ|ａ|A|a)(Ｂ|ｂ|B|b)");
    EXPECT_EQ(Expand("か゛"), "(が|ガ|ｶﾞ|か゛|カ゛)");
    EXPECT_EQ(Expand("ｶﾞ"), "(が|ガ|ｶﾞ|か゛|カ゛)");
    EXPECT_EQ(Expand("が"), "(が|ガ|ｶﾞ|か゛|カ゛)");
    EXPECT_EQ(Expand("ー"), "(ー|～|ｰ|)");
    EXPECT_EQ(Expand("-"), "(-|ー|－|～|ｰ)");
    EXPECT_EQ(Expand("[ab]"), "[ab]");
    EXPECT_EQ(Expand("[^ab]"), "[^ab]");
    EXPECT_EQ(Expand("[a-c]x"), "[a-c](Ｘ|ｘ|X|x)");
    EXPECT_EQ(Expand("a.b"), "(Ａ|ａ|A|a).(Ｂ|ｂ|B|b)");
    EXPECT_EQ(Expand("\\."), "(｡|\\.|。|．)");
    EXPECT_EQ(Expand("\\|"), "(\\||｜)");
    EXPECT_EQ(Expand("\\("), "(\\(|（)");
    EXPECT_EQ(Expand("\\x41"), "(Ａ|ａ|A|a)");
    EXPECT_EQ(Expand("\\\\"), "(\\\\|￥)");
    EXPECT_EQ(Expand(""), "");
    EXPECT_EQ(Expand("^$"), "^$");
    EXPECT_EQ(Expand("(x)*"), "((Ｘ|ｘ|X|x))*");
    EXPECT_EQ(Expand("ヴァ"), Expand("ば"));
    EXPECT_EQ(Expand("ヴィ"), Expand("び"));
    EXPECT_EQ(Expand("ヴ"), Expand("ぶ"));
    EXPECT_EQ(Expand("1"), "(1|１|一|①|Ⅰ|壱)");
    EXPECT_EQ(Expand("漢"), "漢");
}

TEST(FuzzyExpansion, MatchesThroughTheEngine) {
    TAWKStr re;
    re.SetUseFuzzyCharDic(true);
    size_t pos, len;
    re.SetRegExp(S("テスト"));
    EXPECT_EQ(re.Find(S("これはﾃｽﾄです"), pos, len), 7u);
    EXPECT_EQ(len, 3u);
    re.SetRegExp(S("サーバ"));
    EXPECT_EQ(re.Find(S("さば"), pos, len), 1u);  // the long-vowel mark is optional
    EXPECT_EQ(len, 4u);
    re.SetRegExp("[a]");
    EXPECT_EQ(re.Find(S("Ａa"), pos, len), 3u);
    re.SetRegExp("[^a]");
    EXPECT_EQ(re.Find(S("aＡ"), pos, len), 2u);
    re.SetRegExp("abc");
    EXPECT_TRUE(re.Exists(S("xＡＢＣx")));
}

TEST(FuzzyExpansion, ScannerErrorsComeFromExpansion) {
    TAWKStr re;
    re.SetUseFuzzyCharDic(true);
    re.SetRegExp("ok");
    size_t compiles = re.TESTING_CompileCount();
    try {
        re.SetRegExp("ab\\");
        ADD_FAILURE() << "no error";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.kind(), TREError::NeedCharAfterEscape);
        EXPECT_EQ(e.position(), 3u);
    }
    EXPECT_EQ(re.TESTING_CompileCount(), compiles);
    EXPECT_EQ(re.RegExp(), "");
}

TEST(FuzzyExpansion, ErrorPositionsPointIntoThePatternAsTyped) {
    const struct {
        const char* pattern;
        TREError kind;
        size_t position;
    } cases[] = {
        {"ab(", TREError::NeedRightParen, 4},  {"a**", TREError::NeedPrimary, 3},
        {"xa)", TREError::ExtraCharacters, 3}, {"テスト)", TREError::ExtraCharacters, 7},
        {"[z-a]b", TREError::BadRange, 2},
    };
    for (const auto& c : cases) {
        TAWKStr re;
        re.SetUseFuzzyCharDic(true);
        try {
            re.SetRegExp(S(c.pattern));
            ADD_FAILURE() << c.pattern;
        } catch (const ERegExpParser& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.pattern;
            EXPECT_EQ(e.position(), c.position) << c.pattern;
        }
    }
    std::vector<size_t> origin;
    TREPreProcessor p;
    p.UseFuzzyCharDic = true;
    const std::string out = p.ExpandPattern("a|b", &origin);
    ASSERT_EQ(U(out), "(Ａ|ａ|A|a)|(Ｂ|ｂ|B|b)");
    ASSERT_EQ(origin.size(), out.size() + 1);
    const size_t bar = out.find(")|(") + 1;
    EXPECT_EQ(origin[0], 1u);
    EXPECT_EQ(origin[bar - 1], 1u);
    EXPECT_EQ(origin[bar], 2u);
    EXPECT_EQ(origin[bar + 1], 3u);
    EXPECT_EQ(origin.back(), 4u);
}

TEST(Quoting, MetacharactersOnlyOutsideDoubleByteCharacters) {
    EXPECT_EQ(QuoteMember("^(|)+*?.[]$\\"), "\\^\\(\\|\\)\\+\\*\\?\\.\\[\\]\\$\\\\");
    EXPECT_EQ(QuoteMember("{-}"), "{-}");
    EXPECT_EQ(QuoteMember(S("ソポ")), S("ソポ"));  // second bytes 0x5C and 0x7C stay alone
}

}  // namespace
}  // namespace pelorin
