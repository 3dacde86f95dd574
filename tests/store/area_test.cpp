// TGrp: reading the two framings and the index layouts, marks across runs, counts, copies,
// deletion, purging and rewriting (including interrupted and failed rewrites).
#include "support/fake_dialogs.h"
#include "support/testing.h"

#include "store/grp.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace pelorin {
namespace {

using testing::BinaryFile;
using testing::ReadFile;
using testing::RnewsFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

std::string Message(const std::string& id,
                    const std::string& subject,
                    const std::string& extra = "",
                    const std::string& body = "body\n") {
    return "Subject: " + subject + "\nFrom: a@example.jp\nMessage-ID: <" + id + ">\n" + extra +
           "\n" + body;
}

std::string Ids(const TGrp& g) {
    std::string out;
    for (const auto& e : g.display) {
        if (!out.empty())
            out += ' ';
        out += e.msg->messageId + e.msg->mark;
    }
    return out;
}

class AreaTest : public ::testing::Test {
protected:
    TempDir dir;
    TIniF stat{(dir / "GRPSTAT.PBS").string()};
    testing::FakeDialogs dialogs;
    std::string base = (dir / "0000001").string();

    std::unique_ptr<TGrp> Area(const std::string& enc, int sortType = 0) {
        auto g = std::make_unique<TGrp>("test.area", base, enc, "test.area", &stat, &dialogs);
        g->SetSortType(sortType);
        return g;
    }
};

TEST_F(AreaTest, RnewsOffsetsAndDecodedFields) {
    std::string m1 = Message("1@x", "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=",
                             "Date: 6 Dec 98 01:02:03 GMT\nReferences: <0@x>\n");
    std::string m2 = Message("2@x", "two", "In-Reply-To: junk <1@x> (was)\n");
    // Frame lines written with eight digits, as this program writes them.
    char f1[32], f2[32];
    std::snprintf(f1, sizeof f1, "#! rnews %.8zu\n", m1.size());
    std::snprintf(f2, sizeof f2, "#! rnews %.8zu\n", m2.size());
    WriteFile(base + ".MSG", f1 + m1 + f2 + m2);
    auto g = Area("un");
    g->Prepare();
    ASSERT_EQ(g->messages.size(), 2u);
    TMsg& a = *g->messages[0];
    EXPECT_EQ(a.offset, 18);
    EXPECT_EQ(a.length, static_cast<int>(m1.size()));
    EXPECT_EQ(a.subject, S("テスト"));
    EXPECT_EQ(a.parentId, "<0@x>");
    EXPECT_EQ(a.lineCount, 7);
    EXPECT_EQ(a.mark, '*');
    TMsg& b = *g->messages[1];
    EXPECT_EQ(b.offset, static_cast<int>(18 + m1.size() + 18));
    EXPECT_EQ(b.references, "<1@x>");
    EXPECT_EQ(b.parentId, "<1@x>");
    EXPECT_EQ(b.ReadText(), m2);
}

TEST_F(AreaTest, BrokenFramingsReadWhatIsThere) {
    std::string m = Message("1@x", "one");
    // An absurd count, junk between batches, and a NUL inside a message.
    WriteFile(base + ".MSG", "garbage!!" + RnewsFile({m}) + "#! rnews 9999999999\n" +
                                 Message("2@x", "two", "", std::string("a\0b\n", 4)));
    auto g = Area("un");
    g->Prepare();
    ASSERT_EQ(g->messages.size(), 2u);
    EXPECT_EQ(g->messages[1]->messageId, "<2@x>");
    EXPECT_EQ(g->messages[1]->ReadText().find('\0'), std::string::npos);

    // Binary: a zero length is one empty message; 0xFFFFFFFF takes the rest of the file.
    WriteFile(base + ".MSG", BinaryFile({"", m}) + std::string("\xFF\xFF\xFF\xFF", 4) + m);
    auto b = Area("bn");
    b->Prepare();
    ASSERT_EQ(b->messages.size(), 3u);
    EXPECT_EQ(b->messages[0]->length, 0);
    EXPECT_EQ(b->messages[1]->messageId, "<1@x>");
    EXPECT_EQ(b->messages[2]->length, static_cast<int>(m.size()));
    // A length field cut short ends the file.
    WriteFile(base + ".MSG", BinaryFile({m}) + "\x00\x00");
    auto c = Area("bn");
    c->Prepare();
    EXPECT_EQ(c->messages.size(), 1u);
}

TEST_F(AreaTest, CrLfMessagesReadLikeLfOnes) {
    std::string m = "Subject: crlf\r\nMessage-ID: <1@x>\r\n\r\nbody\r\n";
    WriteFile(base + ".MSG", RnewsFile({m}));
    auto g = Area("un");
    g->Prepare();
    ASSERT_EQ(g->messages.size(), 1u);
    EXPECT_EQ(g->messages[0]->subject, "crlf");
    EXPECT_EQ(g->messages[0]->messageId, "<1@x>");
}

TEST_F(AreaTest, IndexLayouts) {
    WriteFile(base + ".IDX",
              "0018\t=?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=\ta@x\tdate\t<1@x>\t<0@x>\t 120 \t7\t00042\n"
              "200\ts\tf\td\t<2@x>\t\t80\t3\t43\n");
    WriteFile(base + ".MSG", "");
    auto g = Area("uc");
    g->Prepare();
    ASSERT_EQ(g->messages.size(), 2u);
    EXPECT_EQ(g->messages[0]->offset, 18);
    EXPECT_EQ(g->messages[0]->subject, S("テスト"));
    EXPECT_EQ(g->messages[0]->length, 120);
    EXPECT_EQ(g->messages[0]->number, 42);
    EXPECT_EQ(g->messages[0]->parentId, "<0@x>");
    EXPECT_EQ(g->messages[1]->parentId, "     ");  // matches no Message-ID
    WriteFile(base + ".IDX", "5\ts\tf\td\t99\t4\t7\n");
    auto c = Area("uC");
    c->Prepare();
    ASSERT_EQ(c->messages.size(), 1u);
    EXPECT_EQ(c->messages[0]->messageId, "");
    EXPECT_EQ(c->messages[0]->length, 99);
    EXPECT_EQ(c->messages[0]->number, 7);
    // An index area without its index is empty even though the message file exists.
    std::filesystem::remove(base + ".IDX");
    WriteFile(base + ".MSG", RnewsFile({Message("1@x", "one")}));
    auto e = Area("uc");
    e->Prepare();
    EXPECT_TRUE(e->messages.empty());
}

TEST_F(AreaTest, OffsetsPastTwoGigabytes) {
    // A sparse message file: 3 GiB of hole (a huge message, as a decade of a busy list
    // reaches) and then two small messages; the index holds their 64-bit offsets.
    const int64_t far = (int64_t{3} << 30) + 7;
    const std::string m1 = Message("1@x", "one");
    const std::string m2 = Message("2@x", "two", "References: <1@x>\n");
    {
        std::ofstream out(base + ".MSG", std::ios::binary);
        out.seekp(far);
        out << m1 << m2;
    }
    const auto line = [](int64_t at, const std::string& subject, const std::string& id,
                         const std::string& refs, size_t size, int number) {
        return std::to_string(at) + "\t" + subject + "\ta@example.jp\t\t" + id + "\t" + refs +
               "\t" + std::to_string(size) + "\t4\t" + std::to_string(number) + "\n";
    };
    WriteFile(base + ".IDX", line(far, "one", "<1@x>", "", m1.size(), 1) +
                                 line(far + static_cast<int64_t>(m1.size()), "two", "<2@x>",
                                      "<1@x>", m2.size(), 2));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "as written" : "after a rewrite");
        auto g = Area("mc", 1);  // threads
        g->Prepare();
        ASSERT_EQ(g->messages.size(), 2u);
        EXPECT_EQ(g->messages[0]->offset, far);
        EXPECT_EQ(g->messages[0]->ReadText(), m1);
        EXPECT_EQ(g->messages[1]->ReadText(), m2);
        ASSERT_EQ(g->display.size(), 2u);
        EXPECT_EQ(g->display[1].msg->messageId, "<2@x>");
        EXPECT_EQ(g->display[1].msg->depth, 1);
        EXPECT_EQ(g->MessageAt(1)->Header("Subject"), "two");
        g->contentChanged = true;  // the index is written again from the records
        ASSERT_EQ(g->Unload(), ReplaceResult::Ok);
    }
    EXPECT_EQ(ReadFile(base + ".IDX").substr(0, 11), std::to_string(far) + "\t");
}

