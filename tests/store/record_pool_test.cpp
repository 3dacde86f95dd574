// Records allocated in bulk: no two live records ever share memory, whatever the order of
// freeing (slabs emptied, refilled and given back), while threads allocate and free at once,
// and blocks of other sizes still come and go through the heap.
#include "store/record_pool.h"

#include "store/msg.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace pelorin {
namespace {

// Every live record still holds the number written into it.
void ExpectIntact(const std::vector<std::unique_ptr<TMsg>>& live) {
    for (size_t i = 0; i < live.size(); ++i) {
        if (live[i]) {
            ASSERT_EQ(live[i]->offset, static_cast<int64_t>(i));
            ASSERT_EQ(live[i]->number, static_cast<int32_t>(i));
        }
    }
}

TEST(RecordPool, LiveRecordsNeverOverlapAcrossFreeingOrders) {
    std::mt19937 rng(5);
    std::vector<std::unique_ptr<TMsg>> live(60000);
    auto make = [&live](size_t i) {
        live[i] = std::make_unique<TMsg>();
        live[i]->offset = static_cast<int64_t>(i);
        live[i]->number = static_cast<int32_t>(i);
    };
    for (size_t i = 0; i < live.size(); ++i) make(i);
    ExpectIntact(live);

    // Free two thirds at random, refill, then free whole runs (emptying slabs) and refill.
    std::vector<size_t> order(live.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t k = 0; k < order.size() * 2 / 3; ++k) live[order[k]].reset();
    ExpectIntact(live);
    for (size_t i = 0; i < live.size(); ++i) {
        if (!live[i])
            make(i);
    }
    ExpectIntact(live);
    for (size_t i = 0; i < live.size(); ++i) {
        if (i % 20000 < 15000)
            live[i].reset();
    }
    ExpectIntact(live);
    for (size_t i = live.size(); i-- > 0;) {
        if (!live[i])
            make(i);
    }
    ExpectIntact(live);
    live.clear();

    // One record made and freed over and over.
    for (int i = 0; i < 1000; ++i) {
        auto one = std::make_unique<TMsg>();
        one->offset = i;
        ASSERT_EQ(one->offset, i);
    }
}

TEST(RecordPool, ThreadsAllocateAndFreeAtOnce) {
    auto work = [](unsigned seed, bool* ok) {
        std::mt19937 rng(seed);
        std::vector<std::unique_ptr<TMsg>> live(5000);
        for (int round = 0; round < 40000; ++round) {
            const size_t i = rng() % live.size();
            if (live[i] && live[i]->offset != static_cast<int64_t>(i) + seed)
                *ok = false;
            live[i] = std::make_unique<TMsg>();
            live[i]->offset = static_cast<int64_t>(i) + seed;
        }
    };
    bool ok1 = true, ok2 = true;
    std::thread a(work, 1000000u, &ok1), b(work, 2000000u, &ok2);
    a.join();
    b.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

// Room prepared for a load holds every record made while it lasts, whether the load makes more
// records than expected or far fewer, frees some of them meanwhile, or makes none; and what no
// record took is given back when the preparation ends.
TEST(RecordPool, PreparedRoomHoldsTheLoadAndGivesBackTheRest) {
    const size_t expected = 40000;
    for (size_t made : {size_t{0}, size_t{100}, expected, 2 * expected}) {
        SCOPED_TRACE(made);
        const size_t before = record_pool::SlabBytes();
        std::vector<std::unique_ptr<TMsg>> live(made);
        // Room the load fills next to its records is made ready as it stands: what it holds
        // already, at any alignment, is kept.
        std::vector<char> more(3 * 4096 + 100);
        for (size_t i = 0; i < more.size(); ++i) more[i] = static_cast<char>(i % 251);
        {
            const record_pool::Prepared room(
                expected * sizeof(TMsg), {{more.data() + 1, more.size() - 1}, {more.data(), 0}});
            for (size_t i = 0; i < made; ++i) {
                live[i] = std::make_unique<TMsg>();
                live[i]->offset = static_cast<int64_t>(i);
                if (i % 2 == 1)
                    live[i - 1].reset();  // every other record freed while the room lasts
            }
        }
        for (size_t i = 1; i < made; i += 2) ASSERT_EQ(live[i]->offset, static_cast<int64_t>(i));
        for (size_t i = 0; i < more.size(); ++i) ASSERT_EQ(more[i], static_cast<char>(i % 251));
        live.clear();
        // Of the 5 MB prepared, nothing is left mapped but the one slab kept for new records.
        EXPECT_LE(record_pool::SlabBytes(), before + (size_t{2} << 20));
    }
}

// An estimate is only an estimate (an index may start with short lines and end in one huge
// one): a preparation never maps more than 64 MiB ahead, however much it is told to expect.
TEST(RecordPool, PreparedRoomIsBoundedWhateverTheEstimate) {
    const size_t before = record_pool::SlabBytes();
    const record_pool::Prepared room(size_t{1} << 40);
    EXPECT_LE(record_pool::SlabBytes(), before + (size_t{64} << 20));
}

// So is the further room: told of 256 MiB (an index of blank lines would say as much), the
// helper makes at most 64 MiB of it resident.
TEST(RecordPool, PreparedFurtherRoomIsBoundedToo) {
    const size_t size = size_t{256} << 20, page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    void* room = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(room, MAP_FAILED);
    { const record_pool::Prepared prepared(size_t{64} << 20, {{room, size}}); }
    std::vector<unsigned char> resident(size / page);
    ASSERT_EQ(::mincore(room, size, resident.data()), 0);
    const auto pages = static_cast<size_t>(std::count_if(
        resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; }));
    EXPECT_LE(pages * page, size_t{64} << 20);
    ::munmap(room, size);
}

// Copies handed out a batch at a time hold their value like plain copies: past a batch's end,
// after the batch is gone, and after the source itself is gone.
TEST(RecordPool, BatchedCopiesHoldTheirValue) {
    std::vector<SharedPath> copies;
    auto source = std::make_unique<SharedPath>("/tmp/area.MSG");
    {
        CopyBatch<SharedPath> batch(*source);
        for (int i = 0; i < 10000; ++i) copies.push_back(batch.Next());
    }
    source.reset();
    for (const SharedPath& p : copies) ASSERT_EQ(p.str(), "/tmp/area.MSG");
    copies.resize(1);
    SharedPath last = copies[0];
    copies.clear();
    EXPECT_EQ(last.str(), "/tmp/area.MSG");
    SharedPath none;
    CopyBatch<SharedPath> empty(none);
    EXPECT_TRUE(empty.Next().empty());
}

TEST(RecordPool, OtherSizesComeFromTheHeap) {
    auto record = std::make_unique<TMsg>();  // fixes the pooled size, if not yet
    std::vector<void*> blocks;
    for (size_t size : {1u, 24u, 4000u, 100000u}) {
        void* p = record_pool::Allocate(size);
        std::fill_n(static_cast<char*>(p), size, 'x');
        blocks.push_back(p);
    }
    size_t k = 0;
    for (size_t size : {1u, 24u, 4000u, 100000u}) record_pool::Free(blocks[k++], size);
    record_pool::Free(nullptr, sizeof(TMsg));
    record->offset = 9;
    EXPECT_EQ(record->offset, 9);
}

}  // namespace
}  // namespace pelorin
