// SUBCMD.INI: round trips of every key, defaults written back, unknown keys and missing
// sections, the Y/N and mark encodings, folder entries, the name list, and a file that cannot
// be read.
#include "select/subcmd_defs.h"

#include "support/testing.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

std::string Path(const TempDir& dir) {
    return (dir / "SUBCMD.INI").string();
}

TSubCommand Full() {
    TSubCommand c;
    c.underThread = true;
    c.conditionMode = true;
    c.conditions = {"[And]", " " + S("Subject＝会議"), " [Or]", "  " + S("Date≧Today-7"),
                    "  " + S("マーク＝＊")};
    c.fuzzy = false;
    c.useRegEx = false;
    c.copyToFolder = true;
    c.folder = "keep(FOLDERS)";
    c.markSet = true;
    c.markItem = 1;
    c.checkMark = true;
    c.kill = true;
    c.sendMe = true;
    c.saveToFile = true;
    c.codeTranslate = false;
    c.headerOutput = false;
    c.overWrite = false;
    c.toExpiredFile = true;
    c.saveTo = "/tmp/a b.txt";
    c.decodeToFile = true;
    return c;
}

void ExpectSame(const TSubCommand& a, const TSubCommand& b) {
    EXPECT_EQ(a.underThread, b.underThread);
    EXPECT_EQ(a.conditionMode, b.conditionMode);
    EXPECT_EQ(a.conditions, b.conditions);
    EXPECT_EQ(a.fuzzy, b.fuzzy);
    EXPECT_EQ(a.useRegEx, b.useRegEx);
    EXPECT_EQ(a.copyToFolder, b.copyToFolder);
    EXPECT_EQ(a.folder, b.folder);
    EXPECT_EQ(a.markSet, b.markSet);
    EXPECT_EQ(a.markItem, b.markItem);
    EXPECT_EQ(a.checkMark, b.checkMark);
    EXPECT_EQ(a.kill, b.kill);
    EXPECT_EQ(a.sendMe, b.sendMe);
    EXPECT_EQ(a.saveToFile, b.saveToFile);
    EXPECT_EQ(a.codeTranslate, b.codeTranslate);
    EXPECT_EQ(a.headerOutput, b.headerOutput);
    EXPECT_EQ(a.overWrite, b.overWrite);
    EXPECT_EQ(a.toExpiredFile, b.toExpiredFile);
    EXPECT_EQ(a.saveTo, b.saveTo);
    EXPECT_EQ(a.decodeToFile, b.decodeToFile);
}

TEST(SubCmdDefs, EveryKeyRoundTripsInOrder) {
    TempDir dir;
    {
        TSubCmdFile f(Path(dir));
        ASSERT_TRUE(f.Save("  mine  ", Full()));
        ASSERT_TRUE(f.WriteNames());
    }
    const std::string text = ReadFile(dir / "SUBCMD.INI");
    const char* order[] = {"UnderThread=Y",
                           "ConditionStr0=\"[And]\"",
                           "ConditionStr4=",
                           "Target=MessageSelect",
                           "CaseSensetive=Y",
                           "UseRegEx=N",
                           "CopyToFolder=Y",
                           "Folder=keep(FOLDERS)",
                           "MarkSet=Y",
                           "Mark=",
                           "CheckMark=Y",
                           "Kill=Y",
                           "SendMe=Y",
                           "SaveToFile=Y",
                           "CodeTranslate=N",
                           "HeaderOutput=N",
                           "OverWrite=N",
                           "ToExpiredFile=Y",
                           "SaveTo=/tmp/a b.txt",
                           "DecodeToFile=Y"};
    size_t at = text.find("[mine]");
    ASSERT_NE(at, std::string::npos);
    for (const char* key : order) {
        const size_t next = text.find(key, at);
        ASSERT_NE(next, std::string::npos) << key;
        at = next;
    }
    EXPECT_NE(text.find("[SubCommands]\r\nSubCom0=mine\r\n"), std::string::npos);
    EXPECT_NE(text.find("ConditionStr3=\"  " + S("Date≧Today-7") + "\""), std::string::npos);

    TSubCmdFile g(Path(dir));
    ASSERT_EQ(g.Names(), TSList{"mine"});
    TSubCommand back;
    ASSERT_TRUE(g.Load("mine", back));
    ExpectSame(Full(), back);
    EXPECT_EQ(ReadFile(dir / "SUBCMD.INI"), text);  // nothing was missing, nothing written

    // Twelve condition lines keep their order (ConditionStr10 after ConditionStr9).
    TSubCommand many = Full();
    many.conditions = {"[Or]"};
    for (int i = 0; i < 11; ++i) many.conditions.push_back(" Lines" + S("＞") + std::to_string(i));
    ASSERT_TRUE(g.Save("mine", many));
    TSubCommand back2;
    ASSERT_TRUE(g.Load("mine", back2));
    EXPECT_EQ(back2.conditions, many.conditions);
    // Saved again with MarkSet off: MarkSet=N.
    many.markSet = false;
    ASSERT_TRUE(g.Save("mine", many));
    EXPECT_NE(ReadFile(dir / "SUBCMD.INI").find("MarkSet=N"), std::string::npos);
}

