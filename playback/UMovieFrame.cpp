#include "playback/UMovieFrame.h"

TBorderOffset ReadBorderOffset(HWND wnd)
{
    RECT outer{}, client{};
    if (!wnd || !GetWindowRect(wnd, &outer) || !GetClientRect(wnd, &client)) return TBorderOffset{};
    return BorderOffsetOf(outer.right - outer.left, outer.bottom - outer.top, client.right - client.left,
                          client.bottom - client.top);
}

TBorderOffset SetWindowSizableFrame(HWND wnd, bool on)
{
    if (!wnd) return TBorderOffset{};
    const LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE);
    SetWindowLongPtrA(
        wnd, GWL_STYLE,
        static_cast<LONG_PTR>(WithStyleBits(static_cast<std::uint32_t>(style), MovieStyle::ThickFrame, on)));
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    return ReadBorderOffset(wnd);
}

void SetWindowTopMost(HWND wnd, bool on)
{
    if (!wnd) return;
    SetWindowPos(wnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void MoveWindowBy(HWND wnd, int dx, int dy)
{
    RECT r;
    if (!wnd || !GetWindowRect(wnd, &r)) return;
    SetWindowPos(wnd, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ForwardActivateApp(HWND wnd, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) return;
    HWND other = reinterpret_cast<HWND>(lParam);
    if (!other || GetWindowThreadProcessId(other, nullptr) != GetWindowThreadProcessId(wnd, nullptr)) return;
    SendMessageA(wnd, WM_ACTIVATEAPP, 1,
                 static_cast<LPARAM>(GetWindowThreadProcessId(GetDesktopWindow(), nullptr)));
}
