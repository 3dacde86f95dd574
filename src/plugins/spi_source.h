// SpiSource: the bytes of one picture as an entry point's arguments name them, from the
// picture's start: a file read from `offset` on (SPI_INPUT_FILE), or `offset` bytes in memory
// at `name` (SPI_INPUT_MEMORY). Positions are counted from the picture's start, so a decoder
// never sees the prefix before it.
//
// Bad input: a file that cannot be opened or read, anything but a regular file (a folder, a
// FIFO: never waited for), a negative offset or one past the end give SPI_READ_ERROR; the
// memory form with a null pointer or a negative count gives SPI_MEMORY_ERROR; an unknown input
// form gives SPI_UNKNOWN_FORMAT. Reads past the end return fewer bytes than asked for, and a
// later read error makes Failed() true.
#pragma once

#include "view/picture_plugin.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace pelorin::spi {

class SpiSource {
public:
    SpiSource() = default;
    ~SpiSource();
    SpiSource(const SpiSource&) = delete;
    SpiSource& operator=(const SpiSource&) = delete;

    // Opens the input; returns 0 or the result code above.
    int Open(const char* name, long offset, unsigned flag);

    // Reads up to n bytes at the current position; returns how many were read.
    size_t Read(void* buffer, size_t n);
    // Moves to pos bytes from the picture's start (at most Size()); false when it cannot.
    bool Seek(uint64_t pos);
    uint64_t Tell() const { return pos_; }
    uint64_t Size() const { return size_; }
    bool Failed() const { return failed_; }

    // True when the picture starts with `signature` (the position goes back to 0).
    bool StartsWith(const void* signature, size_t n);

private:
    FILE* file_ = nullptr;                   // the file form: open for reading, or null
    uint64_t base_ = 0;                      // where the picture starts in the file
    const unsigned char* memory_ = nullptr;  // the memory form: the picture's first byte
    uint64_t size_ = 0;                      // bytes from the picture's start to the end
    uint64_t pos_ = 0;                       // the next byte to read, from the picture's start
    bool failed_ = false;                    // a read error happened
};

// The start of every entry point: refuses a null output pointer (SPI_MEMORY_ERROR), clears
// the output, and opens `input`. Returns 0 or the result code of the failure.
int OpenForInfo(
    SpiSource& input, const char* name, long offset, unsigned flag, SpiPictureInfo* info);
int OpenForPicture(
    SpiSource& input, const char* name, long offset, unsigned flag, void** info, void** bits);

}  // namespace pelorin::spi
