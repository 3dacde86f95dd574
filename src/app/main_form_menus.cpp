// The マーク submenu of 編集 and the pop-up menus of the message list and the text view.
//
// マーク (編集 menu and the list's pop-up menu): － (delete), ＋ (keep), ＿ (read) and ＊ (unread)
// give the checked messages - the selected rows, else the shown message - that mark; the rows
// repaint and the area's node and the status line's counts follow.
//
// The list's pop-up menu (right button on a row: a row not yet selected becomes the only
// selection and the focus row): マーク, ｺﾋﾟｰ, 名前をつけて保存, ファイルへデコード, フォルダにコピー,
// リプライメール, フォローアップ記事の投稿, 本文取得.
//
// The text view's pop-up menu (right button on the text, when no mouse binding is stored for
// that button with the keys held): 全体をコピー (the whole shown message, whatever is selected),
// コピー (the selection, or the whole message), ファイルへ保存, ファイルへデコード, フォルダへコピー,
// リプライメール, フォローアップ記事, 本文取得要求, アドレス帳へ追加 (the address book with the
// sender's name and address filled in, for 追加) and 記事の検索 (the search window, searching
// for the selected text).
// Items share the commands of the menus, so they are on and off as those are.
#include "store/msg.h"

#include "app/address_dialog.h"
#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/message_actions.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>

namespace pelorin {

namespace {

struct MarkItem {
    const char* name;
    const char* caption;
    char mark;
};

constexpr MarkItem kMarks[] = {
    {"mnuMarkDelete", "－ 削除(&D)", '-'},
    {"mnuMarkKeep", "＋ 保存(&K)", '+'},
    {"mnuMarkRead", "＿ 既読(&R)", ' '},
    {"mnuMarkUnread", "＊ 未読(&U)", '*'},
};

QMenu* MarkMenu(const TCommandSet& c, QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("マーク(&K)"), parent);
    menu->setObjectName(QStringLiteral("mnuMark"));
    for (const MarkItem& item : kMarks) menu->addAction(c.Find(item.name));
    return menu;
}

}  // namespace

void TMainForm::BuildMarkCommands() {
    TCommandSet& c = *commands_;
    for (const MarkItem& item : kMarks) {
        const char mark = item.mark;
        c.Add(item.name, QString::fromUtf8(item.caption), QString(),
              [this, mark] { MarkChecked(mark); });
    }
    c.Add("pmnCopyAll", QStringLiteral("全体をコピー"), QString(), [this] { CopyWholeMessage(); });
    c.Add("pmnAddAddress", QStringLiteral("アドレス帳へ追加"), QString(),
          [this] { AddSenderToAddressBook(); });
    c.Add("pmnFind", QStringLiteral("記事の検索"), QString(), [this] { SearchSelectedText(); });
}

void TMainForm::BuildContextMenus() {
    const TCommandSet& c = *commands_;
    if (auto* edit = menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"))) {
        edit->insertMenu(c.Find("mnuChkCls"), MarkMenu(c, edit));
        edit->insertSeparator(c.Find("mnuChkCls"));
    }

    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("ListMenu"));
    listMenu_->addMenu(MarkMenu(c, listMenu_));
    listMenu_->addSeparator();
    for (const char* name : {"EditCopyItem", "FileSaveAsItem", "mnuDecode", "mnuCopyToFolder"})
        listMenu_->addAction(c.Find(name));
    listMenu_->addSeparator();
    for (const char* name : {"mnuReplyMail", "mnuFollowNews", "mnuSendMe"})
        listMenu_->addAction(c.Find(name));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
        if (Busy())
            return;
        const int row = list_->indexAt(point).row();
        if (row >= 0 && !list_->IsSelected(row)) {
            list_->clearSelection();
            list_->SetSelected(row, true);
            list_->SetItemIndex(row);
        }
        if (list_->Count() > 0)
            EnterSelectionState();
        listMenu_->exec(list_->viewport()->mapToGlobal(point));
    });

    textMenu_ = new QMenu(this);
    textMenu_->setObjectName(QStringLiteral("TextMenu"));
    struct Item {
        const char* command;
        const char* caption;  // the text menu's own wording; empty: the command's
    };
    static constexpr Item kTextItems[] = {
        {"pmnCopyAll", ""},
        {"EditCopyItem", "コピー"},
        {"", ""},
        {"FileSaveAsItem", "ファイルへ保存"},
        {"mnuDecode", "ファイルへデコード"},
        {"mnuCopyToFolder", "フォルダへコピー"},
        {"", ""},
        {"mnuReplyMail", "リプライメール"},
        {"mnuFollowNews", "フォローアップ記事"},
        {"mnuSendMe", "本文取得要求"},
        {"", ""},
        {"pmnAddAddress", ""},
        {"pmnFind", ""},
    };
    for (const Item& item : kTextItems) {
        if (!*item.command) {
            textMenu_->addSeparator();
            continue;
        }
        QAction* command = c.Find(item.command);
        if (!*item.caption) {
            textMenu_->addAction(command);
            continue;
        }
        // Its own caption, the command's state and work.
        auto* action = new QAction(QString::fromUtf8(item.caption), textMenu_);
        action->setObjectName(QString::fromLatin1(item.command));
        action->setEnabled(command->isEnabled());
        connect(command, &QAction::changed, action,
                [action, command] { action->setEnabled(command->isEnabled()); });
        connect(action, &QAction::triggered, command, [command] { command->trigger(); });
        textMenu_->addAction(action);
    }
}

void TMainForm::PopupTextMenu(const QPoint& globalPos) {
    commands_->Enable({"pmnCopyAll", "pmnAddAddress", "pmnFind"}, message_ != nullptr);
    textMenu_->exec(globalPos);
}

void TMainForm::MarkChecked(char mark) {
    if (!area_ || Busy())
        return;
    CollectChecked();
    bool any = false;
    for (int row = 0; row < list_->Count(); ++row) {
        TMsg* msg = list_->MsgAt(row);
        if (!msg->checked)
            continue;
        any = true;
        if (msg->mark != mark) {
            msg->mark = mark;
            area_->marksChanged = true;
            list_->InvalidateRow(row);
        }
    }
    if (!any)
        return;
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packet = tree_->PacketNode(i);
        for (int j = 0; j < packet->childCount(); ++j) {
            if (TAreaTree::AreaOf(packet->child(j)) == area_)
                UpdateAreaNodeText(packet->child(j));
        }
    }
}

void TMainForm::CopyWholeMessage() {
    if (!message_)
        return;
    ActionScope scope = Scope();
    scope.list = nullptr;  // the shown message alone, not the selected rows
    scope.selectedText.clear();
    scope.selectedUnicode.clear();
    actions_->EditCopy(scope);
}

void TMainForm::AddSenderToAddressBook() {
    if (!message_ || Busy())
        return;
    (void)RunAddressBook(ownDir_, message_->From().str(), *dialogs_, this);
}

}  // namespace pelorin
