// The area tree's pop-up menu and the folder commands.
//
// Before the menu shows, the node under the mouse becomes the selected node. A packet node
// enables 名前の変更; an area node enables 名前の変更, 上へ, 下へ, 一番上へ, 一番下へ and
// 削除マークを処理. 非表示 and 全グループ表示 are hidden and サブコマンドの実行 stays disabled.
//
//   名前の変更    an input box with the area's description ("エリア名の変更") or the packet's
//                 name ("パケット名の変更"); a different answer replaces it (an area's node
//                 text follows at its next relabelling; AREAS is rewritten when the packet
//                 closes, so the new description lasts).
//   上へ, 下へ, 一番上へ, 一番下へ  move the area node within its packet (the node itself
//                 moves, so history entries keep pointing at it); the tree's order becomes
//                 the packet's area order at shutdown.
//   削除マークを処理  PurgeArea: "全<n>件中<d>件を削除します。" (OK, Cancel); OK purges the
//                 area's '-' messages and reopens it; without any: "削除マーク付きの
//                 メッセージはありません。".
//
// 新規フォルダパケット asks for a name and a directory and opens the new folder packet at the
// end of the tree; 新規フォルダ (a folder packet's node selected) adds a folder, whose node is
// selected (the packet stays the selected packet: the new folder is not opened).
#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/folders.h"
#include "store/purge.h"
#include "store/settings.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/own_dir.h"
#include "app/settings_names.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>

namespace pelorin {

namespace s = settings;

void TMainForm::BuildTreeMenu() {
    TCommandSet& c = *commands_;
    c.Add("pmnChgName", QStringLiteral("名前の変更"), QString(), [this] { PmnChgName(); });
    c.Add("pmnUp", QStringLiteral("上へ"), QString(), [this] { PmnUp(); });
    c.Add("pmnDown", QStringLiteral("下へ"), QString(), [this] { PmnDown(); });
    c.Add("pmnFirst", QStringLiteral("一番上へ"), QString(), [this] { PmnFirst(); });
    c.Add("pmnLast", QStringLiteral("一番下へ"), QString(), [this] { PmnLast(); });
    c.Add("pnmGrpDel", QStringLiteral("削除マークを処理"), QString(), [this] { PurgeArea(); });
    c.Alias("ftbNewFolder", c.Add("mnuNewFolder", QStringLiteral("新規フォルダ"),
                                  QStringLiteral("新規フォルダ"), [this] { NewFolder(); }));
    c.Add("mnuFolderPkt", QStringLiteral("新規フォルダパケット"), QString(),
          [this] { NewFolderPacket(); });

    treeMenu_ = new QMenu(this);
    treeMenu_->setObjectName(QStringLiteral("tvMenu"));
    treeMenu_->addAction(c.Find("pmnChgName"));
    treeMenu_->addAction(c.Find("pmnUp"));
    treeMenu_->addAction(c.Find("pmnDown"));
    QAction* hide = treeMenu_->addAction(QStringLiteral("非表示"));
    hide->setVisible(false);
    QAction* all = treeMenu_->addAction(QStringLiteral("全グループ表示"));
    all->setVisible(false);
    treeMenu_->addAction(c.Find("pmnFirst"));
    treeMenu_->addAction(c.Find("pmnLast"));
    treeMenu_->addSeparator();
    treeMenu_->addAction(c.Find("pnmGrpDel"));
    QAction* sub = treeMenu_->addAction(QStringLiteral("サブコマンドの実行"));
    sub->setEnabled(false);

    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
        TvMenuPopup(tree_->itemAt(point));
        treeMenu_->exec(tree_->viewport()->mapToGlobal(point));
    });
}

void TMainForm::TvMenuPopup(QTreeWidgetItem* node) {
    if (node)
        SelectNode(node);
    node = tree_->currentItem();
    const bool area = TAreaTree::IsAreaNode(node);
    commands_->Enable("pmnChgName", node != nullptr);
    commands_->Enable({"pmnUp", "pmnDown", "pmnFirst", "pmnLast", "pnmGrpDel"}, area);
}

