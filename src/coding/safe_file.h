// Writing files whose names come from a message (decoded attachments, uudecoded blocks).
//
// Such a name is hostile input. It is cut down to its last path component, checked, and the
// file is written only inside the given directory, only when nothing of that name exists there
// yet, and only complete: the bytes go to a temporary file in the same directory, which is
// linked under its final name after the last byte is on disk. A failure at any step leaves
// nothing under the final name, and an existing file (or symbolic link, even a dangling one) of
// that name is never opened, followed or replaced.
//
// Names and directories are Shift_JIS text like every string and path of the core. On disk
// they are spelled in UTF-8 (through the CP932 codec), as the rest of the system, Qt included,
// spells file names; ASCII is unchanged. (This is the conversion the store's DiskPath makes.)
//
// Bad names: the name is first cut after its last "/" and its last "\" (a "\" that is the
// second byte of a double-byte character is part of that character, not a separator). What is
// left is refused when it is empty, "." or "..", holds a control character (0x00-0x1F, 0x7F),
// is longer than 255 bytes in UTF-8, consists of blanks only (ASCII or ideographic), or begins
// with ".pelorin-", the prefix of the program's own temporary files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin {

// (clang-format 14 would glue the brace to the name of an attributed enum)
// clang-format off
enum class [[nodiscard]] SafeFileResult {
    Written,  // the file is complete under its final name
    Exists,   // something of that name is already in the directory; it was left untouched
    BadName,  // the name is unusable (see above); nothing was written
    Failed,   // the directory cannot be opened or written, or a write failed; nothing was left
              // under the final name
};
// clang-format on

// A short English word for messages and the command-line companion ("written", "exists" ...).
const char* to_string(SafeFileResult result);

// The on-disk name (UTF-8) a name from a message is written under, or "" when it is unusable.
std::string SafeFileName(std::string_view sjisName);
// The same for a name given in UTF-8 (one read through Unicode, which may hold characters
// Shift_JIS cannot): cut after its last "/" or "\", broken UTF-8 repaired to U+FFFD, checked
// alike.
std::string SafeFileNameUtf8(std::string_view utf8Name);

// Streams one new file into a directory. Open, any number of Write calls, then Commit; a
// writer destroyed (or re-opened) before Commit removes its temporary file and leaves nothing.
class SafeFileWriter {
public:
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Checks the name, refuses one that exists and creates the temporary file with permission
    // bits `mode` (less the umask). Returns Written when the writer is ready (nothing is under
    // the final name yet), else why it is not.
    SafeFileResult Open(const std::string& directory,
                        std::string_view sjisName,
                        unsigned mode = 0666);
    // The same for a name in UTF-8 (SafeFileNameUtf8).
    SafeFileResult OpenUtf8(const std::string& directory,
                            std::string_view utf8Name,
                            unsigned mode = 0666);
    // Appends bytes. A write error is remembered and reported by Commit.
    void Write(std::string_view bytes);
    // Flushes the bytes to disk and gives the file its final name. Written, or Exists when a
    // file of that name appeared meanwhile, or Failed; in both latter cases nothing is kept.
    SafeFileResult Commit();
    // Drops the file being written.
    void Abandon();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& DiskName() const { return name_; }  // final on-disk name
    std::size_t Size() const { return size_; }             // bytes written so far

private:
    SafeFileResult OpenDiskName(const std::string& directory, std::string diskName, unsigned mode);
    bool Flush();
    void CloseAll();

    int dirFd_ = -1;        // the target directory, open while a file is being written
    int fd_ = -1;           // the temporary file
    std::string name_;      // final on-disk name (UTF-8)
    std::string tempName_;  // temporary name in the same directory
    std::string buffer_;    // bytes not yet written to fd_
    std::size_t size_ = 0;  // bytes accepted by Write
    bool failed_ = false;   // a write failed; Commit reports Failed
};

// Writes `bytes` as a new file named `sjisName` in `directory` (the writer in one call).
SafeFileResult WriteNewFile(const std::string& directory,
                            std::string_view sjisName,
                            std::string_view bytes);

}  // namespace pelorin
