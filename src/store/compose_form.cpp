// The header form model and the header list (see compose_form.h).
#include "store/compose_form.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "store/address_book.h"
#include "store/address_list.h"
#include "store/address_parts.h"

namespace pelorin {
namespace {

// A header value of the answered message as display text, without the CR a message file may
// leave at its end.
std::string HeaderText(TMsg& msg, std::string_view name) {
    return std::string(Trim(DecodeHeaderText(msg.Header(name))));
}

// The To: value of a typed recipient: one mailbox gives its address part, as always; a list
// (several mailboxes, or a group) is written back whole by the address-list parser, so that
// no recipient is lost and names keep their commas.
std::string MailRecipients(const std::string& recipient) {
    const AddressList list = ParseAddressList(recipient);
    if (list.groups == 0 && list.mailboxes.size() <= 1)
        return AddressPart(recipient);
    return FormatAddressList(list);
}

}  // namespace

std::string HeaderFormCaption() {
    return Sjis("メッセージの作成");
}
std::string NoFollowup() {
    return Sjis("なし");
}

std::string ReplySubject(std::string_view subject) {
    std::string s(subject);
    while (s.size() > 4) {
        const std::string head = SjisUpper(std::string_view(s).substr(0, 4));
        if (head != "RE: " && head != "RE:_")
            break;
        s.erase(0, 4);
    }
    // Control characters become spaces: a CR (an encoded "=0D") would end the Subject line in
    // the compose file and start a header field of the sender's choosing. Neither Shift_JIS
    // nor UTF-8 has such a byte inside a character.
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return "Re: " + s;
}

void FillFollowups(THeaderForm& form) {
    form.followups.clear();
    form.followupIndex = -1;
    if (form.recipient.find(',') == std::string::npos)
        return;
    size_t pos = 0;
    for (;;) {
        size_t comma = form.recipient.find(',', pos);
        form.followups.push_back(form.recipient.substr(pos, comma - pos));
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    form.followups.push_back(NoFollowup());
}

THeaderForm PrepareHeaderForm(int kind,
                              TMsg* answered,
                              std::string_view areaName,
                              bool editHeader,
                              std::string_view programDir) {
    THeaderForm f;
    f.kind = kind;
    f.answered = answered;
    f.areaName = std::string(areaName);
    f.editHeader = editHeader;
    if (answered && kind == kMail) {
        f.recipient = HeaderText(*answered, "Reply-To");
        if (f.recipient.empty())
            f.recipient = answered->FromAddress();
    } else if (answered) {
        f.recipient = HeaderText(*answered, "Followup-To");
        if (f.recipient.empty())
            f.recipient = HeaderText(*answered, "Newsgroups");
    } else if (kind != kMail) {
        f.recipient = std::string(areaName);
    }
    FillFollowups(f);
    f.subject = answered ? ReplySubject(answered->subject) : std::string();
    if (answered) {
        // A subject with characters Shift_JIS cannot hold is answered with all of them.
        const std::string full = DecodeHeaderUtf8(answered->Header("Subject"));
        std::size_t lost = 0;
        (void)cp932::FromUtf8(full, &lost);
        if (lost > 0)
            f.subjectUtf8 = ReplySubject(full);
    }
    f.recipientItems = RecipientItems(programDir);
    return f;
}

TSList HeaderList(const THeaderForm& f) {
    TSList h;
    h.push_back("Subject: " + f.subject);
    h.push_back(f.kind == kMail ? "To: " + MailRecipients(f.recipient)
                                : "Newsgroups: " + AddressPart(f.recipient));
    if (f.followupIndex >= 0 && static_cast<size_t>(f.followupIndex) < f.followups.size()) {
        const std::string& entry = f.followups[static_cast<size_t>(f.followupIndex)];
        if (entry != NoFollowup())
            h.push_back("Followup-To: " + entry);
    }
    if (f.answered) {
        // A record built from composed lines keeps no References field: read the header.
        std::string refs(Trim(f.answered->references));
        if (refs.empty())
            refs = HeaderText(*f.answered, "References");
        const std::string id(Trim(f.answered->messageId));
        if (!refs.empty() && !id.empty())
            h.push_back("References: " + refs + " " + id);
        else if (!refs.empty() || !id.empty())
            h.push_back("References: " + refs + id);
    }
    return h;
}

}  // namespace pelorin