void TMainForm::PmnChgName() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (TGrp* area = TAreaTree::AreaOf(node)) {
        std::string name = area->description;
        if (dialogs_->InputBox(Sjis("エリア名の変更"), Sjis("エリア名を入力してください"), name) &&
            name != area->description) {
            area->description = name;
            if (TSoup* packet = TAreaTree::PacketOf(node))
                packet->areasChanged = true;
        }
    } else if (TAreaTree::IsPacketNode(node)) {
        TSoup* packet = TAreaTree::PacketOf(node);
        std::string name = packet->packetName;
        if (dialogs_->InputBox(Sjis("パケット名の変更"), Sjis("パケット名を入力してください"),
                               name) &&
            name != packet->packetName) {
            packet->packetName = name;
            TAreaTree::SetText(node, name);
        }
    }
}

namespace {

// Moves an area node to `to` among its siblings and selects it again.
void MoveAreaNode(QTreeWidget* tree, QTreeWidgetItem* node, int to) {
    QTreeWidgetItem* parent = node->parent();
    const int from = parent->indexOfChild(node);
    if (to < 0 || to >= parent->childCount() || to == from)
        return;
    parent->takeChild(from);
    parent->insertChild(to, node);
    tree->setCurrentItem(node);
}

}  // namespace

void TMainForm::PmnUp() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (TAreaTree::IsAreaNode(node))
        MoveAreaNode(tree_, node, node->parent()->indexOfChild(node) - 1);
}

void TMainForm::PmnDown() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (TAreaTree::IsAreaNode(node))
        MoveAreaNode(tree_, node, node->parent()->indexOfChild(node) + 1);
}

void TMainForm::PmnFirst() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (TAreaTree::IsAreaNode(node))
        MoveAreaNode(tree_, node, 0);
}

void TMainForm::PmnLast() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (TAreaTree::IsAreaNode(node))
        MoveAreaNode(tree_, node, node->parent()->childCount() - 1);
}

void TMainForm::PurgeArea() {
    QTreeWidgetItem* node = tree_->currentItem();
    TGrp* area = TAreaTree::AreaOf(node);
    if (!area)
        return;
    const int deleted = area->CountMarked('-');
    const int total = area->CountMarked(0);
    if (deleted == 0) {
        (void)dialogs_->MessageBox(Sjis("削除マーク付きのメッセージはありません。"), MsgIcon::Error,
                                   MsgButtons::Ok);
        return;
    }
    if (dialogs_->MessageBox(Sjis("全") + std::to_string(total) + Sjis("件中") +
                                 std::to_string(deleted) + Sjis("件を削除します。"),
                             MsgIcon::Warning, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    // The list and the text refer to the area's messages, which the purge frees.
    if (area == area_) {
        list_->Clear();
        message_ = nullptr;
    }
    // All or nothing: a failed write keeps every message and mark (purge.h).
    int removed = 0;
    if (PurgeDeleteMarkedNow(*area, removed) != ReplaceResult::Ok)
        ReportWriteFailure(TAreaTree::PacketOf(node), area->description, area->lastFailure);
    SelectArea('A');
}

void TMainForm::NewFolderPacket() {
    std::string name;
    if (!AskFolderPacketName(*dialogs_, name))
        return;
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("フォルダパケットの作成"), ToQString(ownDir_));
    if (chosen.isEmpty())
        return;
    const std::string directory = WithTrailingSlash(FromQString(chosen));
    if (IsPacketOpen(directory + "AREAS"))
        return;
    PacketPlaces places;
    places.outboundDir = ReadText(*ini_, s::kFiles, s::kOutbound, ownDir_);
    places.controlDir = ReadText(*ini_, s::kFiles, s::kControl, ownDir_);
    places.defaultSortType =
        ReadNumber(*ini_, s::kDisplay, s::kSortType, s::kDefaultPacketSortType);
    std::unique_ptr<TSoup> packet = CreateFolderPacket(directory, name, places, dialogs_);
    if (!packet)
        return;
    TSoup* raw = packet.get();
    packets_.push_back(std::move(packet));
    QTreeWidgetItem* node = tree_->AddPacketNode(raw);
    SelectNode(node);
    EnterPacketSelectedState(node);
}

void TMainForm::NewFolder() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (!TAreaTree::IsPacketNode(node))
        return;
    TSoup* packet = TAreaTree::PacketOf(node);
    TGrp* folder = pelorin::NewFolder(*packet, *dialogs_);
    if (!folder)
        return;
    QTreeWidgetItem* folderNode = tree_->AddAreaNode(node, folder, TAreaTree::AreaIcon(packet));
    TAreaTree::SetText(folderNode, TAreaTree::AreaText(0, 0, folder->description));
    node->setExpanded(true);
    SelectNode(folderNode);
    EnterPacketSelectedState(node);
}

}  // namespace pelorin
