// NodePool: the small blocks of setting trees (table entries with their
// names, key nodes).
//
// A play list of 100,000 files holds about ten such blocks per file. From the
// process heap each costs a header and a rounding, and under Wine a heap call
// that is several times slower than here. The pool cuts blocks of one size
// class (multiples of 8 bytes) from 64 KiB slabs: no header, a free list per
// slab. A slab whose blocks are all free is kept for blocks of any size, as
// long as there are no more such slabs than slabs in use (at least a few);
// the others go back to the system.
//
// Thread-safe: a spin lock held for a few instructions. Stores of different
// threads share the pool; a store's own lock is not needed for it.
#pragma once

#include <cstddef>
#include <new>

namespace NodePool {

// Blocks larger than this come from the process heap.
constexpr std::size_t MaxBlock = 256;

// A block of at least `size` bytes, aligned for any object of that size up
// to 8 bytes' alignment. Raises std::bad_alloc when memory is exhausted.
void* Allocate(std::size_t size);
// Gives back a block; `size` is the size it was allocated with.
void Free(void* block, std::size_t size) noexcept;

// Bytes held in slabs (used or not), for tests and measurements.
std::size_t SlabBytes() noexcept;

// Memory straight from the system for arrays that live only during one
// operation on a large table. Freeing it gives it back at once: from the
// process heap, the blocks allocated meanwhile would keep it in use.
void* AllocateLarge(std::size_t size);
void FreeLarge(void* block, std::size_t size) noexcept;

// For std::vector: arrays of 64 KiB or more from AllocateLarge, smaller ones
// from the heap.
template <class T>
struct TLargeAllocator {
    using value_type = T;
    static constexpr std::size_t Threshold = 64 * 1024;
    TLargeAllocator() = default;
    template <class U>
    TLargeAllocator(const TLargeAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T)) throw std::bad_alloc();
        const std::size_t size = n * sizeof(T);
        return static_cast<T*>(size >= Threshold ? AllocateLarge(size) : ::operator new(size));
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        if (n * sizeof(T) >= Threshold)
            FreeLarge(p, n * sizeof(T));
        else
            ::operator delete(p);
    }
    template <class U>
    bool operator==(const TLargeAllocator<U>&) const noexcept
    {
        return true;
    }
    template <class U>
    bool operator!=(const TLargeAllocator<U>&) const noexcept
    {
        return false;
    }
};

}  // namespace NodePool
