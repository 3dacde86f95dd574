// Moving through messages and areas: StepNext, StepPrev, NextAreaWithMark, the page moves,
// the area moves, the display history and the list order. Where the moves go is computed in
// navigation.h; this file applies it to the tree and the list.
//
// StepNext(show, mark) (mark 0: plain next):
//  1. Busy. c = the focus row, -1 when the list is empty.
//  2. Plain: below the last row, c is deselected and c+1 selected as the focus row.
//  3. With a mark: an area node selected with an empty list is opened with SelectArea(mark),
//     which shows its first message with the mark (and nothing more happens here, so that
//     message is not skipped); otherwise the next row below c with the mark is selected in
//     place of c and scrolled to the top, or, when there is none, NextAreaWithMark(mark).
//     When that finds no area either, c stays selected and the shown message stays as it is
//     (where it was scrolled to); for the unread mark the status line says
//     "未読メッセージはありません".
//  4. With show, DisplayMessage when another row was selected (an area that was opened showed
//     its message itself), then the text view takes the focus; without show the list does.
//
// NextAreaWithMark(mark): the next area of the same packet holding a message with the mark
// (see navigation.h) is selected and opened with SelectArea(mark); false when there is none.
//
// History: DisplayMessage pushes (Message-ID, area node) (history.h); back and forward reopen
// the entry's area when it is not the open one and show the entry's message. An entry whose
// message is no longer in its area opens the area with no message shown. Entries of a closed
// packet are forgotten when it closes.
//
// List order: the five commands (menu 一覧の表示順 and the ToolbarSort buttons, one radio group)
// store [Display] SortType; with an area open it is re-sorted and reopened, and the item of its
// resulting order is checked.
#include "coding/cp932.h"
#include "store/settings.h"

#include "app/area_tree.h"
#include "app/command_states.h"
#include "app/main_form.h"
#include "app/navigation.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QApplication>
#include <QScrollBar>

