// ISO-2022-JP <-> Shift_JIS conversion, the byte tests and the Rot13/47 scrambler.
#include "coding/jis.h"

#include "support/testing.h"

#include "coding/rot.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::Hex;
using testing::S;

const std::string kEsc = "\x1B";
const std::string kKanjiIn = kEsc + "$B";
const std::string kKanjiOut = kEsc + "(J";
const std::string kAsciiIn = kEsc + "(B";

TEST(JisCharToSjis, ConvertsArithmeticallyAndShowsBadPairsInHex) {
    EXPECT_EQ(JisCharToSjis("%F"), S("テ"));
    EXPECT_EQ(JisCharToSjis("!!"), S("　"));  // 0x2121, the first code
    EXPECT_EQ(JisCharToSjis("0!"), S("亜"));  // row 16
    EXPECT_EQ(JisCharToSjis("t&"), S("熙"));  // row 84, lead byte 0xEA
    // Unassigned codes are converted all the same.
    EXPECT_EQ(Hex(JisCharToSjis("\x7F\x7F")), "F0 9F");
    EXPECT_EQ(JisCharToSjis("$\n"), "[240A]");
    EXPECT_EQ(JisCharToSjis(" A"), "[2041]");
    EXPECT_EQ(JisCharToSjis(0x80, 0x21), "[8021]");
    EXPECT_EQ(JisCharToSjis(""), "[0000]");  // missing bytes count as 0, never read past
}

TEST(JisCharToSjis, InvertsSjisCharToJisOverTheWholeGrid) {
    for (unsigned a = 0x21; a <= 0x7E; ++a) {
        for (unsigned b = 0x21; b <= 0x7E; ++b) {
            std::string sjis =
                JisCharToSjis(static_cast<unsigned char>(a), static_cast<unsigned char>(b));
            ASSERT_EQ(sjis.size(), 2u);
            auto lead = static_cast<unsigned char>(sjis[0]);
            auto trail = static_cast<unsigned char>(sjis[1]);
            ASSERT_TRUE(IsSjisLeadByte(lead)) << a << " " << b;
            ASSERT_TRUE(IsSjisTrailByte(trail)) << a << " " << b;
            ASSERT_NE(trail, 0x7F);
            std::string back = SjisCharToJis(lead, trail);
            ASSERT_EQ(static_cast<unsigned char>(back[0]), a);
            ASSERT_EQ(static_cast<unsigned char>(back[1]), b);
        }
    }
}

TEST(SjisCharToJis, KnownCodes) {
    EXPECT_EQ(SjisCharToJis(0x81, 0x40), "!!");
    EXPECT_EQ(SjisCharToJis(0x81, 0x9F), "\"!");
    EXPECT_EQ(SjisCharToJis(0xE0, 0x40), "_!");
}

TEST(ByteTests, Ranges) {
    EXPECT_FALSE(IsSjisLeadByte(0x80));
    EXPECT_TRUE(IsSjisLeadByte(0x81));
    EXPECT_TRUE(IsSjisLeadByte(0x9F));
    EXPECT_FALSE(IsSjisLeadByte(0xA0));
    EXPECT_TRUE(IsSjisLeadByte(0xE0));
    EXPECT_TRUE(IsSjisLeadByte(0xFC));
    EXPECT_FALSE(IsSjisLeadByte(0xFD));
    EXPECT_FALSE(IsSjisTrailByte(0x3F));
    EXPECT_TRUE(IsSjisTrailByte(0x40));
    EXPECT_TRUE(IsSjisTrailByte(0x7F));
    EXPECT_TRUE(IsSjisTrailByte(0xFC));
    EXPECT_FALSE(IsSjisTrailByte(0xFD));
    EXPECT_FALSE(IsHalfKana(0xA0));
    EXPECT_TRUE(IsHalfKana(0xA1));
    EXPECT_TRUE(IsHalfKana(0xDF));
    EXPECT_FALSE(IsHalfKana(0xE0));
}

