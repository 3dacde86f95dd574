// iftiff.spi: TIFF pictures through libtiff (the first image of the file).
//
// Bilevel, greyscale and palette images of 1, 4 or 8 bits in strips are read row by row
// straight into a picture of the same depth, with their colour table (white-is-zero images get
// a table from white to black). Every other kind (RGB, CMYK, YCbCr, 16 bits, separate planes,
// tiles, 2 bits) goes through libtiff's RGBA reader into a 24-bit picture, a band of rows at a
// time; alpha is dropped. Rows are shown in the order the file stores them (the Orientation
// tag is not applied). GetPreview returns the same picture (the program asks for previews of
// JPEG pictures only). GetPictureInfo gives width, height, bits per sample times samples per
// pixel, square pixels and no text.
//
// Bad input: a file not starting with a TIFF byte-order mark and version (II*, MM*, or the
// big forms II+, MM+) is an unknown format (2), and so is a TIFF whose kind libtiff's RGBA
// reader does not know. libtiff's errors and warnings go to handlers of this decode that
// say nothing (never to the terminal, never ending the program); a directory, strip or tile
// that cannot be read is broken data (3). A picture over the size limit gives 4 before its
// pixels are decoded, and libtiff's own allocations are capped (kLibraryMemory).
#include "plugins/spi_bitmap.h"
#include "plugins/spi_entry.h"
#include "plugins/spi_source.h"

#include <cstdarg>
#include <cstdlib>
#include <tiffio.h>

namespace pelorin::spi {
namespace {

constexpr tmsize_t kLibraryMemory = tmsize_t{256} * 1024 * 1024;
constexpr int64_t kBandPixels = int64_t{4} * 1024 * 1024;  // pixels per RGBA band

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t n) {
    if (n <= 0)
        return 0;
    return static_cast<tmsize_t>(
        static_cast<SpiSource*>(handle)->Read(buffer, static_cast<size_t>(n)));
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* input = static_cast<SpiSource*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = input->Tell();
    else if (whence == SEEK_END)
        base = input->Size();
    else if (whence != SEEK_SET)
        return static_cast<toff_t>(-1);
    if (offset > UINT64_MAX - base || !input->Seek(base + offset))
        return static_cast<toff_t>(-1);
    return input->Tell();
}

int CloseProc(thandle_t) {
    return 0;
}

toff_t SizeProc(thandle_t handle) {
    return static_cast<SpiSource*>(handle)->Size();
}

int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// Errors and warnings of one decode: silent, and the default handlers are not called.
int Silent(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// An open TIFF, closed when this goes.
struct Tiff {
    TIFFOpenOptions* options = nullptr;
    TIFF* file = nullptr;
    uint32_t* band = nullptr;  // RGBA rows, malloc'ed
    ~Tiff() {
        if (file)
            TIFFClose(file);
        if (options)
            TIFFOpenOptionsFree(options);
        std::free(band);
    }
};

int Open(Tiff& tiff, SpiSource& input) {
    static const unsigned char kMarks[][4] = {
        {'I', 'I', 42, 0}, {'M', 'M', 0, 42}, {'I', 'I', 43, 0}, {'M', 'M', 0, 43}};
    bool known = false;
    for (const auto& mark : kMarks) known = known || input.StartsWith(mark, sizeof mark);
    if (!known)
        return input.Failed() ? SPI_READ_ERROR : SPI_UNKNOWN_FORMAT;
    tiff.options = TIFFOpenOptionsAlloc();
    if (!tiff.options)
        return SPI_NO_MEMORY;
    TIFFOpenOptionsSetMaxSingleMemAlloc(tiff.options, kLibraryMemory);
    TIFFOpenOptionsSetErrorHandlerExtR(tiff.options, Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(tiff.options, Silent, nullptr);
    // "m": read through the procedures, never by mapping the file.
    tiff.file = TIFFClientOpenExt("picture", "rm", &input, ReadProc, WriteProc, SeekProc, CloseProc,
                                  SizeProc, MapProc, UnmapProc, tiff.options);
    return tiff.file ? SPI_OK : (input.Failed() ? SPI_READ_ERROR : SPI_BROKEN_DATA);
}

// 1, 4 or 8 bits of one sample, in strips, with a colour table we can give.
bool IsIndexed(TIFF* file, uint16_t bits, uint16_t samples, uint16_t photometric) {
    if (samples != 1 || TIFFIsTiled(file) || (bits != 1 && bits != 4 && bits != 8))
        return false;
    return photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK ||
           photometric == PHOTOMETRIC_PALETTE;
}

int ReadIndexed(Tiff& tiff,
                SpiBitmap& bitmap,
                uint32_t width,
                uint32_t height,
                uint16_t bits,
                uint16_t photometric) {
    const int colours = 1 << bits;
    if (const int made =
            bitmap.Create(static_cast<int32_t>(width), static_cast<int32_t>(height), bits, colours);
        made != SPI_OK)
        return made;
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(tiff.file, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green ||
            !blue)
            return SPI_BROKEN_DATA;
        // Colour maps hold 16-bit values; some old writers put 8-bit ones there instead.
        bool eightBit = true;
        for (int i = 0; i < colours; ++i)
            eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
        const int shift = eightBit ? 0 : 8;
        for (int i = 0; i < colours; ++i)
            bitmap.SetColour(i, static_cast<uint8_t>(red[i] >> shift),
                             static_cast<uint8_t>(green[i] >> shift),
                             static_cast<uint8_t>(blue[i] >> shift));
    } else {
        bitmap.SetGreys(colours, photometric == PHOTOMETRIC_MINISWHITE);
    }
    const tmsize_t rowBytes = TIFFScanlineSize(tiff.file);
    if (rowBytes <= 0 || static_cast<size_t>(rowBytes) > bitmap.Stride())
        return SPI_BROKEN_DATA;
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff.file, bitmap.Row(static_cast<int32_t>(y)), y, 0) < 0)
            return SPI_BROKEN_DATA;
    }
    return SPI_OK;
}

