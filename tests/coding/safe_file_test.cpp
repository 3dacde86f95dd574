// The safe writer for names taken from messages: which names are refused, that nothing lands
// outside the directory or replaces what is there, and that an unfinished file leaves nothing.
#include "coding/safe_file.h"

#include "support/testing.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

TEST(SafeFileName, CutsDirectoriesAndRefusesBadNames) {
    struct Row {
        std::string in;
        std::string out;
    };
    const Row rows[] = {
        {"a.txt", "a.txt"},
        {"dir/a.txt", "a.txt"},
        {"/etc/passwd", "passwd"},
        {"../../a.txt", "a.txt"},
        {"C:\\dir\\a.txt", "a.txt"},
        {"..\\../a.txt", "a.txt"},
        {" a.txt", " a.txt"},
        {".hidden", ".hidden"},
        {"", ""},
        {".", ""},
        {"..", ""},
        {"dir/", ""},
        {"dir\\..", ""},
        {"a\tb", ""},
        {"a\nb", ""},
        {std::string("a\0b", 3), ""},
        {"a\x7F", ""},
        {std::string(255, 'x'), std::string(255, 'x')},
        {std::string(256, 'x'), ""},
        {"   ", ""},
        {"dir/ ", ""},
        {".pelorin-0123456789abcdef.tmp", ""},
        {"../.pelorin-x", ""},
        {".pelorin", ".pelorin"},
        {" . ", " . "},
    };
    for (const Row& row : rows) EXPECT_EQ(SafeFileName(row.in), row.out) << row.in;
}

TEST(SafeFileName, IdeographicBlanksAloneAreNoName) {
    EXPECT_EQ(SafeFileName(S("　　")), "");
    EXPECT_EQ(SafeFileName(S(" 　 ")), "");
    EXPECT_EQ(SafeFileName(S("　表")), "　表");
}

TEST(SafeFileName, ShiftJisNamesBecomeUtf8) {
    // "ソ" and "表" end in the byte 0x5C; it is part of the character, not a separator.
    EXPECT_EQ(SafeFileName(S("ソフト表.txt")), "ソフト表.txt");
    EXPECT_EQ(SafeFileName(S("フォルダ\\表")), "表");
    EXPECT_EQ(SafeFileName(S("ｶﾅ.txt")), "ｶﾅ.txt");
    // 86 three-byte characters are 258 bytes in UTF-8: too long.
    std::string longName;
    for (int i = 0; i < 86; ++i) longName += S("あ");
    EXPECT_EQ(SafeFileName(longName), "");
}

class SafeFileWrite : public ::testing::Test {
protected:
    std::string Dir() const { return tmp_.path().string(); }
    // Everything in the directory, hidden temporary files included.
    std::size_t Entries() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp_.path())) ++n;
        return n;
    }

    TempDir tmp_;
};

TEST_F(SafeFileWrite, Results) {
    const std::size_t before = Entries();
    EXPECT_EQ(WriteNewFile(Dir(), "new.bin", std::string("a\0b", 3)), SafeFileResult::Written);
    EXPECT_EQ(ReadFile(tmp_ / "new.bin"), std::string("a\0b", 3));
    EXPECT_EQ(WriteNewFile(Dir(), "new.bin", "other"), SafeFileResult::Exists);
    EXPECT_EQ(ReadFile(tmp_ / "new.bin"), std::string("a\0b", 3));
    EXPECT_EQ(WriteNewFile(Dir(), "..", "x"), SafeFileResult::BadName);
    EXPECT_EQ(WriteNewFile(Dir() + "/missing", "a", "x"), SafeFileResult::Failed);
    EXPECT_EQ(WriteNewFile("", "a", "x"), SafeFileResult::Failed);
    EXPECT_EQ(WriteNewFile(Dir(), "empty", ""), SafeFileResult::Written);
    EXPECT_EQ(ReadFile(tmp_ / "empty"), "");
    EXPECT_EQ(Entries(), before + 2);  // no temporary file stays behind
    EXPECT_STREQ(to_string(SafeFileResult::Exists), "exists");
}

