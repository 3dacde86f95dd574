// The message actions of the main window on packets built in the test: the clipboard text of
// a selection, of the shown message and of three selected messages; the bytes of a saved file;
// decoding attachments, a nameless part, a uuencoded message and hostile names into DataPath
// with the summary; the folder copy with its selection dialog and the duplicate rule; the
// purge on exit answered Yes, No and Cancel; the commands, menus and toolbar buttons.
#include "app_testing.h"

#include "coding/base64.h"
#include "coding/jis.h"
#include "store/inifile.h"

#include "app/message_actions.h"
#include "app/select_dialog.h"
#include "view/msglistbox.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

using namespace pelorin;
using namespace pelorin::testing;
namespace fs = std::filesystem;

namespace {

std::string Framed(const std::vector<std::string>& messages) {
    std::string out;
    for (const std::string& m : messages) out += "#! rnews " + std::to_string(m.size()) + "\n" + m;
    return out;
}

// A message in JIS with a MIME-encoded Japanese subject (texts UTF-8).
std::string Japanese(int n, const std::string& subject, const std::string& body) {
    return "From: user" + std::to_string(n) + "@example.jp\nSubject: =?ISO-2022-JP?B?" +
           Base64Encode(SjisToJis(S(subject))) + "?=\nMessage-ID: <" + std::to_string(n) +
           "@x>\n\n" + SjisToJis(S(body)) + "\n";
}

std::string WithPart(int n, const std::string& header, const std::string& body) {
    return "From: a@example.jp\nSubject: part" + std::to_string(n) + "\nMessage-ID: <" +
           std::to_string(n) +
           "@x>\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B\"\n\n--B\n"
           "Content-Type: text/plain\n\ntext\n--B\n" +
           header + "\n\n" + body + "\n--B--\n";
}

std::string Attachment(const std::string& name) {
    return "Content-Type: application/octet-stream; name=\"" + name +
           "\"\nContent-Transfer-Encoding: base64";
}

// A SOUP packet of one area "fj.test" holding `messages`; `marks` (one character per message,
// may be shorter) goes to its mark file. Returns the AREAS path.
std::string Packet(const fs::path& dir,
                   const std::vector<std::string>& messages,
                   const std::string& marks = {}) {
    fs::create_directories(dir);
    WriteFile(dir / "AREAS", "0000001\tfj.test\tun\n");
    WriteFile(dir / "0000001.MSG", Framed(messages));
    std::string pbx;
    for (size_t i = 0; i < marks.size(); ++i)
        pbx += std::string(1, marks[i]) + "<" + std::to_string(i + 1) + "@x>\t\r\n";
    if (!pbx.empty())
        WriteFile(dir / "0000001.PBX", pbx);
    return (dir / "AREAS").string();
}

// A folder packet with the folder "keep". Returns the AREAS path.
std::string FolderPacket(const fs::path& dir) {
    fs::create_directories(dir);
    WriteFile(dir / "AREAS", "00000001\tkeep\tuc\n");
    WriteFile(dir / "GRPSTAT.PBS", "[General]\r\nPacketType=1\r\nPacketName=folders\r\n");
    return (dir / "AREAS").string();
}

void OpenArea(TMainForm& form, int packet = 0) {
    form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(packet)->child(0));
    form.SelectArea('A');
}

// Selects `rows` of the list; `shown` (a row or -1) is shown first.
void Select(TMainForm& form, const std::vector<int>& rows, int shown = -1) {
    TMsgListBox* list = form.MessageList();
    if (shown >= 0) {
        list->SetSelected(shown, true);
        list->SetItemIndex(shown);
        form.DisplayMessage();
    }
    list->clearSelection();
    for (int row : rows) list->SetSelected(row, true);
}

QString Clipboard() {
    return QGuiApplication::clipboard()->text();
}

