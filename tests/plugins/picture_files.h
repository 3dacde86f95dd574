// Tests only: pictures made with the encoders of the same libraries the plug-ins decode with
// (libjpeg, giflib, libtiff), a hand-made TIFF header that claims any size, and the plug-ins
// themselves, loaded with dlopen from the folder the program finds them in and called through
// their three entry points, with their blocks read back into a plain picture.
#pragma once

#include "view/picture_plugin.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pelorin::testing {

// A picture of 24-bit pixels, rows top-down, 0xRRGGBB each.
struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Four quadrants: red top left, blue top right, green bottom left, white bottom right.
Rgb Quadrants(int width, int height);

// A JPEG of `image` (greyscale when `grey`).
std::string EncodeJpeg(const Rgb& image, int quality, bool grey = false);

// A GIF89a of one image of `indices` (rows top-down) over a 256-colour global map, on a logical
// screen of the image's size unless screen sizes are given; interlaced when asked.
std::string EncodeGif(int width,
                      int height,
                      const std::vector<uint8_t>& indices,
                      const std::vector<uint32_t>& colours,
                      bool interlace = false,
                      int screenWidth = 0,
                      int screenHeight = 0);

// A TIFF written row by row with TIFFWriteScanline: `rows` holds each row's packed samples
// (top-down, ceil(width * bits * samples / 8) bytes each); `colours` (0xRRGGBB) makes it a
// palette picture.
void WriteTiff(const std::filesystem::path& path,
               int width,
               int height,
               int bits,
               int samples,
               int photometric,
               const std::vector<uint8_t>& rows,
               const std::vector<uint32_t>& colours = {},
               int compression = 1);

// A minimal little-endian TIFF that claims width x height 8-bit grey pixels in one strip of
// `dataBytes` bytes (which follow, zero).
std::string TiffHeader(uint32_t width, uint32_t height, uint32_t dataBytes);

// A picture as a plug-in returned it.
struct Decoded {
    int result = -1;
    int width = 0;
    int height = 0;  // as in the header (> 0: bottom-up)
    int bitCount = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> colours;  // the colour table, 0xRRGGBB
    std::vector<uint8_t> bits;      // the pixel block
    bool nullBlocks = true;         // both blocks came back null
    size_t Stride() const { return (static_cast<size_t>(width) * bitCount + 31) / 32 * 4; }
    // The colour-table index of pixel (x, y) counted from the top (pictures of <= 8 bits).
    int Index(int x, int y) const;
    // The colour of pixel (x, y) counted from the top, 0xRRGGBB.
    uint32_t Colour(int x, int y) const;
};

// One loaded plug-in (dlclose'd when this goes).
class Plugin {
public:
    explicit Plugin(const char* fileName);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool Loaded() const { return handle_ && info_ && picture_ && preview_; }
    void* Symbol(const char* name) const;

    int Info(const std::filesystem::path& file, long offset, SpiPictureInfo* info) const;
    Decoded Picture(const std::filesystem::path& file, long offset = 0) const;
    Decoded Preview(const std::filesystem::path& file, long offset = 0) const;
    // The memory input form.
    Decoded PictureInMemory(const std::string& bytes) const;

private:
    void* handle_ = nullptr;
    SpiGetPictureInfo info_ = nullptr;
    SpiGetPicture picture_ = nullptr;
    SpiGetPicture preview_ = nullptr;
};

// True when the channels of two colours differ by at most `tolerance` each.
bool Near(uint32_t a, uint32_t b, int tolerance = 40);

}  // namespace pelorin::testing
