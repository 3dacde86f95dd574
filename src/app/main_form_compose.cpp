// Writing messages from the main window: the メッセージ menu and ToolbarMessage, composition of
// new messages and answers, editing a kept message again, child messages of note packets, the
// body request and the address book. The flows themselves are the core's (store/compose.h,
// store/folders.h, store/outbound.h, store/address_book.h); this file hands them the window's
// header form, dialogs and external editor and redisplays what they changed.
//
// Commands (menu item / toolbar button, caption):
//   mnuNewMail / ftbMail         新規メール(&M)              a new mail
//   mnuReplyMail / ftbReply      リプライメール(&R)          a mail answering the shown message
//   mnuNewNews / ftbNews         ニュース記事の投稿(&N)      a news article to the selected area
//   mnuFollowNews / ftbFollow    フォローアップ記事の投稿(&F) a follow-up to the shown message
//   mnuSendMe / ftbSendMe        本文取得(&S)                body requests for the checked messages
//   mnuModMsg                    メッセージの修正            edit a kept message again
//   mnuMakeNewChild              子メッセージの作成          note packets only (hidden elsewhere)
//   N13                          アドレス帳の編集
// The command states switch them (command_states.h, main_form_display.cpp).
//
// The editor's wait keeps the window alive (qt_editor.h). A new message or an answer leaves
// the window as it is, so the user can read on and even start another composition; the packet
// a composition will post into cannot be closed until it has ended. A re-edit or a child
// message disables the tree, the list and the text view, and with them the menus and toolbars
// and the key bindings, because they change the open area when the editor ends; the window is
// given back afterwards and the area shown anew.
//
// Quitting while an editor runs asks first; on OK every wait ends as abandoned - nothing is
// posted, the compose files stay (their numbers are not taken again while they exist) and the
// editors keep running - and the window closes once the compositions have returned.
#include "coding/cp932.h"
#include "store/compose.h"
#include "store/compose_editor.h"
#include "store/folders.h"
#include "store/outbound.h"

#include "app/address_dialog.h"
#include "app/area_tree.h"
#include "app/header_form.h"
#include "app/main_form.h"
#include "app/qt_editor.h"
#include "app/toolbars.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace pelorin {
namespace {

// The core's questions after the window decided to quit are answered Cancel unseen: the flow
// that asks has been abandoned and must not start anything new.
class QuietWhenQuitting : public TDialogs {
public:
    QuietWhenQuitting(TDialogs& inner, const bool& quitting)
        : inner_(inner)
        , quitting_(quitting) {}

    MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override {
        if (quitting_)
            return MsgAnswer::Cancel;
        return inner_.MessageBox(text, icon, buttons);
    }
    bool InputBox(std::string_view caption, std::string_view prompt, std::string& value) override {
        if (quitting_)
            return false;
        return inner_.InputBox(caption, prompt, value);
    }

private:
    TDialogs& inner_;
    const bool& quitting_;
};

std::string DefaultEditor() {
    return DefaultEditorCommand(std::getenv("VISUAL"), std::getenv("EDITOR"));
}

}  // namespace

// Marks a packet as the target of a running composition for as long as it lives.
class TMainForm::PacketInUse {
public:
    PacketInUse(TMainForm& form, TSoup* packet)
        : form_(form)
        , packet_(packet) {
        form_.composingPackets_.push_back(packet_);
    }
    ~PacketInUse() {
        auto& v = form_.composingPackets_;
        v.erase(std::find(v.begin(), v.end(), packet_));
    }
    PacketInUse(const PacketInUse&) = delete;
    PacketInUse& operator=(const PacketInUse&) = delete;

private:
    TMainForm& form_;
    TSoup* packet_;
};

// The window while a re-edit or a child message waits for the editor: panes, menus, toolbars
// and key bindings off.
class TMainForm::ExclusiveEdit {
public:
    explicit ExclusiveEdit(TMainForm& form)
        : form_(form) {
        ++form_.busyDepth_;
        form_.exclusiveEdit_ = true;
        Switch(false);
    }
    ~ExclusiveEdit() {
        Switch(true);
        form_.exclusiveEdit_ = false;
        --form_.busyDepth_;
    }
    ExclusiveEdit(const ExclusiveEdit&) = delete;
    ExclusiveEdit& operator=(const ExclusiveEdit&) = delete;

private:
    void Switch(bool on) {
        for (QWidget* w :
             {static_cast<QWidget*>(form_.tree_), static_cast<QWidget*>(form_.list_),
              static_cast<QWidget*>(form_.text_), static_cast<QWidget*>(form_.menuBar())})
            w->setEnabled(on);
        for (int i = 0; i < TToolbars::kCount; ++i) form_.toolbars_->Bar(i)->setEnabled(on);
    }