TEST_F(AreaTest, MarksPersistAcrossRunsAndSurviveAppendedMessages) {
    WriteFile(base + ".MSG",
              RnewsFile({Message("1@x", "a"), Message("2@x", "b"), Message("3@x", "c")}));
    {
        auto g = Area("un");
        g->Prepare();
        g->messages[0]->mark = ' ';
        g->messages[1]->mark = '-';
        g->messages[2]->mark = '+';
        g->marksChanged = true;
        ASSERT_EQ(g->Unload(), ReplaceResult::Ok);
    }
    EXPECT_EQ(ReadFile(base + ".PBX"), " <1@x>\t\r\n-<2@x>\t\r\n+<3@x>\t\r\n");
    // A newer packet put a message in front: line numbers no longer match, IDs still do.
    WriteFile(base + ".MSG", RnewsFile({Message("0@x", "new"), Message("1@x", "a"),
                                        Message("2@x", "b"), Message("3@x", "c")}));
    auto g = Area("un");
    g->Prepare();
    // Marks other than unread follow their Message-ID; the new message stays unread.
    EXPECT_EQ(Ids(*g), "<0@x>* <1@x>  <2@x>- <3@x>+");
    EXPECT_EQ(g->CountMarked('*'), 1);
    EXPECT_EQ(g->CountMarked(0), 4);
}

