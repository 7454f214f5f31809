// Volume, the movie window's keys and the translucency timers.
#include "playback/ULayerTimers.h"
#include "playback/UMediaMath.h"
#include "playback/UMovieKeys.h"
#include "playback/UVolume.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#ifdef _WIN32
#include <windows.h>
static_assert(MovieKey::Enter == VK_RETURN && MovieKey::Escape == VK_ESCAPE && MovieKey::Left == VK_LEFT &&
                  MovieKey::Up == VK_UP && MovieKey::Right == VK_RIGHT && MovieKey::Down == VK_DOWN &&
                  MovieKey::F4 == VK_F4,
              "movie keys are virtual-key codes");
#endif

TEST(Volume, SliderTimesBaseVolumeWithMuteInBetween)
{
    TVolume v;
    EXPECT_TRUE(v.SetPercent(50));
    EXPECT_TRUE(v.SetBaseVolume(0.5));
    EXPECT_DOUBLE_EQ(v.Gain(), 0.25);
    EXPECT_EQ(GainToVolumeLevel(v.Gain()), -1204);

    EXPECT_TRUE(v.SetMuted(true));
    EXPECT_FALSE(v.SetPercent(60));  // stored; silence stays
    EXPECT_EQ(v.Gain(), 0.0);
    EXPECT_TRUE(v.SetMuted(false));
    EXPECT_DOUBLE_EQ(v.Gain(), 0.3);

    EXPECT_FALSE(v.SetPercent(60));  // unchanged: nothing to apply
    EXPECT_TRUE(v.SetPercent(250));
    EXPECT_EQ(v.Percent(), 100);
    EXPECT_TRUE(v.SetPercent(-3));
    EXPECT_EQ(v.Percent(), 0);

    v.SetBaseVolume(2.5);
    EXPECT_EQ(v.BaseVolume(), 1.0);
    v.SetBaseVolume(-0.2);
    EXPECT_EQ(v.BaseVolume(), 0.0);
    v.SetBaseVolume(std::nan(""));
    EXPECT_EQ(v.BaseVolume(), 1.0);
}

TEST(MovieKeys, ModifiersAreTestedOnlyWhereNamed)
{
    using C = TMovieKeyCommand;
    struct Case {
        int key;
        bool ctrl, alt, full;
        C command;
    } const cases[] = {
        {MovieKey::Enter, true, true, false, C::ToggleFullScreen},
        {MovieKey::Enter, true, false, true, C::None},
        {MovieKey::Escape, false, false, false, C::None},
        {MovieKey::Escape, true, true, true, C::LeaveFullScreen},
        {MovieKey::Right, true, true, false, C::PlayNext},
        {MovieKey::Right, false, false, false, C::None},
        {MovieKey::P, false, true, false, C::None},
        {MovieKey::T, true, false, false, C::ToggleTopMost},
        {MovieKey::F4, true, true, false, C::HideMovieWindow},
        {MovieKey::F4, false, true, true, C::Terminate},
        {MovieKey::F4, false, false, false, C::None},
        {'Q', true, true, false, C::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.key << " ctrl " << c.ctrl << " alt " << c.alt << " full " << c.full);
        EXPECT_EQ(MovieKeyCommand(c.key, c.ctrl, c.alt, c.full), c.command);
    }
}

TEST(LayerTimers, RestingMouseSwitchesTranslucencyBackAndForth)
{
    TLayerTimers t;
    ASSERT_TRUE(t.SetLayerWait(400));
    EXPECT_EQ(t.OffInterval(), 800);
    EXPECT_FALSE(t.ApplyTopMost(true));
    EXPECT_TRUE(t.OnTimer() && t.TrackMouse());

    EXPECT_TRUE(t.MouseMoved(false, false));  // the wait starts again
    EXPECT_FALSE(t.MouseMoved(false, true));  // captured: the timer stays off
    EXPECT_FALSE(t.OnTimer());
    t.MouseMoved(false, false);
    EXPECT_EQ(t.Tick(false, false, false), TLayerChange::None);  // cursor outside
    EXPECT_EQ(t.Tick(false, true, true), TLayerChange::None);    // full screen
    EXPECT_EQ(t.Tick(false, false, true), TLayerChange::On);
    EXPECT_TRUE(!t.OnTimer() && t.OffTimer());
    EXPECT_EQ(t.Tick(false, false, true), TLayerChange::None);  // late tick of a stopped timer
    EXPECT_EQ(t.Tick(true, false, true), TLayerChange::None);   // still inside
    EXPECT_EQ(t.Tick(true, false, false), TLayerChange::Off);
    EXPECT_TRUE(t.OnTimer() && !t.OffTimer());

    EXPECT_TRUE(t.ApplyTopMost(false));
    EXPECT_FALSE(t.MouseMoved(false, false));
    EXPECT_FALSE(t.OnTimer() || t.OffTimer() || t.TrackMouse());

    EXPECT_TRUE(CursorInside(true, 1, 1, 0, 0, 320, 240));
    EXPECT_FALSE(CursorInside(true, 0, 100, 0, 0, 320, 240));
    EXPECT_FALSE(CursorInside(false, 100, 100, 0, 0, 320, 240));
}

TEST(LayerTimers, ZeroWaitNeverRunsATimer)
{
    TLayerTimers t;
    EXPECT_TRUE(t.ApplyTopMost(true));
    EXPECT_FALSE(t.OnTimer() || t.TrackMouse() || t.LayeredAllowed());
    t.SetLayerWait(250);
    t.ApplyTopMost(true);
    EXPECT_FALSE(t.SetLayerWait(-1));
    EXPECT_EQ(t.LayerWait(), 250);
    t.SetLayerWait(0);  // another list made current
    EXPECT_FALSE(t.OnTimer() || t.OffTimer() || t.TrackMouse());
    t.SetLayerWait(INT_MAX);
    EXPECT_EQ(t.OffInterval(), INT_MAX);
}
