// The outbound reply packet: converting and framing composed messages, REPLIES and its names,
// long lines, the reply directory, body requests in COMMANDS, and failures that must leave the
// earlier files whole.
#include "store/outbound.h"

#include "support/fake_dialogs.h"
#include "support/testing.h"

#include "coding/jis.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

// The lines of a binary-framed reply file, after checking that its length field is right,
// and without the Date: and Message-ID: lines posting puts first (checked to be there).
TSList Unframe(const std::string& bytes) {
    EXPECT_GE(bytes.size(), 4u);
    uint32_t n = 0;
    for (int k = 0; k < 4; ++k)
        n = n << 8 | static_cast<unsigned char>(bytes[static_cast<size_t>(k)]);
    EXPECT_EQ(n, bytes.size() - 4);
    TSList lines;
    size_t pos = 4;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        EXPECT_NE(lf, std::string::npos) << "every line ends with LF";
        if (lf == std::string::npos)
            break;
        lines.push_back(bytes.substr(pos, lf - pos));
        pos = lf + 1;
    }
    EXPECT_GE(lines.size(), 2u);
    if (lines.size() >= 2 && lines[0].rfind("Date: ", 0) == 0 &&
        lines[1].rfind("Message-ID: <", 0) == 0)
        lines.erase(lines.begin(), lines.begin() + 2);
    else
        ADD_FAILURE() << "no Date: and Message-ID: first";
    return lines;
}

class OutboundTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path packetDir = dir / "packet";
    std::filesystem::path out = dir / "out";
    std::filesystem::path home = dir.home();
    std::unique_ptr<TSoup> soup;

    void SetUp() override {
        std::filesystem::create_directories(packetDir);
        std::filesystem::create_directories(out);
        soup = std::make_unique<TSoup>(packetDir.string());
        soup->SetOutboundDir(out.string());
    }

    std::string Compose(const std::string& name, const std::string& text) {
        std::string path = (home / name).string();
        WriteFile(path, text);
        return path;
    }
};

TEST_F(OutboundTest, AsciiMailHasNoMimeLines) {
    auto file = Compose("PBM00012.TMP", "To: a@example.jp\r\nSubject: hello\r\n\r\nbody\r\n");
    OutboundResult r = soup->PostFile(file, kMail);
    ASSERT_TRUE(r.Ok()) << U(OutboundErrorText(r));
    EXPECT_EQ(r.replyFile, (out / "PBM00012.MSG").string());
    const std::string bytes = ReadFile(out / "PBM00012.MSG");
    EXPECT_EQ(testing::Hex(bytes.substr(0, 2)), "00 00");
    EXPECT_EQ(Unframe(bytes), (TSList{"To: a@example.jp", "Subject: hello", "", "body"}));
    EXPECT_EQ(ReadFile(out / "REPLIES"), "PBM00012\tmail\tbn\n");
    // The compose file itself is the caller's to delete.
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(OutboundTest, JapaneseNewsGetsEncodedSubjectAndMimeLines) {
    auto file = Compose("PBN00003.TMP", "Newsgroups: fj.test\r\nSubject: " + S("テスト") +
                                            "\r\n\r\n" + S("本文です") + "\r\nascii\r\n");
    ASSERT_TRUE(soup->PostFile(file, kNews).Ok());
    TSList lines = Unframe(ReadFile(out / "PBN00003.MSG"));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Newsgroups: fj.test");
    EXPECT_EQ(lines[1], "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=");
    EXPECT_EQ(lines[2], "Mime-Version: 1.0");
    EXPECT_EQ(lines[3], "Content-Type: text/plain; charset=ISO-2022-JP");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], SjisToJis(S("本文です")));
    EXPECT_EQ(lines[6], "ascii");
    EXPECT_EQ(ReadFile(out / "REPLIES"), "PBN00003\tnews\tBn\n");
}

TEST_F(OutboundTest, MessageWithoutEmptyLineIsAllHeader) {
    TSList lines = ReplyMessageLines({"Subject: " + S("件名"), "X-Note: plain"});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Mime-Version: 1.0");
    EXPECT_EQ(lines[1], "Content-Type: text/plain; charset=ISO-2022-JP");
    EXPECT_EQ(lines[2].substr(0, 25), "Subject: =?ISO-2022-JP?B?");
    // A header that already declares its MIME fields does not get them twice.
    lines = ReplyMessageLines(
        {"Subject: x", "Content-Type: text/plain; charset=ISO-2022-JP", "", S("漢字")});
    EXPECT_EQ(lines, (TSList{"Subject: x", "Content-Type: text/plain; charset=ISO-2022-JP",
                             "Mime-Version: 1.0", "", SjisToJis(S("漢字"))}));
}

