// Base64 and quoted-printable decoding.
#include "coding/base64.h"

#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(Base64Decode, WholeGroupsAndLeftovers) {
    EXPECT_EQ(Base64Decode("QUJD"), "ABC");
    EXPECT_EQ(Base64Decode("QUI"), "AB");
    EXPECT_EQ(Base64Decode("QQ=="), "A");
    EXPECT_EQ(Base64Decode("Q"), "");
    EXPECT_EQ(Base64Decode(""), "");
}

TEST(Base64Decode, SkipsEverythingOutsideTheAlphabet) {
    EXPECT_EQ(Base64Decode("QU\r\nJD\n"), "ABC");
    EXPECT_EQ(Base64Decode(" Q U J D "), "ABC");
    // "=" in the middle is skipped too, so decoding goes on across it.
    EXPECT_EQ(Base64Decode("QQ==QUJD"), "A\x04\x14$");
    EXPECT_EQ(Base64Decode("!!!\x80\xFF"), "");
}

TEST(Base64, EncodeDecodeRoundTripOnEveryByteValue) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    for (size_t n = 0; n <= all.size(); n += 37) {
        std::string part = all.substr(0, n);
        EXPECT_EQ(Base64Decode(Base64Encode(part)), part) << n;
    }
    EXPECT_EQ(Base64Encode("A"), "QQ==");
    EXPECT_EQ(Base64Encode("AB"), "QUI=");
}

TEST(Base64Char, RangeAndFallback) {
    EXPECT_EQ(Base64Char(0), 'A');
    EXPECT_EQ(Base64Char(26), 'a');
    EXPECT_EQ(Base64Char(52), '0');
    EXPECT_EQ(Base64Char(62), '+');
    EXPECT_EQ(Base64Char(63), '/');
    EXPECT_EQ(Base64Char(64), '=');
    EXPECT_EQ(Base64Char(-1), '=');
}

TEST(Base64BytesFor, Budgets) {
    EXPECT_EQ(Base64BytesFor(49), 36);
    EXPECT_EQ(Base64BytesFor(58), 43);
    EXPECT_EQ(Base64BytesFor(4), 3);
    EXPECT_EQ(Base64BytesFor(5), 3);
    EXPECT_EQ(Base64BytesFor(6), 4);
    EXPECT_EQ(Base64BytesFor(7), 5);
    EXPECT_EQ(Base64BytesFor(0), 0);
    EXPECT_EQ(Base64BytesFor(-3), 0);
}

TEST(QPDecode, EscapesAndWhatIsLeftAlone) {
    EXPECT_EQ(QPDecode("a=41b"), "aAb");
    EXPECT_EQ(QPDecode("=1B$B"), "\x1B$B");
    EXPECT_EQ(QPDecode("x=41"), "xA");  // a final escape is decoded
    EXPECT_EQ(QPDecode("=3d"), "=3d");  // lower-case hex is not decoded
    EXPECT_EQ(QPDecode("a=4"), "a=4");
    EXPECT_EQ(QPDecode("a="), "a=");  // soft break stays for the caller
    EXPECT_EQ(QPDecode("a=G1"), "a=G1");
    EXPECT_EQ(QPDecode("a_b"), "a_b");
    EXPECT_EQ(QPDecode("==41"), "=A");
    EXPECT_EQ(QPDecode(""), "");
}

}  // namespace
}  // namespace pelorin
