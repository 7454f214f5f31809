// Window and full-screen arithmetic: the window-mode size and place of a new
// entry, the video's rectangle in each mode, the full-screen display mode.
#include "playback/UVideoLayout.h"

#include <gtest/gtest.h>

#include <climits>

static bool operator==(const TLayoutRect& a, const TLayoutRect& b)
{
    return a.Left == b.Left && a.Top == b.Top && a.Width == b.Width && a.Height == b.Height;
}

static std::ostream& operator<<(std::ostream& os, const TLayoutRect& r)
{
    return os << "(" << r.Left << ", " << r.Top << ", " << r.Width << " x " << r.Height << ")";
}

static const TLayoutSize Screen{1024, 768};

TEST(VideoLayout, WindowModeSizesTheClientAreaByTheRatio)
{
    TMovieModes modes;
    modes.SetStretchRatio(200);
    // A framed window, 8 wider and 27 higher than its client area.
    TVideoLayout l = ComputeVideoLayout(modes, {320, 240}, {320, 240}, {10, 20, 328, 267});
    ASSERT_TRUE(l.Resize);
    EXPECT_EQ(l.Bounds, (TLayoutRect{10, 20, 648, 507}));
    EXPECT_TRUE(l.Center);
    EXPECT_EQ(l.Video, (TLayoutRect{0, 0, 640, 480}));
    EXPECT_EQ(CenteredBounds(Screen, {648, 507}), (TLayoutRect{188, 130, 648, 507}));

    modes.Window.Center = false;
    modes.SetStretchRatio(50);
    l = ComputeVideoLayout(modes, {640, 480}, {321, 241}, {10, 20, 648, 507});
    EXPECT_FALSE(l.Center);
    EXPECT_EQ(l.Bounds, (TLayoutRect{10, 20, 168, 147}));
    EXPECT_EQ(l.Video, (TLayoutRect{0, 0, 160, 120}));  // truncated

    modes.SetStretchRatio(INT_MAX);  // a hand-edited ratio saturates
    l = ComputeVideoLayout(modes, {320, 240}, {720, 576}, {0, 0, 328, 267});
    EXPECT_EQ(l.Video.Width, INT_MAX);
    EXPECT_EQ(l.Bounds.Width, INT_MAX);
    EXPECT_EQ(ScaleByRatio(720, -50), 0);
}

TEST(VideoLayout, StretchFillsOrFitsWithTiesToEven)
{
    TMovieModes modes;
    modes.SetStretch(true);
    const TLayoutRect window{0, 0, 808, 427};
    TVideoLayout l = ComputeVideoLayout(modes, {800, 400}, {320, 240}, window);
    EXPECT_FALSE(l.Resize);
    EXPECT_EQ(l.Video, (TLayoutRect{133, 0, 533, 400}));
    // Scale 2.5: 12.5 and 17.5 go to the even neighbour.
    EXPECT_EQ(ComputeVideoLayout(modes, {100, 5}, {5, 2}, window).Video, (TLayoutRect{44, 0, 12, 5}));
    EXPECT_EQ(ComputeVideoLayout(modes, {100, 5}, {7, 2}, window).Video, (TLayoutRect{41, 0, 18, 5}));
    EXPECT_EQ(ComputeVideoLayout(modes, {800, 400}, {0, 0}, window).Video, (TLayoutRect{400, 200, 0, 0}));

    modes.Window.KeepAspect = false;
    EXPECT_EQ(ComputeVideoLayout(modes, {800, 400}, {320, 240}, window).Video, (TLayoutRect{0, 0, 800, 400}));
}

TEST(VideoLayout, FullScreenUsesItsOwnFlagsAndCentresTheNativeSize)
{
    TMovieModes modes;
    modes.FullScreen = true;
    modes.Window.Stretch = true;  // not the flag of this mode
    EXPECT_TRUE(modes.CenterShown());
    TVideoLayout l = ComputeVideoLayout(modes, {640, 480}, {720, 576}, {0, 0, 640, 480});
    EXPECT_FALSE(l.Resize);
    EXPECT_EQ(l.Video, (TLayoutRect{-40, -48, 720, 576}));
    // Halves are cut toward zero, also below zero.
    EXPECT_EQ(ComputeVideoLayout(modes, {639, 479}, {720, 576}, {}).Video, (TLayoutRect{-40, -48, 720, 576}));

    modes.SetStretch(true);
    EXPECT_EQ(ComputeVideoLayout(modes, {1024, 768}, {720, 576}, {}).Video, (TLayoutRect{32, 0, 960, 768}));
    modes.SetStretchRatio(50);  // the size menus change window mode only
    EXPECT_FALSE(modes.Window.Stretch);
    EXPECT_TRUE(modes.Full.Stretch);
}

TEST(VideoLayout, WindowPlaceForANewEntryAndAfterFullScreen)
{
    const TLayoutRect window{100, 50, 400, 300};
    TWindowModeValues v;
    v.StretchRatio = 150;
    PlaceWindowMode(v, true, {320, 240}, window, Screen);
    EXPECT_EQ((TLayoutRect{v.Left, v.Top, v.Width, v.Height}), (TLayoutRect{312, 234, 480, 360}));
    v.Center = false;
    v.Left = -7;
    v.Top = 9;
    PlaceWindowMode(v, false, {}, window, Screen);  // sound only: the window keeps its size
    EXPECT_EQ((TLayoutRect{v.Left, v.Top, v.Width, v.Height}), (TLayoutRect{-7, 9, 400, 300}));

    TMovieModes modes;
    EXPECT_EQ(BoundsAfterFullScreen(modes, Screen, {400, 300}), (TLayoutRect{312, 234, 400, 300}));
    modes.Window = v;
    EXPECT_EQ(BoundsAfterFullScreen(modes, Screen, {1024, 768}), (TLayoutRect{-7, 9, 400, 300}));
}

TEST(VideoLayout, FullScreenModeIsDetectedFromTheVideoOrFixed)
{
    TDisplayModeList list(
        std::vector<TDisplayMode>{{640, 480, 32, 60}, {800, 600, 32, 60}, {1024, 768, 32, 60}});
    const TDisplayMode fixed{1024, 768, 16, 70};
    EXPECT_EQ(FullScreenModeFor(true, fixed, {720, 576}, list), (TDisplayMode{800, 600, 32, 0}));
    EXPECT_EQ(FullScreenModeFor(false, fixed, {720, 576}, list), fixed);
}
