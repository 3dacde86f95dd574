// The settings composition reads from the program's settings file: section "Message" and the
// section "Editor". The caller hands in the settings file object; the core never looks for it.
//
//   [Message] EditHeader      Y/N, N      initial state of "ヘッダーも編集する" in the header form
//   [Message] ReplyTo         text, ""    when set, a "Reply-To: " line is added
//   [Message] MailHeader…     list        extra header lines of mail (keys MailHeader0, 1 ...)
//   [Message] NewsHeader…     list        extra header lines of news
//   [Message] MailBody…       list        lines that start the body of mail
//   [Message] NewsBody…       list        lines that start the body of news
//   [Message] Refer           template    attribution line of answers
//   [Message] QuoteCharacter  template    quote prefix of answers
//   [Message] Signature-File  path        program directory + "SIG.TXT"
//   [Message] PostedPacket, PostedFolder     where a copy of each posted message goes
//   [Message] ReservePacket, ReserveFolder   where a message kept without posting goes
//   [Editor]  ExternalEditor  command     the editor (see compose_editor.h for the default)
//   [Editor]  Charset         UTF-8       character set compose files are written in
//                                         ("UTF-8" or "Shift_JIS"); reading accepts both
//
// Keys read with a default are written back when missing (settings.h), so the settings file
// lists them after the first composition; the four lists are not written. `[Message]
// LastMessage` is the compose counter (compose_file.h).
#pragma once

#include "store/compose_file.h"
#include "store/inifile.h"
#include "store/strutil.h"

#include <string>
#include <string_view>

namespace pelorin {

struct ComposeSettings {
    bool editHeader = false;
    std::string replyTo;
    TSList mailHeader;
    TSList newsHeader;
    TSList mailBody;
    TSList newsBody;
    std::string refer;           // default "In article %I, %F{,you} wrote"
    std::string quoteCharacter;  // default ">"
    std::string signatureFile;   // default program directory + "SIG.TXT"
    std::string postedPacket;
    std::string postedFolder;
    std::string reservePacket;
    std::string reserveFolder;
    std::string externalEditor;  // the editor command as configured
    TextCharset charset = TextCharset::Utf8;

    const TSList& ExtraHeaders(int kind) const { return kind == kMail ? mailHeader : newsHeader; }
    const TSList& BodyStart(int kind) const { return kind == kMail ? mailBody : newsBody; }
};

// Reads every key above. `programDir` ends with "/"; `defaultEditor` is the editor command used
// (and written) when [Editor] ExternalEditor is missing (DefaultEditorCommand).
ComposeSettings ReadComposeSettings(TIniF& settings,
                                    std::string_view programDir,
                                    std::string_view defaultEditor);

}  // namespace pelorin
