// The core of the message actions: converted text for the clipboard and saved bodies, decoding
// checked messages (attachments, nameless parts, uuencoded files, hostile names) with the
// summary, the all-or-nothing purge and the folder copy that is written at once. Write
// failures come from a file size limit (a full disk) and must leave every message, mark and
// file as it was.
#include "support/fake_dialogs.h"
#include "support/testing.h"

#include "coding/base64.h"
#include "coding/jis.h"
#include "store/decode_actions.h"
#include "store/folders.h"
#include "store/message_text.h"
#include "store/purge.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pelorin {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

std::string Framed(const std::vector<std::string>& messages) {
    std::string out;
    for (const std::string& m : messages) out += "#! rnews " + std::to_string(m.size()) + "\n" + m;
    return out;
}

std::string Plain(const std::string& id, const std::string& subject, const std::string& body) {
    return "From: a@example.jp\nSubject: " + subject + "\nMessage-ID: <" + id + ">\n\n" + body;
}

// A multipart message with one text leaf and the given attachment leaves (header lines of the
// part, then its body).
std::string Multipart(const std::string& id,
                      const std::vector<std::pair<std::string, std::string>>& parts) {
    std::string m = "From: a@example.jp\nSubject: parts\nMessage-ID: <" + id +
                    ">\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B\"\n\n"
                    "--B\nContent-Type: text/plain\n\ntext\n";
    for (const auto& [header, body] : parts) m += "--B\n" + header + "\n\n" + body + "\n";
    return m + "--B--\n";
}

std::string Attachment(const std::string& name) {
    return "Content-Type: application/octet-stream; name=\"" + name +
           "\"\nContent-Transfer-Encoding: base64";
}

class ActionsTest : public ::testing::Test {
protected:
    TempDir dir;
    testing::FakeDialogs dialogs;
    std::unique_ptr<TSoup> soup;

    // A packet "p" with one area of `messages` (rnews framing, encoding `encoding`).
    TGrp& Area(const std::vector<std::string>& messages, const std::string& encoding = "un") {
        fs::create_directories(dir / "p");
        WriteFile(dir / "p" / "AREAS", "0000001\tfj.test\t" + encoding + "\n");
        WriteFile(dir / "p" / "0000001.MSG", Framed(messages));
        soup = std::make_unique<TSoup>((dir / "p").string(), &dialogs);
        soup->LoadAreas();
        TGrp& area = *soup->AreaAt(0);
        area.SetSortType(0);
        area.Prepare();
        return area;
    }
    std::vector<TMsg*> All(TGrp& area) {
        std::vector<TMsg*> msgs;
        for (const DisplayEntry& e : area.display) msgs.push_back(e.msg);
        return msgs;
    }
    std::string Data() {
        fs::create_directories(dir / "data");
        return (dir / "data").string() + "/";
    }
};

TEST_F(ActionsTest, TextIsConvertedWithCrLf) {
    const std::string jisSubject = "=?ISO-2022-JP?B?" + Base64Encode(SjisToJis(S("件名"))) + "?=";
    TGrp& area = Area({Plain("1@x", jisSubject, SjisToJis(S("本文です")) + "\r\nline 2\r\n"),
                       Plain("2@x", "two", "second\n")});
    const std::vector<TMsg*> msgs = All(area);
    EXPECT_EQ(U(WholeMessagesText({msgs[1]})),
              "From: a@example.jp\r\nSubject: two\r\nMessage-ID: <2@x>\r\n\r\nsecond\r\n");
    const std::string first = WholeMessagesText({msgs[0]});
    EXPECT_NE(first.find(S("Subject: 件名\r\n")), std::string::npos);
    EXPECT_NE(first.find(S("本文です\r\nline 2\r\n")), std::string::npos);  // no CR CR LF
    EXPECT_TRUE(msgs[0]->lines.empty());  // loaded only for the copy

    // Bodies: from the empty line after the header on, each message in order.
    EXPECT_EQ(U(BodyLines(*msgs[0])[1]), "本文です");
    WriteFailure failure;
    const std::string path = S((dir / "保存.txt").string());  // Shift_JIS, spelt in UTF-8 on disk
    ASSERT_EQ(SaveBodies(path, msgs, failure), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(dir / "保存.txt"), "\r\n" + S("本文です") + "\r\nline 2\r\n\r\nsecond\r\n");

    // A full disk leaves the earlier file as it was and says why.
    {
        testing::FileSizeLimit limit(4);
        EXPECT_NE(SaveBodies(path, msgs, failure), ReplaceResult::Ok);
    }
    EXPECT_EQ(failure.path, path);
    EXPECT_FALSE(failure.reason.empty());
    EXPECT_EQ(ReadFile(dir / "保存.txt"), "\r\n" + S("本文です") + "\r\nline 2\r\n\r\nsecond\r\n");
}

