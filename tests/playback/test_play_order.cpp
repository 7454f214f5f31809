// Play sequencing: list and shuffled order, end of media with repeat, the
// shuffle's fairness, and how the current and loaded entries follow changes.
#include "playback/UPlayOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>

namespace {

// Hands out the scripted draws in turn (0 once used up).
TRandomFunc Scripted(std::deque<int>& values)
{
    return [&values](int) {
        if (values.empty()) return 0;
        int v = values.front();
        values.pop_front();
        return v;
    };
}

}  // namespace

TEST(PlayOrder, ListOrderWrapsBackwardsAndStopsAtTheEnd)
{
    TPlayOrder order;
    EXPECT_EQ(order.SelectNext(5), 0);  // from no entry to the first
    EXPECT_EQ(order.SelectPrevious(5), 4);
    EXPECT_EQ(order.SelectNext(5), -1);
    EXPECT_EQ(order.CurrentIndex(), 4);
    for (auto step : {&TPlayOrder::SelectFirst, &TPlayOrder::SelectNext, &TPlayOrder::SelectPrevious}) {
        order.SetCurrentIndex(2);
        EXPECT_EQ((order.*step)(0), -1);
        EXPECT_EQ(order.CurrentIndex(), -1);
    }
}

TEST(PlayOrder, ShuffledOrderIsWalkedAndRenewedWhenTheListGrew)
{
    std::deque<int> draws;
    TPlayOrder order(Scripted(draws));
    order.SetRandom(true, 3);
    draws = {0, 0};  // [0 1 2] -> swap slots 2 and 0 -> swap slots 1 and 0 -> [1 2 0]
    EXPECT_EQ(order.SelectFirst(3), 1);
    EXPECT_EQ(order.SelectNext(3), 2);
    EXPECT_EQ(order.SelectNext(3), 0);
    EXPECT_EQ(order.SelectNext(3), -1);
    EXPECT_EQ(order.CurrentIndex(), 0);
    order.SelectFirst(3);
    int last = order.SelectPrevious(3);
    EXPECT_EQ(last, order.PlayOrder()[2]);

    // An entry was added: a new shuffle of four, and the step lands on its second.
    order.SelectFirst(3);
    draws = {1, 2, 0};
    int next = order.SelectNext(4);
    EXPECT_EQ(next, order.PlayOrder()[1]);
    EXPECT_EQ(order.RandomPosition(), 1);
    std::vector<int> sorted = order.PlayOrder();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3}));
}

TEST(PlayOrder, EndOfMediaFollowsContinuousAndRepeat)
{
    TPlayOrder order;
    order.SetCurrentIndex(1);
    EXPECT_EQ(order.SelectAfterComplete(3), -1);  // a single file was started
    order.SetContinuous(true);
    EXPECT_EQ(order.SelectAfterComplete(3), 2);
    EXPECT_EQ(order.SelectAfterComplete(3), -1);  // last entry, no repeat: stop
    order.SetRepeat(true);
    EXPECT_EQ(order.SelectAfterComplete(3), 0);
    order.SetRepeat(false);
    order.SetCurrentIndex(2);
    EXPECT_EQ(order.SelectNextWrapping(3), 0);  // Ctrl+Right wraps without repeat
}

TEST(PlayOrder, TheLoadedEntryChosenAgainIsRestarted)
{
    TPlayOrder single;
    single.SetContinuous(true);
    single.SetRepeat(true);
    single.SelectFirst(1);
    EXPECT_EQ(single.PlayStart(false), TPlayStart::Open);
    single.SetLoadedIndex(0);
    EXPECT_EQ(single.SelectAfterComplete(1), 0);
    EXPECT_EQ(single.PlayStart(true), TPlayStart::Restart);
    EXPECT_EQ(single.PlayStart(false), TPlayStart::Resume);

    // A new shuffle that begins with the entry just played.
    std::deque<int> draws = {0};
    TPlayOrder shuffled(Scripted(draws));
    shuffled.SetContinuous(true);
    shuffled.SetRepeat(true);
    shuffled.SetRandom(true, 2);
    ASSERT_EQ(shuffled.SelectFirst(2), 1);  // [1 0]
    shuffled.SelectNext(2);
    shuffled.SetLoadedIndex(0);
    draws = {1};  // [0 1]
    EXPECT_EQ(shuffled.SelectAfterComplete(2), 0);
    EXPECT_EQ(shuffled.PlayStart(true), TPlayStart::Restart);
}

TEST(PlayOrder, ShuffleIsUniform)
{
    std::srand(12345);
    TPlayOrder order;
    std::map<std::vector<int>, int> seen;
    for (int r = 0; r < 60000; ++r) {
        order.Shuffle(3);
        ++seen[order.PlayOrder()];
    }
    ASSERT_EQ(seen.size(), 6u);  // entries may keep their place
    for (const auto& entry : seen) EXPECT_NEAR(entry.second, 10000, 1000);

    // Draws reach beyond the 15 bits of the Windows runtime's rand().
    int highest = 0;
    for (int i = 0; i < 2000; ++i) highest = std::max(highest, RandomBelow(1 << 20));
    EXPECT_GT(highest, 1 << 19);
    EXPECT_LT(highest, 1 << 20);
}

TEST(PlayOrder, CurrentAndLoadedEntriesFollowListChanges)
{
    struct Case {
        int kind, index, count, before, after;
    } const cases[] = {
        {TPlayOrder::ChangeAdded, 2, 1, 2, 3},     {TPlayOrder::ChangeAdded, 3, 2, 2, 2},
        {TPlayOrder::ChangeAdded, 0, 1, -1, -1},   {TPlayOrder::ChangeDeleted, 0, 2, 3, 1},
        {TPlayOrder::ChangeDeleted, 4, 1, 3, 3},   {TPlayOrder::ChangeDeleted, 2, 2, 3, -1},
        {TPlayOrder::ChangeMoved, 1, 4, 1, 4},     {TPlayOrder::ChangeMoved, 1, 4, 3, 2},
        {TPlayOrder::ChangeMoved, 4, 1, 2, 3},     {TPlayOrder::ChangeExchanged, 1, 3, 1, 3},
        {TPlayOrder::ChangeExchanged, 1, 3, 3, 1}, {TPlayOrder::ChangeExchanged, 1, 3, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.index << " " << c.count << " at " << c.before);
        TPlayOrder order;
        order.SetCurrentIndex(c.before);
        order.SetLoadedIndex(c.before);
        TListChangeResult r = order.ListChanged(c.kind, c.index, c.count);
        EXPECT_EQ(order.CurrentIndex(), c.after);
        EXPECT_EQ(order.LoadedIndex(), c.after);
        EXPECT_EQ(r.StopPlayback, c.before >= 0 && c.after == -1);
        EXPECT_EQ(r.LoadedRemoved, r.StopPlayback);
    }

    // Stopped on entry 2 with the selection moved on to 3; entry 2 goes.
    TPlayOrder order;
    order.SetRandom(true, 4);
    std::vector<int> shuffled = order.PlayOrder();
    order.SetLoadedIndex(2);
    order.SetCurrentIndex(3);
    TListChangeResult r = order.ListChanged(TPlayOrder::ChangeDeleted, 2, 1);
    EXPECT_FALSE(r.StopPlayback);
    EXPECT_TRUE(r.LoadedRemoved);
    EXPECT_EQ(order.CurrentIndex(), 2);
    EXPECT_EQ(order.PlayStart(false), TPlayStart::Open);
    EXPECT_EQ(order.PlayOrder(), shuffled);  // reshuffled only by the next step
}
