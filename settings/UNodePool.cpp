#include "settings/UNodePool.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define REELO_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define REELO_POOL_ASAN 1
#endif
#endif

#ifdef REELO_POOL_ASAN
#include <sanitizer/asan_interface.h>
// Blocks that are not handed out stay poisoned, so that the sanitizer sees a
// use after free inside the pool as it would on the heap.
#define POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace NodePool {

namespace {

constexpr std::size_t Granule = 8;
constexpr std::size_t ClassCount = MaxBlock / Granule;
// Slabs are aligned to their size, so a block finds its slab by masking.
constexpr std::size_t SlabSize = 64 * 1024;
// Empty slabs are kept for new blocks of any size, up to as many as are in
// use (at least MinSpareSlabs): a list loaded after another one was freed
// takes the same memory again instead of faulting in new pages.
constexpr std::size_t MinSpareSlabs = 64;

struct TSlab {
    TSlab* Prev;  // in its class's list of slabs with room
    TSlab* Next;
    void* FreeList;  // freed blocks, linked through their first word
    char* Bump;      // the part never handed out: Bump .. End
    char* End;
    uint32_t Used;  // blocks handed out
    uint32_t Class;
    bool Listed;  // in the list of slabs with room
};

// The header takes the first block-aligned bytes of the slab.
constexpr std::size_t HeaderSize = (sizeof(TSlab) + 15) / 16 * 16;

struct TClass {
    TSlab* Room;  // slabs that have a free block, most recently freed into first
};

class TSpinLock {
public:
    void Lock() noexcept
    {
        while (FBusy.exchange(true, std::memory_order_acquire))
            while (FBusy.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
    void Unlock() noexcept { FBusy.store(false, std::memory_order_release); }

private:
    std::atomic<bool> FBusy{false};
};

class TGuard {
public:
    explicit TGuard(TSpinLock& lock) : FLock(lock) { FLock.Lock(); }
    ~TGuard() { FLock.Unlock(); }
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;

private:
    TSpinLock& FLock;
};

// Constant-initialised and never destroyed: stores in static objects may be
// freed while the program exits.
TSpinLock lock;
TClass classes[ClassCount];
std::size_t slabCount = 0;
TSlab* spares = nullptr;  // empty slabs, linked through Next
std::size_t spareCount = 0;

void* NewSlabMemory() noexcept
{
#ifdef _WIN32
    // VirtualAlloc hands out whole 64 KiB allocation units, so the block is
    // aligned to its size.
    return VirtualAlloc(nullptr, SlabSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    // Twice the size, then the unaligned ends are given back.
    void* p = mmap(nullptr, 2 * SlabSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + SlabSize - 1) & ~std::uintptr_t(SlabSize - 1);
    if (aligned > start) munmap(p, aligned - start);
    if (aligned + SlabSize < start + 2 * SlabSize)
        munmap(reinterpret_cast<void*>(aligned + SlabSize), start + 2 * SlabSize - aligned - SlabSize);
    return reinterpret_cast<void*>(aligned);
#endif
}

void FreeSlabMemory(void* p) noexcept
{
#ifdef _WIN32
    VirtualFree(p, 0, MEM_RELEASE);
#else
    munmap(p, SlabSize);
#endif
}

void Link(TClass& c, TSlab* s) noexcept
{
    s->Prev = nullptr;
    s->Next = c.Room;
    if (c.Room) c.Room->Prev = s;
    c.Room = s;
    s->Listed = true;
}

void Unlink(TClass& c, TSlab* s) noexcept
{
    if (s->Prev)
        s->Prev->Next = s->Next;
    else
        c.Room = s->Next;
    if (s->Next) s->Next->Prev = s->Prev;
    s->Prev = s->Next = nullptr;
    s->Listed = false;
}

TSlab* NewSlab(uint32_t cls)
{
    void* memory;
    if (spares) {
        memory = spares;
        spares = spares->Next;
        --spareCount;
    } else {
        memory = NewSlabMemory();
        if (!memory) throw std::bad_alloc();
        ++slabCount;
    }
    TSlab* s = static_cast<TSlab*>(memory);
    s->Prev = s->Next = nullptr;
    s->FreeList = nullptr;
    s->Bump = static_cast<char*>(memory) + HeaderSize;
    s->End = static_cast<char*>(memory) + SlabSize;
    s->Used = 0;
    s->Class = cls;
    s->Listed = false;
    POOL_POISON(s->Bump, s->End - s->Bump);
    return s;
}

}  // namespace

void* Allocate(std::size_t size)
{
    if (size > MaxBlock) return ::operator new(size);
    const uint32_t cls = static_cast<uint32_t>(size == 0 ? 0 : (size - 1) / Granule);
    const std::size_t blockSize = (cls + 1) * Granule;
    TGuard guard(lock);
    TClass& c = classes[cls];
    TSlab* s = c.Room;
    if (!s) {
        s = NewSlab(cls);
        Link(c, s);
    }
    void* block;
    if (s->FreeList) {
        block = s->FreeList;
        POOL_UNPOISON(block, blockSize);
        s->FreeList = *static_cast<void**>(block);
    } else {
        block = s->Bump;
        POOL_UNPOISON(block, blockSize);
        s->Bump += blockSize;
    }
    ++s->Used;
    if (!s->FreeList && std::size_t(s->End - s->Bump) < blockSize) Unlink(c, s);
    return block;
}

void Free(void* block, std::size_t size) noexcept
{
    if (!block) return;
    if (size > MaxBlock) {
        ::operator delete(block);
        return;
    }
    const uint32_t cls = static_cast<uint32_t>(size == 0 ? 0 : (size - 1) / Granule);
    TSlab* s = reinterpret_cast<TSlab*>(reinterpret_cast<std::uintptr_t>(block) & ~(SlabSize - 1));
    TGuard guard(lock);
    TClass& c = classes[cls];
    *static_cast<void**>(block) = s->FreeList;
    POOL_POISON(block, (cls + 1) * Granule);
    s->FreeList = block;
    --s->Used;
    if (!s->Listed) {
        Link(c, s);
    } else if (s->Used == 0 && (s->Prev || s->Next)) {
        // Another slab of the class has room: this one is kept for any
        // class, or goes back with spares beyond the limit.
        Unlink(c, s);
        s->Next = spares;
        spares = s;
        ++spareCount;
        const std::size_t inUse = slabCount - spareCount;
        while (spareCount > (inUse > MinSpareSlabs ? inUse : MinSpareSlabs)) {
            TSlab* gone = spares;
            spares = gone->Next;
            --spareCount;
            --slabCount;
            POOL_UNPOISON(gone, SlabSize);
            FreeSlabMemory(gone);
        }
    }
}

void* AllocateLarge(std::size_t size)
{
#ifdef _WIN32
    void* p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
#else
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#endif
    return p;
}

void FreeLarge(void* block, std::size_t size) noexcept
{
    if (!block) return;
#ifdef _WIN32
    (void)size;
    VirtualFree(block, 0, MEM_RELEASE);
#else
    munmap(block, size);
#endif
}

std::size_t SlabBytes() noexcept
{
    TGuard guard(lock);
    return slabCount * SlabSize;
}

}  // namespace NodePool
