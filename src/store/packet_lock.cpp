// The packet lock (see packet_lock.h). One registry per process maps each lock file to its
// descriptor, the thread holding it and how deeply; the flock itself is taken once per
// process and released when the outermost holder lets go.
#include "store/packet_lock.h"

#include "store/disk_path.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace pelorin {
namespace {

struct Holder {
    int fd = -1;
    int depth = 0;
    std::thread::id owner;
};

std::mutex registryMutex;
std::condition_variable registryFree;
std::map<std::string, Holder>& Registry() {
    static std::map<std::string, Holder> registry;
    return registry;
}

int OpenLockFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    return fd;
}

}  // namespace

PacketLock::PacketLock(std::string_view directory) {
    std::string dir(directory);
    if (dir.empty())
        dir = "./";
    else if (dir.back() != '/')
        dir += '/';
    key_ = DiskPath(dir + std::string(kFileName)).string();

    std::unique_lock guard(registryMutex);
    const std::thread::id me = std::this_thread::get_id();
    Holder& holder = Registry()[key_];
    registryFree.wait(guard, [&] { return holder.depth == 0 || holder.owner == me; });
    if (holder.depth > 0) {
        ++holder.depth;
        locked_ = holder.fd >= 0;
        return;
    }
    holder.depth = 1;
    holder.owner = me;
    guard.unlock();

    // Waiting for another process happens outside the registry, so that other packets go on.
    const int fd = OpenLockFile(key_);
    bool locked = false;
    if (fd >= 0) {
        int r;
        do {
            r = ::flock(fd, LOCK_EX);
        } while (r != 0 && errno == EINTR);
        locked = r == 0;
    }

    guard.lock();
    holder.fd = fd;
    locked_ = locked;
}

PacketLock::~PacketLock() {
    std::lock_guard guard(registryMutex);
    auto it = Registry().find(key_);
    if (it == Registry().end())
        return;
    Holder& holder = it->second;
    if (--holder.depth > 0)
        return;
    if (holder.fd >= 0) {
        ::flock(holder.fd, LOCK_UN);
        ::close(holder.fd);
    }
    // The entry stays (waiters hold a reference to it); a process knows few packets.
    holder.fd = -1;
    registryFree.notify_all();
}

}  // namespace pelorin
