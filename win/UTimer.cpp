#include "win/UTimer.h"

#include <map>

#include "win/UApplication.h"

namespace {
std::map<UINT_PTR, TTimer*>& Timers()
{
    static std::map<UINT_PTR, TTimer*> timers;
    return timers;
}
}  // namespace

TTimer::TTimer(UINT interval, bool enabled) : FInterval(interval), FEnabled(enabled) { Restart(); }

TTimer::~TTimer()
{
    if (FId) {
        KillTimer(nullptr, FId);
        Timers().erase(FId);
    }
}

void TTimer::SetEnabled(bool enabled)
{
    if (FEnabled != enabled) {
        FEnabled = enabled;
        Restart();
    }
}

void TTimer::SetInterval(UINT interval)
{
    if (FInterval != interval) {
        FInterval = interval;
        Restart();
    }
}

void TTimer::Restart()
{
    if (FId) {
        KillTimer(nullptr, FId);
        Timers().erase(FId);
        FId = 0;
    }
    if (FEnabled && FInterval > 0) {
        FId = SetTimer(nullptr, 0, FInterval, &TTimer::TimerProc);
        if (FId) Timers()[FId] = this;
    }
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = Timers().find(id);
    if (it == Timers().end()) return;
    TTimer* timer = it->second;
    if (timer->OnTimer) Guarded([timer] { timer->OnTimer(); });
}
