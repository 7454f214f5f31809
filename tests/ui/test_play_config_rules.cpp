// The playback settings dialog's arithmetic: volume texts, translucency
// percentages and the choice of a listed display mode and rate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/UException.h"
#include "ui/UPlayConfigRules.h"

using namespace PlayConfig;

TEST(PlayConfigRules, VolumeTexts)
{
    EXPECT_EQ("100.0", FormatVolume(100));
    EXPECT_EQ("12.5", FormatVolume(12.5));
    EXPECT_EQ("12.3", FormatVolume(0.123 * 100));  // no float noise
    EXPECT_EQ("0.0001", FormatVolume(1e-4));       // no exponent

    double v = -1;
    for (const char* ok : {"0", "100", "100.0", " 55.5 ", "5e1", "-0", ".5"})
        EXPECT_TRUE(ParseVolume(ok, v)) << ok;
    EXPECT_EQ(0.0, (ParseVolume("-0", v), v));
    for (const char* bad : {"", "150", "100.01", "-1", "abc", "5x", "0x10", "inf", "nan", ".", "1e"})
        EXPECT_FALSE(ParseVolume(bad, v)) << bad;

    EXPECT_EQ("100.0", StepVolume("95.0", true));
    EXPECT_EQ("0.0", StepVolume("5.5", false));
    EXPECT_EQ("65.5", StepVolume("55.5", true));
    try {
        StepVolume("abc", true);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(VolumeRangeMessage, e.what());
    }
}

TEST(PlayConfigRules, TranslucencyPercent)
{
    EXPECT_EQ(50, AlphaToPercent(127));
    EXPECT_EQ(128, PercentToAlpha(50));
    EXPECT_EQ(255, PercentToAlpha(0));
    EXPECT_EQ(0, PercentToAlpha(100));
    EXPECT_EQ(0, AlphaToPercent(255));
    EXPECT_EQ(100, AlphaToPercent(0));
    EXPECT_EQ(0, AlphaToPercent(400));  // stored values out of range are held to 0..100
    EXPECT_EQ(100, AlphaToPercent(-50));
    // OK without a change keeps any alpha in range; a changed percentage converts.
    for (int32_t alpha = 0; alpha <= 255; ++alpha)
        ASSERT_EQ(alpha, PercentToAlpha(AlphaToPercent(alpha), alpha));
    EXPECT_EQ(128, PercentToAlpha(50, 90));
    EXPECT_EQ(255, PercentToAlpha(0, 400));
}

TEST(PlayConfigRules, ListedModeAndRate)
{
    const TDisplayModeList list(std::vector<TDisplayMode>{
        {640, 480, 16, 60}, {320, 240, 8, 0}, {640, 480, 32, 75}, {640, 480, 32, 60}, {800, 600, 32, 0}});
    // Sorted: 320x240x8, 640x480x16@60, 640x480x32@60, 640x480x32@75, 800x600x32.
    EXPECT_EQ("640x480, 16bit", ModeText(list[1]));
    EXPECT_EQ(3, SelectModeIndex(list, 640, 480, 0));  // the last of any depth
    EXPECT_EQ(1, SelectModeIndex(list, 640, 480, 16));
    EXPECT_EQ(0, SelectModeIndex(list, 640, 480, 24));  // only at other depths: the first item
    EXPECT_EQ(0, SelectModeIndex(list, 1024, 768, 0));

    const std::vector<int32_t> rates = list.RefreshRatesOf(list[3]);
    ASSERT_EQ((std::vector<int32_t>{0, 60, 75}), rates);
    EXPECT_EQ(2, SelectRateIndex(rates, 75));
    EXPECT_EQ(0, SelectRateIndex(rates, 85));
    EXPECT_EQ(0, SelectRateIndex(rates, 0));
}
