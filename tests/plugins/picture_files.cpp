// Tests only: the encoders and the plug-in loader of picture_files.h.
#include "plugins/picture_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <stdexcept>
#include <tiffio.h>

namespace pelorin::testing {

Rgb Quadrants(int width, int height) {
    Rgb image{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2, top = y < height / 2;
            image.pixels.push_back(top ? (left ? 0xFF0000u : 0x0000FFu)
                                       : (left ? 0x00FF00u : 0xFFFFFFu));
        }
    return image;
}

std::string EncodeJpeg(const Rgb& image, int quality, bool grey) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint32_t c = image.At(x, y);
            const int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
            if (grey) {
                row[static_cast<size_t>(x)] =
                    static_cast<JSAMPLE>((r * 30 + g * 59 + b * 11) / 100);
            } else {
                row[3 * static_cast<size_t>(x)] = static_cast<JSAMPLE>(r);
                row[3 * static_cast<size_t>(x) + 1] = static_cast<JSAMPLE>(g);
                row[3 * static_cast<size_t>(x) + 2] = static_cast<JSAMPLE>(b);
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

namespace {

int WriteToString(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<std::string*>(gif->UserData)
        ->append(reinterpret_cast<const char*>(data), static_cast<size_t>(n));
    return n;
}

}  // namespace

std::string EncodeGif(int width,
                      int height,
                      const std::vector<uint8_t>& indices,
                      const std::vector<uint32_t>& colours,
                      bool interlace,
                      int screenWidth,
                      int screenHeight) {
    std::string bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, WriteToString, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen");
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> table(256);
    for (size_t i = 0; i < colours.size() && i < 256; ++i)
        table[i] = {static_cast<GifByteType>(colours[i] >> 16),
                    static_cast<GifByteType>(colours[i] >> 8),
                    static_cast<GifByteType>(colours[i])};
    ColorMapObject* map = GifMakeMapObject(256, table.data());
    EGifPutScreenDesc(gif, screenWidth ? screenWidth : width, screenHeight ? screenHeight : height,
                      8, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, interlace, nullptr);
    // Interlaced rows go out in the four passes' order.
    std::vector<int> order;
    if (interlace) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < height; y += step[pass]) order.push_back(y);
    } else {
        for (int y = 0; y < height; ++y) order.push_back(y);
    }
    for (const int y : order) {
        std::vector<GifPixelType> line(indices.begin() + static_cast<ptrdiff_t>(y) * width,
                                       indices.begin() + static_cast<ptrdiff_t>(y + 1) * width);
        EGifPutLine(gif, line.data(), width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return bytes;
}

void WriteTiff(const std::filesystem::path& path,
               int width,
               int height,
               int bits,
               int samples,
               int photometric,
               const std::vector<uint8_t>& rows,
               const std::vector<uint32_t>& colours,
               int compression) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        throw std::runtime_error("TIFFOpen");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(photometric));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<uint16_t>(compression));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(3));
    std::vector<uint16_t> red(size_t{1} << bits), green(red.size()), blue(red.size());
    if (!colours.empty()) {
        for (size_t i = 0; i < colours.size() && i < red.size(); ++i) {
            red[i] = static_cast<uint16_t>((colours[i] >> 16 & 0xFF) * 257);
            green[i] = static_cast<uint16_t>((colours[i] >> 8 & 0xFF) * 257);
            blue[i] = static_cast<uint16_t>((colours[i] & 0xFF) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    const size_t rowBytes = (static_cast<size_t>(width) * bits * samples + 7) / 8;
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < height; ++y) {
        std::memcpy(row.data(), rows.data() + rowBytes * static_cast<size_t>(y), rowBytes);
        if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0)
            throw std::runtime_error("TIFFWriteScanline");
    }
    TIFFClose(tif);
}

