// Opening and closing packets: OpenPacket, IsPacketOpen, FileOpen, ClosePacket.
//
// OpenPacket(path), path being a packet's AREAS file:
//  1. A missing AREAS file: "<path>を\nフォルダパケットとして作成しますか？" (OK/Cancel); OK
//     makes a new folder packet there (its directory is created when missing).
//  2. The packet is opened with the outbound directory [Files] Outbound and the control
//     directory [Files] Control (both default to the own directory) and the default list
//     order [Display] SortType (1); a new folder packet gets packet type 1.
//  3. A packet node at the end of the tree (icon 0); "<name>を開きました" in status panel 1.
//  4. Busy: the areas are loaded.
//  5. Each area, in the packet's order: mail areas of letter 'm' or 'b' get the digest marker
//     [Message] PackedStr; a node "(" unread ")" + description, or "(??)" + description when
//     the total is unknown, with icon 2 (SOUP packet) or 4 (folder and note packets); the tree
//     repaints as the nodes come (at most every 50 ms) and after the last.
//  6. The node is expanded (icon 1) when the packet's [General] Expanded is Y (the default).
//  7. Not busy; the tree takes the focus when the window is on screen.
//  8. A packet directory where nothing can be written (read-only, full) is named once, with
//     the reason: marks and changes made in it will not be kept.
//
// FileOpen: the open dialog, starting at [Files] "Last SOUP Packet" (own directory + "AREAS"),
// showing AREAS files. A packet that is open already is ignored; otherwise it is opened and
// its AREAS path becomes "Last SOUP Packet". Picture files (.gif, .jpg, .bmp) are left to the
// picture display, which this window does not have yet. Zip packets (.zip) are unpacked into a
// folder the user chooses and opened there (main_form_zip.cpp).
//
// ClosePacket, only for a selected packet node: the list and text view are emptied, the
// node's expanded state goes to [General] Expanded, the packet is closed (its areas saved), no
// packet, area or message is current, the area nodes go from the last to the first, then the
// packet node; the window returns to the no-area state.
//
// A packet that could not be saved while closing is named (the failing area's caption, or the
// packet when its AREAS file failed, the file and the system's reason); it is closed all the
// same. Only the first failure of a packet is a message box (see ReportWriteFailure).
#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/packet_files.h"
#include "store/settings.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/own_dir.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"
#include "view/textview.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QTabBar>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace pelorin {

namespace s = settings;

namespace {

// The packet directory of an AREAS path, as TSoup spells its directory.
std::string PacketDirectory(std::string_view path) {
    std::string dir(DirPart(path));
    return WithTrailingSlash(dir.empty() ? std::string("./") : dir);
}

constexpr int kFailureShownMs = 15000;
constexpr qint64 kTreeRepaintMs = 50;

std::string ReasonText(ReplaceResult result) {
    switch (result) {
        case ReplaceResult::Ok:
            return {};
        case ReplaceResult::OpenFailed:
            return Sjis("一時ファイルを作れません");
        case ReplaceResult::WriteFailed:
            return Sjis("書き込みに失敗しました");
        case ReplaceResult::RenameFailed:
            return Sjis("ファイルを置き換えられません");
    }
    return {};
}

}  // namespace

bool TMainForm::IsPacketOpen(const std::string& path) const {
    const std::string dir = SjisUpper(PacketDirectory(path));
    for (const auto& packet : packets_) {
        if (SjisUpper(packet->directory) == dir)
            return true;
    }
    return false;
}

bool TMainForm::OpenPacket(const std::string& path) {
    // 1.
    bool create = false;
    if (!PacketFileExists(path)) {
        const MsgAnswer answer = dialogs_->MessageBox(
            path + Sjis("を") + "\n" + Sjis("フォルダパケットとして作成しますか？"),
            MsgIcon::Question, MsgButtons::OkCancel);
        if (answer != MsgAnswer::Ok)
            return false;
        create = true;
        std::error_code error;
        std::filesystem::create_directories(DiskPath(PacketDirectory(path)), error);
    }
    // 2.
    auto owned = std::make_unique<TSoup>(PacketDirectory(path), dialogs_);
    TSoup* packet = owned.get();
    packet->SetOutboundDir(ReadText(*ini_, s::kFiles, s::kOutbound, ownDir_));
    packet->SetControlDir(ReadText(*ini_, s::kFiles, s::kControl, ownDir_));
    packet->defaultSortType =
        ReadNumber(*ini_, s::kDisplay, s::kSortType, s::kDefaultPacketSortType);
    if (create)
        packet->packetType = 1;
    packets_.push_back(std::move(owned));
    // 3.
    QTreeWidgetItem* node = tree_->AddPacketNode(packet);
    status_->SetPanelSjis(1, packet->packetName + Sjis("を開きました"));
    {
        // 4.
        BusyScope busy(*this);
        packet->LoadAreas();
        // 5.
        const std::string digestMarker = ini_->ReadString(s::kMessage, s::kPackedStr, "");
        const int icon = TAreaTree::AreaIcon(packet);
        // The state file is read once for all areas, and the tree repaints as it grows but not
        // for every node: a packet may hold tens of thousands of areas.
        TIniF::Update batch(packet->State());
        QElapsedTimer sincePaint;
        sincePaint.start();
        for (const auto& area : packet->areas) {
            if (area->Letter(0) == 'm' || area->Letter(0) == 'b')
                area->digestMarker = digestMarker;
            const auto [total, unread] = area->PeekCounts();
            QTreeWidgetItem* areaNode = tree_->AddAreaNode(node, area.get(), icon);
            TAreaTree::SetText(areaNode, TAreaTree::AreaText(total, unread, area->description));
            if (sincePaint.elapsed() >= kTreeRepaintMs) {
                Repaint();
                sincePaint.restart();
            }
        }
        Repaint();
        // 6.
        if (ReadFlag(packet->State(), s::kGeneral, s::kExpanded, true))
            node->setExpanded(true);
    }
    // 7.
    if (isVisible())
        tree_->setFocus();
    // 8.
    if (WriteFailure why; !packet->Writable(&why)) {
        packet->cannotSave = true;
        (void)dialogs_->MessageBox(packet->packetName + Sjis(" には書き込めません。") + "\n" +
                                       why.path + "\n" + why.reason + "\n" +
                                       Sjis("このパケットのマークや変更は保存されません。"),
                                   MsgIcon::Warning, MsgButtons::Ok);
    }
    // 9. What changed in it since the last time goes into the search index.
    ScheduleIndexing();
    return true;
}

