// Each field kind of the condition handler, the string tests in both modes, the date test, and
// the search over a list of messages.
#include "select/match_fields.h"

#include "support/testing.h"

#include "coding/jis.h"
#include "select/message_search.h"
#include "select/re_error.h"
#include "store/msg.h"

#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using namespace std::chrono;
using testing::S;

// A message built from composed lines (UTF-8, converted).
TMsg Message(std::initializer_list<const char*> utf8) {
    TSList lines;
    for (const char* l : utf8) lines.push_back(S(l));
    return TMsg::FromLines(lines);
}

TMsg Sample() {
    TMsg m = Message({"Subject: Re: テスト abc", "From: Taro <taro@example.jp>",
                      "Date: Fri, 1 May 1998 23:59:00 +0900", "Message-ID: <1@example.jp>",
                      "References: <0@example.jp>", "X-ML-Name: pelorin-users", "", "本文です。",
                      "ABC xyz"});
    m.references = "<0@example.jp>";
    m.mark = ' ';
    m.lineCount = 9;
    m.length = 1234;
    return m;
}

// One leaf through the handler, as evaluation calls it.
bool Leaf(TMatchFields& f, TMsg& msg, const char* leaf_utf8) {
    std::string header, text;
    TJkCondition cond;
    TMatchHelp::SplitLeaf(S(leaf_utf8), header, cond, text);
    bool ret = true;
    f.MatchMatching(&msg, header, cond, text, ret);
    return ret;
}

TEST(ConditionFields, RecordFieldsPlainAndFuzzy) {
    TMsg m = Sample();
    TMatchFields f;
    f.UseRegEx = false;
    f.Fuzzy = false;
    EXPECT_TRUE(Leaf(f, m, "Subject＝abc"));
    EXPECT_FALSE(Leaf(f, m, "Subject＝ABC"));
    EXPECT_TRUE(Leaf(f, m, "Subject≠ABC"));
    EXPECT_TRUE(Leaf(f, m, "subject＝テスト"));  // field names ignore ASCII case
    EXPECT_TRUE(Leaf(f, m, "FROM＝taro@"));
    EXPECT_TRUE(Leaf(f, m, "Message-ID＝<1@"));
    EXPECT_TRUE(Leaf(f, m, "References＝<0@"));
    EXPECT_FALSE(Leaf(f, m, "Subject"));       // an empty text is never found
    EXPECT_FALSE(Leaf(f, m, "Subject＞abc"));  // any operator but ＝ means "not found"
    f.Fuzzy = true;
    EXPECT_TRUE(Leaf(f, m, "Subject＝ABC"));
    EXPECT_FALSE(Leaf(f, m, "Subject＝ｔｅｓｔ"));  // without regular expressions only ASCII case
}

TEST(ConditionFields, RegularExpressionMode) {
    TMsg m = Sample();
    TMatchFields f;  // regular expressions and fuzzy search, as the dialog starts
    EXPECT_TRUE(Leaf(f, m, "Subject＝^Re:"));
    EXPECT_TRUE(Leaf(f, m, "Subject＝ﾃｽﾄ"));    // fuzzy dictionary
    EXPECT_TRUE(Leaf(f, m, "Subject"));         // the empty pattern matches
    EXPECT_FALSE(Leaf(f, m, "Subject＝(abc"));  // does not compile: false, nothing thrown
    EXPECT_FALSE(Leaf(f, m, "Subject≠(abc"));
    EXPECT_TRUE(Leaf(f, m, "Subject＝abc$"));
    f.Fuzzy = false;
    EXPECT_FALSE(Leaf(f, m, "Subject＝ﾃｽﾄ"));
    EXPECT_TRUE(Leaf(f, m, "X-ML-Name＝^pelorin-"));
    EXPECT_TRUE(Leaf(f, m, "X-Missing≠."));  // an absent header is empty
}

TEST(ConditionFields, MarkValues) {
    TMsg m = Sample();
    for (bool regex : {false, true}) {
        TMatchFields f;
        f.UseRegEx = regex;
        m.mark = ' ';
        EXPECT_TRUE(Leaf(f, m, "マーク＝＿")) << regex;
        EXPECT_TRUE(Leaf(f, m, "マーク≠＊")) << regex;
        m.mark = '*';
        EXPECT_FALSE(Leaf(f, m, "マーク≠＊")) << regex;
        EXPECT_TRUE(Leaf(f, m, "マーク＝＊")) << regex;
        m.mark = '+';
        EXPECT_TRUE(Leaf(f, m, "マーク＝＋")) << regex;
        m.mark = '-';
        EXPECT_TRUE(Leaf(f, m, "マーク＝－")) << regex;
        EXPECT_FALSE(Leaf(f, m, "マーク＝＋")) << regex;
    }
}

