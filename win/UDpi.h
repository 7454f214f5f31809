// Scaling to the display. Forms and their controls are laid out in design
// units: pixels on a display of 96 dots per inch. A window on a display of
// another scale gets them multiplied by its DPI / 96; each window has the DPI
// of the monitor it is on (Windows 10 1607 and later; before that, and where
// a call is missing, the system's DPI stands for every monitor).
//
// A top-level window's DPI is recorded on it (SetWindowDpi) when it is made
// and when it moves to a monitor of another scale; its children take it
// from there. A child placed in design units keeps its design rectangle
// (SetDesignBounds), so that it can be placed again for another DPI without
// rounding piling up.
#pragma once

#include <windows.h>

constexpr UINT DesignDpi = 96;

// Design units at dpi, rounded to the nearest pixel.
int ScaleToDpi(int units, UINT dpi);
// Pixels at dpi in design units.
int ScaleFromDpi(int pixels, UINT dpi);
// A rectangle in design units at dpi. Its edges are scaled, so that
// rectangles that touch in design units touch at every DPI.
RECT ScaleRectToDpi(int left, int top, int width, int height, UINT dpi);

// The DPI of the system (the primary monitor's when the process started).
UINT SystemDpi();
// The DPI a window is laid out for: its top-level window's recorded one, else
// what Windows gives for the window, else the system's.
UINT WindowDpi(HWND hwnd);
// Records the DPI of a top-level window for it and its children.
void SetWindowDpi(HWND topLevel, UINT dpi);
// What Windows gives for the window (its monitor's DPI), else the system's.
UINT MonitorDpiOfWindow(HWND hwnd);

// GetSystemMetrics as on a display of dpi.
int SystemMetricForDpi(int index, UINT dpi);
// The window rectangle around a client rectangle on a display of dpi.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi);
// The font of message boxes (the UI font) on a display of dpi; null when the
// system does not tell it.
HFONT CreateMessageFontForDpi(UINT dpi);
// A new icon of the module's resource at the size of the system's small
// (SM_CXSMICON) or large (SM_CXICON) icons on a display of dpi; a larger
// image is scaled down rather than a smaller one up. Destroy it with
// DestroyIcon. Null when the module has no such icon.
HICON LoadIconForDpi(HINSTANCE instance, const char* name, bool small, UINT dpi);

// Places a child window at a rectangle in design units for its window's DPI
// and keeps that rectangle on it.
void SetDesignBounds(HWND child, int left, int top, int width, int height);
// Keeps the rectangle on a child already placed there.
void KeepDesignBounds(HWND child, int left, int top, int width, int height);
// The design rectangle kept on a child (left, top, right, bottom); false
// when it has none.
bool DesignBounds(HWND child, RECT& design);
