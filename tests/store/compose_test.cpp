// Composition: the header form and header list, body templates, attribution and quoting,
// compose numbers, the editor's command line, posting with its question, posted and reserve
// copies, failures that must keep the user's text, and re-editing a kept message - driven by a
// scripted header form, scripted dialogs and a scripted editor that edits the file.
#include "store/compose.h"

#include "support/fake_dialogs.h"
#include "support/fake_editor.h"
#include "support/testing.h"

#include "coding/jis.h"
#include "store/address_book.h"
#include "store/compose_editor.h"
#include "store/folders.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

// The header form as the user fills it: records what it was shown and applies `fill`.
class FakeForm : public THeaderFormView {
public:
    std::vector<THeaderForm> shown;
    std::function<void(THeaderForm&)> fill;
    bool ok = true;

    bool Run(THeaderForm& form) override {
        shown.push_back(form);
        if (fill)
            fill(form);
        return ok;
    }
};

// One rnews-framed message.
std::string Rnews(const std::string& m) {
    return "#! rnews " + std::to_string(m.size()) + "\n" + m;
}

// Lines of a binary-framed reply file.
TSList ReplyLines(const std::filesystem::path& path) {
    const std::string bytes = ReadFile(path);
    TSList lines;
    size_t pos = 4;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        lines.push_back(bytes.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

class ComposeTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string home = dir.home().string() + "/";
    std::filesystem::path out = dir / "out";
    TIniF settings{home + "pelorin.ini"};
    testing::FakeDialogs dialogs;
    testing::FakeEditor editor;
    FakeForm form;
    std::unique_ptr<TSoup> soup;
    std::unique_ptr<TSoup> kept;  // folder packet "kept" with folders "posted" and "reserve"
    ComposeEnv env{settings, home, "Version 1.0", "ed", dialogs, editor, form, {}, {}};

    void SetUp() override {
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(dir / "soup");
        std::filesystem::create_directories(dir / "kept");
        WriteFile(dir / "soup" / "AREAS", "0000001\tfj.test\tun\n");
        WriteFile(dir / "soup" / "0000001.MSG",
                  Rnews("Subject: RE: Re: hello\nFrom: " + S("山田") +
                        " <yamada@example.jp>\nMessage-ID: <1@x>\n"
                        "Newsgroups: fj.test\n\nfirst line\r\n\n" +
                        SjisToJis(S("日本語")) + "\n") +
                      Rnews("Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhK?=\nFrom: b@x (B)\n"
                            "Reply-To: reply@example.jp\nMessage-ID: <2@x>\n"
                            "References: <0@x> <1@x>\nNewsgroups: fj.test,fj.misc\n"
                            "Followup-To: fj.a,fj.b\n\nbody\n"));
        soup = std::make_unique<TSoup>((dir / "soup").string());
        soup->SetOutboundDir(out.string());
        soup->LoadAreas();
        soup->AreaAt(0)->SetSortType(0);
        soup->AreaAt(0)->Prepare();
        kept = CreateFolderPacket((dir / "kept").string(), "kept", {out.string(), "", 0}, nullptr);
        kept->AddArea("posted", "uc");
        kept->AddArea("reserve", "uc");
        env.packets = {soup.get(), kept.get()};
        settings.WriteString("Message", "PostedPacket", "kept");
        settings.WriteString("Message", "PostedFolder", "posted");
        settings.WriteString("Message", "ReservePacket", "kept");
        settings.WriteString("Message", "ReserveFolder", "reserve");
    }

    TMsg* Msg(int i) { return soup->AreaAt(0)->MessageAt(i); }
    TGrp* Folder(const char* name) { return kept->FindArea(name); }
    // Whatever the editor was asked to open last.
    std::string Edited() const { return editor.runs.back().argv.back(); }
    // The editor's first look at the compose file, as Shift_JIS lines.
    TSList seen;
    void RecordEdit() {
        editor.edits.push_back(
            [this](const std::string& path) { (void)ReadUserTextFile(path, seen); });
    }
};

TEST_F(ComposeTest, HeaderFormOfAnswers) {
    // Mail to a message without Reply-To goes to its From address; with Reply-To, there.
    THeaderForm f = PrepareHeaderForm(kMail, Msg(0), "fj.test", false, home);
    EXPECT_EQ(f.recipient, "yamada@example.jp");
    EXPECT_FALSE(f.FollowupEnabled());
    EXPECT_EQ(f.subject, "Re: hello");  // both prefixes gone, whatever their case
    f = PrepareHeaderForm(kMail, Msg(1), "fj.test", false, home);
    EXPECT_EQ(f.recipient, "reply@example.jp");
    EXPECT_EQ(U(f.subject), "Re: テスト");

    // A follow-up to two newsgroups offers both and "なし".
    f = PrepareHeaderForm(kNews, Msg(1), "fj.test", true, home);
    EXPECT_EQ(f.recipient, "fj.a,fj.b");
    ASSERT_TRUE(f.FollowupEnabled());
    EXPECT_EQ(f.followups, (TSList{"fj.a", "fj.b", S("なし")}));
    EXPECT_TRUE(f.editHeader);
    f = PrepareHeaderForm(kNews, Msg(0), "fj.test", false, home);
    EXPECT_EQ(f.recipient, "fj.test");  // no Followup-To: its Newsgroups

    // New messages.
    f = PrepareHeaderForm(kNews, nullptr, "fj.new", false, home);
    EXPECT_EQ(f.recipient, "fj.new");
    EXPECT_EQ(f.subject, "");
    f = PrepareHeaderForm(kMail, nullptr, "fj.new", false, home);
    EXPECT_EQ(f.recipient, "");

    EXPECT_EQ(ReplySubject("Re:"), "Re: Re:");
    EXPECT_EQ(ReplySubject("re:_re: x"), "Re: x");
    EXPECT_EQ(ReplySubject("Re: "), "Re: Re: ");              // not longer than four characters
    EXPECT_EQ(ReplySubject("a\r\nBcc: b"), "Re: a  Bcc: b");  // no field of the sender's
}

TEST_F(ComposeTest, HeaderList) {
    THeaderForm f = PrepareHeaderForm(kNews, Msg(1), "fj.test", false, home);
    f.followupIndex = 1;
    EXPECT_EQ(HeaderList(f), (TSList{"Subject: " + S("Re: テスト"), "Newsgroups: fj.a,fj.b",
                                     "Followup-To: fj.b", "References: <0@x> <1@x> <2@x>"}));
    f.followupIndex = 2;  // "なし"
    EXPECT_EQ(HeaderList(f).size(), 3u);
    // An answered message without References: its Message-ID alone.
    f = PrepareHeaderForm(kMail, Msg(0), "fj.test", false, home);
    f.recipient = S("山田 <yamada@example.jp>");
    EXPECT_EQ(HeaderList(f),
              (TSList{"Subject: Re: hello", "To: yamada@example.jp", "References: <1@x>"}));
    f = PrepareHeaderForm(kMail, nullptr, "", false, home);
    EXPECT_EQ(HeaderList(f).size(), 2u);

    // Choosing an address book entry gives a recipient whose address the list takes.
    WriteFile(dir.home() / "ADDRESS.DAT", S("友人\r\n\t佐藤<sato@example.jp>\r\n"));
    f = PrepareHeaderForm(kMail, nullptr, "", false, home);
    EXPECT_EQ(f.recipientItems, (TSList{S("佐藤<sato@example.jp>")}));
    TAddressBookDialogModel dlg(home, f.recipient);
    dlg.selected = dlg.book.Top()[0]->children[0].get();
    f.recipient = *dlg.Close(true).recipient;
    EXPECT_EQ(HeaderList(f)[1], "To: sato@example.jp");

    // A typed list keeps every recipient: groups, names with commas.
    f = PrepareHeaderForm(kMail, nullptr, "", false, home);
    f.recipient = S("team: a@x.jp, b@y.jp;");
    EXPECT_EQ(HeaderList(f)[1], "To: team: a@x.jp, b@y.jp;");
    f.recipient = S("\"山田, 太郎\" <t@x.jp>, 佐藤 <s@y.jp>");
    EXPECT_EQ(HeaderList(f)[1], "To: " + S("\"山田, 太郎\" <t@x.jp>, 佐藤 <s@y.jp>"));
}

TEST_F(ComposeTest, BodyTemplatesAttributionQuoteAndSignature) {
    settings.WriteString("Message", "QuoteCharacter", "%c> ");
    settings.WriteString("Message", "MailBody0", "Hello,");
    settings.WriteString("Message", "MailBody1", "");
    ComposeSettings s = ReadComposeSettings(settings, home, "ed");
    TSList body = ComposeBody(s, kMail, Msg(0));
    const std::string prefix = S("山田 ") + "> ";
    EXPECT_EQ(body,
              (TSList{"Hello,", "", "In article <1@x>, " + S("山田") + " <yamada@example.jp> wrote",
                      prefix + "first line", prefix, prefix + S("日本語"), ""}));
    EXPECT_EQ(ComposeBody(s, kNews, nullptr), TSList{});

    WriteFile(dir.home() / "SIG.TXT", "-----\r\n署名\r\n");
    AppendSignature(body, s.signatureFile);
    EXPECT_EQ(TSList(body.end() - 3, body.end()), (TSList{"-- ", "-----", S("署名")}));
    TSList none;
    AppendSignature(none, home + "MISSING.TXT");
    EXPECT_TRUE(none.empty());

    settings.WriteString("Message", "ReplyTo", "me@example.jp");
    settings.WriteString("Message", "NewsHeader1", "Organization: home");
    s = ReadComposeSettings(settings, home, "ed");
    EXPECT_EQ(ExtraHeaderLines(s, kNews, "Version 1.0"),
              (TSList{"Reply-To: me@example.jp", "Organization: home",
                      "X-Newsreader: Pelorin Version 1.0"}));
    EXPECT_EQ(ExtraHeaderLines(s, kMail, "").back(), "X-Mailer: Pelorin");
}

TEST_F(ComposeTest, AnswerIsEditedPostedAndCopied) {
    settings.WriteInteger("Message", "LastMessage", 11);
    editor.edits.push_back(
        [](const std::string& path) { WriteFile(path, "Thanks!\r\n" + ReadFile(path)); });
    dialogs.answers.push_back(MsgAnswer::Yes);
    ComposeResult r = Compose(env, *soup, kMail, true, Msg(0), "fj.test");
    ASSERT_EQ(r.outcome, ComposeOutcome::Posted);
    EXPECT_EQ(r.composeFile, home + "PBM00012.TMP");
    EXPECT_FALSE(std::filesystem::exists(r.composeFile));
    EXPECT_EQ(settings.ReadInteger("Message", "LastMessage", 0), 12);

    ASSERT_EQ(editor.runs.size(), 1u);
    EXPECT_EQ(editor.runs[0].argv, (std::vector<std::string>{"ed", home + "PBM00012.TMP"}));
    EXPECT_EQ(editor.runs[0].workingDir, home);
    EXPECT_EQ(settings.ReadString("Editor", "ExternalEditor", ""), "ed");

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(
        U(dialogs.shown[0].text),
        "【Re: hello】\nを投稿しますか？\n[いいえ]を選択すると\n保留フォルダにコピーします。");
    EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::YesNoCancel);

    TSList reply = ReplyLines(out / "PBM00012.MSG");
    ASSERT_GE(reply.size(), 11u);
    // Posting gave it a date and an identity, first.
    const std::string date = reply[0], id = reply[1];
    EXPECT_EQ(date.rfind("Date: ", 0), 0u);
    EXPECT_EQ(id.rfind("Message-ID: <", 0), 0u);
    reply.erase(reply.begin(), reply.begin() + 2);
    EXPECT_EQ(TSList(reply.begin(), reply.begin() + 4),
              (TSList{"Subject: Re: hello", "To: yamada@example.jp", "References: <1@x>",
                      "X-Mailer: Pelorin Version 1.0"}));
    EXPECT_EQ(reply[4], "Mime-Version: 1.0");  // the quoted Japanese line
    EXPECT_EQ(reply[7], "Thanks!");
    EXPECT_EQ(ReadFile(out / "REPLIES"), "PBM00012\tmail\tbn\n");

    // The posted folder holds the message on disk already.
    ASSERT_EQ(Folder("posted")->display.size(), 1u);
    EXPECT_EQ(Folder("posted")->MessageAt(0)->subject, "Re: hello");
    EXPECT_TRUE(std::filesystem::exists(dir / "kept" / "00000001.MSG"));
    // The kept copy carries the same date and identity as what was sent.
    const std::string kept = ReadFile(dir / "kept" / "00000001.MSG");
    EXPECT_NE(kept.find(date + "\n"), std::string::npos) << kept;
    EXPECT_NE(kept.find(id + "\n"), std::string::npos) << kept;
    EXPECT_TRUE(Folder("reserve")->messages.empty());
}

