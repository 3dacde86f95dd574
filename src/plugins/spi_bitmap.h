// SpiBitmap: a decoded picture in the two blocks GetPicture hands over (picture_plugin.h): a
// 40-byte bitmap-information header with its colour table, and the pixel rows, bottom-up,
// each padded to a multiple of 4 bytes. Decoders write rows by their place from the top
// (Row(0) is the top row, stored last). Both blocks come from malloc; Release passes them to
// the caller, who frees them with free(); whatever was not released is freed here.
//
// The size limit: Create refuses pictures of more than kDecodeMaxPixels pixels with
// SPI_NO_MEMORY before anything is allocated, and so does CheckSize, which decoders call as
// soon as a header names the size. The limit is the picture control's SPI_MAX_PIXELS; fuzz
// builds set a smaller one (PELORIN_SPI_MAX_PIXELS) so that each input stays quick.
#pragma once

#include "view/picture_plugin.h"

#include <cstddef>
#include <cstdint>

#ifndef PELORIN_SPI_MAX_PIXELS
#define PELORIN_SPI_MAX_PIXELS SPI_MAX_PIXELS
#endif

namespace pelorin::spi {

inline constexpr int64_t kDecodeMaxPixels = PELORIN_SPI_MAX_PIXELS;

// 0 when a picture of width x height may be decoded; SPI_NO_MEMORY when it is too large;
// SPI_BROKEN_DATA when a side is 0 or negative.
int CheckSize(int64_t width, int64_t height);

class SpiBitmap {
public:
    SpiBitmap() = default;
    ~SpiBitmap();
    SpiBitmap(const SpiBitmap&) = delete;
    SpiBitmap& operator=(const SpiBitmap&) = delete;

    // Allocates a picture of bitCount 1, 4, 8 or 24 with `colours` table entries (at most
    // 2^bitCount; 0 for 24 bits), every pixel 0 and every colour black. Returns 0,
    // SPI_NO_MEMORY (too large, or malloc failed) or SPI_BROKEN_DATA (a side not positive).
    int Create(int32_t width, int32_t height, int bitCount, int colours);
    void SetColour(int index, uint8_t red, uint8_t green, uint8_t blue);
    // A table of `levels` greys from black to white (or white to black when `inverted`).
    void SetGreys(int levels, bool inverted);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    size_t Stride() const { return stride_; }
    // Row y counted from the top (0 <= y < Height()).
    unsigned char* Row(int32_t y) { return bits_ + stride_ * static_cast<size_t>(height_ - 1 - y); }

    // Hands both blocks to the caller (who frees them with free()).
    void Release(void** info, void** bits);

private:
    unsigned char* info_ = nullptr;  // header + colour table, malloc'ed
    unsigned char* bits_ = nullptr;  // stride_ * height_ bytes, malloc'ed
    int32_t width_ = 0;
    int32_t height_ = 0;
    int colours_ = 0;  // entries of the colour table
    size_t stride_ = 0;
};

}  // namespace pelorin::spi
