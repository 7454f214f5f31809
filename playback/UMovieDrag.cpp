#include "playback/UMovieDrag.h"

#include <cstdlib>

void TDragTracker::ButtonDown(int x, int y, bool sizable)
{
    if (!sizable) return;
    StartX = x;
    StartY = y;
}

bool TDragTracker::MouseMove(int x, int y, bool sizable, TDragOffset& offset)
{
    if (!sizable || !Pressed()) return false;
    // 64-bit: the press and the mouse are 16-bit values, but nothing here
    // should overflow whatever the window passes in.
    const long long dx = static_cast<long long>(x) - StartX;
    const long long dy = static_cast<long long>(y) - StartY;
    if (std::llabs(dx) <= DragThreshold && std::llabs(dy) <= DragThreshold) return false;
    offset.X = static_cast<int>(dx);
    offset.Y = static_cast<int>(dy);
    Moved = true;
    return true;
}

bool TDragTracker::ButtonUp(bool sizable)
{
    StartX = StartY = NoDragPosition;
    if (!sizable || !Moved) return false;
    Moved = false;
    return true;
}
