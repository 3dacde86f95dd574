// PacketAppender: areas made and found, both framings and the index, marks that survive an
// append, duplicates, a crash in the middle of an append, and links planted in a packet.
#include "transfer/appender.h"

#include "support/testing.h"

#include "store/soup.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

using pelorin::testing::ReadFile;
using pelorin::testing::TempDir;
using pelorin::testing::WriteFile;

Article News(int n, const std::string& subject, const std::string& refs = "") {
    std::string text =
        "Path: x\r\nFrom: a@example.org\r\nNewsgroups: fj.test\r\nSubject: " + subject +
        "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0900\r\nMessage-ID: <" + std::to_string(n) +
        "@example.org>\r\n";
    if (!refs.empty())
        text += "References: " + refs + "\r\n";
    text += "\r\nbody " + std::to_string(n) + "\r\nline two\r\n";
    return Article{text, n};
}

// Subjects of an area in file order, and the marks, as the reader sees them.
std::string Loaded(const std::filesystem::path& dir, const std::string& area) {
    TSoup soup(dir.string());
    soup.LoadAreas();
    TGrp* g = soup.FindArea(area);
    if (!g)
        return "no area";
    g->Load();
    std::string out;
    for (const auto& m : g->messages)
        out += std::string(1, m->mark) + m->subject + "#" + std::to_string(m->number) + " ";
    return out;
}

TEST(Appender, NewAreasGetFreshPrefixesAndBothFramings) {
    TempDir dir;
    WriteFile(dir / "AREAS", "00000001\tjunk\tun\n");
    WriteFile(dir / "00000002.msg", "");  // a prefix in use by a stray file
    PacketAppender app(dir.path().string());
    AppendResult r =
        app.Append("fj.test", "uc", {News(7, "one"), News(9, "two", "<7@example.org>")});
    EXPECT_EQ(r.appended, 2);
    app.Append("mail", "bn", {News(1, "letter")});
    EXPECT_EQ(ReadFile(dir / "AREAS"),
              "00000001\tjunk\tun\n00000003\tfj.test\tuc\n00000004\tmail\tbn\n");

    // rnews framing with LF line ends; index layout c with offsets after the frame lines.
    std::string msg = ReadFile(dir / "00000003.MSG");
    EXPECT_EQ(msg.substr(0, 19), "#! rnews 00000143\nP");
    EXPECT_EQ(msg.find('\r'), std::string::npos);
    std::string idx = ReadFile(dir / "00000003.IDX");
    EXPECT_EQ(idx.substr(0, idx.find('\n')),
              "18\tone\ta@example.org\tMon, 7 Dec 2026 10:00:00 +0900\t<7@example.org>\t\t143"
              "\t9\t7");
    EXPECT_NE(idx.find("\t<9@example.org>\t<7@example.org>\t"), std::string::npos);
    EXPECT_EQ(Loaded(dir.path(), "fj.test"), "*one#7 *two#9 ");
    EXPECT_EQ(Loaded(dir.path(), "mail"), "*letter#0 ");
    EXPECT_EQ(ReadFile(dir / "00000004.MSG").substr(0, 4), std::string("\0\0\0\x92", 4));
}

TEST(Appender, AppendsAfterMarkedMessagesAndSkipsWhatTheAreaHolds) {
    TempDir dir;
    PacketAppender app(dir.path().string());
    app.Append("fj.test", "un", {News(1, "first"), News(2, "second")});
    {
        // The reader reads the second message and keeps the first.
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        TGrp* g = soup.FindArea("fj.test");
        g->Prepare();
        g->messages[0]->mark = '+';
        g->messages[1]->mark = ' ';
        g->marksChanged = true;
    }
    AppendResult r =
        app.Append("fj.test", "uc", {News(2, "second"), News(3, "third"), News(3, "third")});
    EXPECT_EQ(r.appended, 1);
    EXPECT_EQ(r.duplicates, 2);
    // The area keeps its own letters ("un": no index appears) and every mark.
    EXPECT_FALSE(std::filesystem::exists(dir / "00000001.IDX"));
    EXPECT_EQ(Loaded(dir.path(), "fj.test"), "+first#0  second#0 *third#0 ");
    EXPECT_EQ(app.KnownIds("fj.test").size(), 3u);
    EXPECT_TRUE(app.KnownIds("nothing").empty());
}

TEST(Appender, WhatTheAreaHoldsIsReadAgainAfterTheReaderRewroteIt) {
    TempDir dir;
    PacketAppender app(dir.path().string());
    app.Append("fj.test", "uc", {News(1, "first"), News(2, "second")});
    {
        // The reader purges the first message: a rewrite puts new files in place.
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        TGrp* g = soup.FindArea("fj.test");
        g->Prepare();
        g->messages[0]->mark = '-';
        g->marksChanged = true;
        g->purgeOnClose = true;
    }
    // The same appender (its remembered Message-IDs now stale) takes the first one back.
    AppendResult r = app.Append("fj.test", "uc", {News(1, "first"), News(2, "second")});
    EXPECT_EQ(r.appended, 1);
    EXPECT_EQ(r.duplicates, 1);
    EXPECT_EQ(Loaded(dir.path(), "fj.test"), "*second#2 *first#1 ");
    // Full texts may follow their summaries: appended although the ID is there.
    EXPECT_EQ(app.Append("fj.test", "uc", {News(2, "second")}, false).appended, 1);
    EXPECT_EQ(app.Append("fj.test", "uc", {News(2, "second")}).duplicates, 1);
}

