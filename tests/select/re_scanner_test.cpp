// The scanner (tokens, modes, escapes), every pattern error with its message and position,
// and the parse trees the parser builds.
#include "select/re_scanner.h"

#include "support/testing.h"

#include "select/awkstr.h"
#include "select/re_error.h"
#include "select/re_parser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::S;
using K = TRETokenKind;

std::string Kinds(std::string_view pattern) {
    static const char* const names[] = {"lit", "range", "|", "(", ")", "*", "+",  "?",
                                        "[",   "[^",    "]", ".", "^", "$", "end"};
    std::string out;
    for (const TREToken& t : TREScanner::Tokenize(pattern)) {
        if (!out.empty())
            out += ' ';
        out += names[static_cast<int>(t.kind)];
    }
    return out;
}

TEST(Scanner, TokensAndModes) {
    EXPECT_EQ(Kinds("a|(b)*+?.^$]"), "lit | ( lit ) * + ? . ^ $ ] end");
    EXPECT_EQ(Kinds("[a-c^]x"), "[ range lit ] lit end");
    EXPECT_EQ(Kinds("[^^]"), "[^ lit ] end");
    EXPECT_EQ(Kinds("[a-]"), "[ lit lit ] end");
    EXPECT_EQ(Kinds("[-a]"), "[ lit lit ] end");
    EXPECT_EQ(Kinds("[(|)*]"), "[ lit lit lit lit ] end");
    EXPECT_EQ(Kinds("{1,2}"), "lit lit lit lit lit end");
    EXPECT_EQ(Kinds(""), "end");

    // Positions and source lengths, double-byte characters and escapes included.
    auto tokens = TREScanner::Tokenize(S("ア\\x41[い-う]"));
    ASSERT_EQ(tokens.size(), 6u);
    EXPECT_EQ(tokens[0].code, 0x8341u);
    EXPECT_EQ(tokens[0].start, 1u);
    EXPECT_EQ(tokens[0].length, 2u);
    EXPECT_EQ(tokens[1].code, 0x41u);
    EXPECT_EQ(tokens[1].start, 3u);
    EXPECT_EQ(tokens[1].length, 4u);
    EXPECT_EQ(tokens[3].kind, K::Range);
    EXPECT_EQ(tokens[3].code, 0x82A2u);
    EXPECT_EQ(tokens[3].code2, 0x82A4u);
    EXPECT_EQ(tokens[5].start, 14u);  // End: length + 1
}

TEST(Scanner, Escapes) {
    auto code = [](std::string_view p) {
        auto t = TREScanner::Tokenize(p);
        EXPECT_EQ(t.size(), 2u) << p;
        return t[0].code;
    };
    EXPECT_EQ(code("\\b"), 0x08u);
    EXPECT_EQ(code("\\n"), 0x0Au);
    EXPECT_EQ(code("\\r"), 0x0Du);
    EXPECT_EQ(code("\\t"), 0x09u);
    EXPECT_EQ(code("\\x8140"), 0x8140u);
    EXPECT_EQ(code("\\xfF"), 0xFFu);
    EXPECT_EQ(code("\\177777"), 0xFFFFu);
    EXPECT_EQ(code("\\0"), 0u);
    EXPECT_EQ(code("\\."), unsigned{'.'});
    EXPECT_EQ(code("\\d"), unsigned{'d'});
    EXPECT_EQ(code("\\\\"), unsigned{'\\'});
    EXPECT_EQ(code(S("\\ア")), 0x8341u);
    // Hex stops after four digits or at a non-digit, octal after six; the rest stays.
    EXPECT_EQ(Kinds("\\x12345"), "lit lit end");
    EXPECT_EQ(Kinds("\\x1g"), "lit lit end");
    EXPECT_EQ(Kinds("\\1234567"), "lit lit end");
    EXPECT_EQ(Kinds("\\18"), "lit lit end");
    // An escaped operator is a literal in both modes, and either end of a range in a class.
    EXPECT_EQ(Kinds("\\(\\[\\*"), "lit lit lit end");
    EXPECT_EQ(Kinds("[\\]-\\x7f]"), "[ range ] end");
    EXPECT_EQ(Kinds("[a\\-z]"), "[ lit lit lit ] end");
}

struct ErrorCase {
    const char* pattern;  // UTF-8, converted
    TREError kind;
    size_t position;
};

