#include "playback/ULayerTimers.h"

#include <climits>

bool TLayerTimers::SetLayerWait(int milliseconds)
{
    if (milliseconds < 0) return false;
    FWait = milliseconds;
    if (FWait == 0) {
        // A zero interval would tick as fast as the system allows.
        FOnTimer = false;
        FOffTimer = false;
        FTrackMouse = false;
    }
    return true;
}

int TLayerTimers::OffInterval() const { return FWait > INT_MAX / 2 ? INT_MAX : 2 * FWait; }

bool TLayerTimers::ApplyTopMost(bool on)
{
    bool leaveLayered = false;
    if (on && FWait > 0) {
        FTrackMouse = true;
        FOnTimer = true;
    } else {
        FTrackMouse = false;
        FOnTimer = false;
        leaveLayered = true;
    }
    FOffTimer = false;
    return leaveLayered;
}

bool TLayerTimers::MouseMoved(bool layered, bool captured)
{
    if (!FTrackMouse) return false;  // the handler is detached
    FOnTimer = false;
    if (layered || captured) return false;
    FOnTimer = true;
    return true;
}

TLayerChange TLayerTimers::Tick(bool offTimer, bool fullScreen, bool cursorInside)
{
    if (fullScreen) return TLayerChange::None;
    if (offTimer ? !FOffTimer : !FOnTimer) return TLayerChange::None;  // a late tick
    if (!offTimer) {
        if (!cursorInside) return TLayerChange::None;
        FOnTimer = false;
        FOffTimer = true;
        return TLayerChange::On;
    }
    if (cursorInside) return TLayerChange::None;
    FOnTimer = true;
    FOffTimer = false;
    return TLayerChange::Off;
}

bool CursorInside(bool showing, int x, int y, int left, int top, int right, int bottom)
{
    return showing && left < x && x < right && top < y && y < bottom;
}
