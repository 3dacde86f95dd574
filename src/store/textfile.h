// Whole-file reading for the packet's small text files (AREAS, indexes, mark files): bytes,
// and lines split at LF, CR LF or CR.
#pragma once

#include "store/strutil.h"

#include <string>
#include <string_view>

namespace pelorin {

// The bytes of the file at `path` (Shift_JIS text, see DiskPath); empty when it cannot be read.
std::string ReadFileBytes(std::string_view path);

// Lines of a text; a line may end in LF, CR LF or CR. A final line end does not start another
// (empty) line.
TSList SplitTextLines(std::string_view text);

}  // namespace pelorin
