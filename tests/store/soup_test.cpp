// TSoup: the area list from AREAS and GRPSTAT.PBS, new areas, AREAS rewriting, and closing.
#include "store/soup.h"

#include "support/testing.h"

#include "coding/file_write.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Names(const TSoup& soup) {
    std::string out;
    for (const auto& a : soup.areas)
        out += (out.empty() ? "" : " ") + a->areaName + "=" + a->description;
    return out;
}

TEST(Soup, AreasInStoredOrderWithDescriptions) {
    TempDir dir;
    WriteFile(dir / "AREAS",
              "0000001\tjunk\tun\n"
              "0000002\tcomp.lang.c\tuc\tC language\textra\n"
              "   \tblank.prefix\tun\n"
              "0000003\tfj.test\tu\n");
    WriteFile(dir / "GRPSTAT.PBS",
              "[Groups]\r\ncomp.lang.c=1\r\nmissing=1\r\n[junk]\r\nSortType=-4\r\n");
    TSoup soup(dir.path().string());
    EXPECT_EQ(soup.directory, dir.path().string() + "/");
    EXPECT_EQ(soup.packetName, dir.path().string());
    soup.defaultSortType = 1;
    ASSERT_EQ(soup.LoadAreas(), 3);
    EXPECT_EQ(Names(soup), "comp.lang.c=C language junk=junk fj.test=fj.test");
    EXPECT_EQ(soup.AreaAt(0)->encoding, "uc ");
    EXPECT_EQ(soup.AreaAt(2)->encoding, "u  ");
    EXPECT_EQ(soup.AreaAt(1)->sortType, 4);
    EXPECT_EQ(soup.AreaAt(0)->sortType, 1);
    EXPECT_EQ(soup.AreaAt(0)->threadRange, 300);
    EXPECT_EQ(soup.AreaAt(3), nullptr);
    EXPECT_EQ(soup.FindArea("junk"), soup.AreaAt(1));
    EXPECT_EQ(soup.FindArea("JUNK"), nullptr);
    // Defaults are written back, so the state file lists every key.
    EXPECT_EQ(soup.State().ReadInteger("fj.test", "ThreadRange", -1), 300);
}

TEST(Soup, GroupsKeysMatchWholeFieldsBetweenTabs) {
    TempDir dir;
    WriteFile(dir / "AREAS", "0000001\tab\tun\n0000002\tabc\tun\n0000003\tx\tuc\tdesc\n");
    WriteFile(dir / "GRPSTAT.PBS", "[Groups]\nb=1\nabc=1\nuc=1\n");
    TSoup soup(dir.path().string());
    soup.LoadAreas();
    // "b" is only part of a name; "uc" matches the encoding field of a line with a description.
    EXPECT_EQ(Names(soup), "abc=abc x=desc ab=ab");
}

TEST(Soup, PrefixesThatLeaveTheDirectoryAreSkipped) {
    TempDir dir;
    WriteFile(dir / "AREAS",
              "../outside\tevil\tun\n/etc/passwd\tevil2\tun\n..\tdots\tun\n"
              "0000001\tgood\tun\n");
    TSoup soup(dir.path().string());
    ASSERT_EQ(soup.LoadAreas(), 1);
    EXPECT_EQ(soup.AreaAt(0)->areaName, "good");
}

TEST(Soup, MissingAreasFileGivesAnEmptyPacket) {
    TempDir dir;
    {
        TSoup soup(dir.path().string());
        EXPECT_EQ(soup.LoadAreas(), 0);
        soup.packetType = 1;
    }
    TIniF state((dir / "GRPSTAT.PBS").string());
    EXPECT_EQ(state.ReadInteger("General", "PacketType", -1), 1);
}

TEST(Soup, NewAreasTakeTheFirstFreePrefixAndAreWritten) {
    TempDir dir;
    WriteFile(dir / "AREAS", "00000001\ta\tuc\n00000003\tb\tuc\tB folder\n");
    WriteFile(dir / "00000004.MSG", "somebody's file");
    {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        TGrp* f = soup.AddArea("posted", "uc");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->pathBase, dir.path().string() + "/00000002");
        TGrp* g = soup.AddArea("reserve", "uc");
        // 00000004 is taken by a file on disk.
        EXPECT_EQ(g->pathBase, dir.path().string() + "/00000005");
        EXPECT_TRUE(soup.areasChanged);
    }
    EXPECT_EQ(ReadFile(dir / "AREAS"),
              "00000001\ta\tuc\n00000003\tb\tuc\tB folder\n00000002\tposted\tuc\n"
              "00000005\treserve\tuc\n");
    EXPECT_EQ(ReadFile(dir / "00000004.MSG"), "somebody's file");
}

