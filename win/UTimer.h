// A timer object with an interval and an enabled flag, ticking on the GUI
// thread through the message loop.
#pragma once

#include <windows.h>

#include <functional>

class TTimer {
public:
    explicit TTimer(UINT interval = 1000, bool enabled = true);
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    std::function<void()> OnTimer;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    UINT Interval() const { return FInterval; }
    void SetInterval(UINT interval);

private:
    void Restart();
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
    UINT FInterval;
    bool FEnabled;
    UINT_PTR FId = 0;
};
