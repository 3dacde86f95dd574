// MessageReader. See message_reader.h.
#include "store/message_reader.h"

#include "store/disk_path.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace pelorin {

MessageReader::~MessageReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool MessageReader::OpenFor(const std::string& path) {
    if (fd_ >= 0 && path == path_)
        return true;
    if (fd_ >= 0)
        ::close(fd_);
    path_.clear();
    fd_ = ::open(DiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    path_ = path;
    return true;
}

bool MessageReader::Read(const TMsg& msg, std::string& out) {
    out.clear();
    // An index may give any offset and length: the end must stay a file position.
    if (msg.length <= 0 || msg.offset < 0 || msg.msgFile.empty() ||
        msg.length > std::numeric_limits<int64_t>::max() - msg.offset)
        return true;
    if (!OpenFor(msg.msgFile.str()))
        return false;
    // Read in pieces that grow with what the file really holds, so a length field far beyond
    // the end of the file costs nothing.
    const auto want = static_cast<size_t>(msg.length);
    constexpr size_t kFirst = 64 * 1024;
    while (out.size() < want) {
        const size_t have = out.size();
        const size_t piece = std::min(want - have, std::max(kFirst, have));
        out.resize(have + piece);
        const ssize_t n = ::pread(fd_, out.data() + have, piece,
                                  static_cast<off_t>(msg.offset) + static_cast<off_t>(have));
        if (n < 0 && errno == EINTR) {
            out.resize(have);
            continue;
        }
        if (n <= 0) {
            out.resize(have);
            return n == 0;
        }
        out.resize(have + static_cast<size_t>(n));
    }
    return true;
}

}  // namespace pelorin