TEST_F(ComposeTest, ConsecutiveNumbersAndEditHeader) {
    settings.WriteInteger("Message", "LastMessage", 4);
    settings.WriteString("Message", "EditHeader", "Y");
    form.fill = [](THeaderForm& f) { f.subject = "new topic"; };
    RecordEdit();
    dialogs.answers = {MsgAnswer::Yes, MsgAnswer::Cancel};
    ASSERT_EQ(Compose(env, *soup, kNews, false, nullptr, "fj.test").outcome,
              ComposeOutcome::Posted);
    EXPECT_EQ(Edited(), home + "PBN00005.TMP");
    // The editor saw the headers first; posting added none.
    EXPECT_EQ(TSList(seen.begin(), seen.begin() + 4),
              (TSList{"Subject: new topic", "Newsgroups: fj.test",
                      "X-Newsreader: Pelorin Version 1.0", ""}));
    TSList reply = ReplyLines(out / "PBN00005.MSG");
    EXPECT_EQ(std::count(reply.begin(), reply.end(), "Subject: new topic"), 1);
    EXPECT_TRUE(form.shown[0].editHeader);

    ASSERT_EQ(Compose(env, *soup, kMail, false, nullptr, "fj.test").outcome,
              ComposeOutcome::Discarded);
    EXPECT_EQ(Edited(), home + "PBM00006.TMP");
    EXPECT_FALSE(std::filesystem::exists(home + "PBM00006.TMP"));
    EXPECT_EQ(ReadFile(out / "REPLIES"), "PBN00005\tnews\tBn\n");
}

