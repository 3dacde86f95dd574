// The NNTP response parser: status lines good and bad, GROUP numbers, overview lines, and data
// blocks with dot-stuffing both ways.
#include "transfer/nntp_response.h"

#include <gtest/gtest.h>

namespace pelorin::transfer {
namespace {

TEST(NntpResponse, StatusLines) {
    EXPECT_EQ(ParseStatus("211 3 1 3 fj.test\r\n").code, 211);
    EXPECT_EQ(ParseStatus("211 3 1 3 fj.test\r\n").text, "3 1 3 fj.test");
    EXPECT_EQ(ParseStatus("205").code, 205);
    for (const char* bad : {"", "20", "2x0 hi", "2000 hi", "099 low", "600 high", " 200 lead"})
        EXPECT_EQ(ParseStatus(bad).code, 0) << bad;
}

TEST(NntpResponse, GroupNumbers) {
    GroupReply g = ParseGroupReply("3 1 3 fj.test");
    EXPECT_TRUE(g.ok);
    EXPECT_EQ(g.count, 3);
    EXPECT_EQ(g.high, 3);
    EXPECT_EQ(ParseGroupReply("0 4294967296 4294967295 big").low, 4294967296);
    EXPECT_FALSE(ParseGroupReply("3 1").ok);
    EXPECT_FALSE(ParseGroupReply("-1 1 3 g").ok);
    EXPECT_FALSE(ParseGroupReply("1 1 99999999999999999999 g").ok);
}

TEST(NntpResponse, OverviewLines) {
    OverviewLine o = ParseOverview("12\tSubj\tFrom\tDate\t<id@x>\t<ref@x>\t345\t6\tXref: a\r");
    EXPECT_EQ(o.number, 12);
    EXPECT_EQ(o.messageId, "<id@x>");
    EXPECT_EQ(o.bytes, 345);
    EXPECT_EQ(o.lines, 6);
    EXPECT_EQ(ParseOverview("12\tonly a subject").messageId, "");
    EXPECT_EQ(ParseOverview("x\ta\tb").number, 0);
    EXPECT_EQ(ParseOverview("0\ta").number, 0);
}

TEST(NntpResponse, DataBlocks) {
    bool complete = false;
    EXPECT_EQ(DecodeBlock("a\r\n..b\r\n.\r\nafter\r\n", &complete), "a\n.b\n");
    EXPECT_TRUE(complete);
    EXPECT_EQ(DecodeBlock("a\r\nb", &complete), "a\nb\n");
    EXPECT_FALSE(complete);
    EXPECT_EQ(DecodeBlock("x\ry\n.\n", &complete), "x\ry\n");  // a lone CR stays
    const std::string text = ".\n..two\nplain\n\n";
    EXPECT_EQ(DotEncode(text), "..\r\n...two\r\nplain\r\n\r\n.\r\n");
    EXPECT_EQ(DecodeBlock(DotEncode(text)), text);
}

}  // namespace
}  // namespace pelorin::transfer
