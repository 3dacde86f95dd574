#include "store/packet_files.h"

#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/strutil.h"

#include <filesystem>
#include <system_error>

namespace pelorin {

std::string_view DirPart(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view NamePart(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string FindPacketFile(std::string_view path) {
    std::error_code ec;
    if (std::filesystem::exists(DiskPath(path), ec))
        return std::string(path);
    std::string_view dir = DirPart(path);
    std::string_view name = NamePart(path);
    if (name.empty())
        return std::string(path);
    std::filesystem::path disk_dir = dir.empty() ? std::filesystem::path(".") : DiskPath(dir);
    std::filesystem::directory_iterator it(disk_dir, ec);
    if (ec)
        return std::string(path);
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string candidate = cp932::FromUtf8(it->path().filename().string());
        if (EqualNoCase(candidate, name))
            return std::string(dir) + candidate;
    }
    return std::string(path);
}

bool PacketFileExists(std::string_view path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(DiskPath(FindPacketFile(path)), ec);
}

}  // namespace pelorin
