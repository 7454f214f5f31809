#include "playback/UPlayOrder.h"

#include <cstdlib>
#include <numeric>
#include <utility>

int RandomBelow(int bound)
{
    if (bound <= 1) return 0;
    // 30 bits from two draws of at least 15 bits each; values from the
    // incomplete last block are drawn again.
    const unsigned range = 1u << 30;
    const unsigned limit = range - range % static_cast<unsigned>(bound);
    for (;;) {
        unsigned high = static_cast<unsigned>(std::rand()) & 0x7FFFu;
        unsigned low = static_cast<unsigned>(std::rand()) & 0x7FFFu;
        unsigned v = (high << 15) | low;
        if (v < limit) return static_cast<int>(v % static_cast<unsigned>(bound));
    }
}

TPlayOrder::TPlayOrder(TRandomFunc random) : FRandom(std::move(random))
{
    if (!FRandom) FRandom = RandomBelow;
}

void TPlayOrder::SetRandom(bool on, int count)
{
    if (on) {
        FRandomPosition = 0;
        Shuffle(count);
    } else {
        FRandomPosition = -1;
    }
}

void TPlayOrder::Shuffle(int count)
{
    FPlayOrder.assign(count > 0 ? count : 0, 0);
    std::iota(FPlayOrder.begin(), FPlayOrder.end(), 0);
    for (int i = static_cast<int>(FPlayOrder.size()) - 1; i > 0; --i) {
        int j = FRandom(i + 1);
        if (j < 0 || j > i) j = i;  // a faulty source must not reach past the array
        std::swap(FPlayOrder[i], FPlayOrder[j]);
    }
}

int TPlayOrder::SelectFirst(int count)
{
    if (count <= 0) {
        FCurrentIndex = -1;
        return -1;
    }
    if (Random()) {
        Shuffle(count);
        FRandomPosition = 0;
        FCurrentIndex = FPlayOrder[0];
    } else {
        FCurrentIndex = 0;
    }
    return FCurrentIndex;
}

// A shuffle made for another entry count no longer covers the list: start a new one.
void TPlayOrder::ReshuffleIfStale(int count)
{
    if (static_cast<int>(FPlayOrder.size()) != count) {
        Shuffle(count);
        FRandomPosition = 0;
    }
}

int TPlayOrder::SelectNext(int count)
{
    if (count <= 0) {
        FCurrentIndex = -1;
        return -1;
    }
    if (Random()) {
        ReshuffleIfStale(count);
        if (FRandomPosition >= count - 1) return -1;
        ++FRandomPosition;
        FCurrentIndex = FPlayOrder[FRandomPosition];
        return FCurrentIndex;
    }
    if (FCurrentIndex < count - 1) return ++FCurrentIndex;
    return -1;
}

int TPlayOrder::SelectPrevious(int count)
{
    if (count <= 0) {
        FCurrentIndex = -1;
        return -1;
    }
    if (Random()) {
        ReshuffleIfStale(count);
        FRandomPosition = FRandomPosition > 0 ? FRandomPosition - 1 : count - 1;
        FCurrentIndex = FPlayOrder[FRandomPosition];
    } else {
        FCurrentIndex = FCurrentIndex > 0 ? FCurrentIndex - 1 : count - 1;
    }
    return FCurrentIndex;
}

int TPlayOrder::SelectAfterComplete(int count)
{
    if (!FContinuous) return -1;
    int r = SelectNext(count);
    if (r == -1 && FRepeat) r = SelectFirst(count);
    return r;
}

int TPlayOrder::SelectNextWrapping(int count)
{
    int r = SelectNext(count);
    if (r == -1) r = SelectFirst(count);
    return r;
}

TPlayStart TPlayOrder::PlayStart(bool restart) const
{
    if (!CurrentIsLoaded()) return TPlayStart::Open;
    return restart ? TPlayStart::Restart : TPlayStart::Resume;
}

namespace {

// Moves one index along with a change of the list; false when the entry at
// that index was removed (the index is then -1).
bool FollowChange(int& c, int kind, int index, int count)
{
    if (c < 0) return true;
    switch (kind) {
        case TPlayOrder::ChangeAdded:
            if (c >= index) c += count;
            break;
        case TPlayOrder::ChangeDeleted:
            if (c < index) break;
            if (c - index < count) {
                c = -1;
                return false;
            }
            c -= count;
            break;
        case TPlayOrder::ChangeMoved:  // one entry from index to count
            if (c == index)
                c = count;
            else if (index < count && index < c && c <= count)
                --c;
            else if (index > count && count <= c && c < index)
                ++c;
            break;
        case TPlayOrder::ChangeExchanged:
            if (c == index)
                c = count;
            else if (c == count)
                c = index;
            break;
        default:
            break;
    }
    return true;
}

}  // namespace

TListChangeResult TPlayOrder::ListChanged(int kind, int index, int count)
{
    TListChangeResult result;
    result.StopPlayback = !FollowChange(FCurrentIndex, kind, index, count);
    result.LoadedRemoved = !FollowChange(FLoadedIndex, kind, index, count);
    return result;
}