TEST(ConditionFields, Dates) {
    TMsg m = Sample();  // 1 May 1998, 23:59
    TMatchFields f;
    f.Today = [] { return year{1998} / May / day{8}; };
    EXPECT_TRUE(Leaf(f, m, "Date＝1998/05/01"));
    EXPECT_TRUE(Leaf(f, m, "Date＝1998/5/1"));
    EXPECT_FALSE(Leaf(f, m, "Date＞1998/05/01"));
    EXPECT_TRUE(Leaf(f, m, "Date≧Today-7"));
    EXPECT_FALSE(Leaf(f, m, "Date≧Today-6"));
    EXPECT_TRUE(Leaf(f, m, "Date＜Today-6"));
    EXPECT_FALSE(Leaf(f, m, "Date≦ExpireDate"));  // no expiry date set: false
    f.ExpireDate = year{1998} / May / day{2};
    EXPECT_TRUE(Leaf(f, m, "Date≦ExpireDate"));
    EXPECT_TRUE(Leaf(f, m, "Date≠1998/05/02"));
    for (const char* bad :
         {"Date＝1998/13/01", "Date＝1998-05-01", "Date＝Today-x", "Date≠1998/02/30", "Date≠"})
        EXPECT_FALSE(Leaf(f, m, bad)) << bad;
}

TEST(ConditionFields, LinesAndSize) {
    TMsg m = Sample();  // 9 lines, 1234 bytes
    TMatchFields f;
    EXPECT_TRUE(Leaf(f, m, "Lines＞abc"));  // not a number: 0
    EXPECT_TRUE(Leaf(f, m, "Lines＝0009"));
    EXPECT_TRUE(Leaf(f, m, "LINES≦9"));
    EXPECT_FALSE(Leaf(f, m, "Lines＜9"));
    EXPECT_TRUE(Leaf(f, m, "サイズ≧1234"));
    EXPECT_TRUE(Leaf(f, m, "サイズ≠1233"));
    EXPECT_FALSE(Leaf(f, m, "サイズ＞1234"));
}

TEST(ConditionFields, BodyFromComposedLines) {
    TMsg m = Sample();
    TMatchFields f;
    EXPECT_TRUE(Leaf(f, m, "本文＝本文です"));
    EXPECT_FALSE(Leaf(f, m, "本文＝pelorin-users"));  // the header is not body
    EXPECT_TRUE(Leaf(f, m, "本文＝^ABC"));
    EXPECT_TRUE(Leaf(f, m, "本文＝です。$"));  // lines end in CR LF: "$" before CR
    f.UseRegEx = false;
    EXPECT_TRUE(Leaf(f, m, "本文＝abc xyz"));
}

TEST(ConditionFields, BodyFromTheMessageFile) {
    testing::TempDir dir;
    // Two messages in one file: JIS text, an encoded word, CR LF line ends in the second.
    const std::string first = "Subject: a\nFrom: x\n\n" + SjisToJis(S("日本語の本文")) +
                              "\n=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\n";
    const std::string second = "Subject: b\r\nX-Tag: secret\r\n\r\nbody two\r\n";
    testing::WriteFile(dir / "A.MSG", first + second);
    TMsg a;
    a.msgFile = (dir / "A.MSG").string();
    a.length = static_cast<int32_t>(first.size());
    TMsg b = a;
    b.offset = a.length;
    b.length = static_cast<int32_t>(second.size());
    TMatchFields f;
    EXPECT_TRUE(Leaf(f, a, "本文＝日本語"));
    EXPECT_TRUE(Leaf(f, a, "本文＝^テスト$"));
    EXPECT_EQ(testing::U(TMatchFields::BodyText(b)), "body two");
    EXPECT_FALSE(Leaf(f, b, "本文＝secret"));  // CR LF lines: the header still ends
    EXPECT_TRUE(Leaf(f, b, "X-Tag＝^secret"));
    EXPECT_TRUE(b.lines.empty());  // testing leaves no lines behind in the record

    TMsg missing = a;
    missing.msgFile = (dir / "GONE.MSG").string();
    EXPECT_FALSE(Leaf(f, missing, "本文≠x"));  // cannot be read: false whatever the operator
    EXPECT_FALSE(Leaf(f, missing, "X-Tag≠x"));
}

