// Packets and areas in the main window: opening a packet builds its nodes (texts, counts,
// icons, expanded state, digest markers), a missing AREAS file offers a folder packet,
// already open packets are recognised without regard to case, the open dialog's choice is
// remembered, opening an area fills the list with the caption, counts and icons that go with
// it, the command states follow the selection, and closing a packet removes its nodes.
#include "app_testing.h"

#include "coding/cp932.h"
#include "store/inifile.h"

#include "app/status_line.h"
#include "view/msglistbox.h"

#include <QProgressBar>
#include <QTest>

#include <optional>
#include <unistd.h>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

QString NodeText(QTreeWidgetItem* node) {
    return node->text(0);
}

}  // namespace

class PacketsTest : public QObject {
    Q_OBJECT

private slots:
    void openingAPacketBuildsItsNodes() {
        TempDir temp;
        const std::string areas = CopyDemo(temp / "demo");
        WriteSettings(temp, "[Message]\r\nPackedStr=Digest\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(areas));
        QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
        QCOMPARE(NodeText(packet), Q((temp / "demo").string() + "/"));
        QCOMPARE(form.StatusLine()->Panel(1), Q((temp / "demo").string() + "/を開きました"));
        QVERIFY(packet->isExpanded());
        QCOMPARE(TAreaTree::IconOf(packet), 1);
        QCOMPARE(packet->childCount(), 3);
        // Counts are not known before an area was opened once.
        QCOMPARE(NodeText(packet->child(0)), QStringLiteral("(?\?)受信箱"));
        QCOMPARE(NodeText(packet->child(1)), QStringLiteral("(?\?)pelorin.test"));
        QCOMPARE(NodeText(packet->child(2)), QStringLiteral("(?\?)旅行メーリングリスト"));
        for (int i = 0; i < 3; ++i) QCOMPARE(TAreaTree::IconOf(packet->child(i)), 2);
        QVERIFY(form.AreaTree()->isEnabled());
        QVERIFY(!form.Busy());
        // Only mail areas with a digest format letter take the digest marker.
        QCOMPARE(TAreaTree::AreaOf(packet->child(0))->digestMarker, std::string());

        packet->setExpanded(false);
        QCOMPARE(TAreaTree::IconOf(packet), 0);
        form.close();
    }

    void packetsAreKnownWithoutRegardToCase() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "Pack", "area", 1, "bn");
        WriteSettings(temp, "[Message]\r\nPackedStr=Digest\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(!form.IsPacketOpen(areas));
        form.OpenChosenFile(areas);
        QVERIFY(form.IsPacketOpen(areas));
        QVERIFY(form.IsPacketOpen((temp / "PACK" / "areas").string()));
        QVERIFY(!form.IsPacketOpen((temp / "Pac" / "AREAS").string()));
        QCOMPARE(TAreaTree::AreaOf(form.AreaTree()->PacketNode(0)->child(0))->digestMarker,
                 std::string("Digest"));
        // The same packet again: nothing happens; a picture file is not a packet.
        form.OpenChosenFile((temp / "pack" / "AREAS").string());
        form.OpenChosenFile((temp / "pictures" / "cat.JPG").string());
        QCOMPARE(form.AreaTree()->PacketCount(), 1);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(form.Settings().ReadString("Files", "Last SOUP Packet", ""), areas);
        form.close();
    }

    void aMissingAreasFileOffersAFolderPacket() {
        TempDir temp;
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        const std::string areas = (temp / "new" / "folders" / "AREAS").string();
        dialogs.answers = {MsgAnswer::Cancel, MsgAnswer::Ok};
        QVERIFY(!form.OpenPacket(areas));
        QCOMPARE(form.AreaTree()->PacketCount(), 0);
        QCOMPARE(dialogs.shown.at(0).text,
                 areas + S("を") + "\n" + S("フォルダパケットとして作成しますか？"));
        QCOMPARE(dialogs.shown.at(0).buttons, MsgButtons::OkCancel);
        QVERIFY(!std::filesystem::exists(temp / "new"));

        QVERIFY(form.OpenPacket(areas));
        QTreeWidgetItem* node = form.AreaTree()->PacketNode(0);
        QCOMPARE(TAreaTree::PacketOf(node)->packetType, 1);
        QCOMPARE(node->childCount(), 0);
        QVERIFY(std::filesystem::is_directory(temp / "new" / "folders"));
        form.close();
        TIniF state((temp / "new" / "folders" / "GRPSTAT.PBS").string());
        QCOMPARE(state.ReadInteger("General", "PacketType", 0), 1);
    }

