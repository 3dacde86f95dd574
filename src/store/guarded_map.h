// Read-only file mappings that survive the file being shortened under them.
//
// A mapped page past the end of a file that another program has truncated cannot be read: the
// system stops the reader with SIGBUS. Packets are written by programs that are not ours, and
// an area stays open for as long as the user reads it, so every mapping of an area's files is
// made here. The first one installs a SIGBUS handler that, for an address inside one of these
// mappings, puts a page of zeros in place of the lost one and lets the reader go on: the text
// there reads as NULs, which every parser already treats as damaged input, and nothing on disk
// is touched. A SIGBUS anywhere else goes to whatever handled it before (by default, the
// program stops as it always would).
//
// The handler is async-signal-safe: it only reads a fixed table of mapped ranges and calls
// mmap. Map and Unmap may be called from any thread.
#pragma once

#include <cstddef>

namespace pelorin::guarded_map {

// Maps `length` bytes of the open file `fd` read-only (the caller may close `fd` afterwards).
// Pages come in as they are first read (the system maps several cached pages at each fault,
// which costs less than mapping all of them up front). nullptr when the file cannot be mapped
// or too many mappings are alive; the caller then reads the file instead.
const char* Map(int fd, std::size_t length);

// Unmaps what Map gave; `length` as passed to Map.
void Unmap(const char* at, std::size_t length);

// Pages that have read as zeros so far because their file was shortened (for tests).
std::size_t PagesLost();

}  // namespace pelorin::guarded_map
