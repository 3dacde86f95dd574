// The image plug-in interface: what a picture plug-in library (a shared library named
// "if<label>.spi") exports and what the picture control (tall.h) expects of it.
//
// Three entry points with C linkage, looked up by name:
//
//   int GetPictureInfo(const char* name, long offset, unsigned flag, SpiPictureInfo* info);
//   int GetPicture(const char* name, long offset, unsigned flag, void** info, void** bits,
//                  SpiProgress progress, long data);
//   int GetPreview(same as GetPicture);   // a reduced picture (JPEG: a quarter of each side)
//
// `name` is the picture file's path (bytes as the file system holds them), `offset` where the
// picture starts in it (0, or 128 for files behind a 128-byte prefix), `flag` 0, `progress`
// always null and `data` 0. The low three bits of `flag` choose the input form: 0
// (SPI_INPUT_FILE) as above; 1 (SPI_INPUT_MEMORY) `name` points to the picture's bytes in
// memory and `offset` is their count. The program reads files; the memory form serves tests and
// fuzzing.
//
// Blocks: GetPicture and GetPreview return, on success, two blocks allocated with the C
// library's malloc, which the caller frees with free():
//   *info  a 40-byte bitmap-information header (little-endian, the layout of SpiBitmapHeader)
//          followed by its colour table (SpiBitmapHeader::clrUsed entries, or 2^bitCount when
//          that is 0 and bitCount <= 8; four bytes each: blue, green, red, 0);
//   *bits  the pixel rows, bottom-up when height > 0, each padded to a multiple of 4 bytes,
//          bitCount 1, 4, 8, 24 (blue, green, red) or 32 (blue, green, red, unused).
// SpiPictureInfo::info is a zero-terminated text allocated with malloc, or null; the caller
// frees it with free().
//
// Results: 0 success, 1 interrupted, 2 unknown format, 3 broken data, 4 memory cannot be
// allocated, 5 memory error, 6 file read error, anything else another error. On failure no
// block is returned (both pointers null). Pictures of more than SPI_MAX_PIXELS pixels are
// refused with 4 before their pixels are decoded, by the plug-ins built here and by the
// picture control alike.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Largest picture decoded: 64 megapixels (256 MiB at 32 bits per pixel).
#define SPI_MAX_PIXELS (64LL * 1024 * 1024)

// The input forms of `flag` (its low three bits).
#define SPI_INPUT_MASK 7u
#define SPI_INPUT_FILE 0u
#define SPI_INPUT_MEMORY 1u

enum SpiResult {
    SPI_OK = 0,
    SPI_INTERRUPTED = 1,
    SPI_UNKNOWN_FORMAT = 2,
    SPI_BROKEN_DATA = 3,
    SPI_NO_MEMORY = 4,
    SPI_MEMORY_ERROR = 5,
    SPI_READ_ERROR = 6,
};

// What GetPictureInfo fills in.
typedef struct SpiPictureInfo {
    int32_t left, top;      // where the picture sits on its original screen
    int32_t width, height;  // pixels
    uint16_t hDensity;      // horizontal pixel density (1 for square pixels)
    uint16_t vDensity;      // vertical pixel density
    int16_t colorDepth;     // bits per pixel of the original
    char* info;             // malloc'ed text or null; the caller frees it
} SpiPictureInfo;

// The 40-byte header at the start of the information block (little-endian fields).
typedef struct SpiBitmapHeader {
    uint32_t size;  // 40
    int32_t width;
    int32_t height;        // > 0: rows bottom-up; < 0: top-down
    uint16_t planes;       // 1
    uint16_t bitCount;     // 1, 4, 8, 24 or 32
    uint32_t compression;  // 0 (none); nothing else is accepted
    uint32_t sizeImage;    // bytes of the pixel block, or 0
    int32_t xPelsPerMeter, yPelsPerMeter;
    uint32_t clrUsed;  // colour-table entries; 0 = all 2^bitCount
    uint32_t clrImportant;
} SpiBitmapHeader;

typedef int (*SpiProgress)(int num, int denom, long data);
typedef int (*SpiGetPictureInfo)(const char* name,
                                 long offset,
                                 unsigned flag,
                                 SpiPictureInfo* info);
typedef int (*SpiGetPicture)(const char* name,
                             long offset,
                             unsigned flag,
                             void** info,
                             void** bits,
                             SpiProgress progress,
                             long data);

#ifdef __cplusplus
}
#endif