TEST_F(ActionsTest, DecodesAttachmentsNamelessPartsAndUuencodedFiles) {
    const std::string data = Data();
    WriteFile(dir / "data" / "taken.bin", "old");
    TGrp& area = Area({
        Multipart("1@x", {{Attachment("pic.png"), "UE5HREFUQQABAg=="}}),
        // Nameless: named by the user; the second nameless part's box is cancelled.
        Multipart("2@x", {{"Content-Type: image/gif\nContent-Transfer-Encoding: base64",
                           "YmluYXJ5IHR3bw=="}}),
        Multipart("3@x", {{Attachment("taken.bin"), "YmluYXJ5IHR3bw=="}}),
        Plain("4@x", "uu", "begin 644 hello.txt\n):&5L;&\\@=74*\n`\nend\n"),
        Plain("5@x", "nothing", "just text\n"),
    });
    dialogs.inputs = {"named.gif"};
    const DecodeSummary summary = DecodeMessages(All(area), data, dialogs);
    EXPECT_EQ(summary.checked, 5);
    EXPECT_EQ(summary.succeeded, 3);
    EXPECT_EQ(summary.existing, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(ReadFile(dir / "data" / "pic.png"), std::string("PNGDATA\0\1\2", 10));
    EXPECT_EQ(ReadFile(dir / "data" / "named.gif"), "binary two");
    EXPECT_EQ(ReadFile(dir / "data" / "taken.bin"), "old");
    EXPECT_EQ(ReadFile(dir / "data" / "hello.txt"), "hello uu\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "data" / "hello.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(U(dialogs.prompts[0]),
              "partsの2番目のパート\nContent-Type:image/gif\nのファイル名を指定してください");
    EXPECT_EQ(
        U(DecodeSummaryText(summary)),
        "選択された5件の内\n3件のデコードに成功\n1件は同名のファイルが存在\n"
        "1件はデコードに失敗しました。\n\nnothing：添付ファイルもuuencodeされたファイルもありま"
        "せん");
}

TEST_F(ActionsTest, HostileNamesStayInsideTheDataDirectoryOrFail) {
    const std::string data = Data();
    TGrp& area = Area({
        Multipart("1@x", {{Attachment("../../x"), "YmluYXJ5IHR3bw=="}}),
        Multipart("2@x", {{Attachment("/etc/passwd"), "YmluYXJ5IHR3bw=="}}),
        Multipart("3@x", {{Attachment(".."), "YmluYXJ5IHR3bw=="}}),
        Plain("4@x", "uu", "begin 644 ../up.txt\n):&5L;&\\@=74*\n`\nend\n"),
        Plain("5@x", "uu", "begin 644 ..\n):&5L;&\\@=74*\n`\nend\n"),
        // A nameless part named "../../y" by the user.
        Multipart("6@x", {{"Content-Type: image/gif\nContent-Transfer-Encoding: base64",
                           "YmluYXJ5IHR3bw=="}}),
    });
    dialogs.inputs = {"../../y"};
    const DecodeSummary summary = DecodeMessages(All(area), data, dialogs);
    EXPECT_EQ(summary.succeeded, 4);
    EXPECT_EQ(summary.failed, 2);
    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator(dir / "data"))
        written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"passwd", "up.txt", "x", "y"}));
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(e.is_directory()) << e.path();  // nothing landed beside the data directory
    ASSERT_EQ(summary.problems.size(), 2u);
    EXPECT_EQ(U(summary.problems[0]), "..：ファイル名として使えません");
    EXPECT_EQ(U(summary.problems[1]), "..：ファイル名として使えません");
    EXPECT_NE(U(DecodeSummaryText(summary)).find("2件はデコードに失敗しました。\n\n..："),
              std::string::npos);

    // A data directory that cannot be written: failures with the reason, nothing written.
    const DecodeSummary missing =
        DecodeMessages({All(area)[0]}, (dir / "missing").string(), dialogs);
    EXPECT_EQ(missing.failed, 1);
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_NE(U(missing.problems[0]).find("に書き込めませんでした"), std::string::npos);
}

