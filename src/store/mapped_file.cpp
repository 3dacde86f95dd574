#include "store/mapped_file.h"

#include "store/disk_path.h"
#include "store/guarded_map.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin {

MappedFile::~MappedFile() {
    Close();
}

void MappedFile::DoneBefore(std::size_t offset) {
    constexpr std::size_t kStep = 16 << 20;  // in steps, so the calls cost nothing
    if (!map_ || offset < released_ + kStep)
        return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t upTo = offset / page * page;
    (void)::madvise(static_cast<char*>(map_) + released_, upTo - released_, MADV_DONTNEED);
    released_ = upTo;
}

void MappedFile::Close() {
    if (map_)
        guarded_map::Unmap(static_cast<const char*>(map_), mapLength_);
    map_ = nullptr;
    mapLength_ = 0;
    copy_.clear();
    bytes_ = {};
    released_ = 0;
}

bool MappedFile::Open(std::string_view path) {
    Close();
    const int fd = ::open(DiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && S_ISREG(st.st_mode) && st.st_size > 0) {
        mapLength_ = static_cast<std::size_t>(st.st_size);
        if (const char* map = guarded_map::Map(fd, mapLength_)) {
            map_ = const_cast<char*>(map);
            (void)::madvise(map_, mapLength_, MADV_SEQUENTIAL);
            bytes_ = std::string_view(static_cast<const char*>(map_), mapLength_);
            ::close(fd);
            return true;
        }
        mapLength_ = 0;
    }
    // Not mappable: read what there is.
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        copy_.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes_ = copy_;
    return ok;
}

}  // namespace pelorin
