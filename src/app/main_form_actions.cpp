// The message actions of the main window: their commands and the 編集 menu, the handlers that
// hand the window's state to TMessageActions and report what failed, and the purge on exit.
//
// Commands (menu item / toolbar button):
//   EditCopyItem / ftbCopy          ｺﾋﾟｰ(&C) (Ctrl+C)        EditCopy
//   FileSaveAsItem / ftbSave        名前をつけて保存(&A)...   SaveChecked
//   mnuDecode / ftbDecode           ファイルへデコード         DecodeChecked
//   mnuCopyToFolder / ftbFolderCopy フォルダにコピー           CopySelectedToFolder
//   mnuChkCls                       チェックをクリア           ClearChecks
//   mnuFind                         検索(&F)... (Ctrl+F)      OpenSearch
//   mnuDelQuit                      削除マークを処理して終了(&X) DelQuit
//
// Purge on exit: closing the window while an area of an open packet holds messages marked for
// deletion asks (warning; Yes, No, Cancel) "削除指定された記事を実際に削除して" LF
// "Pelorinを終了します" LF "よろしいですか？". Yes flags every such area (status panel 1 shows
// "<area>を調べています" for each area looked at) and closes; No closes without purging; Cancel
// keeps the window open. 削除マークを処理して終了(&X) asks the same question whether or not
// any area holds a mark. At shutdown each flagged area is purged before its packet is closed,
// all or nothing (purge.h): a failed write is reported with the area and the reason, and the
// area keeps every message and mark.
#include "coding/cp932.h"
#include "store/inifile.h"
#include "store/purge.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/message_actions.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/tall.h"
#include "view/textview.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>

namespace pelorin {
namespace {

std::string ExitQuestion() {
    return Sjis("削除指定された記事を実際に削除して") + "\n" + Sjis("Pelorinを終了します") + "\n" +
           Sjis("よろしいですか？");
}

}  // namespace

void TMainForm::BuildActionCommands() {
    actions_ = std::make_unique<TMessageActions>(*dialogs_, this);
    TCommandSet& c = *commands_;
    QAction* copy = c.Add("EditCopyItem", QStringLiteral("ｺﾋﾟｰ(&C)"),
                          QStringLiteral("クリップボードへ"), [this] { EditCopy(); });
    copy->setShortcut(QKeySequence::Copy);
    c.Alias("ftbCopy", copy);
    c.Alias("ftbSave", c.Add("FileSaveAsItem", QStringLiteral("名前をつけて保存(&A)..."),
                             QStringLiteral("ファイルへ"), [this] { SaveChecked(); }));
    c.Alias("ftbDecode", c.Add("mnuDecode", QStringLiteral("ファイルへデコード"),
                               QStringLiteral("ファイルへデコード"), [this] { DecodeChecked(); }));
    c.Alias("ftbFolderCopy",
            c.Add("mnuCopyToFolder", QStringLiteral("フォルダにコピー"),
                  QStringLiteral("フォルダへ"), [this] { CopySelectedToFolder(); }));
    c.Add("mnuChkCls", QStringLiteral("チェックをクリア"), QString(), [this] { ClearChecks(); });
    c.Add("mnuFind", QStringLiteral("検索(&F)..."), QString(), [this] { OpenSearch(); })
        ->setShortcut(QKeySequence::Find);
    c.Add("mnuDelQuit", QStringLiteral("削除マークを処理して終了(&X)"), QString(),
          [this] { DelQuit(); });
}

void TMainForm::BuildEditMenu() {
    const TCommandSet& c = *commands_;
    if (auto* file = menuBar()->findChild<QMenu*>(QStringLiteral("FileMenu"))) {
        file->insertAction(c.Find("FilePrintItem"), c.Find("FileSaveAsItem"));
        file->insertSeparator(c.Find("FilePrintItem"));
        file->insertAction(c.Find("FileExitItem"), c.Find("mnuDelQuit"));
    }
    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    edit->addAction(c.Find("EditCopyItem"));
    edit->addSeparator();
    edit->addAction(c.Find("mnuCopyToFolder"));
    edit->addAction(c.Find("mnuDecode"));
    edit->addSeparator();
    edit->addAction(c.Find("mnuChkCls"));
    edit->addSeparator();
    edit->addAction(c.Find("mnuFind"));
}

ActionScope TMainForm::Scope() const {
    ActionScope scope;
    scope.area = area_;
    scope.shown = message_;
    scope.list = list_;
    scope.selectedText = message_ ? text_->SelectedText() : std::string();
    if (message_ && text_->LineCoding() == textview::LineCoding::Utf8)
        scope.selectedUnicode = text_->SelectedUnicodeText();
    scope.dataPath = dataPath_;
    scope.saveCharset = ini_->ReadString(settings::kFiles, settings::kSaveCharset, "");
    scope.packets = TreePackets();
    return scope;
}

void TMainForm::CollectChecked() {
    TMessageActions::CollectChecked(Scope());
}

void TMainForm::EditCopy() {
    const ActionScope scope = Scope();
    // A picture on show goes over as an image, unless several messages are selected.
    if (!image_->isHidden() && !image_->Picture().isNull() &&
        TMessageActions::SelectedMessages(scope.list).size() < 2) {
        QGuiApplication::clipboard()->setImage(image_->Picture());
        return;
    }
    actions_->EditCopy(scope);
}

void TMainForm::SaveChecked() {
    WriteFailure failure;
    if (!actions_->SaveChecked(Scope(), failure))
        ReportWriteFailure(nullptr, Sjis("名前をつけて保存"), failure);
}

void TMainForm::DecodeChecked() {
    if (!area_)
        return;
    BusyScope busy(*this);
    ActionScope scope = Scope();
    lastProgress_ = 0;
    progress_->setValue(0);
    progress_->show();
    scope.progress = [this](size_t i, size_t n) { SetProgress(static_cast<int>(i * 100 / n)); };
    struct Hide {
        QProgressBar* bar;
        ~Hide() { bar->hide(); }
    } hide{progress_};
    actions_->DecodeChecked(scope);
}

void TMainForm::CopySelectedToFolder() {
    const FolderCopyOutcome outcome = actions_->CopySelectedToFolder(Scope());
    TGrp* folder = outcome.folder;
    if (!folder)
        return;
    // A copy into the open area changed the rows the list shows.
    if (folder == area_)
        list_->LoadGroup(area_);
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packetNode = tree_->PacketNode(i);
        for (int j = 0; j < packetNode->childCount(); ++j) {
            QTreeWidgetItem* node = packetNode->child(j);
            if (TAreaTree::AreaOf(node) != folder)
                continue;
            if (outcome.result.write != ReplaceResult::Ok)
                ReportWriteFailure(TAreaTree::PacketOf(packetNode), folder->description,
                                   folder->lastFailure);
            else
                UpdateAreaNodeText(node);
        }
    }
}

