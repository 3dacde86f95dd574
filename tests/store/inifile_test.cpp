// TIniF: round trips, case-insensitive names, order, lenient reading, line breaks in names and
// values, several objects on one file, and failed writes.
#include "store/inifile.h"

#include "support/testing.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

TEST(TIniF, MissingFileReadsAsEmptyAndIsCreatedByTheFirstWrite) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    TIniF ini(path);
    EXPECT_EQ(ini.ReadString("S", "K", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("S", "K", 7), 7);
    EXPECT_FALSE(ini.SectionExists("S"));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(ini.WriteString("Window", "Top", "10"));
    ASSERT_TRUE(ini.WriteInteger("Window", "Left", -3));
    ASSERT_TRUE(ini.WriteString("Files", "Outbound", S("送信")));
    EXPECT_EQ(ReadFile(path),
              "[Window]\r\nTop=10\r\nLeft=-3\r\n[Files]\r\nOutbound=" + S("送信") + "\r\n");
    TIniF again(path);
    EXPECT_EQ(again.ReadInteger("window", "LEFT", 0), -3);
    EXPECT_EQ(again.ReadString("FILES", "outbound", ""), S("送信"));
}

TEST(TIniF, MatchesNamesWithoutCaseAndKeepsTheFirstSpelling) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    TIniF ini(path);
    ASSERT_TRUE(ini.WriteString("Display", "SortType", "1"));
    ASSERT_TRUE(ini.WriteString("DIsplay", "SORTTYPE", "2"));
    ASSERT_TRUE(ini.WriteString("OutBound", "x", "1"));
    EXPECT_EQ(ini.ReadString("display", "sorttype", ""), "2");
    EXPECT_EQ(ini.ReadSections(), (TSList{"Display", "OutBound"}));
    EXPECT_EQ(ReadFile(path), "[Display]\r\nSortType=2\r\n[OutBound]\r\nx=1\r\n");
    // Double-byte names fold only their ASCII letters: ア (83 41) and ャ (83 61) differ.
    ASSERT_TRUE(ini.WriteString(S("ア"), "k", "1"));
    EXPECT_EQ(ini.ReadString(S("ャ"), "k", "none"), "none");
}

TEST(TIniF, KeepsOrderListsSectionsAndErases) {
    TempDir dir;
    TIniF ini((dir / "GRPSTAT.PBS").string());
    for (const char* k : {"zeta", "alpha", "mid"}) ASSERT_TRUE(ini.WriteString("Groups", k, "1"));
    ASSERT_TRUE(ini.WriteString("fj.comp", "ThreadRange", "300"));
    ASSERT_TRUE(ini.WriteString("Groups", "alpha", "2"));
    EXPECT_EQ(ini.ReadSection("groups"), (TSList{"zeta", "alpha", "mid"}));
    auto values = ini.ReadSectionValues("Groups");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"alpha", "2"}));
    EXPECT_TRUE(ini.KeyExists("GROUPS", "MID"));
    ASSERT_TRUE(ini.DeleteKey("Groups", "mid"));
    EXPECT_FALSE(ini.KeyExists("Groups", "mid"));
    ASSERT_TRUE(ini.EraseSection("GROUPS"));
    EXPECT_EQ(ini.ReadSections(), (TSList{"fj.comp"}));
    EXPECT_EQ(ini.ReadSection("Groups"), TSList{});
    EXPECT_EQ(ReadFile(ini.FileName()), "[fj.comp]\r\nThreadRange=300\r\n");
}

TEST(TIniF, ReadsLenientlyAndKeepsWhatItDoesNotUnderstand) {
    TempDir dir;
    const std::string path = (dir / "hand.ini").string();
    WriteFile(path,
              "\xEF\xBB\xBF; settings\r\n"
              "stray=before any section\n"
              "[ General ]\r"
              "  Name = value with blanks  \n"
              "no equals sign here\n"
              "; Key=commented\n"
              "\n"
              "Empty=\n"
              "=no key\n"
              "Name=shadowed repeat\n"
              "[Other]\n"
              "a=b=c\n"
              "[general]\n"
              "Late=1\n");
    TIniF ini(path);
    EXPECT_EQ(ini.ReadSections(), (TSList{"General", "Other"}));
    EXPECT_EQ(ini.ReadString("General", "Name", "?"), " value with blanks  ");
    EXPECT_EQ(ini.ReadString("General", "Empty", "?"), "");
    EXPECT_EQ(ini.ReadString("General", "Key", "?"), "?");
    EXPECT_EQ(ini.ReadString("General", "Late", "?"), "1");
    EXPECT_EQ(ini.ReadString("Other", "a", "?"), "b=c");
    EXPECT_EQ(ini.ReadString("", "stray", "?"), "?");
    EXPECT_EQ(ini.ReadSection("General"), (TSList{"Name", "Empty", "Late"}));

    // A write changes its own line only; everything else comes back byte for byte (line ends
    // become CR LF).
    ASSERT_TRUE(ini.WriteString("GENERAL", "Empty", "now"));
    EXPECT_EQ(ReadFile(path),
              "\xEF\xBB\xBF; settings\r\n"
              "stray=before any section\r\n"
              "[ General ]\r\n"
              "  Name = value with blanks  \r\n"
              "no equals sign here\r\n"
              "; Key=commented\r\n"
              "\r\n"
              "Empty=now\r\n"
              "=no key\r\n"
              "Name=shadowed repeat\r\n"
              "Late=1\r\n"
              "[Other]\r\n"
              "a=b=c\r\n");
}