TEST(ConditionFields, OneHandlerReadsMessagesOfSeveralFilesInAnyOrder) {
    // The handler keeps the last message file open: switching files, coming back, a file that
    // grew after it was first read and a length past the end must all read what is there.
    testing::TempDir dir;
    testing::WriteFile(dir / "A.MSG", "Subject: a\n\nalpha text\n");
    testing::WriteFile(dir / "B.MSG", "Subject: b\n\nbravo text\n");
    auto at = [&](const char* file, int64_t offset, int64_t length) {
        TMsg m;
        m.msgFile = (dir / file).string();
        m.offset = offset;
        m.length = length;
        return m;
    };
    TMsg a = at("A.MSG", 0, 24), b = at("B.MSG", 0, 24);
    TMatchFields f;
    EXPECT_TRUE(Leaf(f, a, "本文＝alpha"));
    EXPECT_TRUE(Leaf(f, b, "本文＝bravo"));
    EXPECT_FALSE(Leaf(f, a, "本文＝bravo"));
    std::ofstream(dir / "A.MSG", std::ios::binary | std::ios::app)
        << "Subject: c\n\ncharlie text\n";
    TMsg c = at("A.MSG", 24, 1000);  // the length runs past the end of the file
    EXPECT_TRUE(Leaf(f, c, "本文＝^charlie text$"));
    TMsg beyond = at("A.MSG", 5000, 10);
    EXPECT_FALSE(Leaf(f, beyond, "本文≠x"));  // nothing there: cannot be read
    TMsg overflowing = at("A.MSG", std::numeric_limits<int64_t>::max() - 4, 1000);
    EXPECT_FALSE(Leaf(f, overflowing, "本文≠x"));  // an end past any file position
}

TEST(ConditionFields, TodaysMailInAFileIsSearchedByTheTextItShows) {
    // A quoted-printable UTF-8 body holds none of its words as bytes; an ISO-2022-JP message
    // that declares its charset is still read as before.
    testing::TempDir dir;
    const std::string utf8 =
        "Subject: x\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
        "Content-Transfer-Encoding: quoted-printable\n\n"
        "=E4=BC=9A=E8=AD=B0=E3=81=AF=E6=9C=A8=E6=9B=9C=E6=97=A5 M=C3=BCller\n";
    const std::string jis = "Subject: y\nContent-Type: text/plain; charset=ISO-2022-JP\n\n" +
                            SjisToJis(S("会議は金曜日")) + "\n";
    testing::WriteFile(dir / "A.MSG", utf8 + jis);
    TMsg a;
    a.msgFile = (dir / "A.MSG").string();
    a.length = static_cast<int64_t>(utf8.size());
    TMsg b = a;
    b.offset = a.length;
    b.length = static_cast<int64_t>(jis.size());
    TMatchFields f;
    EXPECT_TRUE(Leaf(f, a, "本文＝会議は木曜日"));
    EXPECT_FALSE(Leaf(f, a, "本文＝E4"));
    EXPECT_TRUE(Leaf(f, b, "本文＝会議は金曜日"));
    EXPECT_EQ(testing::U(TMatchFields::BodyText(b)), "会議は金曜日");
}

TEST(ConditionFields, PlainSearchNeverSplitsACharacter) {
    EXPECT_FALSE(TMatchFields::ContainsText(S("ア"), "A"));  // ア is 0x83 0x41
    EXPECT_TRUE(TMatchFields::ContainsText(S("アA"), "A"));
    EXPECT_FALSE(TMatchFields::ContainsText(S("xア"), S("ア").substr(0, 1)));
    EXPECT_TRUE(TMatchFields::ContainsText("x\x83", "\x83"));  // a lone lead byte at the end
    EXPECT_TRUE(TMatchFields::ContainsText(S("亜亜"), S("亜")));
    EXPECT_FALSE(TMatchFields::ContainsText(S("亜亜"), "\x9f\x88"));  // across two characters
    EXPECT_FALSE(TMatchFields::ContainsText("abc", ""));
}

TEST(ConditionFields, NotAMessage) {
    TMatchFields f;
    bool ret = true;
    f.MatchMatching(42, "Subject", jc_NotEqual, "x", ret);
    EXPECT_FALSE(ret);
}

TEST(MessageSearch, GrepAndMatchOverAList) {
    TMsg a = Message({"Subject: Re: hello", "", "nothing here"});
    TMsg b = Message({"Subject: other", "", "a ﾃｽﾄ line"});
    TMsg c = Message({"Subject: third", "", "plain"});
    a.mark = '*';
    b.mark = ' ';
    c.mark = ' ';
    std::vector<TMsg*> list = {&a, &b, &c};
    EXPECT_EQ(GrepMessages(list, "^Re:|plain", false), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(GrepMessages(list, S("テスト"), true), (std::vector<size_t>{1}));
    EXPECT_TRUE(GrepMessages(list, S("テスト"), false).empty());
    EXPECT_THROW(GrepMessages(list, "(", false), ERegExpParser);

    TMatchFields f;
    std::vector<std::string> conditions =
        ConditionLines(S("[And]\r\n マーク＝＿\r\n [Or]\r\n  本文＝ﾃｽﾄ\r\n  Subject＝third\r\n"));
    ASSERT_EQ(conditions.size(), 5u);
    EXPECT_EQ(conditions[3], S("  本文＝ﾃｽﾄ"));
    EXPECT_EQ(MatchMessages(list, conditions, f), (std::vector<size_t>{1, 2}));
    EXPECT_EQ(ConditionLines("a\rb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
}

}  // namespace
}  // namespace pelorin
