#include "settings/USettingLock.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/UException.h"

namespace {

struct TWaitSlot {
    std::mutex Mutex;
    std::condition_variable Changed;
    uint32_t Waiters = 0;  // threads blocked in Changed; guarded by Mutex

    // Waits for pred; the caller holds guard on Mutex.
    template <class Pred>
    void Wait(std::unique_lock<std::mutex>& guard, Pred pred)
    {
        if (pred()) return;
        ++Waiters;
        Changed.wait(guard, pred);
        --Waiters;
    }
};

constexpr std::size_t WaitSlotCount = 32;

// Never destroyed: stores that live in static objects may still be unlocked
// while the program exits.
TWaitSlot& WaitSlotFor(const void* lock)
{
    static TWaitSlot* slots = new TWaitSlot[WaitSlotCount];
    return slots[(reinterpret_cast<std::uintptr_t>(lock) >> 4) % WaitSlotCount];
}

// The shared holds of the calling thread, per lock, for the locks it holds
// as a thread other than the owner of the word. Short: one entry per store
// the thread has open right now.
thread_local std::vector<std::pair<const TSettingLock*, uint32_t>> tlsSharedHolds;

uint32_t MySharedHolds(const TSettingLock* lock)
{
    for (const auto& e : tlsSharedHolds)
        if (e.first == lock) return e.second;
    return 0;
}

void AddMySharedHold(const TSettingLock* lock)
{
    for (auto& e : tlsSharedHolds)
        if (e.first == lock) {
            ++e.second;
            return;
        }
    tlsSharedHolds.emplace_back(lock, 1);
}

void DropMySharedHold(const TSettingLock* lock)
{
    for (auto it = tlsSharedHolds.begin(); it != tlsSharedHolds.end(); ++it)
        if (it->first == lock) {
            if (--it->second == 0) {
                *it = tlsSharedHolds.back();
                tlsSharedHolds.pop_back();
            }
            return;
        }
}

// A non-zero number that tells the running threads apart.
#ifdef _WIN32
uint32_t ThreadTag() { return static_cast<uint32_t>(GetCurrentThreadId()); }
#else
uint32_t ThreadTag()
{
    static std::atomic<uint32_t> next{1};
    thread_local const uint32_t tag = next.fetch_add(1, std::memory_order_relaxed);
    return tag;
}
#endif

// The layout of the word.
constexpr uint64_t SharedOne = 1;
constexpr uint64_t SharedMask = 0xFFFFF;  // bits 0-19
constexpr uint64_t ExclusiveOne = uint64_t(1) << 20;
constexpr uint64_t ExclusiveMask = uint64_t(0x7FF) << 20;  // bits 20-30
constexpr uint64_t SlowMark = uint64_t(1) << 31;
constexpr uint64_t CountMask = SharedMask | ExclusiveMask;
constexpr uint64_t TagMask = ~uint64_t(0xFFFFFFFF);

uint64_t TagBits(uint32_t tag) { return uint64_t(tag) << 32; }
uint32_t OwnerOf(uint64_t w) { return static_cast<uint32_t>(w >> 32); }
uint32_t OwnerShared(uint64_t w) { return static_cast<uint32_t>(w & SharedMask); }
uint32_t OwnerExclusive(uint64_t w) { return static_cast<uint32_t>((w & ExclusiveMask) >> 20); }

// Without holds, the word forgets its owner.
uint64_t Normalised(uint64_t w) { return (w & (CountMask | SlowMark)) == 0 ? 0 : w; }

[[noreturn]] void TooDeep() { throw Exception("設定のロックの入れ子が深すぎます"); }

}  // namespace

// ---- The fast way: the lock is free or held by the calling thread alone ----

void TSettingLock::LockShared()
{
    const uint64_t me = TagBits(ThreadTag());
    uint64_t w = FWord.load(std::memory_order_relaxed);
    if (w == 0) {
        if (FWord.compare_exchange_strong(w, me | SharedOne, std::memory_order_acquire,
                                          std::memory_order_relaxed))
            return;
    } else if ((w & (TagMask | SlowMark)) == me && (w & SharedMask) != SharedMask) {
        if (FWord.compare_exchange_strong(w, w + SharedOne, std::memory_order_acquire,
                                          std::memory_order_relaxed))
            return;
    }
    LockSharedSlow();
}

void TSettingLock::UnlockShared()
{
    const uint64_t me = TagBits(ThreadTag());
    uint64_t w = FWord.load(std::memory_order_relaxed);
    if ((w & (TagMask | SlowMark)) == me && (w & SharedMask) != 0) {
        if (FWord.compare_exchange_strong(w, Normalised(w - SharedOne), std::memory_order_release,
                                          std::memory_order_relaxed))
            return;
    }
    UnlockSharedSlow();
}

void TSettingLock::LockExclusive()
{
    const uint64_t me = TagBits(ThreadTag());
    uint64_t w = FWord.load(std::memory_order_relaxed);
    if (w == 0) {
        if (FWord.compare_exchange_strong(w, me | ExclusiveOne, std::memory_order_acquire,
                                          std::memory_order_relaxed))
            return;
    } else if ((w & (TagMask | SlowMark)) == me && (w & ExclusiveMask) != ExclusiveMask) {
        // Every hold is this thread's own: it may nest or upgrade.
        if (FWord.compare_exchange_strong(w, w + ExclusiveOne, std::memory_order_acquire,
                                          std::memory_order_relaxed))
            return;
    }
    LockExclusiveSlow();
}

