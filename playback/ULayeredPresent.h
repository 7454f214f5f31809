// The layered presentation of the movie window: the frame bitmap put on
// screen as the whole window's surface with UpdateLayeredWindow, at a
// constant alpha, and the window's switch into and out of it. Both layered
// window entry points of user32 are looked up at run time; either may be
// missing.
#pragma once

#include <windows.h>

#include "playback/USimpleDIB.h"

typedef BOOL(WINAPI* TUpdateLayeredWindowProc)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                               BLENDFUNCTION*, DWORD);
typedef BOOL(WINAPI* TSetLayeredWindowAttributesProc)(HWND, COLORREF, BYTE, DWORD);

struct TLayeredApi {
    TUpdateLayeredWindowProc UpdateLayeredWindow = nullptr;
    TSetLayeredWindowAttributesProc SetLayeredWindowAttributes = nullptr;
};

// user32's two entry points, looked up on the first call.
const TLayeredApi& LayeredApi();

// True when the layered presentation can be used at all (user32 has
// UpdateLayeredWindow); LayeredAllowed stays false for the run otherwise.
inline bool LayeredPresentationAvailable() { return LayeredApi().UpdateLayeredWindow != nullptr; }

// Puts frame on screen as the window's surface, covering its whole outer
// rectangle, at constant alpha. The caller holds FrameLock. Returns
// UpdateLayeredWindow's result (false too without it); callers ignore it.
bool PresentLayeredFrame(HWND wnd, TSimpleDIB& frame, BYTE alpha, const TLayeredApi& api = LayeredApi());

// A new alpha while the window is layered: shown at once by presenting the
// frame again with it. (SetLayeredWindowAttributes on a window fed by
// UpdateLayeredWindow would make every later UpdateLayeredWindow fail and
// freeze the picture, so it is used only where UpdateLayeredWindow is
// missing.) Nothing when not layered or without a window. The caller holds
// FrameLock.
void ApplyLayerAlpha(HWND wnd, bool layered, TSimpleDIB& frame, BYTE alpha,
                     const TLayeredApi& api = LayeredApi());

// Steps 2 and 3 of switching the layered presentation, for a window that
// exists, with FrameLock held: set or clear WS_EX_LAYERED |
// WS_EX_TRANSPARENT; on: clear the frame and present it (a black window
// until the first sample arrives); off: let the frame be redrawn
// (SWP_FRAMECHANGED). The caller then posts WM_PLAYER_SYNCVIDEO.
void SwitchLayeredStyle(HWND wnd, bool on, TSimpleDIB& frame, BYTE alpha,
                        const TLayeredApi& api = LayeredApi());
