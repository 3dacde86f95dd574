// The shared body of the picture plug-ins' fuzz targets: each input is a picture in memory,
// handed to GetPictureInfo, GetPicture and GetPreview through the memory input form.
//
// Checked: a success returns two blocks whose header is one the picture control reads (40
// bytes, a positive width, a height, a bit count of 1, 4, 8 or 24, no compression, a colour
// table of at most 2^bits entries, within the size limit), and every byte of the pixel block
// the header describes is readable (ASan sees any shortfall); a failure returns no block.
#pragma once

#include "view/picture_plugin.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pelorin::fuzz {

inline void CheckBlocks(int result, void* info, void* bits) {
    if (result != SPI_OK) {
        if (info || bits)
            std::abort();
        return;
    }
    if (!info || !bits)
        std::abort();
    SpiBitmapHeader h;
    std::memcpy(&h, info, sizeof h);
    const int64_t height = h.height < 0 ? -int64_t{h.height} : h.height;
    if (h.size != 40 || h.width <= 0 || height == 0 || h.compression != 0 ||
        int64_t{h.width} * height > SPI_MAX_PIXELS)
        std::abort();
    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24)
        std::abort();
    if (h.bitCount <= 8 && h.clrUsed > (1u << h.bitCount))
        std::abort();
    // Touch the last colour-table entry and every row's last byte.
    volatile unsigned char sink = 0;
    if (h.clrUsed > 0)
        sink = sink ^ static_cast<const unsigned char*>(info)[40 + 4 * h.clrUsed - 1];
    const size_t stride = (static_cast<size_t>(h.width) * h.bitCount + 31) / 32 * 4;
    for (int64_t y = 0; y < height; ++y)
        sink =
            sink ^ static_cast<const unsigned char*>(bits)[stride * static_cast<size_t>(y + 1) - 1];
    std::free(info);
    std::free(bits);
}

inline void FuzzPlugin(const uint8_t* data, size_t size) {
    const auto* name = reinterpret_cast<const char*>(data);
    const auto length = static_cast<long>(size);
    SpiPictureInfo pictureInfo{};
    if (GetPictureInfo(name, length, SPI_INPUT_MEMORY, &pictureInfo) == SPI_OK &&
        (pictureInfo.width <= 0 || pictureInfo.height <= 0))
        std::abort();
    std::free(pictureInfo.info);
    void* info = nullptr;
    void* bits = nullptr;
    // The blocks are read after each call returns.
    int result = GetPicture(name, length, SPI_INPUT_MEMORY, &info, &bits, nullptr, 0);
    CheckBlocks(result, info, bits);
    info = bits = nullptr;
    result = GetPreview(name, length, SPI_INPUT_MEMORY, &info, &bits, nullptr, 0);
    CheckBlocks(result, info, bits);
}

}  // namespace pelorin::fuzz
