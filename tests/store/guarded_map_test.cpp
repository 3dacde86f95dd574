// File mappings shortened by another program: what was cut off reads as zeros and the reader
// goes on, records of an index area stay readable after their index is truncated, a fault
// anywhere else still stops the program, and mappings give their slots back.
#include "store/guarded_map.h"

#include "support/testing.h"

#include "store/mapped_file.h"
#include "store/msg.h"
#include "store/msgfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

namespace pelorin {
namespace {

using testing::TempDir;
using testing::WriteFile;

size_t PageSize() {
    return static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

const char* MapWhole(const std::string& path, size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const char* map = guarded_map::Map(fd, size);
    ::close(fd);
    return map;
}

TEST(GuardedMap, PagesCutOffReadAsZerosAndTheReaderGoesOn) {
    TempDir dir;
    const std::string path = (dir / "f").string();
    const size_t page = PageSize();
    const std::string bytes(3 * page + 100, 'x');
    WriteFile(path, bytes);
    const char* map = MapWhole(path, bytes.size());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map[bytes.size() - 1], 'x');

    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(page)), 0);  // another program
    const size_t lostBefore = guarded_map::PagesLost();
    size_t kept = 0, zeros = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (map[i] == 'x')
            ++kept;
        else if (map[i] == '\0')
            ++zeros;
    }
    EXPECT_EQ(kept, page);
    EXPECT_EQ(zeros, bytes.size() - page);
    EXPECT_EQ(guarded_map::PagesLost() - lostBefore, 3u);
    guarded_map::Unmap(map, bytes.size());

    // Mapping the shortened file again gives what it holds now.
    MappedFile again(path);
    EXPECT_EQ(again.Bytes(), bytes.substr(0, page));
}

TEST(GuardedMap, RecordsOfAnIndexTruncatedUnderThemStayReadable) {
    TempDir dir;
    const std::string idx = (dir / "a.IDX").string();
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += std::to_string(i * 100) +
                "\t=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= " + std::to_string(i) +
                "\tme@x\t1 Dec 2026\t<" + std::to_string(i) + "@x>\t<" + std::to_string(i / 2) +
                "@x>\t100\t3\t" + std::to_string(i + 1) + "\n";
    }
    ASSERT_GT(text.size(), 4 * PageSize());
    WriteFile(idx, text);
    MessageList list;
    ParseIndexFile(idx, 'c', SharedPath("a.MSG"), list, {});
    ASSERT_EQ(list.size(), 400u);
    EXPECT_EQ(list[0]->messageId, "<0@x>");

    // The transfer program rewrites the index in place while the area is open.
    ASSERT_EQ(::truncate(idx.c_str(), 0), 0);
    for (const auto& m : list) {
        // Whatever the fields read now, reading them is safe, and their sizes hold.
        EXPECT_LE(m->subject.size(), 64u);
        EXPECT_EQ(m->messageId.size(), m->messageId.view().size());
        (void)m->From().size();
        (void)m->Date().str();
        (void)m->references.str();
        (void)m->parentId.str();
    }
    EXPECT_EQ(list[399]->messageId, std::string(7, '\0'));  // "<399@x>", now zeros
    EXPECT_EQ(list[399]->number, 400);                      // numbers were read at load
}

TEST(GuardedMapDeathTest, AFaultOutsideTheGuardedMappingsStillStopsTheProgram) {
    TempDir dir;
    const std::string path = (dir / "f").string();
    const size_t page = PageSize();
    WriteFile(path, std::string(2 * page, 'x'));
    const char* guarded = MapWhole(path, 2 * page);  // the handler is in place
    ASSERT_NE(guarded, nullptr);
    EXPECT_DEATH(
        {
            const int fd = ::open(path.c_str(), O_RDONLY);
            void* raw = ::mmap(nullptr, 2 * page, PROT_READ, MAP_PRIVATE, fd, 0);
            if (::ftruncate(::open(path.c_str(), O_WRONLY), 0) != 0)
                std::abort();
            volatile char c = static_cast<const char*>(raw)[page];
            (void)c;
        },
        "");
    guarded_map::Unmap(guarded, 2 * page);
}

TEST(GuardedMap, MappingsGiveTheirSlotsBack) {
    TempDir dir;
    const std::string path = (dir / "f").string();
    WriteFile(path, "some bytes");
    for (int i = 0; i < 3000; ++i) {
        const char* map = MapWhole(path, 10);
        ASSERT_NE(map, nullptr) << i;
        guarded_map::Unmap(map, 10);
    }
}

}  // namespace
}  // namespace pelorin
