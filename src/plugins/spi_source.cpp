// SpiSource over a stdio stream (buffered: the GIF decoder reads a byte at a time) or over
// memory the caller keeps alive for the call.
#include "plugins/spi_source.h"

#include "view/picture_plugin.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin::spi {

SpiSource::~SpiSource() {
    if (file_)
        std::fclose(file_);
}

int SpiSource::Open(const char* name, long offset, unsigned flag) {
    switch (flag & SPI_INPUT_MASK) {
        case SPI_INPUT_FILE: {
            if (!name || offset < 0)
                return SPI_READ_ERROR;
            // Opened without waiting, so that a FIFO under the name cannot hang the program;
            // only a regular file is read.
            const int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0)
                return SPI_READ_ERROR;
            struct stat st {};
            if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                static_cast<uint64_t>(offset) > static_cast<uint64_t>(st.st_size)) {
                close(fd);
                return SPI_READ_ERROR;
            }
            file_ = fdopen(fd, "rb");
            if (!file_) {
                close(fd);
                return SPI_READ_ERROR;
            }
            base_ = static_cast<uint64_t>(offset);
            size_ = static_cast<uint64_t>(st.st_size) - base_;
            return Seek(0) ? SPI_OK : SPI_READ_ERROR;
        }
        case SPI_INPUT_MEMORY:
            if (!name || offset < 0)
                return SPI_MEMORY_ERROR;
            memory_ = reinterpret_cast<const unsigned char*>(name);
            size_ = static_cast<uint64_t>(offset);
            return SPI_OK;
        default:
            return SPI_UNKNOWN_FORMAT;
    }
}

size_t SpiSource::Read(void* buffer, size_t n) {
    const uint64_t left = size_ - pos_;
    if (n > left)
        n = static_cast<size_t>(left);
    if (n == 0)
        return 0;
    if (memory_) {
        std::memcpy(buffer, memory_ + pos_, n);
    } else {
        const size_t got = std::fread(buffer, 1, n, file_);
        if (got < n)
            failed_ = failed_ || std::ferror(file_) != 0;
        n = got;
    }
    pos_ += n;
    return n;
}

bool SpiSource::Seek(uint64_t pos) {
    if (pos > size_)
        return false;
    if (file_ && fseeko(file_, static_cast<off_t>(base_ + pos), SEEK_SET) != 0)
        return false;
    pos_ = pos;
    return true;
}

bool SpiSource::StartsWith(const void* signature, size_t n) {
    unsigned char head[16];
    if (n > sizeof head || !Seek(0))
        return false;
    const bool same = Read(head, n) == n && std::memcmp(head, signature, n) == 0;
    return Seek(0) && same;
}

int OpenForInfo(
    SpiSource& input, const char* name, long offset, unsigned flag, SpiPictureInfo* info) {
    if (!info)
        return SPI_MEMORY_ERROR;
    *info = SpiPictureInfo{};
    return input.Open(name, offset, flag);
}

int OpenForPicture(
    SpiSource& input, const char* name, long offset, unsigned flag, void** info, void** bits) {
    if (!info || !bits)
        return SPI_MEMORY_ERROR;
    *info = *bits = nullptr;
    return input.Open(name, offset, flag);
}

}  // namespace pelorin::spi