TEST(HalfKanaToFull, TableEndsAndVoicedMarks) {
    EXPECT_EQ(HalfKanaToFull(0xA1), S("。"));
    EXPECT_EQ(HalfKanaToFull(0xB1), S("ア"));
    EXPECT_EQ(HalfKanaToFull(0xA6), S("ヲ"));
    EXPECT_EQ(HalfKanaToFull(0xDD), S("ン"));
    EXPECT_EQ(HalfKanaToFull(0xDE), S("゛"));
    EXPECT_EQ(HalfKanaToFull(0xDF), S("゜"));
    EXPECT_EQ(HalfKanaToFull(0xA0), "");
    EXPECT_EQ(HalfKanaToFull('A'), "");
}

TEST(JisToSjis, KanjiRunsWithEveryOpeningAndClosingEscape) {
    EXPECT_EQ(JisToSjis(kKanjiIn + "%F%9%H" + kAsciiIn), S("テスト"));
    EXPECT_EQ(JisToSjis(kKanjiIn + "%F%9%H" + kKanjiOut), S("テスト"));
    EXPECT_EQ(JisToSjis(kEsc + "$@%F%9%H" + kAsciiIn), S("テスト"));
    EXPECT_EQ(JisToSjis("Subject: " + kKanjiIn + "%F%9%H" + kAsciiIn + " (1)"),
              S("Subject: テスト (1)"));
}

TEST(JisToSjis, EveryCallStartsInAscii) {
    // A line that ends inside a kanji run still converts; the next call starts in ASCII.
    EXPECT_EQ(JisToSjis(kKanjiIn + "%F"), S("テ"));
    EXPECT_EQ(JisToSjis("%F"), "%F");
}

TEST(JisToSjis, BrokenKanjiRuns) {
    // An odd byte at the end of a run is kept as it is.
    EXPECT_EQ(JisToSjis(kKanjiIn + "%F%" + kAsciiIn), S("テ") + "%");
    // A space inside a run shows up in bracketed hex instead of vanishing.
    EXPECT_EQ(JisToSjis(kKanjiIn + "%F %9" + kAsciiIn), S("テ") + "[2025]" + "9");
    // Unknown escapes lose the ESC only.
    EXPECT_EQ(JisToSjis("a" + kEsc + "$(Db"), "a$(Db");
    EXPECT_EQ(JisToSjis("a" + kEsc), "a");
    EXPECT_EQ(JisToSjis(kEsc + "$"), "$");
}

TEST(JisToSjis, SevenBitKatakana) {
    EXPECT_EQ(JisToSjis(kEsc + "(I1"), S("ア"));
    EXPECT_EQ(JisToSjis(kEsc + "(I1 2" + kAsciiIn + "x"), S("アイ") + "x");  // space dropped
    EXPECT_EQ(JisToSjis("a\x0E"
                        "1\x0F"
                        "b"),
              "a" + S("ア") + "b");
    EXPECT_EQ(JisToSjis("a\x0E"
                        "12"),
              "a" + S("アイ"));  // SO without SI runs to the end
    // Inside a kanji run SO ... SI reads as it does in ASCII state.
    EXPECT_EQ(JisToSjis(kKanjiIn +
                        "%F\x0E"
                        "1\x0F"
                        "%H" +
                        kAsciiIn),
              S("テアト"));
    EXPECT_EQ(Jis7KanaToSjis("1 \x7F"
                             "6\x5F"),
              S("アカ゜"));
}

TEST(JisToSjis, EightBitTextPassesThrough) {
    std::string sjis = S("日本語のテキスト");
    EXPECT_EQ(JisToSjis(sjis), sjis);
    EXPECT_EQ(JisToSjis("\xA4\xA2"), "\xA4\xA2");  // EUC-JP is not recognised
}

