#include "coding/file_write.h"

#include <cerrno>
#include <cstdint>
#include <random>
#include <unistd.h>

namespace pelorin {

std::string TemporaryFileName() {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(kTemporaryPrefix);
    std::uint64_t v = rng();
    for (int i = 0; i < 16; ++i) {
        name += kHex[v & 0xF];
        v >>= 4;
    }
    return name + ".tmp";
}

bool IsTemporaryFileName(std::string_view name) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() != kTemporaryPrefix.size() + 16 + kSuffix.size() ||
        !name.starts_with(kTemporaryPrefix) || !name.ends_with(kSuffix))
        return false;
    const std::string_view digits = name.substr(kTemporaryPrefix.size(), 16);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

bool WriteFully(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace pelorin