std::string TiffHeader(uint32_t width, uint32_t height, uint32_t dataBytes) {
    std::string out = std::string("II*\0", 4);
    auto put16 = [&out](uint32_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8 & 0xFF);
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put32(8);
    const uint32_t dataAt = 8 + 2 + 9 * 12 + 4;
    const uint32_t entries[][3] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},
                                   {259, 3, 1},     {262, 3, 1},      {273, 4, dataAt},
                                   {277, 3, 1},     {278, 4, height}, {279, 4, dataBytes}};
    put16(9);
    for (const auto& e : entries) {
        put16(e[0]);
        put16(e[1]);
        put32(1);
        if (e[1] == 3) {
            put16(e[2]);
            put16(0);
        } else {
            put32(e[2]);
        }
    }
    put32(0);
    out.append(dataBytes, '\0');
    return out;
}

int Decoded::Index(int x, int y) const {
    const int row = height > 0 ? height - 1 - y : y;
    const uint8_t* p = bits.data() + Stride() * static_cast<size_t>(row);
    const int perByte = 8 / bitCount;
    const int shift = 8 - bitCount * (x % perByte + 1);
    return p[x / perByte] >> shift & ((1 << bitCount) - 1);
}

uint32_t Decoded::Colour(int x, int y) const {
    if (bitCount <= 8) {
        const int index = Index(x, y);
        return static_cast<size_t>(index) < colours.size() ? colours[static_cast<size_t>(index)]
                                                           : 0xDEADBEEFu;
    }
    const int row = height > 0 ? height - 1 - y : y;
    const uint8_t* p =
        bits.data() + Stride() * static_cast<size_t>(row) + static_cast<size_t>(x) * bitCount / 8;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

Plugin::Plugin(const char* fileName) {
    const std::string path = std::string(PELORIN_PLUGIN_DIR) + "/" + fileName;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        return;
    info_ = reinterpret_cast<SpiGetPictureInfo>(dlsym(handle_, "GetPictureInfo"));
    picture_ = reinterpret_cast<SpiGetPicture>(dlsym(handle_, "GetPicture"));
    preview_ = reinterpret_cast<SpiGetPicture>(dlsym(handle_, "GetPreview"));
}

Plugin::~Plugin() {
    if (handle_)
        dlclose(handle_);
}

void* Plugin::Symbol(const char* name) const {
    return dlsym(handle_, name);
}

int Plugin::Info(const std::filesystem::path& file, long offset, SpiPictureInfo* info) const {
    const int result = info_(file.c_str(), offset, 0, info);
    return result;
}

namespace {

Decoded Read(int result, void* info, void* bits) {
    Decoded d;
    d.result = result;
    d.nullBlocks = !info && !bits;
    if (info && bits) {
        SpiBitmapHeader h{};
        std::memcpy(&h, info, sizeof h);
        d.width = h.width;
        d.height = h.height;
        d.bitCount = h.bitCount;
        d.clrUsed = h.clrUsed;
        const uint32_t entries = h.bitCount <= 8 && h.clrUsed == 0 ? 1u << h.bitCount : h.clrUsed;
        const auto* table = static_cast<const uint8_t*>(info) + 40;
        for (uint32_t i = 0; i < entries; ++i)
            d.colours.push_back(uint32_t{table[4 * i + 2]} << 16 | uint32_t{table[4 * i + 1]} << 8 |
                                table[4 * i]);
        const size_t size = d.Stride() * static_cast<size_t>(h.height < 0 ? -h.height : h.height);
        d.bits.assign(static_cast<const uint8_t*>(bits), static_cast<const uint8_t*>(bits) + size);
    }
    std::free(info);
    std::free(bits);
    return d;
}

}  // namespace

Decoded Plugin::Picture(const std::filesystem::path& file, long offset) const {
    void *info = nullptr, *bits = nullptr;
    const int result = picture_(file.c_str(), offset, 0, &info, &bits, nullptr, 0);
    return Read(result, info, bits);
}

Decoded Plugin::Preview(const std::filesystem::path& file, long offset) const {
    void *info = nullptr, *bits = nullptr;
    const int result = preview_(file.c_str(), offset, 0, &info, &bits, nullptr, 0);
    return Read(result, info, bits);
}

Decoded Plugin::PictureInMemory(const std::string& bytes) const {
    void *info = nullptr, *bits = nullptr;
    const int result = picture_(bytes.data(), static_cast<long>(bytes.size()), SPI_INPUT_MEMORY,
                                &info, &bits, nullptr, 0);
    return Read(result, info, bits);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

}  // namespace pelorin::testing
