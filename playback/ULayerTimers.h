// Translucency of a top-most movie window under a resting mouse: the rules
// behind the controller's two timers. LayerOnTimer (interval: the layer wait)
// turns the window layered once the cursor has rested inside it;
// LayerOffTimer (twice the wait) turns it back once the cursor has left.
// The controller mirrors OnTimer(), OffTimer() and TrackMouse() onto its
// timers and the movie window's mouse-move handler after every call.
// Free of any Windows API.
#pragma once

enum class TLayerChange { None, On, Off };

class TLayerTimers {
public:
    int LayerWait() const { return FWait; }
    // Negative values are ignored (false). 0 switches the feature off and
    // stops both timers at once.
    bool SetLayerWait(int milliseconds);
    // The movie window's SetLayeredAllowed.
    bool LayeredAllowed() const { return FWait > 0; }
    int OnInterval() const { return FWait; }
    int OffInterval() const;  // twice the wait, at most INT_MAX

    bool OnTimer() const { return FOnTimer; }
    bool OffTimer() const { return FOffTimer; }
    bool TrackMouse() const { return FTrackMouse; }

    // The timer half of ApplyTopMost(on). True when the window must leave
    // the layered state (SetLayered off).
    bool ApplyTopMost(bool on);

    // The mouse moved over the movie window (ignored unless TrackMouse()).
    // LayerOnTimer stops; true when it is to be started again, which
    // restarts its full interval.
    bool MouseMoved(bool layered, bool captured);

    // A tick of one of the timers (offTimer: LayerOffTimer ticked). Nothing
    // happens in full screen or for a timer that is not running.
    TLayerChange Tick(bool offTimer, bool fullScreen, bool cursorInside);

private:
    int FWait = 0;
    bool FOnTimer = false;
    bool FOffTimer = false;
    bool FTrackMouse = false;
};

// The cursor (client coordinates) counts as inside when the window is
// showing and the point lies strictly inside the client rectangle.
bool CursorInside(bool showing, int x, int y, int left, int top, int right, int bottom);