TEST(SubCmdDefs, DefaultsWrittenBackUnknownKeysKept) {
    TempDir dir;
    WriteFile(dir / "SUBCMD.INI",
              "[SubCommands]\r\nSubCom1=b\r\nSubCom0=a\r\nMyNote=kept\r\nSubCom2=gone\r\n"
              "[a]\r\nTarget=MessageSelect\r\nConditionStr1=\" B=2\"\r\n"
              "ConditionStr0=\"[And]\"\r\nConditionStr2=\" C=3\"\r\nMarkSet=yes\r\n"
              "SaveToFile=YN\r\nColour=blue\r\n");
    TSubCmdFile f(Path(dir));
    ASSERT_EQ(f.Names(), (TSList{"a", "b", "gone"}));
    TSubCommand c;
    ASSERT_TRUE(f.Load("a", c));
    EXPECT_TRUE(c.conditionMode);
    EXPECT_EQ(c.conditions, (std::vector<std::string>{"[And]", " B=2", " C=3"}));
    EXPECT_TRUE(c.fuzzy);        // CaseSensetive defaults to N
    EXPECT_TRUE(c.useRegEx);     // UseRegEx defaults to Y
    EXPECT_FALSE(c.markSet);     // "yes" counts as nothing: the default
    EXPECT_FALSE(c.saveToFile);  // "YN" reads as N
    const std::string text = ReadFile(dir / "SUBCMD.INI");
    for (const char* k :
         {"UseRegEx=Y", "CaseSensetive=N", "UnderThread=N", "MarkSet=N", "CopyToFolder=N",
          "Folder=", "CheckMark=N", "DecodeToFile=N", "Colour=blue", "SaveToFile=YN"})
        EXPECT_NE(text.find(k), std::string::npos) << k;
    EXPECT_EQ(text.find("Mark=" + SubCmdMarkValue(0)), std::string::npos);  // MarkSet is off

    // A listed name without a section loads every default and writes them.
    TSubCommand b;
    b.checkMark = true;
    ASSERT_TRUE(f.Load("b", b));
    EXPECT_FALSE(b.conditionMode);
    EXPECT_FALSE(b.checkMark);
    EXPECT_NE(ReadFile(dir / "SUBCMD.INI").find("[b]\r\nTarget=SelectedMessage"),
              std::string::npos);

    // Unknown name: false, nothing changed. Delete keeps the section, renumbers the list.
    TSubCommand untouched;
    untouched.saveTo = "x";
    EXPECT_FALSE(f.Load("nosuch", untouched));
    EXPECT_EQ(untouched.saveTo, "x");
    EXPECT_TRUE(f.Delete("a"));
    EXPECT_FALSE(f.Delete("a"));
    ASSERT_TRUE(f.WriteNames());
    const std::string after = ReadFile(dir / "SUBCMD.INI");
    EXPECT_NE(after.find("[SubCommands]\r\nMyNote=kept\r\nSubCom0=b\r\nSubCom1=gone\r\n"),
              std::string::npos);
    EXPECT_NE(after.find("[a]"), std::string::npos);
    EXPECT_FALSE(TSubCmdFile(Path(dir)).Load("a", untouched));
}

