// Window and full-screen modes of the movie window, as arithmetic: the mode
// values, the size and place of the window in window mode, the display mode
// asked for in full screen, and where the video goes inside the window.
// The controller reads the settings and the window's state, calls these, and
// applies the results to the movie window. Free of any Windows API.
#pragma once

#include "display/UDisplayModeList.h"

struct TLayoutSize {
    int Width = 0;
    int Height = 0;
};

struct TLayoutRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// Window mode ("\Common\WindowMode\").
struct TWindowModeValues {
    bool Center = true;  // "PlayCenter"
    int Left = 0;        // "Left"
    int Top = 0;         // "Top"
    int Width = 320;     // computed by PlaceWindowMode
    int Height = 240;
    bool Stretch = false;    // "StretchImage": the video fills the window
    bool KeepAspect = true;  // "KeepAspectRatio"
    int StretchRatio = 100;  // "StretchRatio": client size in percent of the video
    bool TopMost = false;    // "TopMost"
    int LayerAlpha = 128;    // "LayerAlpha" (127 when read without a value)
};

// Full-screen mode ("\Common\FullScreenMode\").
struct TFullScreenValues {
    TDisplayMode Mode{640, 480, 8, 0};  // FullScreenModeRecord
    bool Stretch = false;               // "StretchImage" (on when read without a value)
    bool KeepAspect = true;             // "KeepAspectRatio"
};

struct TMovieModes {
    bool FullScreen = false;
    bool ChangeDisplayMode = true;  // "ChangeDisplayMode" of the environment
    TWindowModeValues Window;
    TFullScreenValues Full;

    // The flags of the mode in use: full screen's while it is on.
    bool Stretch() const { return FullScreen ? Full.Stretch : Window.Stretch; }
    bool KeepAspect() const { return FullScreen ? Full.KeepAspect : Window.KeepAspect; }
    void SetStretch(bool on) { (FullScreen ? Full.Stretch : Window.Stretch) = on; }
    // A size menu: the ratio, and the window stops filling.
    void SetStretchRatio(int ratio)
    {
        Window.StretchRatio = ratio;
        Window.Stretch = false;
    }
    // The centre flag as the menus show it: on in full screen.
    bool CenterShown() const { return FullScreen || Window.Center; }
};

// size x ratio / 100, truncated; kept within 0..INT_MAX.
int ScaleByRatio(int size, int ratio);

// Size and place of window mode for a newly loaded entry. values holds what
// was read; Left and Top only matter when Center is off (the controller reads
// them with the window's current edges as defaults). Width and height become
// the video size scaled by the ratio, or the window's current size when the
// window fills or there is no video; a centred window is placed by its
// current size on the screen.
void PlaceWindowMode(TWindowModeValues& values, bool hasVideo, TLayoutSize video, const TLayoutRect& window,
                     TLayoutSize screen);

// The display mode full screen asks for: with detection the listed mode
// nearest to the video size (any depth, default refresh rate), otherwise the
// mode read from the settings.
TDisplayMode FullScreenModeFor(bool autoDetect, const TDisplayMode& fixed, TLayoutSize video,
                               const TDisplayModeList& modes);

// A window of the given size centred on the screen.
TLayoutRect CenteredBounds(TLayoutSize screen, TLayoutSize window);

// The window's bounds on leaving full screen: centred at the size it has,
// or the window-mode place and size.
TLayoutRect BoundsAfterFullScreen(const TMovieModes& modes, TLayoutSize screen, TLayoutSize window);

// What UpdateVideoLayout does, in this order: when Resize, set the window's
// bounds to Bounds (so that its client area takes the scaled video size);
// when Center, centre the window at its new size; then put the video at
// Video inside the client area and show the window.
struct TVideoLayout {
    bool Resize = false;
    TLayoutRect Bounds;
    bool Center = false;
    TLayoutRect Video;
};

// area: the window's whole size in full screen, its client area otherwise;
// window: its current bounds. Only for media with video.
TVideoLayout ComputeVideoLayout(const TMovieModes& modes, TLayoutSize area, TLayoutSize video,
                                const TLayoutRect& window);