namespace pelorin {

namespace s = settings;

namespace {

std::optional<TreePos> PosOf(const TAreaTree* tree, QTreeWidgetItem* node) {
    if (!node)
        return std::nullopt;
    if (TAreaTree::IsPacketNode(node))
        return TreePos{tree->indexOfTopLevelItem(node), -1};
    QTreeWidgetItem* parent = node->parent();
    if (!parent)
        return std::nullopt;
    return TreePos{tree->indexOfTopLevelItem(parent), parent->indexOfChild(node)};
}

QTreeWidgetItem* NodeAt(const TAreaTree* tree, TreePos pos) {
    QTreeWidgetItem* packet = tree->PacketNode(pos.packet);
    if (!packet || pos.IsPacket())
        return packet;
    return packet->child(pos.area);
}

TreeShape ShapeOf(const TAreaTree* tree) {
    TreeShape shape;
    for (int i = 0; i < tree->PacketCount(); ++i)
        shape.push_back(tree->PacketNode(i)->childCount());
    return shape;
}

}  // namespace

void TMainForm::BuildNavigationCommands() {
    TCommandSet& c = *commands_;
    c.Add("ftbPrev", QStringLiteral("前"), QStringLiteral("前"), [this] { StepPrev(true); });
    c.Add("ftbNext", QStringLiteral("次"), QStringLiteral("次"), [this] { StepNext(true, 0); });
    c.Add("ftbNextU", QStringLiteral("次の未読"), QStringLiteral("次の未読"),
          [this] { StepNext(true, '*'); });
    c.Add("ftbPrevHist", QStringLiteral("戻る"), QStringLiteral("戻る"), [this] { HistoryBack(); });
    c.Add("ftbNextHist", QStringLiteral("進む"), QStringLiteral("進む"),
          [this] { HistoryForward(); });
    c.Enable({"ftbPrevHist", "ftbNextHist"}, false);

    static const struct {
        const char* menu;
        const char* button;
        const char* caption;
        const char* hint;
        int sortType;
    } kOrders[] = {
        {"mnuDispThread", "ftbDispThread", "スレッド順", "スレッド順", 1},
        {"mnuDispSubj", "ftbDispSubj", "題名順", "題名順", 2},
        {"mnuDispAuth", "ftbDispFrom", "投稿者名順", "投稿者順", 3},
        {"mnuDispDate", "ftbDispDate", "投稿日順", "投稿日順", 4},
        {"mnuDispNoSort", "ftbDispNone", "ソートしない", "ソート無し", 0},
    };
    for (const auto& order : kOrders) {
        const int type = order.sortType;
        c.Alias(order.button, c.AddSwitch(order.menu, QString::fromUtf8(order.caption),
                                          QString::fromUtf8(order.hint),
                                          [this, type](bool) { SetListOrder(type); }));
    }
}

std::vector<TSoup*> TMainForm::TreePackets() const {
    std::vector<TSoup*> packets;
    for (int i = 0; i < tree_->PacketCount(); ++i)
        packets.push_back(TAreaTree::PacketOf(tree_->PacketNode(i)));
    return packets;
}

void TMainForm::SelectNode(QTreeWidgetItem* node) {
    if (node)
        tree_->setCurrentItem(node);
}

void TMainForm::StepNext(bool show, char mark) {
    bool areaChanged = false;
    bool nowhere = false;  // nothing further with the mark in this packet
    {
        BusyScope busy(*this);
        const int count = list_->Count();
        const int c = count > 0 ? list_->ItemIndex() : -1;
        if (mark == 0) {
            if (c < count - 1) {
                if (c >= 0)
                    list_->SetSelected(c, false);
                list_->SetSelected(c + 1, true);
                list_->SetItemIndex(c + 1);
            }
        } else if (TAreaTree::IsAreaNode(tree_->currentItem()) && count == 0) {
            SelectArea(mark);
            areaChanged = true;
        } else {
            const int row = c < count - 1
                                ? FindMarkedRow(count, c + 1, mark,
                                                [this](int r) { return list_->MsgAt(r)->mark; })
                                : -1;
            if (row >= 0) {
                if (c >= 0)
                    list_->SetSelected(c, false);
                list_->SetSelected(row, true);
                list_->SetItemIndex(row);
                list_->scrollTo(list_->model()->index(row, 0), QAbstractItemView::PositionAtTop);
            } else if (tree_->PacketCount() > 0 && NextAreaWithMark(mark)) {
                areaChanged = true;
            } else {
                nowhere = true;
            }
        }
    }
    if (nowhere && mark == '*')
        status_->SetPanel(1, QStringLiteral("未読メッセージはありません"));
    if (show) {
        if (!areaChanged && !nowhere)
            DisplayMessage();
        text_->setFocus();
    } else {
        list_->setFocus();
    }
}

void TMainForm::StepPrev(bool show) {
    const int c = list_->ItemIndex();
    if (c < 1)
        return;
    list_->SetSelected(c, false);
    list_->SetSelected(c - 1, true);
    list_->SetItemIndex(c - 1);
    if (show)
        DisplayMessage();
    else
        list_->setFocus();
}

bool TMainForm::NextAreaWithMark(char mark) {
    BusyScope busy(*this);
    const std::optional<TreePos> target = NextAreaWithMarkPos(
        ShapeOf(tree_), PosOf(tree_, tree_->currentItem()), [this, mark](int packet, int area) {
            TGrp* g = TAreaTree::AreaOf(NodeAt(tree_, {packet, area}));
            return g && g->CountMarked(mark) > 0;
        });
    if (!target)
        return false;
    SelectNode(NodeAt(tree_, *target));
    SelectArea(mark);
    return true;
}

void TMainForm::PageOn(char mark) {
    if (text_->NextPage())
        StepNext(true, mark);
}

void TMainForm::NextArea() {
    if (auto target = NextAreaPos(ShapeOf(tree_), PosOf(tree_, tree_->currentItem())))
        SelectNode(NodeAt(tree_, *target));
    tree_->setFocus();
}

void TMainForm::PrevArea() {
    if (auto target = PrevAreaPos(ShapeOf(tree_), PosOf(tree_, tree_->currentItem())))
        SelectNode(NodeAt(tree_, *target));
    tree_->setFocus();
}

void TMainForm::PushHistory() {
    if (!area_ || !message_)
        return;
    QTreeWidgetItem* node = nullptr;
    for (int i = 0; i < tree_->PacketCount() && !node; ++i) {
        QTreeWidgetItem* packet = tree_->PacketNode(i);
        for (int j = 0; j < packet->childCount(); ++j) {
            if (TAreaTree::AreaOf(packet->child(j)) == area_) {
                node = packet->child(j);
                break;
            }
        }
    }
    history_.Push(message_->messageId, node);
    UpdateHistoryButtons();
}

void TMainForm::UpdateHistoryButtons() {
    commands_->Enable("ftbPrevHist", history_.CanGoBack());
    commands_->Enable("ftbNextHist", history_.CanGoForward());
}

void TMainForm::FollowHistory(const THistory::Entry* entry) {
    UpdateHistoryButtons();
    if (!entry || !entry->node)
        return;
    const int c = list_->ItemIndex();
    if (c >= 0)
        list_->SetSelected(c, false);
    if (TAreaTree::AreaOf(entry->node) != area_) {
        SelectNode(entry->node);
        SelectArea('A');
    }
    if (!area_)
        return;
    const int row = area_->FindMessage(entry->messageId);
    if (row < 0 || row >= list_->Count())
        return;
    list_->SetSelected(row, true);
    list_->SetItemIndex(row);
    DisplayMessage();
}

void TMainForm::HistoryBack() {
    if (history_.CanGoBack())
        FollowHistory(history_.Back());
}

void TMainForm::HistoryForward() {
    if (history_.CanGoForward())
        FollowHistory(history_.Forward());
}

void TMainForm::SetListOrder(int sortType) {
    CheckSortOrder(*commands_, sortType);
    ini_->WriteInteger(s::kDisplay, s::kSortType, sortType);
    if (!area_)
        return;
    // The open area is the one re-sorted and reopened, also when another node is selected.
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packet = tree_->PacketNode(i);
        for (int j = 0; j < packet->childCount(); ++j) {
            if (TAreaTree::AreaOf(packet->child(j)) == area_)
                SelectNode(packet->child(j));
        }
    }
    {
        BusyScope busy(*this);
        area_->SetSortType(sortType);
    }
    SelectArea('A');
    CheckSortOrder(*commands_, area_ ? area_->sortType : sortType);
}

}  // namespace pelorin