    void aMessageFileCutShortIsNamedOnce() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "fj.cut", 3);
        // The last message loses its last 7 bytes, as a transfer cut off would leave it.
        const std::filesystem::path msg = temp / "p" / "0000001.MSG";
        const std::string bytes = ReadFile(msg);
        WriteFile(msg, bytes.substr(0, bytes.size() - 7));
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        form.SelectArea('A');
        QCOMPARE(form.MessageList()->Count(), 3);
        QCOMPARE(form.StatusLine()->Panel(1),
                 QStringLiteral("fj.cut：メッセージファイルが途中で切れています（最後のメッセージの"
                                "7バイトがありません）"));
        // Once: opening the area again says nothing more.
        form.StatusLine()->SetPanel(1, QString());
        form.SelectArea('A');
        QCOMPARE(form.StatusLine()->Panel(1), QString());
        QVERIFY(dialogs.shown.empty());
    }

    void selectingAnAreaOpensItIntoTheList() {
        TempDir temp;
        const std::string demo = CopyDemo(temp / "demo");
        const std::string other = MakePacket(temp / "other", "other.group", 3);
        WriteSettings(temp, "[Display]\r\nListStrings=%s\r\n");
        FakeDialogs dialogs;
        TMainForm form({Q(demo), Q(other)}, &dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TAreaTree* tree = form.AreaTree();
        QTreeWidgetItem* demoNode = tree->PacketNode(0);
        QTreeWidgetItem* test = AreaNode(demoNode, "pelorin.test");

        // A packet node selected: the packet becomes current and can be closed.
        tree->setCurrentItem(demoNode);
        form.SelectArea('A');
        QCOMPARE(form.CurrentPacket(), TAreaTree::PacketOf(demoNode));
        QCOMPARE(form.CurrentArea(), nullptr);
        QVERIFY(form.Commands().Enabled("mnuClose"));

        tree->setCurrentItem(test);
        form.SelectArea('A');
        TGrp* area = TAreaTree::AreaOf(test);
        QCOMPARE(form.CurrentArea(), area);
        QCOMPARE(form.CurrentPacket(), TAreaTree::PacketOf(demoNode));
        QCOMPARE(form.windowTitle(), Q("Pelorin " + form.VersionText() + " - pelorin.test - "));
        const int total = static_cast<int>(area->display.size());
        QVERIFY(total > 0);
        QCOMPARE(form.MessageList()->Count(), total);
        QCOMPARE(form.MessageList()->FormatString(), std::string("%s"));
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("%1/%1").arg(total));
        QCOMPARE(NodeText(test), QStringLiteral("(%1)pelorin.test").arg(total));
        QCOMPARE(TAreaTree::IconOf(test), 3);
        QVERIFY(!form.ProgressBar()->isVisible());
        QVERIFY(!form.Commands().Enabled("mnuClose"));
        QVERIFY(form.Commands().Enabled("ftbToList"));
        QTRY_VERIFY(form.MessageList()->hasFocus());
        QCOMPARE(form.MessageList()->SelCount(), 0);

        // Another area: the first one's icon goes back, the list shows the new area, and a mark
        // selects and shows the first message that has it (which makes it read).
        QTreeWidgetItem* otherArea = tree->PacketNode(1)->child(0);
        TGrp* third = TAreaTree::AreaOf(otherArea);
        third->Prepare();
        third->display[0].msg->mark = ' ';
        tree->setCurrentItem(otherArea);
        form.SelectArea('*');
        QCOMPARE(TAreaTree::IconOf(test), 2);
        QCOMPARE(TAreaTree::IconOf(otherArea), 3);
        QCOMPARE(form.MessageList()->Count(), 3);
        QCOMPARE(form.MessageList()->ItemIndex(), 1);
        QVERIFY(form.MessageList()->IsSelected(1));
        QCOMPARE(form.CurrentMessage(), third->display[1].msg);
        QCOMPARE(NodeText(otherArea), QStringLiteral("(1)other.group"));
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("1/3"));
        // Leaving an area saves its changed marks.
        third->marksChanged = true;
        tree->setCurrentItem(test);
        form.SelectArea('A');
        QVERIFY(!third->marksChanged);
        QVERIFY(std::filesystem::exists(temp / "other" / "0000001.PBX"));
        form.close();
    }

    void aPacketThatCannotBeSavedIsNamed() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "some.group", 3);
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
        form.AreaTree()->setCurrentItem(packet->child(0));
        form.SelectArea('A');
        form.CurrentArea()->ReplaceMarks(' ', '*');
        // The mark file cannot be replaced: a directory stands where it goes.
        std::filesystem::create_directory(temp / "p" / "0000001.PBX");
        form.AreaTree()->setCurrentItem(packet);
        form.ClosePacket();
        QCOMPARE(form.AreaTree()->PacketCount(), 0);
        QCOMPARE(dialogs.shown.size(), size_t(1));
        QCOMPARE(dialogs.shown[0].icon, MsgIcon::Error);
        // The area's caption, the file and the reason, the system's words included.
        const std::string expected = "some.group" + S(" のファイルを保存できませんでした。") +
                                     "\n" + (temp / "p" / "0000001.PBX").string() + "\n" +
                                     S("ファイルを置き換えられません（");
        QCOMPARE(dialogs.shown[0].text.substr(0, expected.size()), expected);
        QVERIFY(dialogs.shown[0].text.size() > expected.size() + 4);
        form.close();
    }

    void anUnwritablePacketIsNamedOnceWhenItOpens_data() {
        QTest::addColumn<bool>("readOnlyDirectory");
        QTest::newRow("full disk") << false;
        QTest::newRow("read-only directory") << true;
    }

    void anUnwritablePacketIsNamedOnceWhenItOpens() {
        QFETCH(bool, readOnlyDirectory);
        if (readOnlyDirectory && ::geteuid() == 0)
            QSKIP("root writes into read-only directories");
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "some.group", 3);
        MakePacket(temp / "p2", "other.group", 2);
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        const auto dir = temp / "p";
        std::optional<FileSizeLimit> full;
        if (readOnlyDirectory)
            std::filesystem::permissions(dir, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
        else
            full.emplace(0);
        QVERIFY(form.OpenPacket(areas));
        QCOMPARE(dialogs.shown.size(), size_t(1));
        QCOMPARE(dialogs.shown[0].icon, MsgIcon::Warning);
        const std::string told = dialogs.shown[0].text;
        QVERIFY(told.find(dir.string() + "/") != std::string::npos);
        QVERIFY(told.find(S("このパケットのマークや変更は保存されません。")) != std::string::npos);

        // Reading on, switching areas and closing: no further box, the status line says it.
        QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
        form.AreaTree()->setCurrentItem(packet->child(0));
        form.SelectArea('A');
        form.CurrentArea()->ReplaceMarks(' ', '*');
        form.AreaTree()->setCurrentItem(packet->child(0));
        form.SelectArea('A');
        QVERIFY(
            form.StatusLine()->currentMessage().contains(QStringLiteral("保存できませんでした")));
        form.AreaTree()->setCurrentItem(packet);
        form.ClosePacket();
        QCOMPARE(dialogs.shown.size(), size_t(1));
        full.reset();
        if (readOnlyDirectory)
            std::filesystem::permissions(dir, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        // A writable packet says nothing.
        QVERIFY(form.OpenPacket((temp / "p2" / "AREAS").string()));
        QCOMPARE(dialogs.shown.size(), size_t(1));
        form.close();
    }

    // Enter opens the area under the cursor; Shift+Enter does not, even when Shift comes up
    // before Enter does.
    void enterInTheTreeTakesTheModifiersOfThePress() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "p", "some.group", 2);
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        QTreeWidget* tree = form.AreaTree();
        tree->setCurrentItem(form.AreaTree()->PacketNode(0)->child(0));
        QTest::keyPress(tree, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyRelease(tree, Qt::Key_Shift, Qt::NoModifier);
        QTest::keyRelease(tree, Qt::Key_Return, Qt::NoModifier);
        QVERIFY(!form.CurrentArea());
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(form.CurrentArea());
        form.close();
    }

    void foldersHaveTheirOwnIcons() {
        TempDir temp;
        const std::string areas = MakePacket(temp / "folders", "saved", 2, "uc");
        WriteFile(temp / "folders" / "GRPSTAT.PBS", "[General]\r\nPacketType=1\r\n");
        FakeDialogs dialogs;
        TMainForm form({Q(areas)}, &dialogs);
        QTreeWidgetItem* area = form.AreaTree()->PacketNode(0)->child(0);
        QCOMPARE(TAreaTree::IconOf(area), 4);
        form.AreaTree()->setCurrentItem(area);
        form.SelectArea('A');
        QCOMPARE(TAreaTree::IconOf(area), 5);
        form.close();
    }

    void closingAPacketRemovesItsNodes() {
        TempDir temp;
        const std::string demo = CopyDemo(temp / "demo");
        const std::string other = MakePacket(temp / "other", "other.group", 3);
        FakeDialogs dialogs;
        TMainForm form({Q(demo), Q(other)}, &dialogs);
        TAreaTree* tree = form.AreaTree();
        QTreeWidgetItem* area = tree->PacketNode(0)->child(0);
        tree->setCurrentItem(area);
        form.SelectArea('A');
        QVERIFY(form.MessageList()->Count() > 0);

        form.ClosePacket();  // an area node is selected: nothing happens
        QCOMPARE(tree->PacketCount(), 2);

        tree->PacketNode(0)->setExpanded(false);
        tree->setCurrentItem(tree->PacketNode(0));
        form.ClosePacket();
        QCOMPARE(tree->PacketCount(), 1);
        QCOMPARE(TAreaTree::PacketOf(tree->PacketNode(0))->directory,
                 (temp / "other").string() + "/");
        QCOMPARE(form.MessageList()->Count(), 0);
        QCOMPARE(form.CurrentArea(), nullptr);
        QCOMPARE(form.CurrentPacket(), nullptr);
        QVERIFY(!form.Commands().Enabled("mnuClose"));
        TIniF state((temp / "demo" / "GRPSTAT.PBS").string());
        QCOMPARE(state.ReadString("General", "Expanded", "?"), std::string("N"));
        QVERIFY(dialogs.shown.empty());

        // Reopened, the packet comes back collapsed.
        QVERIFY(form.OpenPacket(demo));
        QVERIFY(!tree->PacketNode(1)->isExpanded());
        form.close();
    }
};

QTEST_MAIN(PacketsTest)
#include "packets_test.moc"
