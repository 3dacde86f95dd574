// The settings dialog's model: reading with the dialog's defaults, storing only what changed
// (so a file read and stored again keeps every byte), the AREAS list additions, the folder
// lists, and the binding editor's key names, function choice and stored changes.
#include "store/setup_settings.h"

#include "support/testing.h"

#include "store/key_binding_editor.h"
#include "store/settings.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::WriteFile;

class Setup : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = (dir / "pelorin.INI").string();
    SetupDefaults defaults = [] {
        SetupDefaults d;
        d.programDir = "/home/u/.config/pelorin/";
        d.editor = "editor";
        d.fonts[kFontText].color = 0x123456;
        return d;
    }();

    size_t FunctionIndex(std::string_view name) {
        const TSList& names = SetupFunctionNames();
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    }
};

TEST_F(Setup, ReadingAnEmptyFileWritesTheDialogsDefaults) {
    TIniF ini(path);
    const SetupSettings s = ReadSetupSettings(ini, defaults);
    EXPECT_EQ(ini.FileWrites(), 1);
    TIniF back(path);
    EXPECT_EQ(back.ReadString("Display", "ListStrings", "?"), "%50(%L{(%@),}%V%s%) >> %c");
    EXPECT_EQ(back.ReadString("Files", "Outbound", "?"), "");
    EXPECT_EQ(back.ReadString("Editor", "ExternalEditor", "?"), "editor");
    EXPECT_EQ(back.ReadString("Message", "Signature-File", "?"), "/home/u/.config/pelorin/SIG.TXT");
    EXPECT_EQ(back.ReadInteger("Print", "PrintLeftMergine", 0), 100);
    EXPECT_EQ(s.clickableColor, 0x123456);  // the text font's colour
    EXPECT_EQ(s.cutPattern, "Top");
    EXPECT_EQ(s.setPattern, "AST");
    EXPECT_EQ(s.tabCount, 4);
    // Fonts are written as shown, so that OK stores only what changed; lists are not.
    EXPECT_TRUE(back.KeyExists("Fonts", "TextName"));
    EXPECT_EQ(back.ReadString("Display", "ShowImage", "?"), "N");
    EXPECT_FALSE(back.SectionExists("KeyBind"));
    EXPECT_TRUE(s.autoLoad.empty());
}

TEST_F(Setup, StoringWhatWasReadKeepsEveryByte) {
    // Odd but valid spellings: numbers with blanks and zeros, a list between other keys and
    // out of order, a font without its style keys, a key in other case.
    const std::string file =
        "[Files]\r\nAutoLoad1=/p/b/AREAS\r\nDataPath=/d/\r\nAutoLoad0=/p/a/AREAS\r\n"
        "outbound=/o/\r\n[Display]\r\nTabCount= 08\r\n[Fonts]\r\nTextName=IPAGothic\r\n"
        "TextSize=10\r\nClickableColor=255\r\n[Print]\r\nPrintTopMergine=0100\r\n"
        "PrintLeftHeader0=" +
        S("タイトル: %s") + "\r\n[KeyBind]\r\n_n=ShowNextMessage\r\n";
    WriteFile(path, file);
    {
        TIniF ini(path);
        const SetupSettings s = ReadSetupSettings(ini, defaults);
        EXPECT_EQ(s.tabCount, 8);
        EXPECT_EQ(s.autoLoad, (TSList{"/p/a/AREAS", "/p/b/AREAS"}));
        EXPECT_EQ(s.fonts[kFontText].name, "IPAGothic");
        EXPECT_EQ(s.fonts[kFontText].size, 10);
        EXPECT_EQ(s.printTop, 100);
    }
    const std::string afterRead = ReadFile(path);
    TIniF ini(path);
    SetupSettings s = ReadSetupSettings(ini, defaults);
    TKeyBindingEditor keys;
    keys.Load(ini);
    const int writes = ini.FileWrites();
    EXPECT_TRUE(StoreSetupSettings(ini, s, &keys).empty());
    EXPECT_EQ(ini.FileWrites(), writes);
    EXPECT_EQ(ReadFile(path), afterRead);
}

