// The movie window's creation parameters and style bits. Free of any
// Windows API: the style values are the Windows constants.
#pragma once

#include <cstdint>

namespace MovieStyle {
constexpr std::uint32_t Popup = 0x80000000;         // WS_POPUP
constexpr std::uint32_t ClipChildren = 0x02000000;  // WS_CLIPCHILDREN
constexpr std::uint32_t ThickFrame = 0x00040000;    // WS_THICKFRAME
constexpr std::uint32_t AppWindow = 0x00040000;     // WS_EX_APPWINDOW
constexpr std::uint32_t TopMost = 0x00000008;       // WS_EX_TOPMOST
constexpr std::uint32_t Layered = 0x00080000;       // WS_EX_LAYERED
constexpr std::uint32_t Transparent = 0x00000020;   // WS_EX_TRANSPARENT
// Both bits of the layered, click-through presentation.
constexpr std::uint32_t LayeredBits = Layered | Transparent;
}  // namespace MovieStyle

constexpr char MovieWindowCaption[] = "Movie Window";
constexpr int MovieWindowWidth = 320;
constexpr int MovieWindowHeight = 240;
constexpr std::uint8_t DefaultLayerAlpha = 127;

std::uint32_t MovieWindowStyle(bool sizableFrame);
std::uint32_t MovieWindowExStyle(bool layered, bool topMost);
// style with bits set (on) or cleared.
std::uint32_t WithStyleBits(std::uint32_t style, std::uint32_t bits, bool on);

// CreateWindowEx's arguments for the movie window: hidden (no WS_VISIBLE),
// 320 x 240 centred on a screen of the given size. Its parent is the desktop
// window, so that it is a top-level window with its own taskbar button.
struct TMovieWindowParams {
    const char* Caption = MovieWindowCaption;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = MovieWindowWidth;
    int Height = MovieWindowHeight;
};
TMovieWindowParams MovieWindowParams(bool sizableFrame, bool layered, bool topMost, int screenWidth,
                                     int screenHeight);

// Half the difference of outer and client size on each axis: where the
// client area starts in the window's outer rectangle (and so in the frame
// bitmap, which covers the whole window).
struct TBorderOffset {
    int X = 0;
    int Y = 0;
};
TBorderOffset BorderOffsetOf(int outerWidth, int outerHeight, int clientWidth, int clientHeight);
