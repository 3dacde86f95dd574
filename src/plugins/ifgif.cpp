// ifgif.spi: GIF pictures through giflib.
//
// The picture is the first image of the file on its logical screen: an 8-bit picture of the
// screen's size (or, when the screen claims no size, of the image's extent) filled with the
// background colour, the first image drawn at its place (interlaced rows put in order, pixels
// of the transparent colour left showing the background, anything outside the screen cut
// off). The colour table is the image's own, else the file's, else 256 greys. Later images of
// an animation are not read. GetPreview returns the same picture (the program asks for
// previews of JPEG pictures only). GetPictureInfo gives the picture's size, the colour table's
// bits as depth, square pixels and no text.
//
// Bad input: a file not starting with "GIF8" is an unknown format (2). giflib reports every
// fault as an error code, never by ending the program: a file that ends early or holds broken
// LZW data or records is broken data (3), giflib's allocation failures 4, a file without an
// image 3. A screen or image over the size limit gives 4 before any pixel row is allocated.
#include "plugins/spi_bitmap.h"
#include "plugins/spi_entry.h"
#include "plugins/spi_source.h"

#include <cstdlib>
#include <cstring>
#include <gif_lib.h>

namespace pelorin::spi {
namespace {

int ReadInput(GifFileType* gif, GifByteType* buffer, int n) {
    if (n <= 0)
        return 0;
    return static_cast<int>(
        static_cast<SpiSource*>(gif->UserData)->Read(buffer, static_cast<size_t>(n)));
}

int ResultOf(int gifError) {
    switch (gifError) {
        case D_GIF_ERR_NOT_GIF_FILE:
            return SPI_UNKNOWN_FORMAT;
        case D_GIF_ERR_NOT_ENOUGH_MEM:
            return SPI_NO_MEMORY;
        default:
            return SPI_BROKEN_DATA;
    }
}

// An open GIF decoder, closed when this goes.
struct Gif {
    GifFileType* file = nullptr;
    unsigned char* line = nullptr;  // one row of the image, malloc'ed
    ~Gif() {
        if (file) {
            int error = 0;
            DGifCloseFile(file, &error);
        }
        std::free(line);
    }
};

// Opens the decoder and reads up to the first image's descriptor. `transparent` is the
// transparent colour of that image, or -1.
int OpenFirstImage(Gif& gif, SpiSource& input, int* transparent) {
    if (!input.StartsWith("GIF8", 4))
        return input.Failed() ? SPI_READ_ERROR : SPI_UNKNOWN_FORMAT;
    int error = 0;
    gif.file = DGifOpen(&input, ReadInput, &error);
    if (!gif.file)
        return ResultOf(error);
    *transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.file, &type) == GIF_ERROR)
            return ResultOf(gif.file->Error);
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.file) == GIF_ERROR)
                return ResultOf(gif.file->Error);
            return SPI_OK;
        }
        if (type == TERMINATE_RECORD_TYPE)
            return SPI_BROKEN_DATA;  // no image at all
        if (type != EXTENSION_RECORD_TYPE)
            return SPI_BROKEN_DATA;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif.file, &code, &block) == GIF_ERROR)
            return ResultOf(gif.file->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                *transparent = control.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif.file, &block) == GIF_ERROR)
                return ResultOf(gif.file->Error);
        }
    }
}

// The picture's size: the logical screen, or the image's extent when the screen has none.
void PictureSize(const GifFileType* file, int32_t* width, int32_t* height) {
    *width = file->SWidth;
    *height = file->SHeight;
    if (*width <= 0 || *height <= 0) {
        *width = file->Image.Left + file->Image.Width;
        *height = file->Image.Top + file->Image.Height;
    }
}

int Decode(const char* name, long offset, unsigned flag, void** info, void** bits) noexcept {
    SpiSource input;
    if (const int opened = OpenForPicture(input, name, offset, flag, info, bits); opened != SPI_OK)
        return opened;
    Gif gif;
    int transparent = NO_TRANSPARENT_COLOR;
    if (const int found = OpenFirstImage(gif, input, &transparent); found != SPI_OK)
        return input.Failed() ? SPI_READ_ERROR : found;
    const GifImageDesc& image = gif.file->Image;
    int32_t width = 0, height = 0;
    PictureSize(gif.file, &width, &height);
    if (const int size = CheckSize(image.Width, image.Height); size != SPI_OK)
        return size;
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif.file->SColorMap;
    const int colours = map && map->ColorCount > 0 && map->ColorCount <= 256 ? map->ColorCount : 0;
    SpiBitmap bitmap;
    if (const int made = bitmap.Create(width, height, 8, colours ? colours : 256); made != SPI_OK)
        return made;
    if (colours) {
        for (int i = 0; i < colours; ++i)
            bitmap.SetColour(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    } else {
        bitmap.SetGreys(256, false);
    }
    const int background = gif.file->SColorMap && gif.file->SBackGroundColor < colours
                               ? gif.file->SBackGroundColor
                               : 0;
    for (int32_t y = 0; y < height; ++y)
        std::memset(bitmap.Row(y), background, static_cast<size_t>(width));

    gif.line = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(image.Width)));
    if (!gif.line)
        return SPI_NO_MEMORY;
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from
    // 2, every 2nd from 1.
    static const int kStart[] = {0, 4, 2, 1};
    static const int kStep[] = {8, 8, 4, 2};
    const int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = image.Interlace ? kStart[pass] : 0;
        const int step = image.Interlace ? kStep[pass] : 1;
        for (int row = start; row < image.Height; row += step) {
            if (DGifGetLine(gif.file, gif.line, image.Width) == GIF_ERROR)
                return input.Failed() ? SPI_READ_ERROR : ResultOf(gif.file->Error);
            const int64_t y = int64_t{image.Top} + row;
            if (y < 0 || y >= height)
                continue;
            unsigned char* out = bitmap.Row(static_cast<int32_t>(y));
            for (int x = 0; x < image.Width; ++x) {
                const int64_t to = int64_t{image.Left} + x;
                if (to < 0 || to >= width || gif.line[x] == transparent)
                    continue;
                out[to] = gif.line[x];
            }
        }
    }
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
    Gif gif;
    int transparent = NO_TRANSPARENT_COLOR;
    if (const int found = OpenFirstImage(gif, input, &transparent); found != SPI_OK)
        return input.Failed() ? SPI_READ_ERROR : found;
    int32_t width = 0, height = 0;
    PictureSize(gif.file, &width, &height);
    if (width <= 0 || height <= 0)
        return SPI_BROKEN_DATA;  // neither the screen nor the image has a size
    info->width = width;
    info->height = height;
    info->hDensity = info->vDensity = 1;
    const ColorMapObject* map =
        gif.file->Image.ColorMap ? gif.file->Image.ColorMap : gif.file->SColorMap;
    info->colorDepth = static_cast<int16_t>(map ? map->BitsPerPixel : 8);
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