TEST_F(SafeFileWrite, ExistingEntriesOfAnyKindAreLeftAlone) {
    fs::create_directory(tmp_ / "dir");
    fs::create_symlink(tmp_ / "target", tmp_ / "dangling");
    WriteFile(tmp_ / "real", "real");
    fs::create_symlink(tmp_ / "real", tmp_ / "link");
    for (const char* name : {"dir", "dangling", "link"})
        EXPECT_EQ(WriteNewFile(Dir(), name, "x"), SafeFileResult::Exists) << name;
    EXPECT_FALSE(fs::exists(tmp_ / "target"));
    EXPECT_EQ(ReadFile(tmp_ / "real"), "real");
    EXPECT_TRUE(fs::is_symlink(tmp_ / "link"));
}

TEST_F(SafeFileWrite, ShiftJisDirectoryAndName) {
    fs::create_directory(tmp_ / "受信");
    EXPECT_EQ(WriteNewFile(Dir() + "/" + S("受信"), S("表.txt"), "x"), SafeFileResult::Written);
    EXPECT_EQ(ReadFile(tmp_ / "受信" / "表.txt"), "x");
}

TEST_F(SafeFileWrite, UnfinishedFileLeavesNothing) {
    const std::size_t before = Entries();
    {
        SafeFileWriter writer;
        ASSERT_EQ(writer.Open(Dir(), "partial.bin"), SafeFileResult::Written);
        writer.Write(std::string(200000, 'x'));  // more than one buffer's worth reaches disk
        EXPECT_TRUE(writer.IsOpen());
        EXPECT_EQ(writer.DiskName(), "partial.bin");
        EXPECT_FALSE(fs::exists(tmp_ / "partial.bin"));
    }
    EXPECT_EQ(Entries(), before);

    SafeFileWriter writer;
    ASSERT_EQ(writer.Open(Dir(), "a.bin"), SafeFileResult::Written);
    writer.Write("first");
    ASSERT_EQ(writer.Open(Dir(), "b.bin"), SafeFileResult::Written);  // drops a.bin
    writer.Write("second");
    EXPECT_EQ(writer.Commit(), SafeFileResult::Written);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.Size(), 6u);
    EXPECT_FALSE(fs::exists(tmp_ / "a.bin"));
    EXPECT_EQ(ReadFile(tmp_ / "b.bin"), "second");
    EXPECT_EQ(Entries(), before + 1);
    EXPECT_EQ(writer.Commit(), SafeFileResult::Failed);  // nothing open
}

TEST_F(SafeFileWrite, FileThatAppearsMeanwhileIsNotReplaced) {
    SafeFileWriter writer;
    ASSERT_EQ(writer.Open(Dir(), "race.bin"), SafeFileResult::Written);
    writer.Write(std::string(100000, 'x'));
    WriteFile(tmp_ / "race.bin", "theirs");
    EXPECT_EQ(writer.Commit(), SafeFileResult::Exists);
    EXPECT_EQ(ReadFile(tmp_ / "race.bin"), "theirs");
    EXPECT_EQ(Entries(), 2u);  // "home" of TempDir and race.bin
}

TEST_F(SafeFileWrite, WriteErrorLeavesNothing) {
    // A file size limit makes write(2) fail with EFBIG part way, like a full disk.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SafeFileResult result = WriteNewFile(Dir(), "big.bin", std::string(200000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, SafeFileResult::Failed);
    EXPECT_FALSE(fs::exists(tmp_ / "big.bin"));
    EXPECT_EQ(Entries(), 1u);  // only "home" of TempDir: the temporary file is gone
}

TEST_F(SafeFileWrite, ReadOnlyDirectoryFails) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    fs::create_directory(tmp_ / "ro");
    fs::permissions(tmp_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(WriteNewFile((tmp_ / "ro").string(), "a", "x"), SafeFileResult::Failed);
    EXPECT_FALSE(fs::exists(tmp_ / "ro" / "a"));
}

}  // namespace
}  // namespace pelorin
