// Appending fetched messages to a packet as a SOUP packer does, without disturbing what the
// reader keeps there.
//
// An area is found in AREAS by its name (field 2); a missing area gets a new line with the
// first free 8-digit prefix (one no AREAS line and no file in the directory uses) and the
// letters asked for ("un" news, "uc" news with an index, "bn" mail). AREAS is replaced through
// a temporary file and a rename. An existing area keeps its own letters: messages go in its
// framing (rnews "#! rnews " + count line for "u", a 4-byte length for "b"/"B") and, for
// letter 2 "c"/"C", its index gains one line per message in that layout (layout "c": offset,
// Subject, From, Date, Message-ID, References, length, lines, number; TABs inside a value
// become blanks, since the columns carry no escaping).
//
// Messages go after the ones already there: the reader's mark files name messages by their
// place in file order, so earlier places never move and every mark stays with its message.
// A message the area already holds - the same bytes, once line ends are made LF - is skipped
// (`Append` counts it), so a fetch repeated after an interruption, or after the server
// renumbered its mail, never doubles a message. Message-IDs only say where to look: a
// different message that carries a known Message-ID is kept, and a message without one is
// recognised by its bytes. The digests (SHA-256) of an area's messages are made the first
// time one is needed, from the message file, and kept with the Message-IDs.
//
// Crash safety: the work runs under the packet's lock (packet_lock.h), the lock a reader and
// an area rewrite take. An interrupted rewrite of the area is finished first (its renames
// would otherwise drop what we append). Before the first byte is appended, the old sizes of
// the message and index files go to a journal (".pelorin-append" in the packet directory,
// written atomically); the files are flushed, then the journal goes. A journal found later
// means an append was cut short: both files are cut back to the sizes it holds, so a message
// never stands half-written in front of later ones (store/append_journal.h; the reader does
// the same whenever it loads an area, so it never shows what is undone here). A write that
// fails is undone the same way at once.
//
// Counts: after an append, the area's MSGCount, MSGSize and UnreadMsgs in GRPSTAT.PBS grow by
// what was appended (all unread), still under the lock - so that the area list and
// `pelorin-cli areas` know them before the area is loaded. Counts that did not describe the
// file before the append are left alone; the reader counts such an area when it loads it.
//
// Message text: line ends CR LF become LF; a last line without LF gets one.
#pragma once

#include "store/append_journal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pelorin::transfer {

// Crash tests only: when set, called at each step of an append ("journal" once the journal is
// in place, "msg" and "idx" once each file is written and flushed), so that a test can end the
// process there.
inline void (*appendStepHook)(const char* step) = nullptr;

struct Article {
    std::string text;    // the message as received (header, empty line, body)
    int64_t number = 0;  // article number or UID: the index's last column, SENDME's argument
};

struct AppendError {
    std::string message;  // UTF-8: what failed, the file and the system's reason
};

struct AppendResult {
    int appended = 0;    // messages written
    int duplicates = 0;  // messages skipped because the area holds them already
    int64_t bytes = 0;   // bytes added to the message file
    // Non-empty when AREAS names the area but its message file is missing: what to tell the
    // user (UTF-8). The messages then start a new file.
    std::string missingFile;
};

class PacketAppender {
public:
    // `packetDir`: the packet directory as the system spells it (UTF-8); created when missing.
    explicit PacketAppender(std::string packetDir);

    // Appends to area `area`, created with `encoding` when AREAS has no such area. With
    // `skipKnown` false, messages are appended even when the area holds them already (full
    // texts that follow their summaries). Throws AppendError; then the area's files
    // are as they were.
    AppendResult Append(std::string_view area,
                        std::string_view encoding,
                        const std::vector<Article>& articles,
                        bool skipKnown = true);

    // The Message-IDs an area holds (empty for an area that does not exist).
    std::unordered_set<std::string> KnownIds(std::string_view area);

    // Undoes an append that a crash cut short (see above); Append does this by itself.
    void RecoverJournal();

    const std::string& Directory() const { return dir_; }

    static constexpr std::string_view kJournalName = kAppendJournalName;

private:
    struct AreaLine {
        std::string prefix;
        std::string encoding;
    };
    bool FindArea(std::string_view area, AreaLine& found);
    AreaLine CreateArea(std::string_view area, std::string_view encoding);
    std::unordered_set<std::string>& IdsOf(std::string_view area, const AreaLine& line);

    struct IdCache {
        std::string prefix;                   // the area's files
        uint64_t inode = 0;                   // of its message file when the set was made
        int64_t size = -1;                    // its size then (-1: the set is not to be used)
        std::unordered_set<std::string> ids;  // Message-IDs in the area
        // Where each message lies (offset, length) until `digests` is made from them.
        std::vector<std::pair<int64_t, int64_t>> spans;
        bool digestsMade = false;
        std::unordered_set<std::string> digests;  // of every message's bytes
    };
    // Moves the area's counts in GRPSTAT.PBS (MSGCount, MSGSize, UnreadMsgs) on by the
    // messages just appended, all unread, when they described the file before.
    void UpdateCounts(std::string_view area, int64_t sizeBefore, int64_t sizeAfter, int appended);
    // Makes `cache.digests` from the message file, once.
    void MakeDigests(IdCache& cache, const std::string& msgPath);
    std::unordered_map<std::string, IdCache> known_;  // by area name

    std::string dir_;   // on-disk path, ending with "/"
    std::string sjis_;  // the same in Shift_JIS for the core's file helpers
};

// A message with CR LF line ends turned to LF and a final LF.
std::string NormalizeLineEnds(std::string_view text);

// The header lines of a message (up to the first empty line).
std::vector<std::string> HeaderLines(std::string_view text);

}  // namespace pelorin::transfer
