// The journal of an append to an area's files (".pelorin-append" in the packet directory).
//
// Whoever appends messages (the transfer companion, a zip import) does so under the packet's
// lock: it writes the journal first (atomically, through a temporary file), holding the old
// sizes and the inodes of the area's message and index files; then it appends and flushes
// both files; then it removes the journal. A journal that is still there when the lock is
// next taken means the append was cut short. Its bytes may be whole or not, flushed or not,
// so they never count: both files are cut back to the sizes the journal holds (a file that
// was missing before goes again), and the journal goes. A file whose inode changed since
// was replaced whole (an area rewrite) and is left alone.
//
// The reader undoes such an append whenever it takes the lock to load an area or open the
// packet, so it never shows, and never lets the user mark, a message that the next append
// would take away.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

inline constexpr std::string_view kAppendJournalName = ".pelorin-append";

// What one file of the area was before the append: its size (-1: it did not exist; -2: it is
// not written by this append) and its inode.
struct AppendedFile {
    int64_t oldSize = -2;
    uint64_t inode = 0;
};

// The journal's one line for an append to area files `prefix` + ".MSG" / ".IDX".
std::string AppendJournalLine(std::string_view prefix, AppendedFile msg, AppendedFile idx);

// Undoes an append cut short in the packet directory `directory` (Shift_JIS, with or without
// a trailing "/"); the caller holds the packet lock. Returns false, with `error` (UTF-8: the
// file and the system's reason) set, when a file could not be cut back; the journal then
// stays for the next try. No journal, or an empty or unreadable one, is no work.
bool UndoCutShortAppend(std::string_view directory, std::string* error = nullptr);

}  // namespace pelorin
