// TSoup: the area list from AREAS and GRPSTAT.PBS, new areas, AREAS rewriting, and closing.
#include "store/soup.h"

#include "support/testing.h"

#include <filesystem>
#include <gtest/gtest.h>

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
