// RecordPool: where message records live. An area of 100,000 messages makes as many records
// at once; one allocation each from the general heap costs a page fault every twenty records
// and spreads them over thousands of pages. The pool carves records of one size out of 2 MiB
// slabs that ask for huge pages, so a load touches a few large pages in order, and a slab goes
// back to the system when its last record is freed.
//
// Records of other sizes, and every record in a build with AddressSanitizer (which must see
// each allocation to check it), come from the general heap. The pool is safe to use from any
// thread.
#pragma once

#include <cstddef>
#include <vector>

namespace pelorin::record_pool {

// A block of `size` bytes (aligned for any record); never null (throws std::bad_alloc).
void* Allocate(std::size_t size);
// Gives back a block from Allocate with the same size.
void Free(void* block, std::size_t size) noexcept;
// Bytes of the slabs now mapped, prepared ones included (for measuring memory; the heap's own
// count misses them).
std::size_t SlabBytes();

// Room made ahead for the records a load is about to make. Fresh memory costs the most in a
// load: the system clears every page on first touch. Preparing maps the slabs for `bytes` of
// records at once and has a helper thread fault their pages in while the loader reads its
// file, so the loader's records land in memory already cleared. Slabs the load does not use
// are given back when the value goes; it waits for the helper first, so keep it for the
// load's length. At most 64 MiB is prepared, whatever `bytes` says. Does nothing in builds
// without the pool, for small loads, or when no thread can be started.
//
// `more` names memory the load will fill right after it (room reserved in a vector, say): the
// helper faults its whole pages in too (at most 64 MiB of them), once the slabs are done. Its
// content is not changed, and it must stay allocated for the load's length.
class Prepared {
public:
    struct Span {
        void* data;
        std::size_t size;
    };

    Prepared() = default;
    explicit Prepared(std::size_t bytes, std::vector<Span> more = {});
    ~Prepared();
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;

private:
    struct Helper;
    Helper* helper_ = nullptr;
};

}  // namespace pelorin::record_pool
