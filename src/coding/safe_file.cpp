// The safe writer for files named by messages.
//
// Every step works relative to a descriptor of the target directory, so the name can never
// lead elsewhere once it is a single path component. The sequence is:
//
//   1. SafeFileName: cut to the last component, check, convert to UTF-8;
//   2. fstatat(..., AT_SYMLINK_NOFOLLOW): anything of that name (a dangling symbolic link
//      included) means Exists, and nothing is created;
//   3. openat(temporary name, O_CREAT | O_EXCL | O_NOFOLLOW): a fresh file that nobody else
//      can have planted, under a name starting with ".pelorin-";
//   4. write, fsync, close;
//   5. linkat(temporary, final): fails with EEXIST instead of replacing a file that appeared
//      after step 2; then the temporary name is removed. On file systems without hard links
//      renameat2(RENAME_NOREPLACE) does the same in one step.
//
// A failure in 3-5 removes the temporary file, so no partial file is ever left under the
// final name and no stray temporary file stays behind.
#include "coding/safe_file.h"

#include "coding/charset.h"
#include "coding/cp932.h"
#include "coding/file_write.h"
#include "coding/jis.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin {
namespace {

// The checks every on-disk name passes (see safe_file.h); "" when it fails one.
std::string CheckedDiskName(std::string name);

constexpr std::size_t kMaxNameBytes = 255;          // NAME_MAX of the usual file systems
constexpr std::size_t kFlushThreshold = 64 * 1024;  // buffer size before a write(2)
constexpr int kTempAttempts = 100;
constexpr std::string_view kIdeographicSpace = "\u3000";  // U+3000 in UTF-8

}  // namespace

const char* to_string(SafeFileResult result) {
    switch (result) {
        case SafeFileResult::Written:
            return "written";
        case SafeFileResult::Exists:
            return "exists";
        case SafeFileResult::BadName:
            return "bad name";
        case SafeFileResult::Failed:
            return "failed";
    }
    return "?";
}

std::string SafeFileName(std::string_view sjisName) {
    // Cut after the last separator; the pairs of double-byte characters are stepped over
    // whole, so the "\" (0x5C) inside characters like "ソ" does not cut the name.
    std::size_t start = 0;
    for (std::size_t i = 0; i < sjisName.size();) {
        const auto b = static_cast<unsigned char>(sjisName[i]);
        if (IsSjisLeadByte(b) && i + 1 < sjisName.size() &&
            IsSjisTrailByte(static_cast<unsigned char>(sjisName[i + 1]))) {
            i += 2;
            continue;
        }
        if (b == '/' || b == '\\')
            start = i + 1;
        ++i;
    }
    return CheckedDiskName(cp932::ToUtf8(sjisName.substr(start)));
}

std::string SafeFileNameUtf8(std::string_view utf8Name) {
    // "/" and "\" never occur inside a UTF-8 character.
    const std::size_t cut = utf8Name.find_last_of("/\\");
    if (cut != std::string_view::npos)
        utf8Name.remove_prefix(cut + 1);
    return CheckedDiskName(ValidUtf8(utf8Name));
}

namespace {

std::string CheckedDiskName(std::string name) {
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes)
        return {};
    // A name of our own temporary files would pass for a leftover of ours (and be removed as
    // one); a name of nothing but blanks cannot be told from no name in a listing.
    if (name.starts_with(kTemporaryPrefix))
        return {};
    std::string_view rest = name;
    while (!rest.empty() && (rest.front() == ' ' || rest.starts_with(kIdeographicSpace)))
        rest.remove_prefix(rest.front() == ' ' ? 1 : kIdeographicSpace.size());
    if (rest.empty())
        return {};
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        // UTF-8 never puts a byte below 0x80 inside a multi-byte character, so this test sees
        // every control character; "/" cannot appear after the cut but is checked anyway.
        if (b < 0x20 || b == 0x7F || b == '/')
            return {};
    }
    return name;
}

}  // namespace

SafeFileWriter::~SafeFileWriter() {
    Abandon();
}

void SafeFileWriter::CloseAll() {
    if (fd_ >= 0)
        ::close(fd_);
    if (dirFd_ >= 0)
        ::close(dirFd_);
    fd_ = -1;
    dirFd_ = -1;
    buffer_.clear();
    tempName_.clear();
}

void SafeFileWriter::Abandon() {
    if (fd_ >= 0 && dirFd_ >= 0)
        ::unlinkat(dirFd_, tempName_.c_str(), 0);
    CloseAll();
}

SafeFileResult SafeFileWriter::Open(const std::string& directory,
                                    std::string_view sjisName,
                                    unsigned mode) {
    return OpenDiskName(directory, SafeFileName(sjisName), mode);
}

SafeFileResult SafeFileWriter::OpenUtf8(const std::string& directory,
                                        std::string_view utf8Name,
                                        unsigned mode) {
    return OpenDiskName(directory, SafeFileNameUtf8(utf8Name), mode);
}

SafeFileResult SafeFileWriter::OpenDiskName(const std::string& directory,
                                            std::string diskName,
                                            unsigned mode) {
    Abandon();
    size_ = 0;
    failed_ = false;
    name_ = std::move(diskName);
    if (name_.empty())
        return SafeFileResult::BadName;
    if (directory.empty())
        return SafeFileResult::Failed;
    dirFd_ = ::open(cp932::ToUtf8(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0)
        return SafeFileResult::Failed;
    struct stat st {};
    if (::fstatat(dirFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        CloseAll();
        return SafeFileResult::Exists;
    }
    if (errno != ENOENT) {
        CloseAll();
        return SafeFileResult::Failed;
    }
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        std::string temp = TemporaryFileName();
        fd_ = ::openat(dirFd_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       static_cast<mode_t>(mode & 0777));
        if (fd_ >= 0) {
            tempName_ = std::move(temp);
            return SafeFileResult::Written;
        }
        if (errno != EEXIST)
            break;
    }
    CloseAll();
    return SafeFileResult::Failed;
}

void SafeFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_)
        return;
    buffer_.append(bytes);
    size_ += bytes.size();
    if (buffer_.size() >= kFlushThreshold)
        Flush();
}

bool SafeFileWriter::Flush() {
    if (!failed_ && !WriteFully(fd_, buffer_))
        failed_ = true;
    buffer_.clear();
    return !failed_;
}

SafeFileResult SafeFileWriter::Commit() {
    if (fd_ < 0)
        return SafeFileResult::Failed;
    if (!Flush() || ::fsync(fd_) != 0) {
        Abandon();
        return SafeFileResult::Failed;
    }
    SafeFileResult result = SafeFileResult::Written;
    if (::linkat(dirFd_, tempName_.c_str(), dirFd_, name_.c_str(), 0) != 0) {
        if (errno == EEXIST) {
            result = SafeFileResult::Exists;
        } else if (::renameat2(dirFd_, tempName_.c_str(), dirFd_, name_.c_str(),
                               RENAME_NOREPLACE) == 0) {
            tempName_.clear();  // moved: nothing left to remove
        } else {
            result = errno == EEXIST ? SafeFileResult::Exists : SafeFileResult::Failed;
        }
    }
    if (!tempName_.empty())
        ::unlinkat(dirFd_, tempName_.c_str(), 0);
    CloseAll();
    return result;
}

SafeFileResult WriteNewFile(const std::string& directory,
                            std::string_view sjisName,
                            std::string_view bytes) {
    SafeFileWriter writer;
    SafeFileResult opened = writer.Open(directory, sjisName);
    if (opened != SafeFileResult::Written)
        return opened;
    writer.Write(bytes);
    return writer.Commit();
}

}  // namespace pelorin