TEST_F(AreaTest, SeenListTurnsCrossPostsRead) {
    WriteFile(base + ".MSG", RnewsFile({Message("1@x", "a"), Message("2@x", "b")}));
    auto g = Area("un");
    g->MarkSeen("<2@x>");
    g->Prepare();
    EXPECT_EQ(g->CountMarked('*'), 1);
    ASSERT_EQ(g->Unload(), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(base + ".PBX"), "*<1@x>\t\r\n <2@x>\t\r\n");
}

TEST_F(AreaTest, DeleteAtAndBadIndex) {
    WriteFile(base + ".MSG", RnewsFile({Message("1@x", "a"), Message("2@x", "b")}));
    auto g = Area("un");
    g->Prepare();
    g->DeleteAt(2);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "bad index");
    EXPECT_EQ(g->messages.size(), 2u);
    g->DeleteAt(0);
    EXPECT_EQ(Ids(*g), "<2@x>*");
    EXPECT_EQ(g->display[0].msg->displayPos, 0);
    EXPECT_TRUE(g->contentChanged);
    EXPECT_EQ(g->FindMessage("<2@x>"), 0);
    EXPECT_EQ(g->FindMessage("<1@x>"), -1);
    EXPECT_EQ(g->MessageAt(1), nullptr);
}

