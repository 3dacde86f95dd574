// Scratch folders of imports: those a killed import left go when the packet next opens; one
// in use, a young one, and anything merely named like one stay.
#include "store/scratch_folder.h"

#include "support/testing.h"

#include "store/soup.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

void Age(const fs::path& p) {
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(10));
}

TEST(ScratchFolder, LeftoversOfKilledImportsGoWhenThePacketOpens) {
    TempDir dir;
    WriteFile(dir / "AREAS", "");
    // Left by a killed import, with an unpacked member inside.
    fs::create_directory(dir / ".pelorin-import-AbC123");
    WriteFile(dir / ".pelorin-import-AbC123" / "0000001.MSG", "half");
    Age(dir / ".pelorin-import-AbC123");
    // Just made by an import that is starting.
    fs::create_directory(dir / ".pelorin-import-young1");
    // An import that has been unpacking for a long time.
    ScratchFolder busy;
    ASSERT_TRUE(busy.Create(dir.path().string() + "/"));
    Age(busy.Path());
    // Not ours: a link named like one (its target must not be emptied), a plain file, a
    // folder of another name.
    fs::create_directory(dir / "keep");
    WriteFile(dir / "keep" / "mail", "precious");
    fs::create_directory_symlink(dir / "keep", dir / ".pelorin-import-link99");
    WriteFile(dir / ".pelorin-import-file99", "x");
    fs::create_directory(dir / ".pelorin-import-toolong");
    Age(dir / ".pelorin-import-toolong");

    TSoup soup(dir.path().string());
    soup.LoadAreas();

    EXPECT_FALSE(fs::exists(dir / ".pelorin-import-AbC123"));
    EXPECT_TRUE(fs::exists(dir / ".pelorin-import-young1"));
    EXPECT_TRUE(fs::is_directory(busy.Path()));
    EXPECT_EQ(ReadFile(dir / "keep" / "mail"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir / ".pelorin-import-link99"));
    EXPECT_TRUE(fs::exists(dir / ".pelorin-import-file99"));
    EXPECT_TRUE(fs::exists(dir / ".pelorin-import-toolong"));
}

TEST(ScratchFolder, GoesWithItsMakerWhateverItHolds) {
    TempDir dir;
    std::string path;
    {
        ScratchFolder s;
        ASSERT_TRUE(s.Create(dir.path().string() + "/"));
        path = s.Path();
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all);
        fs::create_directory(path + "sub");
        WriteFile(path + "sub/file", "x");
    }
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace pelorin
