// ifjpeg.spi through its entry points: a 24-bit and a greyscale picture (size, depth, colour
// table, the four quadrants' colours, rows bottom-up), the quarter-size preview with its sizes
// rounded up, a picture behind a 128-byte prefix (the offset argument), the memory input form,
// a header that claims more than the size limit, and data that ends early.
#include "plugins/picture_files.h"
#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin::testing {
namespace {

class JpegPlugin : public ::testing::Test {
protected:
    TempDir dir;
    Plugin plugin{"ifjpeg.spi"};
    std::filesystem::path Write(const char* name, const std::string& bytes) {
        WriteFile(dir / name, bytes);
        return dir / name;
    }
};

void ExpectQuadrants(const Decoded& d, int width, int height) {
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.width, width);
    EXPECT_EQ(d.height, height);
    EXPECT_TRUE(Near(d.Colour(1, 1), 0xFF0000)) << std::hex << d.Colour(1, 1);
    EXPECT_TRUE(Near(d.Colour(width - 2, 1), 0x0000FF)) << std::hex << d.Colour(width - 2, 1);
    EXPECT_TRUE(Near(d.Colour(1, height - 2), 0x00FF00)) << std::hex << d.Colour(1, height - 2);
    EXPECT_TRUE(Near(d.Colour(width - 2, height - 2), 0xFFFFFF));
}

TEST_F(JpegPlugin, ColourPictureIn24Bits) {
    ASSERT_TRUE(plugin.Loaded());
    const auto file = Write("a.jpg", EncodeJpeg(Quadrants(66, 34), 95));
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(file, 0, &info), 0);
    EXPECT_EQ(info.width, 66);
    EXPECT_EQ(info.height, 34);
    EXPECT_EQ(info.colorDepth, 24);
    EXPECT_EQ(info.hDensity, 1);
    EXPECT_EQ(info.vDensity, 1);
    EXPECT_EQ(info.info, nullptr);

    const Decoded d = plugin.Picture(file);
    EXPECT_EQ(d.bitCount, 24);
    EXPECT_EQ(d.clrUsed, 0u);
    ExpectQuadrants(d, 66, 34);
    EXPECT_EQ(d.bits.size(), d.Stride() * 34);
    EXPECT_EQ(d.Stride() % 4, 0u);

    // The preview: a quarter of each side, rounded up.
    const Decoded p = plugin.Preview(file);
    EXPECT_EQ(p.bitCount, 24);
    ExpectQuadrants(p, 17, 9);
}

TEST_F(JpegPlugin, GreyPictureIn8BitsWithGreyTable) {
    const auto file = Write("g.jpg", EncodeJpeg(Quadrants(40, 20), 95, true));
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(file, 0, &info), 0);
    EXPECT_EQ(info.colorDepth, 8);
    const Decoded d = plugin.Picture(file);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.bitCount, 8);
    ASSERT_EQ(d.colours.size(), 256u);
    EXPECT_EQ(d.colours[0], 0x000000u);
    EXPECT_EQ(d.colours[128], 0x808080u);
    EXPECT_EQ(d.colours[255], 0xFFFFFFu);
    EXPECT_NEAR(d.Index(1, 1), 76, 8);     // red's grey
    EXPECT_NEAR(d.Index(38, 18), 255, 8);  // white
}

TEST_F(JpegPlugin, OffsetSkipsAPrefixAndMemoryFormReadsBytes) {
    const std::string jpeg = EncodeJpeg(Quadrants(32, 16), 90);
    const auto file = Write("p.jpg", std::string(128, 'x') + jpeg);
    SpiPictureInfo info{};
    EXPECT_EQ(plugin.Info(file, 0, &info), SPI_UNKNOWN_FORMAT);
    EXPECT_EQ(plugin.Picture(file, 0).result, SPI_UNKNOWN_FORMAT);
    ASSERT_EQ(plugin.Info(file, 128, &info), 0);
    EXPECT_EQ(info.width, 32);
    ExpectQuadrants(plugin.Picture(file, 128), 32, 16);
    ExpectQuadrants(plugin.Preview(file, 128), 8, 4);
    // An offset past the end, or before the start, is a read error.
    EXPECT_EQ(plugin.Picture(file, 100000).result, SPI_READ_ERROR);
    EXPECT_EQ(plugin.Picture(file, -1).result, SPI_READ_ERROR);

    ExpectQuadrants(plugin.PictureInMemory(jpeg), 32, 16);
}

TEST_F(JpegPlugin, HugeAndTruncatedPicturesFailCleanly) {
    std::string jpeg = EncodeJpeg(Quadrants(32, 16), 90);
    // The SOF0 marker's height and width: claim 20000 x 20000.
    const size_t sof = jpeg.find("\xFF\xC0", 2, 2);
    ASSERT_NE(sof, std::string::npos);
    std::string huge = jpeg;
    huge[sof + 5] = huge[sof + 7] = static_cast<char>(20000 >> 8);
    huge[sof + 6] = huge[sof + 8] = static_cast<char>(20000 & 0xFF);
    const auto hugeFile = Write("huge.jpg", huge);
    SpiPictureInfo info{};
    ASSERT_EQ(plugin.Info(hugeFile, 0, &info), 0);  // the size is reported ...
    EXPECT_EQ(info.width, 20000);
    const Decoded d = plugin.Picture(hugeFile);  // ... but never decoded
    EXPECT_EQ(d.result, SPI_NO_MEMORY);
    EXPECT_TRUE(d.nullBlocks);

    const Decoded cut = plugin.Picture(Write("cut.jpg", jpeg.substr(0, jpeg.size() / 2)));
    EXPECT_EQ(cut.result, SPI_BROKEN_DATA);
    EXPECT_TRUE(cut.nullBlocks);
    EXPECT_EQ(plugin.Picture(Write("head.jpg", jpeg.substr(0, 40))).result, SPI_BROKEN_DATA);
    EXPECT_EQ(plugin.Info(Write("soi.jpg", "\xFF\xD8"), 0, &info), SPI_BROKEN_DATA);
}

}  // namespace
}  // namespace pelorin::testing
