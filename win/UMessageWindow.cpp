#include "win/UMessageWindow.h"

#include <mutex>
#include <set>

#include "base/UException.h"
#include "win/UApplication.h"

TMessageWindow::TMessageWindow(const std::string& className, bool messageOnly)
{
    static std::mutex lock;
    static std::set<std::string> registered;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    {
        std::lock_guard<std::mutex> g(lock);
        if (!registered.count(className)) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = &TMessageWindow::WndProc;
            wc.hInstance = instance;
            wc.lpszClassName = className.c_str();
            if (!RegisterClassA(&wc))
                throw Exception("ウインドウクラス " + className + " を登録できませんでした");
            registered.insert(className);
        }
    }
    FHandle = CreateWindowExA(0, className.c_str(), "", messageOnly ? 0 : WS_POPUP, 0, 0, 0, 0,
                              messageOnly ? HWND_MESSAGE : nullptr, nullptr, instance, this);
    if (!FHandle) throw Exception("ウインドウ " + className + " を作成できませんでした");
}

TMessageWindow::~TMessageWindow()
{
    SetWindowLongPtrA(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
}

LRESULT CALLBACK TMessageWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TMessageWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    LRESULT ended = 0;
    if (Application && Application->SessionMessage(msg, wp, ended)) return ended;
    auto* self = reinterpret_cast<TMessageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && self->OnMessage) {
        LRESULT result = 0;
        bool handled = false;
        Guarded([&] { handled = self->OnMessage(msg, wp, lp, result); });
        if (handled) return result;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
