// The area tree's clicks and keys, opening an area (SelectArea), and the command states.
//
// A mouse press on the tree or the list sets the mouse flag; releasing a key clears it. A
// click on the tree acts only with the flag set (so moving with the keyboard does not open
// areas): an area node runs the binding of "_<LBUTTON>@a" when there is one, else opens its
// area; a packet node enters the packet-selected state. Enter on the tree opens the selected
// area (or selects the packet).
//
// SelectArea(mark):
//  1. Busy; the window repaints.
//  2. Every area node gets its packet's area icon back (2, or 4 for folder and note packets).
//  3. The area that was open saves its marks when they changed.
//  4. An area node selected:
//     1. the row template [Display] ListStrings;
//     2. the list is emptied; the node's packet and area become current; the area's progress
//        moves the progress bar;
//     3. caption "Pelorin " + version text + " - " + description + " - ";
//     4. the progress bar shows while the area is prepared (loaded and sorted);
//     5. no message is current; text view and tab bar are emptied; area-open state;
//     6. status panel 0: unread + "/" + total;
//     7. the list is filled in one update; the progress bar goes;
//     8. with a mark other than 'A', the first row whose message has that mark is selected
//        and becomes the focus item;
//     9. a message file cut short (its last message lacks bytes) is named once in status
//        panel 1 with the area and the bytes missing; the node's text shows the new unread
//        count (and status panel 0 follows every later change of marks); the list takes the
//        focus (once the busy state, which disables it, has ended).
//  5. A packet node selected: packet-selected state.
#include "coding/cp932.h"
#include "coding/mime.h"
#include "store/settings.h"

#include "app/area_tree.h"
#include "app/command_states.h"
#include "app/main_form.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"
#include "view/textview.h"

#include <QKeyEvent>
#include <QProgressBar>
#include <QTabBar>

namespace pelorin {

namespace s = settings;

namespace {

CommandContext ContextOf(const TSoup* packet, TGrp* area, const TMsgListBox* list) {
    CommandContext context;
    if (packet)
        context.packetType = packet->packetType;
    if (area) {
        context.messageFormat = area->Letter(0);
        context.indexFormat = area->Letter(1);
        context.sortType = area->sortType;
        context.areaOpen = true;
    }
    context.anySelected = list->SelCount() > 0;
    return context;
}

}  // namespace

void TMainForm::TvAreasClick() {
    if (!mouseFlag_)
        return;
    mouseFlag_ = false;
    QTreeWidgetItem* node = tree_->currentItem();
    if (TAreaTree::IsAreaNode(node)) {
        const std::string binding = StoredBinding(*ini_, "_<LBUTTON>@a");
        if (binding.empty() || !bindings_.ExecuteBinding(binding))
            SelectArea('A');
        UpdateAreaNodeText(node);
    } else if (TAreaTree::IsPacketNode(node)) {
        EnterPacketSelectedState(node);
    }
}

void TMainForm::TvAreasKeyUp(QKeyEvent* event) {
    mouseFlag_ = false;
    if (Busy())
        return;
    // The modifiers held when the key went down, not those still held at its release.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (releasedModifiers_ & ~Qt::KeypadModifier) == Qt::NoModifier) {
        SelectArea('A');
    }
}

void TMainForm::ResetAreaIcons() {
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packetNode = tree_->PacketNode(i);
        const int icon = TAreaTree::AreaIcon(TAreaTree::PacketOf(packetNode));
        for (int j = 0; j < packetNode->childCount(); ++j)
            TAreaTree::SetIcon(packetNode->child(j), icon);
    }
}

void TMainForm::UpdateAreaNodeText(QTreeWidgetItem* node) {
    TGrp* area = TAreaTree::AreaOf(node);
    if (!area)
        return;
    const int unread = area->CountMarked('*');
    TAreaTree::SetText(node, TAreaTree::AreaText(0, unread, area->description));
    // The counts of the status line follow the open area's marks wherever they change.
    if (area == area_ && !status_->Panel(0).isEmpty())
        status_->SetPanel(0, QStringLiteral("%1/%2").arg(unread).arg(area->CountMarked(0)));
}

