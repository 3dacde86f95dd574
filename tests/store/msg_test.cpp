// TMsg: the header lookup, sender address and name, reading text from the message file,
// splitting it into lines, records built from composed lines, and the caches.
#include "store/msg.h"

#include "support/testing.h"

#include "store/address_parts.h"
#include "store/dates.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::S;
using testing::TempDir;
using testing::WriteFile;

TEST(HeaderValue, MatchesTheNameWithColonAndBlankInAnyCase) {
    TSList lines = {"SUBJECT: hi", "X-Tight:no blank", "From: a@b", "", "From: body@x"};
    EXPECT_EQ(HeaderValue(lines, "subject"), "hi");
    EXPECT_EQ(HeaderValue(lines, "X-Tight"), "");
    EXPECT_EQ(HeaderValue(lines, "From"), "a@b");
}

TEST(HeaderValue, JoinsFoldsAndStopsAtALineThatIsBlankAfterTrimming) {
    EXPECT_EQ(HeaderValue({"Subject: hello", "\tworld"}, "Subject"), "helloworld");
    EXPECT_EQ(HeaderValue({"Subject: a", " \t b", "Next: x"}, "Subject"), "ab");
    // A line of only CR (a CR LF file) or only a TAB ends the header.
    EXPECT_EQ(HeaderValue({"Date: d\r", "\r", "From: body"}, "From"), "");
    EXPECT_EQ(HeaderValue({"Date: d", "\t", "From: body"}, "From"), "");
    // The trailing CR of a CR LF file stays.
    EXPECT_EQ(HeaderValue({"Date: d\r"}, "Date"), "d\r");
    EXPECT_EQ(HeaderValue({"A: 1", "A: 2"}, "a"), "1");
    EXPECT_EQ(HeaderValue({}, "a"), "");
}

TEST(AddressPart, FollowsTheFromRules) {
    EXPECT_EQ(AddressPart("Taro Yamada <taro@example.jp>"), "taro@example.jp");
    EXPECT_EQ(AddressPart("\"Taro Yamada\" <taro@example.jp>"), "taro@example.jp");
    EXPECT_EQ(AddressPart("\"Taro Yamada\" taro@example.jp"), " taro@example.jp");
    EXPECT_EQ(AddressPart("taro@example.jp (Taro)"), "taro@example.jp ");
    EXPECT_EQ(AddressPart("taro@example.jp"), "taro@example.jp");
    EXPECT_EQ(AddressPart("<taro@example.jp"), "taro@example.jp");
    // "(" in the first three characters does not cut.
    EXPECT_EQ(AddressPart("(x) <a@b>"), "a@b");
    // Nothing left gives the whole From.
    EXPECT_EQ(AddressPart("\"only a name\""), "\"only a name\"");
    EXPECT_EQ(AddressPart(""), "");
}

TEST(NamePart, TakesWhatTheEarliestDelimiterEncloses) {
    EXPECT_EQ(NamePart("taro@example.jp (Taro Yamada)"), "Taro Yamada");
    EXPECT_EQ(NamePart("Taro Yamada <taro@example.jp>"), "Taro Yamada ");
    EXPECT_EQ(NamePart("\"Yamada, Taro\" <taro@example.jp>"), "Yamada, Taro");
    EXPECT_EQ(NamePart("taro@example.jp"), "");
    EXPECT_EQ(NamePart("a@b (unclosed"), "unclosed");
    EXPECT_EQ(NamePart("a@b ()"), "");
    EXPECT_EQ(NamePart(S("山田 <y@x>")), S("山田 "));
}

TEST(LocalPart, IsTheTextBeforeTheAtSign) {
    EXPECT_EQ(LocalPart("taro@example.jp"), "taro");
    EXPECT_EQ(LocalPart("@example.jp"), "@example.jp");
    EXPECT_EQ(LocalPart("taro"), "taro");
    // The full-width blank is 81 40: its trail byte is "@" but it is no "@".
    const std::string blank = S("　");
    EXPECT_EQ(LocalPart(blank + "x@y"), blank + "x");
    EXPECT_EQ(LocalPart(S("パ") + "@y"), S("パ"));
}

class MsgFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = (dir / "0000001.MSG").string();
    TMsg At(int32_t offset, int32_t length) {
        TMsg m;
        m.msgFile = path;
        m.offset = offset;
        m.length = length;
        return m;
    }
};