TEST(Soup, ClosingWritesStateButLeavesAreasAlone) {
    TempDir dir;
    const std::string areas = "0000001\tjunk\tun\n";
    WriteFile(dir / "areas", areas);  // lower-case names are found too
    {
        TSoup soup(dir.path().string());
        soup.SetOutboundDir("/tmp/out");
        ASSERT_EQ(soup.LoadAreas(), 1);
        soup.AreaAt(0)->expireDays = 9;
    }
    EXPECT_EQ(ReadFile(dir / "areas"), areas);
    EXPECT_FALSE(std::filesystem::exists(dir / "AREAS"));
    TIniF state((dir / "GRPSTAT.PBS").string());
    EXPECT_EQ(state.ReadInteger("junk", "ExpireDays", -1), 9);
    EXPECT_EQ(state.ReadInteger("junk", "SortType", -1), 0);
    EXPECT_EQ(state.ReadString("General", "Outbound", ""), "/tmp/out/");
    EXPECT_EQ(state.ReadString("General", "PacketName", ""), dir.path().string());
}

TEST(Soup, ClosingWithoutAnOutboundDirectoryKeepsTheStoredOne) {
    TempDir dir;
    WriteFile(dir / "GRPSTAT.PBS", "[General]\r\nOutbound=/var/spool/out/\r\n");
    { TSoup soup(dir.path().string()); }
    TIniF state((dir / "GRPSTAT.PBS").string());
    EXPECT_EQ(state.ReadString("General", "Outbound", ""), "/var/spool/out/");
}

TEST(Soup, MarksAndUnreadCountsSurviveReopening) {
    TempDir dir;
    WriteFile(dir / "AREAS", "0000001\tjunk\tun\n");
    WriteFile(dir / "0000001.MSG",
              "#! rnews 30\nMessage-ID: <1@x>\nSubject: a\n\n"
              "#! rnews 30\nMessage-ID: <2@x>\nSubject: b\n\n");
    {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        TGrp* g = soup.AreaAt(0);
        g->Prepare();
        ASSERT_EQ(g->CountMarked('*'), 2);
        g->MessageAt(0)->mark = ' ';
        g->marksChanged = true;
    }
    TSoup soup(dir.path().string());
    soup.LoadAreas();
    TGrp* g = soup.AreaAt(0);
    EXPECT_EQ(g->unreadMsgs, 1);
    EXPECT_EQ(g->PeekCounts(), std::make_pair(2, 1));
    g->Prepare();
    EXPECT_EQ(g->MessageAt(0)->mark, ' ');
    EXPECT_EQ(g->MessageAt(1)->mark, '*');
}

TEST(Soup, WriteAreasFormat) {
    TempDir dir;
    WriteFile(dir / "AREAS", "0000001\tsame\tun\tsame\n0000002\tn\tucm\tDesc\n");
    TSoup soup(dir.path().string());
    soup.LoadAreas();
    ASSERT_EQ(soup.WriteAreas(), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(dir / "AREAS"), "0000001\tsame\tun\n0000002\tn\tucm\tDesc\n");
}

}  // namespace
}  // namespace pelorin

