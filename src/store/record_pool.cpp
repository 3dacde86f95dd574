#include "store/record_pool.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PELORIN_RECORD_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELORIN_RECORD_POOL 0
#endif
#endif
#ifndef PELORIN_RECORD_POOL
#define PELORIN_RECORD_POOL 1
#endif

namespace pelorin::record_pool {
namespace {

constexpr std::size_t kSlabSize = std::size_t{2} << 20;  // one huge page
constexpr std::size_t kAlign = 16;
constexpr std::size_t kLargest = kSlabSize / 64;  // larger blocks come from the heap

std::size_t RoundUp(std::size_t n) {
    return (n + kAlign - 1) / kAlign * kAlign;
}

// A slab begins with this header; its blocks follow. Slabs are aligned to their size, so a
// block's slab is its address with the low bits cleared.
struct Slab {
    Slab* prev = nullptr;  // in the list of slabs with room
    Slab* next = nullptr;
    void* freed = nullptr;   // blocks given back, each holding the next one's address
    std::size_t unused = 0;  // offset of the first block never handed out
    std::size_t live = 0;    // blocks handed out and not given back
    bool listed = false;
};

class Pool {
public:
    void* Allocate(std::size_t block) {
        Lock lock(busy_);
        if (blockSize_.load(std::memory_order_relaxed) == 0)
            blockSize_.store(block, std::memory_order_relaxed);  // the first size asked for
        if (block != blockSize_.load(std::memory_order_relaxed))
            return nullptr;
        Slab* s = room_;
        if (!s)
            s = NewSlab();
        void* p;
        if (s->freed) {
            p = s->freed;
            s->freed = *static_cast<void**>(p);
        } else {
            p = reinterpret_cast<char*>(s) + s->unused;
            s->unused += block;
            // Records are made one after another and written at once: ask ahead for the
            // memory of the next ones (fresh memory is not in the cache).
            // (Past the slab's end the hint is harmless: the address is computed as a number.)
            const auto next = reinterpret_cast<std::uintptr_t>(p) + 4 * block;
            for (std::uintptr_t at = next; at < next + block; at += 64)
                __builtin_prefetch(reinterpret_cast<const void*>(at), 1);
        }
        ++s->live;
        if (!s->freed && s->unused + block > kSlabSize)
            Unlist(s);  // full
        return p;
    }

    // Slabs mapped: those holding records and those prepared and not yet taken.
    std::size_t Slabs() {
        Lock lock(busy_);
        return slabs_.load(std::memory_order_relaxed) + spare_.size();
    }

    bool Owns(std::size_t block) const {
        return block != 0 && block == blockSize_.load(std::memory_order_relaxed);
    }