TEST_F(OutboundTest, RepliesKeepsEarlierLinesAndNamesEveryFile) {
    WriteFile(out / "REPLIES", "OLD00001\tmail\tbn\r\n");
    auto first = Compose("PBM00001.TMP", "Subject: one\r\n\r\n1\r\n");
    auto second = Compose("PBN00002.TMP", "Subject: two\r\n\r\n2\r\n");
    ASSERT_TRUE(soup->PostFile(first, kMail).Ok());
    ASSERT_TRUE(soup->PostFile(second, 2).Ok());  // any kind but 1 is news
    EXPECT_EQ(ReadFile(out / "REPLIES"),
              "OLD00001\tmail\tbn\nPBM00001\tmail\tbn\nPBN00002\tnews\tBn\n");

    // Posting the same compose file again must not overwrite the reply still waiting.
    WriteFile(first, "Subject: one again\r\n\r\n1\r\n");
    OutboundResult again = soup->PostFile(first, kMail);
    ASSERT_TRUE(again.Ok());
    EXPECT_EQ(again.replyFile, (out / "PB000001.MSG").string());
    EXPECT_EQ(Unframe(ReadFile(out / "PBM00001.MSG"))[0], "Subject: one");
    EXPECT_EQ(Unframe(ReadFile(out / "PB000001.MSG"))[0], "Subject: one again");

    // A file whose name cannot serve as an eight-character prefix gets a free one too.
    auto odd = Compose("my message.txt", "Subject: odd\n\nx\n");
    ASSERT_TRUE(soup->PostFile(odd, kMail).Ok());
    EXPECT_EQ(ReadFile(out / "REPLIES"),
              "OLD00001\tmail\tbn\nPBM00001\tmail\tbn\nPBN00002\tnews\tBn\n"
              "PB000001\tmail\tbn\nPB000002\tmail\tbn\n");
    EXPECT_TRUE(std::filesystem::exists(out / "PB000002.MSG"));
}

TEST_F(OutboundTest, PacketOutboundKeyTakesPrecedenceForReplies) {
    std::filesystem::create_directories(dir / "own");
    soup->State().WriteString("General", "Outbound", (dir / "own").string());
    auto file = Compose("PBM00005.TMP", "Subject: x\n\nbody\n");
    ASSERT_TRUE(soup->PostFile(file, kMail).Ok());
    EXPECT_TRUE(std::filesystem::exists(dir / "own" / "PBM00005.MSG"));
    EXPECT_TRUE(std::filesystem::exists(dir / "own" / "REPLIES"));
    EXPECT_FALSE(std::filesystem::exists(out / "REPLIES"));
}

TEST_F(OutboundTest, MissingComposeFileWritesNothing) {
    OutboundResult r = soup->PostFile((home / "PBM00009.TMP").string(), kMail);
    EXPECT_EQ(r.status, OutboundStatus::NoComposeFile);
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(OutboundTest, Utf8ComposeFileIsReadAsText) {
    auto sjis = Compose("PBM00001.TMP", "Subject: " + S("日本語") + "\n\n" + S("本文") + "\n");
    auto utf8 = Compose("PBM00002.TMP", "\xEF\xBB\xBFSubject: 日本語\n\n本文\n");
    ASSERT_TRUE(soup->PostFile(sjis, kMail).Ok());
    ASSERT_TRUE(soup->PostFile(utf8, kMail).Ok());
    EXPECT_EQ(Unframe(ReadFile(out / "PBM00001.MSG")), Unframe(ReadFile(out / "PBM00002.MSG")));
}

TEST_F(OutboundTest, DateAndMessageIdAreAddedOnlyWhenMissing) {
    auto bare = Compose("PBM00001.TMP", "From: Me <me@example.jp>\nSubject: x\n\nbody\n");
    const OutboundResult r = soup->PostFile(bare, kMail);
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.addedFields.size(), 2u);
    const std::string bytes = ReadFile(out / "PBM00001.MSG");
    EXPECT_EQ(bytes.substr(4, r.addedFields[0].size()), r.addedFields[0]);
    EXPECT_NE(r.addedFields[1].find("@example.jp>"), std::string::npos) << r.addedFields[1];
    // A message that has both (any case) keeps them and gets nothing more.
    auto own = Compose("PBM00002.TMP",
                       "message-id: <mine@x.jp>\nDATE: Mon, 7 Dec 2026 10:00:00 +0900\n\nb\n");
    const OutboundResult kept = soup->PostFile(own, kNews);
    ASSERT_TRUE(kept.Ok());
    EXPECT_TRUE(kept.addedFields.empty());
    EXPECT_EQ(ReadFile(out / "PBM00002.MSG").substr(4, 12), "message-id: ");
}