TEST_F(Setup, StoringWritesChangesInOneFileWrite) {
    TIniF ini(path);
    SetupSettings s = ReadSetupSettings(ini, defaults);
    s.autoLoad = {"/p/x/AREAS"};
    s.refer = "line one\r\nline two";  // a pasted line break
    s.cutPattern = "Left";
    s.setPattern = "";  // no radio button: nothing stored
    s.tabCount = 12;
    s.fonts[kFontQuote].bold = true;
    s.postedFolder = "sent";
    s.postedPacket = "folders";
    s.reserveFolder = "";
    s.reservePacket = "stale";  // a pair without a folder is stored empty
    s.printRightHeader = {"a", "b"};
    s.printBottom = MarginValue("0042");
    s.printRight = MarginValue("12mm");
    const int writes = ini.FileWrites();
    const std::vector<StoredValue> changed = StoreSetupSettings(ini, s, nullptr);
    EXPECT_EQ(ini.FileWrites(), writes + 1);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].key, "Refer");
    EXPECT_EQ(changed[0].value, "line one line two");

    TIniF back(path);
    EXPECT_EQ(back.ReadString("Files", "AutoLoad0", ""), "/p/x/AREAS");
    EXPECT_EQ(back.ReadString("Message", "Refer", ""), "line one line two");
    EXPECT_EQ(back.ReadString("Window", "CutPattern", ""), "Left");
    EXPECT_EQ(back.ReadString("Window", "SetPattern", ""), "AST");
    EXPECT_EQ(back.ReadInteger("Display", "TabCount", 0), 12);
    EXPECT_EQ(back.ReadString("Fonts", "QuoteStyleBold", ""), "Y");
    EXPECT_EQ(back.ReadString("Message", "PostedFolder", ""), "sent");
    EXPECT_EQ(back.ReadString("Message", "PostedPacket", ""), "folders");
    EXPECT_EQ(back.ReadString("Message", "ReservePacket", "?"), "");
    EXPECT_EQ(back.ReadString("Print", "PrintRightHeader1", ""), "b");
    EXPECT_EQ(back.ReadInteger("Print", "PrintBottomMergine", 0), 42);
    EXPECT_EQ(back.ReadInteger("Print", "PrintRightMergine", -1), 0);
    // The font keys follow the list keys of [Files] etc. in the order of storing.
    const TSList fonts = back.ReadSection("Fonts");
    EXPECT_NE(std::find(fonts.begin(), fonts.end(), "QuoteStyleBold"), fonts.end());
}

TEST_F(Setup, AddingAutoLoadPackets) {
    std::filesystem::create_directories(dir / "p");
    WriteFile(dir / "p" / "areas", "");  // the file in any case
    TSList list = {"/elsewhere/AREAS"};
    std::string message;
    EXPECT_EQ(AddAutoLoad(list, (dir / "p" / "areas").string(), message), AutoLoadAdd::Added);
    EXPECT_EQ(list.back(), (dir / "p" / "AREAS").string());
    EXPECT_EQ(AddAutoLoad(list, (dir / "p" / "AREAS").string(), message),
              AutoLoadAdd::AlreadyListed);
    EXPECT_EQ(message, (dir / "p" / "AREAS").string() + S(" はすでに登録されています"));
    TSList otherCase = {(dir / "P" / "AREAS").string()};  // as IsPacketOpen compares
    EXPECT_EQ(AddAutoLoad(otherCase, (dir / "p" / "AREAS").string(), message),
              AutoLoadAdd::AlreadyListed);
    EXPECT_EQ(AddAutoLoad(list, (dir / "q" / "AREAS").string(), message), AutoLoadAdd::Missing);
    EXPECT_EQ(message, (dir / "q" / "AREAS").string() + S(" は存在しません"));
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(Setup, FolderListsKeepAStoredFolderOfAClosedPacket) {
    const std::vector<FolderItem> open = {{"sent", "folders"}, {"keep", "folders"}};
    int index = -1;
    EXPECT_EQ(FolderItems(open, "keep", "folders", index).size(), 2u);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(open[1].Text(), "keep(folders)");
    FolderItems(open, "", "folders", index);
    EXPECT_EQ(index, 0);
    const std::vector<FolderItem> items = FolderItems(open, "old", "archive", index);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].Text(), "old(archive)");
    EXPECT_EQ(index, 3);
}