TEST_F(MsgFile, ReadTextReadsItsRangeOrWhatIsThere) {
    std::string content = "#! rnews 20\n";
    std::string message = "Subject: x\n\n" + std::string(5000, 'b') + "\n";
    content += message + "tail";
    WriteFile(path, content);
    const int32_t at = 12;
    EXPECT_EQ(At(at, static_cast<int32_t>(message.size())).ReadText(), message);
    EXPECT_EQ(At(at, 1000000).ReadText(), content.substr(at));
    EXPECT_EQ(At(static_cast<int32_t>(content.size()) + 10, 5).ReadText(), "");
    EXPECT_EQ(At(at, 0).ReadText(), "");
    EXPECT_EQ(At(-1, 5).ReadText(), "");
    EXPECT_EQ(At(at, -5).ReadText(), "");
    TMsg missing = At(0, 10);
    missing.msgFile = (dir / "gone.MSG").string();
    EXPECT_EQ(missing.ReadText(), "");
}

TEST_F(MsgFile, LoadLinesSplitsAtLf) {
    WriteFile(path, "A: 1\r\n\nbody\nlast");
    TMsg m = At(0, 16);
    m.LoadLines();
    EXPECT_EQ(m.lines, (TSList{"A: 1\r", "", "body", "last"}));
    m.length = 12;  // up to and including the LF after "body"
    m.LoadLines();
    EXPECT_EQ(m.lines, (TSList{"A: 1\r", "", "body"}));
    m.length = 0;
    m.LoadLines();
    EXPECT_EQ(m.lines, TSList{""});
}

TEST_F(MsgFile, HeaderLoadsTheLinesOnDemand) {
    WriteFile(path, "Newsgroups: fj.test\nSubject: s\n\nNewsgroups: in body\n");
    TMsg m = At(0, 52);
    EXPECT_EQ(m.Header("NEWSGROUPS"), "fj.test");
    EXPECT_EQ(m.lines.size(), 4u);
}

TEST(TMsg, FromLinesBuildsADecodedRecord) {
    TSList lines = {
        "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=",
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoSg==?= <yamada@example.jp>",
        "Date: Sun, 6 Dec 1998 12:34:56 +0900",
        "Message-ID: <1@example.jp>",
        "References: <a@x>",
        " <b@y>",
        "",
        "body",
    };
    TMsg m = TMsg::FromLines(lines);
    EXPECT_EQ(m.subject, S("テスト"));
    EXPECT_EQ(m.From(), S("山田") + " <yamada@example.jp>");
    EXPECT_EQ(m.FromAddress(), "yamada@example.jp");
    EXPECT_EQ(m.FromName(), S("山田") + " ");
    EXPECT_EQ(m.Date(), "Sun, 6 Dec 1998 12:34:56 +0900");
    EXPECT_EQ(m.SortDate(), "19981206123456+0900");
    EXPECT_EQ(m.messageId, "<1@example.jp>");
    EXPECT_EQ(m.parentId, "<b@y>");
    EXPECT_EQ(m.references, "");
    EXPECT_EQ(m.lineCount, 8);
    EXPECT_EQ(m.length, 0);
    EXPECT_EQ(m.mark, '*');
    EXPECT_EQ(m.lines, lines);
    // No message file: loading keeps the composed lines instead of emptying them.
    m.LoadLines();
    EXPECT_EQ(m.lines, lines);
    EXPECT_EQ(m.Header("Date"), "Sun, 6 Dec 1998 12:34:56 +0900");
}

TEST(TMsg, FromLinesWithoutReferencesGetsAParentIdThatMatchesNothing) {
    TMsg m = TMsg::FromLines({"Subject: x", "References: junk", ""});
    EXPECT_EQ(m.parentId, "junk      ");
    EXPECT_EQ(TMsg::FromLines({}).parentId, "      ");
}

TEST(TMsg, SettingFromOrDateRefreshesTheCaches) {
    TMsg m;
    m.SetFrom("a@b (Old)");
    m.SetDate("6 Dec 1998 01:02:03 GMT");
    EXPECT_EQ(m.FromName(), "Old");
    EXPECT_EQ(m.FromAddress(), "a@b ");
    EXPECT_EQ(m.SortDate(), "19981206010203GMT");
    m.SetFrom("New <c@d>");
    m.SetDate("7 Jan 1999 01:02:03 GMT");
    EXPECT_EQ(m.FromName(), "New ");
    EXPECT_EQ(m.FromAddress(), "c@d");
    EXPECT_EQ(m.SortDate(), "19990107010203GMT");
    // A copy keeps the computed values.
    TMsg copy = m;
    EXPECT_EQ(copy.FromAddress(), "c@d");
}

TEST(TMsg, SortDateOfATwoDigitYearUsesThisCentury) {
    TMsg m;
    m.SetDate("6 Dec 98 01:02:03 GMT");
    EXPECT_EQ(m.SortDate(), SortKeyDate("6 Dec 98 01:02:03 GMT"));
    EXPECT_EQ(m.SortDate().substr(2), "981206010203GMT");
}

}  // namespace
}  // namespace pelorin
