// Sub-command runs on a packet built in each test: marks and check flags, folder copies
// without duplicates, the save file (overwrite once, header, code conversion, the archive
// file, a disk that fills up), ExpireDate, selected mode, body requests, and decoding.
#include "select/subcmd_run.h"

#include "support/fake_dialogs.h"
#include "support/testing.h"

#include "store/folders.h"
#include "store/grp.h"
#include "store/soup.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using namespace std::chrono;
using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

// One message of the test area, as the area file will hold it.
struct Message {
    std::string id;       // Message-ID without brackets; empty for none
    std::string subject;  // ASCII or JIS
    std::string date;     // "2024-01-DD"
    std::string body;     // may be empty: then the message has no empty line
};

std::string AreaFile(const std::vector<Message>& messages) {
    std::vector<std::string> texts;
    for (const Message& m : messages) {
        const int day = std::stoi(m.date.substr(8));
        std::string text = "Subject: " + m.subject +
                           "\nFrom: a@example.jp\nDate: " + std::to_string(day) +
                           " Jan 2024 10:00:00 +0900\n" +
                           (m.id.empty() ? std::string() : "Message-ID: <" + m.id + ">\n");
        if (!m.body.empty())
            text += "\n" + m.body + "\n";
        texts.push_back(std::move(text));
    }
    return testing::RnewsFile(texts);
}

// 「会議」 in ISO-2022-JP.
const std::string kJisMeeting = "\x1b$B2q5D\x1b(B";

class SubCmdRunTest : public ::testing::Test {
protected:
    TempDir dir;
    testing::FakeDialogs dialogs;
    std::unique_ptr<TSoup> soup;
    TGrp* area = nullptr;

    void Open(const std::vector<Message>& messages) {
        std::filesystem::create_directories(dir / "p");
        WriteFile(dir / "p" / "AREAS", "0000001\tfj.test\tun\n");
        WriteFile(dir / "p" / "0000001.MSG", AreaFile(messages));
        Reopen();
    }
    void Reopen() {
        soup.reset();
        soup = std::make_unique<TSoup>((dir / "p").string(), &dialogs);
        soup->LoadAreas();
        area = soup->AreaAt(0);
        area->SetSortType(0);
        area->Prepare();
    }
    std::string Marks() const {
        std::string s;
        for (const auto& e : area->display) s += e.msg->mark;
        return s;
    }
    TSubCmdResult Run(const TSubCommand& cmd, TGrp* folder = nullptr, TMsg* current = nullptr) {
        TSubCmdEnv env;
        env.area = area;
        env.current = current;
        env.folder = folder;
        env.dataPath = (dir / "data").string() + "/";
        env.dialogs = &dialogs;
        env.today = [] { return year_month_day{2024y / January / 20d}; };
        return RunSubCommand(cmd, env);
    }
    static TSubCommand Cond(std::vector<std::string> conditions) {
        TSubCommand c;
        c.conditionMode = true;
        c.conditions = std::move(conditions);
        c.useRegEx = false;
        c.fuzzy = false;
        return c;
    }
};

std::vector<Message> Five() {
    return {{"1@x", "alpha " + kJisMeeting, "2024-01-01", "one"},
            {"2@x", "beta", "2024-01-10", "two"},
            {"3@x", "alpha again", "2024-01-15", "three\nmore"},
            {"", "gamma", "2024-01-19", ""},
            {"5@x", "delta", "2024-01-20", "five " + kJisMeeting}};
}

