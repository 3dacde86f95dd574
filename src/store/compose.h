// Composition: writing a new message or an answer, posting it, and editing a kept message
// again. The flow runs in the core and reaches the user only through the interfaces the app
// implements: the header form (compose_form.h), message boxes (dialogs.h) and the external
// editor (editor.h).
//
// Compose (kind, answer):
//   1. Answers need the answered message (the one shown); without it nothing happens.
//   2. The header form is shown; Cancel ends here, leaving `LastMessage` alone.
//   3. The body: the MailBody…/NewsBody… lines; for an answer, the attribution line (`Refer`
//      expanded against the answered message), its body quoted (each line after the header
//      converted from JIS, prefixed with `QuoteCharacter` expanded against it, CR and LF cut
//      off) and an empty line; then "-- " and the signature file's lines when that file exists.
//   4. The header list gains "Reply-To: " (when `ReplyTo` is set), the MailHeader…/NewsHeader…
//      lines and "X-Mailer: Pelorin " / "X-Newsreader: Pelorin " + the version text.
//   5. The next compose number names the compose file in the program's directory; it holds the
//      header list, an empty line and the body when "ヘッダーも編集する" is on (and the header
//      list is then not added again), else the body alone.
//   6. The external editor runs on it and is waited for.
//   7. The file is posted (PostComposeFile) and then deleted - unless something failed.
//
// PostComposeFile: with a non-empty header list the file is first rewritten as the header list,
// an empty line and its lines. Then the question (Yes/No/Cancel) "【subject】を投稿しますか？
// [いいえ]を選択すると保留フォルダにコピーします。": Yes posts it (TSoup::PostFile on the current
// packet) and adds a copy to the folder `PostedFolder` of the folder packet `PostedPacket`
// when both exist, with the Date: and Message-ID: lines the post was given; No adds the copy to `ReserveFolder` of `ReservePacket` instead; Cancel
// does nothing.
//
// The user's text is never lost: when writing the reply file, REPLIES or a kept copy fails,
// and when No is answered but there is no reserve folder to keep the message in, the user is
// told and the compose file stays where it is. Kept copies are written to disk at once.
//
// Editing a kept message again ("メッセージの修正"): the message's lines go to a new compose
// file, the editor runs, the message is removed from its area (which is rewritten), and the
// compose file is posted as above with the message's Subject and kind (news with a Newsgroups
// value, else mail with a To value, else news). The compose file always stays.
//
// When the program quits while the editor runs (TEditor reports Abandoned), composition and
// re-editing stop right there: nothing is posted, no message is removed, and the compose file
// stays for the user; its number is never taken again while the file exists.
#pragma once

#include "store/compose_form.h"
#include "store/compose_settings.h"
#include "store/dialogs.h"
#include "store/editor.h"
#include "store/inifile.h"
#include "store/soup.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// What composition needs from the program: everything is handed in.
struct ComposeEnv {
    TIniF& settings;            // the program's settings file
    std::string programDir;     // the program's own directory, ending with "/"
    std::string versionText;    // "Version " + file version (may be empty)
    std::string defaultEditor;  // DefaultEditorCommand(...) for a missing ExternalEditor
    TDialogs& dialogs;
    TEditor& editor;
    THeaderFormView& form;
    std::vector<TSoup*> packets;  // the open packets in tree order (kept copies)
    // When set, asked for the open packets after the editor has ended instead of `packets`:
    // the user may close packets while the editor runs.
    std::function<std::vector<TSoup*>()> openPackets;
};

enum class ComposeOutcome {
    NotStarted,  // an answer without a message to answer
    Cancelled,   // the header form was cancelled
    Posted,      // posted (and copied to the posted folder when there is one)
    Reserved,    // copied to the reserve folder, not posted
    Discarded,   // Cancel in the posting question
    Kept,        // No in the posting question without a reserve folder: left in the compose file
    Failed,      // an error was shown; the compose file, when written, is kept
    Abandoned,   // the program quit while the editor ran: nothing posted, the file kept
};

struct ComposeResult {
    ComposeOutcome outcome = ComposeOutcome::NotStarted;
    std::string composeFile;  // the compose file's path (empty when none was written)
    bool fileKept = false;    // the compose file is still there
};

// The body of a new message or an answer (step 3 above, without the signature). An answered
// message with text in another charset, or HTML, is quoted as the text pane shows it; then
// `utf8Body` (when given) receives the same body in UTF-8 with every character kept, and the
// compose file is written from it when it is written in UTF-8. Otherwise `utf8Body` is empty.
TSList ComposeBody(const ComposeSettings& settings,
                   int kind,
                   TMsg* answered,
                   TSList* utf8Body = nullptr);
// Appends "-- " and the signature file's lines when that file can be read.
void AppendSignature(TSList& body, std::string_view signatureFile);
// The lines step 4 adds to the header list.
TSList ExtraHeaderLines(const ComposeSettings& settings, int kind, std::string_view versionText);

// Compose (kind, answer): the command. `answered` is the shown message (null when none);
// `areaName` the current area's name, empty when no area node is selected.
ComposeResult Compose(ComposeEnv& env,
                      TSoup& current,
                      int kind,
                      bool answer,
                      TMsg* answered,
                      std::string_view areaName);

// The posting question and what follows it (see above). `keepFile` is set when the compose file
// must not be deleted. `subjectUtf8` (the form's subject with characters Shift_JIS cannot hold)
// replaces the Subject line of `headerList`, and the file is then written in UTF-8.
ComposeOutcome PostComposeFile(ComposeEnv& env,
                               const ComposeSettings& settings,
                               TSoup& current,
                               std::string_view subject,
                               std::string_view composeFile,
                               const TSList& headerList,
                               int kind,
                               bool& keepFile,
                               std::string_view subjectUtf8 = {});

// Whether "メッセージの修正" is offered: in a note packet, or in the folder named `ReserveFolder`
// of a folder packet.
bool ReEditOffered(const TSoup& packet, const TGrp& area, const ComposeSettings& settings);

// Edits the message at display position `pos` of `area` again and posts it (see above). The
// main window disables its area tree, message list and text view around this call. A message
// kept in UTF-8 (as text beyond ISO-2022-JP is posted) is edited as its decoded text when the
// editor's file is UTF-8.
ComposeResult ReEditMessage(ComposeEnv& env, TSoup& current, TGrp& area, int pos);

}  // namespace pelorin
