#include "playback/UVideoLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "playback/UMediaMath.h"

namespace {

int Saturate(std::int64_t v)
{
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

int ScaleByRatio(int size, int ratio)
{
    std::int64_t v = static_cast<std::int64_t>(size) * ratio / 100;
    return v < 0 ? 0 : Saturate(v);
}

void PlaceWindowMode(TWindowModeValues& values, bool hasVideo, TLayoutSize video, const TLayoutRect& window,
                     TLayoutSize screen)
{
    if (values.Stretch || !hasVideo) {
        values.Width = window.Width;
        values.Height = window.Height;
    } else {
        values.Width = ScaleByRatio(video.Width, values.StretchRatio);
        values.Height = ScaleByRatio(video.Height, values.StretchRatio);
    }
    if (values.Center) {
        TLayoutRect r = CenteredBounds(screen, {window.Width, window.Height});
        values.Left = r.Left;
        values.Top = r.Top;
    }
}

TDisplayMode FullScreenModeFor(bool autoDetect, const TDisplayMode& fixed, TLayoutSize video,
                               const TDisplayModeList& modes)
{
    if (!autoDetect) return fixed;
    return modes.FindNearestMode(video.Width, video.Height, 0);
}

TLayoutRect CenteredBounds(TLayoutSize screen, TLayoutSize window)
{
    return {Saturate((static_cast<std::int64_t>(screen.Width) - window.Width) / 2),
            Saturate((static_cast<std::int64_t>(screen.Height) - window.Height) / 2), window.Width,
            window.Height};
}

TLayoutRect BoundsAfterFullScreen(const TMovieModes& modes, TLayoutSize screen, TLayoutSize window)
{
    if (modes.Window.Center) return CenteredBounds(screen, window);
    const TWindowModeValues& w = modes.Window;
    return {w.Left, w.Top, w.Width, w.Height};
}

TVideoLayout ComputeVideoLayout(const TMovieModes& modes, TLayoutSize area, TLayoutSize video,
                                const TLayoutRect& window)
{
    TVideoLayout layout;
    int vw = video.Width;
    int vh = video.Height;
    if (modes.Stretch()) {
        if (!modes.KeepAspect()) {
            layout.Video = {0, 0, area.Width, area.Height};
            return layout;
        }
        if (vw > 0 && vh > 0) {
            double s = std::min(static_cast<double>(area.Height) / vh, static_cast<double>(area.Width) / vw);
            vw = RoundHalfEven(vw * s);
            vh = RoundHalfEven(vh * s);
        }
    } else if (!modes.FullScreen) {
        vw = ScaleByRatio(vw, modes.Window.StretchRatio);
        vh = ScaleByRatio(vh, modes.Window.StretchRatio);
        // The frame around the client area keeps its size.
        layout.Resize = true;
        layout.Bounds = {window.Left, window.Top,
                         Saturate(static_cast<std::int64_t>(window.Width) + vw - area.Width),
                         Saturate(static_cast<std::int64_t>(window.Height) + vh - area.Height)};
        layout.Center = modes.Window.Center;
        layout.Video = {0, 0, vw, vh};
        return layout;
    }
    layout.Video = {Saturate((static_cast<std::int64_t>(area.Width) - vw) / 2),
                    Saturate((static_cast<std::int64_t>(area.Height) - vh) / 2), vw, vh};
    return layout;
}