TEST_F(SubCmdRunTest, MarksChecksAndObserver) {
    Open(Five());
    struct Seen : TSubCmdObserver {
        size_t rows = 0;
        std::vector<size_t> matched;
        void Started(size_t n) override { rows = n; }
        void Matched(size_t row, TMsg&) override { matched.push_back(row); }
    } seen;
    for (const auto& e : area->display) e.msg->checked = true;
    TSubCommand c = Cond({"[Or]", " " + S("Subject＝alpha"), " " + S("本文＝会議")});
    c.markSet = true;
    c.markItem = 1;
    TSubCmdEnv env;
    env.area = area;
    env.observer = &seen;
    const TSubCmdResult r = RunSubCommand(c, env);
    EXPECT_EQ(seen.rows, 5u);
    EXPECT_EQ(seen.matched, (std::vector<size_t>{0, 2, 4}));
    EXPECT_EQ(r.matchedRows, seen.matched);
    EXPECT_EQ(Marks(), "+*+*+");
    EXPECT_TRUE(r.clearCurrent);
    for (const auto& e : area->display) EXPECT_FALSE(e.msg->checked);
    EXPECT_TRUE(area->marksChanged);
    Reopen();  // the marks were saved when the packet closed
    EXPECT_EQ(Marks(), "+*+*+");

    // With SendMe the check flags mirror the match; the request is asked and written.
    soup->outboundOverride = (dir / "out").string() + "/";
    std::filesystem::create_directories(dir / "out");
    c.markItem = 2;
    c.sendMe = true;
    dialogs.answers.push_back(MsgAnswer::Ok);
    const TSubCmdResult s = Run(c);
    EXPECT_TRUE(s.sendMe.Ok());
    EXPECT_EQ(Marks(), " * * ");
    std::string flags;
    for (const auto& e : area->display) flags += e.msg->checked ? 'c' : '.';
    EXPECT_EQ(flags, "c.c.c");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(U(dialogs.shown[0].text), "チェックされた3件の\n本文取得要求を発行します");
    EXPECT_EQ(ReadFile(dir / "out" / "COMMANDS"),
              "SENDME\tfj.test\t0\nSENDME\tfj.test\t0\nSENDME\tfj.test\t0\n");
}

TEST_F(SubCmdRunTest, NothingMatchingChangesNothing) {
    Open(Five());
    area->display[1].msg->checked = true;
    TSubCommand c = Cond({S("Subject＝zzz")});
    c.markSet = true;
    c.markItem = 0;
    c.saveToFile = true;
    c.overWrite = false;
    c.saveTo = (dir / "save.txt").string();
    const TSubCmdResult r = Run(c);
    EXPECT_TRUE(r.matchedRows.empty());
    EXPECT_EQ(Marks(), "*****");
    for (const auto& e : area->display) EXPECT_FALSE(e.msg->checked);
    EXPECT_FALSE(std::filesystem::exists(dir / "save.txt"));
    EXPECT_TRUE(r.error.empty());
}

