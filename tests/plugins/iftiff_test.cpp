// iftiff.spi through its entry points: 1-bit (white is zero), 8-bit palette and 24-bit (LZW)
// pictures with their depth, colour table and pixels, rows bottom-up; a picture behind a
// 128-byte prefix; a header that claims more than the size limit; and data that ends early.
#include "plugins/picture_files.h"
#include "support/testing.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace pelorin::testing {
namespace {

class TiffPlugin : public ::testing::Test {
protected:
    TempDir dir;
    Plugin plugin{"iftiff.spi"};
};

TEST_F(TiffPlugin, OneBitPictureKeepsItsBits) {
    ASSERT_TRUE(plugin.Loaded());
    // 37 x 5: black where x + y is divisible by 3 (white is zero).
    const int w = 37, h = 5;
    std::vector<uint8_t> rows(static_cast<size_t>((w + 7) / 8 * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 3 == 0)
                rows[static_cast<size_t>(y * ((w + 7) / 8) + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    WriteTiff(dir / "a.tif", w, h, 1, 1, PHOTOMETRIC_MINISWHITE, rows, {}, COMPRESSION_CCITTFAX4);
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(dir / "a.tif", 0, &info), 0);
    EXPECT_EQ(info.width, w);
    EXPECT_EQ(info.colorDepth, 1);
    const Decoded d = plugin.Picture(dir / "a.tif");
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_EQ(d.bitCount, 1);
    EXPECT_EQ(d.colours, (std::vector<uint32_t>{0xFFFFFF, 0x000000}));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(d.Index(x, y), (x + y) % 3 == 0 ? 1 : 0) << x << "," << y;
}

TEST_F(TiffPlugin, PalettePictureIn8Bits) {
    const int w = 19, h = 7;
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < 256; ++i) colours.push_back((255 - i) << 16 | i << 8 | 0x40);
    std::vector<uint8_t> rows;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rows.push_back(static_cast<uint8_t>(x * 13 + y));
    WriteTiff(dir / "p.tif", w, h, 8, 1, PHOTOMETRIC_PALETTE, rows, colours, COMPRESSION_LZW);
    const Decoded d = plugin.Picture(dir / "p.tif");
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.bitCount, 8);
    EXPECT_EQ(d.colours, colours);
    EXPECT_EQ(d.Index(0, 0), 0);
    EXPECT_EQ(d.Index(18, 0), 18 * 13 % 256);
    EXPECT_EQ(d.Index(5, 6), 5 * 13 + 6);
}

TEST_F(TiffPlugin, RgbPictureIn24BitsAndBehindAPrefix) {
    const Rgb image = Quadrants(30, 10);
    std::vector<uint8_t> rows;
    for (const uint32_t c : image.pixels) {
        rows.push_back(static_cast<uint8_t>(c >> 16));
        rows.push_back(static_cast<uint8_t>(c >> 8));
        rows.push_back(static_cast<uint8_t>(c));
    }
    WriteTiff(dir / "c.tif", 30, 10, 8, 3, PHOTOMETRIC_RGB, rows, {}, COMPRESSION_LZW);
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(dir / "c.tif", 0, &info), 0);
    EXPECT_EQ(info.colorDepth, 24);
    const Decoded d = plugin.Picture(dir / "c.tif");
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.bitCount, 24);
    EXPECT_EQ(d.clrUsed, 0u);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(d.Colour(x, y), image.At(x, y)) << x << "," << y;

    const std::string tiff = ReadFile(dir / "c.tif");
    WriteFile(dir / "p.tif", std::string(128, 'M') + tiff);
    EXPECT_EQ(plugin.Picture(dir / "p.tif", 0).result, SPI_UNKNOWN_FORMAT);
    EXPECT_EQ(plugin.Picture(dir / "p.tif", 128).Colour(29, 9), 0xFFFFFFu);
    EXPECT_EQ(plugin.PictureInMemory(tiff).Colour(0, 0), 0xFF0000u);
}

TEST_F(TiffPlugin, HugeAndTruncatedPicturesFailCleanly) {
    WriteFile(dir / "huge.tif", TiffHeader(100000, 100000, 64));
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(dir / "huge.tif", 0, &info), 0);
    EXPECT_EQ(info.width, 100000);
    const Decoded d = plugin.Picture(dir / "huge.tif");
    EXPECT_EQ(d.result, SPI_NO_MEMORY);
    EXPECT_TRUE(d.nullBlocks);

    // The hand-made header itself decodes: 8 x 8 of grey 0.
    WriteFile(dir / "small.tif", TiffHeader(8, 8, 64));
    const Decoded small = plugin.Picture(dir / "small.tif");
    ASSERT_EQ(small.result, 0);
    EXPECT_EQ(small.Colour(7, 7), 0x000000u);
    // The same with its pixel data cut short.
    const std::string cut = TiffHeader(8, 8, 64);
    WriteFile(dir / "cut.tif", cut.substr(0, cut.size() - 40));
    const Decoded c = plugin.Picture(dir / "cut.tif");
    EXPECT_EQ(c.result, SPI_BROKEN_DATA);
    EXPECT_TRUE(c.nullBlocks);
    // A directory that is cut off.
    WriteFile(dir / "dir.tif", cut.substr(0, 30));
    EXPECT_EQ(plugin.Picture(dir / "dir.tif").result, SPI_BROKEN_DATA);
}

}  // namespace
}  // namespace pelorin::testing