TEST(Errors, EveryMessageWithItsPosition) {
    const ErrorCase cases[] = {
        {"ab\\", TREError::NeedCharAfterEscape, 3},
        {"a\\x", TREError::BadHex, 2},
        {"\\xq", TREError::BadHex, 1},
        {"\\777777", TREError::BadOctal, 1},
        {"[", TREError::NeedRightBracket, 2},
        {"[ab", TREError::NeedRightBracket, 4},
        {"[a-", TREError::NeedRightBracket, 4},
        {"[^", TREError::NeedRightBracket, 3},
        {"x[z-a]", TREError::BadRange, 3},
        {"[]", TREError::BadClass, 1},
        {"a[^]", TREError::BadClass, 2},
        {"(a", TREError::NeedRightParen, 3},
        {"((a)", TREError::NeedRightParen, 5},
        {"a**", TREError::NeedPrimary, 3},
        {"*a", TREError::NeedPrimary, 1},
        {"a|*", TREError::NeedPrimary, 3},
        {"]", TREError::NeedPrimary, 1},
        {"a+?", TREError::NeedPrimary, 3},
        {"a)", TREError::ExtraCharacters, 2},
        {"())", TREError::ExtraCharacters, 3},
    };
    for (const ErrorCase& c : cases) {
        TAWKStr re;
        re.SetRegExp("ok");
        try {
            re.SetRegExp(S(c.pattern));
            ADD_FAILURE() << c.pattern << ": no error";
        } catch (const ERegExpParser& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.pattern;
            EXPECT_EQ(e.position(), c.position) << c.pattern;
            EXPECT_EQ(std::string(e.what()), e.message());
        }
        EXPECT_EQ(re.RegExp(), "") << c.pattern;
    }
    // A lead byte as the last byte of the pattern.
    TAWKStr re;
    try {
        re.SetRegExp(std::string("ab") + S("ア").substr(0, 1));
        ADD_FAILURE() << "no error";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.kind(), TREError::BadDoubleByte);
        EXPECT_EQ(e.position(), 3u);
    }
}

TEST(Errors, MessagesDecodeToTheirText) {
    const std::pair<TREError, const char*> texts[] = {
        {TREError::BadDoubleByte, "不正な２バイト文字コードです。"},
        {TREError::NeedCharAfterEscape, "\"\\\"の次には文字が必要です。"},
        {TREError::BadHex, "不正な１６進数コード表記です。"},
        {TREError::BadOctal, "不正な８進数コード表記です。"},
        {TREError::NeedRightBracket, "右ブラケット\"]\"が必要です"},
        {TREError::BadRange, "不正なキャラクタ範囲です"},
        {TREError::BadClass, "不正なキャラクタクラス指定です。"},
        {TREError::NeedRightParen, "右(閉じ)括弧が必要です"},
        {TREError::NeedPrimary, "普通の文字、または左括弧\"(\"が必要です"},
        {TREError::ExtraCharacters, "正規表現に余分な文字があります"},
        {TREError::TooDeep, "括弧の入れ子が深すぎます"},
        {TREError::TooComplex, "正規表現が複雑すぎます（オートマトンの状態数が上限を超えます）"},
    };
    for (auto [kind, text] : texts) {
        EXPECT_EQ(TREErrorUtf8(kind), text);
        EXPECT_EQ(testing::U(TREErrorText(kind)), text);  // nothing lost in Shift_JIS
    }
    EXPECT_EQ(testing::U(TREFatalTreeText()), "TREParseTree : 致命的エラー");
}

std::string Dump(std::string_view pattern) {
    TREParser parser(pattern);
    TRENodeId root = parser.Run();
    return parser.Tree().Dump(root);
}

TEST(Parser, Trees) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "emp{}"},
        {"()", "emp{}"},
        {"a", "lit{a}"},
        {"ab|c", "alt{cat{lit{a}lit{b}}lit{c}}"},
        {"a|", "alt{lit{a}emp{}}"},
        {"|a", "alt{emp{}lit{a}}"},
        {"a*b+c?", "cat{star{lit{a}}lit{b}star{lit{b}}alt{lit{c}emp{}}}"},
        {"(ab)*", "star{cat{lit{a}lit{b}}}"},
        {"^a$", "cat{bol{}lit{a}eol{}}"},
        {".", "alt{range{\\x01-\\x09}range{\\x0b-\\x0c}range{\\x0e-\\xfcfc}}"},
        {"[a-cx]", "alt{range{a-c}lit{x}}"},
        {"[^b]", "alt{range{\\x01-\\x09}range{\\x0b-\\x0c}range{\\x0e-a}range{c-\\xfcfc}}"},
        {"[^\\x01-\\x09\\x0b-\\x0c\\x0e-\\xfcfc]", "none{}"},
        {"\\x8140", "lit{\\x8140}"},
        {"{", "lit{\\x7b}"},
    };
    for (auto [pattern, dump] : cases) EXPECT_EQ(Dump(pattern), dump) << pattern;
}

TEST(Parser, LeavesAreShared) {
    TREParser parser("a[ab]a");
    parser.Run();
    size_t leaves = 0;
    for (size_t i = 0; i < parser.Tree().Size(); ++i)
        leaves += parser.Tree().Node(static_cast<TRENodeId>(i)).kind == TRENodeKind::Range;
    EXPECT_EQ(leaves, 2u);
    EXPECT_THROW(parser.Tree().Node(9999), std::logic_error);
}

}  // namespace
}  // namespace pelorin