void TSettingLock::UnlockExclusive()
{
    const uint64_t me = TagBits(ThreadTag());
    uint64_t w = FWord.load(std::memory_order_relaxed);
    if ((w & (TagMask | SlowMark)) == me && (w & ExclusiveMask) != 0) {
        if (FWord.compare_exchange_strong(w, Normalised(w - ExclusiveOne), std::memory_order_release,
                                          std::memory_order_relaxed))
            return;
    }
    UnlockExclusiveSlow();
}

// ---- The slow way: several threads, under the pool mutex ------------------

namespace {

// Marks the word slow (the fast way then fails for everyone) and gives it an
// owner if it has none. Called with the pool mutex held; from then on only
// holders of that mutex change the word.
uint64_t EnterSlow(std::atomic<uint64_t>& word, uint32_t me)
{
    uint64_t w = word.load(std::memory_order_relaxed);
    while (!(w & SlowMark))
        if (word.compare_exchange_weak(w, w | SlowMark, std::memory_order_acq_rel,
                                       std::memory_order_relaxed)) {
            w |= SlowMark;
            break;
        }
    if (OwnerOf(w) == 0) {
        w |= TagBits(me);
        word.store(w, std::memory_order_relaxed);
    }
    return w;
}

}  // namespace

void TSettingLock::LockSharedSlow()
{
    const uint32_t me = ThreadTag();
    TWaitSlot& slot = WaitSlotFor(this);
    tlsSharedHolds.reserve(tlsSharedHolds.size() + 1);  // no throw after locking
    std::unique_lock<std::mutex> guard(slot.Mutex);
    EnterSlow(FWord, me);
    slot.Wait(guard, [&] {
        const uint64_t w = FWord.load(std::memory_order_relaxed);
        const uint32_t mine = OwnerOf(w) == me ? OwnerShared(w) : MySharedHolds(this);
        const uint32_t writer = OwnerExclusive(w) ? OwnerOf(w) : (FWriteDepth ? FWriter : 0);
        return writer == 0 || writer == me || mine != 0;
    });
    const uint64_t w = FWord.load(std::memory_order_relaxed);
    if (OwnerOf(w) == me) {
        if ((w & SharedMask) == SharedMask) TooDeep();
        FWord.store(w + SharedOne, std::memory_order_relaxed);
    } else {
        ++FReaders;
        AddMySharedHold(this);
    }
}

void TSettingLock::UnlockSharedSlow()
{
    const uint32_t me = ThreadTag();
    TWaitSlot& slot = WaitSlotFor(this);
    bool wake;
    {
        std::lock_guard<std::mutex> guard(slot.Mutex);
        uint64_t w = EnterSlow(FWord, me);
        if (OwnerOf(w) == me && OwnerShared(w) != 0) {
            w -= SharedOne;
        } else {
            --FReaders;
            DropMySharedHold(this);
        }
        // Free and nobody waiting: back to the fast way.
        if ((w & CountMask) == 0 && FReaders == 0 && FWriteDepth == 0 && slot.Waiters == 0) w = 0;
        FWord.store(w, std::memory_order_release);
        wake = slot.Waiters != 0;
    }
    // Nobody waits in the usual case: skip the broadcast, which is costly on
    // Windows.
    if (wake) slot.Changed.notify_all();
}

void TSettingLock::LockExclusiveSlow()
{
    const uint32_t me = ThreadTag();
    TWaitSlot& slot = WaitSlotFor(this);
    std::unique_lock<std::mutex> guard(slot.Mutex);
    uint64_t w = EnterSlow(FWord, me);
    if (OwnerOf(w) == me && OwnerExclusive(w) != 0) {
        if ((w & ExclusiveMask) == ExclusiveMask) TooDeep();
        FWord.store(w + ExclusiveOne, std::memory_order_relaxed);
        return;
    }
    if (OwnerOf(w) != me && FWriteDepth != 0 && FWriter == me) {
        ++FWriteDepth;
        return;
    }
    slot.Wait(guard, [&] {
        const uint64_t w = FWord.load(std::memory_order_relaxed);
        const bool owner = OwnerOf(w) == me;
        const uint32_t mine = owner ? OwnerShared(w) : MySharedHolds(this);
        return OwnerExclusive(w) == 0 && FWriteDepth == 0 && OwnerShared(w) + FReaders == mine;
    });
    w = FWord.load(std::memory_order_relaxed);
    if (OwnerOf(w) == me) {
        FWord.store(w + ExclusiveOne, std::memory_order_relaxed);
    } else {
        FWriter = me;
        FWriteDepth = 1;
    }
}

void TSettingLock::UnlockExclusiveSlow()
{
    const uint32_t me = ThreadTag();
    TWaitSlot& slot = WaitSlotFor(this);
    bool wake;
    {
        std::lock_guard<std::mutex> guard(slot.Mutex);
        uint64_t w = EnterSlow(FWord, me);
        if (OwnerOf(w) == me && OwnerExclusive(w) != 0) {
            w -= ExclusiveOne;
        } else if (--FWriteDepth == 0) {
            FWriter = 0;
        }
        if ((w & CountMask) == 0 && FReaders == 0 && FWriteDepth == 0 && slot.Waiters == 0) w = 0;
        FWord.store(w, std::memory_order_release);
        wake = slot.Waiters != 0;
    }
    if (wake) slot.Changed.notify_all();
}
