// Search from the main window: the search window (search_window.h) as a child of the window,
// made when first asked for, and the messages it finds shown in the window.
#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/search_window.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"
#include "view/textview.h"

#include <QTimer>

namespace pelorin {

namespace {

// A packet just opened is indexed after this pause, once the window has settled.
constexpr int kIndexDelayMs = 2000;

}  // namespace

void TMainForm::ScheduleIndexing() {
    QTimer::singleShot(kIndexDelayMs, this,
                       [this] { SearchWindow()->IndexInBackground(TreePackets()); });
}

TSearchWindow* TMainForm::SearchWindow() {
    auto* window = findChild<TSearchWindow*>();
    if (!window) {
        TSearchWindow::Host host;
        host.packets = [this] { return TreePackets(); };
        host.currentPacket = [this]() -> TSoup* {
            if (QTreeWidgetItem* node = tree_->currentItem())
                return TAreaTree::PacketOf(node);
            return nullptr;
        };
        host.currentArea = [this] { return area_; };
        host.show = [this](TSoup*, TGrp* area, TMsg* msg) { ShowFoundMessage(area, msg); };
        window = new TSearchWindow(std::move(host), this);
    }
    return window;
}

void TMainForm::OpenSearch(const QString& text) {
    TSearchWindow* window = SearchWindow();
    window->show();
    window->raise();
    window->activateWindow();
    if (!text.isEmpty())
        window->SearchFor(text);
}

void TMainForm::SearchSelectedText() {
    QString text;
    if (message_)
        text = text_->LineCoding() == textview::LineCoding::Utf8 ? text_->SelectedUnicodeText()
                                                                 : ToQString(text_->SelectedText());
    OpenSearch(text);
}

void TMainForm::ShowFoundMessage(TGrp* area, TMsg* msg) {
    QTreeWidgetItem* node = nullptr;
    for (int i = 0; i < tree_->PacketCount() && !node; ++i) {
        QTreeWidgetItem* packet = tree_->PacketNode(i);
        for (int j = 0; j < packet->childCount() && !node; ++j)
            if (TAreaTree::AreaOf(packet->child(j)) == area)
                node = packet->child(j);
    }
    if (!node)
        return;
    if (area != area_) {
        SelectNode(node);
        SelectArea('A');
    }
    if (area_ != area)
        return;
    int row = -1;
    for (int i = 0; i < list_->Count() && row < 0; ++i)
        if (list_->MsgAt(i) == msg)
            row = i;
    if (row < 0)
        return;
    const int c = list_->ItemIndex();
    if (c >= 0)
        list_->SetSelected(c, false);
    list_->SetSelected(row, true);
    list_->SetItemIndex(row);
    DisplayMessage();
}

}  // namespace pelorin
