// SpiBitmap: the header is written field by field in little-endian order, whatever the
// machine's, since the caller reads it as bytes.
#include "plugins/spi_bitmap.h"

#include <cstdlib>
#include <cstring>

namespace pelorin::spi {

namespace {

void Put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void Put16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

}  // namespace

int CheckSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0)
        return SPI_BROKEN_DATA;
    if (width > kDecodeMaxPixels || height > kDecodeMaxPixels || width * height > kDecodeMaxPixels)
        return SPI_NO_MEMORY;
    return SPI_OK;
}

SpiBitmap::~SpiBitmap() {
    std::free(info_);
    std::free(bits_);
}

int SpiBitmap::Create(int32_t width, int32_t height, int bitCount, int colours) {
    if (const int size = CheckSize(width, height); size != SPI_OK)
        return size;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
        return SPI_BROKEN_DATA;
    if (colours < 0 || (bitCount <= 8 && colours > (1 << bitCount)) ||
        (bitCount > 8 && colours != 0))
        return SPI_BROKEN_DATA;
    std::free(info_);
    std::free(bits_);
    width_ = width;
    height_ = height;
    colours_ = colours;
    stride_ = (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    info_ = static_cast<unsigned char*>(std::calloc(1, 40 + 4 * static_cast<size_t>(colours)));
    bits_ = static_cast<unsigned char*>(std::calloc(stride_, static_cast<size_t>(height)));
    if (!info_ || !bits_)
        return SPI_NO_MEMORY;
    Put32(info_, 40);
    Put32(info_ + 4, static_cast<uint32_t>(width));
    Put32(info_ + 8, static_cast<uint32_t>(height));  // > 0: bottom-up
    Put16(info_ + 12, 1);
    Put16(info_ + 14, static_cast<uint16_t>(bitCount));
    Put32(info_ + 20, static_cast<uint32_t>(stride_ * static_cast<size_t>(height)));
    Put32(info_ + 32, static_cast<uint32_t>(colours));
    return SPI_OK;
}

void SpiBitmap::SetColour(int index, uint8_t red, uint8_t green, uint8_t blue) {
    if (index < 0 || index >= colours_)
        return;
    unsigned char* entry = info_ + 40 + 4 * index;
    entry[0] = blue;
    entry[1] = green;
    entry[2] = red;
    entry[3] = 0;
}

void SpiBitmap::SetGreys(int levels, bool inverted) {
    for (int i = 0; i < levels; ++i) {
        const int level = levels > 1 ? i * 255 / (levels - 1) : 0;
        const auto v = static_cast<uint8_t>(inverted ? 255 - level : level);
        SetColour(i, v, v, v);
    }
}

void SpiBitmap::Release(void** info, void** bits) {
    *info = info_;
    *bits = bits_;
    info_ = bits_ = nullptr;
}

}  // namespace pelorin::spi
