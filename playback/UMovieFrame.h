// The movie window's frame as the presentation changes it: the sizing
// frame, top-most, dragging moves, the border offset and the activation
// hand-over. Thin Windows wrappers around the rules of UMovieWindowStyle.
#pragma once

#include <windows.h>

#include "playback/UMovieWindowStyle.h"

// Where the client area starts inside the window's outer rectangle.
TBorderOffset ReadBorderOffset(HWND wnd);

// Sets or clears WS_THICKFRAME, lets the frame be redrawn and returns the
// new border offset.
TBorderOffset SetWindowSizableFrame(HWND wnd, bool on);

// HWND_TOPMOST or HWND_NOTOPMOST, keeping place and size.
void SetWindowTopMost(HWND wnd, bool on);

// Moves the window by (dx, dy), keeping its size (a drag step).
void MoveWindowBy(HWND wnd, int dx, int dy);

// WM_ACTIVATE: when the window is activated from another window of its own
// thread, Windows sends no WM_ACTIVATEAPP; it is sent here so that the
// window's activation handling always runs. Call before OnActivate.
void ForwardActivateApp(HWND wnd, WPARAM wParam, LPARAM lParam);