    TMainForm& form_;
};

void TMainForm::BuildMessageCommands() {
    editor_ = new TQtEditor(this);
    connect(editor_, &TQtEditor::RunningChanged, this, [this](int running) {
        // The last abandoned wait has returned: the close asked for can now go ahead.
        if (running == 0 && quitting_)
            QTimer::singleShot(0, this, [this] { close(); });
    });
    TCommandSet& c = *commands_;
    c.Alias("ftbMail",
            c.Add("mnuNewMail", QStringLiteral("新規メール(&M)"), QStringLiteral("新規メール"),
                  [this] { ComposeMessage(kMail, false); }));
    c.Alias("ftbReply",
            c.Add("mnuReplyMail", QStringLiteral("リプライメール(&R)"),
                  QStringLiteral("リプライメール"), [this] { ComposeMessage(kMail, true); }));
    c.Alias("ftbNews",
            c.Add("mnuNewNews", QStringLiteral("ニュース記事の投稿(&N)"),
                  QStringLiteral("新規ニュース"), [this] { ComposeMessage(kNews, false); }));
    c.Alias("ftbFollow", c.Add("mnuFollowNews", QStringLiteral("フォローアップ記事の投稿(&F)"),
                               QStringLiteral("フォローアップニュース"),
                               [this] { ComposeMessage(kNews, true); }));
    c.Alias("ftbSendMe", c.Add("mnuSendMe", QStringLiteral("本文取得(&S)"),
                               QStringLiteral("本文取得"), [this] { SendMeClick(); }));
    c.Add("mnuModMsg", QStringLiteral("メッセージの修正"), QString(), [this] { ModifyMessage(); });
    c.Add("mnuMakeNewChild", QStringLiteral("子メッセージの作成"), QString(),
          [this] { MakeNewChild(); });
    c.Show("mnuMakeNewChild", false);
    c.Add("N13", QStringLiteral("アドレス帳の編集"), QString(), [this] { EditAddressNote(); });
}

void TMainForm::BuildMessageMenu() {
    const TCommandSet& c = *commands_;
    QMenu* menu = menuBar()->addMenu(QStringLiteral("メッセージ(&M)"));
    menu->setObjectName(QStringLiteral("MessageMenu"));
    for (const char* name : {"mnuNewMail", "mnuReplyMail", "mnuNewNews", "mnuFollowNews"})
        menu->addAction(c.Find(name));
    menu->addSeparator();
    menu->addAction(c.Find("mnuSendMe"));
    menu->addSeparator();
    menu->addAction(c.Find("mnuModMsg"));
    menu->addAction(c.Find("mnuMakeNewChild"));
    menu->addSeparator();
    menu->addAction(c.Find("N13"));
}

void TMainForm::SetEditor(TEditor* editor) {
    editorOverride_ = editor;
}

TEditor& TMainForm::Editor() {
    return editorOverride_ ? *editorOverride_ : static_cast<TEditor&>(*editor_);
}

int TMainForm::EditorsRunning() const {
    return editor_ ? editor_->Running() : 0;
}

void TMainForm::ComposeMessage(int kind, bool answer) {
    if (!packet_ || exclusiveEdit_)
        return;
    if (answer && !message_)
        return;
    // New news goes to the selected area node's area.
    std::string areaName;
    if (QTreeWidgetItem* node = tree_->currentItem(); TAreaTree::IsAreaNode(node))
        areaName = TAreaTree::AreaOf(node)->areaName;
    QuietWhenQuitting dialogs(*dialogs_, quitting_);
    TQtHeaderFormView form(this, ownDir_, dialogs);
    ComposeEnv env = MakeComposeEnv(dialogs, form);
    TSoup* current = packet_;
    const PacketInUse inUse(*this, current);
    const ComposeResult result =
        Compose(env, *current, kind, answer, answer ? message_ : nullptr, areaName);
    if (result.outcome == ComposeOutcome::Posted || result.outcome == ComposeOutcome::Reserved)
        RedisplayKeptCopies();
}

ComposeEnv TMainForm::MakeComposeEnv(TDialogs& dialogs, THeaderFormView& form) {
    return ComposeEnv{*ini_,
                      ownDir_,
                      versionText_,
                      DefaultEditor(),
                      dialogs,
                      Editor(),
                      form,
                      TreePackets(),
                      [this] { return TreePackets(); }};
}

