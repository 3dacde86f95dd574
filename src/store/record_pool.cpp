#include "store/record_pool.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <sys/mman.h>

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

    std::size_t Slabs() const { return slabs_.load(std::memory_order_relaxed); }

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
        // making and freeing one record at a time does not map and unmap a slab each time).
        if (s->live == 0 && !(room_ == s && !s->next)) {
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

    Slab* NewSlab() {
        // Map twice the size and keep the aligned slab inside it.
        void* map = ::mmap(nullptr, 2 * kSlabSize, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED)
            throw std::bad_alloc();
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
        slabs_.fetch_add(1, std::memory_order_relaxed);
        auto* s = new (reinterpret_cast<void*>(aligned)) Slab;
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

}  // namespace pelorin::record_pool
