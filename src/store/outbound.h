// The outbound reply packet: everything the user sends is left in an outbound directory for the
// transfer program, as SOUP reply files.
//
//   reply message file   one per posted message, binary SOUP framing: the message length in
//                        4 bytes, most significant first, then the lines, each ended by LF
//   REPLIES              one line per reply file: base name TAB "mail"|"news" TAB "bn"|"Bn",
//                        LF line ends; earlier lines are kept
//   COMMANDS             body requests: "SENDME" TAB area name TAB message number, LF line
//                        ends; earlier lines are kept
//
// TSoup::PostFile turns a composed text (Shift_JIS, see ReplyMessageLines) into a reply file
// in the reply directory, with "Date:" and "Message-ID:" lines put at the top of the header
// when it has none (message_origin.h; they are handed back for the kept copy): the packet's `[General] Outbound` in GRPSTAT.PBS when it is set,
// else the packet's outbound directory. RequestBodies writes COMMANDS in the packet's
// outbound directory itself; `[General] Outbound` does not apply there.
//
// Reply file names: the compose file's base name with ".MSG" ("PBM00012.TMP" gives
// PBM00012.MSG, listed as PBM00012) when that base name can serve as a SOUP prefix - one to
// eight letters, digits, "-" or "_" - and no reply of that name is waiting (no such file in the
// reply directory, no REPLIES line for it). Otherwise (a file posted from the command line
// under another name, the same compose file posted twice) the reply takes the first free name
// "PB" + six digits (PB000001.MSG), which the compose numbers "PBM"/"PBN" + five digits never
// use. So every REPLIES line names its file exactly and no waiting reply is ever overwritten.
//
// Every file is replaced atomically (a temporary file renamed over the old one): a failure
// leaves REPLIES and COMMANDS as they were, and a reply file whose REPLIES line could not be
// written is removed again. A REPLIES or COMMANDS file that exists but cannot be read is never
// replaced, so its earlier lines are not lost. Failures come back as an OutboundResult with a
// Japanese message for the user; the caller keeps the compose file.
#pragma once

#include "store/compose_file.h"
#include "store/dialogs.h"
#include "store/replace_file.h"
#include "store/soup.h"
#include "store/strutil.h"

#include <string>
#include <string_view>

namespace pelorin {

enum class OutboundStatus {
    Ok,              // the files hold the new content
    NoComposeFile,   // the compose file does not exist: nothing was written
    NothingChecked,  // a body request without checked messages: nothing was asked or written
    Cancelled,       // the user declined the body request: nothing was written
    ReadFailed,      // `path` exists but could not be read: nothing was written
    NoOutboundDir,   // the packet has no outbound directory
    NoFreeName,      // no free reply file name is left
    TooLarge,        // the message does not fit the 4-byte length of the framing
    WriteFailed,     // `path` could not be written (`write` says why); it is unchanged
};

struct OutboundResult {
    OutboundStatus status = OutboundStatus::Ok;
    ReplaceResult write = ReplaceResult::Ok;  // why a write failed
    std::string path;                         // the file the status is about
    std::string replyFile;                    // the reply file written (PostFile, on success)
    TSList addedFields;  // PostFile: the Date: and Message-ID: lines it added at the top

    bool Ok() const { return status == OutboundStatus::Ok; }
    // True for the outcomes the user should be told about (read and write failures ...).
    bool Failed() const;
};

// A Japanese (Shift_JIS) text for a message box describing a failure; empty for Ok,
// NothingChecked and Cancelled.
std::string OutboundErrorText(const OutboundResult& result);

// Longest line of a reply message, in bytes after conversion.
constexpr size_t kMaxReplyLine = 512;

// The lines of the reply message for a composed text (Shift_JIS lines):
//  - the header is the lines before the first empty line (all lines when there is none); each
//    header line goes through SjisToJis and EncodeHeaderWords, whose folds become lines of
//    their own; each body line (the empty line included) goes through SjisToJis;
//  - when a line holds ESC or an "=?ISO-2022-JP?B?" word, "Mime-Version: 1.0" and
//    "Content-Type: text/plain; charset=ISO-2022-JP" are put where the first empty line is (at
//    the top when there is none), each unless the header already has that field;
//  - no line is longer than kMaxReplyLine bytes. Rather than cut the rest of a longer line
//    away, a body line is broken into several lines at character boundaries (a JIS run is
//    closed at the end of each piece and opened again on the next), and a header line is
//    folded: before a blank or TAB where there is one, else after byte 512 with a blank
//    starting the continuation.
TSList ReplyMessageLines(const TSList& composed);

// The directory reply files go to: `[General] Outbound` of the packet's GRPSTAT.PBS when it is
// set, else the packet's outbound directory; ending with "/", or empty when neither is set.
std::string ReplyDirectory(TSoup& soup);

// Whether the body request is offered for an area: index letter "c" in a SOUP packet.
bool BodyRequestOffered(const TSoup& soup, const TGrp& area);

// The body request for the checked messages of `area`'s display list: asks (OK/Cancel,
// information icon) "チェックされた" n "件の" LF "本文取得要求を発行します" and on OK appends one
// SENDME line per checked message, in display order, to the COMMANDS file of the packet's
// outbound directory. Without checked messages nothing is asked; on Cancel the file is not
// touched.
OutboundResult RequestBodies(TSoup& soup, TGrp& area, TDialogs& dialogs);

}  // namespace pelorin
