// The header form of composition ("メッセージの作成"): what it shows when it opens, and the
// header list it gives when it closes with OK. The window (TfrmInput) shows a THeaderForm and
// writes the user's changes back into it; THeaderFormView is how the composition flow asks the
// UI layer to show it.
//
// When the form opens:
//  - recipient: answering mail, the answered message's Reply-To, else its From address;
//    answering news, its Followup-To, else its Newsgroups; new news, the current area's name;
//    new mail, empty. Header values are decoded (MIME words, folds, JIS) and trimmed.
//  - follow-up list: when the recipient holds ",", each comma-separated part as written,
//    then "なし" (none); otherwise empty, and the list is disabled.
//  - subject: "Re: " + the answered message's Subject with leading reply prefixes removed
//    (while longer than 4 characters and the first four, upper-cased, are "RE: " or "RE:_");
//    empty for a new message.
//  - the recipient drop-down: the address book's entries (address_book.h).
//
// The header list: "Subject: " + subject; "To: " (mail) or "Newsgroups: " (news) + the
// address part of the recipient (address_parts.h) - for mail, when the recipient is a list of
// several mailboxes or holds a group, the whole list as the address-list parser reads it
// (address_list.h); "Followup-To: " + the chosen follow-up
// entry unless it is "なし"; when answering, "References: " + the answered message's References
// and its Message-ID, separated by a blank (either alone when the other is empty; no line when
// both are).
#pragma once

#include "store/compose_file.h"
#include "store/msg.h"
#include "store/strutil.h"

#include <string>
#include <string_view>

namespace pelorin {

struct THeaderForm {
    int kind = kMail;          // kMail or kNews
    TMsg* answered = nullptr;  // the message answered; null for a new message
    std::string areaName;      // the current area's name (may be empty)
    std::string subject;       // edtSubj
    std::string subjectUtf8;   // edtSubj in UTF-8 when it holds characters Shift_JIS cannot
                               // (`subject` then has "〓" or "?" for them); else empty
    std::string recipient;     // cmbTo's text
    TSList recipientItems;     // cmbTo's drop-down
    TSList followups;          // lstGrp's entries; empty when the list is disabled
    int followupIndex = -1;    // lstGrp's selected row; -1 for none
    bool editHeader = false;   // cbHeader ("ヘッダーも編集する")

    bool FollowupEnabled() const { return !followups.empty(); }
};

// The caption and the "none" entry of the follow-up list.
std::string HeaderFormCaption();  // "メッセージの作成"
std::string NoFollowup();         // "なし"

// "Re: " + subject without its leading reply prefixes.
std::string ReplySubject(std::string_view subject);

// Sets the follow-up list from a recipient text (see above).
void FillFollowups(THeaderForm& form);

// The form as it opens. `areaName` is the current area's name, empty when no area node is
// selected; `programDir` (ending with "/") holds ADDRESS.DAT. May load the answered message's
// lines.
THeaderForm PrepareHeaderForm(int kind,
                              TMsg* answered,
                              std::string_view areaName,
                              bool editHeader,
                              std::string_view programDir);

// The header list of a form closed with OK.
TSList HeaderList(const THeaderForm& form);

// How composition has the header form shown: the UI layer shows `form` modally (centred over
// the main window), stores the user's changes in it and returns true for OK, false for Cancel.
class THeaderFormView {
public:
    virtual ~THeaderFormView() = default;
    virtual bool Run(THeaderForm& form) = 0;
};

}  // namespace pelorin