TEST(SubCmdDefs, MarkEncoding) {
    EXPECT_EQ(testing::Hex(SubCmdMarkValue(-1)), "81 7C");
    EXPECT_EQ(testing::Hex(SubCmdMarkValue(0)), "81 7C");
    EXPECT_EQ(testing::Hex(SubCmdMarkValue(1)), "7C 81");
    EXPECT_EQ(testing::Hex(SubCmdMarkValue(2)), "7B 81");
    EXPECT_EQ(SubCmdMarkValue(3), "Q");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(SubCmdMarkItem(SubCmdMarkValue(i)), i);
    EXPECT_EQ(SubCmdMarkItem(S("＋")), 1);
    EXPECT_EQ(SubCmdMarkItem(S("＿")), 2);
    EXPECT_EQ(SubCmdMarkItem(S("＊")), 3);  // not "－": a hand-written unread mark
    EXPECT_EQ(SubCmdMarkItem("zz"), 0);
    EXPECT_EQ(SubCmdMarkItem(""), 0);
    EXPECT_EQ(std::string() + SubCmdMarkChar(0) + SubCmdMarkChar(1) + SubCmdMarkChar(2) +
                  SubCmdMarkChar(3),
              "-+ *");

    TempDir dir;
    WriteFile(dir / "SUBCMD.INI", "[SubCommands]\r\nSubCom0=m\r\n[m]\r\nMarkSet=Y\r\nMark=Q\r\n");
    TSubCmdFile f(Path(dir));
    TSubCommand c;
    ASSERT_TRUE(f.Load("m", c));
    EXPECT_EQ(c.markItem, 3);
}

TEST(SubCmdDefs, FolderEntries) {
    const std::vector<std::string> entries = {"news(A)", "keep(B)", "news(C)", "newsx(D)"};
    EXPECT_EQ(FindFolderEntry(entries, "keep(B)"), 1);
    EXPECT_EQ(FindFolderEntry(entries, "news(OLDPACK)"), 2);  // the last "news(" entry
    EXPECT_EQ(FindFolderEntry(entries, "news"), -1);
    EXPECT_EQ(FindFolderEntry(entries, "other(X)"), -1);
    EXPECT_EQ(FindFolderEntry(entries, "a(b(c)"), -1);
    EXPECT_EQ(FindFolderEntry({}, ""), -1);
}

TEST(SubCmdDefs, RunnableRules) {
    TSubCommand c;
    EXPECT_FALSE(SubCmdRunnable(c, false));
    c.copyToFolder = true;
    EXPECT_FALSE(SubCmdRunnable(c, false));  // no folder chosen
    EXPECT_TRUE(SubCmdRunnable(c, true));
    c = {};
    c.saveToFile = true;
    EXPECT_FALSE(SubCmdHasAction(c, false));
    c.toExpiredFile = true;
    EXPECT_TRUE(SubCmdHasAction(c, false));
    c.conditionMode = true;
    EXPECT_FALSE(SubCmdRunnable(c, false));  // empty tree
    c.conditions = {"Subject"};
    EXPECT_TRUE(SubCmdRunnable(c, false));
    c = {};
    c.markSet = true;
    EXPECT_FALSE(SubCmdHasAction(c, false));
    c.markItem = 2;
    EXPECT_TRUE(SubCmdHasAction(c, false));
}

TEST(SubCmdDefs, UnreadableFileIsNeverSavedOver) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const std::string original = "[SubCommands]\r\nSubCom0=keep\r\n[keep]\r\nTarget=x\r\n";
    WriteFile(dir / "SUBCMD.INI", original);
    std::filesystem::permissions(dir / "SUBCMD.INI", std::filesystem::perms::none);
    {
        TSubCmdFile f(Path(dir));
        EXPECT_FALSE(f.Save("new", Full()));
        EXPECT_FALSE(f.WriteNames());
    }
    std::filesystem::permissions(dir / "SUBCMD.INI", std::filesystem::perms::owner_read);
    EXPECT_EQ(ReadFile(dir / "SUBCMD.INI"), original);
}

}  // namespace
}  // namespace pelorin
