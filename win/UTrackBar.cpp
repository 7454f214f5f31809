#include "win/UTrackBar.h"

#include <commctrl.h>

#include <cmath>

#include "win/UDpi.h"

TTrackBar::TTrackBar(const TTrackBarArgs& args) : FVertical(args.Vertical), FThumbLength(args.ThumbLength)
{
    DWORD style =
        WS_TABSTOP | (args.Vertical ? TBS_VERT : TBS_HORZ) | (args.NoTicks ? TBS_NOTICKS : TBS_AUTOTICKS);
    if (args.ThumbLength > 0) style |= TBS_FIXEDLENGTH;
    Create(TRACKBAR_CLASSA, args, style);
    SetRange(args.Min, args.Max);
    if (args.PageSize > 0) SendMessageA(Handle(), TBM_SETPAGESIZE, 0, args.PageSize);
    if (args.LineSize >= 0) SendMessageA(Handle(), TBM_SETLINESIZE, 0, args.LineSize);
    ScaleChanged(WindowDpi(Handle()));
}

void TTrackBar::ScaleChanged(UINT dpi)
{
    if (FThumbLength > 0) SendMessageA(Handle(), TBM_SETTHUMBLENGTH, ScaleToDpi(FThumbLength, dpi), 0);
}

int TTrackBar::Min() const { return static_cast<int>(SendMessageA(Handle(), TBM_GETRANGEMIN, 0, 0)); }

int TTrackBar::Max() const { return static_cast<int>(SendMessageA(Handle(), TBM_GETRANGEMAX, 0, 0)); }

void TTrackBar::SetRange(int min, int max)
{
    SendMessageA(Handle(), TBM_SETRANGEMIN, FALSE, min);
    SendMessageA(Handle(), TBM_SETRANGEMAX, TRUE, max);
}

int TTrackBar::Position() const { return static_cast<int>(SendMessageA(Handle(), TBM_GETPOS, 0, 0)); }

void TTrackBar::SetPosition(int position) { SendMessageA(Handle(), TBM_SETPOS, TRUE, position); }

bool TTrackBar::Scroll(HWND, UINT code)
{
    if (!OnChange) return false;
    if (code != TB_ENDTRACK) OnChange();
    return true;
}

TTrackBarEx::TTrackBarEx(const TTrackBarArgs& args) : TTrackBar(args) { Subclass(); }

int TrackValueAt(int p, int low, int high, int min, int max)
{
    if (max <= min || p <= low) return min;
    if (p >= high) return max;
    // high > p > low here, so the channel has a length.
    const double v = min + static_cast<double>(p - low) / (high - low) * (max - min);
    return static_cast<int>(std::nearbyint(v));  // the default rounding: halves to even
}

int TTrackBarEx::PositionAtPoint(int x, int y) const
{
    const int min = Min(), max = Max();
    if (max <= min || !Handle()) return min;
    RECT channel = {};
    SendMessageA(Handle(), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    if (Vertical()) return TrackValueAt(y, channel.top, channel.bottom, min, max);
    return TrackValueAt(x, channel.left, channel.right, min, max);
}

bool TTrackBarEx::SubclassMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT&)
{
    const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    const UINT keys = static_cast<UINT>(wp);
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (OnMouseDown)
                OnMouseDown(msg == WM_LBUTTONDOWN   ? TMouseButton::Left
                            : msg == WM_RBUTTONDOWN ? TMouseButton::Right
                                                    : TMouseButton::Middle,
                            keys, x, y);
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (OnMouseUp)
                OnMouseUp(msg == WM_LBUTTONUP   ? TMouseButton::Left
                          : msg == WM_RBUTTONUP ? TMouseButton::Right
                                                : TMouseButton::Middle,
                          keys, x, y);
            break;
        case WM_MOUSEMOVE:
            if (OnMouseMove) OnMouseMove(keys, x, y);
            break;
    }
    return false;  // the track bar still handles the mouse itself
}
