// Counts what a piece of code takes from the heap: the most it holds at once
// and all it is handed on the way. It replaces the global operator new and
// delete of the test program (each block carries its size in front), so it
// is included by one source file of a program only.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "settings/UNodePool.h"

namespace AllocationMeter {

constexpr std::size_t Header = 16;  // keeps malloc's alignment

inline std::atomic<bool> on{false};
inline std::atomic<std::ptrdiff_t> held{0};  // since the start, blocks freed meanwhile taken off
inline std::atomic<std::ptrdiff_t> peak{0};
inline std::atomic<std::size_t> total{0};

inline void* Take(std::size_t size) noexcept
{
    void* p = std::malloc(size + Header);
    if (!p) return nullptr;
    *static_cast<std::size_t*>(p) = size;
    if (on.load(std::memory_order_relaxed)) {
        const std::ptrdiff_t now = held.fetch_add(std::ptrdiff_t(size)) + std::ptrdiff_t(size);
        std::ptrdiff_t seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        total.fetch_add(size);
    }
    return static_cast<char*>(p) + Header;
}

inline void Give(void* block) noexcept
{
    if (!block) return;
    char* p = static_cast<char*>(block) - Header;
    if (on.load(std::memory_order_relaxed))
        held.fetch_sub(std::ptrdiff_t(*reinterpret_cast<std::size_t*>(p)));
    std::free(p);
}

struct TTaken {
    std::size_t Peak;   // bytes held at most at once, the node pool's new slabs included
    std::size_t Total;  // bytes handed out in all
};

template <class F>
TTaken Measure(F&& f)
{
    const std::size_t slabs = NodePool::SlabBytes();
    held = 0;
    peak = 0;
    total = 0;
    on = true;
    try {
        f();
    } catch (...) {
        on = false;
        throw;
    }
    on = false;
    const std::size_t newSlabs = std::max(NodePool::SlabBytes(), slabs) - slabs;
    return {std::size_t(peak.load()) + newSlabs, total.load() + newSlabs};
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
