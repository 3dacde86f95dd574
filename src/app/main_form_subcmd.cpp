// Sub-commands from the window: the menu item サブコマンド (only with an area open) opens the
// dialog TCMD and runs the command it closes with; the key-binding function
// ExecSubCommand(name) runs a stored command without showing the dialog, and says
// "<name>というコマンドは登録されていません" for a name that is not stored.
//
// A run (select/subcmd_run.h) keeps the window busy (tree and list off, wait cursor); the
// progress bar shows the row of each match, the row is repainted with its new mark, pending
// paint events are processed and the run pauses 100 ms (runs from the window only; the
// companion does not pause). Afterwards the matched rows are selected when 選択 was ticked,
// no message is current after a condition run, the area's node shows its new counts, and a
// failure (a save that stopped the run, a folder that could not be written, a body request
// that failed) is shown with the message and the reason.
#include "coding/cp932.h"
#include "select/subcmd_run.h"
#include "store/decode_actions.h"
#include "store/grp.h"
#include "store/soup.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/subcmd_dialog.h"
#include "view/msglistbox.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>

namespace pelorin {
namespace {

// Repaints each matched row, moves the progress bar and pauses.
class WindowObserver : public TSubCmdObserver {
public:
    WindowObserver(TMsgListBox* list, QProgressBar* bar, int pauseMs)
        : list_(list)
        , bar_(bar)
        , pauseMs_(pauseMs) {}
    void Started(size_t rows) override {
        bar_->setRange(0, rows > 0 ? static_cast<int>(rows - 1) : 0);
        bar_->setValue(0);
        bar_->show();
    }
    void Matched(size_t row, TMsg&) override {
        list_->InvalidateRow(static_cast<int>(row));
        bar_->setValue(static_cast<int>(row));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (pauseMs_ > 0)
            QThread::msleep(static_cast<unsigned long>(pauseMs_));
    }

private:
    TMsgListBox* list_;
    QProgressBar* bar_;
    int pauseMs_;
};

}  // namespace

void TMainForm::BuildSubCommandCommands() {
    TCommandSet& c = *commands_;
    c.Add("mnuSubCommand", QStringLiteral("サブコマンド"), QString(),
          [this] { SubCommandClick(); });
    c.Enable("mnuSubCommand", false);
}

void TMainForm::BuildSubCommandMenu() {
    const TCommandSet& c = *commands_;
    if (auto* edit = menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu")))
        edit->insertAction(c.Find("mnuFind"), c.Find("mnuSubCommand"));
}

std::unique_ptr<TCMD> TMainForm::NewSubCommandDialog() {
    auto dialog = std::make_unique<TCMD>(ownDir_ + "SUBCMD.INI", this);
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packetNode = tree_->PacketNode(i);
        TSoup* packet = TAreaTree::PacketOf(packetNode);
        if (!packet || packet->packetType != 1)
            continue;
        for (int j = 0; j < packetNode->childCount(); ++j) {
            if (TGrp* area = TAreaTree::AreaOf(packetNode->child(j)))
                dialog->AddFolder(area->areaName + "(" + packet->packetName + ")", area);
        }
    }
    return dialog;
}

void TMainForm::SubCommandClick() {
    if (!area_ || Busy())
        return;
    std::unique_ptr<TCMD> dialog = NewSubCommandDialog();
    if (auto* cond = dialog->findChild<QRadioButton*>(QStringLiteral("optCond")))
        cond->setChecked(true);
    dialog->Activate();
    if (dialog->exec() == QDialog::Accepted)
        RunSubCommand(*dialog);
}

void TMainForm::ExecSubCommand(const std::string& name) {
    std::unique_ptr<TCMD> dialog = NewSubCommandDialog();
    dialog->Activate();
    if (!dialog->Load(name)) {
        dialogs_->MessageBox(name + Sjis("というコマンドは登録されていません"),
                             MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    if (area_ && dialog->CanRun())
        RunSubCommand(*dialog);
}

void TMainForm::RunSubCommand(TCMD& dialog) {
    if (!area_)
        return;
    const TSubCommand cmd = dialog.Command();
    TSubCmdResult result;
    {
        BusyScope busy(*this);
        WindowObserver observer(list_, progress_, subCommandPauseMs);
        TSubCmdEnv env;
        env.area = area_;
        env.current = message_;
        env.folder = cmd.copyToFolder ? dialog.ChosenFolder() : nullptr;
        env.dataPath = dataPath_;
        env.dialogs = dialogs_;
        env.observer = &observer;
        result = pelorin::RunSubCommand(cmd, env);
        progress_->hide();
        progress_->setRange(0, 100);
        lastProgress_ = -1;
    }
    if (!result.ran)
        return;
    // A copy into the open area changed the rows the list shows.
    if (cmd.copyToFolder && dialog.ChosenFolder() == area_ && result.copied > 0)
        list_->LoadGroup(area_);
    for (int row = 0; row < list_->Count(); ++row) list_->InvalidateRow(row);
    if (cmd.checkMark)
        for (size_t row : result.matchedRows) list_->SetSelected(static_cast<int>(row), true);
    if (result.clearCurrent && message_) {
        message_ = nullptr;
        EnterNoMessageState();
    }
    if (QTreeWidgetItem* node = tree_->currentItem(); node && TAreaTree::AreaOf(node) == area_)
        UpdateAreaNodeText(node);
    if (!result.error.empty())
        dialogs_->MessageBox(result.error, MsgIcon::Error, MsgButtons::Ok);
    if (result.sendMe.Failed())
        dialogs_->MessageBox(OutboundErrorText(result.sendMe), MsgIcon::Error, MsgButtons::Ok);
    if (cmd.decodeToFile && result.decode.checked > 0)
        dialogs_->MessageBox(DecodeSummaryText(result.decode), MsgIcon::Information,
                             MsgButtons::Ok);
}

}  // namespace pelorin
