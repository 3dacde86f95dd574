// The uudecoder: extracts the uuencoded files of a message into the data directory.
//
// The lines of the message (header and body, as stored) are walked once. A line
// "begin MODE NAME" opens a block and its file, data lines add bytes, a line "end" closes the
// block. Files are written through the safe writer (safe_file.h): a name from the message is
// cut to its last component and checked, an existing file is never replaced, and a file only
// appears under its name once it is complete (a block cut off before "end" is complete at the
// end of the message).
//
// Line format (one data line; characters are (code - 32) mod 64, "`" and space both 0):
//
//   n g1 g2 ... gc    n = the number of bytes, c = n / 3 rounded up groups of four characters
//
// A data line is used only when it has 4c + 1 characters, or 4c or 4c - 1 (one or two
// trailing spaces lost on the way; missing characters count as spaces).
//
// Bad input: malformed data lines are skipped silently: a first character below the space,
// n = 0, or a length outside the three accepted ones (such as a line with a trailing checksum
// character). A character below the space inside a data line counts as (code - 32) mod 64,
// taken positive. One CR at the end of a line is ignored, so messages stored with CR LF line
// ends decode like LF ones.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// The result of Decode. Each event (a "begin" line that cannot be written, an "end" line
// that closes a file, the end of the lines with a file open) overwrites it, so with several
// blocks the last event decides. When results are grouped into success, "file exists" and
// failure, BadName and Failed count as failures, like NothingDecoded.
// (clang-format 14 would glue the brace to the name of an attributed enum)
// clang-format off
enum class [[nodiscard]] UuResult {
    Decoded = 0,         // the last event was an "end" line that closed a file
    NothingDecoded = 1,  // no lines, no "begin " line, or only stray "end" lines
    Exists = 2,          // the last block named a file that exists; it was left untouched
    NoEnd = 3,           // the last block had no "end" line; what was decoded was written
    BadName = 4,         // the last block named an unusable file; nothing was written
    Failed = 5,          // the last block's file could not be created or written
};
// clang-format on
const char* to_string(UuResult result);

// What became of one "begin" block of the last Decode.
struct TUuBlock {
    std::string Filename;  // the name as the "begin" line gives it
    UuResult Result;       // Decoded, Exists, NoEnd, BadName or Failed
    std::size_t Bytes;     // bytes decoded into the file (0 when it was not written)
};

class TUucode {
public:
    // Decodes EncodedStrings into DataPath (see the top of this file).
    UuResult Decode();

    // Line length setting for encoding: rounded down to a multiple of 3; a value whose third
    // is not 1-20 gives 45. Nothing in the program reads it.
    int CodeLength() const { return codeLength_; }
    void SetCodeLength(int value);
    // File mode (octal digits) of the files Decode writes, less the umask; also the mode an
    // encoder would write. Taken only as exactly three characters from "01234567"; otherwise
    // the old value stays.
    const std::string& FileStat() const { return fileStat_; }
    void SetFileStat(std::string_view value);

    std::vector<std::string> EncodedStrings;  // the lines to decode
    std::string Filename;                     // name from the last "begin " line seen
    std::string DataPath;                     // output directory (a trailing "/" is optional)
    std::vector<TUuBlock> Blocks;             // one entry per block of the last Decode

private:
    int codeLength_ = 45;
    std::string fileStat_ = "600";
};

}  // namespace pelorin