void TMainForm::SetProgress(int percent) {
    if (percent == lastProgress_)
        return;
    lastProgress_ = percent;
    progress_->setValue(percent);
    Repaint();
}

void TMainForm::SelectArea(char mark) {
    bool opened = false;
    {
        // 1.
        BusyScope busy(*this);
        // 2.
        ResetAreaIcons();
        // 3.
        if (area_ && area_->marksChanged) {
            const ReplaceResult saved = area_->SaveMarks();
            if (saved != ReplaceResult::Ok)
                ReportWriteFailure(packet_, area_->description, area_->lastFailure);
        }
        QTreeWidgetItem* node = tree_->currentItem();
        if (TAreaTree::IsAreaNode(node)) {
            // 4.1
            const std::string format =
                ReadText(*ini_, s::kDisplay, s::kListStrings, s::kDefaultListStrings);
            // 4.2
            list_->Clear();
            if (area_)
                area_->onProgress = nullptr;
            packet_ = TAreaTree::PacketOf(node);
            area_ = TAreaTree::AreaOf(node);
            message_ = nullptr;
            mime_.reset();
            parts_.clear();
            area_->onProgress = [this](int percent) { SetProgress(percent); };
            // 4.3
            setWindowTitle(
                ToQString("Pelorin " + versionText_ + " - " + area_->description + " - "));
            // 4.4
            struct ProgressShown {
                QProgressBar* bar;
                ~ProgressShown() { bar->hide(); }
            } shown{progress_};
            lastProgress_ = 0;
            progress_->setValue(0);
            progress_->show();
            Repaint();
            area_->Prepare();
            // 4.5
            text_->ClearText();
            while (tabs_->count() > 0) tabs_->removeTab(0);
            EnterAreaOpenState(node);
            // 4.6
            const int unread = area_->CountMarked('*');
            const int total = area_->CountMarked(0);
            status_->SetPanel(0, QStringLiteral("%1/%2").arg(unread).arg(total));
            // 4.7
            list_->setUpdatesEnabled(false);
            list_->SetFormat(format);
            list_->LoadGroup(area_);
            list_->setUpdatesEnabled(true);
            // 4.8
            if (mark != 'A') {
                for (int row = 0; row < list_->Count(); ++row) {
                    if (list_->MsgAt(row)->mark == mark) {
                        list_->SetSelected(row, true);
                        list_->SetItemIndex(row);
                        DisplayMessage();
                        break;
                    }
                }
            }
            // A message file cut short is named once, after what the opening shows.
            if (area_->missingBytes > 0) {
                status_->SetPanelSjis(1, area_->description +
                                             Sjis("：メッセージファイルが途中で切れています（最後の"
                                                  "メッセージの") +
                                             std::to_string(area_->missingBytes) +
                                             Sjis("バイトがありません）"));
                area_->missingBytes = 0;  // named once
            }
            UpdateAreaNodeText(node);
            opened = true;
        } else if (TAreaTree::IsPacketNode(node)) {
            // 5.
            EnterPacketSelectedState(node);
        }
    }
    // 4.9
    if (opened)
        list_->setFocus();
}

void TMainForm::EnterNoAreaState() {
    pelorin::EnterNoAreaState(*commands_, ContextOf(nullptr, nullptr, list_));
    status_->SetPanel(0, QString());
    status_->SetPanel(1, QString());
}

void TMainForm::EnterPacketSelectedState(QTreeWidgetItem* node) {
    packet_ = TAreaTree::PacketOf(node);
    pelorin::EnterPacketSelectedState(*commands_, ContextOf(packet_, nullptr, list_));
}

void TMainForm::EnterAreaOpenState(QTreeWidgetItem* node) {
    TSoup* packet = TAreaTree::PacketOf(node);
    TAreaTree::SetIcon(node, packet && packet->packetType != 0 ? 5 : 3);
    pelorin::EnterAreaOpenState(*commands_, ContextOf(packet, area_, list_));
    status_->SetPanel(0, QString());
    status_->SetPanel(1, QString());
}

void TMainForm::EnterNoMessageState() {
    pelorin::EnterNoMessageState(*commands_, ContextOf(packet_, area_, list_));
    status_->SetPanel(0, QString());
    status_->SetPanel(1, QString());
}

}  // namespace pelorin
