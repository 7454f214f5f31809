#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "settings/UNodePool.h"

namespace {

struct TBlock {
    unsigned char* Data;
    std::size_t Size;
    unsigned char Fill;
};

// Blocks of every size class, freed in random order while others are
// handed out: no two live blocks overlap (each keeps its fill), and once
// all are freed most slabs go back (one per class and a few spares stay).
TEST(NodePool, BlocksStayIntactAndSlabsGoBack)
{
    const std::size_t before = NodePool::SlabBytes();
    std::mt19937 rng(7);
    std::vector<TBlock> live;
    for (int step = 0; step < 60000; ++step) {
        if (live.empty() || rng() % 3 != 0) {
            const std::size_t size = 1 + rng() % (NodePool::MaxBlock + 40);
            auto* p = static_cast<unsigned char*>(NodePool::Allocate(size));
            ASSERT_EQ(0u, reinterpret_cast<std::uintptr_t>(p) % 8);
            const auto fill = static_cast<unsigned char>(step);
            std::memset(p, fill, size);
            live.push_back({p, size, fill});
        } else {
            std::swap(live[rng() % live.size()], live.back());
            const TBlock b = live.back();
            live.pop_back();
            ASSERT_TRUE(std::all_of(b.Data, b.Data + b.Size, [&](unsigned char c) { return c == b.Fill; }));
            NodePool::Free(b.Data, b.Size);
        }
    }
    for (int i = 0; i < 200000; ++i) {
        auto* p = static_cast<unsigned char*>(NodePool::Allocate(200));
        *p = 1;
        live.push_back({p, 1, 1});
    }
    const std::size_t slab = 64 * 1024;
    EXPECT_GT(NodePool::SlabBytes(), before + 500 * slab);
    for (const TBlock& b : live) {
        ASSERT_TRUE(std::all_of(b.Data, b.Data + b.Size, [&](unsigned char c) { return c == b.Fill; }));
        NodePool::Free(b.Data, b.Size);
    }
    EXPECT_LE(NodePool::SlabBytes(), before + (NodePool::MaxBlock / 8 + 64) * slab);
}

TEST(NodePool, ThreadsShareIt)
{
    auto work = [] {
        std::vector<void*> blocks;
        for (int round = 0; round < 50; ++round) {
            for (int i = 0; i < 500; ++i) blocks.push_back(NodePool::Allocate(24 + i % 64));
            for (std::size_t i = 0; i < blocks.size(); ++i) NodePool::Free(blocks[i], 24 + i % 64);
            blocks.clear();
        }
    };
    std::thread a(work), b(work);
    work();
    a.join();
    b.join();
}

}  // namespace
