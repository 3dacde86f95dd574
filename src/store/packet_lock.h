// PacketLock: keeps two processes (two windows, the window and the companion) from working on
// a packet's area files at the same time. An area rewrite holds it from its first file to its
// last rename; loading an area holds it while it finishes or undoes an interrupted rewrite and
// reads the files; mark and AREAS writes and the clean-up of leftovers hold it too. So a
// reader never takes a rewrite in progress for an interrupted one, and never reads a message
// file that does not match its index.
//
// The lock is an advisory lock (flock) on the file ".pelorin.lock" in the packet directory,
// which is created when missing and never removed. Within one process the lock is re-entrant
// for the thread that holds it (a rewrite saves the marks under the lock it already has);
// other threads wait, as other processes do.
//
// Where the lock file can neither be created nor opened (a read-only packet without one, or a
// hostile symbolic link in its place) the work goes on unlocked: nothing can be written there
// by us anyway.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

class PacketLock {
public:
    // Waits until the lock on `directory` (Shift_JIS text, with or without a trailing "/") is
    // ours.
    explicit PacketLock(std::string_view directory);
    ~PacketLock();
    PacketLock(const PacketLock&) = delete;
    PacketLock& operator=(const PacketLock&) = delete;

    // Whether the lock file could be locked (false: working unlocked, see above).
    bool Locked() const { return locked_; }

    static constexpr std::string_view kFileName = ".pelorin.lock";

private:
    std::string key_;  // on-disk path of the lock file
    bool locked_ = false;
};

}  // namespace pelorin
