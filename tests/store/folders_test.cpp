// Folders and folder packets: a new folder packet and folder on disk after the first copy, the
// duplicate rule, the copy targets and messages to copy, kept-copy folders, and child messages
// of note packets written through a scripted editor.
#include "store/folders.h"

#include "support/fake_dialogs.h"
#include "support/fake_editor.h"
#include "support/testing.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

std::string Rnews(const std::vector<std::string>& ids) {
    std::string out;
    for (const auto& id : ids) {
        std::string m = "Subject: s" + id + "\nFrom: a@example.jp\n" +
                        (id.empty() ? std::string() : "Message-ID: <" + id + ">\n") + "\nbody\n";
        out += "#! rnews " + std::to_string(m.size()) + "\n" + m;
    }
    return out;
}

class FoldersTest : public ::testing::Test {
protected:
    TempDir dir;
    testing::FakeDialogs dialogs;
    std::unique_ptr<TSoup> source;  // a SOUP packet with one area of messages

    void SetUp() override {
        std::filesystem::create_directories(dir / "soup");
        WriteFile(dir / "soup" / "AREAS", "0000001\tfj.test\tun\n");
        WriteFile(dir / "soup" / "0000001.MSG", Rnews({"1@x", "2@x", "3@x", "", ""}));
        source = std::make_unique<TSoup>((dir / "soup").string());
        source->LoadAreas();
        source->AreaAt(0)->SetSortType(0);
        source->AreaAt(0)->Prepare();
    }

    TMsg* Msg(int i) { return source->AreaAt(0)->MessageAt(i); }

    std::unique_ptr<TSoup> FolderPacket(const std::string& name) {
        std::filesystem::create_directories(dir / name);
        return CreateFolderPacket((dir / name).string(), name, {(dir / "out").string(), "", 0},
                                  &dialogs);
    }
};

