#include "playback/ULayeredPresent.h"

#include "playback/UMovieWindowStyle.h"

const TLayeredApi& LayeredApi()
{
    static const TLayeredApi api = [] {
        TLayeredApi a;
        if (HMODULE user32 = GetModuleHandleA("user32.dll")) {
            a.UpdateLayeredWindow = reinterpret_cast<TUpdateLayeredWindowProc>(
                reinterpret_cast<void*>(GetProcAddress(user32, "UpdateLayeredWindow")));
            a.SetLayeredWindowAttributes = reinterpret_cast<TSetLayeredWindowAttributesProc>(
                reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")));
        }
        return a;
    }();
    return api;
}

bool PresentLayeredFrame(HWND wnd, TSimpleDIB& frame, BYTE alpha, const TLayeredApi& api)
{
    if (!wnd || !api.UpdateLayeredWindow) return false;
    RECT bounds;
    if (!GetWindowRect(wnd, &bounds)) return false;
    POINT destination{bounds.left, bounds.top};
    SIZE size{bounds.right - bounds.left, bounds.bottom - bounds.top};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    TWindowDC screen;
    TSimpleDIBLock lock(frame);
    return api.UpdateLayeredWindow(wnd, screen.Get(), &destination, &size, lock.GetHDC(), &source, 0, &blend,
                                   ULW_ALPHA) != FALSE;
}

void ApplyLayerAlpha(HWND wnd, bool layered, TSimpleDIB& frame, BYTE alpha, const TLayeredApi& api)
{
    if (!layered || !wnd) return;
    if (api.UpdateLayeredWindow)
        PresentLayeredFrame(wnd, frame, alpha, api);
    else if (api.SetLayeredWindowAttributes)
        api.SetLayeredWindowAttributes(wnd, 0, alpha, LWA_ALPHA);
}

void SwitchLayeredStyle(HWND wnd, bool on, TSimpleDIB& frame, BYTE alpha, const TLayeredApi& api)
{
    if (!wnd) return;
    const LONG_PTR ex = GetWindowLongPtrA(wnd, GWL_EXSTYLE);
    SetWindowLongPtrA(
        wnd, GWL_EXSTYLE,
        static_cast<LONG_PTR>(WithStyleBits(static_cast<std::uint32_t>(ex), MovieStyle::LayeredBits, on)));
    if (on) {
        frame.ClearPixels();
        PresentLayeredFrame(wnd, frame, alpha, api);
    } else {
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    }
}
