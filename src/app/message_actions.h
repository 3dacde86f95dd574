// TMessageActions: the commands that act on the checked messages - copying to the clipboard,
// saving the bodies to a file, decoding attachments to files, copying into a folder - as the
// main window (and, later, sub-commands) call them. The window hands in its state as an
// ActionScope at each call; the work on messages is the core's (message_text.h,
// decode_actions.h, folders.h), the questions go through TDialogs, and the two windows of its
// own (the save dialog and the folder selection dialog) are replaceable choosers, so tests can
// answer them.
//
// Checked messages: CollectChecked sets each message's check flag exactly when its row of the
// message list is selected; with no row selected the shown message is checked. The actions
// then take the checked messages of the area in list (display) order.
#pragma once

#include "store/dialogs.h"
#include "store/folders.h"
#include "store/replace_file.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace pelorin {

class TMsgListBox;

// The window's state an action looks at.
struct ActionScope {
    TGrp* area = nullptr;         // the open area
    TMsg* shown = nullptr;        // the shown message
    TMsgListBox* list = nullptr;  // the message list (rows of `area`)
    std::string selectedText;     // the text view's selection (Shift_JIS), may be empty
    QString selectedUnicode;      // the same with every character (a UTF-8 part), may be empty
    std::string dataPath;         // where decoded files go
    std::string saveCharset;      // [Files] SaveCharset: "" (the locale's), "UTF-8", "Shift_JIS"
    std::vector<TSoup*> packets;  // the open packets, in tree order
    std::function<void(size_t, size_t)> progress;  // long loops report (i, n); may be empty
};

// What CopySelectedToFolder did.
struct FolderCopyOutcome {
    TGrp* folder = nullptr;  // the folder chosen; null when nothing was copied or chosen
    FolderCopyResult result;
};

class TMessageActions {
public:
    // `parent` parents the default choosers' dialogs (may be null).
    TMessageActions(TDialogs& dialogs, QWidget* parent);

    // The save dialog: a path (Shift_JIS) or "" when cancelled.
    std::function<std::string()> chooseSaveFile;
    // The folder selection dialog (TSelectDialog): the folder chosen, or null.
    std::function<TGrp*(const FolderChoice&)> chooseFolder;

    static void CollectChecked(const ActionScope& scope);
    // The messages of the selected rows, in list order.
    static std::vector<TMsg*> SelectedMessages(const TMsgListBox* list);
    // The checked messages of `area`, in display order.
    static std::vector<TMsg*> CheckedMessages(const TGrp& area);

    // The text EditCopy puts on the clipboard (Shift_JIS): with fewer than two rows selected,
    // the text view's selection or else the whole shown message; with two or more, every
    // selected message whole, in list order. Lines are converted and end in CR LF.
    static std::string CopyText(const ActionScope& scope);
    // CopyText to the clipboard, through the CP932 codec; nothing when the text is empty.
    void EditCopy(const ActionScope& scope);

    // Asks for a file, checks the messages, confirms "チェックされた" n "件を" LF path
    // "に保存します" (OK/Cancel) and writes their bodies in scope.saveCharset. Characters that
    // set cannot carry are written as "〓", and a message then names each message (its
    // subject and Message-ID) with how many of its characters were replaced. False when the write failed
    // (`failure` says why); true otherwise, also when nothing was written.
    bool SaveChecked(const ActionScope& scope, WriteFailure& failure);

    // Checks the messages, decodes them into the data directory and shows the summary box.
    void DecodeChecked(const ActionScope& scope);

    // Asks for a folder and copies the shown message (fewer than two rows selected) or every
    // selected message, skipping those the folder holds; the folder is written at once.
    FolderCopyOutcome CopySelectedToFolder(const ActionScope& scope);

private:
    TDialogs& dialogs_;
};

}  // namespace pelorin
