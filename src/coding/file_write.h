// The two low-level pieces every file writer of the program shares: a hidden temporary name for
// a file that is written before it takes its final name, and a write(2) loop that writes all
// bytes or reports failure (short writes are continued, EINTR retried).
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// ".pelorin-" + 16 random hex digits + ".tmp": a name no packet, settings or attachment file
// takes, so a leftover is recognisable.
std::string TemporaryFileName();
inline constexpr std::string_view kTemporaryPrefix = ".pelorin-";
// Whether `name` (one path component) is exactly of TemporaryFileName's pattern.
bool IsTemporaryFileName(std::string_view name);

// Writes every byte to the open descriptor; false on the first error (errno tells which).
bool WriteFully(int fd, std::string_view bytes);

}  // namespace pelorin
