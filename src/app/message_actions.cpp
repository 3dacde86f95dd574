// The message actions (see message_actions.h).
#include "app/message_actions.h"

#include "coding/cp932.h"
#include "store/decode_actions.h"
#include "store/message_text.h"

#include "app/select_dialog.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>

namespace pelorin {

TMessageActions::TMessageActions(TDialogs& dialogs, QWidget* parent)
    : dialogs_(dialogs) {
    chooseSaveFile = [parent] {
        const QString path =
            QFileDialog::getSaveFileName(parent, QStringLiteral("名前をつけて保存"));
        return path.isEmpty() ? std::string() : FromQString(path);
    };
    chooseFolder = [parent](const FolderChoice& choice) { return ChooseFolder(choice, parent); };
}

void TMessageActions::CollectChecked(const ActionScope& scope) {
    if (!scope.area)
        return;
    for (const DisplayEntry& e : scope.area->display) e.msg->checked = false;
    bool any = false;
    if (scope.list) {
        const int rows = scope.list->Count();
        for (int row = 0; row < rows; ++row) {
            if (scope.list->IsSelected(row)) {
                scope.list->MsgAt(row)->checked = true;
                any = true;
            }
        }
    }
    if (!any && scope.shown)
        scope.shown->checked = true;
}

std::vector<TMsg*> TMessageActions::SelectedMessages(const TMsgListBox* list) {
    std::vector<TMsg*> msgs;
    if (!list)
        return msgs;
    const int rows = list->Count();
    for (int row = 0; row < rows; ++row) {
        if (list->IsSelected(row))
            msgs.push_back(list->MsgAt(row));
    }
    return msgs;
}

std::vector<TMsg*> TMessageActions::CheckedMessages(const TGrp& area) {
    std::vector<TMsg*> msgs;
    for (const DisplayEntry& e : area.display) {
        if (e.msg->checked)
            msgs.push_back(e.msg);
    }
    return msgs;
}

std::string TMessageActions::CopyText(const ActionScope& scope) {
    const std::vector<TMsg*> selected = SelectedMessages(scope.list);
    if (selected.size() >= 2)
        return WholeMessagesText(selected);
    if (!scope.shown)
        return {};
    if (!scope.selectedText.empty())
        return scope.selectedText;
    return WholeMessagesText({scope.shown});
}

void TMessageActions::EditCopy(const ActionScope& scope) {
    if (scope.shown && !scope.selectedText.empty() && !scope.selectedUnicode.isEmpty() &&
        SelectedMessages(scope.list).size() < 2) {
        QGuiApplication::clipboard()->setText(scope.selectedUnicode);
        return;
    }
    // Whole messages go over in UTF-8, so text read through Unicode keeps every character.
    const std::vector<TMsg*> selected = SelectedMessages(scope.list);
    if (selected.size() >= 2 || (scope.shown && scope.selectedText.empty())) {
        const std::string text =
            WholeMessagesUtf8(selected.size() >= 2 ? selected : std::vector<TMsg*>{scope.shown});
        if (!text.empty())
            QGuiApplication::clipboard()->setText(Utf8ToQString(text));
        return;
    }
    const std::string text = CopyText(scope);
    if (!text.empty())
        QGuiApplication::clipboard()->setText(ToQString(text));
}

bool TMessageActions::SaveChecked(const ActionScope& scope, WriteFailure& failure) {
    if (!scope.area)
        return true;
    const std::string path = chooseSaveFile();
    if (path.empty())
        return true;
    CollectChecked(scope);
    const std::vector<TMsg*> msgs = CheckedMessages(*scope.area);
    if (msgs.empty())
        return true;
    if (dialogs_.MessageBox(Sjis("チェックされた") + std::to_string(msgs.size()) + Sjis("件を") +
                                "\n" + path + Sjis("に保存します"),
                            MsgIcon::Information, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return true;
    const TextCharset charset = ParseTextCharset(scope.saveCharset);
    std::vector<SaveLoss> losses;
    if (SaveBodies(path, msgs, charset, failure, losses) != ReplaceResult::Ok)
        return false;
    if (!losses.empty()) {
        std::string text = Sjis("保存した文字コード（") + std::string(TextCharsetName(charset)) +
                           Sjis("）で表せない文字を〓に置き換えました。");
        for (const SaveLoss& loss : losses) {
            // The subject may have lost the same characters: the Message-ID names it too.
            const std::string id =
                loss.msg->messageId.empty() ? loss.msg->Header("Message-ID") : loss.msg->messageId;
            text += "\n" + Sjis("【") + loss.msg->subject + Sjis("】") + id + " " +
                    std::to_string(loss.replaced) + Sjis("文字");
        }
        (void)dialogs_.MessageBox(text, MsgIcon::Warning, MsgButtons::Ok);
    }
    return true;
}

void TMessageActions::DecodeChecked(const ActionScope& scope) {
    if (!scope.area)
        return;
    CollectChecked(scope);
    const std::vector<TMsg*> msgs = CheckedMessages(*scope.area);
    if (msgs.empty())
        return;
    const DecodeSummary summary = DecodeMessages(msgs, scope.dataPath, dialogs_, scope.progress);
    (void)dialogs_.MessageBox(DecodeSummaryText(summary), MsgIcon::Information, MsgButtons::Ok);
}

FolderCopyOutcome TMessageActions::CopySelectedToFolder(const ActionScope& scope) {
    FolderCopyOutcome outcome;
    const std::vector<TMsg*> selected = SelectedMessages(scope.list);
    if (selected.size() < 2 && !scope.shown)
        return outcome;
    TGrp* folder = chooseFolder(CopyToFolderChoice(scope.packets, selected.size()));
    if (!folder)
        return outcome;
    const std::vector<TMsg*> msgs = MessagesToCopy(scope.shown, selected);
    if (msgs.empty())
        return outcome;
    outcome.folder = folder;
    outcome.result = CopyToFolderAndWrite(*folder, msgs);
    return outcome;
}

}  // namespace pelorin
