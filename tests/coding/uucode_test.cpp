// The uudecoder: blocks, the four results of the last event, damaged and cut-off data, names
// that must not leave the data directory, and CR LF line ends.
#include "coding/uucode.h"

#include "support/testing.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::Hex;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// "Hello, world!\n" (14 bytes) and "Cat" in one line each; "abcd" needs two groups, the second
// ending in two zero characters.
constexpr std::string_view kHello = ".2&5L;&\\L('=O<FQD(0H`\n";
constexpr std::string_view kCat = "#0V%T\n";
constexpr std::string_view kAbcd = "$86)C9```\n";

class Uucode : public ::testing::Test {
protected:
    UuResult Run(std::string_view text) {
        uu_.EncodedStrings = Lines(text);
        uu_.DataPath = tmp_.path().string() + "/";
        return uu_.Decode();
    }
    std::string File(const char* name) const { return ReadFile(tmp_ / name); }

    TempDir tmp_;
    TUucode uu_;
};

TEST_F(Uucode, StandardBlock) {
    EXPECT_EQ(Run("Subject: x\n\nbegin 644 a.txt\n" + std::string(kHello) + "`\nend\n"),
              UuResult::Decoded);
    EXPECT_EQ(File("a.txt"), "Hello, world!\n");
    EXPECT_EQ(uu_.Filename, "a.txt");
    ASSERT_EQ(uu_.Blocks.size(), 1u);
    EXPECT_EQ(uu_.Blocks[0].Result, UuResult::Decoded);
    EXPECT_EQ(uu_.Blocks[0].Bytes, 14u);
}

TEST_F(Uucode, TrailingSpacesLost) {
    // Zero characters written as spaces (as old encoders do), then one and two of them lost.
    std::string body(kAbcd);
    for (char& c : body) {
        if (c == '`')
            c = ' ';
    }
    ASSERT_EQ(Run("begin 644 full.bin\n" + body + "end\n"), UuResult::Decoded);
    ASSERT_EQ(Run("begin 644 one.bin\n$86)C9  \nend\n"), UuResult::Decoded);
    ASSERT_EQ(Run("begin 644 two.bin\n$86)C9 \nend\n"), UuResult::Decoded);
    ASSERT_EQ(Run("begin 644 three.bin\n$86)C9\nend\n"), UuResult::Decoded);
    EXPECT_EQ(File("full.bin"), "abcd");
    EXPECT_EQ(File("one.bin"), "abcd");
    EXPECT_EQ(File("two.bin"), "abcd");
    // Three characters lost is one too many: the line is skipped.
    EXPECT_EQ(File("three.bin"), "");
}

TEST_F(Uucode, MalformedDataLinesAreSkipped) {
    const std::string text = "begin 644 m.bin\n" + std::string(kCat) +
                             "#0V%TX\n"  // a checksum character too many
                             "\x01"
                             "abc\n"    // first character below the space
                             "`\n"      // n = 0
                             "\n"       // empty line
                             "#0V%T\n"  // good again
                             "end\n";
    EXPECT_EQ(Run(text), UuResult::Decoded);
    EXPECT_EQ(File("m.bin"), "CatCat");
}

TEST_F(Uucode, TwoBlocksAndTheLastEventDecides) {
    const std::string block1 = "begin 644 one.txt\n" + std::string(kCat) + "end\n";
    const std::string block2 = "begin 644 two.txt\n" + std::string(kHello) + "end\n";
    EXPECT_EQ(Run("text\n" + block1 + "between\n" + block2), UuResult::Decoded);
    EXPECT_EQ(uu_.Filename, "two.txt");
    EXPECT_EQ(File("one.txt"), "Cat");
    EXPECT_EQ(File("two.txt"), "Hello, world!\n");

    // Both exist now: result 2, files untouched.
    WriteFile(tmp_ / "two.txt", "mine");
    EXPECT_EQ(Run(block1 + block2), UuResult::Exists);
    EXPECT_EQ(File("two.txt"), "mine");
    ASSERT_EQ(uu_.Blocks.size(), 2u);
    EXPECT_EQ(uu_.Blocks[0].Result, UuResult::Exists);

    // A later block that is written changes the result back to 0.
    EXPECT_EQ(Run(block2 + "begin 644 three.txt\n" + std::string(kCat) + "end\n"),
              UuResult::Decoded);
    EXPECT_EQ(File("three.txt"), "Cat");
}

TEST_F(Uucode, CutOffBlockKeepsItsBytes) {
    EXPECT_EQ(Run("begin 644 cut.txt\n" + std::string(kHello)), UuResult::NoEnd);
    EXPECT_EQ(File("cut.txt"), "Hello, world!\n");
    // A block closed by the next "begin" keeps its bytes too, without changing the result.
    EXPECT_EQ(Run("begin 644 first.txt\n" + std::string(kCat) + "begin 644 second.txt\n" +
                  std::string(kHello) + "end\n"),
              UuResult::Decoded);
    EXPECT_EQ(File("first.txt"), "Cat");
    EXPECT_EQ(uu_.Blocks[0].Result, UuResult::NoEnd);
    EXPECT_EQ(uu_.Blocks[1].Result, UuResult::Decoded);
}