void TMainForm::FileOpen() {
    const std::string start = ReadText(*ini_, s::kFiles, s::kLastSoupPacket, ownDir_ + "AREAS");
    QFileDialog dialog(this, QStringLiteral("パケットを開く"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({QStringLiteral("AREAS file(AREAS) (AREAS)"),
                           QStringLiteral("Graphic file(gif,jpeg,bmp) (*.gif *.jpg *.bmp)"),
                           QStringLiteral("SOUP zip packet (*.zip *.ZIP)")});
    dialog.setDirectory(ToQString(DirPart(start)));
    dialog.selectFile(ToQString(NamePart(start)));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("開く"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    OpenChosenFile(FromQString(dialog.selectedFiles().constFirst()));
}

void TMainForm::OpenChosenFile(const std::string& path) {
    const std::string name = SjisUpper(NamePart(path));
    // Picture files (the dialog's second filter) are shown, not opened as packets; with
    // [Display] ShowImage N nothing happens.
    for (const char* picture : {".GIF", ".JPG", ".BMP"}) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, picture) == 0) {
            ShowPictureFile(QFile::decodeName(QByteArray::fromStdString(DiskPath(path).string())));
            return;
        }
    }
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ZIP") == 0) {
        OpenZipPacket(path);
        return;
    }
    if (IsPacketOpen(path))
        return;
    OpenPacket(path);
    ini_->WriteString(s::kFiles, s::kLastSoupPacket, path);
}

void TMainForm::ClosePacket() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (!TAreaTree::IsPacketNode(node))
        return;
    if (RefuseWhileComposing(TAreaTree::PacketOf(node)))
        return;
    list_->Clear();
    text_->ClearText();
    while (tabs_->count() > 0) tabs_->removeTab(0);
    TSoup* packet = TAreaTree::PacketOf(node);
    WriteFlag(packet->State(), s::kGeneral, s::kExpanded, node->isExpanded());
    DestroyPacket(node);
    packet_ = nullptr;
    area_ = nullptr;
    message_ = nullptr;
    EnterNoAreaState();
}

void TMainForm::DestroyPacket(QTreeWidgetItem* node) {
    TSoup* packet = TAreaTree::PacketOf(node);
    for (const auto& area : packet->areas) area->onProgress = nullptr;
    if (packet == packet_) {
        packet_ = nullptr;
        area_ = nullptr;
        message_ = nullptr;
    }
    // Whatever happens while saving, the packet goes: its node must not outlive it.
    Step([&] {
        const ReplaceResult result = packet->Destroy();
        if (result != ReplaceResult::Ok)
            ReportWriteFailure(
                packet, packet->failedArea.empty() ? packet->packetName : packet->failedCaption,
                packet->failure);
    });
    // History entries of the packet's areas go with their nodes; the position keeps pointing
    // at the same entry, or at the nearest one before it.
    history_.ForgetNodes(
        [node](const QTreeWidgetItem* entry) { return entry && entry->parent() == node; });
    UpdateHistoryButtons();
    for (int i = node->childCount(); i-- > 0;) delete node->child(i);
    delete node;
    for (auto it = packets_.begin(); it != packets_.end(); ++it) {
        if (it->get() == packet) {
            packets_.erase(it);
            break;
        }
    }
}

void TMainForm::ReportWriteFailure(TSoup* packet,
                                   const std::string& caption,
                                   const WriteFailure& failure) {
    std::string why = ReasonText(failure.result);
    if (!failure.reason.empty())
        why += Sjis("（") + failure.reason + Sjis("）");
    if (packet && packet->cannotSave) {
        // Over the panels for a while: the shown message's status text takes panel 1 at once.
        status_->showMessage(ToQString(caption + Sjis(" のファイルを保存できませんでした: ") +
                                       failure.path + " " + why),
                             kFailureShownMs);
        return;
    }
    if (packet)
        packet->cannotSave = true;
    (void)dialogs_->MessageBox(
        caption + Sjis(" のファイルを保存できませんでした。") + "\n" + failure.path + "\n" + why,
        MsgIcon::Error, MsgButtons::Ok);
}

}  // namespace pelorin