void TMainForm::RedisplayKeptCopies() {
    // A kept copy went into a folder; when that folder is the open area, show it anew.
    if (!area_ || !packet_ || packet_->packetType == 0)
        return;
    const ComposeSettings settings = ReadComposeSettings(*ini_, ownDir_, DefaultEditor());
    const bool posted =
        packet_->packetName == settings.postedPacket && area_->areaName == settings.postedFolder;
    const bool reserve =
        packet_->packetName == settings.reservePacket && area_->areaName == settings.reserveFolder;
    if (posted || reserve)
        RedisplayArea(area_);
}

void TMainForm::RedisplayArea(TGrp* area) {
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packet = tree_->PacketNode(i);
        for (int j = 0; j < packet->childCount(); ++j) {
            if (TAreaTree::AreaOf(packet->child(j)) == area) {
                SelectNode(packet->child(j));
                SelectArea('A');
                return;
            }
        }
    }
}

void TMainForm::ModifyMessage() {
    if (!packet_ || !area_ || !message_ || exclusiveEdit_)
        return;
    if (!ReEditOffered(*packet_, *area_, ReadComposeSettings(*ini_, ownDir_, DefaultEditor())))
        return;
    int pos = -1;
    for (int i = 0; TMsg* at = area_->MessageAt(i); ++i) {
        if (at == message_) {
            pos = i;
            break;
        }
    }
    if (pos < 0)
        return;
    QuietWhenQuitting dialogs(*dialogs_, quitting_);
    TQtHeaderFormView form(this, ownDir_, dialogs);
    ComposeEnv env = MakeComposeEnv(dialogs, form);
    TSoup* current = packet_;
    TGrp* area = area_;
    ComposeResult result;
    {
        const PacketInUse inUse(*this, current);
        const ExclusiveEdit exclusive(*this);
        result = ReEditMessage(env, *current, *area, pos);
    }
    if (result.outcome != ComposeOutcome::NotStarted && result.outcome != ComposeOutcome::Abandoned)
        RedisplayArea(area);
}

void TMainForm::MakeNewChild() {
    if (!packet_ || packet_->packetType != 2 || !area_ || exclusiveEdit_)
        return;
    const ComposeSettings settings = ReadComposeSettings(*ini_, ownDir_, DefaultEditor());
    QuietWhenQuitting dialogs(*dialogs_, quitting_);
    const ChildMessageEnv env{ownDir_, settings.externalEditor, settings.charset, Editor(),
                              dialogs};
    TSoup* current = packet_;
    TGrp* area = area_;
    ChildOutcome outcome = ChildOutcome::Failed;
    {
        const PacketInUse inUse(*this, current);
        const ExclusiveEdit exclusive(*this);
        outcome = MakeChildMessage(
            env, *area, message_,
            [this](const TSList& lines) {
                if (!quitting_)
                    text_->SetLines(lines);
            },
            std::time(nullptr));
    }
    if (outcome == ChildOutcome::Added && !quitting_)
        RedisplayArea(area);
}

void TMainForm::SendMeClick() {
    if (!packet_ || !area_)
        return;
    // The checked messages: those selected in the list, else the one shown.
    const int rows = list_->Count();
    for (int row = 0; row < rows; ++row) list_->MsgAt(row)->checked = list_->IsSelected(row);
    if (list_->SelCount() == 0 && message_)
        message_->checked = true;
    const OutboundResult r = RequestBodies(*packet_, *area_, *dialogs_);
    if (r.Failed())
        dialogs_->MessageBox(OutboundErrorText(r), MsgIcon::Error, MsgButtons::Ok);
}

void TMainForm::EditAddressNote() {
    RunAddressBook(ownDir_, {}, *dialogs_, this);
}

bool TMainForm::RefuseWhileComposing(const TSoup* packet) {
    if (std::find(composingPackets_.begin(), composingPackets_.end(), packet) ==
        composingPackets_.end())
        return false;
    dialogs_->MessageBox(packet->packetName + Sjis("には作成中のメッセージがあります。") + "\n" +
                             Sjis("エディタを終了してから閉じてください。"),
                         MsgIcon::Information, MsgButtons::Ok);
    return true;
}

bool TMainForm::MayCloseWhileEditing() {
    if (quitting_ || EditorsRunning() == 0)
        return true;
    const MsgAnswer answer =
        dialogs_->MessageBox(Sjis("エディタでメッセージを作成中です。") + "\n" +
                                 Sjis("作成中のファイルは残したまま、Pelorinを終了しますか？"),
                             MsgIcon::Warning, MsgButtons::OkCancel);
    if (answer != MsgAnswer::Ok)
        return false;
    quitting_ = true;
    // The window closes when the last wait has returned (BuildMessageCommands).
    editor_->AbandonAll();
    return false;
}

}  // namespace pelorin
