// Scratch folders of imports: see scratch_folder.h.
#include "store/scratch_folder.h"

#include "store/disk_path.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace pelorin {

ScratchFolder::~ScratchFolder() {
    if (!path_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    if (fd_ >= 0)
        ::close(fd_);
}

bool ScratchFolder::Create(const std::string& diskDirectory) {
    std::string templ = diskDirectory + std::string(kScratchPrefix) + "XXXXXX";
    if (!::mkdtemp(templ.data()))
        return false;
    path_ = templ + "/";
    fd_ = ::open(templ.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        path_.clear();
        errno = error;
        return false;
    }
    return true;
}

int RemoveStaleScratchFolders(std::string_view directory, int minAgeSeconds) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    int removed = 0;
    for (fs::directory_iterator it(DiskPath(directory), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code e2;
        if (name.size() != kScratchPrefix.size() + 6 || !name.starts_with(kScratchPrefix) ||
            it->is_symlink(e2) || !it->is_directory(e2) ||
            now - it->last_write_time(e2) < std::chrono::seconds(minAgeSeconds))
            continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Held for as long as the removal takes, so a maker that is still alive keeps it.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fs::remove_all(it->path(), e2);
            removed += !e2;
        }
        ::close(fd);
    }
    return removed;
}

}  // namespace pelorin
