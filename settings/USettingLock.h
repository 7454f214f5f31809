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
// It is 16 bytes: a play list keeps one store per file, so the lock holds no
// mutex of its own. Waiting goes through a small shared pool of mutexes and
// condition variables chosen by the lock's address, and each thread records
// its own shared holds in a thread-local list.
#pragma once

#include <cstdint>
#include <thread>

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
    uint32_t FReaders = 0;     // shared holds of all threads
    uint32_t FWriteDepth = 0;  // nested exclusive holds of FWriter
    std::thread::id FWriter;
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
