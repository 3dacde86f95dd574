// Replacing a whole file so that a crash never leaves it half written: the new content goes to
// a temporary file in the same directory (a hidden name beginning ".pelorin-"), is flushed to
// disk, and is then renamed over the old file in one step. Until the rename the old file is
// untouched; a failure at any step removes the temporary file and leaves the old one as it
// was. The new file takes the permission bits of the file it replaces (a new file gets the
// usual 0666 less the umask).
//
// A symbolic link at the final name is, by default, replaced by the new regular file like any
// other entry: a packet that holds a link to some file elsewhere (a shell start-up file, say)
// never makes the program write that file. Only files the user keeps in the program's own
// directory may be links on purpose (dotfile managers); their writers ask to follow the link,
// and then the file it points to is replaced and the link stays.
//
// A durable write flushes the file's data before the rename and the directory after it, so
// that even a power cut leaves the old or the new file under the name.
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

// A write that failed, as the user is told of it: what went wrong, the file, the system's
// reason ("Permission denied" ...).
struct WriteFailure {
    ReplaceResult result = ReplaceResult::Ok;
    std::string path;    // Shift_JIS text
    std::string reason;  // the system's words (Shift_JIS), or "" when it gave none
};

// What a symbolic link at the final name means to a replacing write.
enum class LinkPolicy {
    Replace,  // the link itself is replaced by the new file (packet and outbound files)
    Follow,   // the file the link points to is replaced; the link stays (own settings files)
};

// The system's reason for the last failure of a file write in this thread ("No space left on
// device" ...), or "" when the last write succeeded. Set by every replacing write.
const std::string& LastWriteError();
// The system's words for an errno value, as Shift_JIS text.
std::string SystemReason(int error);

// Streams the new content of one file. Open, any number of Write calls, then Commit; a
// replacer destroyed (or re-opened) before Commit removes its temporary file.
class FileReplacer {
public:
    FileReplacer() = default;
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // `path` is Shift_JIS text (see DiskPath). `durable`: flush the data to the disk before the
    // rename (fdatasync) and the directory after it, so that even a power cut leaves the old
    // or the new content.
    ReplaceResult Open(std::string_view path,
                       bool durable = true,
                       LinkPolicy links = LinkPolicy::Replace);
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
    int writeErrno_ = 0;   // errno of that failed write
    std::string target_;   // final on-disk path (UTF-8)
    std::string temp_;     // temporary on-disk path in the same directory
    std::string buffer_;   // bytes not yet written to fd_
};

// Replaces the file at `path` with `bytes` (the replacer in one call).
ReplaceResult ReplaceFile(std::string_view path,
                          std::string_view bytes,
                          bool durable = true,
                          LinkPolicy links = LinkPolicy::Replace);

// Flushes a directory's entries to the disk (after a rename into it); false on failure.
// `path` is an on-disk path (UTF-8) of the directory.
bool SyncDirectory(const std::string& diskDirectory);

}  // namespace pelorin
