#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "playback/UMediaMath.h"

TEST(MediaMath, RoundHalfEvenBreaksTiesToEven)
{
    EXPECT_EQ(2, RoundHalfEven(2.5));
    EXPECT_EQ(4, RoundHalfEven(3.5));
    EXPECT_EQ(-2, RoundHalfEven(-2.5));
    EXPECT_EQ(-4, RoundHalfEven(-3.5));
    EXPECT_EQ(3, RoundHalfEven(2.5000001));
    EXPECT_EQ(-602, RoundHalfEven(-602.06));
    EXPECT_EQ(0, RoundHalfEven(std::nan("")));
}

TEST(MediaMath, StepsFromSeconds)
{
    // A 100 s stream: one step is 0.01 s.
    EXPECT_EQ(0, SecondsToSteps(0.0, 0.01));
    EXPECT_EQ(5000, SecondsToSteps(50.0, 0.01));
    EXPECT_EQ(10000, SecondsToSteps(100.0, 0.01));
    EXPECT_EQ(10000, SecondsToSteps(130.0, 0.01));  // past the end: capped
    EXPECT_EQ(0, SecondsToSteps(-1.0, 0.01));
    EXPECT_EQ(2, SecondsToSteps(0.025, 0.01));  // 2.5 steps: to even
    // A stream with no length has no positions beyond 0.
    EXPECT_EQ(0, SecondsToSteps(3.0, 0.0));
}

TEST(MediaMath, SecondsFromSteps)
{
    const double unit = 61.0 / 10000;  // a 61 s stream
    EXPECT_EQ(0, StepsToSeconds(0, unit));
    EXPECT_EQ(0, StepsToSeconds(-5, unit));
    EXPECT_EQ(61, StepsToSeconds(10000, unit));
    EXPECT_EQ(StepsToSeconds(10000, unit), StepsToSeconds(20000, unit));
    EXPECT_EQ(30, StepsToSeconds(4918, unit));  // 29.9998 s
    EXPECT_EQ(2, StepsToSeconds(2500, 0.001));  // exactly 2.5 s: to even
    EXPECT_EQ(4, StepsToSeconds(3500, 0.001));
}

TEST(MediaMath, VolumeLevels)
{
    EXPECT_EQ(-10000, GainToVolumeLevel(0.0));
    EXPECT_EQ(-10000, GainToVolumeLevel(-0.5));
    EXPECT_EQ(-10000, GainToVolumeLevel(std::nan("")));
    EXPECT_EQ(-10000, GainToVolumeLevel(1e-9));  // -18000: clamped
    EXPECT_EQ(-10000, GainToVolumeLevel(std::numeric_limits<double>::denorm_min()));
    EXPECT_EQ(-602, GainToVolumeLevel(0.5));
    EXPECT_EQ(-2000, GainToVolumeLevel(0.1));
    EXPECT_EQ(0, GainToVolumeLevel(1.0));
    EXPECT_EQ(0, GainToVolumeLevel(4.0));
    EXPECT_EQ(0, GainToVolumeLevel(std::numeric_limits<double>::infinity()));
}

TEST(MediaMath, DirectShowErrorMessage)
{
    EXPECT_EQ("Unspecified error\r\nError Code: 80004005",
              DSErrorMessage("Unspecified error", static_cast<std::int32_t>(0x80004005u)));
    EXPECT_EQ("\r\nError Code: 0000000A", DSErrorMessage("", 10));
}
