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

namespace pelorin::record_pool {

// A block of `size` bytes (aligned for any record); never null (throws std::bad_alloc).
void* Allocate(std::size_t size);
// Gives back a block from Allocate with the same size.
void Free(void* block, std::size_t size) noexcept;
// Bytes of the slabs now mapped (for measuring memory; the heap's own count misses them).
std::size_t SlabBytes();

}  // namespace pelorin::record_pool
