// Counts what a piece of code takes from the heap: the most it holds at once
// and all it is handed on the way (code that copies or sorts again for every
// line shows there). It replaces the program's operator new and delete, each
// block carrying its size in front, so one source file of a program includes
// it: the settings file tests and the fuzz targets that load files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace AllocationMeter {

inline std::atomic<bool> on{false};
inline std::atomic<std::ptrdiff_t> held{0}, peak{0};  // blocks older than the start count off when freed
inline std::atomic<std::size_t> total{0};

struct TTaken {
    std::size_t Peak, Total;
    // What loading a file of `bytes` bytes may take: 64 bytes for each of
    // them, and a MiB for buffers.
    bool Within(std::size_t bytes) const
    {
        return Peak <= 64 * bytes + (1 << 20) && Total <= 64 * bytes + (1 << 20);
    }
};

template <class F>
TTaken Measure(F&& f)
{
    held = peak = 0;
    total = 0;
    struct TOn {
        TOn() { on = true; }
        ~TOn() { on = false; }
    } metering;
    f();
    return {std::size_t(peak.load()), total.load()};
}

inline void* Take(std::size_t size) noexcept
{
    auto* block = static_cast<std::max_align_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (!block) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    if (on.load(std::memory_order_relaxed)) {
        total += size;
        const std::ptrdiff_t now = held += std::ptrdiff_t(size);
        for (std::ptrdiff_t seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
        }
    }
    return block + 1;
}

inline void Give(void* p) noexcept
{
    if (!p) return;
    auto* block = static_cast<std::max_align_t*>(p) - 1;
    if (on.load(std::memory_order_relaxed)) held -= std::ptrdiff_t(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace AllocationMeter

void* operator new(std::size_t size)
{
    if (void* p = AllocationMeter::Take(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocationMeter::Take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocationMeter::Take(size); }
void operator delete(void* p) noexcept { AllocationMeter::Give(p); }
void operator delete[](void* p) noexcept { AllocationMeter::Give(p); }
void operator delete(void* p, std::size_t) noexcept { AllocationMeter::Give(p); }
void operator delete[](void* p, std::size_t) noexcept { AllocationMeter::Give(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { AllocationMeter::Give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { AllocationMeter::Give(p); }