TEST_F(SubCmdRunTest, SaveOverwritesOnceAndAppends) {
    Open(Five());
    WriteFile(dir / "save.txt", "old content\r\n");
    TSubCommand c = Cond({S("Subject≠beta")});
    c.saveToFile = true;
    c.saveTo = (dir / "save.txt").string();
    c.overWrite = true;
    c.headerOutput = false;
    c.codeTranslate = true;
    TSubCmdResult r = Run(c);
    ASSERT_TRUE(r.error.empty()) << U(r.error);
    EXPECT_EQ(r.saved, 4);
    // Bodies only, converted, the empty line not written; "gamma" has no body at all.
    const std::string once = S("one\r\nthree\r\nmore\r\nfive 会議\r\n");
    EXPECT_EQ(ReadFile(dir / "save.txt"), once);
    Run(c);
    EXPECT_EQ(ReadFile(dir / "save.txt"), once);  // emptied once per run
    c.overWrite = false;
    Run(c);
    EXPECT_EQ(ReadFile(dir / "save.txt"), once + once);

    // With the header, as stored.
    c = Cond({S("Subject＝会議")});
    c.saveToFile = true;
    c.saveTo = (dir / "whole.txt").string();
    c.codeTranslate = false;
    c.headerOutput = true;
    r = Run(c);
    EXPECT_EQ(ReadFile(dir / "whole.txt"),
              "Subject: alpha " + kJisMeeting +
                  "\r\nFrom: a@example.jp\r\nDate: 1 Jan 2024 10:00:00 +0900\r\n"
                  "Message-ID: <1@x>\r\n\r\none\r\n");

    // The archive file: the area's SaveTo in GRPSTAT.PBS.
    soup->State().WriteString("fj.test", "SaveTo", (dir / "archive.txt").string());
    c.toExpiredFile = true;
    c.saveTo = (dir / "not-this.txt").string();
    r = Run(c);
    EXPECT_EQ(r.saveFile, (dir / "archive.txt").string());
    EXPECT_TRUE(std::filesystem::exists(dir / "archive.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "not-this.txt"));
}

TEST_F(SubCmdRunTest, FailedSaveStopsAtTheMessageAndKeepsWhatWasDone) {
    Open({{"1@x", "a1", "2024-01-01", std::string(300, 'x')},
          {"2@x", "a2", "2024-01-02", std::string(300, 'y')},
          {"3@x", "a3", "2024-01-03", std::string(300, 'z')}});
    TSubCommand c = Cond({S("Subject＝a")});
    c.markSet = true;
    c.markItem = 1;
    c.saveToFile = true;
    c.headerOutput = false;
    c.saveTo = (dir / "full.txt").string();
    TSubCmdResult r;
    {
        testing::FileSizeLimit limit(500);
        r = Run(c);
    }
    ASSERT_FALSE(r.error.empty());
    EXPECT_NE(U(r.error).find("メッセージ 2「a2」"), std::string::npos) << U(r.error);
    EXPECT_NE(U(r.error).find("full.txt"), std::string::npos);
    EXPECT_EQ(r.saved, 1);
    // Only the first message, whole; the second was cut back off; the third never touched.
    EXPECT_EQ(ReadFile(dir / "full.txt"), std::string(300, 'x') + "\r\n");
    EXPECT_EQ(Marks(), "++*");
    EXPECT_TRUE(area->marksChanged);
}

TEST_F(SubCmdRunTest, FolderCopyNeverDuplicates) {
    Open(Five());
    std::filesystem::create_directories(dir / "f");
    auto folders =
        CreateFolderPacket((dir / "f").string(), "F", {(dir / "out").string(), "", 0}, &dialogs);
    dialogs.inputs = {"keep"};
    TGrp* folder = NewFolder(*folders, dialogs);
    ASSERT_NE(folder, nullptr);
    TSubCommand c = Cond({S("Date≧2024/1/15")});
    c.copyToFolder = true;
    TSubCmdResult r = Run(c, folder);
    EXPECT_EQ(r.copied, 3);
    EXPECT_EQ(folder->messages.size(), 3u);
    r = Run(c, folder);
    EXPECT_EQ(r.copied, 1);  // only "gamma", which has no Message-ID
    EXPECT_EQ(r.skipped, 2);
    EXPECT_EQ(folder->messages.size(), 4u);
    EXPECT_TRUE(std::filesystem::exists(folder->MsgPath()));  // written at once
}

TEST_F(SubCmdRunTest, ExpireDateFollowsTheAreasExpireDays) {
    Open(Five());
    TSubCommand c = Cond({S("Date＜ExpireDate")});
    c.checkMark = true;
    area->expireDays = 10;  // expiry 2024-01-10: older than that is the first message
    EXPECT_EQ(Run(c).matchedRows, (std::vector<size_t>{0}));
    area->expireDays = 0;  // 999 days
    EXPECT_TRUE(Run(c).matchedRows.empty());
    EXPECT_EQ(year_month_day(SubCmdExpireDate(2024y / January / 20d, 5)),
              year_month_day(2024y / January / 15d));
}

TEST_F(SubCmdRunTest, SelectedModeActsOnTheCurrentMessage) {
    Open(Five());
    TSubCommand c;
    c.markSet = true;
    c.markItem = 0;
    Run(c);  // no current message: nothing
    EXPECT_EQ(Marks(), "*****");
    const TSubCmdResult r = Run(c, nullptr, area->display[3].msg);
    EXPECT_EQ(Marks(), "***-*");
    EXPECT_FALSE(r.clearCurrent);
    TSubCmdEnv none;
    EXPECT_FALSE(RunSubCommand(c, none).ran);
}

TEST_F(SubCmdRunTest, DecodeCountsLikeTheWindowsAction) {
    Open({{"1@x", "file", "2024-01-01", "begin 644 a.txt\n#86)C\n`\nend"},
          {"2@x", "plain", "2024-01-02", "nothing here"}});
    std::filesystem::create_directories(dir / "data");
    TSubCommand c = Cond({S("Subject＝l")});
    c.decodeToFile = true;
    const TSubCmdResult r = Run(c);
    EXPECT_EQ(r.decode.checked, 2);
    EXPECT_EQ(r.decode.succeeded, 1);
    EXPECT_EQ(r.decode.failed, 1);
    EXPECT_EQ(ReadFile(dir / "data" / "a.txt"), "abc");
}

}  // namespace
}  // namespace pelorin
