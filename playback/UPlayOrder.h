// Play sequencing of the controller: which entry of the current play list is
// current, the shuffled order, repeat and continuous play, and how the current
// and the loaded entry follow the list's change notifications.
//
// Free of any Windows API: it works on entry counts and indexes only. The
// controller passes the list's FileCount() to every call that needs it.
#pragma once

#include <functional>
#include <vector>

// A uniformly drawn integer in 0..bound-1, for bound >= 1.
using TRandomFunc = std::function<int(int bound)>;

// The program's generator: std::rand, seeded once from the clock at
// start-up. Draws are unbiased (rejection sampling over 30 random bits), so
// the small RAND_MAX of the Windows runtime does not matter.
int RandomBelow(int bound);

// How PlayCurrent starts the current entry.
enum class TPlayStart {
    Open,     // not the loaded entry: load it, apply its settings, play
    Resume,   // the loaded entry: play (resumes a paused or stopped graph)
    Restart,  // the loaded entry, chosen again by a selection step: rewind, play
};

// What the controller must do after a change notification of the list.
struct TListChangeResult {
    bool StopPlayback = false;   // the current entry was removed
    bool LoadedRemoved = false;  // the loaded entry was removed: its file tree
                                 // is gone, so the GUI tree must not keep it as
                                 // parent (take the play list's tree instead)
};

class TPlayOrder {
public:
    // Kinds of the play list's change notification.
    enum TChangeKind { ChangeAdded = 0, ChangeDeleted = 1, ChangeMoved = 2, ChangeExchanged = 3 };

    explicit TPlayOrder(TRandomFunc random = RandomBelow);

    int CurrentIndex() const { return FCurrentIndex; }
    void SetCurrentIndex(int index) { FCurrentIndex = index; }

    // Position in PlayOrder(); -1 while random order is off.
    int RandomPosition() const { return FRandomPosition; }
    bool Random() const { return FRandomPosition != -1; }
    // On: a new shuffle of count entries, position 0. Off: position -1.
    void SetRandom(bool on, int count);
    const std::vector<int>& PlayOrder() const { return FPlayOrder; }

    bool Repeat() const { return FRepeat; }
    void SetRepeat(bool on) { FRepeat = on; }
    bool Continuous() const { return FContinuous; }
    void SetContinuous(bool on) { FContinuous = on; }

    // PlayOrder := a uniformly random permutation of 0..count-1
    // (Fisher-Yates); the position is left alone.
    void Shuffle(int count);
    void ReshuffleIfStale(int count);

    // The selection steps; each returns the new current index or -1.
    // First: index 0, or in random order the head of a new shuffle.
    int SelectFirst(int count);
    // Next: -1 past the end of the list (or of the shuffle), which leaves the
    // current index unchanged. A shuffle whose length no longer matches the
    // list is made anew first.
    int SelectNext(int count);
    // Previous: wraps from the first to the last entry (position).
    int SelectPrevious(int count);

    // End of media: the index to play next, or -1 to stop. Without
    // continuous play always -1; at the end of the list, with repeat, the
    // first entry of a new order.
    int SelectAfterComplete(int count);
    // The next-track command (also Ctrl+Right): next, or the first entry (a
    // new shuffle) past the end, whatever the repeat flag. -1 for an empty list.
    int SelectNextWrapping(int count);

    // The loaded entry: the one whose file tree is the GUI tree's parent.
    // The controller marks it in PlayCurrent (before opening the file) and
    // clears it when a play list is made current.
    int LoadedIndex() const { return FLoadedIndex; }
    void SetLoadedIndex(int index) { FLoadedIndex = index; }
    bool CurrentIsLoaded() const { return FCurrentIndex >= 0 && FCurrentIndex == FLoadedIndex; }
    // How to start the current entry. restart: the entry was chosen by a
    // selection step (end of media, the next and previous commands,
    // Ctrl+Left and Ctrl+Right), so a loaded entry is played again from its
    // beginning rather than resumed. The play command and a double-click pass
    // false: they resume a paused entry.
    TPlayStart PlayStart(bool restart) const;

    // Follows a change notification of the list: (kind, index, count) as the
    // list sends them. The shuffled order is not touched; the selection steps
    // reshuffle when its length no longer matches.
    TListChangeResult ListChanged(int kind, int index, int count);

private:
    TRandomFunc FRandom;
    int FCurrentIndex = -1;
    int FRandomPosition = -1;
    std::vector<int> FPlayOrder;
    bool FRepeat = false;
    bool FContinuous = false;
    int FLoadedIndex = -1;
};