TEST_F(Setup, KeyNamesAndTheFunctionShownForThem) {
    EXPECT_EQ(SetupKeys().size(), 26u + 10u + 14u + 12u);
    EXPECT_EQ(SetupKeys()[35], "0");
    EXPECT_EQ(SetupKeys().back(), "<F12>");
    EXPECT_EQ(SetupFunctionNames().size(), 46u);
    EXPECT_EQ(TKeyBindingEditor::KeyName("N", true, true, true, KeyFocus::List), "ACS_N@s");
    EXPECT_EQ(TKeyBindingEditor::KeyName("<F5>", false, false, false, KeyFocus::All), "_<F5>");
    EXPECT_EQ(TKeyBindingEditor::KeyName("X", false, true, false, KeyFocus::Text), "S_X@b");
    EXPECT_EQ(TKeyBindingEditor::KeyName("", true, false, false, KeyFocus::Areas), "");

    WriteFile(path,
              "[KeyBind]\r\n_N=ShowNextMessage\r\n_M=MarkAll( ,*)\r\n"
              "_<F5>=ExecSubCommand(" +
                  S("未読に") + ")\r\n_X=Unknown\r\n");
    TIniF ini(path);
    TKeyBindingEditor keys;
    keys.Load(ini);
    EXPECT_EQ(keys.FunctionOf("_N"), 4);
    EXPECT_EQ(SetupFunctionNames()[4], "ShowNextMessage");
    EXPECT_EQ(keys.FunctionOf("_n"), 4);  // names compare as the file does
    EXPECT_EQ(keys.FunctionOf("_M"), 0);  // only the settings file can bind MarkAll
    EXPECT_EQ(keys.FunctionOf("_X"), 0);
    EXPECT_EQ(keys.FunctionOf("C_N"), 0);
    EXPECT_EQ(keys.FunctionOf("_<F5>"), static_cast<int>(FunctionIndex("ExecSubCommand(")));
    EXPECT_EQ(keys.ParameterOf("_<F5>"), S("未読に"));
    EXPECT_EQ(keys.ParameterOf("_N"), "");
}

TEST_F(Setup, EditedBindingsAreStoredWhenTheyChanged) {
    WriteFile(path, "[KeyBind]\r\n_N=ShowNextMessage\r\n_Q=ApplicationQuit\r\n_P=PrevMessage\r\n");
    const std::string before = ReadFile(path);
    TIniF ini(path);
    TKeyBindingEditor keys;
    keys.Load(ini);
    EXPECT_EQ(keys.Store(ini), 0);
    EXPECT_EQ(ReadFile(path), before);

    keys.Assign("_Q", 0, "");  // （設定なし）: unbound
    const int exec = static_cast<int>(FunctionIndex("ExecSubCommand("));
    keys.Assign("_<F5>", exec, "my command");
    keys.Assign("C_Z", 0, "");  // nothing to unbind: not added
    keys.Assign("", 4, "");     // no key chosen
    keys.Assign("_P", static_cast<int>(FunctionIndex("ShowPrevMessage")), "ignored");
    EXPECT_EQ(keys.Keys(), (TSList{"_N", "_Q", "_P", "_<F5>"}));
    EXPECT_EQ(keys.Store(ini), 3);
    TIniF back(path);
    EXPECT_TRUE(back.KeyExists("KeyBind", "_Q"));
    EXPECT_EQ(back.ReadString("KeyBind", "_Q", "?"), "");
    EXPECT_EQ(back.ReadString("KeyBind", "_<F5>", ""), "ExecSubCommand(my command)");
    EXPECT_EQ(back.ReadString("KeyBind", "_P", ""), "ShowPrevMessage");
    EXPECT_FALSE(back.KeyExists("KeyBind", "C_Z"));
}

}  // namespace
}  // namespace pelorin