int ReadRgba(Tiff& tiff, SpiBitmap& bitmap, uint32_t width, uint32_t height) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tiff.file, message))
        return SPI_UNKNOWN_FORMAT;
    if (const int made =
            bitmap.Create(static_cast<int32_t>(width), static_cast<int32_t>(height), 24, 0);
        made != SPI_OK)
        return made;
    // Bands of whole strips or tiles, so that no strip is decoded twice.
    uint32_t unit = 0;
    if (TIFFIsTiled(tiff.file))
        TIFFGetField(tiff.file, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff.file, TIFFTAG_ROWSPERSTRIP, &unit);
    if (unit == 0 || unit > height)
        unit = height;
    int64_t units = kBandPixels / (int64_t{width} * unit);
    if (units < 1)
        units = 1;
    const uint32_t band =
        static_cast<uint32_t>(units * unit < int64_t{height} ? units * unit : height);
    tiff.band = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * width * size_t{band}));
    if (!tiff.band)
        return SPI_NO_MEMORY;

    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tiff.file, 0, message))
        return SPI_BROKEN_DATA;
    // The file's own row order: band rows land top-down, as stored.
    image.req_orientation = image.orientation;
    int result = SPI_OK;
    for (uint32_t top = 0; top < height && result == SPI_OK; top += band) {
        const uint32_t rows = height - top < band ? height - top : band;
        image.row_offset = static_cast<int>(top);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, tiff.band, width, rows)) {
            result = SPI_BROKEN_DATA;
            break;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t* in = tiff.band + size_t{r} * width;
            unsigned char* out = bitmap.Row(static_cast<int32_t>(top + r));
            for (uint32_t x = 0; x < width; ++x) {
                out[3 * x] = static_cast<unsigned char>(TIFFGetB(in[x]));
                out[3 * x + 1] = static_cast<unsigned char>(TIFFGetG(in[x]));
                out[3 * x + 2] = static_cast<unsigned char>(TIFFGetR(in[x]));
            }
        }
    }
    TIFFRGBAImageEnd(&image);
    return result;
}

int Decode(const char* name, long offset, unsigned flag, void** info, void** bits) noexcept {
    SpiSource input;
    if (const int opened = OpenForPicture(input, name, offset, flag, info, bits); opened != SPI_OK)
        return opened;
    Tiff tiff;
    if (const int opened = Open(tiff, input); opened != SPI_OK)
        return opened;
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samples = 1, photometric = 0xFFFF;
    if (!TIFFGetField(tiff.file, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.file, TIFFTAG_IMAGELENGTH, &height))
        return SPI_BROKEN_DATA;
    if (const int size = CheckSize(width, height); size != SPI_OK)
        return size;
    TIFFGetFieldDefaulted(tiff.file, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff.file, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff.file, TIFFTAG_PHOTOMETRIC, &photometric);
    SpiBitmap bitmap;
    const int result = IsIndexed(tiff.file, bitsPerSample, samples, photometric)
                           ? ReadIndexed(tiff, bitmap, width, height, bitsPerSample, photometric)
                           : ReadRgba(tiff, bitmap, width, height);
    if (result != SPI_OK)
        return input.Failed() ? SPI_READ_ERROR : result;
    bitmap.Release(info, bits);
    return SPI_OK;
}

}  // namespace
}  // namespace pelorin::spi

using namespace pelorin::spi;

SPI_EXPORT int GetPictureInfo(const char* name, long offset, unsigned flag, SpiPictureInfo* info) {
    SpiSource input;
    if (const int opened = OpenForInfo(input, name, offset, flag, info); opened != SPI_OK)
        return opened;
    Tiff tiff;
    if (const int opened = Open(tiff, input); opened != SPI_OK)
        return opened;
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samples = 1;
    if (!TIFFGetField(tiff.file, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.file, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0 ||
        width > INT32_MAX || height > INT32_MAX)
        return SPI_BROKEN_DATA;
    TIFFGetFieldDefaulted(tiff.file, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff.file, TIFFTAG_SAMPLESPERPIXEL, &samples);
    info->width = static_cast<int32_t>(width);
    info->height = static_cast<int32_t>(height);
    info->hDensity = info->vDensity = 1;
    info->colorDepth = static_cast<int16_t>(bitsPerSample * samples);
    return SPI_OK;
}

SPI_EXPORT int GetPicture(
    const char* name, long offset, unsigned flag, void** info, void** bits, SpiProgress, long) {
    return Decode(name, offset, flag, info, bits);
}

SPI_EXPORT int GetPreview(
    const char* name, long offset, unsigned flag, void** info, void** bits, SpiProgress, long) {
    return Decode(name, offset, flag, info, bits);
}
