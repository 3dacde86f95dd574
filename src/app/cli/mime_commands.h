// The MIME and uudecode work of the command-line companion, for one message given as its lines.
// `parts-file` and `decode-file` (mime_commands.cpp) feed them the lines of a plain file; the
// packet commands feed them the lines of a message read from an area.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin::cli {

// Splits the text of one message at LF. A CR before the LF stays on its line (the decoders
// read CR LF messages like LF ones); a last line without LF is kept when it is not empty.
std::vector<std::string> MessageLines(std::string_view text);

// One row per leaf of the message's part tree, in order, TAB-separated and in Shift_JIS:
// number (from 1), type "/" subtype, encoding, file name (may be empty), body line count.
std::vector<std::string> PartRows(const std::vector<std::string>& lines);

// What DecodeMessageFiles did: one TAB-separated row per file, "mime" or "uu", the result
// and the file name (Shift_JIS), followed by the name on disk when the directory parts of the
// name were cut off; and how many files were written.
struct DecodeReport {
    std::vector<std::string> rows;
    int written = 0;
};

// Writes the attachments of a message into `sjisDir` the way the decode-to-file action does,
// without asking for names: every non-text leaf with a file name is saved (SaveBase64); a
// non-text leaf without one is reported as skipped. When no non-text leaf has a file name, the
// message's lines are uudecoded instead, one row per "begin" block ("none" when there is none).
DecodeReport DecodeMessageFiles(const std::vector<std::string>& lines, const std::string& sjisDir);

}  // namespace pelorin::cli
