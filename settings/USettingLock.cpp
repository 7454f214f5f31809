#include "settings/USettingLock.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace {

struct TWaitSlot {
    std::mutex Mutex;
    std::condition_variable Changed;
};

constexpr std::size_t WaitSlotCount = 32;

// Never destroyed: stores that live in static objects may still be unlocked
// while the program exits.
TWaitSlot& WaitSlotFor(const void* lock) {
    static TWaitSlot* slots = new TWaitSlot[WaitSlotCount];
    return slots[(reinterpret_cast<std::uintptr_t>(lock) >> 4) % WaitSlotCount];
}

// The shared holds of the calling thread, per lock. Short: one entry per
// store the thread has open right now.
thread_local std::vector<std::pair<const TSettingLock*, uint32_t>> tlsSharedHolds;

uint32_t MySharedHolds(const TSettingLock* lock) {
    for (const auto& e : tlsSharedHolds)
        if (e.first == lock) return e.second;
    return 0;
}

void AddMySharedHold(const TSettingLock* lock) {
    for (auto& e : tlsSharedHolds)
        if (e.first == lock) {
            ++e.second;
            return;
        }
    tlsSharedHolds.emplace_back(lock, 1);
}

void DropMySharedHold(const TSettingLock* lock) {
    for (auto it = tlsSharedHolds.begin(); it != tlsSharedHolds.end(); ++it)
        if (it->first == lock) {
            if (--it->second == 0) {
                *it = tlsSharedHolds.back();
                tlsSharedHolds.pop_back();
            }
            return;
        }
}

}  // namespace

void TSettingLock::LockShared() {
    const std::thread::id me = std::this_thread::get_id();
    TWaitSlot& slot = WaitSlotFor(this);
    tlsSharedHolds.reserve(tlsSharedHolds.size() + 1);  // no throw after locking
    std::unique_lock<std::mutex> guard(slot.Mutex);
    if (FWriter != me && MySharedHolds(this) == 0)
        slot.Changed.wait(guard, [&] { return FWriteDepth == 0; });
    ++FReaders;
    AddMySharedHold(this);
}

void TSettingLock::UnlockShared() {
    TWaitSlot& slot = WaitSlotFor(this);
    {
        std::lock_guard<std::mutex> guard(slot.Mutex);
        --FReaders;
        DropMySharedHold(this);
    }
    slot.Changed.notify_all();
}

void TSettingLock::LockExclusive() {
    const std::thread::id me = std::this_thread::get_id();
    TWaitSlot& slot = WaitSlotFor(this);
    std::unique_lock<std::mutex> guard(slot.Mutex);
    if (FWriter == me) {
        ++FWriteDepth;
        return;
    }
    const uint32_t mine = MySharedHolds(this);
    slot.Changed.wait(guard, [&] { return FWriteDepth == 0 && FReaders == mine; });
    FWriter = me;
    FWriteDepth = 1;
}

void TSettingLock::UnlockExclusive() {
    TWaitSlot& slot = WaitSlotFor(this);
    {
        std::lock_guard<std::mutex> guard(slot.Mutex);
        if (--FWriteDepth == 0) FWriter = std::thread::id();
    }
    slot.Changed.notify_all();
}
