// FormClose: the shutdown sequence of the main window. It runs once, when the window closes
// (or, failing that, when it is destroyed).
//
//  1. Each packet, first to last: "<packet name>を閉じています。" in status panel 1; the area
//     names of its nodes in tree order become its area order (SaveAreaOrder, when it has
//     areas); the node's expanded state goes to [General] Expanded of its GRPSTAT.PBS; the
//     packet is closed (TSoup::Destroy), which saves its areas; areas flagged by the exit
//     question are purged first (main_form_actions.cpp). A packet whose files could not be
//     written is named in an error box.
//  2. [Window] Top, Left, Width, Height.
//  3. The strip and Panel2 sizes: BWidth and BHeight.
//  4. The settings file is closed; the toolbar positions are written into it afterwards.
//
// Before any packet goes, the message list lets go of the messages it shows.
#include "coding/cp932.h"
#include "store/settings.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/textview.h"

namespace pelorin {

namespace s = settings;

void TMainForm::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    list_->Clear();
    message_ = nullptr;
    // 1.
    while (tree_->PacketCount() > 0) {
        QTreeWidgetItem* node = tree_->PacketNode(0);
        TSoup* packet = TAreaTree::PacketOf(node);
        status_->SetPanelSjis(1, packet->packetName + Sjis("を閉じています。"));
        Repaint();
        Step([&] {
            TSList names;
            for (int i = 0; i < node->childCount(); ++i) {
                if (const TGrp* area = TAreaTree::AreaOf(node->child(i)))
                    names.push_back(area->areaName);
            }
            TIniF::Update batch(packet->State());
            if (!names.empty())
                packet->SaveAreaOrder(names);
            WriteFlag(packet->State(), s::kGeneral, s::kExpanded, node->isExpanded());
        });
        PurgeFlaggedAreas(packet);
        DestroyPacket(node);
    }
    if (ini_) {
        Step([this] {
            TIniF::Update batch(*ini_);
            // 2.
            ini_->WriteInteger(s::kWindow, s::kTop, y());
            ini_->WriteInteger(s::kWindow, s::kLeft, x());
            ini_->WriteInteger(s::kWindow, s::kWidth, width());
            ini_->WriteInteger(s::kWindow, s::kHeight, height());
            // 3.
            StorePaneSizes();
        });
    }
    // 4.
    ini_.reset();
    if (!settingsPath_.empty()) {
        Step([this] {
            TIniF positions(settingsPath_);
            toolbars_->Save(positions);
        });
    }
    history_.Clear();
}

}  // namespace pelorin
