// Decoding the checked messages to files: the attachments of each message (base64 parts with
// a file name) or, when it has none, its uuencoded files, all into the data directory. Used by
// the main window's decode command and by sub-commands.
//
// Per message (DecodeOneMessage): the lines are split into MIME parts. Every leaf whose type is
// not "text" is saved when it has a file name; a leaf without one is named by the user through
// the input box "ファイル名の入力" (a cancelled or empty answer leaves it unsaved). The message
// counts as its last saved part did: written is a success, an existing file of that name is
// "exists", anything else a failure. When no non-text leaf had a name, the message's lines are
// uudecoded instead (files mode 0600): decoded is a success, an existing file "exists", and no
// uuencoded data, an unusable name or a failed write a failure. A block cut off before its
// "end" line has written what it held and counts as a success.
//
// Names come from the message and are hostile input: the writers (safe_file.h) cut them to
// their last component, refuse unusable ones and never replace a file, so nothing is written
// outside the data directory. Each part or block that was not written is described, with the
// reason, for the summary box.
#pragma once

#include "store/dialogs.h"
#include "store/msg.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pelorin {

enum class DecodeOutcome {
    Success,  // a file was written
    Exists,   // the last file named was already there and was left untouched
    Failure,  // nothing usable was written (see the problems)
};

// The counts the summary box shows, and what went wrong, one Shift_JIS line per part or block.
struct DecodeSummary {
    int checked = 0;    // messages decoded
    int succeeded = 0;  // messages whose outcome was Success
    int existing = 0;   // ... Exists
    int failed = 0;     // ... Failure
    std::vector<std::string> problems;
};

// Decodes one message into `dataPath` (Shift_JIS, the directory), asking `dialogs` for the
// names of nameless parts; adds a line to `problems` for each part or block not written.
DecodeOutcome DecodeOneMessage(TMsg& msg,
                               const std::string& dataPath,
                               TDialogs& dialogs,
                               std::vector<std::string>& problems);

// DecodeOneMessage for each message in order; `progress` (may be empty) is called before each
// message with its index and the count.
DecodeSummary DecodeMessages(const std::vector<TMsg*>& msgs,
                             const std::string& dataPath,
                             TDialogs& dialogs,
                             const std::function<void(size_t, size_t)>& progress = {});

// The summary box text: "選択された" n "件の内" LF s "件のデコードに成功" LF e
// "件は同名のファイルが存在" LF f "件はデコードに失敗しました。", followed, after an empty
// line, by the first ten problems (and how many more there were).
std::string DecodeSummaryText(const DecodeSummary& summary);

}  // namespace pelorin