TEST_F(ComposeTest, ComposeNumbersWrapAndSkipKeptFiles) {
    settings.WriteInteger("Message", "LastMessage", 99999);
    WriteFile(dir.home() / "PBM00001.TMP", "kept text");
    WriteFile(out / "PBM00002.MSG", "waiting reply");
    EXPECT_EQ(NextComposeNumber(settings, kMail, home, out.string() + "/"), 3);
    EXPECT_EQ(settings.ReadInteger("Message", "LastMessage", 0), 3);
    EXPECT_EQ(ComposeFileName(kMail, 3), "PBM00003.TMP");
    EXPECT_EQ(ComposeFileName(kNews, 99999), "PBN99999.TMP");
    // The other kind's files do not block a number.
    settings.WriteInteger("Message", "LastMessage", 0);
    EXPECT_EQ(NextComposeNumber(settings, kNews, home, ""), 1);
    settings.WriteString("Message", "LastMessage", "-7");
    EXPECT_EQ(NextComposeNumber(settings, kNews, home, ""), 1);
}

TEST_F(ComposeTest, CancelledFormLeavesTheCounterAlone) {
    settings.WriteInteger("Message", "LastMessage", 7);
    form.ok = false;
    EXPECT_EQ(Compose(env, *soup, kMail, false, nullptr, "").outcome, ComposeOutcome::Cancelled);
    EXPECT_EQ(Compose(env, *soup, kMail, true, nullptr, "").outcome, ComposeOutcome::NotStarted);
    EXPECT_EQ(form.shown.size(), 1u);
    EXPECT_EQ(settings.ReadInteger("Message", "LastMessage", 0), 7);
    EXPECT_TRUE(editor.runs.empty());
}