TEST_F(ActionsTest, PurgeIsAllOrNothing) {
    TGrp& area = Area({Plain("1@x", "a", "1\n"), Plain("2@x", "b", "2\n"), Plain("3@x", "c", "3\n"),
                       Plain("4@x", "d", "4\n")});
    std::vector<TMsg*> msgs = All(area);
    msgs[0]->mark = '-';
    msgs[1]->mark = '+';
    msgs[2]->mark = '-';
    area.marksChanged = true;
    ASSERT_EQ(area.SaveMarks(), ReplaceResult::Ok);
    ASSERT_EQ(area.Unload(), ReplaceResult::Ok);
    EXPECT_TRUE(HoldsDeleteMarks(area));  // from the mark file
    EXPECT_TRUE(area.messages.empty());

    // A full disk: every message, mark and file as before.
    const std::string msgBefore = ReadFile(dir / "p" / "0000001.MSG");
    const std::string pbxBefore = ReadFile(dir / "p" / "0000001.PBX");
    int removed = -1;
    {
        testing::FileSizeLimit limit(16);
        EXPECT_NE(PurgeDeleteMarkedNow(area, removed), ReplaceResult::Ok);
    }
    EXPECT_EQ(removed, 0);
    EXPECT_FALSE(area.lastFailure.path.empty());
    std::string marks;
    for (const DisplayEntry& e : area.display) marks += e.msg->mark;
    EXPECT_EQ(marks, "-+-*");
    ASSERT_EQ(area.messages.size(), 4u);
    EXPECT_EQ(area.messages[2]->messageId, "<3@x>");
    EXPECT_EQ(area.display[3].msg->displayPos, 3);
    EXPECT_EQ(ReadFile(dir / "p" / "0000001.MSG"), msgBefore);
    EXPECT_EQ(ReadFile(dir / "p" / "0000001.PBX"), pbxBefore);

    ASSERT_EQ(PurgeDeleteMarkedNow(area, removed), ReplaceResult::Ok);
    EXPECT_EQ(removed, 2);
    EXPECT_FALSE(HoldsDeleteMarks(area));
    ASSERT_EQ(soup->Destroy(), ReplaceResult::Ok);
    soup.reset();
    TSoup again((dir / "p").string());
    again.LoadAreas();
    TGrp& reread = *again.AreaAt(0);
    reread.SetSortType(0);
    reread.Prepare();
    ASSERT_EQ(reread.display.size(), 2u);
    EXPECT_EQ(reread.MessageAt(0)->messageId, "<2@x>");
    EXPECT_EQ(reread.MessageAt(0)->mark, '+');
    EXPECT_EQ(reread.MessageAt(1)->messageId, "<4@x>");
    EXPECT_EQ(reread.MessageAt(1)->mark, '*');
}

TEST_F(ActionsTest, FolderCopyIsWrittenAtOnceOrTakenBack) {
    TGrp& area =
        Area({Plain("1@x", "a", "1\n"), Plain("2@x", "b", "2\n"), Plain("3@x", "c", "3\n")});
    const std::vector<TMsg*> msgs = All(area);
    msgs[1]->mark = '+';
    fs::create_directories(dir / "f");
    auto folders = CreateFolderPacket((dir / "f").string(), "f", {}, &dialogs);
    TGrp* folder = folders->AddArea("keep", "uc");
    ASSERT_NE(folder, nullptr);

    FolderCopyResult r = CopyToFolderAndWrite(*folder, {msgs[0], msgs[1]});
    EXPECT_EQ(r.copied, 2);
    EXPECT_EQ(r.skipped, 0);
    ASSERT_EQ(r.write, ReplaceResult::Ok);
    EXPECT_FALSE(folder->contentChanged);
    const std::string msgFile = folder->pathBase + ".MSG";
    const std::string written = ReadFile(msgFile);
    EXPECT_NE(written.find("Message-ID: <2@x>"), std::string::npos);

    // The full disk: the new copy is taken back, the duplicate still counts as skipped.
    {
        testing::FileSizeLimit limit(16);
        r = CopyToFolderAndWrite(*folder, {msgs[1], msgs[2]});
    }
    EXPECT_NE(r.write, ReplaceResult::Ok);
    EXPECT_EQ(r.copied, 0);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(folder->display.size(), 2u);
    EXPECT_EQ(folder->FindMessage("<3@x>"), -1);
    EXPECT_EQ(ReadFile(msgFile), written);

    r = CopyToFolderAndWrite(*folder, {msgs[0], msgs[1], msgs[2]});
    EXPECT_EQ(r.copied, 1);
    EXPECT_EQ(r.skipped, 2);
    ASSERT_EQ(folders->Destroy(), ReplaceResult::Ok);
    folders.reset();
    TSoup again((dir / "f").string());
    again.LoadAreas();
    TGrp& reread = *again.AreaAt(0);
    reread.SetSortType(0);
    reread.Prepare();
    ASSERT_EQ(reread.display.size(), 3u);
    EXPECT_EQ(reread.MessageAt(1)->mark, '+');  // copies keep their marks
    EXPECT_EQ(reread.MessageAt(2)->messageId, "<3@x>");
}

}  // namespace
}  // namespace pelorin