TEST_F(Uucode, NothingDecoded) {
    EXPECT_EQ(Run(""), UuResult::NothingDecoded);
    EXPECT_EQ(Run("just\ntext\n"), UuResult::NothingDecoded);
    EXPECT_EQ(Run("end\nend\n"), UuResult::NothingDecoded);
    // "begin 644 a" has 11 characters: not a begin line. "begin" must be followed by a space.
    EXPECT_EQ(Run("begin 644 a\n#0V%T\nend\n"), UuResult::NothingDecoded);
    EXPECT_EQ(Run("begin\t644 abc.txt\n#0V%T\nend\n"), UuResult::NothingDecoded);
    EXPECT_EQ(Run("Begin 644 abc.txt\n#0V%T\nend\n"), UuResult::NothingDecoded);
    EXPECT_TRUE(uu_.Blocks.empty());
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "a"));
}

TEST_F(Uucode, ModeFieldIsNotInterpreted) {
    // Four digits of mode: the name starts at the 11th character and so with a space.
    EXPECT_EQ(Run("begin 0644 a.txt\n#0V%T\nend\n"), UuResult::Decoded);
    EXPECT_EQ(uu_.Filename, " a.txt");
    EXPECT_EQ(File(" a.txt"), "Cat");
}

TEST_F(Uucode, HostileNames) {
    std::filesystem::create_directory(tmp_ / "data");
    uu_.EncodedStrings = Lines(
        "begin 644 ../../up.txt\n#0V%T\nend\n"
        "begin 644 C:\\x\\win.txt\n#0V%T\nend\n");
    uu_.DataPath = (tmp_ / "data").string();  // no trailing separator needed
    EXPECT_EQ(uu_.Decode(), UuResult::Decoded);
    EXPECT_EQ(ReadFile(tmp_ / "data" / "up.txt"), "Cat");
    EXPECT_EQ(ReadFile(tmp_ / "data" / "win.txt"), "Cat");
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "up.txt"));

    for (const char* name : {"..", "dir/", "a\x01z"}) {
        EXPECT_EQ(Run("begin 644 " + std::string(name) + "\n#0V%T\nend\n"), UuResult::BadName)
            << name;
        EXPECT_EQ(uu_.Blocks.at(0).Result, UuResult::BadName);
    }
    // A symbolic link under the name: not followed, not replaced.
    std::filesystem::create_symlink(tmp_ / "target", tmp_ / "link.txt");
    EXPECT_EQ(Run("begin 644 link.txt\n#0V%T\nend\n"), UuResult::Exists);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "target"));
}

TEST_F(Uucode, MissingDirectoryFails) {
    uu_.EncodedStrings = Lines("begin 644 a.txt\n#0V%T\nend\n");
    uu_.DataPath = (tmp_ / "missing").string() + "/";
    EXPECT_EQ(uu_.Decode(), UuResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "missing"));
}

TEST_F(Uucode, CrLfLines) {
    std::string text = "begin 644 crlf.txt\r\n" + std::string(kHello) + "`\r\nend\r\n";
    text.replace(text.find("\n", text.find(".2&")), 1, "\r\n");
    EXPECT_EQ(Run(text), UuResult::Decoded);
    EXPECT_EQ(uu_.Filename, "crlf.txt");
    EXPECT_EQ(File("crlf.txt"), "Hello, world!\n");
}

TEST_F(Uucode, GoldenFile) {
    const std::string data = testing::DataDir() / "coding/mime";
    EXPECT_EQ(Run(ReadFile(data + "/bytes256.uu")), UuResult::Decoded);
    EXPECT_EQ(Hex(File("bytes256.bin")), Hex(ReadFile(data + "/bytes256.bin")));
}

TEST(UucodeSettings, CodeLengthAndFileStat) {
    TUucode uu;
    EXPECT_EQ(uu.CodeLength(), 45);
    uu.SetCodeLength(31);
    EXPECT_EQ(uu.CodeLength(), 30);
    uu.SetCodeLength(3);
    EXPECT_EQ(uu.CodeLength(), 3);
    uu.SetCodeLength(2);
    EXPECT_EQ(uu.CodeLength(), 45);
    uu.SetCodeLength(62);
    EXPECT_EQ(uu.CodeLength(), 60);
    uu.SetCodeLength(63);
    EXPECT_EQ(uu.CodeLength(), 45);
    uu.SetCodeLength(-30);
    EXPECT_EQ(uu.CodeLength(), 45);

    EXPECT_EQ(uu.FileStat(), "600");
    uu.SetFileStat("644");
    EXPECT_EQ(uu.FileStat(), "644");
    for (const char* bad : {"64", "6444", "648", "ab1", ""}) {
        uu.SetFileStat(bad);
        EXPECT_EQ(uu.FileStat(), "644") << bad;
    }
}

}  // namespace
}  // namespace pelorin
