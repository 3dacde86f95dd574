// Whole-file replacement through a temporary file and rename (see replace_file.h).
//
//   1. when asked to follow links, resolve a symbolic link at the final name to its file;
//   2. open(".pelorin-<random>.tmp" in the same directory, O_CREAT | O_EXCL, 0666), then give
//      it the permission bits of the file it replaces;
//   3. write in 64 KiB pieces, fdatasync when durable, close;
//   4. rename over the final name (atomic within one file system); when durable, fsync the
//      directory so the rename itself survives a power cut.
// Any failure unlinks the temporary file; the old file is never opened for writing.
#include "store/replace_file.h"

#include "coding/cp932.h"
#include "coding/file_write.h"
#include "store/disk_path.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace pelorin {
namespace {

constexpr std::size_t kFlushThreshold = 64 * 1024;
constexpr int kTempAttempts = 100;

thread_local std::string lastError;

// Remembers errno's text as the reason of the current failure.
void NoteError(int error) {
    lastError = SystemReason(error);
}

}  // namespace

std::string SystemReason(int error) {
    // The C library speaks the user's language (UTF-8) once the program set its locale.
    return cp932::FromUtf8(std::strerror(error));
}

const std::string& LastWriteError() {
    return lastError;
}

bool SyncDirectory(const std::string& diskDirectory) {
    const std::string dir = diskDirectory.empty() ? std::string(".") : diskDirectory;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot flush a directory (EINVAL); the rename stands all the same.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

const char* to_string(ReplaceResult result) {
    switch (result) {
        case ReplaceResult::Ok:
            return "written";
        case ReplaceResult::OpenFailed:
            return "cannot create a temporary file";
        case ReplaceResult::WriteFailed:
            return "write failed";
        case ReplaceResult::RenameFailed:
            return "cannot replace the file";
    }
    return "?";
}

FileReplacer::~FileReplacer() {
    Abandon();
}

void FileReplacer::Abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
    fd_ = -1;
    buffer_.clear();
    temp_.clear();
}

ReplaceResult FileReplacer::Open(std::string_view path, bool durable, LinkPolicy links) {
    Abandon();
    failed_ = false;
    durable_ = durable;
    lastError.clear();
    std::filesystem::path target = DiskPath(path);
    std::error_code ec;
    if (links == LinkPolicy::Follow && std::filesystem::is_symlink(target, ec)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    target_ = target.string();
    std::filesystem::path dir = target.parent_path();
    struct stat old {};
    // lstat: a link that is to be replaced lends no permission bits of the file it names.
    const bool hadOld = ::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        std::string temp = (dir / TemporaryFileName()).string();
        fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temp_ = std::move(temp);
            if (hadOld)
                (void)::fchmod(fd_, old.st_mode & 07777);
            return ReplaceResult::Ok;
        }
        if (errno != EEXIST)
            break;
    }
    NoteError(errno);
    return ReplaceResult::OpenFailed;
}

bool FileReplacer::WriteAll(std::string_view bytes) {
    return WriteFully(fd_, bytes);
}

bool FileReplacer::Flush() {
    bool ok = WriteAll(buffer_);
    buffer_.clear();
    return ok;
}

void FileReplacer::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_)
        return;
    if (buffer_.size() + bytes.size() < kFlushThreshold) {
        buffer_.append(bytes);
        return;
    }
    // A large piece goes straight to the file instead of through the buffer.
    if (!Flush() || !WriteAll(bytes)) {
        failed_ = true;
        writeErrno_ = errno;
    }
}

ReplaceResult FileReplacer::Commit() {
    if (fd_ < 0)
        return ReplaceResult::OpenFailed;
    if (failed_ || !Flush() || (durable_ && ::fdatasync(fd_) != 0)) {
        NoteError(failed_ ? writeErrno_ : errno);
        Abandon();
        return ReplaceResult::WriteFailed;
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        NoteError(errno);
        ::unlink(temp_.c_str());
        temp_.clear();
        return ReplaceResult::WriteFailed;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        NoteError(errno);
        ::unlink(temp_.c_str());
        temp_.clear();
        return ReplaceResult::RenameFailed;
    }
    temp_.clear();
    if (durable_)
        (void)SyncDirectory(std::filesystem::path(target_).parent_path().string());
    lastError.clear();
    return ReplaceResult::Ok;
}

ReplaceResult ReplaceFile(std::string_view path,
                          std::string_view bytes,
                          bool durable,
                          LinkPolicy links) {
    FileReplacer replacer;
    if (ReplaceResult r = replacer.Open(path, durable, links); r != ReplaceResult::Ok)
        return r;
    replacer.Write(bytes);
    return replacer.Commit();
}

}  // namespace pelorin
