// The mode list without a display: enumeration through a callback, the sort
// order, the nearest-mode walk, refresh rates and the shared list.
#include "display/UDisplayModeList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <stdexcept>
#include <thread>

namespace {
using V = std::vector<TDisplayMode>;
TDisplayMode M(int32_t w, int32_t h, int32_t bits, int32_t rate = 0) { return {w, h, bits, rate}; }
constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();
}  // namespace

TEST(DisplayModeList, EnumeratesUntilRefusedKeepsDuplicatesAndSortsByEveryField)
{
    const V offered = {M(800, 600, 32, 60), M(640, 480, 32, 75), M(640, 480, 16, 60), M(800, 600, 32, 60),
                       M(640, 480, 32, 60), M(640, 400, 32, 60), M(-1, 5, 5, 5),      M(640, 480, 32, -1)};
    std::vector<int32_t> asked;
    TDisplayModeList list([&](int32_t number, TDisplayMode& mode) {
        asked.push_back(number);
        if (number >= static_cast<int32_t>(offered.size())) return false;
        mode = offered[static_cast<size_t>(number)];
        return true;
    });
    EXPECT_EQ(asked, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(list.Items(),
              (V{M(-1, 5, 5, 5), M(640, 400, 32, 60), M(640, 480, 16, 60), M(640, 480, 32, -1),
                 M(640, 480, 32, 60), M(640, 480, 32, 75), M(800, 600, 32, 60), M(800, 600, 32, 60)}));
    EXPECT_EQ(list.Count(), 8u);
    EXPECT_THROW(list[8], std::out_of_range);
}

TEST(DisplayModeList, NearestModeIsTheWalkWithLaterTiesWinning)
{
    TDisplayModeList list({M(320, 200, 16, 60), M(320, 240, 16, 60), M(400, 300, 16, 60), M(512, 384, 16, 60),
                           M(640, 480, 16, 60)});
    // 512x384 is nearer in width (and in sum) but farther in height.
    EXPECT_EQ(list.FindNearestMode(500, 300, 0), M(400, 300, 16));
    EXPECT_EQ(list.FindNearestMode(4000, 3000, 16), M(640, 480, 16));
    EXPECT_EQ(list.FindNearestMode(Min, Min, 0), M(320, 200, 16));

    TDisplayModeList depths({M(320, 240, 8, 60), M(320, 240, 16, 60), M(320, 240, 32, 60),
                             M(320, 240, 32, 75), M(640, 480, 32, 60)});
    EXPECT_EQ(depths.FindNearestMode(320, 240, 0), M(320, 240, 32));
    EXPECT_EQ(depths.FindNearestMode(320, 240, 16), M(320, 240, 16));
    EXPECT_EQ(depths.FindNearestMode(480, 360, 0), M(640, 480, 32)) << "equally far both ways";
}

TEST(DisplayModeList, NearestModeWithNothingSuitableIsAModeNoDisplayOffers)
{
    EXPECT_EQ(TDisplayModeList(V{}).FindNearestMode(640, 480, 24), M(Max, Max, 24));
    TDisplayModeList list({M(640, 480, 16, 60), M(800, 600, 32, 60)});
    EXPECT_EQ(list.FindNearestMode(640, 480, 24), M(Max, Max, 24));
    EXPECT_EQ(list.FindNearestMode(Max, Max, 0), M(Max, Max, 0));
}

TEST(DisplayModeList, RefreshRatesOfAModeStartWithTheDefault)
{
    TDisplayModeList list({M(640, 480, 32, 75), M(640, 480, 16, 85), M(640, 480, 32, 60), M(640, 480, 32, 60),
                           M(800, 480, 32, 72), M(640, 600, 32, 70)});
    EXPECT_EQ(list.RefreshRatesOf(M(640, 480, 32, 999)), (std::vector<int32_t>{0, 60, 60, 75}));
    EXPECT_EQ(list.RefreshRatesOf(M(640, 480, 24)), (std::vector<int32_t>{0}));
}

TEST(SharedDisplayModeList, ManyThreadsGetOneListMadeOnceAndFailuresAreRetried)
{
    std::atomic<int> made{0};
    TSharedDisplayModeList shared([&]() -> std::unique_ptr<TDisplayModeList> {
        if (++made == 1) throw std::runtime_error("display busy");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return std::make_unique<TDisplayModeList>(V{M(640, 480, 32)});
    });
    EXPECT_THROW(shared.Get(), std::runtime_error);
    std::vector<const TDisplayModeList*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&, i] { seen[i] = &shared.Get(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(made.load(), 2);
    for (const TDisplayModeList* list : seen) ASSERT_EQ(list, seen[0]);
    EXPECT_EQ(seen[0]->Count(), 1u);
}
