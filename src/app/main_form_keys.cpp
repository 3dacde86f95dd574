// The key and mouse bindings of the main window (key_bindings.h has the names, the lookup and
// the argument rules).
//
// The window watches its four panes (area tree, message list, tab bar, text view): a pane that
// gets the focus sets the focus context ('a', 's', 't', 'b') and comes to the front in
// full-window display; a key press that types a character is dropped, so no pane acts on
// letters, digits or Space by itself; a key release (FormKeyUp) clears the mouse flag and,
// unless busy, runs the binding found for the key in the focus context, which then consumes
// the key. Auto-repeated releases are ignored: holding a key down counts once, at its release.
// The key is named as it was pressed, with the modifiers held then (a quick Shift+N often lets
// Shift go first); a release whose press the panes did not see runs no binding, and a release
// that travels on to a parent pane runs none a second time.
//
// Functions defined here are those whose commands the window has: opening and closing
// packets, the moves, the area moves, opening areas, the view switches, the sort orders, the
// border moves, the history, the marks, the part moves, the focus moves, Rot13, HScroll,
// AreaClear and ApplicationQuit. Functions taking a mark character do nothing when the
// argument is empty.
#include "coding/cp932.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "app/pane_layout.h"
#include "app/toolbars.h"
#include "view/msglistbox.h"
#include "view/textview.h"

#include <QAction>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTabBar>

