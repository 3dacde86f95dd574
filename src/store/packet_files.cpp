#include "store/packet_files.h"

#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/strutil.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <unordered_map>

namespace pelorin {

std::string_view DirPart(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view NamePart(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

namespace {

// The names of one directory, by their upper-case spelling (the first in directory order
// wins). A packet of thousands of areas looks up thousands of missing files (".PBX" of areas
// never opened, ".IDX" of areas without one) when it opens: one listing serves them all.
//
// A listing is used again only while the directory is unchanged (same inode and modification
// time) and was read at least a second after its last change: a change within the same tick
// of the file system's clock as the listing would not show in the modification time.
struct Listing {
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    std::chrono::system_clock::time_point readAt;
    std::unordered_map<std::string, std::string> byUpper;  // upper-case name -> name on disk
};

std::mutex listingsMutex;
std::unordered_map<std::string, Listing>& Listings() {
    static std::unordered_map<std::string, Listing> listings;
    return listings;
}

bool Trusted(const Listing& l, const struct stat& st) {
    if (l.dev != st.st_dev || l.ino != st.st_ino || l.mtime.tv_sec != st.st_mtim.tv_sec ||
        l.mtime.tv_nsec != st.st_mtim.tv_nsec)
        return false;
    const auto changed = std::chrono::system_clock::time_point(
        std::chrono::seconds(st.st_mtim.tv_sec) +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    return l.readAt - changed >= std::chrono::seconds(1);
}

// The on-disk (Shift_JIS) name that answers to `upperName` in `dir`, or "" when none does.
std::string FindInDirectory(const std::filesystem::path& dir, const std::string& upperName) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    std::lock_guard guard(listingsMutex);
    Listing& listing = Listings()[dir.string()];
    if (!Trusted(listing, st)) {
        listing = Listing{};
        listing.dev = st.st_dev;
        listing.ino = st.st_ino;
        listing.mtime = st.st_mtim;
        listing.readAt = std::chrono::system_clock::now();
        std::error_code ec;
        std::filesystem::directory_iterator it(dir, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            std::string name = cp932::FromUtf8(it->path().filename().string());
            listing.byUpper.emplace(SjisUpper(name), std::move(name));
        }
    }
    auto found = listing.byUpper.find(upperName);
    return found == listing.byUpper.end() ? std::string() : found->second;
}

}  // namespace

std::string FindPacketFile(std::string_view path) {
    std::error_code ec;
    if (std::filesystem::exists(DiskPath(path), ec))
        return std::string(path);
    std::string_view dir = DirPart(path);
    std::string_view name = NamePart(path);
    if (name.empty())
        return std::string(path);
    std::filesystem::path disk_dir = dir.empty() ? std::filesystem::path(".") : DiskPath(dir);
    const std::string found = FindInDirectory(disk_dir, SjisUpper(name));
    return found.empty() ? std::string(path) : std::string(dir) + found;
}

bool PacketFileExists(std::string_view path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(DiskPath(FindPacketFile(path)), ec);
}

}  // namespace pelorin
