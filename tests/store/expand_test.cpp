// TMsg::Expand: every directive, widths, conditionals, date letters, and templates that end or
// break in awkward places.
#include "support/testing.h"

#include "store/msg.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::S;
using testing::U;

class Expand : public ::testing::Test {
protected:
    Expand() {
        msg = TMsg::FromLines({
            "Subject: abcdefgh",
            "From: Taro Yamada <taro@example.jp>",
            "Date: Sun, 6 Dec 1998 15:04:05 +0900",
            "Message-ID: <123@example.jp>",
            "Newsgroups: fj.test,fj.misc",
            "Organization: =?ISO-2022-JP?B?GyRCOzNFRBsoSg==?=",
            "X-Kanji: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=",
            "",
            "body",
        });
        msg.length = 12345;
        msg.lineCount = 42;
        msg.depth = 2;
        msg.mark = '+';
    }
    std::string X(std::string_view t) { return msg.Expand(t); }
    TMsg msg;
};

TEST_F(Expand, ReplacesEachDirective) {
    EXPECT_EQ(X("%%|%\\|%{"), "%|\\|{");
    EXPECT_EQ(X("%s"), "abcdefgh");
    EXPECT_EQ(X("%F"), "Taro Yamada <taro@example.jp>");
    EXPECT_EQ(X("%R"), "taro@example.jp");
    EXPECT_EQ(X("%c"), "Taro Yamada ");
    EXPECT_EQ(X("%f"), "taro@example.jp(Taro Yamada )");
    EXPECT_EQ(X("%r"), "taro");
    EXPECT_EQ(X("%I"), "<123@example.jp>");
    EXPECT_EQ(X("%K"), "+");
    EXPECT_EQ(X("%N"), "fj.test,fj.misc");
    EXPECT_EQ(X("%O"), S("山田"));
    EXPECT_EQ(X("%[x-kanji]"), S("テスト"));
    EXPECT_EQ(X("%[Missing]"), "");
    EXPECT_EQ(X("%B %L"), "12345 42");
    EXPECT_EQ(X("[%V]"), "[    ]");
    EXPECT_EQ(X("%q%)%@"), "q)@");
}

TEST_F(Expand, SubjectIsDecodedOnceMore) {
    msg.subject = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=";
    EXPECT_EQ(X("%s"), S("テスト"));
}

TEST_F(Expand, WidthsCutPadOrAlign) {
    EXPECT_EQ(X("%5s"), "abcde");
    EXPECT_EQ(X("%50s"), "abcdefgh");
    EXPECT_EQ(X("%8L"), "      42");
    EXPECT_EQ(X("%2V"), "    ");
    msg.depth = 3;
    EXPECT_EQ(X("%2V"), "      ");
    msg.depth = 0;
    EXPECT_EQ(X("%V"), "");
    EXPECT_EQ(X("%9K"), "+");
    EXPECT_EQ(X("%10(%s%)|"), "abcdefgh  |");
    EXPECT_EQ(X("%4(%s%)|"), "abcd|");
}

TEST_F(Expand, ANumberWidthIsAMinimumNeverACut) {
    // Byte and line counts are shown whole however narrow the width: 919805 lines in a
    // five-wide column is "919805", never its last five digits.
    msg.lineCount = 919805;
    EXPECT_EQ(X("%5L|"), "919805|");
    EXPECT_EQ(X("%6L|"), "919805|");
    EXPECT_EQ(X("%7L|"), " 919805|");
    EXPECT_EQ(X("%3B|%0B|%L"), "12345|12345|919805");
    msg.lineCount = INT32_MAX;
    EXPECT_EQ(X("%1L"), "2147483647");
    // A column around it still holds its width.
    EXPECT_EQ(X("%4(%5L%)|"), "2147|");
}

TEST_F(Expand, WidthsNeverSplitADoubleByteCharacter) {
    msg.subject = S("テスト");
    EXPECT_EQ(X("%3s"), S("テ"));
    EXPECT_EQ(X("%4s"), S("テス"));
    // A column keeps its width: the byte of the cut character becomes a blank.
    EXPECT_EQ(X("%5(%s%)|"), S("テス") + " |");
}