TEST(SjisToJis, RunsAreOpenedAndClosedOnTheLine) {
    EXPECT_EQ(SjisToJis(S("テスト")), kKanjiIn + "%F%9%H" + kKanjiOut);
    EXPECT_EQ(SjisToJis("abc"), "abc");
    EXPECT_EQ(SjisToJis(S("aテb")), "a" + kKanjiIn + "%F" + kKanjiOut + "b");
    EXPECT_EQ(SjisToJis("a\tb\r\n"), "a\tb\r\n");
}

TEST(SjisToJis, HalfWidthKatakanaBecomesFullWidth) {
    EXPECT_EQ(Hex(SjisToJis("\xB1")), Hex(kKanjiIn + "\x25\x22" + kKanjiOut));
    EXPECT_EQ(SjisToJis("\xB6\xDE"), SjisToJis(S("カ゛")));
    EXPECT_EQ(SjisToJis(S("テ") + "\xB1"), SjisToJis(S("テア")));
}

TEST(SjisToJis, DropsBytesJisCannotCarry) {
    EXPECT_EQ(SjisToJis("a\x80"
                        "b\xA0"
                        "c\xFD\xFE\xFF"),
              "abc");
    EXPECT_EQ(SjisToJis("a\x83"), "a");       // lead byte at the very end
    EXPECT_EQ(SjisToJis("a\x83\x20"), "a ");  // lead byte without a trail byte
}

TEST(RoundTrip, EveryJisRowCharacterAndMixedLines) {
    // Lead bytes up to 0xEF cover JIS rows 0x21-0x7E, all of which ISO-2022-JP carries.
    for (unsigned lead = 0x81; lead <= 0xEF; ++lead) {
        if (!IsSjisLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string c = {static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_EQ(JisToSjis(SjisToJis("a" + c + "b")), "a" + c + "b") << Hex(c);
        }
    }
    std::string mixed = S("件名: Re: 会議の件（第２回）について abc 123 ～①");
    EXPECT_EQ(JisToSjis(SjisToJis(mixed)), mixed);
    // User-defined characters beyond row 0x7F have no JIS form and show in bracketed hex.
    EXPECT_EQ(JisToSjis(SjisToJis("\xF1\x40")), "[8121]");
}

TEST(EmptyInput, GivesEmptyOutput) {
    EXPECT_EQ(JisToSjis(""), "");
    EXPECT_EQ(SjisToJis(""), "");
    EXPECT_EQ(Jis7KanaToSjis(""), "");
    EXPECT_EQ(RotText(""), "");
}

TEST(Rot, LettersAndDoubleByteCharacters) {
    EXPECT_EQ(Rot13Char('a'), 'n');
    EXPECT_EQ(Rot13Char('n'), 'a');
    EXPECT_EQ(Rot13Char('Z'), 'M');
    EXPECT_EQ(RotText("Hello, World 123"), "Uryyb, Jbeyq 123");
    std::string line = S("これはテスト文章です。ABC xyz ｱｲｳ");
    std::string once = RotText(line);
    EXPECT_NE(once, line);
    EXPECT_EQ(RotText(once), line);
    // A lead byte without a trail byte is copied unchanged.
    EXPECT_EQ(RotText("a\x83"), "n\x83");
}

TEST(Rot, Rot47IsAnInvolutionOnEveryJisCode) {
    for (unsigned a = 0x21; a <= 0x7E; ++a) {
        for (unsigned b = 0x21; b <= 0x7E; ++b) {
            std::string sjis =
                JisCharToSjis(static_cast<unsigned char>(a), static_cast<unsigned char>(b));
            std::string once =
                Rot47Char(static_cast<unsigned char>(sjis[0]), static_cast<unsigned char>(sjis[1]));
            ASSERT_EQ(RotText(RotText(sjis)), sjis) << Hex(sjis) << " -> " << Hex(once);
        }
    }
}

}  // namespace
}  // namespace pelorin