namespace pelorin {
namespace {

TEST(SoupState, LinkedStateFilesAreReplacedNeverWrittenThrough) {
    TempDir dir;
    const auto outside = dir / "startup.sh";
    WriteFile(outside, "echo hello\n");
    // An area named like a shell command would become a section line of the state file.
    WriteFile(dir / "AREAS", "0000001\t$(touch x)\tun\n");
    const std::string message = "#! rnews 00000030\nMessage-ID: <1@x>\nSubject: a\n\n";
    WriteFile(dir / "elsewhere.msg", message);
    std::filesystem::create_symlink(dir / "elsewhere.msg", dir / "0000001.MSG");
    for (const char* name : {"GRPSTAT.PBS", "0000001.PBX"})
        std::filesystem::create_symlink(outside, dir / name);
    {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        soup.areasChanged = true;  // AREAS is written too
        TGrp* g = soup.AreaAt(0);
        g->Prepare();
        g->MessageAt(0)->mark = ' ';
        g->marksChanged = true;
        g->contentChanged = true;  // the message file is rewritten too
        EXPECT_EQ(soup.Destroy(), ReplaceResult::Ok);
    }
    EXPECT_EQ(ReadFile(outside), "echo hello\n");
    EXPECT_EQ(ReadFile(dir / "elsewhere.msg"), message);
    EXPECT_EQ(ReadFile(dir / "0000001.MSG"), message);
    for (const char* name : {"GRPSTAT.PBS", "0000001.PBX", "AREAS", "0000001.MSG"})
        EXPECT_FALSE(std::filesystem::is_symlink(dir / name)) << name;
    EXPECT_EQ(ReadFile(dir / "0000001.PBX"), " <1@x>\t\r\n");
}

TEST(SoupState, UnreadCountsAreWrittenWithTheMarksOnly) {
    TempDir dir;
    WriteFile(dir / "AREAS", "0000001\tjunk\tun\n");
    WriteFile(dir / "0000001.MSG",
              "#! rnews 30\nMessage-ID: <1@x>\nSubject: a\n\n"
              "#! rnews 30\nMessage-ID: <2@x>\nSubject: b\n\n");
    TSoup soup(dir.path().string());
    soup.LoadAreas();
    TGrp* g = soup.AreaAt(0);
    g->Prepare();
    g->MessageAt(0)->mark = ' ';
    g->marksChanged = true;
    ASSERT_EQ(g->SaveMarks(), ReplaceResult::Ok);
    // Already on disk, before the packet is closed.
    EXPECT_EQ(TIniF((dir / "GRPSTAT.PBS").string()).ReadInteger("junk", "UnreadMsgs", -1), 1);

    // A mark file that cannot be written leaves the stored count as it was.
    g->MessageAt(1)->mark = ' ';
    g->marksChanged = true;
    {
        testing::FileSizeLimit limit(4);
        EXPECT_NE(soup.Destroy(), ReplaceResult::Ok);
    }
    EXPECT_EQ(soup.failedArea, "junk");
    EXPECT_EQ(soup.failure.path, (dir / "0000001.PBX").string());
    EXPECT_FALSE(soup.failure.reason.empty());
    EXPECT_EQ(TIniF((dir / "GRPSTAT.PBS").string()).ReadInteger("junk", "UnreadMsgs", -1), 1);
    EXPECT_EQ(ReadFile(dir / "0000001.PBX"), " <1@x>\t\r\n*<2@x>\t\r\n");
}

TEST(SoupState, OpeningManyAreasWritesTheStateFileOnce) {
    TempDir dir;
    std::string areas;
    for (int i = 1; i <= 1000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%.7d\tgroup.%d\tun\n", i, i);
        areas += line;
    }
    WriteFile(dir / "AREAS", areas);
    TSoup soup(dir.path().string());
    ASSERT_EQ(soup.LoadAreas(), 1000);
    for (const auto& area : soup.areas) (void)area->PeekCounts();
    EXPECT_EQ(soup.State().FileWrites(), 1);
}

TEST(SoupState, OurLeftoversGoAtTheNextOpenAndNothingElse) {
    TempDir dir;
    WriteFile(dir / "AREAS", "0000001\tjunk\tun\n");
    const std::string old_ours = TemporaryFileName(), young_ours = TemporaryFileName();
    const char* theirs[] = {".pelorin-notours.tmp", ".pelorin-0123456789abcdef.TMP", "x.tmp"};
    WriteFile(dir / old_ours, std::string(1000, 'x'));
    WriteFile(dir / young_ours, "being written by another window");
    for (const char* name : theirs) WriteFile(dir / name, "x");
    const auto an_hour_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& name : {old_ours, std::string(theirs[0]), std::string(theirs[1])})
        std::filesystem::last_write_time(dir / name, an_hour_ago);
    // A rewrite killed after its new files were complete is finished at the open.
    WriteFile(dir / "0000001.MSG", "old");
    WriteFile(dir / "0000001.SBM", "#! rnews 30\nMessage-ID: <1@x>\nSubject: a\n\n");
    WriteFile(dir / "0000001.SBX", "*<1@x>\t\r\n");

    TSoup soup(dir.path().string());
    soup.LoadAreas();
    EXPECT_FALSE(std::filesystem::exists(dir / old_ours));
    EXPECT_TRUE(std::filesystem::exists(dir / young_ours));
    for (const char* name : theirs) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_FALSE(std::filesystem::exists(dir / "0000001.SBM"));
    EXPECT_EQ(ReadFile(dir / "0000001.PBX"), "*<1@x>\t\r\n");
    EXPECT_EQ(ReadFile(dir / "0000001.MSG"), "#! rnews 30\nMessage-ID: <1@x>\nSubject: a\n\n");
}

TEST(SoupState, AnUnwritablePacketIsKnownWhenItOpens) {
    TempDir dir;
    WriteFile(dir / "AREAS", "0000001\tjunk\tun\n");
    TSoup soup(dir.path().string());
    EXPECT_TRUE(soup.Writable());
    {
        // A full disk (or a file-size limit) shows without root's exemption.
        testing::FileSizeLimit limit(0);
        WriteFailure why;
        EXPECT_FALSE(soup.Writable(&why));
        EXPECT_EQ(why.path, soup.directory);
        EXPECT_FALSE(why.reason.empty());
    }
    if (::geteuid() != 0) {
        std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        EXPECT_FALSE(soup.Writable());
        std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // + home
}

}  // namespace
}  // namespace pelorin