TEST_F(FoldersTest, NewFolderHasFilesOnlyAfterTheFirstCopy) {
    dialogs.inputs = {"kept"};
    std::string name;
    ASSERT_TRUE(AskFolderPacketName(dialogs, name));
    EXPECT_EQ(name, "kept");
    EXPECT_FALSE(AskFolderPacketName(dialogs, name));  // cancelled
    EXPECT_EQ(U(dialogs.prompts[0]), "パケット名を入力してください");

    auto packet = FolderPacket("kept");
    EXPECT_EQ(packet->packetType, 1);
    EXPECT_EQ(packet->packetName, "kept");
    EXPECT_EQ(packet->outboundDir, (dir / "out").string() + "/");
    dialogs.inputs = {"saved", "empty"};
    TGrp* saved = NewFolder(*packet, dialogs);
    TGrp* empty = NewFolder(*packet, dialogs);
    ASSERT_NE(saved, nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(saved->encoding, "uc ");
    EXPECT_EQ(U(dialogs.prompts.back()), "フォルダ名を入力してください");
    EXPECT_TRUE(CopyToFolder(*saved, Msg(0)));
    ASSERT_EQ(packet->Destroy(), ReplaceResult::Ok);

    EXPECT_EQ(ReadFile(dir / "kept" / "AREAS"), "00000001\tsaved\tuc\n00000002\tempty\tuc\n");
    for (const char* ext : {".MSG", ".IDX", ".PBX"}) {
        EXPECT_TRUE(std::filesystem::exists(dir / "kept" / (std::string("00000001") + ext)));
        EXPECT_FALSE(std::filesystem::exists(dir / "kept" / (std::string("00000002") + ext)));
    }
    TSoup reopened((dir / "kept").string());
    EXPECT_EQ(reopened.packetType, 1);
    ASSERT_EQ(reopened.LoadAreas(), 2);
    reopened.AreaAt(0)->Prepare();
    ASSERT_EQ(reopened.AreaAt(0)->display.size(), 1u);
    EXPECT_EQ(reopened.AreaAt(0)->MessageAt(0)->messageId, "<1@x>");
}

TEST_F(FoldersTest, NewFolderOnlyInFolderPacketsAndWithoutControlCharacters) {
    dialogs.inputs = {"never asked"};
    EXPECT_EQ(NewFolder(*source, dialogs), nullptr);
    EXPECT_TRUE(dialogs.prompts.empty());
    auto packet = FolderPacket("p");
    dialogs.inputs = {"a\tb"};
    EXPECT_EQ(NewFolder(*packet, dialogs), nullptr);
    EXPECT_TRUE(packet->areas.empty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
    dialogs.inputs = {""};
    EXPECT_EQ(NewFolder(*packet, dialogs), nullptr);
}

TEST_F(FoldersTest, DuplicateRule) {
    auto packet = FolderPacket("p");
    TGrp* folder = packet->AddArea("f", "uc");
    // The same message twice leaves one copy.
    EXPECT_TRUE(CopyToFolder(*folder, Msg(1)));
    EXPECT_FALSE(CopyToFolder(*folder, Msg(1)));
    // Three selected, one already held: two are added.
    EXPECT_EQ(CopyToFolder(*folder, std::vector<TMsg*>{Msg(0), Msg(1), Msg(2)}), 2);
    // Messages without Message-ID are copied every time.
    EXPECT_EQ(CopyToFolder(*folder, std::vector<TMsg*>{Msg(3), Msg(3), Msg(4)}), 3);
    ASSERT_EQ(folder->display.size(), 6u);
    EXPECT_EQ(folder->MessageAt(0)->messageId, "<2@x>");

    // The rule holds across unloading: the folder is read back before the lookup.
    ASSERT_EQ(folder->Unload(), ReplaceResult::Ok);
    EXPECT_TRUE(folder->messages.empty());
    EXPECT_FALSE(CopyToFolder(*folder, Msg(0)));
    EXPECT_EQ(folder->display.size(), 6u);
}

TEST_F(FoldersTest, CopyTargetsAndMessagesToCopy) {
    auto folders = FolderPacket("folders");
    folders->AddArea("a", "uc");
    folders->AddArea("b", "uc");
    std::filesystem::create_directories(dir / "notes");
    TSoup notes((dir / "notes").string());
    notes.packetType = 2;
    FolderChoice choice = CopyToFolderChoice({source.get(), folders.get(), &notes}, 3);
    EXPECT_EQ(U(choice.caption), "フォルダへのコピー");
    EXPECT_EQ(U(choice.prompt), "コピー先を選択してください");
    EXPECT_TRUE(choice.checkBoxChecked);
    // The SOUP packet is never offered.
    ASSERT_EQ(choice.targets.size(), 2u);
    EXPECT_EQ(choice.targets[0].packet, folders.get());
    ASSERT_EQ(choice.targets[0].folders.size(), 2u);
    EXPECT_EQ(choice.targets[0].folders[1]->areaName, "b");
    EXPECT_EQ(choice.targets[1].packet, &notes);
    EXPECT_FALSE(CopyToFolderChoice({}, 1).checkBoxChecked);

    EXPECT_TRUE(MessagesToCopy(nullptr, {Msg(0)}).empty());
    EXPECT_EQ(MessagesToCopy(Msg(2), {Msg(0)}), std::vector<TMsg*>{Msg(2)});
    EXPECT_EQ(MessagesToCopy(Msg(2), {Msg(0), Msg(1)}), (std::vector<TMsg*>{Msg(0), Msg(1)}));
}

TEST_F(FoldersTest, KeepFolderIsTheFirstPacketOfThatNameAndAFolderPacket) {
    auto first = FolderPacket("first");
    first->packetName = "kept";
    TGrp* f1 = first->AddArea("reserve", "uc");
    auto second = FolderPacket("second");
    second->packetName = "kept";
    second->AddArea("other", "uc");
    EXPECT_EQ(FindKeepFolder({first.get(), second.get()}, "kept", "reserve"), f1);
    EXPECT_EQ(FindKeepFolder({second.get(), first.get()}, "kept", "reserve"), nullptr);
    EXPECT_EQ(FindKeepFolder({first.get()}, "KEPT", "reserve"), nullptr);
    first->packetType = 2;
    EXPECT_EQ(FindKeepFolder({first.get()}, "kept", "reserve"), nullptr);
    first->packetType = 1;

    // A kept copy is on disk at once.
    ASSERT_EQ(AddComposedCopy(*f1, {"Subject: " + S("保留"), "", "text"}), ReplaceResult::Ok);
    EXPECT_NE(ReadFile(first->directory + "00000001.MSG").find("text"), std::string::npos);
    EXPECT_EQ(f1->MessageAt(0)->subject, S("保留"));
}

TEST_F(FoldersTest, ChildMessageTextAndDate) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    const std::time_t t = 912873900;  // 1998-12-05 16:05:00 UTC
    EXPECT_EQ(ChildMessageDate(t), "06 Dec 1998 01:05:00 JST");
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(ChildMessageDate(t), "05 Dec 1998 16:05:00 +0000");
    unsetenv("TZ");
    tzset();

    TSList text = ChildMessageText("notes.area", Msg(0), t);
    ASSERT_EQ(text.size(), 10u);
    EXPECT_EQ(text[0], "Newsgroups: notes.area");
    EXPECT_EQ(text[1], "Subject: s1@x");
    EXPECT_EQ(text[2], "From: a@example.jp");
    EXPECT_EQ(text[3], "References: <1@x>");
    EXPECT_EQ(text[4], "Message-ID: ");
    EXPECT_EQ(text[5], "Followup-To: poster");
    EXPECT_EQ(text[6].substr(0, 6), "Date: ");
    EXPECT_EQ(TSList(text.begin() + 7, text.end()), (TSList{"", "", "-- "}));
    text = ChildMessageText("notes.area", nullptr, t);
    EXPECT_EQ(TSList(text.begin(), text.begin() + 4),
              (TSList{"Newsgroups: notes.area", "Subject: ", "From: ", "Message-ID: "}));
}

TEST_F(FoldersTest, ChildMessageIsEditedShownAndAddedUnderItsParent) {
    testing::FakeEditor editor;
    const std::string home = dir.home().string() + "/";
    ChildMessageEnv env{home, "my-editor --wait", TextCharset::Utf8, editor, dialogs};
    TGrp& area = *source->AreaAt(0);
    editor.edits.push_back([](const std::string& path) {
        std::string text = ReadFile(path);
        text.insert(text.find("\r\n\r\n") + 4, "日本語の本文\r\n");
        WriteFile(path, text);
    });
    TSList shown;
    dialogs.answers.push_back(MsgAnswer::Ok);
    EXPECT_EQ(MakeChildMessage(
                  env, area, Msg(0), [&](const TSList& l) { shown = l; }, 0),
              ChildOutcome::Added);
    ASSERT_EQ(editor.runs.size(), 1u);
    EXPECT_EQ(editor.runs[0].argv,
              (std::vector<std::string>{"my-editor", "--wait", home + "SBTMP.TXT"}));
    EXPECT_EQ(editor.runs[0].workingDir, home);
    // SBTMP.TXT was written in UTF-8 with CR LF and read back as Shift_JIS.
    EXPECT_EQ(ReadFile(dir.home() / "SBTMP.TXT").substr(0, 26), "Newsgroups: fj.test\r\nSubje");
    ASSERT_GE(shown.size(), 9u);
    EXPECT_EQ(shown[8], S("日本語の本文"));
    EXPECT_EQ(U(dialogs.shown[0].text), "メッセージを追加しますか？");
    ASSERT_EQ(area.display.size(), 6u);
    TMsg* child = area.MessageAt(5);
    EXPECT_EQ(child->parentId.substr(0, 5), "<1@x>");
    EXPECT_EQ(child->subject, "s1@x");

    dialogs.answers.push_back(MsgAnswer::Cancel);
    EXPECT_EQ(MakeChildMessage(env, area, nullptr, nullptr, 0), ChildOutcome::Declined);
    EXPECT_EQ(area.display.size(), 6u);
}

}  // namespace
}  // namespace pelorin