TEST(TIniF, NewKeysGoBeforeTheBlankLinesThatEndASection) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    WriteFile(path, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    TIniF ini(path);
    ASSERT_TRUE(ini.WriteString("A", "z", "3"));
    EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
}

TEST(TIniF, LineBreaksInNamesAndValuesNeverMakeExtraKeys) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    TIniF ini(path);
    ASSERT_TRUE(ini.WriteString("S", "Refer", "line1\r\n[Evil]\nInjected=1\rend"));
    ASSERT_TRUE(ini.WriteString("S\r\n[T]", "k\ney", "v"));
    EXPECT_EQ(ini.ReadString("S", "Refer", ""), "line1 [Evil] Injected=1 end");
    TIniF fresh(path);
    EXPECT_EQ(fresh.ReadSections(), (TSList{"S", "S [T]"}));
    EXPECT_EQ(fresh.ReadSection("S"), (TSList{"Refer"}));
    EXPECT_EQ(fresh.ReadString("S", "Refer", ""), "line1 [Evil] Injected=1 end");
    EXPECT_EQ(fresh.ReadString("S [T]", "k ey", ""), "v");
}

TEST(TIniF, RefusesKeysThatWouldReadBackDifferently) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    TIniF ini(path);
    EXPECT_FALSE(ini.WriteString("S", "", "v"));
    EXPECT_FALSE(ini.WriteString("S", "  ", "v"));
    EXPECT_FALSE(ini.WriteString("S", "a=b", "v"));
    EXPECT_FALSE(ini.WriteString("S", "[x]", "v"));
    EXPECT_FALSE(ini.WriteString("S", ";c", "v"));
    EXPECT_FALSE(std::filesystem::exists(path));
    // Values may hold anything but line breaks, and keep their blanks.
    ASSERT_TRUE(ini.WriteString("S", "q", "  =;[x] "));
    EXPECT_EQ(TIniF(path).ReadString("S", "q", ""), "  =;[x] ");
    // Section names with "]" survive.
    ASSERT_TRUE(ini.WriteString("a]b", "k", "1"));
    EXPECT_EQ(TIniF(path).ReadString("a]b", "k", ""), "1");
}

TEST(TIniF, TwoObjectsOnOneFileSeeEachOthersWrites) {
    TempDir dir;
    const std::string path = (dir / "pelorin.ini").string();
    TIniF first(path);
    TIniF second(path);
    ASSERT_TRUE(first.WriteString("Window", "Top", "1"));
    EXPECT_EQ(second.ReadString("Window", "Top", ""), "1");
    ASSERT_TRUE(second.WriteString("Window", "Left", "2"));
    ASSERT_TRUE(first.WriteString("Window", "Width", "3"));
    TIniF check(path);
    EXPECT_EQ(check.ReadSection("Window"), (TSList{"Top", "Left", "Width"}));
    // An edit from outside is seen too.
    WriteFile(path, "[Window]\r\nTop=9\r\n");
    EXPECT_EQ(first.ReadString("Window", "Top", ""), "9");
    EXPECT_EQ(first.ReadString("Window", "Left", "gone"), "gone");
}

TEST(TIniF, RewritingTheSameValueLeavesTheFileAlone) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    TIniF ini(path);
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    // Every real write renames a new file into place, so the inode tells.
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(ini.WriteString("s", "K", "v"));
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    ASSERT_TRUE(ini.WriteString("s", "K", "w"));
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
}

TEST(TIniF, UpdatesGatherWritesIntoOneFileWrite) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    TIniF ini(path);
    {
        TIniF::Update update(ini);
        ASSERT_TRUE(ini.WriteString("S", "a", "1"));
        ASSERT_TRUE(ini.WriteString("S", "b", "2"));
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(ini.ReadString("S", "a", ""), "1");
    }
    EXPECT_EQ(ReadFile(path), "[S]\r\na=1\r\nb=2\r\n");
}

TEST(TIniF, AFailedWriteKeepsTheFileAndTheValueInMemory) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    TempDir dir;
    std::filesystem::create_directory(dir / "ro");
    const std::string path = (dir / "ro" / "a.ini").string();
    WriteFile(path, "[S]\r\nk=old\r\n");
    std::filesystem::permissions(
        dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TIniF ini(path);
    EXPECT_FALSE(ini.WriteString("S", "k", "new"));
    EXPECT_NE(ini.LastResult(), ReplaceResult::Ok);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "new");
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=old\r\n");
    // Once the directory is writable again, the next write stores both changes.
    std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_all);
    EXPECT_TRUE(ini.WriteString("S", "other", "1"));
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=new\r\nother=1\r\n");
}

TEST(TIniF, AFullDiskKeepsTheFileAndTheValueInMemory) {
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    WriteFile(path, "[S]\r\nk=old\r\n");
    TIniF ini(path);
    {
        testing::FileSizeLimit limit(8);
        EXPECT_FALSE(ini.WriteString("S", "k", "new"));
    }
    EXPECT_EQ(ini.LastResult(), ReplaceResult::WriteFailed);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "new");
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // + home
    EXPECT_TRUE(ini.WriteString("S", "other", "1"));
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=new\r\nother=1\r\n");
}

TEST(TIniF, AnUnreadableFileIsNeverOverwritten) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const std::string path = (dir / "a.ini").string();
    WriteFile(path, "[S]\r\nk=precious\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    TIniF ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
    EXPECT_FALSE(ini.WriteString("S", "k", "x"));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=precious\r\n");
}

}  // namespace
}  // namespace pelorin
