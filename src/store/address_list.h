// Address lists (RFC 5322, 3.4) as To:, Cc:, Bcc:, From: and Reply-To: hold them, and as the
// user types them in the header form: one parser for the window and the transfer companion.
//
// An address list is a comma-separated list of addresses; an address is a mailbox or a group
// ("name: mailbox, mailbox;", whose members count as recipients). A mailbox is a bare address
// ("local@domain") or a name with an angle address ("name <local@domain>"). Comments (nested
// parentheses) may stand anywhere between the pieces; a comment after a bare address gives
// its name ("a@b (Name)"). Names are words: atoms, quoted strings (their quotes and
// backslashes removed) and encoded words, which are kept as written for the reader to decode.
//
// The obsolete forms are read too: empty list elements (",,"), a route before the address
// ("<@relay,@relay2:user@host>", dropped), dots and blanks between the words of a name or a
// local part ("a . b @ c"), a name made of several quoted strings.
//
// Broken input never stops the parser and costs time and memory in proportion to its length:
// an unclosed quote, comment or angle bracket runs to the end of the value, an unclosed group
// ends with it, nesting of comments is counted rather than recursed. Each such repair is noted
// in `problems` (English, for messages). A mailbox without "@" (a local user, or text that is
// no address at all) is kept with `address` as written: callers that need a deliverable
// address check HasDomain.
//
// Text is bytes: with Text::ShiftJis (the core's text) a Shift_JIS double-byte character is
// one unit, so that its second byte is never read as "\" or "@"; Text::Bytes reads every byte
// by itself (header values as they travel, ASCII or UTF-8).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

struct Mailbox {
    std::string name;     // the display name (or the comment after a bare address); may be empty
    std::string address;  // local@domain, without angle brackets; a quoted local part keeps quotes
    std::string group;    // the name of the group it belongs to; empty outside a group

    // One "@" outside quotes with text on both sides, printable ASCII only (SMTP without
    // international addresses).
    bool HasDomain() const;
    bool operator==(const Mailbox&) const = default;
};

struct AddressList {
    // In the order written, group members in their place; an empty group is one entry with
    // an empty address.
    std::vector<Mailbox> mailboxes;
    std::vector<std::string> problems;  // what had to be repaired or skipped; empty when clean
    size_t groups = 0;                  // how many groups the list holds (empty ones too)
};

enum class Text { ShiftJis, Bytes };

AddressList ParseAddressList(std::string_view value, Text text = Text::ShiftJis);

// The addresses of the mailboxes that have a domain, in order (for SMTP envelopes).
std::vector<std::string> DeliverableAddresses(std::string_view value, Text text = Text::Bytes);

// A mailbox written back: "address", or "name <address>" with the name quoted when it holds a
// character that an atom cannot (encoded words stay unquoted).
std::string FormatMailbox(const Mailbox& m, Text text = Text::ShiftJis);
// The whole list written back: groups as "name: member, member;", mailboxes as above,
// separated by ", ".
// An empty group is written "name:;".
std::string FormatAddressList(const AddressList& list, Text text = Text::ShiftJis);

}  // namespace pelorin
