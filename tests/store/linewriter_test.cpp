// The line writer: line ends, frame bytes, create and append modes, long lines, and that a
// failed create leaves the old file whole.
#include "store/linewriter.h"

#include "support/testing.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::TempDir;

TEST(LineWriter, EndsLinesWithCrLfLfOrTheGivenCharacter) {
    TempDir dir;
    const std::string path = (dir / "out").string();
    ASSERT_EQ(WriteLines({"a", "b"}, path, '\r', "", WriteMode::Create), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "a\r\nb\r\n");
    ASSERT_EQ(WriteLines({"a", "b"}, path, '\n', "", WriteMode::Create), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "a\nb\n");
    ASSERT_EQ(WriteLines({"a", ""}, path, ';', "", WriteMode::Create), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "a;;");
    ASSERT_EQ(WriteLines({}, path, '\n', "", WriteMode::Create), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "");
}

TEST(LineWriter, WritesTheFrameFirstAndAppendsAtTheEnd) {
    TempDir dir;
    const std::string path = (dir / "area.MSG").string();
    const std::string frame("\0\0\0\x04", 4);
    ASSERT_EQ(WriteLines({"abc"}, path, '\n', frame, WriteMode::Create), ReplaceResult::Ok);
    ASSERT_EQ(WriteLines({"xy", "z"}, path, '\n', "#! rnews 5\n", WriteMode::Append),
              ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), frame + "abc\n#! rnews 5\nxy\nz\n");
    // Create replaces what was there.
    ASSERT_EQ(WriteLines({"new"}, path, '\n', "", WriteMode::Create), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "new\n");
}

TEST(LineWriter, AppendOnAMissingFileCreatesIt) {
    TempDir dir;
    const std::string path = (dir / "REPLIES").string();
    ASSERT_EQ(WriteLines({"x"}, path, '\n', "", WriteMode::Append), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "x\n");
}

TEST(LineWriter, HandlesLinesOfAnyLength) {
    TempDir dir;
    const std::string path = (dir / "long").string();
    const std::string big(300000, 'q');
    TSList lines = {"s", big, "t", std::string(70000, 'r')};
    ASSERT_EQ(WriteLines(lines, path, '\r', "F", WriteMode::Create), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), "Fs\r\n" + big + "\r\nt\r\n" + std::string(70000, 'r') + "\r\n");
}

TEST(LineWriter, AFailedCreateKeepsTheOldFileAndLeavesNoTemporaryFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    TempDir dir;
    std::filesystem::create_directory(dir / "ro");
    const std::string path = (dir / "ro" / "AREAS").string();
    ASSERT_EQ(WriteLines({"old"}, path, '\n', "", WriteMode::Create), ReplaceResult::Ok);
    std::filesystem::permissions(
        dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(WriteLines({"new"}, path, '\n', "", WriteMode::Create), ReplaceResult::OpenFailed);
    EXPECT_EQ(ReadFile(path), "old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "ro"), {}), 1);
}

TEST(LineWriter, AFullDiskKeepsTheOldFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = (dir / "AREAS").string();
    ASSERT_EQ(WriteLines({"old"}, path, '\n', "", WriteMode::Create), ReplaceResult::Ok);
    {
        testing::FileSizeLimit limit(16);
        EXPECT_EQ(WriteLines({std::string(100, 'x')}, path, '\n', "", WriteMode::Create),
                  ReplaceResult::WriteFailed);
    }
    EXPECT_EQ(ReadFile(path), "old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // + home
}

TEST(LineWriter, LinksAreReplacedUnlessFollowingIsAskedFor) {
    TempDir dir;
    const auto real = dir / "real.ini";
    testing::WriteFile(real, "old\n");
    std::filesystem::permissions(
        real, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A packet file that is a link (to a shell start-up file, say) is replaced as itself; the
    // file it pointed to stays as it was, in create and in append mode.
    std::filesystem::create_symlink(real, dir / "GRPSTAT.PBS");
    EXPECT_EQ(WriteLines({"x"}, (dir / "GRPSTAT.PBS").string(), '\n', "", WriteMode::Append),
              ReplaceResult::OpenFailed);
    ASSERT_EQ(WriteLines({"new"}, (dir / "GRPSTAT.PBS").string(), '\n', "", WriteMode::Create),
              ReplaceResult::Ok);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "GRPSTAT.PBS"));
    EXPECT_EQ(ReadFile(dir / "GRPSTAT.PBS"), "new\n");
    EXPECT_EQ(ReadFile(real), "old\n");

    // The user's own files may be links on purpose: then the target is written and keeps its
    // permissions.
    std::filesystem::create_symlink(real, dir / "link.ini");
    ASSERT_EQ(WriteLines({"new"}, (dir / "link.ini").string(), '\n', "", WriteMode::Create,
                         LinkPolicy::Follow),
              ReplaceResult::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFile(real), "new\n");
    EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace pelorin