TEST_F(Expand, ConditionalsChooseByTheValue) {
    EXPECT_EQ(X("In article %I, %F{,you} wrote"),
              "In article <123@example.jp>, Taro Yamada <taro@example.jp> wrote");
    msg.SetFrom("");
    EXPECT_EQ(X("In article %I, %F{,you} wrote"), "In article <123@example.jp>, you wrote");
    EXPECT_EQ(X("%4L{(%@),}"), "(  42)");
    EXPECT_EQ(X("%s{ !,none}"), "abcdefgh !");
    EXPECT_EQ(X("%[Missing]{[%@],none, really}"), "none, really");
    EXPECT_EQ(X("%5s{[%@],}"), "[abcd");
    // Without a "," before "}" the "{" stays as text.
    EXPECT_EQ(X("%s{x}"), "abcdefgh{x}");
    EXPECT_EQ(X("%s{x,"), "abcdefgh{x,");
    EXPECT_EQ(X("%s{x}{,y}"), "abcdefgh{x}{,y}");
}

TEST_F(Expand, ConditionalsStepOverDoubleByteCharacters) {
    // "マ" is 83 7D: its trail byte is "}".
    EXPECT_EQ(X(S("%I{マ,}")), "<123@example.jp>" + S("マ"));
    EXPECT_EQ(X(S("%[Missing]{x,マ}")), S("マ"));
}

TEST_F(Expand, ListRowTemplate) {
    msg.depth = 1;
    const std::string row = X("%K%50(%4L{(%@),}%V%s%) >> %c");
    EXPECT_EQ(row,
              "+" + std::string("(  42)  abcdefgh") + std::string(34, ' ') + " >> Taro Yamada ");
    EXPECT_EQ(X("%K%50(%4L{(%@),}%V%s%) >> %c").size(), 1 + 50 + 4 + 12u);
}

TEST_F(Expand, DateLetters) {
    EXPECT_EQ(X("%Y/%m/%d(%w) %H:%M:%S %z"), "1998/12/06(Sun) 15:04:05 JST");
    EXPECT_EQ(U(X("%y %b %W %h%p %P %Z %G%e")), "98 Dec 日 03PM 午後 日本時間 平成10");
    EXPECT_EQ(X("%2Y"), "19");
}

TEST_F(Expand, BadTemplatesEndOrStayAsText) {
    EXPECT_EQ(X("abc%"), "abc");
    EXPECT_EQ(X("abc%12"), "abc");
    EXPECT_EQ(X("%"), "");
    EXPECT_EQ(X("%[Subject"), "[Subject");
    EXPECT_EQ(X("%(abc%)"), "(abc)");
    EXPECT_EQ(X("%5(abc"), "(abc");
    EXPECT_EQ(X("%5(abc%"), "(abc");
    EXPECT_EQ(X(""), "");
    // A lead byte at the very end is copied alone.
    EXPECT_EQ(X("a\x83"), "a\x83");
    EXPECT_EQ(X("%\x83"), "\x83");
}

TEST_F(Expand, NestedColumnsFindTheirOwnClose) {
    EXPECT_EQ(X("%6(%2(%s%)|%)|"), "ab|   |");
    EXPECT_EQ(X("%6(a%(b%)c%)|"), "a(b)c |");
}

TEST_F(Expand, HugeWidthsAndDeepNestingStayBounded) {
    EXPECT_EQ(X("%99999999999999999999(x%)").size(), 9999u);
    msg.depth = 1000000;
    EXPECT_EQ(X("%99V").size(), 9999u);
    std::string deep;
    for (int i = 0; i < 100; ++i) deep += "%1(";
    deep += "x";
    for (int i = 0; i < 100; ++i) deep += "%)";
    EXPECT_LE(X(deep).size(), 200u);
}

}  // namespace
}  // namespace pelorin
