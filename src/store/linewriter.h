// The line writer: writes a list of lines to a file with a chosen line end and optional frame
// bytes in front, either creating the file anew or appending to it. The packet files (AREAS,
// message and index files, reply messages, REPLIES, COMMANDS) and the program's own text files
// are written through it. Lines are written as bytes, of any length, without conversion.
//
// Create mode replaces the file through a temporary file and a rename (replace_file.h), so an
// old file survives a failed write whole; the data and the directory are flushed, so the new
// file survives a power cut once the call returns. A symbolic link at the name is replaced by
// the file (or, in append mode, refused) unless `links` asks to follow it. Append mode adds to the end of the existing file in
// place; a failure there can leave part of the new lines at the end, never touches what was
// there before.
#pragma once

#include "store/replace_file.h"
#include "store/strutil.h"

#include <string_view>

namespace pelorin {

enum class WriteMode {
    Create,  // a new file, replacing an existing one
    Append,  // add at the end of an existing file; a missing file is created
};

// Writes `frame` (when not empty) and then every line followed by the line end: CR LF when
// `lineEnd` is '\r', otherwise `lineEnd` itself. In append mode the frame is written at the
// current end of the file. `path` is Shift_JIS text (see DiskPath).
ReplaceResult WriteLines(const TSList& lines,
                         std::string_view path,
                         char lineEnd,
                         std::string_view frame,
                         WriteMode mode,
                         LinkPolicy links = LinkPolicy::Replace);

}  // namespace pelorin