    void Free(void* p) {
        Lock lock(busy_);
        auto* s = reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(p) & ~(kSlabSize - 1));
        *static_cast<void**>(p) = s->freed;
        s->freed = p;
        --s->live;
        if (!s->listed)
            List(s);
        // An empty slab goes back to the system, unless it is the only one with room (so that
        // making and freeing one record at a time does not map and unmap a slab each time), or
        // a helper may still be faulting in prepared slabs (it must never meet an address
        // that was unmapped and mapped again for something else).
        if (s->live == 0 && !(room_ == s && !s->next) && preparing_ == 0) {
            Unlist(s);
            ::munmap(s, kSlabSize);
            slabs_.fetch_sub(1, std::memory_order_relaxed);
        }
    }

private:
    class Lock {
    public:
        explicit Lock(std::atomic_flag& flag)
            : flag_(flag) {
            while (flag_.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~Lock() { flag_.clear(std::memory_order_release); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        std::atomic_flag& flag_;
    };

public:
    // Maps `count` slabs for records to come (see Prepared): they are taken before any new
    // mapping, in the order given. Gives their addresses; fewer when memory runs out.
    std::vector<void*> Reserve(std::size_t count) {
        std::vector<void*> regions;
        for (std::size_t i = 0; i < count; ++i) {
            void* r = MapSlab();
            if (!r)
                break;
            regions.push_back(r);
        }
        Lock lock(busy_);
        ++preparing_;
        spare_.insert(spare_.begin(), regions.rbegin(), regions.rend());  // taken from the back
        return regions;
    }

    // Ends a preparation: what of `regions` no slab took goes back to the system.
    void EndReserve(const std::vector<void*>& regions) {
        std::vector<void*> unused;
        {
            Lock lock(busy_);
            --preparing_;
            for (void* r : regions) {
                auto it = std::find(spare_.begin(), spare_.end(), r);
                if (it != spare_.end()) {
                    spare_.erase(it);
                    unused.push_back(r);
                }
            }
        }
        for (void* r : unused) ::munmap(r, kSlabSize);
    }

private:
    // A slab-sized, slab-aligned mapping that asks for a huge page; null when memory runs out.
    static void* MapSlab() {
        // Map twice the size and keep the aligned slab inside it.
        void* map = ::mmap(nullptr, 2 * kSlabSize, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED)
            return nullptr;
        const auto start = reinterpret_cast<std::uintptr_t>(map);
        const std::uintptr_t aligned = (start + kSlabSize - 1) & ~(kSlabSize - 1);
        if (aligned > start)
            ::munmap(map, aligned - start);
        const std::uintptr_t tail = aligned + kSlabSize;
        if (start + 2 * kSlabSize > tail)
            ::munmap(reinterpret_cast<void*>(tail), start + 2 * kSlabSize - tail);
#ifdef MADV_HUGEPAGE
        (void)::madvise(reinterpret_cast<void*>(aligned), kSlabSize, MADV_HUGEPAGE);
#endif
        return reinterpret_cast<void*>(aligned);
    }

    Slab* NewSlab() {
        void* at = nullptr;
        if (!spare_.empty()) {
            at = spare_.back();
            spare_.pop_back();
        } else {
            at = MapSlab();
            if (!at)
                throw std::bad_alloc();
        }
        slabs_.fetch_add(1, std::memory_order_relaxed);
        auto* s = new (at) Slab;
        s->unused = RoundUp(sizeof(Slab));
        List(s);
        return s;
    }

    void List(Slab* s) {
        s->prev = nullptr;
        s->next = room_;
        if (room_)
            room_->prev = s;
        room_ = s;
        s->listed = true;
    }

    void Unlist(Slab* s) {
        if (s->prev)
            s->prev->next = s->next;
        else
            room_ = s->next;
        if (s->next)
            s->next->prev = s->prev;
        s->prev = s->next = nullptr;
        s->listed = false;
    }

    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::atomic<std::size_t> blockSize_{0};  // set by the first Allocate, then fixed
    Slab* room_ = nullptr;
    std::atomic<std::size_t> slabs_{0};
    std::vector<void*> spare_;  // prepared slabs not yet taken, the next one last
    int preparing_ = 0;         // preparations whose helper may still be running
};

Pool& ThePool() {
    static Pool* pool = new Pool;  // never destroyed: records may outlive static destructors
    return *pool;
}

}  // namespace

void* Allocate(std::size_t size) {
    if (PELORIN_RECORD_POOL && size <= kLargest) {
        if (void* p = ThePool().Allocate(RoundUp(size)))
            return p;
    }
    return ::operator new(size);
}

void Free(void* block, std::size_t size) noexcept {
    if (!block)
        return;
    if (PELORIN_RECORD_POOL && size <= kLargest && ThePool().Owns(RoundUp(size))) {
        ThePool().Free(block);
        return;
    }
    ::operator delete(block);  // sized deletion is not in every compiler by default
}

std::size_t SlabBytes() {
    return ThePool().Slabs() * kSlabSize;
}

struct Prepared::Helper {
    std::vector<void*> regions;
    std::vector<Span> more;  // whole pages
    std::thread thread;
};

Prepared::Prepared([[maybe_unused]] std::size_t bytes, [[maybe_unused]] std::vector<Span> more) {
#if PELORIN_RECORD_POOL && defined(MADV_POPULATE_WRITE)
    // Below a few slabs the thread would cost more than it saves. The size is an estimate
    // from the start of a file that may lie (short lines first, one huge line after): at most
    // 64 MiB is cleared ahead, and a larger load faults the rest in as it goes.
    constexpr std::size_t kFewest = 3;
    constexpr std::size_t kMost = 32;
    const std::size_t count = std::min(bytes / (kSlabSize - RoundUp(sizeof(Slab))) + 1, kMost);
    if (count < kFewest)
        return;
    auto helper = std::make_unique<Helper>();
    helper->regions = ThePool().Reserve(count);
    // The further room is bounded like the slabs: an estimate may be wrong.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    std::size_t left = kMost * kSlabSize;
    for (const Span& span : more) {
        const auto from = (reinterpret_cast<std::uintptr_t>(span.data) + page - 1) / page * page;
        auto to = (reinterpret_cast<std::uintptr_t>(span.data) + span.size) / page * page;
        to = std::min<std::uintptr_t>(to, from + left);
        if (from < to) {
            helper->more.push_back({reinterpret_cast<void*>(from), to - from});
            left -= to - from;
        }
    }
    try {
        // The helper allocates nothing (a thread's first allocation would set up a heap arena
        // of its own): it reads the regions from the Helper, which outlives it.
        helper->thread = std::thread([h = helper.get()] {
            // Content is never changed: the loader may be writing a slab already.
            for (void* r : h->regions) (void)::madvise(r, kSlabSize, MADV_POPULATE_WRITE);
            for (const Span& s : h->more) (void)::madvise(s.data, s.size, MADV_POPULATE_WRITE);
        });
    } catch (const std::system_error&) {
        ThePool().EndReserve(helper->regions);
        return;
    }
    helper_ = helper.release();
#endif
}

Prepared::~Prepared() {
    if (!helper_)
        return;
    helper_->thread.join();
    ThePool().EndReserve(helper_->regions);
    delete helper_;
}

}  // namespace pelorin::record_pool