// Each record's position and depth agree with the display list in every order, however the
// area was loaded and whatever order it had before (a load leaves records in file order, and
// file order then does not write them again).
TEST_F(AreaTest, PositionsAndDepthsFollowEveryOrder) {
    const std::string reply = "References: <1@x>\n";
    auto check = [](const TGrp& g) {
        for (size_t i = 0; i < g.display.size(); ++i) {
            ASSERT_EQ(g.display[i].msg->displayPos, static_cast<int32_t>(i));
            ASSERT_EQ(g.display[i].msg->depth, g.sortType == 1 && i == 1 ? 1 : 0);
        }
    };
    WriteFile(base + ".MSG",
              RnewsFile({Message("1@x", "b"), Message("2@x", "a"), Message("3@x", "c", reply)}));
    WriteFile(base + ".IDX",
              "0\tb\tf\td\t<1@x>\t\t1\t1\t1\n"
              "0\ta\tf\td\t<2@x>\t\t1\t1\t2\n"
              "0\tc\tf\td\t<3@x>\t<1@x>\t1\t1\t3\n");
    for (const char* enc : {"un", "uc"}) {
        SCOPED_TRACE(enc);
        auto g = Area(enc, 1);
        g->Prepare();
        EXPECT_EQ(Ids(*g), "<1@x>* <3@x>* <2@x>*");
        check(*g);
        for (int type : {0, 2, 1, 0}) {
            g->SetSortType(type);
            check(*g);
        }
        EXPECT_EQ(Ids(*g), "<1@x>* <2@x>* <3@x>*");
        // Loaded again in file order, and with a message deleted before the first sort.
        g->display.clear();
        g->messages.clear();
        g->SetSortType(0);
        g->Prepare();
        check(*g);
        g->display.clear();
        g->messages.clear();
        g->Load();
        g->messages.erase(g->messages.begin());
        g->SetSortType(0);
        EXPECT_EQ(Ids(*g), "<2@x>* <3@x>*");
        check(*g);
    }
}

TEST_F(AreaTest, MessagesAppendedByAnotherProgramAreNeverRewrittenAway) {
    // A transfer program appends to the area while it is open; a purge from the records held
    // would write the files without the new messages. It waits for the next load instead.
    const std::string m1 = Message("1@x", "a"), m2 = Message("2@x", "b"), m3 = Message("3@x", "c");
    WriteFile(base + ".MSG", RnewsFile({m1, m2}));
    {
        auto g = Area("un");
        g->Prepare();
        g->messages[0]->mark = ' ';
        g->messages[1]->mark = '-';
        g->marksChanged = true;
        std::ofstream(base + ".MSG", std::ios::binary | std::ios::app) << RnewsFile({m3});
        EXPECT_TRUE(g->ChangedOnDisk());
        EXPECT_EQ(g->Rewrite(true), ReplaceResult::WriteFailed);
        EXPECT_EQ(g->messages.size(), 2u);  // nothing purged from memory either
        g->purgeOnClose = true;
        EXPECT_EQ(g->Unload(), ReplaceResult::WriteFailed);
        EXPECT_NE(g->lastFailure.reason.find(S("ほかのプログラム")), std::string::npos);
    }
    EXPECT_EQ(ReadFile(base + ".MSG"), RnewsFile({m1, m2, m3}));
    auto g = Area("un");
    g->Prepare();
    EXPECT_EQ(Ids(*g), "<1@x>  <2@x>- <3@x>*");  // marks kept (read, delete); the new one unread
    g->purgeOnClose = true;
    ASSERT_EQ(g->Unload(), ReplaceResult::Ok);  // loaded again, the purge goes ahead
    EXPECT_EQ(ReadFile(base + ".MSG").find("<2@x>"), std::string::npos);
    EXPECT_NE(ReadFile(base + ".MSG").find("<3@x>"), std::string::npos);

    // The area's own rewrite is no change from outside.
    auto h = Area("un");
    h->Prepare();
    h->messages[0]->mark = '-';
    ASSERT_EQ(h->Rewrite(true), ReplaceResult::Ok);
    EXPECT_FALSE(h->ChangedOnDisk());
    h->messages[0]->mark = '-';
    EXPECT_EQ(h->Rewrite(true), ReplaceResult::Ok);
    EXPECT_EQ(h->messages.size(), 0u);
}

