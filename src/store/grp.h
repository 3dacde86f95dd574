// TGrp: one area of a packet (a newsgroup, mailbox or folder). It reads the area's messages
// from its message file or its index, keeps one mark character per message in its mark file
// (prefix + ".PBX"), builds the display list in the chosen sort order (threads.h), adds and
// removes messages, and rewrites the message and index files when their content changed.
//
// Files: path base + ".MSG" (messages), ".IDX" (index, letters "c"/"C"), ".PBX" (marks: one
// line per message in file order, CR LF: the mark, the Message-ID, TAB, the parent ID),
// ".SBM"/".SBI" (new message and index files while the area is rewritten). Names are matched
// without regard to case (packet_files.h).
//
// Messages are loaded when the area is first used and freed by Unload. A record holds only its
// header fields; its text is read from the message file when needed.
//
// Rewriting never destroys the old files first. The new message and index files are written
// completely and flushed as ".SBM" and ".SBI"; then the new mark file is put in place as
// ".SBX" (through a temporary file and a rename). That is the point of no return: ".SBM",
// ".SBI" and ".SBX" are then renamed over ".MSG", ".IDX" and ".PBX" in that order. So the
// marks always travel with the messages they describe. A rewrite cut short by a crash is
// finished or undone the next time the area loads or is rewritten: with ".SBX" present the
// remaining renames are made; without it the new files are dropped and the old ones, whole,
// stay. The undo removes ".SBI" before ".SBM", so an undo cut short is finished by the next one.
// (".SBI" alone, describing the message file exactly where the index does not, is an older
// version's rewrite state: its message file was replaced, so the index follows.) A failed write leaves the old files,
// keeps the messages in memory and reports the failure.
//
// Rewrites, loads (which finish or undo an interrupted rewrite) and mark saves hold the
// packet's lock (packet_lock.h), so another process never sees a rewrite halfway.
#pragma once

#include "store/dialogs.h"
#include "store/inifile.h"
#include "store/msg.h"
#include "store/msgfile.h"
#include "store/replace_file.h"
#include "store/threads.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace pelorin {

class TSoup;

// Crash tests only: when set, called at each step of an area rewrite with the step's name
// ("open" once the new files are created; "sbm", "sbi", "sbx" once each is complete; "msg",
// "idx", "pbx" after each rename), of a mark save ("marks" once the mark file is written) and of
// the recovery that finishes or undoes one cut short
// ("redo-msg", "redo-idx", "redo-pbx" after each rename; "undo-sbi", "undo-sbm" after each
// removal), so that a test can end the process there and check what the next load finds.
inline void (*rewriteStepHook)(const char* step) = nullptr;

class TGrp {
public:
    // `stat` is the packet's GRPSTAT.PBS (may be null for an area without a packet); `dialogs`
    // answers the area's one message box (may be null: then nothing is shown).
    TGrp(std::string areaName,
         std::string pathBase,
         std::string encoding,
         std::string description,
         TIniF* stat = nullptr,
         TDialogs* dialogs = nullptr);
    ~TGrp();
    TGrp(const TGrp&) = delete;
    TGrp& operator=(const TGrp&) = delete;

    // ---- fields, in record order ----
    std::string areaName;                 // AREAS field 2; section name in GRPSTAT.PBS
    std::string pathBase;                 // packet directory + prefix
    std::string encoding;                 // three letters: format, index, kind (blank when missing)
    std::string description;              // caption in the area tree
    std::string digestMarker;             // when non-empty, Subjects containing it are digests
    bool marksChanged = false;            // marks differ from the .PBX file
    bool contentChanged = false;          // messages were added or deleted; files must be rewritten
    int sortType = -1;                    // current sort type; -1 until the first SetSortType
    bool sorted = false;                  // set by every SetSortType
    int threadRange = 300;                // look-back window of thread building
    int unreadMsgs = 0;                   // unread count of GRPSTAT.PBS (read, or last written)
    bool marksSaved = false;              // the .PBX file was written since the packet was opened
    bool purgeOnClose = false;            // delete-marked messages go when the area is unloaded
    MessageList messages;                 // owned, in file order
    DisplayList display;                  // display order; points into `messages`
    TSoup* owner = nullptr;               // the packet
    int expireDays = 0;                   // days after which sub-command expiry applies
    int progressStep = 5;                 // progress is reported when it moved by more than this
    int progressBase = 0;                 // percent at the start of the current phase
    int progressSpan = 100;               // percent the current phase covers
    std::function<void(int)> onProgress;  // percent 0-100, or empty
    // Bytes the last message of the message file lacks (its frame counts past the end of the
    // file: a file cut short) as the area was last loaded; 0 when whole. The window names it
    // once and sets it back to 0.
    int64_t missingBytes = 0;

    char Letter(size_t i) const { return i < encoding.size() ? encoding[i] : ' '; }
    std::string Directory() const;  // the packet directory, ending with "/"
    std::string MsgPath() const;    // path base + ".MSG", spelt as on disk when it exists
    std::string IdxPath() const;
    std::string PbxPath() const;

