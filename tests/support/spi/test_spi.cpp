// A picture plug-in for tests only, built as several .spi files (tests/CMakeLists.txt): it
// decodes whatever Qt's readers decode, at the offset it is given, and answers with the blocks
// of picture_plugin.h. TEST_SPI_VDENSITY sets the vertical density GetPictureInfo reports
// (a PIC picture with pixels twice as tall as wide); TEST_SPI_ONLY_INFO builds a plug-in that
// exports GetPictureInfo alone.
#include "view/picture_plugin.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdlib>
#include <cstring>

#ifndef TEST_SPI_VDENSITY
#define TEST_SPI_VDENSITY 1
#endif

namespace {

bool ReadAt(const char* name, long offset, QByteArray* data) {
    QFile file(QFile::decodeName(name));
    if (!file.open(QIODevice::ReadOnly) || offset < 0 || !file.seek(offset))
        return false;
    *data = file.readAll();
    return true;
}

int Decode(const char* name, long offset, QImage* image) {
    QByteArray data;
    if (!ReadAt(name, offset, &data))
        return SPI_READ_ERROR;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return SPI_UNKNOWN_FORMAT;
    if (!reader.read(image))
        return SPI_BROKEN_DATA;
    return SPI_OK;
}

void Put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// 8-bit pictures with their colour table, everything else as 24 bits; rows bottom-up.
[[maybe_unused]] int Blocks(const QImage& source, void** info, void** bits) {
    const bool indexed = source.format() == QImage::Format_Indexed8;
    const QImage image = indexed ? source : source.convertToFormat(QImage::Format_RGB32);
    const int bitCount = indexed ? 8 : 24;
    const int colours = indexed ? static_cast<int>(image.colorCount()) : 0;
    const size_t stride = ((static_cast<size_t>(image.width()) * bitCount + 31) / 32) * 4;
    auto* header =
        static_cast<unsigned char*>(std::calloc(1, 40 + 4 * static_cast<size_t>(colours)));
    auto* pixels =
        static_cast<unsigned char*>(std::calloc(stride, static_cast<size_t>(image.height())));
    if (!header || !pixels) {
        std::free(header);
        std::free(pixels);
        return SPI_NO_MEMORY;
    }
    Put32(header, 40);
    Put32(header + 4, static_cast<uint32_t>(image.width()));
    Put32(header + 8, static_cast<uint32_t>(image.height()));
    header[12] = 1;
    header[14] = static_cast<unsigned char>(bitCount);
    Put32(header + 32, static_cast<uint32_t>(colours));
    for (int i = 0; i < colours; ++i) {
        const QRgb c = image.color(i);
        header[40 + 4 * i] = static_cast<unsigned char>(qBlue(c));
        header[41 + 4 * i] = static_cast<unsigned char>(qGreen(c));
        header[42 + 4 * i] = static_cast<unsigned char>(qRed(c));
    }
    for (int y = 0; y < image.height(); ++y) {
        unsigned char* row = pixels + stride * static_cast<size_t>(image.height() - 1 - y);
        const uchar* in = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (indexed) {
                row[x] = in[x];
            } else {
                const QRgb c = reinterpret_cast<const QRgb*>(in)[x];
                row[3 * x] = static_cast<unsigned char>(qBlue(c));
                row[3 * x + 1] = static_cast<unsigned char>(qGreen(c));
                row[3 * x + 2] = static_cast<unsigned char>(qRed(c));
            }
        }
    }
    *info = header;
    *bits = pixels;
    return SPI_OK;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int GetPictureInfo(const char* name,
                                                          long offset,
                                                          unsigned,
                                                          SpiPictureInfo* info) {
    QImage image;
    const int result = Decode(name, offset, &image);
    if (result != SPI_OK)
        return result;
    *info = SpiPictureInfo{};
    info->width = image.width();
    info->height = image.height();
    info->hDensity = 1;
    info->vDensity = TEST_SPI_VDENSITY;
    info->colorDepth = static_cast<int16_t>(image.depth());
    info->info = strdup("test plug-in");
    return SPI_OK;
}

#ifndef TEST_SPI_ONLY_INFO
__attribute__((visibility("default"))) int GetPicture(
    const char* name, long offset, unsigned, void** info, void** bits, SpiProgress, long) {
    *info = *bits = nullptr;
    QImage image;
    const int result = Decode(name, offset, &image);
    return result != SPI_OK ? result : Blocks(image, info, bits);
}

__attribute__((visibility("default"))) int GetPreview(
    const char* name, long offset, unsigned, void** info, void** bits, SpiProgress, long) {
    *info = *bits = nullptr;
    QImage image;
    const int result = Decode(name, offset, &image);
    if (result != SPI_OK)
        return result;
    return Blocks(image.scaled((image.width() + 3) / 4, (image.height() + 3) / 4), info, bits);
}
#endif
}