TEST(Appender, AnAppendCutShortIsUndoneBeforeTheNextOne) {
    TempDir dir;
    PacketAppender app(dir.path().string());
    app.Append("fj.test", "uc", {News(1, "first")});
    const std::string msg = ReadFile(dir / "00000001.MSG");
    const std::string idx = ReadFile(dir / "00000001.IDX");
    // A crash after half a message: the journal still names the old sizes and inodes.
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat((dir / "00000001.MSG").c_str(), &a), 0);
    ASSERT_EQ(::stat((dir / "00000001.IDX").c_str(), &b), 0);
    WriteFile(dir / ".pelorin-append",
              "00000001\t" + std::to_string(msg.size()) + "\t" + std::to_string(a.st_ino) + "\t" +
                  std::to_string(idx.size()) + "\t" + std::to_string(b.st_ino) + "\n");
    WriteFile(dir / "00000001.MSG", msg + "#! rnews 00000400\nFrom: half");
    WriteFile(dir / "00000001.IDX", idx + "999\tha");
    app.Append("fj.test", "uc", {News(2, "second")});
    EXPECT_FALSE(std::filesystem::exists(dir / ".pelorin-append"));
    EXPECT_EQ(Loaded(dir.path(), "fj.test"), "*first#1 *second#2 ");
}

TEST(Appender, ALinkInThePacketIsNeverWrittenThrough) {
    TempDir dir;
    std::filesystem::create_directories(dir / "p");
    WriteFile(dir / "p" / "AREAS", "00000001\tfj.test\tun\n");
    WriteFile(dir / "victim", "keep");
    std::filesystem::create_symlink(dir / "victim", dir / "p" / "00000001.MSG");
    PacketAppender app((dir / "p").string());
    EXPECT_THROW(app.Append("fj.test", "un", {News(1, "x")}), AppendError);
    EXPECT_EQ(ReadFile(dir / "victim"), "keep");
}

TEST(Appender, AreasOfOtherFormatsAreRefused) {
    TempDir dir;
    WriteFile(dir / "AREAS", "00000001\tbox\tmn\n");
    PacketAppender app(dir.path().string());
    EXPECT_THROW(app.Append("box", "bn", {News(1, "x")}), AppendError);
    EXPECT_EQ(ReadFile(dir / "AREAS"), "00000001\tbox\tmn\n");
}

// The counts the area list shows before an area is loaded, as `pelorin-cli areas` reads them.
std::pair<int, int> Peeked(const std::filesystem::path& dir, const std::string& area) {
    TSoup soup(dir.string());
    soup.LoadAreas();
    TGrp* g = soup.FindArea(area);
    return g ? g->PeekCounts() : std::pair<int, int>{-2, -2};
}

TEST(Appender, CountsAreKnownAfterAnAppendAndGrowWithTheNext) {
    TempDir dir;
    PacketAppender app(dir.path().string());
    app.Append("mail", "bn", {News(1, "a"), News(2, "b")});
    app.Append("fj.test", "uc", {News(3, "c")});
    EXPECT_EQ(Peeked(dir.path(), "mail"), (std::pair<int, int>{2, 2}));
    EXPECT_EQ(Peeked(dir.path(), "fj.test"), (std::pair<int, int>{1, 1}));

    // The reader reads one, saves its marks; the next append adds to what it left.
    {
        TSoup soup(dir.path().string());
        soup.LoadAreas();
        TGrp* g = soup.FindArea("mail");
        g->Load();
        g->messages[0]->mark = ' ';
        g->marksChanged = true;
        ASSERT_EQ(g->SaveMarks(), ReplaceResult::Ok);
    }
    AppendResult r = app.Append("mail", "bn", {News(2, "b"), News(4, "d"), News(5, "e")});
    EXPECT_EQ(r.appended, 2);  // the duplicate counts for nothing
    EXPECT_EQ(Peeked(dir.path(), "mail"), (std::pair<int, int>{4, 3}));
    EXPECT_EQ(Loaded(dir.path(), "mail"), " a#0 *b#0 *d#0 *e#0 ");

    // Counts that did not describe the file are left for the reader to count on loading.
    WriteFile(dir / "GRPSTAT.PBS", "[mail]\nMSGCount=9\nMSGSize=12\nUnreadMsgs=9\n");
    app.Append("mail", "bn", {News(6, "f")});
    EXPECT_EQ(ReadFile(dir / "GRPSTAT.PBS"), "[mail]\nMSGCount=9\nMSGSize=12\nUnreadMsgs=9\n");
}

TEST(Appender, AnAreaWhoseMessageFileIsMissingIsSaidAndStartsANewOne) {
    TempDir dir;
    WriteFile(dir / "AREAS", "00000007\tmail\tbn\n");
    PacketAppender app(dir.path().string());
    AppendResult r = app.Append("mail", "bn", {News(1, "a")});
    EXPECT_NE(r.missingFile.find("00000007.MSG"), std::string::npos) << r.missingFile;
    EXPECT_NE(r.missingFile.find("area mail"), std::string::npos) << r.missingFile;
    EXPECT_EQ(Loaded(dir.path(), "mail"), "*a#0 ");
    EXPECT_EQ(app.Append("mail", "bn", {News(2, "b")}).missingFile, "");
}

}  // namespace
}  // namespace pelorin::transfer