TEST_F(OutboundTest, LongLinesAreBrokenNotCut) {
    // 300 kanji with an ASCII letter every 7 characters: many JIS runs, 1000+ bytes in JIS.
    std::string line;
    for (int i = 0; i < 300; ++i) line += i % 7 == 6 ? std::string("a") : S("漢");
    TSList lines = ReplyMessageLines({"Subject: x", "", line});
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[3], "");  // after Subject and the two MIME lines
    std::string joined;
    for (size_t i = 4; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), kMaxReplyLine);
        // Every piece stands alone: it ends outside a kanji run.
        EXPECT_EQ(JisToSjis(lines[i]).find('['), std::string::npos);
        if (lines[i].find('\x1B') != std::string::npos) {
            EXPECT_EQ(lines[i].substr(lines[i].size() - 3), "\x1B(J");
        }
        joined += JisToSjis(lines[i]);
    }
    EXPECT_EQ(joined, line);

    // A long header line is folded before a blank, so unfolding gives it back.
    std::string words;
    for (int i = 0; i < 120; ++i) words += " word" + std::to_string(i);
    lines = ReplyMessageLines({"X-Long:" + words, "", "b"});
    ASSERT_GE(lines.size(), 4u);
    std::string unfolded;
    for (size_t i = 0; lines[i] != ""; ++i) {
        EXPECT_LE(lines[i].size(), kMaxReplyLine);
        if (i > 0) {
            EXPECT_EQ(lines[i][0], ' ');
        }
        unfolded += lines[i];
    }
    EXPECT_EQ(unfolded, "X-Long:" + words);
    // Without any blank the line is broken after 512 bytes, the rest continued.
    lines = ReplyMessageLines({"X-Id:" + std::string(600, 'x')});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kMaxReplyLine);
    EXPECT_EQ(lines[1], " " + std::string(93, 'x'));
}

TEST_F(OutboundTest, FailedRepliesWriteTakesTheReplyFileBack) {
    // REPLIES cannot be replaced when a directory stands in its place.
    std::filesystem::create_directories(out / "REPLIES" / "x");
    auto file = Compose("PBM00007.TMP", "Subject: x\n\nbody\n");
    OutboundResult r = soup->PostFile(file, kMail);
    EXPECT_EQ(r.status, OutboundStatus::WriteFailed);
    EXPECT_EQ(r.path, (out / "REPLIES").string());
    EXPECT_NE(OutboundErrorText(r).find((out / "REPLIES").string()), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out / "PBM00007.MSG"));
    EXPECT_TRUE(std::filesystem::exists(file));

    // An outbound directory that does not exist: nothing is written anywhere.
    soup->SetOutboundDir((dir / "missing").string());
    r = soup->PostFile(file, kMail);
    EXPECT_EQ(r.status, OutboundStatus::WriteFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    soup->outboundDir.clear();
    EXPECT_EQ(soup->PostFile(file, kMail).status, OutboundStatus::NoOutboundDir);
}

class BodyRequestTest : public OutboundTest {
protected:
    testing::FakeDialogs dialogs;
    std::unique_ptr<TGrp> area;
    std::vector<std::unique_ptr<TMsg>> msgs;

    void Area(std::initializer_list<int32_t> numbers) {
        area = std::make_unique<TGrp>("fj.test", (packetDir / "0000001").string(), "uc", "fj.test");
        for (int32_t n : numbers) {
            auto m = std::make_unique<TMsg>();
            m->number = n;
            area->display.push_back({m.get()});
            msgs.push_back(std::move(m));
        }
    }
};

TEST_F(BodyRequestTest, AppendsSendmeLinesAfterEarlierOnes) {
    WriteFile(out / "COMMANDS", "SENDME\tfj.old\t7\r\n");
    Area({101, 150, 205, 0});
    msgs[0]->checked = msgs[2]->checked = msgs[3]->checked = true;
    dialogs.answers.push_back(MsgAnswer::Ok);
    OutboundResult r = RequestBodies(*soup, *area, dialogs);
    ASSERT_TRUE(r.Ok()) << U(OutboundErrorText(r));
    EXPECT_EQ(ReadFile(out / "COMMANDS"),
              "SENDME\tfj.old\t7\nSENDME\tfj.test\t101\nSENDME\tfj.test\t205\n"
              "SENDME\tfj.test\t0\n");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(U(dialogs.shown[0].text), "チェックされた3件の\n本文取得要求を発行します");
    EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Information);
}

TEST_F(BodyRequestTest, CancelAndNothingCheckedLeaveCommandsAlone) {
    WriteFile(out / "COMMANDS", "SENDME\tfj.old\t7\r\n");
    Area({1, 2});
    EXPECT_EQ(RequestBodies(*soup, *area, dialogs).status, OutboundStatus::NothingChecked);
    EXPECT_TRUE(dialogs.shown.empty());
    msgs[1]->checked = true;
    dialogs.answers.push_back(MsgAnswer::Cancel);
    EXPECT_EQ(RequestBodies(*soup, *area, dialogs).status, OutboundStatus::Cancelled);
    EXPECT_EQ(ReadFile(out / "COMMANDS"), "SENDME\tfj.old\t7\r\n");
}

TEST_F(BodyRequestTest, CommandsIgnoresThePacketOutboundKey) {
    std::filesystem::create_directories(dir / "own");
    soup->State().WriteString("General", "Outbound", (dir / "own").string());
    Area({42});
    msgs[0]->checked = true;
    dialogs.answers.push_back(MsgAnswer::Ok);
    ASSERT_TRUE(RequestBodies(*soup, *area, dialogs).Ok());
    EXPECT_EQ(ReadFile(out / "COMMANDS"), "SENDME\tfj.test\t42\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "own" / "COMMANDS"));
    EXPECT_TRUE(BodyRequestOffered(*soup, *area));
    soup->packetType = 1;
    EXPECT_FALSE(BodyRequestOffered(*soup, *area));
}

}  // namespace
}  // namespace pelorin