TEST_F(ComposeTest, NoKeepsTheMessageInTheReserveFolderOrInItsFile) {
    dialogs.answers.push_back(MsgAnswer::No);
    ComposeResult r = Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(r.outcome, ComposeOutcome::Reserved);
    EXPECT_FALSE(std::filesystem::exists(r.composeFile));
    EXPECT_FALSE(std::filesystem::exists(out / "REPLIES"));
    ASSERT_EQ(Folder("reserve")->display.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dir / "kept" / "00000002.MSG"));

    // Without a reserve folder the text stays in its compose file, and the user is told.
    settings.WriteString("Message", "ReserveFolder", "missing");
    dialogs.answers.push_back(MsgAnswer::No);
    r = Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(r.outcome, ComposeOutcome::Kept);
    EXPECT_TRUE(r.fileKept);
    EXPECT_TRUE(std::filesystem::exists(r.composeFile));
    EXPECT_NE(dialogs.shown.back().text.find(r.composeFile), std::string::npos);
}

TEST_F(ComposeTest, FailedPostKeepsTheComposeFile) {
    soup->SetOutboundDir((dir / "no-such-dir").string());
    editor.edits.push_back(
        [](const std::string& path) { WriteFile(path, "Subject: x\r\n\r\nprecious text\r\n"); });
    dialogs.answers.push_back(MsgAnswer::Yes);
    ComposeResult r = Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(r.outcome, ComposeOutcome::Failed);
    EXPECT_TRUE(r.fileKept);
    EXPECT_NE(ReadFile(r.composeFile).find("precious text"), std::string::npos);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].icon, MsgIcon::Error);
    EXPECT_NE(dialogs.shown[1].text.find(r.composeFile), std::string::npos);
    EXPECT_TRUE(Folder("posted")->messages.empty());
}