TEST_F(AreaTest, PurgeRewritesTheFilesAndKeepsTheRest) {
    std::string m1 = Message("1@x", "a"), m2 = Message("2@x", "b"), m3 = Message("3@x", "c");
    WriteFile(base + ".MSG", RnewsFile({m1, m2, m3}));
    {
        auto g = Area("un", 1);
        g->Prepare();
        g->messages[1]->mark = '-';
        g->purgeOnClose = true;
        ASSERT_EQ(g->Unload(), ReplaceResult::Ok);
    }
    char frame[32];
    std::snprintf(frame, sizeof frame, "#! rnews %.8zu\n", m1.size());
    std::string expect = frame + m1;
    std::snprintf(frame, sizeof frame, "#! rnews %.8zu\n", m3.size());
    expect += frame + m3;
    EXPECT_EQ(ReadFile(base + ".MSG"), expect);
    EXPECT_FALSE(std::filesystem::exists(base + ".SBM"));
    EXPECT_EQ(stat.ReadInteger("test.area", "MSGCount", -1), 2);
    EXPECT_EQ(stat.ReadInteger("test.area", "MSGSize", -1), static_cast<int>(expect.size()));

    // Purging every message of a binary area leaves an empty message file.
    WriteFile(base + ".MSG", BinaryFile({m1}));
    auto b = Area("bn");
    b->Prepare();
    b->messages[0]->mark = '-';
    b->purgeOnClose = true;
    ASSERT_EQ(b->Unload(), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(base + ".MSG"), "");
}

TEST_F(AreaTest, CopiesIntoAFolderSurviveReloading) {
    std::string src_base = (dir / "src").string();
    WriteFile(src_base + ".MSG", RnewsFile({Message("1@x", "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=",
                                                    "References: <0@x>\n", "line1\nline2\n")}));
    TGrp src("src", src_base, "un", "src", nullptr, nullptr);
    src.Prepare();
    {
        auto folder = Area("uc");
        folder->AddCopy(src.MessageAt(0));
        folder->AddCopy(src.MessageAt(0));
        ASSERT_EQ(folder->messages.size(), 2u);
        EXPECT_TRUE(folder->contentChanged);
        ASSERT_EQ(folder->Unload(), ReplaceResult::Ok);
    }
    std::string idx = ReadFile(base + ".IDX");
    EXPECT_EQ(idx.substr(0, 21), "18\t=?ISO-2022-JP?B?Gy");
    auto folder = Area("uc");
    folder->Prepare();
    ASSERT_EQ(folder->messages.size(), 2u);
    for (auto& m : folder->messages) {
        EXPECT_EQ(m->subject, S("テスト"));
        EXPECT_EQ(m->parentId, "<0@x>");
        m->LoadLines();
        EXPECT_EQ(m->lines.back(), "line2");
    }
}

TEST_F(AreaTest, RewriteKeepsRecordsPointingAtTheirText) {
    WriteFile(base + ".MSG", RnewsFile({Message("1@x", "a"), Message("2@x", "b", "", "second\n")}));
    auto g = Area("un");
    g->Prepare();
    g->DeleteAt(0);
    ASSERT_EQ(g->Rewrite(false), ReplaceResult::Ok);
    // The area stays loaded; its record reads from the new file.
    TMsg* m = g->MessageAt(0);
    m->lines.clear();
    m->LoadLines();
    EXPECT_EQ(m->lines.back(), "second");
}

TEST_F(AreaTest, FailedRewriteLeavesOldFilesAndMessages) {
    std::string old = RnewsFile({Message("1@x", "a"), Message("2@x", "b"),
                                 Message("3@x", "c", "", std::string(300, 'x') + "\n")});
    WriteFile(base + ".MSG", old);
    auto g = Area("un");
    g->Prepare();
    g->DeleteAt(0);
    {
        testing::FileSizeLimit limit(64);
        EXPECT_EQ(g->Unload(), ReplaceResult::WriteFailed);
    }
    EXPECT_EQ(ReadFile(base + ".MSG"), old);
    EXPECT_FALSE(std::filesystem::exists(base + ".SBM"));
    EXPECT_EQ(g->messages.size(), 2u);  // still held, nothing lost
    EXPECT_TRUE(g->contentChanged);
    EXPECT_EQ(g->Unload(), ReplaceResult::Ok);
    auto h = Area("un");
    h->Prepare();
    EXPECT_EQ(Ids(*h), "<2@x>* <3@x>*");
}

