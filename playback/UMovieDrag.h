// Dragging the movie window by its client area: the left button is pressed,
// the mouse moves more than DragThreshold pixels on an axis, and the window
// follows the mouse; on release the controller learns that the window was
// moved. Only a window with a sizing frame can be dragged. Free of any
// Windows API: the window feeds in its mouse messages and moves itself.
#pragma once

#include <cstdint>

// A move of at most this many pixels on both axes from the press is no drag.
constexpr int DragThreshold = 5;
// DragStart's value for "no press".
constexpr std::int32_t NoDragPosition = INT32_MIN;  // 0x80000000

// The client coordinates packed into a mouse message's lParam: signed 16-bit
// values (negative left of or above the client area while captured).
inline int MouseX(std::uintptr_t lParam) { return static_cast<std::int16_t>(lParam & 0xFFFF); }
inline int MouseY(std::uintptr_t lParam) { return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF); }

struct TDragOffset {
    int X = 0;
    int Y = 0;
};

class TDragTracker {
public:
    // Left button down at client (x, y). Nothing without a sizing frame.
    void ButtonDown(int x, int y, bool sizable);
    // Mouse at client (x, y). True when the window is to be moved by offset
    // (keeping its size); the window is then taken to have moved.
    bool MouseMove(int x, int y, bool sizable, TDragOffset& offset);
    // Left button up. True when the window was dragged since the press (and
    // still has its sizing frame): raise OnDragMoved.
    bool ButtonUp(bool sizable);

    bool Pressed() const { return StartX != NoDragPosition; }
    std::int32_t DragStartX() const { return StartX; }
    std::int32_t DragStartY() const { return StartY; }
    bool DragMoved() const { return Moved; }

private:
    std::int32_t StartX = NoDragPosition;
    std::int32_t StartY = NoDragPosition;
    bool Moved = false;
};