namespace pelorin {

void TMainForm::InstallKeyHandling() {
    for (QObject* watched : std::initializer_list<QObject*>{
             tree_, list_, tabs_, text_, text_->verticalScrollBar(), text_->viewport()})
        watched->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn: {
            if (watched == tree_) {
                focusContext_ = kContextAreas;
                panes_->BringToFront(panelAreas_);
            } else if (watched == list_) {
                focusContext_ = kContextList;
                panes_->BringToFront(panelList_);
            } else if (watched == tabs_) {
                focusContext_ = kContextTab;
                panes_->BringToFront(panelText_);
            } else {
                focusContext_ = kContextText;
                panes_->BringToFront(panelText_);
            }
            break;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                keyPresses_.Down(key->nativeScanCode(), key->key(), key->modifiers());
            const QString text = key->text();
            if (!text.isEmpty() && text.at(0).isPrint() &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
                return true;
            break;
        }
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->isAutoRepeat())
                return true;
            const std::optional<TKeyPresses::Press> press =
                keyPresses_.Up(key->nativeScanCode(), key->key());
            // The panes' own key-up handlers (Enter in the area tree) read these too.
            releasedModifiers_ = press ? press->modifiers : key->modifiers();
            if (!press) {
                mouseFlag_ = false;
                break;
            }
            bool consumed = false;
            Step([&] { consumed = FormKeyUp(press->key, press->modifiers); });
            if (consumed)
                return true;
            break;
        }
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::FormKeyUp(int qtKey, Qt::KeyboardModifiers modifiers) {
    mouseFlag_ = false;
    if (Busy())
        return false;
    const std::string name =
        KeyName(VirtualKeyOf(qtKey), modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier,
                modifiers & Qt::ShiftModifier);
    const std::string value = LookupBinding(*ini_, name, focusContext_);
    if (value.empty())
        return false;
    return bindings_.ExecuteBinding(value);
}

void TMainForm::DefineBindings() {
    TKeyBindings& b = bindings_;
    auto withMark = [](std::function<void(char)> f) {
        return [f = std::move(f)](const TBinding& binding) {
            if (binding.First() != '\0')
                f(binding.First());
        };
    };
    auto trigger = [this](const char* name) {
        return [this, name](const TBinding&) {
            if (QAction* action = commands_->Find(name))
                action->trigger();
        };
    };
    b.Define("OpenAreas", [this](const TBinding&) { FileOpen(); });
    b.Define("CloseAreas", [this](const TBinding&) { ClosePacket(); });
    b.Define("NextMessage", [this](const TBinding&) { StepNext(false, 0); });
    b.Define("ShowNextMessage", [this](const TBinding&) { StepNext(true, 0); });
    b.Define("NextUnreadMessage", [this](const TBinding&) { StepNext(true, '*'); });
    b.Define("NextMarkAs", withMark([this](char x) { StepNext(true, x); }));
    b.Define("PrevMessage", [this](const TBinding&) { StepPrev(false); });
    b.Define("ShowPrevMessage", [this](const TBinding&) { StepPrev(true); });
    b.Define("NextPage", [this](const TBinding&) { PageOn(0); });
    b.Define("NextUnreadPage", [this](const TBinding&) { PageOn('*'); });
    b.Define("NextPageMarkAs", withMark([this](char x) { PageOn(x); }));
    b.Define("NextArea", [this](const TBinding&) { NextArea(); });
    b.Define("PrevArea", [this](const TBinding&) { PrevArea(); });
    b.Define("AreaSelect", [this](const TBinding&) { SelectArea('A'); });
    b.Define("AreaSelectShowMarkAs", withMark([this](char x) { SelectArea(x); }));
    b.Define("ToggleShowHeaders", trigger("K7"));
    b.Define("ToggleShowToolBar", [this](const TBinding&) {
        for (int i = 0; i < TToolbars::kCount; ++i) {
            if (QAction* action = commands_->Find(TToolbars::SwitchName(i)))
                action->trigger();
        }
    });
    b.Define("ToggleShowStatBar", trigger("N3"));
    b.Define("ToggleShowMsgTab", trigger("mnuTab"));
    b.Define("ToggleDispMode", trigger("mnuFill"));
    b.Define("ThreadSort", [this](const TBinding&) { SetListOrder(1); });
    b.Define("SubjectSort", [this](const TBinding&) { SetListOrder(2); });
    b.Define("AuthorSort", [this](const TBinding&) { SetListOrder(3); });
    b.Define("DateSort", [this](const TBinding&) { SetListOrder(4); });
    b.Define("NoneSort", [this](const TBinding&) { SetListOrder(0); });
    b.Define("BorderXMinus", [this](const TBinding&) { panes_->MoveBorder(0, -1); });
    b.Define("BorderXPuls", [this](const TBinding&) { panes_->MoveBorder(0, 1); });
    b.Define("BorderYMinus", [this](const TBinding&) { panes_->MoveBorder(-1, 0); });
    b.Define("BorderYPuls", [this](const TBinding&) { panes_->MoveBorder(1, 0); });
    b.Define("BorderMove",
             [this](const TBinding& a) { panes_->MoveBorder(a.NumberOf(0), a.NumberOf(1)); });
    b.Define("PrevHistry", [this](const TBinding&) { HistoryBack(); });
    b.Define("NextHistry", [this](const TBinding&) { HistoryForward(); });
    b.Define("MarkAllReaded", [this](const TBinding&) { MarkAllAs(' ', '*'); });
    b.Define("MarkAll", [this](const TBinding& a) {
        if (a.FirstOf(0) != '\0' && a.FirstOf(1) != '\0')
            MarkAllAs(a.FirstOf(0), a.FirstOf(1));
    });
    b.Define("MarkDelete", [this](const TBinding&) { MarkCurrentAs('-'); });
    b.Define("MarkFevorite", [this](const TBinding&) { MarkCurrentAs('+'); });
    b.Define("MarkNone", [this](const TBinding&) { MarkCurrentAs(' '); });
    b.Define("MarkingAs", withMark([this](char x) { MarkCurrentAs(x); }));
    b.Define("ExecSubCommand", [this](const TBinding& x) { ExecSubCommand(x.argText); });
    b.Define("PrevPart", [this](const TBinding&) { PrevPart(); });
    b.Define("NextPart", [this](const TBinding&) { NextPart(); });
    b.Define("ListSetFocus", [this](const TBinding&) { FocusList(); });
    b.Define("AreasSetFocus", [this](const TBinding&) { FocusAreas(); });
    b.Define("Rot13", [this](const TBinding&) { Rot13Part(); });
    b.Define("HScroll", [this](const TBinding& a) { HScroll(a.Number()); });
    b.Define("AreaClear", [this](const TBinding&) { PurgeArea(); });
    b.Define("DecodeToFile", [this](const TBinding&) { DecodeChecked(); });
    b.Define("SendMe", trigger("mnuSendMe"));
    // Writing runs after the binding has returned: a binding holds the busy flag, which would
    // keep every key from working for as long as the editor is open.
    auto later = [this](const char* name) {
        return [this, name](const TBinding&) {
            QMetaObject::invokeMethod(
                this,
                [this, name] {
                    if (QAction* action = commands_->Find(name))
                        action->trigger();
                },
                Qt::QueuedConnection);
        };
    };
    b.Define("PostNewMail", later("mnuNewMail"));
    b.Define("PostReplyMail", later("mnuReplyMail"));
    b.Define("PostNewNews", later("mnuNewNews"));
    b.Define("PostFollowNews", later("mnuFollowNews"));
    b.Define("EditAddressNote", [this](const TBinding&) { EditAddressNote(); });
    b.Define("ApplicationQuit", [this](const TBinding&) {
        if (dialogs_->MessageBox(Sjis("Pelorinを終了します"), MsgIcon::Warning,
                                 MsgButtons::OkCancel) == MsgAnswer::Ok)
            close();
    });
}

}  // namespace pelorin
