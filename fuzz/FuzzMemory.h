// What loading one input may cost. A file may announce more than it holds
// or repeat what it holds; the memory a load holds at its peak, and all it
// is handed out on the way (a load that re-sorts or copies again for every
// line shows there), must stay within a multiple of the input's size. The
// sanitizer's allocator reports every heap block; the node pool's slabs
// are counted apart.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>

#include <sanitizer/allocator_interface.h>

#include "settings/UNodePool.h"

namespace FuzzMemory {

inline std::atomic<bool> on{false};
inline std::atomic<long long> held{0};  // since the start; blocks older than that are taken off when freed
inline std::atomic<long long> peak{0};
inline std::atomic<std::size_t> total{0};

inline void OnMalloc(const volatile void*, std::size_t size)
{
    if (!on.load(std::memory_order_relaxed)) return;
    const long long now = held.fetch_add((long long)size) + (long long)size;
    long long seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    total.fetch_add(size);
}

inline void OnFree(const volatile void* block)
{
    if (on.load(std::memory_order_relaxed))
        held.fetch_sub((long long)__sanitizer_get_allocated_size(const_cast<const void*>(block)));
}

struct TTaken {
    std::size_t Peak;   // bytes held at most at once
    std::size_t Total;  // bytes handed out in all
    // The bound every load keeps: `factor` bytes for each byte of the input
    // and a MiB for buffers.
    bool Within(std::size_t inputSize, std::size_t factor) const
    {
        const std::size_t bound = factor * inputSize + (std::size_t(1) << 20);
        return Peak <= bound && Total <= bound;
    }
};

template <class F>
TTaken Measure(F&& f)
{
    static const int installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    (void)installed;
    const std::size_t slabs = NodePool::SlabBytes();
    held = 0;
    peak = 0;
    total = 0;
    struct TOn {
        TOn() { on = true; }
        ~TOn() { on = false; }
    };
    {
        TOn metering;
        f();
    }
    const std::size_t newSlabs = std::max(NodePool::SlabBytes(), slabs) - slabs;
    return {std::size_t(peak.load()) + newSlabs, total.load() + newSlabs};
}

}  // namespace FuzzMemory
