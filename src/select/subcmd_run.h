// Running a sub-command over an area: the selected message, or every message of the area's
// display list for which the condition tree holds, gets the chosen actions.
//
// Condition mode, row by row in display order: a row that matches gets its check flag and the
// per-message actions, then the observer hears of it (the window moves its progress bar,
// repaints the row and pauses; the companion and the bench do neither); a row that does not
// match loses its check flag. After the rows: the folder copies are written (see below), and
// with SendMe the body request is issued for the checked messages. Selected mode acts on the
// current message alone (and issues its body request when SendMe is chosen).
//
// Per-message actions, in order: copy to the folder (never twice for one non-empty
// Message-ID), set the mark ("-+ *"), select (the observer's business), append to the save
// file, decode to files (decode_actions.h), and - unless SendMe is chosen - clear the check
// flag again.
//
// The save file is the area's SaveTo in GRPSTAT.PBS with 保管ファイルへ, else the command's
// file name. With 上書き保存 it is emptied once, before the first message; each message is
// then appended with one whole write (lines ending in CR LF; the header too or only the lines
// after the first empty line; each line converted or as stored), and a failed write is cut
// back off, so the file never ends in half a message.
//
// The folder copies of a run are gathered and written in one atomic folder rewrite when the
// rows are done (CopyToFolderAndWrite): a failure takes them all out again and is reported.
//
// Failures: a save that fails stops the run at that message with a message naming the message
// and the system's reason; what was done before stays done (marks set are kept, the area is
// flagged so its marks are saved, the folder copies made so far are written). Condition
// errors never stop a run: a leaf that fails is false.
#pragma once

#include "select/subcmd_defs.h"
#include "store/decode_actions.h"
#include "store/dialogs.h"
#include "store/outbound.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pelorin {

class TGrp;
class TMsg;

// What a run tells its caller while it goes on.
class TSubCmdObserver {
public:
    virtual ~TSubCmdObserver() = default;
    // Condition mode is about to test `rows` rows.
    virtual void Started(size_t rows) { (void)rows; }
    // Row `row` matched and its actions are done.
    virtual void Matched(size_t row, TMsg& msg) {
        (void)row;
        (void)msg;
    }
};

struct TSubCmdEnv {
    TGrp* area = nullptr;                 // the current area; nothing runs without one
    TMsg* current = nullptr;              // the current message (selected mode)
    TGrp* folder = nullptr;               // the resolved folder entry, or null
    std::string dataPath;                 // decode directory (Shift_JIS)
    TDialogs* dialogs = nullptr;          // questions of decode and SendMe; silent when null
    TSubCmdObserver* observer = nullptr;  // may be null
    // Today's date for ExpireDate and "Today-N"; the local calendar day when empty.
    std::function<std::chrono::year_month_day()> today;
};

struct TSubCmdResult {
    bool ran = false;                 // false: no area (nothing done)
    std::vector<size_t> matchedRows;  // display-list rows acted on (condition mode)
    std::vector<TMsg*> acted;         // the messages acted on, in order
    size_t rows = 0;                  // rows tested
    int copied = 0;                   // folder copies written
    int skipped = 0;                  // copies skipped: the folder held the Message-ID
    int saved = 0;                    // messages appended to the save file
    std::string saveFile;             // the save file used (Shift_JIS), empty when none
    DecodeSummary decode;             // decode action
    OutboundResult sendMe;            // body request (status NothingChecked when none)
    bool clearCurrent = false;        // condition mode: no message is current afterwards
    std::string error;                // Shift_JIS message when the run stopped; empty when not
};

// The expiry date of a run: today minus ExpireDays, or minus 999 days when it is 0.
std::chrono::year_month_day SubCmdExpireDate(std::chrono::year_month_day today, int expireDays);

TSubCmdResult RunSubCommand(const TSubCommand& cmd, TSubCmdEnv& env);

}  // namespace pelorin
