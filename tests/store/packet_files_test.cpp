// Case-insensitive packet file lookup: another spelling on disk is found, the first in
// directory order wins, and a directory listing kept to answer many misses never hides a file
// that appears or goes later.
#include "store/packet_files.h"

#include "support/testing.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(PacketFiles, OtherSpellingsAreFoundAndChangesAreSeen) {
    TempDir dir;
    const std::string base = dir.path().string() + "/";
    WriteFile(dir / "areas", "x");
    EXPECT_EQ(FindPacketFile(base + "AREAS"), base + "areas");
    EXPECT_EQ(FindPacketFile(base + "0000001.PBX"), base + "0000001.PBX");  // none: as asked
    EXPECT_FALSE(PacketFileExists(base + "0000001.PBX"));

    // A directory untouched for an hour: its listing is kept between lookups ...
    const auto an_hour_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(dir.path(), an_hour_ago);
    EXPECT_FALSE(PacketFileExists(base + "0000001.PBX"));
    // ... and dropped as soon as a file comes or goes.
    WriteFile(dir / "0000001.pbx", "x");
    EXPECT_EQ(FindPacketFile(base + "0000001.PBX"), base + "0000001.pbx");
    std::filesystem::last_write_time(dir.path(), an_hour_ago);
    EXPECT_TRUE(PacketFileExists(base + "0000001.PBX"));
    std::filesystem::remove(dir / "0000001.pbx");
    EXPECT_FALSE(PacketFileExists(base + "0000001.PBX"));
    std::filesystem::rename(dir / "areas", dir / "Areas");
    EXPECT_EQ(FindPacketFile(base + "AREAS"), base + "Areas");
}

}  // namespace
}  // namespace pelorin
