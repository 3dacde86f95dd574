// What every plug-in does with input that is not a picture: random bytes, random bytes behind
// its format's signature, an empty file, a missing file, a folder, null output pointers, the
// memory form with a null pointer. The answer is a result code and no blocks, never a crash.
// Each library exports its three entry points and nothing else.
#include "plugins/picture_files.h"
#include "support/testing.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace pelorin::testing {
namespace {

struct Case {
    const char* name;
    const char* plugin;
    const char* signature;
    size_t signatureSize;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.plugin;
}

class Hostile : public ::testing::TestWithParam<Case> {
protected:
    TempDir dir;
};

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes;
    for (size_t i = 0; i < n; ++i) bytes += static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST_P(Hostile, NonsenseGivesACodeAndNoBlocks) {
    const Plugin plugin(GetParam().plugin);
    ASSERT_TRUE(plugin.Loaded());
    EXPECT_EQ(plugin.Symbol("_ZN7pelorin3spi9SpiSource4ReadEPvm"), nullptr);
    EXPECT_EQ(plugin.Symbol("CheckSize"), nullptr);

    WriteFile(dir / "random", RandomBytes(4096, 1));
    Decoded d = plugin.Picture(dir / "random");
    EXPECT_EQ(d.result, SPI_UNKNOWN_FORMAT);
    EXPECT_TRUE(d.nullBlocks);
    SpiPictureInfo info{};
    EXPECT_EQ(plugin.Info(dir / "random", 0, &info), SPI_UNKNOWN_FORMAT);

    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const std::string bytes =
            std::string(GetParam().signature, GetParam().signatureSize) + RandomBytes(2000, seed);
        d = plugin.PictureInMemory(bytes);
        EXPECT_TRUE(d.result == SPI_BROKEN_DATA || d.result == SPI_NO_MEMORY ||
                    d.result == SPI_UNKNOWN_FORMAT)
            << d.result << " seed " << seed;
        EXPECT_TRUE(d.nullBlocks);
    }

    WriteFile(dir / "empty", "");
    EXPECT_EQ(plugin.Picture(dir / "empty").result, SPI_UNKNOWN_FORMAT);
    EXPECT_EQ(plugin.Picture(dir / "missing").result, SPI_READ_ERROR);
    EXPECT_EQ(plugin.Picture(dir.path()).result, SPI_READ_ERROR);
    // A FIFO with no writer is refused at once, never waited for.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(plugin.Picture(dir / "fifo").result, SPI_READ_ERROR);
    EXPECT_EQ(plugin.Info(dir / "missing", 0, &info), SPI_READ_ERROR);
}

TEST_P(Hostile, BadArgumentsAreRefused) {
    const Plugin plugin(GetParam().plugin);
    ASSERT_TRUE(plugin.Loaded());
    auto* getPicture = reinterpret_cast<SpiGetPicture>(plugin.Symbol("GetPicture"));
    auto* getInfo = reinterpret_cast<SpiGetPictureInfo>(plugin.Symbol("GetPictureInfo"));
    void* bits = nullptr;
    EXPECT_EQ(getPicture("x", 0, 0, nullptr, &bits, nullptr, 0), SPI_MEMORY_ERROR);
    EXPECT_EQ(getInfo("x", 0, 0, nullptr), SPI_MEMORY_ERROR);
    void* info = nullptr;
    EXPECT_EQ(getPicture(nullptr, 10, SPI_INPUT_MEMORY, &info, &bits, nullptr, 0),
              SPI_MEMORY_ERROR);
    EXPECT_EQ(getPicture(nullptr, 0, SPI_INPUT_FILE, &info, &bits, nullptr, 0), SPI_READ_ERROR);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(bits, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Plugins,
                         Hostile,
                         ::testing::Values(Case{"jpeg", "ifjpeg.spi", "\xFF\xD8\xFF\xE0", 4},
                                           Case{"gif", "ifgif.spi", "GIF89a", 6},
                                           Case{"tiff", "iftiff.spi", "II*\0\x08\0\0\0", 8}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelorin::testing
