// Replacing a whole file so that a crash never leaves it half written: the new content goes to
// a temporary file in the same directory (a hidden name beginning ".pelorin-"), is flushed to
// disk, and is then renamed over the old file in one step. Until the rename the old file is
// untouched; a failure at any step removes the temporary file and leaves the old one as it
// was. The new file takes the permission bits of the file it replaces (a new file gets the
// usual 0666 less the umask). When the path is a symbolic link, the file it points to is
// replaced and the link stays.
//
// Used by the line writer's create mode and by every write of an INI file (TIniF).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin {

enum class [[nodiscard]] ReplaceResult{
    Ok,            // the file holds the new content
    OpenFailed,    // the temporary file could not be created (missing or read-only directory)
    WriteFailed,   // writing or flushing failed (disk full ...); the old file is unchanged
    RenameFailed,  // the temporary file could not take the final name; the old file is unchanged
};

// A short English phrase for messages ("cannot create a temporary file" ...).
const char* to_string(ReplaceResult result);

// Streams the new content of one file. Open, any number of Write calls, then Commit; a
// replacer destroyed (or re-opened) before Commit removes its temporary file.
class FileReplacer {
public:
    FileReplacer() = default;
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // `path` is Shift_JIS text (see DiskPath). `durable`: flush the data to the disk before the
    // rename (fdatasync), so that even a power cut leaves the old or the new content.
    ReplaceResult Open(std::string_view path, bool durable = true);
    // Appends bytes; an error is remembered and reported by Commit.
    void Write(std::string_view bytes);
    // Flushes and renames the temporary file over the final name.
    ReplaceResult Commit();
    // Drops the temporary file; the old file stays as it was.
    void Abandon();

private:
    bool WriteAll(std::string_view bytes);
    bool Flush();

    int fd_ = -1;          // the temporary file
    bool durable_ = true;  // fdatasync before the rename
    bool failed_ = false;  // a write failed; Commit reports WriteFailed
    std::string target_;   // final on-disk path (UTF-8)
    std::string temp_;     // temporary on-disk path in the same directory
    std::string buffer_;   // bytes not yet written to fd_
};

// Replaces the file at `path` with `bytes` (the replacer in one call).
ReplaceResult ReplaceFile(std::string_view path, std::string_view bytes, bool durable = true);

}  // namespace pelorin
