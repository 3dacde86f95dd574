// The CP932 codec between Shift_JIS and Unicode.
#include "coding/cp932.h"

#include "support/testing.h"

#include "coding/jis.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::Hex;

unsigned Code(std::string_view sjis) {
    unsigned c = 0;
    for (unsigned char b : sjis) c = c << 8 | b;
    return c;
}

TEST(Cp932, AsciiAndHalfWidthKatakana) {
    EXPECT_EQ(cp932::ToUtf8("abc\\~\t\r\n"), "abc\\~\t\r\n");
    EXPECT_EQ(cp932::ToUtf8("\xB1\xDE\xA1"), "ｱﾞ｡");
    EXPECT_EQ(cp932::FromUtf8("ｱﾞ｡"), "\xB1\xDE\xA1");
}

TEST(Cp932, ExtensionBlocksDecode) {
    EXPECT_EQ(cp932::ToUtf8("\x82\xA0"), "あ");
    EXPECT_EQ(cp932::ToUtf8("\x87\x40"), "①");   // NEC row 13
    EXPECT_EQ(cp932::ToUtf8("\x87\x90"), "≒");   // NEC row 13 copy of a row 2 symbol
    EXPECT_EQ(cp932::ToUtf8("\xED\x40"), "纊");  // NEC-selected IBM extension
    EXPECT_EQ(cp932::ToUtf8("\xFA\x40"), "ⅰ");   // IBM extension
    EXPECT_EQ(cp932::ToUtf8("\x81\x60"), "～");  // FULLWIDTH TILDE, not WAVE DASH
    EXPECT_EQ(cp932::ToUtf8("\x81\x7C"), "－");  // FULLWIDTH HYPHEN-MINUS
    EXPECT_EQ(cp932::ToUtf8("\x81\x5F"), "＼");
}

TEST(Cp932, DuplicatesEncodeTheWayWindowsDoes) {
    EXPECT_EQ(Hex(cp932::FromUtf8("≒")), "81 E0");  // row 2, not the NEC copy
    EXPECT_EQ(Hex(cp932::FromUtf8("∵")), "81 E6");
    EXPECT_EQ(Hex(cp932::FromUtf8("纊")), "FA 5C");  // IBM block, not the NEC-selected copy
    EXPECT_EQ(Hex(cp932::FromUtf8("ⅰ")), "FA 40");
    EXPECT_EQ(Hex(cp932::FromUtf8("￢")), "81 CA");
}

TEST(Cp932, BadBytesShowAsReplacementAndNeverCrash) {
    size_t bad = 0;
    EXPECT_EQ(cp932::ToUtf8("a\x80"
                            "b",
                            &bad),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(bad, 1u);
    EXPECT_EQ(cp932::ToUtf8("\x85\x40x", &bad), "\xEF\xBF\xBDx");  // unassigned pair: one mark
    EXPECT_EQ(bad, 1u);
    EXPECT_EQ(cp932::ToUtf8("\x82", &bad), "\xEF\xBF\xBD");       // lead byte at the end
    EXPECT_EQ(cp932::ToUtf8("\x82\x20", &bad), "\xEF\xBF\xBD ");  // lead byte, no trail byte
    EXPECT_EQ(cp932::ToUtf8("\xA0\xFD\xFE\xFF", &bad),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(bad, 4u);
    EXPECT_EQ(cp932::ToUtf16(std::string("\0\x82", 2)), std::u16string(u"\0\uFFFD", 2));
}

TEST(Cp932, UnmappableTextBecomesQuestionMarks) {
    size_t bad = 0;
    EXPECT_EQ(cp932::FromUtf8("a😀b€", &bad), "a?b?");
    EXPECT_EQ(bad, 2u);
    EXPECT_EQ(cp932::FromUtf8("\xE3\x81", &bad), "??");  // truncated UTF-8
    EXPECT_EQ(cp932::FromUtf8("\xFFx", &bad), "?x");
    EXPECT_EQ(cp932::FromUtf16(u"a\xD800"
                               "b",
                               &bad),
              "a?b");  // lone surrogate
    EXPECT_EQ(cp932::FromUtf16(u"😀"), "?");
}

// Every double-byte code either names a character, which encodes back to a code naming the
// same character, or shows as U+FFFD. Where two codes share a character the encoder picks one
// of them, the same one for every copy.
TEST(Cp932, EveryDoubleByteCodeRoundTrips) {
    int mapped = 0, duplicates = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsSjisLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            unsigned code = lead << 8 | trail;
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string u = cp932::ToUtf16(std::string_view(bytes, 2));
            ASSERT_EQ(u.size(), 1u) << std::hex << code;
            ASSERT_EQ(static_cast<char32_t>(u[0]), cp932::DecodeCode(code));
            if (u[0] == 0xFFFD)
                continue;
            ++mapped;
            std::string back = cp932::FromUtf16(u);
            ASSERT_EQ(back.size(), 2u) << std::hex << code;
            ASSERT_EQ(cp932::DecodeCode(Code(back)), u[0]) << std::hex << code;
            duplicates += Code(back) != code;
        }
    }
    // JIS X 0208 (6879), NEC row 13 (83), NEC-selected IBM (374), IBM (388) and the
    // user-defined area (1880).
    EXPECT_EQ(mapped, 6879 + 83 + 374 + 388 + 1880);
    EXPECT_EQ(duplicates, 398);
}

TEST(Cp932, JapaneseLiteralsHelper) {
    EXPECT_EQ(Sjis("テスト"), "\x83\x65\x83\x58\x83\x67");
    EXPECT_EQ(cp932::ToUtf8(Sjis("日本語のテキスト、ｶﾅ")), "日本語のテキスト、ｶﾅ");
}

}  // namespace
}  // namespace pelorin