void TMainForm::ClearChecks() {
    if (area_) {
        for (const DisplayEntry& e : area_->display) e.msg->checked = false;
    }
    list_->clearSelection();
    if (!message_) {
        commands_->Enable({"ftbFolderCopy", "ftbCopy", "ftbSave", "EditCopyItem", "mnuCopyToFolder",
                           "FileSaveAsItem", "mnuSendMe", "ftbSendMe"},
                          false);
    }
}

void TMainForm::DelQuit() {
    switch (dialogs_->MessageBox(ExitQuestion(), MsgIcon::Warning, MsgButtons::YesNoCancel)) {
        case MsgAnswer::Yes:
            FlagDeleteMarkedAreas();
            break;
        case MsgAnswer::No:
            break;
        default:
            return;
    }
    exitAnswered_ = true;
    close();
}

void TMainForm::FlagDeleteMarkedAreas() {
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packetNode = tree_->PacketNode(i);
        for (int j = 0; j < packetNode->childCount(); ++j) {
            TGrp* area = TAreaTree::AreaOf(packetNode->child(j));
            if (!area)
                continue;
            status_->SetPanelSjis(1, area->areaName + Sjis("を調べています"));
            Repaint();
            Step([area] {
                if (HoldsDeleteMarks(*area) && area->CountMarked('-') > 0)
                    area->purgeOnClose = true;
            });
        }
    }
}

bool TMainForm::ConfirmExitPurge() {
    if (exitAnswered_ || closed_)
        return true;
    bool any = false;
    for (TSoup* packet : TreePackets()) {
        for (const auto& area : packet->areas) {
            Step([&] { any = any || HoldsDeleteMarks(*area); });
        }
    }
    if (!any)
        return true;
    switch (dialogs_->MessageBox(ExitQuestion(), MsgIcon::Warning, MsgButtons::YesNoCancel)) {
        case MsgAnswer::Yes:
            FlagDeleteMarkedAreas();
            break;
        case MsgAnswer::No:
            break;
        default:
            return false;
    }
    exitAnswered_ = true;
    return true;
}

void TMainForm::PurgeFlaggedAreas(TSoup* packet) {
    for (const auto& owned : packet->areas) {
        TGrp* area = owned.get();
        if (!area->purgeOnClose)
            continue;
        area->purgeOnClose = false;
        Step([&] {
            int removed = 0;
            if (PurgeDeleteMarkedNow(*area, removed) != ReplaceResult::Ok)
                ReportWriteFailure(packet, area->description, area->lastFailure);
        });
    }
}

}  // namespace pelorin
