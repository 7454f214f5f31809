// TSettingLock: the readers-writer lock of one TSetting, re-entrant for one
// thread.
//
//  - Shared holds nest freely; a thread that already holds the lock (shared
//    or exclusive) is never made to wait for a shared hold.
//  - Exclusive holds nest; a thread may take the lock exclusive while it has
//    shared holds of its own (the open key of OpenKey), once no other thread
//    holds it. Two threads that both hold it shared and both want it
//    exclusive would wait for each other; the program uses every store from
//    the GUI thread, where this cannot happen.
//
// It is 24 bytes: a play list keeps one store per file, so the lock holds no
// mutex of its own.
//
// While one thread alone holds the lock (the usual case: every store is used
// from the GUI thread), its holds are counted in one atomic word next to its
// thread tag, and taking or dropping a hold is a single compare-and-swap.
// When a second thread comes, the word is marked "slow" and from then on
// every change happens under a mutex from a small shared pool chosen by the
// lock's address, with a condition variable to wait on. The first thread's
// holds stay counted in the word; other threads count theirs in FReaders,
// FWriter and FWriteDepth and record their own shared holds in a
// thread-local list. Once the lock is free and nobody waits, it goes back
// to the fast way.
#pragma once

#include <atomic>
#include <cstdint>

class TSettingLock {
public:
    TSettingLock() = default;
    TSettingLock(const TSettingLock&) = delete;
    TSettingLock& operator=(const TSettingLock&) = delete;

    void LockShared();
    void UnlockShared();
    void LockExclusive();
    void UnlockExclusive();

private:
    void LockSharedSlow();
    void UnlockSharedSlow();
    void LockExclusiveSlow();
    void UnlockExclusiveSlow();

    // The word: owner tag (bits 32-63), slow mark (bit 31), the owner's
    // nested exclusive holds (bits 16-30) and its shared holds (bits 0-15).
    std::atomic<uint64_t> FWord{0};
    // Slow way only, guarded by the pool mutex: the holds of other threads.
    uint32_t FReaders = 0;     // their shared holds
    uint32_t FWriteDepth = 0;  // nested exclusive holds of FWriter
    uint32_t FWriter = 0;      // tag of the other thread that holds it exclusive
};

class TSharedHold {
public:
    explicit TSharedHold(TSettingLock& lock) : FLock(lock) { FLock.LockShared(); }
    ~TSharedHold() { FLock.UnlockShared(); }
    TSharedHold(const TSharedHold&) = delete;
    TSharedHold& operator=(const TSharedHold&) = delete;

private:
    TSettingLock& FLock;
};

class TExclusiveHold {
public:
    explicit TExclusiveHold(TSettingLock& lock) : FLock(lock) { FLock.LockExclusive(); }
    ~TExclusiveHold() { FLock.UnlockExclusive(); }
    TExclusiveHold(const TExclusiveHold&) = delete;
    TExclusiveHold& operator=(const TExclusiveHold&) = delete;

private:
    TSettingLock& FLock;
};