    // Reads messages and marks (from the index for letters "c"/"C", by parsing the message file
    // for "n"). Does nothing to the display list.
    void Load();
    // Opens the area for the main window: loads it when empty (progress 0-50), sorts it
    // (50-100), applies the seen list.
    void Prepare();
    // Purges (when purgeOnClose), rewrites and saves marks as needed, then frees the messages.
    // On a failed write the messages stay held and the result says what failed. When another
    // program appended to the area since it was loaded (ChangedOnDisk), the purge and the
    // rewrite are left for the next load and only the marks are saved: the messages are freed,
    // the result is WriteFailed and lastFailure says why.
    ReplaceResult Unload();
    // For a program about to end: when nothing of the loaded messages is left to save (no
    // changed marks or content, no purge on close), lets them go without freeing each record
    // (the system takes the memory back at exit), and the area reads as not loaded. Does
    // nothing otherwise: Unload then saves and frees them as usual.
    void LeaveMessagesForExit();
    // Whether the area's message file (its index, for an indexed area) is no longer the size it
    // had when the area was loaded: a transfer program appended messages, which the records
    // held here do not know. A rewrite from them would drop those messages, so Rewrite refuses.
    bool ChangedOnDisk() const;

    void SetSortType(int type);
    // 0: length of the display list; otherwise the number of display-list messages with that
    // mark (after the seen list is applied). Loads and sorts the area first when it is empty.
    int CountMarked(char mark);
    TMsg* MessageAt(int pos) const;
    int FindMessage(std::string_view messageId) const;
    // Appends a copy of `src` (its lines loaded) at the end of the file order and the display
    // list. Prepares the area first when it holds no messages.
    void AddCopy(TMsg* src);
    // Removes a display-list entry and its message; shows "bad index" when out of range.
    void DeleteAt(int pos);
    // Removes every message marked "-" (what repeated DeleteAt from the end would do).
    void PurgeDeleteMarked();
    // Writes new message and index files from the messages held, then SaveMarks. Messages
    // keep pointing at their text: offsets are updated to the new message file. Refused
    // (WriteFailed, nothing changed) when the area ChangedOnDisk.
    // Marks go with the new files (see above); the counts in GRPSTAT.PBS follow them.
    ReplaceResult Rewrite(bool skipDeleteMarked);
    // Writes the mark file, then at once MSGCount, MSGSize and UnreadMsgs in GRPSTAT.PBS.
    ReplaceResult SaveMarks();
    // The last write that failed (Rewrite, SaveMarks): the file and the system's reason.
    WriteFailure lastFailure;
    // Whether new files of a rewrite cut short lie beside the area's files, and finishing or
    // undoing it without loading the area (the packet does so when it opens).
    bool HasInterruptedRewrite() const;
    void FinishInterruptedRewrite();
    void MarkSeen(std::string_view messageId);
    bool IsSeen(std::string_view messageId) const { return seenSet_.count(std::string(messageId)); }
    // Turns every unread message that was read in another area to read.
    void ApplySeenList();
    // (total, unread) without loading; total -1 when unknown.
    std::pair<int, int> PeekCounts();
    void WriteStat(std::string_view key, int32_t value);

    // Sets every display-list message whose mark is `from` (or every message when the two are
    // equal) to `to`.
    void ReplaceMarks(char to, char from);

private:
    void ReadMarks();
    void NoteLoadedList();  // see loadedList_
    void Report(size_t i, size_t n);
    void ReportPosition(int64_t pos, int64_t size);
    // Undoes an append cut short (append_journal.h), then finishes or undoes a rewrite cut
    // short; the packet lock must be held.
    void RecoverInterruptedRewrite();
    void DropNewFiles();  // ".SBI", then ".SBM": an undo cut short stays an undo
    // Whether the index at `indexPath` lists the message file's messages one after another,
    // each behind its frame (`framing`: the first area letter), up to its very end.
    bool SpansMessageFile(const std::string& indexPath, char framing) const;
    void NoteFailure(ReplaceResult result, std::string path, std::string reason);
    int64_t SourceSize() const;  // bytes of the file the records were read from; 0 if none
    ReplaceResult RefuseChangedArea();
    void WriteCounts(int unread);
    void CorrectCounts();  // stores counts that the marks just read disagree with

    TIniF* stat_;
    TDialogs* dialogs_;
    bool loadedFromDisk_ = false;  // the records held were read from the area's files
    // The list as a load left it, its records at depth 0 and their file positions: until the
    // first display list is built, which then need not write them again.
    const void* loadedList_ = nullptr;
    size_t loadedCount_ = 0;
    // Thread order made while the list was loaded (an index area shown in threads), taken by
    // that first display list.
    std::unique_ptr<ThreadPrelink> prelink_;
    int64_t loadedSize_ = 0;         // SourceSize() when they were read
    std::vector<std::string> seen_;  // Message-IDs read in other areas, in order
    std::unordered_set<std::string> seenSet_;
    int lastReported_ = -1;
};

}  // namespace pelorin
