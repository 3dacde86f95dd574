// Reading in the main window, on generated packets: next unread with nothing selected and
// across the areas of one packet (never into the next packet; Space after the last unread
// message keeps it shown and says so), previous at the first row, the history (back,
// truncation, one entry per message, reopening another area), cross-posts marked read in
// received packets only, the tabs of one- and three-part messages, the header switch, Rot13
// twice, keys through their bindings (Space paging then moving on, contexts, the modifiers
// of the press when the modifier is let go first), MarkAll with arguments, reordering areas
// kept after shutdown, and printing to PDF.
#include "app_testing.h"

#include "store/inifile.h"

#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

struct Message {
    std::string id;     // without brackets
    std::string extra;  // more header lines, each ending in "\n"
    std::string body = "Body\n";
};

std::string Rnews(const std::vector<Message>& messages) {
    std::string file;
    for (const Message& m : messages) {
        const std::string text = "From: a@example.com\nSubject: S " + m.id +
                                 "\nDate: Mon, 1 Jan 2024 10:00:00 +0900\nMessage-ID: <" + m.id +
                                 "@x>\n" + m.extra + "\n" + m.body;
        file += "#! rnews " + std::to_string(text.size()) + "\n" + text;
    }
    return file;
}

// A packet of areas "0000001" ... named `names`, each with its messages; returns AREAS.
std::string MakeAreas(const std::filesystem::path& dir,
                      const std::vector<std::pair<std::string, std::vector<Message>>>& areas) {
    std::filesystem::create_directories(dir);
    std::string list;
    for (size_t i = 0; i < areas.size(); ++i) {
        const std::string prefix = "000000" + std::to_string(i + 1);
        WriteFile(dir / (prefix + ".MSG"), Rnews(areas[i].second));
        list += prefix + "\t" + areas[i].first + "\tun\n";
    }
    WriteFile(dir / "AREAS", list);
    return (dir / "AREAS").string();
}

std::vector<Message> Plain(const std::string& stem, int n) {
    std::vector<Message> messages;
    for (int i = 1; i <= n; ++i) messages.push_back({stem + std::to_string(i), ""});
    return messages;
}

void Open(TMainForm& form, QTreeWidgetItem* node) {
    form.AreaTree()->setCurrentItem(node);
    form.SelectArea('A');
}

std::string Shown(TMainForm& form) {
    return form.CurrentMessage() ? form.CurrentMessage()->messageId : std::string();
}

}  // namespace

