// ifgif.spi through its entry points: an 8-bit palette picture (size, depth, the whole colour
// table, pixel indices, rows bottom-up), the same picture interlaced, a picture behind a
// 128-byte prefix, a screen that claims more than the size limit, and data that ends early.
#include "plugins/picture_files.h"
#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin::testing {
namespace {

constexpr int kW = 37, kH = 21;

std::vector<uint32_t> Palette() {
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < 256; ++i) colours.push_back(i << 16 | (255 - i) << 8 | (i * 7 & 0xFF));
    return colours;
}

std::vector<uint8_t> Indices() {
    std::vector<uint8_t> indices;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) indices.push_back(static_cast<uint8_t>(x * 5 + y * 11));
    return indices;
}

class GifPlugin : public ::testing::Test {
protected:
    TempDir dir;
    Plugin plugin{"ifgif.spi"};
    std::filesystem::path Write(const char* name, const std::string& bytes) {
        WriteFile(dir / name, bytes);
        return dir / name;
    }
    void ExpectPicture(const Decoded& d) {
        ASSERT_EQ(d.result, 0);
        EXPECT_EQ(d.width, kW);
        EXPECT_EQ(d.height, kH);
        EXPECT_EQ(d.bitCount, 8);
        EXPECT_EQ(d.clrUsed, 256u);
        EXPECT_EQ(d.colours, Palette());
        const std::vector<uint8_t> indices = Indices();
        for (const auto& [x, y] :
             {std::pair{0, 0}, {kW - 1, 0}, {0, kH - 1}, {13, 17}, {kW - 1, kH - 1}})
            EXPECT_EQ(d.Index(x, y), indices[static_cast<size_t>(y * kW + x)]) << x << "," << y;
    }
};

TEST_F(GifPlugin, PalettePictureIn8Bits) {
    ASSERT_TRUE(plugin.Loaded());
    const auto file = Write("a.gif", EncodeGif(kW, kH, Indices(), Palette()));
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(file, 0, &info), 0);
    EXPECT_EQ(info.width, kW);
    EXPECT_EQ(info.height, kH);
    EXPECT_EQ(info.colorDepth, 8);
    ExpectPicture(plugin.Picture(file));
    ExpectPicture(plugin.Preview(file));
    ExpectPicture(plugin.Picture(Write("i.gif", EncodeGif(kW, kH, Indices(), Palette(), true))));
}

TEST_F(GifPlugin, OffsetSkipsAPrefix) {
    const std::string gif = EncodeGif(kW, kH, Indices(), Palette());
    const auto file = Write("p.gif", std::string(128, '\0') + gif);
    EXPECT_EQ(plugin.Picture(file, 0).result, SPI_UNKNOWN_FORMAT);
    ExpectPicture(plugin.Picture(file, 128));
    ExpectPicture(plugin.PictureInMemory(gif));
}

TEST_F(GifPlugin, HugeScreenAndTruncatedDataFailCleanly) {
    const auto huge =
        Write("huge.gif", EncodeGif(kW, kH, Indices(), Palette(), false, 65535, 65535));
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(huge, 0, &info), 0);
    EXPECT_EQ(info.width, 65535);
    const Decoded d = plugin.Picture(huge);
    EXPECT_EQ(d.result, SPI_NO_MEMORY);
    EXPECT_TRUE(d.nullBlocks);

    const std::string gif = EncodeGif(kW, kH, Indices(), Palette());
    const Decoded cut = plugin.Picture(Write("cut.gif", gif.substr(0, gif.size() - 60)));
    EXPECT_EQ(cut.result, SPI_BROKEN_DATA);
    EXPECT_TRUE(cut.nullBlocks);
    // A header and screen with no image after them.
    EXPECT_EQ(plugin.Picture(Write("noimage.gif", gif.substr(0, 13 + 768) + ";")).result,
              SPI_BROKEN_DATA);
}

}  // namespace
}  // namespace pelorin::testing
