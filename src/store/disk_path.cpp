// Shift_JIS paths to on-disk (UTF-8) paths, through the CP932 codec.
#include "store/disk_path.h"

#include "coding/cp932.h"

namespace pelorin {

std::filesystem::path DiskPath(std::string_view sjisPath) {
    // Pure ASCII needs no conversion; this is the common case and keeps it cheap.
    for (char c : sjisPath) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return std::filesystem::path(cp932::ToUtf8(sjisPath));
    }
    return std::filesystem::path(std::string(sjisPath));
}

}  // namespace pelorin
