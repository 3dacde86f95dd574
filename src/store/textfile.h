// Whole-file reading for the packet's small text files (AREAS, indexes, mark files): bytes,
// and lines split at LF, CR LF or CR.
#pragma once

#include "store/strutil.h"

#include <cstring>
#include <string>
#include <string_view>

namespace pelorin {

// The bytes of the file at `path` (Shift_JIS text, see DiskPath); empty when it cannot be read.
std::string ReadFileBytes(std::string_view path);

// Lines of a text; a line may end in LF, CR LF or CR. A final line end does not start another
// (empty) line.
TSList SplitTextLines(std::string_view text);

// The same lines as views into `text`, one after the other: call with `pos` 0 and again with
// the `pos` it leaves until it returns false.
inline bool NextTextLine(std::string_view text, size_t& pos, std::string_view& line) {
    if (pos >= text.size())
        return false;
    const char* begin = text.data() + pos;
    const size_t left = text.size() - pos;
    const void* lf = std::memchr(begin, '\n', left);
    const size_t lfAt = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : left;
    // A CR before the LF (or before the end) ends the line there.
    const void* cr = std::memchr(begin, '\r', lfAt);
    if (cr) {
        const size_t crAt = static_cast<size_t>(static_cast<const char*>(cr) - begin);
        line = std::string_view(begin, crAt);
        pos += crAt + 1;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
        return true;
    }
    line = std::string_view(begin, lfAt);
    pos += lfAt + 1;
    return true;
}

}  // namespace pelorin
