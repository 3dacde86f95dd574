// MIME encoded words: reading header values and writing header lines.
#include "coding/header_words.h"

#include "support/testing.h"

#include "coding/base64.h"
#include "coding/jis.h"
#include "store/strutil.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::S;

// The three steps every header value goes through when it is read.
std::string Read(std::string_view value) {
    return JisToSjis(Unfold(DecodeHeaderWords(value)));
}

TEST(DecodeHeaderWords, Base64AndQuotedPrintableWords) {
    EXPECT_EQ(Read("Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?="), S("Subject: テスト"));
    EXPECT_EQ(Read("Subject: =?iso-2022-jp?b?GyRCJUYlOSVIGyhK?="), S("Subject: テスト"));
    EXPECT_EQ(Read("=?ISO-2022-JP?Q?=1B$B%F%9%H=1B(B?="), S("テスト"));
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?Q?ab=41?="), "abA");
    // In Q words "_" stands for a space.
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?Q?Re:_hello?="), "Re: hello");
}

TEST(DecodeHeaderWords, SpaceBetweenWords) {
    // Words separated by a fold are joined; by a plain space they keep it.
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B?QUI=?=\n =?ISO-2022-JP?B?Q0Q=?="), "ABCD");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B?QUI=?=\n\t=?ISO-2022-JP?B?Q0Q=?="), "ABCD");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B?QUI=?= =?ISO-2022-JP?B?Q0Q=?="), "AB CD");
    // A value without words still loses its first LF + space and first LF + TAB.
    EXPECT_EQ(DecodeHeaderWords("a\n b\n c\n\td\n\te"), "ab\n cd\n\te");
}

TEST(DecodeHeaderWords, WordsSplitInsideACharacterJoinAgain) {
    // Writers cut runs by byte count; the bytes of adjacent words are joined before JisToSjis.
    std::string jis = SjisToJis(S("長い件名のテスト"));
    std::string a = Base64Encode(jis.substr(0, 5)), b = Base64Encode(jis.substr(5));
    EXPECT_EQ(Read("=?ISO-2022-JP?B?" + a + "?=\n =?ISO-2022-JP?B?" + b + "?="),
              S("長い件名のテスト"));
}

TEST(DecodeHeaderWords, ShiftJisWords) {
    std::string word = "=?SHIFT_JIS?B?" + Base64Encode(S("日本")) + "?=";
    EXPECT_EQ(Read("Subject: " + word), S("Subject: 日本"));
    // Where both charsets occur both are decoded.
    std::string both = word + " =?ISO-2022-JP?B?QUI=?=";
    EXPECT_EQ(DecodeHeaderWords(both), S("日本") + " AB");
    EXPECT_EQ(DecodeSjisHeaderWords("=?shift_jis?Q?=41?="), "A");
}

TEST(DecodeHeaderWords, BrokenAndForeignWordsStayAsTheyAre) {
    EXPECT_EQ(DecodeHeaderWords("=?X-UNKNOWN?B?44OG44K544OI?="), "=?X-UNKNOWN?B?44OG44K544OI?=");
    EXPECT_EQ(DecodeHeaderWords("x =?ISO-2022-JP?B?GyRC"), "x =?ISO-2022-JP?B?GyRC");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?X?abc?= y"), "=?ISO-2022-JP?X?abc?= y");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?"), "=?ISO-2022-JP?");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B"), "=?ISO-2022-JP?B");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B?"
                                "?="),
              "");
    // Base64 bits left over at the end of one word are not carried into the next.
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B?QUJDR?==?ISO-2022-JP?B?QUJD?="), "ABCABC");
    EXPECT_EQ(DecodeHeaderWords(""), "");
}

TEST(DecodeHeaderWords, TextWithoutWordsLosesItsFirstFoldOfEachKind) {
    // Text without words keeps every byte but the first LF + space and then, in what is left,
    // the first LF + TAB (bodies are searched through this too, so it must stay exact).
    auto expected = [](std::string s) {
        size_t p = s.find("\n ");
        if (p != std::string::npos)
            s.erase(p, 2);
        p = s.find("\n\t");
        if (p != std::string::npos)
            s.erase(p, 2);
        return s;
    };
    const char alphabet[] = {'\n', ' ', '\t', 'a'};
    for (int length = 0; length <= 7; ++length) {
        int count = 1;
        for (int i = 0; i < length; ++i) count *= 4;
        for (int n = 0; n < count; ++n) {
            std::string text;
            for (int i = 0, k = n; i < length; ++i, k /= 4) text += alphabet[k % 4];
            ASSERT_EQ(DecodeHeaderWords(text), expected(text)) << testing::Hex(text);
        }
    }
}

}  // namespace
}  // namespace pelorin