TEST_F(AreaTest, InterruptedRewriteIsFinishedOrUndone) {
    // An older version's rewrite, killed after its message file replaced the old one: the new
    // index describes the new message file exactly, the old one does not.
    std::string idx = "18\ts\tf\td\t<1@x>\t\t10\t1\t0\n";
    const std::string msg = "#! rnews 00000010\nSubject: \n";
    WriteFile(base + ".MSG", msg);
    WriteFile(base + ".IDX", "old index\n");
    WriteFile(base + ".SBI", idx);
    auto g = Area("uc");
    g->Prepare();
    EXPECT_EQ(ReadFile(base + ".IDX"), idx);
    EXPECT_FALSE(std::filesystem::exists(base + ".SBI"));
    EXPECT_EQ(g->messages.size(), 1u);

    WriteFile(base + ".SBM", "half");
    WriteFile(base + ".SBI", "half");  // crash before anything was replaced
    auto h = Area("uc");
    h->Prepare();
    EXPECT_EQ(ReadFile(base + ".MSG"), msg);
    EXPECT_EQ(ReadFile(base + ".IDX"), idx);
    EXPECT_FALSE(std::filesystem::exists(base + ".SBM"));
}

TEST_F(AreaTest, DigestsSplitIntoTheirParts) {
    std::string body = "Preamble text\n\n------------------------------\n\n" +
                       Message("p1@x", "one") + "\n------------------------------\n\n" +
                       Message("p2@x", "two") + "------------------------------\n" +
                       Message("p3@x", "three") +
                       "\n------------------------------\n\nEnd of digest\n";
    std::string digest = "Subject: Digest V1 #2\nMessage-ID: <d@x>\n\n" + body;
    WriteFile(base + ".MSG", RnewsFile({digest}));
    auto g = Area("un");
    g->digestMarker = "Digest";
    g->Prepare();
    ASSERT_EQ(g->messages.size(), 4u);  // three parts and the trailer
    EXPECT_EQ(g->messages[0]->messageId, "<p1@x>");
    EXPECT_EQ(g->messages[2]->messageId, "<p3@x>");
    for (int i = 0; i < 3; ++i) {
        std::string text = g->messages[static_cast<size_t>(i)]->ReadText();
        EXPECT_EQ(text.substr(0, 9), "Subject: ") << i;
    }
}

TEST_F(AreaTest, PeekCounts) {
    WriteFile(base + ".MSG", RnewsFile({Message("1@x", "a"), Message("2@x", "b")}));
    auto g = Area("uc");
    stat.WriteInteger("test.area", "UnreadMsgs", 1);
    // Nothing known yet: MSGSize 0 differs from the file; no index.
    EXPECT_EQ(g->PeekCounts(), std::make_pair(-1, 0));
    EXPECT_TRUE(stat.KeyExists("test.area", "MSGCount"));
    // The counts match the file.
    stat.WriteInteger("test.area", "MSGCount", 2);
    stat.WriteInteger("test.area", "MSGSize", static_cast<int>(ReadFile(base + ".MSG").size()));
    g->unreadMsgs = 1;
    EXPECT_EQ(g->PeekCounts(), std::make_pair(2, 1));
    // The file grew: the index tells the new total, the new messages count as unread.
    WriteFile(base + ".MSG",
              RnewsFile({Message("1@x", "a"), Message("2@x", "b"), Message("3@x", "c")}));
    WriteFile(base + ".IDX", "1\n2\n3\n");
    EXPECT_EQ(g->PeekCounts(), std::make_pair(3, 2));
}

TEST_F(AreaTest, FileNamesMatchWithoutCase) {
    std::string lower = (dir / "0000001.msg").string();
    WriteFile(lower, RnewsFile({Message("1@x", "a"), Message("2@x", "b")}));
    auto g = Area("un");
    g->Prepare();
    ASSERT_EQ(g->messages.size(), 2u);
    g->DeleteAt(0);
    ASSERT_EQ(g->Unload(), ReplaceResult::Ok);
    // The file kept its own name; no second spelling appeared.
    EXPECT_TRUE(std::filesystem::exists(lower));
    EXPECT_FALSE(std::filesystem::exists(base + ".MSG"));
}

}  // namespace
}  // namespace pelorin