TEST_F(ComposeTest, EditorThatCannotStartIsReportedAndCompositionGoesOn) {
    editor.failToStart = true;
    dialogs.answers = {MsgAnswer::Ok, MsgAnswer::Cancel};
    EXPECT_EQ(Compose(env, *soup, kMail, false, nullptr, "").outcome, ComposeOutcome::Discarded);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(dialogs.shown[1].buttons, MsgButtons::YesNoCancel);
}

TEST_F(ComposeTest, ComposeFileCharset) {
    settings.WriteString("Message", "MailBody0", S("本文"));
    std::string onDisk;
    auto capture = [&onDisk](const std::string& path) { onDisk = ReadFile(path); };
    editor.edits.push_back(capture);
    dialogs.answers = {MsgAnswer::Cancel, MsgAnswer::Cancel};
    Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(onDisk, "本文\r\n");  // UTF-8 by default
    settings.WriteString("Editor", "Charset", "Shift_JIS");
    editor.edits.push_back(capture);
    Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(onDisk, S("本文") + "\r\n");
}

TEST_F(ComposeTest, ReEditRemovesTheMessageAndPostsTheEditedText) {
    TGrp& reserve = *Folder("reserve");
    ASSERT_EQ(AddComposedCopy(reserve,
                              {"Subject: " + S("保留中"), "Newsgroups: fj.test", "", S("下書き")}),
              ReplaceResult::Ok);
    ComposeSettings s = ReadComposeSettings(settings, home, "ed");
    EXPECT_TRUE(ReEditOffered(*kept, reserve, s));
    EXPECT_FALSE(ReEditOffered(*kept, *Folder("posted"), s));
    EXPECT_FALSE(ReEditOffered(*soup, *soup->AreaAt(0), s));
    soup->packetType = 2;
    EXPECT_TRUE(ReEditOffered(*soup, *soup->AreaAt(0), s));
    soup->packetType = 0;

    editor.edits.push_back([this](const std::string& path) {
        (void)ReadUserTextFile(path, seen);
        WriteFile(path, ReadFile(path) + "追記\r\n");
    });
    dialogs.answers.push_back(MsgAnswer::Yes);
    ComposeResult r = ReEditMessage(env, *soup, reserve, 0);
    EXPECT_EQ(r.outcome, ComposeOutcome::Posted);
    EXPECT_EQ(seen, (TSList{"Subject: " + S("保留中"), "Newsgroups: fj.test", "", S("下書き")}));
    EXPECT_TRUE(reserve.display.empty());
    EXPECT_EQ(ReadFile(dir / "kept" / "00000002.MSG").find(S("下書き")), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(r.composeFile));  // a re-edit keeps its file
    EXPECT_EQ(U(dialogs.shown[0].text).substr(0, 15), "【保留中】");
    const std::string base = std::filesystem::path(r.composeFile).stem().string();
    EXPECT_EQ(base.substr(0, 3), "PBN");
    TSList reply = ReplyLines(out / (base + ".MSG"));
    EXPECT_EQ(reply.back(), SjisToJis(S("追記")));
    EXPECT_EQ(ReadFile(out / "REPLIES"), base + "\tnews\tBn\n");
    // The message is posted, and the copy in the posted folder replaces it.
    EXPECT_EQ(Folder("posted")->display.size(), 1u);
}

TEST_F(ComposeTest, QuittingWhileTheEditorRunsPostsNothingAndKeepsTheFile) {
    settings.WriteInteger("Message", "LastMessage", 7);
    editor.abandon = true;
    editor.edits.push_back(
        [](const std::string& path) { WriteFile(path, ReadFile(path) + "typed\r\n"); });
    ComposeResult r = Compose(env, *soup, kMail, true, Msg(0), "fj.test");
    EXPECT_EQ(r.outcome, ComposeOutcome::Abandoned);
    EXPECT_TRUE(r.fileKept);
    EXPECT_TRUE(dialogs.shown.empty());  // no posting question, no error
    EXPECT_NE(ReadFile(r.composeFile).find("typed"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out / "REPLIES"));
    // The next composition takes the next number and leaves the kept file alone.
    editor.abandon = false;
    dialogs.answers.push_back(MsgAnswer::Cancel);
    ComposeResult next = Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(std::filesystem::path(r.composeFile).filename(), "PBM00008.TMP");
    EXPECT_EQ(std::filesystem::path(next.composeFile).filename(), "PBM00009.TMP");
    EXPECT_NE(ReadFile(r.composeFile).find("typed"), std::string::npos);

    // A re-edit abandoned the same way keeps the message in its folder.
    TGrp& reserve = *Folder("reserve");
    ASSERT_EQ(AddComposedCopy(reserve, {"Subject: kept", "To: a@x", "", "text"}),
              ReplaceResult::Ok);
    editor.abandon = true;
    r = ReEditMessage(env, *soup, reserve, 0);
    EXPECT_EQ(r.outcome, ComposeOutcome::Abandoned);
    EXPECT_EQ(reserve.display.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(r.composeFile));
}