std::vector<std::string> Files(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class ActionsTest : public QObject {
    Q_OBJECT

private slots:
    void commandsMenusAndToolbar() {
        TempDir temp;
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QStringList menus;
        for (QAction* a : form.menuBar()->actions()) menus << a->text();
        QVERIFY(menus.indexOf(QStringLiteral("編集(&E)")) ==
                menus.indexOf(QStringLiteral("ファイル(&F)")) + 1);
        QVERIFY(menus.indexOf(QStringLiteral("表示(&D)")) ==
                menus.indexOf(QStringLiteral("編集(&E)")) + 1);
        QVERIFY(form.Commands().Enabled("mnuFind"));  // search
        QCOMPARE(form.Commands().Find("EditCopyItem")->shortcut(),
                 QKeySequence(QKeySequence::Copy));
        auto* bar = form.findChild<QToolBar*>(QStringLiteral("ToolbarCopy"));
        QVERIFY(bar);
        QStringList hints;
        for (QAction* a : bar->actions()) hints << a->toolTip();
        QCOMPARE(hints,
                 (QStringList{QStringLiteral("クリップボードへ"), QStringLiteral("ファイルへ"),
                              QStringLiteral("ファイルへデコード"), QStringLiteral("フォルダへ")}));
        auto* file = form.menuBar()->findChild<QMenu*>(QStringLiteral("FileMenu"));
        QVERIFY(file->actions().contains(form.Commands().Find("FileSaveAsItem")));
        QCOMPARE(file->actions().indexOf(form.Commands().Find("mnuDelQuit")) + 1,
                 file->actions().indexOf(form.Commands().Find("FileExitItem")));
    }

    void copiesToTheClipboard() {
        TempDir temp;
        const std::string areas =
            Packet(temp / "p", {Japanese(1, "件名一", "本文一です"),
                                Japanese(2, "件名二", "本文二"), Japanese(3, "件名三", "本文三")});
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        OpenArea(form);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        form.EditCopy();  // nothing shown, nothing selected
        QCOMPARE(Clipboard(), QStringLiteral("before"));

        const QString whole1 = QStringLiteral(
            "From: user1@example.jp\r\nSubject: 件名一\r\nMessage-ID: <1@x>\r\n\r\n本文一です\r\n");
        const QString whole2 = QStringLiteral(
            "From: user2@example.jp\r\nSubject: 件名二\r\nMessage-ID: <2@x>\r\n\r\n本文二\r\n");
        const QString whole3 = QStringLiteral(
            "From: user3@example.jp\r\nSubject: 件名三\r\nMessage-ID: <3@x>\r\n\r\n本文三\r\n");
        Select(form, {0}, 0);
        form.EditCopy();
        QCOMPARE(Clipboard(), whole1);
        // One row selected but another message shown: the shown one.
        Select(form, {2});
        form.EditCopy();
        QCOMPARE(Clipboard(), whole1);
        // Three selected: all of them, in list order.
        Select(form, {0, 1, 2});
        form.EditCopy();
        QCOMPARE(Clipboard(), whole1 + whole2 + whole3);

        // The text view's selection goes as it is.
        Select(form, {0});
        ActionScope scope;
        scope.area = form.CurrentArea();
        scope.shown = form.CurrentMessage();
        scope.list = form.MessageList();
        scope.selectedText = S("本文一");
        form.Actions().EditCopy(scope);
        QCOMPARE(Clipboard(), QStringLiteral("本文一"));
        QVERIFY(dialogs.shown.empty());
    }

    void savesTheCheckedBodies() {
        TempDir temp;
        WriteSettings(temp, "[Files]\r\nSaveCharset=Shift_JIS\r\n");
        const std::string areas =
            Packet(temp / "p", {Japanese(1, "一", "本文一"), Japanese(2, "二", "本文二"),
                                Japanese(3, "三", "本文三"), Japanese(4, "四", "本文四")});
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        OpenArea(form);
        const std::string path = (temp / "saved.txt").string();
        form.Actions().chooseSaveFile = [&] { return path; };
        Select(form, {0, 2, 3});
        dialogs.answers = {MsgAnswer::Cancel};
        form.SaveChecked();
        QCOMPARE(U(dialogs.shown.back().text), "チェックされた3件を\n" + path + "に保存します");
        QVERIFY(!fs::exists(path));
        dialogs.answers = {MsgAnswer::Ok};
        form.SaveChecked();
        QCOMPARE(ReadFile(path), "\r\n" + S("本文一") + "\r\n\r\n" + S("本文三") + "\r\n\r\n" +
                                     S("本文四") + "\r\n");
        // Nothing selected: the shown message.
        Select(form, {}, 1);
        form.MessageList()->clearSelection();
        dialogs.answers = {MsgAnswer::Ok};
        form.SaveChecked();
        QCOMPARE(ReadFile(path), "\r\n" + S("本文二") + "\r\n");
        // A file that cannot be written: reported, the earlier file kept.
        form.Actions().chooseSaveFile = [&] { return (temp / "missing" / "x.txt").string(); };
        dialogs.answers = {MsgAnswer::Ok};
        form.SaveChecked();
        QCOMPARE(dialogs.shown.back().icon, MsgIcon::Error);
        QVERIFY(U(dialogs.shown.back().text).find("missing/x.txt") != std::string::npos);
        QCOMPARE(ReadFile(path), "\r\n" + S("本文二") + "\r\n");
    }

    void savedTextKeepsEveryCharacterOrSaysWhatWasLost() {
        TempDir temp;
        const std::string korean =
            "From: k@example.kr\nSubject: =?UTF-8?B?" + Base64Encode("안녕 메일") +
            "?=\nMessage-ID: <1@x>\nMIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n"
            "안녕하세요 日本\n";
        const std::string areas = Packet(temp / "p", {korean, Japanese(2, "二", "本文二")});
        WriteSettings(temp, "[Files]\r\nSaveCharset=UTF-8\r\n");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        OpenArea(form);
        const std::string path = (temp / "saved.txt").string();
        form.Actions().chooseSaveFile = [&] { return path; };
        Select(form, {0, 1});
        dialogs.answers = {MsgAnswer::Ok};
        form.SaveChecked();
        QCOMPARE(ReadFile(path), std::string("\r\n안녕하세요 日本\r\n\r\n本文二\r\n"));
        QCOMPARE(dialogs.shown.size(), size_t{1});  // the question alone

        // Shift_JIS cannot carry Hangul: written as 〓, and the message says where.
        (void)form.Settings().WriteString("Files", "SaveCharset", "Shift_JIS");
        dialogs.shown.clear();
        dialogs.answers = {MsgAnswer::Ok};
        form.SaveChecked();
        QCOMPARE(ReadFile(path), "\r\n" + S("〓〓〓〓〓 日本") + "\r\n\r\n" + S("本文二") + "\r\n");
        QCOMPARE(dialogs.shown.size(), size_t{2});
        QCOMPARE(dialogs.shown[1].icon, MsgIcon::Warning);
        QCOMPARE(U(dialogs.shown[1].text),
                 std::string("保存した文字コード（Shift_JIS）で表せない文字を〓に置き換えました。\n"
                             "【〓〓 〓〓】<1@x> 5文字"));
    }

    void decodesIntoTheDataPath() {
        TempDir temp;
        fs::create_directories(temp / "data");
        WriteFile(temp / "data" / "taken.bin", "old");
        WriteSettings(temp, "[Files]\r\nDataPath=" + (temp / "data").string() + "/\r\n");
        const std::string areas = Packet(
            temp / "p",
            {WithPart(1, Attachment("pic.png"), "UE5HREFUQQABAg=="),
             WithPart(2, "Content-Type: image/gif\nContent-Transfer-Encoding: base64",
                      "YmluYXJ5IHR3bw=="),
             "From: a@x\nSubject: uu\nMessage-ID: <3@x>\n\nbegin 644 hello.txt\n):&5L;&\\@=74*\n`\n"
             "end\n",
             WithPart(4, Attachment("../../x"), "YmluYXJ5IHR3bw=="),
             WithPart(5, Attachment("/etc/passwd"), "YmluYXJ5IHR3bw=="),
             WithPart(6, Attachment("taken.bin"), "YmluYXJ5IHR3bw=="),
             WithPart(7, Attachment(".."), "YmluYXJ5IHR3bw==")});
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        OpenArea(form);
        Select(form, {0, 1, 2, 3, 4, 5, 6});
        dialogs.inputs = {"named.gif"};
        QVERIFY(form.ExecuteBinding("DecodeToFile"));
        QCOMPARE(dialogs.prompts.size(), size_t{1});
        QCOMPARE(
            U(dialogs.prompts[0]),
            std::string(
                "part2の2番目のパート\nContent-Type:image/gif\nのファイル名を指定してください"));
        QCOMPARE(Files(temp / "data"), (std::vector<std::string>{"hello.txt", "named.gif", "passwd",
                                                                 "pic.png", "taken.bin", "x"}));
        QCOMPARE(ReadFile(temp / "data" / "taken.bin"), std::string("old"));
        QCOMPARE(ReadFile(temp / "data" / "hello.txt"), std::string("hello uu\n"));
        for (const auto& e : fs::directory_iterator(temp.path()))
            QVERIFY(e.is_directory());  // nothing beside the data directory
        QCOMPARE(dialogs.shown.size(), size_t{1});
        QCOMPARE(U(dialogs.shown[0].text),
                 std::string("選択された7件の内\n5件のデコードに成功\n1件は同名のファイルが存在\n"
                             "1件はデコードに失敗しました。\n\n..：ファイル名として使えません"));
    }

    void copiesIntoAFolder() {
        TempDir temp;
        const std::string areas = Packet(
            temp / "p", {Japanese(1, "一", "1"), Japanese(2, "二", "2"), Japanese(3, "三", "3")});
        const std::string folders = FolderPacket(temp / "f");
        FakeDialogs dialogs;
        TMainForm form({Q(areas), Q(folders)}, &dialogs);
        OpenArea(form);
        TGrp* keep = TAreaTree::PacketOf(form.AreaTree()->PacketNode(1))->FindArea("keep");
        QVERIFY(keep);
        std::vector<FolderChoice> choices;
        TGrp* answer = keep;
        form.Actions().chooseFolder = [&](const FolderChoice& choice) {
            choices.push_back(choice);
            return answer;
        };
        // Nothing shown and one row selected: nothing happens.
        Select(form, {1});
        form.CopySelectedToFolder();
        QVERIFY(choices.empty());

        Select(form, {}, 1);  // shown: the second message
        form.CopySelectedToFolder();
        QCOMPARE(choices.size(), size_t{1});
        QCOMPARE(keep->display.size(), size_t{1});
        // The dialog: only the folder packet, expanded, its folder chosen by OK.
        {
            TSelectDialog dialog(choices[0]);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("フォルダへのコピー"));
            QCOMPARE(dialog.Tree()->topLevelItemCount(), 1);
            QTreeWidgetItem* packetNode = dialog.Tree()->topLevelItem(0);
            QVERIFY(packetNode->isExpanded());
            QCOMPARE(packetNode->childCount(), 1);
            QCOMPARE(dialog.MultiBox()->text(), QStringLiteral("複数選択記事を対象にする"));
            QVERIFY(!dialog.MultiBox()->isChecked());
            QVERIFY(!dialog.Chosen());
            dialog.Choose(keep);
            QCOMPARE(dialog.Chosen(), keep);
        }
        // Three selected, one of them already in the folder: two more.
        Select(form, {0, 1, 2});
        form.CopySelectedToFolder();
        QVERIFY(choices.back().checkBoxChecked);
        QCOMPARE(keep->display.size(), size_t{3});
        QCOMPARE(keep->MessageAt(0)->messageId, std::string("<2@x>"));
        QCOMPARE(keep->MessageAt(1)->messageId, std::string("<1@x>"));
        // Cancelled: nothing.
        answer = nullptr;
        form.CopySelectedToFolder();
        QCOMPARE(keep->display.size(), size_t{3});
        // Written at once: on disk before the window closes.
        QVERIFY(ReadFile(temp / "f" / "00000001.MSG").find("<3@x>") != std::string::npos);
        QVERIFY(dialogs.shown.empty());
    }

    void purgesOnExit() {
        for (const MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Yes}) {
            TempDir temp;
            const std::string areas = Packet(
                temp / "p",
                {Japanese(1, "一", "1"), Japanese(2, "二", "2"), Japanese(3, "三", "3")}, "- -");
            const std::string before = ReadFile(temp / "p" / "0000001.MSG");
            FakeDialogs dialogs;
            {
                TMainForm form({Q(areas)}, &dialogs);
                form.show();
                QVERIFY(QTest::qWaitForWindowExposed(&form));
                dialogs.answers = {answer};
                form.close();
                QCOMPARE(dialogs.shown.size(), size_t{1});
                QCOMPARE(U(dialogs.shown[0].text),
                         std::string("削除指定された記事を実際に削除して\nPelorinを終了します\n"
                                     "よろしいですか？"));
                QCOMPARE(dialogs.shown[0].buttons, MsgButtons::YesNoCancel);
                QCOMPARE(form.isVisible(), answer == MsgAnswer::Cancel);
                if (answer == MsgAnswer::Cancel) {
                    QCOMPARE(form.AreaTree()->PacketCount(), 1);
                    QVERIFY(!form.CurrentArea());
                }
            }
            TSoup soup((temp / "p").string());
            soup.LoadAreas();
            TGrp& area = *soup.AreaAt(0);
            area.SetSortType(0);
            area.Prepare();
            if (answer == MsgAnswer::Yes) {
                QCOMPARE(area.display.size(), size_t{1});
                QCOMPARE(area.MessageAt(0)->messageId, std::string("<2@x>"));
                QCOMPARE(area.MessageAt(0)->mark, ' ');
            } else {
                QCOMPARE(ReadFile(temp / "p" / "0000001.MSG"), before);
                QCOMPARE(area.display.size(), size_t{3});
                QCOMPARE(area.MessageAt(2)->mark, '-');
            }
        }
    }

    void aPurgeThatCannotBeWrittenIsReportedAndKeepsEverything() {
        TempDir temp;
        const std::string areas =
            Packet(temp / "p",
                   {Japanese(1, "一", "1"), Japanese(2, "二", "2"), Japanese(3, "三", "3")}, "- +");
        const std::string before = ReadFile(temp / "p" / "0000001.MSG");
        FakeDialogs dialogs;
        {
            TMainForm form({Q(areas)}, &dialogs);
            // The tree menu's purge: the area keeps its messages and marks in the list.
            form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
            dialogs.answers = {MsgAnswer::Ok};
            {
                FileSizeLimit limit(16);
                form.PurgeArea();
            }
            QCOMPARE(dialogs.shown.size(), size_t{2});
            QCOMPARE(dialogs.shown[1].icon, MsgIcon::Error);
            QVERIFY(U(dialogs.shown[1].text).find("fj.test") != std::string::npos);
            QCOMPARE(form.MessageList()->Count(), 3);
            QCOMPARE(form.MessageList()->MsgAt(0)->mark, '-');
            QCOMPARE(form.MessageList()->MsgAt(2)->mark, '+');
            // At exit, too.
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            dialogs.answers = {MsgAnswer::Yes};
            FileSizeLimit limit(16);
            form.close();
        }
        QCOMPARE(ReadFile(temp / "p" / "0000001.MSG"), before);
        TSoup soup((temp / "p").string());
        soup.LoadAreas();
        TGrp& area = *soup.AreaAt(0);
        area.SetSortType(0);
        area.Prepare();
        QCOMPARE(area.display.size(), size_t{3});
        QCOMPARE(area.MessageAt(0)->mark, '-');
        QCOMPARE(area.MessageAt(2)->mark, '+');
    }

    void delQuitAsksEvenWithoutMarksAndPurgesOnYes() {
        TempDir temp;
        const std::string areas =
            Packet(temp / "p", {Japanese(1, "一", "1"), Japanese(2, "二", "2")}, "  ");
        const std::string marked =
            Packet(temp / "q", {Japanese(1, "一", "1"), Japanese(2, "二", "2")});
        FakeDialogs dialogs;
        {
            TMainForm form({Q(areas), Q(marked)}, &dialogs);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            // No mark anywhere: closing asks nothing; 削除マークを処理して終了 asks all the same.
            dialogs.answers = {MsgAnswer::Cancel};
            form.Commands().Find("mnuDelQuit")->trigger();
            QCOMPARE(dialogs.shown.size(), size_t{1});
            QVERIFY(form.isVisible());
            // A mark made in the open area counts; Yes purges it once, without a second question.
            OpenArea(form, 1);
            Select(form, {}, 0);
            form.MarkCurrentAs('-');
            dialogs.answers = {MsgAnswer::Yes};
            form.DelQuit();
            QCOMPARE(dialogs.shown.size(), size_t{2});
            QVERIFY(!form.isVisible());
        }
        QCOMPARE(dialogs.shown.size(), size_t{2});
        QVERIFY(ReadFile(temp / "q" / "0000001.MSG").find("<1@x>") == std::string::npos);
        QVERIFY(ReadFile(temp / "q" / "0000001.MSG").find("<2@x>") != std::string::npos);
    }
};

QTEST_MAIN(ActionsTest)
#include "actions_test.moc"
