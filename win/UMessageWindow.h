// TMessageWindow: a hidden window that only takes messages (graph events,
// timers, posted work, a tray icon's callback). OnMessage sees every message
// first and returns true when it handled it; exceptions from it reach the
// application's handler.
//
// Message-only windows (the default) receive no broadcasts; a window that
// must hear one (the taskbar's "TaskbarCreated") is made as a hidden
// top-level window instead.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class TMessageWindow {
public:
    explicit TMessageWindow(const std::string& className = "TMessageWindow", bool messageOnly = true);
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    HWND Handle() const { return FHandle; }
    std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)> OnMessage;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND FHandle = nullptr;
};