class ReadingTest : public QObject {
    Q_OBJECT

private slots:
    void nextUnreadWalksTheAreasOfOnePacket() {
        TempDir temp;
        const std::string first = MakeAreas(
            temp / "p1", {{"g.one", Plain("a", 2)}, {"g.empty", {}}, {"g.two", Plain("b", 1)}});
        const std::string second = MakeAreas(temp / "p2", {{"g.three", Plain("c", 1)}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(first));
        QVERIFY(form.OpenPacket(second));
        QTreeWidgetItem* p1 = form.AreaTree()->PacketNode(0);
        Open(form, p1->child(0));
        QCOMPARE(form.MessageList()->ItemIndex(), -1);

        // Nothing selected: the first unread row is selected and shown.
        form.StepNext(true, '*');
        QCOMPARE(Shown(form), std::string("<a1@x>"));
        QCOMPARE(form.MessageList()->ItemIndex(), 0);
        QCOMPARE(form.MessageList()->MsgAt(0)->mark, ' ');
        QCOMPARE(form.StatusLine()->Panel(0), QStringLiteral("1/2"));
        QCOMPARE(p1->child(0)->text(0), QStringLiteral("(1)g.one"));
        form.StepNext(true, '*');
        QCOMPARE(Shown(form), std::string("<a2@x>"));
        // The end of the area: on to the next area with unread messages, skipping the empty one.
        form.StepNext(true, '*');
        QCOMPARE(form.CurrentArea()->areaName, std::string("g.two"));
        QCOMPARE(Shown(form), std::string("<b1@x>"));
        QCOMPARE(form.CurrentArea()->CountMarked('*'), 0);
        // After the packet's last such area nothing more happens: never into p2.
        form.StepNext(true, '*');
        QCOMPARE(form.CurrentArea()->areaName, std::string("g.two"));
        QCOMPARE(form.AreaTree()->currentItem(), p1->child(2));

        // An area node selected but not open: next unread opens it and shows its first unread
        // message (not the second one).
        form.AreaTree()->setCurrentItem(p1->child(0));
        form.MarkAllAs('*', ' ');
        QCOMPARE(p1->child(0)->text(0), QStringLiteral("(2)g.one"));
        form.ClosePacket();  // nothing: an area node is selected
        QCOMPARE(form.AreaTree()->PacketCount(), 2);
        form.AreaTree()->setCurrentItem(p1);
        form.ClosePacket();
        QCOMPARE(form.AreaTree()->PacketCount(), 1);
        QVERIFY(form.OpenPacket(first));
        p1 = form.AreaTree()->PacketNode(1);
        form.AreaTree()->setCurrentItem(p1->child(0));
        form.StepNext(true, '*');
        QCOMPARE(Shown(form), std::string("<a1@x>"));

        // Plain previous at the first row and plain next at the last do nothing.
        Open(form, p1->child(0));
        form.StepNext(false, 0);
        QCOMPARE(form.MessageList()->ItemIndex(), 0);
        form.StepPrev(true);
        QCOMPARE(form.MessageList()->ItemIndex(), 0);
        form.StepNext(true, 0);
        form.StepNext(true, 0);
        QCOMPARE(form.MessageList()->ItemIndex(), 1);
        QVERIFY(dialogs.shown.empty());
        form.close();
    }

    void historyGoesBackAndAcrossAreas() {
        TempDir temp;
        const std::string areas =
            MakeAreas(temp / "p", {{"g.one", Plain("a", 4)}, {"g.two", Plain("b", 1)}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(areas));
        QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
        Open(form, packet->child(0));
        QVERIFY(!form.Commands().Enabled("ftbPrevHist"));
        form.StepNext(true, 0);  // a1
        form.StepNext(true, 0);  // a2
        form.StepNext(true, 0);  // a3
        QCOMPARE(form.History().Count(), 3);
        QVERIFY(form.Commands().Enabled("ftbPrevHist"));
        form.HistoryBack();
        QCOMPARE(Shown(form), std::string("<a2@x>"));
        QVERIFY(form.Commands().Enabled("ftbNextHist"));
        form.DisplayMessage();  // the same message again: no new entry
        QCOMPARE(form.History().Count(), 3);
        form.StepNext(true, 0);  // a3 again truncates nothing new: it is the next entry's id
        form.HistoryBack();
        form.StepNext(true, 0);
        form.StepNext(true, 0);  // a4 after a3 truncates
        QCOMPARE(form.History().Entries().back().messageId, std::string("<a4@x>"));
        QVERIFY(!form.Commands().Enabled("ftbNextHist"));

        // An entry in another area reopens it.
        Open(form, packet->child(1));
        form.StepNext(true, 0);
        QCOMPARE(Shown(form), std::string("<b1@x>"));
        form.HistoryBack();
        QCOMPARE(form.CurrentArea()->areaName, std::string("g.one"));
        QCOMPARE(Shown(form), std::string("<a4@x>"));
        QCOMPARE(form.MessageList()->ItemIndex(), 3);
        form.HistoryForward();
        QCOMPARE(form.CurrentArea()->areaName, std::string("g.two"));
        form.close();
    }

    void crossPostsBecomeReadInReceivedPacketsOnly() {
        TempDir temp;
        const std::string received =
            MakeAreas(temp / "in", {{"fj.a", {{"x", "Newsgroups: fj.a, fj.b\n"}}},
                                    {"fj.b", {{"x", "Newsgroups: fj.a, fj.b\n"}, {"y", ""}}},
                                    {"b", {{"x", ""}}}});
        const std::string folders = MakeAreas(temp / "fold", {{"fj.b", {{"x", ""}}}});
        WriteFile(temp / "fold" / "GRPSTAT.PBS", "[General]\r\nPacketType=1\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(received));
        QVERIFY(form.OpenPacket(folders));
        QTreeWidgetItem* in = form.AreaTree()->PacketNode(0);
        QTreeWidgetItem* fold = form.AreaTree()->PacketNode(1);
        Open(form, in->child(0));
        form.StepNext(true, '*');
        QCOMPARE(Shown(form), std::string("<x@x>"));
        TGrp* b = TAreaTree::AreaOf(in->child(1));
        QCOMPARE(b->CountMarked('*'), 1);  // y is still unread
        QVERIFY(b->IsSeen("<x@x>"));
        QVERIFY(!TAreaTree::AreaOf(in->child(2))->IsSeen("<x@x>"));  // "b" is not "fj.b"
        TGrp* folder = TAreaTree::AreaOf(fold->child(0));
        QCOMPARE(TAreaTree::PacketOf(fold)->packetType, 1);
        QVERIFY(!folder->IsSeen("<x@x>"));
        form.close();
    }

    void tabsHeadersAndRot13() {
        TempDir temp;
        const std::string multipart =
            "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n";
        const std::string body =
            "--b\nContent-Type: text/plain\n\nHello\n--b\nContent-Type: text/plain\n\nTwo\n"
            "--b\nContent-Type: application/octet-stream; name=\"f.bin\"\n"
            "Content-Transfer-Encoding: base64\n\nAAAA\n--b--\n";
        const std::string areas = MakeAreas(
            temp / "p",
            {{"g", {{"one", "", "Abc xyz\n"}, {"three", multipart, body}, {"R&D", "", "text\n"}}}});
        WriteSettings(temp, "[Display]\r\nMessageTabString=<%s>\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(areas));
        Open(form, form.AreaTree()->PacketNode(0)->child(0));
        form.StepNext(true, 0);
        QTabBar* tabs = form.MimeTab();
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QStringLiteral("<S one>"));
        QCOMPARE(form.TextView()->Lines(), (TSList{"", "Abc xyz"}));
        form.Rot13Part();
        QCOMPARE(form.TextView()->Lines(), (TSList{"", "Nop klm"}));
        form.Rot13Part();
        QCOMPARE(form.TextView()->Lines(), (TSList{"", "Abc xyz"}));

        form.StepNext(true, 0);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("<S three>(text/plain)"));
        // An "&" of the subject stays a character (doubled, so the tab shows one, no shortcut).
        form.StepNext(true, 0);
        QCOMPARE(tabs->tabText(0), QStringLiteral("<S R&&D>"));
        form.StepPrev(true);
        QCOMPARE(tabs->tabText(2), QStringLiteral("(application/octet-stream):f.bin"));
        QCOMPARE(form.TextView()->Lines(), (TSList{"", "Hello"}));
        form.NextPart();
        QCOMPARE(form.TextView()->Lines(), (TSList{"", "Two"}));
        form.NextPart();
        form.NextPart();  // on the last tab: the same part again
        QCOMPARE(tabs->currentIndex(), 2);
        form.PrevPart();
        QCOMPARE(form.TextView()->Lines(), (TSList{"", "Two"}));

        // Headers on: the same tabs, each the header block above the part as it reads without.
        form.Commands().Find("K7")->trigger();
        QCOMPARE(tabs->count(), 3);
        const TSList& lines = form.TextView()->Lines();
        QCOMPARE(lines.front(), std::string("From: a@example.com"));
        QVERIFY(std::find(lines.begin(), lines.end(), "--b--") == lines.end());
        QCOMPARE(lines.back(), std::string("Hello"));
        QCOMPARE(form.Settings().ReadString("Display", "ShowHeaders", "?"), std::string("Y"));
        form.close();
    }

    void keysRunTheirBindings() {
        TempDir temp;
        std::vector<Message> longOne = {{"long", ""}, {"next", ""}};
        for (int i = 0; i < 200; ++i) longOne[0].body += "line " + std::to_string(i) + "\n";
        const std::string areas = MakeAreas(temp / "p", {{"g", longOne}});
        WriteSettings(temp, "[KeyBind]\r\n_N@s=NextMessage\r\n_Z=MarkAll(-,*)\r\n");
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.resize(600, 400);
        QVERIFY(form.OpenPacket(areas));
        Open(form, form.AreaTree()->PacketNode(0)->child(0));
        // Space pages through the message, then moves on to the next unread one.
        QVERIFY(form.FormKeyUp(Qt::Key_Space, Qt::NoModifier));
        QCOMPARE(Shown(form), std::string("<long@x>"));
        int pages = 0;
        while (Shown(form) == "<long@x>" && pages < 100) {
            QVERIFY(form.FormKeyUp(Qt::Key_Space, Qt::NoModifier));
            ++pages;
        }
        QVERIFY(pages > 1);
        QCOMPARE(Shown(form), std::string("<next@x>"));
        QCOMPARE(form.CurrentArea()->CountMarked('*'), 0);
        // A key without a binding reaches the focused control.
        QVERIFY(!form.FormKeyUp(Qt::Key_Tab, Qt::NoModifier));
        QVERIFY(!form.FormKeyUp(Qt::Key_X, Qt::NoModifier));
        form.close();
    }

    void bindingsTakeTheModifiersOfThePress_data() {
        QTest::addColumn<int>("modifier");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("sortType");  // -1: the header switch
        QTest::newRow("Shift+T") << int(Qt::ShiftModifier) << int(Qt::Key_T) << 1;
        QTest::newRow("Shift+S") << int(Qt::ShiftModifier) << int(Qt::Key_S) << 2;
        QTest::newRow("Shift+A") << int(Qt::ShiftModifier) << int(Qt::Key_A) << 3;
        QTest::newRow("Shift+D") << int(Qt::ShiftModifier) << int(Qt::Key_D) << 4;
        QTest::newRow("Shift+N") << int(Qt::ShiftModifier) << int(Qt::Key_N) << 0;
        QTest::newRow("Ctrl+H") << int(Qt::ControlModifier) << int(Qt::Key_H) << -1;
    }

    // Typed quickly, the modifier often comes up before the key: the binding is still the one
    // of the keys as they went down.
    void bindingsTakeTheModifiersOfThePress() {
        QFETCH(int, modifier);
        QFETCH(int, key);
        QFETCH(int, sortType);
        TempDir temp;
        const std::string areas = MakeAreas(temp / "p", {{"g", Plain("m", 3)}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(areas));
        Open(form, form.AreaTree()->PacketNode(0)->child(0));
        form.StepNext(true, 0);
        QCOMPARE(Shown(form), std::string("<m1@x>"));
        form.Settings().WriteInteger("Display", "SortType", 9);
        QWidget* list = form.MessageList();
        const auto mod = Qt::KeyboardModifiers(modifier);
        const Qt::Key modifierKey = mod == Qt::ShiftModifier ? Qt::Key_Shift : Qt::Key_Control;

        QTest::keyPress(list, Qt::Key(key), mod);  // the modifier goes down, then the key
        QTest::keyRelease(list, modifierKey, Qt::NoModifier);
        QTest::keyRelease(list, Qt::Key(key), Qt::NoModifier);
        if (sortType >= 0) {
            QCOMPARE(form.Settings().ReadInteger("Display", "SortType", -1), sortType);
            QCOMPARE(Shown(form), std::string());  // the area was reopened
        } else {
            QVERIFY(form.Commands().Checked("K7"));
            QCOMPARE(Shown(form), std::string("<m1@x>"));
            QCOMPARE(form.TextView()->Lines().front(), std::string("From: a@example.com"));
        }
        QCOMPARE(form.MessageList()->ItemIndex(), sortType >= 0 ? -1 : 0);

        // A release whose press went elsewhere runs nothing; a whole press of N runs _N.
        QTest::keyRelease(list, Qt::Key_N, Qt::NoModifier);
        QCOMPARE(form.MessageList()->ItemIndex(), sortType >= 0 ? -1 : 0);
        QTest::keyClick(list, Qt::Key_N);
        QCOMPARE(form.MessageList()->ItemIndex(), sortType >= 0 ? 0 : 1);
        QVERIFY(form.CurrentMessage());
        QVERIFY(dialogs.shown.empty());
        form.close();
    }

    void spaceAfterTheLastUnreadMessageKeepsItShown() {
        TempDir temp;
        const std::string first =
            MakeAreas(temp / "p1", {{"g.one", Plain("a", 2)}, {"g.two", Plain("b", 1)}});
        const std::string second = MakeAreas(temp / "p2", {{"g.three", Plain("c", 1)}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.resize(800, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.OpenPacket(first));
        QVERIFY(form.OpenPacket(second));
        QTreeWidgetItem* p1 = form.AreaTree()->PacketNode(0);
        form.activateWindow();
        form.AreaTree()->setCurrentItem(p1->child(0));
        form.AreaTree()->setFocus();
        auto space = [&] {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target ? target : form.AreaTree(), Qt::Key_Space);
        };
        for (int presses = 0; presses < 20 && Shown(form) != "<b1@x>"; ++presses) space();
        QCOMPARE(Shown(form), std::string("<b1@x>"));
        QCOMPARE(TAreaTree::AreaOf(p1->child(0))->CountMarked('*'), 0);
        QCOMPARE(TAreaTree::AreaOf(p1->child(1))->CountMarked('*'), 0);

        // Nowhere left in this packet (p2 is not entered): the message stays shown and
        // selected, and the status line says why nothing moved. Again and again: no step
        // pages past the end.
        for (int i = 0; i < 3; ++i) {
            space();
            QCOMPARE(form.CurrentArea()->areaName, std::string("g.two"));
            QCOMPARE(Shown(form), std::string("<b1@x>"));
            QCOMPARE(form.MessageList()->ItemIndex(), 0);
            QVERIFY(form.MessageList()->IsSelected(0));
            QCOMPARE(form.TextView()->Lines().back(), std::string("Body"));
            QCOMPARE(form.TextView()->TopLine(), 0);
            QCOMPARE(form.StatusLine()->Panel(1), QStringLiteral("未読メッセージはありません"));
        }
        // Showing a message again takes the status line back.
        form.DisplayMessage();
        QCOMPARE(form.StatusLine()->Panel(1), QString());
        QCOMPARE(TAreaTree::AreaOf(form.AreaTree()->PacketNode(1)->child(0))->CountMarked('*'), 1);
        form.close();
    }

    void clicksOnTheTextFollowLinks() {
        TempDir temp;
        const std::string areas =
            MakeAreas(temp / "p", {{"g",
                                    {{"one", "", "http://example.com/x\n<two@x>\n<none@x>\n"},
                                     {"two", ""},
                                     {"three", ""}}}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        form.resize(800, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        std::vector<std::string> opened;
        form.SetUrlOpener([&](const std::string& url) { opened.push_back(url); });
        QVERIFY(form.OpenPacket(areas));
        Open(form, form.AreaTree()->PacketNode(0)->child(0));
        // The list has the focus now, yet no row is the focus item: next shows the first.
        QTRY_VERIFY(form.MessageList()->hasFocus());
        QCOMPARE(form.MessageList()->ItemIndex(), -1);
        form.StepNext(true, 0);
        QCOMPARE(Shown(form), std::string("<one@x>"));
        TTextView* view = form.TextView();
        auto clickLine = [&](int line) {
            const int y = line * view->LineHeight() + view->LineHeight() / 2;
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(12, y));
        };
        // A URL opens in the browser and does not page forward.
        clickLine(1);
        QCOMPARE(opened, std::vector<std::string>{"http://example.com/x"});
        QCOMPARE(Shown(form), std::string("<one@x>"));
        // A missing Message-ID says so; a present one is shown.
        clickLine(3);
        QCOMPARE(dialogs.shown.size(), size_t(1));
        QVERIFY(dialogs.shown[0].text.find("<none@x>") != std::string::npos);
        clickLine(2);
        QCOMPARE(Shown(form), std::string("<two@x>"));
        // Elsewhere the mouse binding runs: _<LBUTTON> pages on, then the next unread.
        clickLine(20);
        QCOMPARE(Shown(form), std::string("<three@x>"));
        form.close();
    }

    void markAllTakesItsArguments() {
        TempDir temp;
        const std::string areas = MakeAreas(temp / "p", {{"g", Plain("m", 3)}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        QVERIFY(form.OpenPacket(areas));
        QTreeWidgetItem* node = form.AreaTree()->PacketNode(0)->child(0);
        Open(form, node);
        QVERIFY(form.ExecuteBinding("MarkAll( ,*)"));
        QCOMPARE(form.CurrentArea()->CountMarked(' '), 3);
        QCOMPARE(node->text(0), QStringLiteral("(0)g"));
        QVERIFY(form.ExecuteBinding("MarkAll(*, )"));
        QCOMPARE(form.CurrentArea()->CountMarked('*'), 3);
        QVERIFY(form.ExecuteBinding("MarkAll()"));  // empty arguments change nothing
        QCOMPARE(form.CurrentArea()->CountMarked('*'), 3);
        QVERIFY(!form.ExecuteBinding("NoSuchFunction"));
        form.MessageList()->SetItemIndex(1);
        QVERIFY(form.ExecuteBinding("MarkDelete"));
        QCOMPARE(form.MessageList()->MsgAt(1)->mark, '-');
        form.close();
    }

    void listOrderCommandsSortAndCheckOneButton() {
        TempDir temp;
        const std::string areas = MakeAreas(temp / "p", {{"g", Plain("m", 3)}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        TCommandSet& c = form.Commands();
        c.Find("ftbDispDate")->trigger();  // no area open: only stored
        QCOMPARE(form.Settings().ReadInteger("Display", "SortType", -1), 4);
        QVERIFY(c.Checked("mnuDispDate"));
        QVERIFY(form.OpenPacket(areas));
        QTreeWidgetItem* node = form.AreaTree()->PacketNode(0)->child(0);
        Open(form, node);
        form.AreaTree()->setCurrentItem(form.AreaTree()->PacketNode(0));
        c.Find("mnuDispSubj")->trigger();
        QCOMPARE(form.Settings().ReadInteger("Display", "SortType", -1), 2);
        QCOMPARE(form.CurrentArea()->sortType, 2);
        QCOMPARE(form.AreaTree()->currentItem(), node);  // the open area was the one reopened
        QCOMPARE(form.MessageList()->Count(), 3);
        for (const char* name : {"ftbDispThread", "ftbDispFrom", "ftbDispDate", "ftbDispNone"})
            QVERIFY(!c.Checked(name));
        QVERIFY(c.Checked("ftbDispSubj"));
        c.Find("ftbDispSubj")->trigger();  // clicking the pressed button keeps it pressed
        QVERIFY(c.Checked("ftbDispSubj"));
        QVERIFY(form.ExecuteBinding("NoneSort"));
        QVERIFY(c.Checked("mnuDispNoSort"));
        QCOMPARE(form.CurrentArea()->sortType, 0);
        form.close();
    }

    void reorderedAreasAreKeptAfterShutdown() {
        TempDir temp;
        const std::string areas = MakeAreas(
            temp / "p", {{"g.a", Plain("a", 1)}, {"g.b", Plain("b", 1)}, {"g.c", Plain("c", 1)}});
        FakeDialogs dialogs;
        {
            TMainForm form({}, &dialogs);
            QVERIFY(form.OpenPacket(areas));
            QTreeWidgetItem* packet = form.AreaTree()->PacketNode(0);
            form.TvMenuPopup(packet->child(2));
            QVERIFY(form.Commands().Enabled("pmnFirst"));
            form.PmnFirst();
            QCOMPARE(TAreaTree::AreaOf(packet->child(0))->areaName, std::string("g.c"));
            form.TvMenuPopup(packet->child(1));  // g.a
            form.PmnDown();
            QCOMPARE(TAreaTree::AreaOf(packet->child(2))->areaName, std::string("g.a"));
            form.TvMenuPopup(packet);
            QVERIFY(!form.Commands().Enabled("pmnUp"));
            form.close();
        }
        TMainForm again({}, &dialogs);
        QVERIFY(again.OpenPacket(areas));
        QTreeWidgetItem* packet = again.AreaTree()->PacketNode(0);
        QCOMPARE(TAreaTree::AreaOf(packet->child(0))->areaName, std::string("g.c"));
        QCOMPARE(TAreaTree::AreaOf(packet->child(1))->areaName, std::string("g.b"));
        QCOMPARE(TAreaTree::AreaOf(packet->child(2))->areaName, std::string("g.a"));
        again.close();
    }

    void printingWritesTheHeaderLines_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("both lists empty")
            << QString() << QStringList{QStringLiteral("line one")}
            << QStringList{QStringLiteral("printed by"), QStringLiteral("Title")};
        QTest::newRow("three left, one right")
            << QStringLiteral(
                   "PrintLeftHeader0=Title %s\r\nPrintLeftHeader1=Who %F\r\n"
                   "PrintLeftHeader2=Third\r\nPrintRightHeader0=RightSide\r\n")
            << QStringList{QStringLiteral("Title S pr"), QStringLiteral("Who a@example.com"),
                           QStringLiteral("Third"), QStringLiteral("RightSide"),
                           QStringLiteral("line one")}
            << QStringList{};
    }

    void printingWritesTheHeaderLines() {
        QFETCH(QString, settings);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);
        TempDir temp;
        const std::string areas =
            MakeAreas(temp / "p", {{"g", {{"pr", "", "line one\nline two\n"}}}});
        FakeDialogs dialogs;
        TMainForm form({}, &dialogs);
        // The settings written before start-up would get the defaults back; set them now.
        TIniF& ini = form.Settings();
        ini.EraseSection("Print");
        for (const QString& line : settings.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const auto parts = line.split(QLatin1Char('='));
            ini.WriteString("Print", parts[0].toStdString(), parts[1].toStdString());
        }
        QVERIFY(!form.PrintMessage(*std::make_unique<QPrinter>()));  // no message yet
        QVERIFY(form.OpenPacket(areas));
        Open(form, form.AreaTree()->PacketNode(0)->child(0));
        form.StepNext(true, 0);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = QString::fromStdString((temp / "out.pdf").string());
        printer.setOutputFileName(pdf);
        QVERIFY(form.PrintMessage(printer));
        QCOMPARE(form.TextView()->PrintTopMergine(), 100);
        QVERIFY(std::filesystem::file_size((temp / "out.pdf")) > 0);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QProcess extract;
        extract.start(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(extract.waitForFinished(30000));
        const QString text = QString::fromUtf8(extract.readAllStandardOutput());
        for (const QString& e : expected) QVERIFY2(text.contains(e), qPrintable(text));
        for (const QString& a : absent) QVERIFY2(!text.contains(a), qPrintable(text));
        if (!absent.isEmpty())
            QVERIFY(text.trimmed().startsWith(QStringLiteral("line one")));
        else
            QCOMPARE(text.count(QStringLiteral("RightSide")), 1);
        form.close();
    }
};

QTEST_MAIN(ReadingTest)
#include "reading_test.moc"
