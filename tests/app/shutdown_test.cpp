// Shutdown: with three packets open, closing the window stores each packet's area order as
// the tree shows it and its expanded state, then the window bounds and pane sizes, then the
// toolbar sections; the next start shows the areas in that order and the packets as they were
// left. Toolbar places (sides, rows, floating) come back as they were.
#include "app_testing.h"

#include "store/inifile.h"

#include "app/toolbars.h"

#include <QSplitter>
#include <QTest>
#include <QToolBar>

using namespace pelorin;
using namespace pelorin::testing;

namespace {

std::vector<std::string> AreaNames(QTreeWidgetItem* packetNode) {
    std::vector<std::string> names;
    for (int i = 0; i < packetNode->childCount(); ++i)
        names.push_back(TAreaTree::AreaOf(packetNode->child(i))->areaName);
    return names;
}

}  // namespace

class ShutdownTest : public QObject {
    Q_OBJECT

private slots:
    void storesAreaOrderExpandedStateAndBounds() {
        TempDir temp;
        const std::string demo = CopyDemo(temp / "demo");
        const std::string second = MakePacket(temp / "second", "second.group", 2);
        const std::string third = MakePacket(temp / "third", "third.group", 2);
        WriteSettings(temp, "[Window]\r\nWidth=800\r\nHeight=500\r\nCutPattern=Left\r\n");
        FakeDialogs dialogs;
        {
            TMainForm form({Q(demo), Q(second), Q(third)}, &dialogs);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            TAreaTree* tree = form.AreaTree();
            QCOMPARE(tree->PacketCount(), 3);
            // The last area of the demo goes first; the second packet is collapsed.
            QTreeWidgetItem* demoNode = tree->PacketNode(0);
            demoNode->insertChild(0, demoNode->takeChild(2));
            tree->PacketNode(1)->setExpanded(false);
            // An area that was opened and had its marks changed is saved on the way out.
            tree->setCurrentItem(tree->PacketNode(2)->child(0));
            form.SelectArea('A');
            form.CurrentArea()->ReplaceMarks(' ', '*');
            form.Panes()->MoveBorder(7, 3);
            form.resize(820, 510);
            form.close();
        }
        QVERIFY(dialogs.shown.empty());

        TIniF demoState((temp / "demo" / "GRPSTAT.PBS").string());
        QCOMPARE(demoState.ReadSection("Groups"), (TSList{"ml.tabi", "mail", "pelorin.test"}));
        QCOMPARE(demoState.ReadString("General", "Expanded", "?"), std::string("Y"));
        TIniF secondState((temp / "second" / "GRPSTAT.PBS").string());
        QCOMPARE(secondState.ReadString("General", "Expanded", "?"), std::string("N"));
        QCOMPARE(secondState.ReadSection("Groups"), TSList{"second.group"});
        QVERIFY(std::filesystem::exists(temp / "third" / "0000001.PBX"));
        TIniF thirdState((temp / "third" / "GRPSTAT.PBS").string());
        QCOMPARE(thirdState.ReadInteger("third.group", "UnreadMsgs", -1), 0);

        TIniF ini((temp.home() / "pelorin.INI").string());
        QCOMPARE(ini.ReadInteger("Window", "Width", 0), 820);
        QCOMPARE(ini.ReadInteger("Window", "Height", 0), 510);
        QCOMPARE(ini.ReadInteger("Window", "BWidth", 0), 103);  // stacked: the strip's width
        QCOMPARE(ini.ReadInteger("Window", "BHeight", 0), 87);  // and Panel2's height
        const TSList sections = ini.ReadSections();
        const auto window = std::find(sections.begin(), sections.end(), "Window");
        const auto toolbar = std::find(sections.begin(), sections.end(), "ToolbarFile");
        QVERIFY(window != sections.end() && toolbar != sections.end());
        QVERIFY(window < toolbar);

        // The next start: the stored order, the stored expanded states, the stored sizes.
        TMainForm again({Q(demo), Q(second)}, &dialogs);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(AreaNames(again.AreaTree()->PacketNode(0)),
                 (std::vector<std::string>{"ml.tabi", "mail", "pelorin.test"}));
        QVERIFY(again.AreaTree()->PacketNode(0)->isExpanded());
        QVERIFY(!again.AreaTree()->PacketNode(1)->isExpanded());
        QCOMPARE(again.Panes()->Strip()->width(), 103);
        again.close();
    }

    void toolbarsComeBackWhereTheyWere() {
        TempDir temp;
        FakeDialogs dialogs;
        QPoint floatAt;
        int fileY = 0, viewY = 0;
        {
            TMainForm form({}, &dialogs);
            form.resize(700, 500);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QToolBar* file = form.Toolbars().Bar(TToolbars::File);
            QToolBar* view = form.Toolbars().Bar(TToolbars::View);
            QCOMPARE(form.toolBarArea(view), Qt::RightToolBarArea);
            // Two rows at the bottom: the view toolbar, then the file toolbar below it.
            form.addToolBar(Qt::BottomToolBarArea, view);
            form.addToolBarBreak(Qt::BottomToolBarArea);
            form.addToolBar(Qt::BottomToolBarArea, file);
            QTRY_VERIFY(file->y() > form.height() / 2 && view->y() > form.height() / 2 &&
                        file->y() != view->y());
            fileY = file->y();
            viewY = view->y();
            form.Commands().Find("mnuTBSort")->trigger();  // hidden by its switch
            form.close();
        }
        TIniF ini((temp.home() / "pelorin.INI").string());
        QCOMPARE(ini.ReadString("ToolbarFile", "DockedTo", ""), std::string("DockBottom"));
        QCOMPARE(ini.ReadString("ToolbarSort", "Visible", ""), std::string("0"));
        {
            TMainForm form({}, &dialogs);
            form.resize(700, 500);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QToolBar* file = form.Toolbars().Bar(TToolbars::File);
            QToolBar* view = form.Toolbars().Bar(TToolbars::View);
            QCOMPARE(form.toolBarArea(file), Qt::BottomToolBarArea);
            QCOMPARE(form.toolBarArea(view), Qt::BottomToolBarArea);
            QTRY_COMPARE(file->y(), fileY);
            QCOMPARE(view->y(), viewY);
            QVERIFY(!form.Commands().Checked("mnuTBSort"));
            QVERIFY(!form.Toolbars().Wanted(TToolbars::Sort));
            // Floating: the toolbar leaves its dock and keeps its screen position.
            view->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
            view->move(240, 180);
            view->show();
            QVERIFY(view->isFloating());
            floatAt = view->pos();
            form.close();
        }
        QCOMPARE(ini.ReadString("ToolbarView", "DockedTo", ""), std::string("+"));
        {
            TMainForm form({}, &dialogs);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QToolBar* view = form.Toolbars().Bar(TToolbars::View);
            QVERIFY(view->isFloating());
            QCOMPARE(view->pos(), floatAt);
            form.close();
        }
        QVERIFY(dialogs.shown.empty());
    }
};

QTEST_MAIN(ShutdownTest)
#include "shutdown_test.moc"
