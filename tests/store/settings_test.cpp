// Settings helpers: defaults written back, the flag rule, fonts as eight keys, numbered lists.
#include "store/settings.h"

#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

class Settings : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = (dir / "pelorin.ini").string();
};

TEST_F(Settings, ReadTextWritesAMissingDefaultBack) {
    TIniF ini(path);
    EXPECT_EQ(ReadText(ini, "Message", "Refer", "In article %I, %F{,you} wrote"),
              "In article %I, %F{,you} wrote");
    EXPECT_EQ(TIniF(path).ReadString("Message", "Refer", "?"), "In article %I, %F{,you} wrote");
    // A stored value wins, also an empty one; the sentinel itself counts as missing.
    ASSERT_TRUE(ini.WriteString("Message", "ReplyTo", ""));
    EXPECT_EQ(ReadText(ini, "Message", "ReplyTo", "x"), "");
    ASSERT_TRUE(ini.WriteString("Message", "Odd", "XxYyZz"));
    EXPECT_EQ(ReadText(ini, "Message", "Odd", "d"), "d");
    EXPECT_EQ(ini.ReadString("Message", "Odd", ""), "d");
}

TEST_F(Settings, ReadNumberWritesADefaultForMissingOrBadValues) {
    WriteFile(path, "[Display]\r\nTabCount=8\r\nLineMergine=abc\r\n");
    TIniF ini(path);
    EXPECT_EQ(ReadNumber(ini, "Display", "TabCount", 4), 8);
    EXPECT_EQ(ReadNumber(ini, "Display", "LineMergine", 0), 0);
    EXPECT_EQ(ReadNumber(ini, "Display", "LeftMergine", -7), -7);
    EXPECT_EQ(ReadFile(path), "[Display]\r\nTabCount=8\r\nLineMergine=0\r\nLeftMergine=-7\r\n");
}

TEST_F(Settings, ReadFlagAcceptsOnlyYNAndYN) {
    WriteFile(path, "[D]\r\na=Y\r\nb=N\r\nc=YN\r\nd=y\r\ne=\r\nf=yes\r\n");
    TIniF ini(path);
    EXPECT_TRUE(ReadFlag(ini, "D", "a", false));
    EXPECT_FALSE(ReadFlag(ini, "D", "b", true));
    EXPECT_FALSE(ReadFlag(ini, "D", "c", true));
    EXPECT_TRUE(ReadFlag(ini, "D", "d", true));
    EXPECT_FALSE(ReadFlag(ini, "D", "e", false));
    EXPECT_TRUE(ReadFlag(ini, "D", "f", true));
    EXPECT_FALSE(ReadFlag(ini, "D", "missing", false));
    EXPECT_EQ(ReadFile(path), "[D]\r\na=Y\r\nb=N\r\nc=YN\r\nd=Y\r\ne=N\r\nf=Y\r\nmissing=N\r\n");
    WriteFlag(ini, "D", "a", false);
    EXPECT_EQ(ini.ReadString("D", "a", ""), "N");
}

TEST_F(Settings, FontsRoundTripAsEightKeys) {
    TIniF ini(path);
    TFont font;
    font.name = S("ＭＳ ゴシック");
    font.size = 12;
    font.color = 0xFF0000;
    font.charSet = 128;
    font.bold = true;
    font.strikeout = true;
    WriteFont(ini, "Fonts", "Text", font);
    EXPECT_EQ(ini.ReadSection("Fonts"),
              (TSList{"TextName", "TextSize", "TextColor", "TextCharSet", "TextStyleBold",
                      "TextStyleItalic", "TextStyleUnderline", "TextStyleStrikeout"}));
    TIniF fresh(path);
    TFont back;
    ReadFont(fresh, "Fonts", "Text", back);
    EXPECT_EQ(back, font);
}

TEST_F(Settings, ReadFontKeepsCurrentValuesAndClearsMissingStyles) {
    WriteFile(path, "[Fonts]\r\nSubjSize=14\r\nSubjStyleItalic=y\r\nSubjColor=-16777208\r\n");
    TIniF ini(path);
    TFont font;
    font.name = "Sans";
    font.charSet = 1;
    font.bold = font.italic = font.underline = true;
    ReadFont(ini, "Fonts", "Subj", font);
    EXPECT_EQ(font.name, "Sans");
    EXPECT_EQ(font.size, 14);
    EXPECT_EQ(font.color, -16777208);
    EXPECT_EQ(font.charSet, 1);
    EXPECT_FALSE(font.bold);
    EXPECT_FALSE(font.italic);  // "y" is not "Y"
    EXPECT_FALSE(font.underline);
    // Nothing is written back.
    EXPECT_EQ(ReadFile(path),
              "[Fonts]\r\nSubjSize=14\r\nSubjStyleItalic=y\r\nSubjColor=-16777208\r\n");
}

TEST_F(Settings, ListsComeBackInWrittenOrderPastTen) {
    TIniF ini(path);
    TSList lines;
    for (int i = 0; i < 12; ++i) lines.push_back("packet" + std::to_string(i));
    ASSERT_TRUE(ini.WriteString("Files", "Outbound", "/out"));
    WriteList(ini, "Files", "AutoLoad", lines);
    ASSERT_TRUE(ini.WriteString("Files", "DataPath", "/data"));
    TIniF fresh(path);
    TSList back = {"stale"};
    ReadList(fresh, "Files", "AutoLoad", back);
    EXPECT_EQ(back, lines);

    // A shorter list replaces the longer one; the other keys keep their order.
    WriteList(fresh, "Files", "AutoLoad", {"only"});
    EXPECT_EQ(fresh.ReadSection("Files"), (TSList{"Outbound", "DataPath", "AutoLoad0"}));
    ReadList(fresh, "Files", "AutoLoad", back);
    EXPECT_EQ(back, TSList{"only"});
}

TEST_F(Settings, ReadListOrdersByNumberThenName) {
    WriteFile(path,
              "[Print]\r\n"
              "Head10=ten\r\n"
              "Head2=two\r\n"
              "HeadX=x\r\n"
              "head1=lower case prefix\r\n"
              "Other=o\r\n"
              "Head0=zero\r\n"
              "Head01=one\r\n");
    TIniF ini(path);
    TSList lines;
    ReadList(ini, "Print", "Head", lines);
    // HeadX reads as number 0 and sorts after Head0 by name; Head01 is 1.
    EXPECT_EQ(lines, (TSList{"zero", "x", "one", "two", "ten"}));
    ReadList(ini, "Missing", "Head", lines);
    EXPECT_TRUE(lines.empty());
}

TEST_F(Settings, WriteListPutsTheListAfterTheOtherKeys) {
    WriteFile(path, "[Files]\r\nAutoLoad0=a\r\nAutoLoad1=b\r\nOther=1\r\n");
    TIniF ini(path);
    WriteList(ini, "Files", "AutoLoad", {"c", "d", "e"});
    EXPECT_EQ(ReadFile(path),
              "[Files]\r\nOther=1\r\nAutoLoad0=c\r\nAutoLoad1=d\r\nAutoLoad2=e\r\n");
}

}  // namespace
}  // namespace pelorin