TEST_F(ComposeTest, ReEditRemovesTheMessageEditedEvenWhenTheListWasSortedMeanwhile) {
    TGrp& reserve = *Folder("reserve");
    ASSERT_EQ(AddComposedCopy(reserve, {"Subject: B second", "To: b@x", "", "b"}),
              ReplaceResult::Ok);
    ASSERT_EQ(AddComposedCopy(reserve, {"Subject: A first", "To: a@x", "", "a"}),
              ReplaceResult::Ok);
    reserve.SetSortType(0);
    ASSERT_EQ(reserve.MessageAt(0)->subject, "B second");
    // While the editor runs the user sorts the folder by subject: "A first" moves to the top.
    editor.edits.push_back([&reserve](const std::string&) { reserve.SetSortType(2); });
    dialogs.answers.push_back(MsgAnswer::Cancel);
    ReEditMessage(env, *soup, reserve, 0);
    ASSERT_EQ(reserve.display.size(), 1u);
    EXPECT_EQ(reserve.MessageAt(0)->subject, "A first");
}

TEST_F(ComposeTest, KeptCopiesGoToThePacketsOpenAfterTheEditor) {
    // The folder packet is closed while the editor runs: the copy is not made, and the post is.
    env.openPackets = [this] { return std::vector<TSoup*>{soup.get()}; };
    dialogs.answers.push_back(MsgAnswer::Yes);
    const ComposeResult r = Compose(env, *soup, kMail, false, nullptr, "");
    EXPECT_EQ(r.outcome, ComposeOutcome::Posted);
    EXPECT_TRUE(Folder("posted")->display.empty());
    EXPECT_TRUE(std::filesystem::exists(out / "REPLIES"));
}

TEST(ComposeEditor, CommandWordsAndDefault) {
    EXPECT_EQ(DefaultEditorCommand("gvim -f", "vi"), "gvim -f");
    EXPECT_EQ(DefaultEditorCommand("", "nano"), "nano");
    EXPECT_EQ(DefaultEditorCommand(nullptr, nullptr), "x-terminal-emulator -e editor");

    using Words = std::vector<std::string>;
    EXPECT_EQ(SplitEditorCommand("  code  --wait "), (Words{"code", "--wait"}));
    EXPECT_EQ(SplitEditorCommand(R"("/opt/my editor/ed" -x 'a b' c\ d "q\"q")"),
              (Words{"/opt/my editor/ed", "-x", "a b", "c d", "q\"q"}));
    EXPECT_EQ(SplitEditorCommand(""), Words{});
    // A double-byte character whose second byte is a backslash stays whole.
    EXPECT_EQ(SplitEditorCommand(S("/opt/ソフト/ed")), Words{S("/opt/ソフト/ed")});

    // A program path with blanks needs no quotes when it names a file.
    TempDir dir;
    const auto prog = (dir / "my editor").string();
    WriteFile(prog, "#!/bin/sh\n");
    EXPECT_EQ(SplitEditorCommand(prog), Words{prog});

    // The file is one argument, whatever it holds.
    testing::FakeEditor editor;
    const std::string file = "/tmp/it's a \"$HOME\" file.TMP";
    EXPECT_EQ(RunEditor(editor, "ed -n", file, "/tmp/", nullptr), EditorRun::Finished);
    EXPECT_EQ(editor.runs[0].argv, (Words{"ed", "-n", file}));
    testing::FakeDialogs dialogs;
    EXPECT_EQ(RunEditor(editor, "  ", file, "/tmp/", &dialogs), EditorRun::FailedToStart);
    EXPECT_EQ(editor.runs.size(), 1u);
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

}  // namespace
}  // namespace pelorin
