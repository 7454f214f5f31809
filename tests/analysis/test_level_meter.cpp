#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/ULevelMeter.h"

namespace {

std::vector<std::uint8_t> Pcm16(const std::vector<int>& samples)
{
    std::vector<std::uint8_t> b;
    for (int s : samples) {
        b.push_back(static_cast<std::uint8_t>(s & 0xFF));
        b.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return b;
}

std::vector<std::uint8_t> Pcm24(const std::vector<int>& samples)
{
    std::vector<std::uint8_t> b;
    for (int s : samples)
        for (int i = 0; i < 3; ++i) b.push_back(static_cast<std::uint8_t>((s >> (8 * i)) & 0xFF));
    return b;
}

TLevelTotals Measure(const std::vector<std::uint8_t>& b, int channels, int bytes)
{
    return MeasureLevels(b.data(), b.size(), channels, bytes);
}

}  // namespace

TEST(LevelMeter, StereoFramesAreDownMixedWithTruncation)
{
    // (1000 + 3000 + 1) / 2 = 2000; (-1000 - 2001 + 1) / 2 = -1500.
    TLevelTotals t = Measure(Pcm16({1000, 3000, -1000, -2001}), 2, 2);
    EXPECT_EQ(2000, t.Max);
    EXPECT_EQ(3500.0, t.Sum);
    EXPECT_EQ(2, t.Count);
}

TEST(LevelMeter, FullScaleNegativeIs32768)
{
    TLevelTotals t = Measure(Pcm16({-32768, -32768, -32768}), 1, 2);
    EXPECT_EQ(32768, t.Max);
    EXPECT_EQ(3 * 32768.0, t.Sum);
    // Stereo: (-65536 + 1) / 2 truncates to -32767.
    t = Measure(Pcm16({-32768, -32768}), 2, 2);
    EXPECT_EQ(32767, t.Max);
}

TEST(LevelMeter, AverageRoundsTiesToEven)
{
    EXPECT_EQ(2, AverageLevel(Measure(Pcm16({1, 2}), 1, 2)));        // 1.5
    EXPECT_EQ(1, AverageLevel(Measure(Pcm16({1, 2, 2, 0}), 1, 2)));  // 1.25
    EXPECT_EQ(2, AverageLevel(Measure(Pcm16({2, 3, 2, 3}), 1, 2)));  // 2.5
    EXPECT_EQ(0, AverageLevel(TLevelTotals{}));
}

TEST(LevelMeter, OtherSampleWidths)
{
    // 24-bit: the top 16 bits.
    TLevelTotals t = Measure(Pcm24({0x7FFFFF, -1, -0x800000, 0x000100}), 1, 3);
    EXPECT_EQ(32768, t.Max);
    EXPECT_EQ(32767.0 + 1 + 32768 + 1, t.Sum);
    // 8-bit is unsigned around 128.
    t = Measure({128, 128, 128}, 1, 1);
    EXPECT_EQ(0, t.Max);
    EXPECT_EQ(0.0, t.Sum);
    t = Measure({0, 255, 129}, 1, 1);
    EXPECT_EQ(32768, t.Max);
    EXPECT_EQ(32768.0 + 32512 + 256, t.Sum);
    // Three channels: (-1 - 1 - 1 + 1) / 3 truncates to 0.
    t = Measure(Pcm16({-1, -1, -1, 300, 300, 301}), 3, 2);
    EXPECT_EQ(300, t.Max);
    EXPECT_EQ(2, t.Count);
}

TEST(LevelMeter, OnlyWholeFramesAreRead)
{
    std::vector<std::uint8_t> b = Pcm16({100, 200, 300});
    TLevelTotals t = MeasureLevels(b.data(), 6, 2, 2);  // one frame and a half
    EXPECT_EQ(1, t.Count);
    EXPECT_EQ(150, t.Max);
    t = MeasureLevels(b.data(), 5, 1, 2);
    EXPECT_EQ(2, t.Count);
    EXPECT_EQ(0, MeasureLevels(b.data(), b.size(), 0, 2).Count);
    EXPECT_EQ(0, MeasureLevels(b.data(), b.size(), 2, 0).Count);
    EXPECT_EQ(0, MeasureLevels(nullptr, 100, 2, 2).Count);
}

// The rule frame by frame: a sample's top two bytes as a signed value (one
// byte: unsigned around 128); a frame's total plus channels / 2, divided.
TLevelTotals Rule(const std::uint8_t* p, std::size_t length, int channels, int bytes)
{
    TLevelTotals t;
    const std::size_t frame = static_cast<std::size_t>(channels) * bytes;
    for (std::size_t at = 0; at + frame <= length; at += frame, ++t.Count) {
        long long total = channels / 2;
        for (const std::uint8_t* s = p + at; s < p + at + frame; s += bytes)
            total +=
                bytes == 1 ? (s[0] - 128) * 256 : static_cast<std::int16_t>(s[bytes - 1] << 8 | s[bytes - 2]);
        const int a = static_cast<int>(std::llabs(total / channels));
        t.Max = std::max(t.Max, a);
        t.Sum += a;  // exact, far below 2^53
    }
    return t;
}

bool Same(const TLevelTotals& a, const TLevelTotals& b)
{
    return a.Max == b.Max && a.Sum == b.Sum && a.Count == b.Count;
}

// Every width and channel count against the rule: buffers of any length at
// any alignment, bytes drawn often from the extremes, cut into pieces at frame
// boundaries and merged; and long loud buffers, whose sums pass 2^32.
TEST(LevelMeter, EveryLayoutAgreesWithTheRule)
{
    std::mt19937 rng(7);
    const std::uint8_t extremes[4] = {0x00, 0x7F, 0x80, 0xFF};
    std::vector<std::uint8_t> b(20000);
    for (int round = 0; round < 2000; ++round) {
        const int bytes = 1 + round % 5, channels = 1 + round / 5 % 8;
        const std::size_t offset = rng() % 16, length = rng() % (b.size() - offset), skew = rng() % 4;
        for (std::size_t i = 0; i < offset + length; ++i)
            b[i] = rng() % 4 < skew ? extremes[rng() % 4] : static_cast<std::uint8_t>(rng());
        TLevelTotals merged;
        for (std::size_t at = 0, piece; at < length; at += piece) {
            piece = std::min<std::size_t>(length - at, (rng() % 400 + 1) * channels * bytes);
            merged.Merge(MeasureLevels(b.data() + offset + at, piece, channels, bytes));
        }
        const TLevelTotals expected = Rule(b.data() + offset, length, channels, bytes);
        ASSERT_TRUE(Same(expected, merged) &&
                    Same(expected, MeasureLevels(b.data() + offset, length, channels, bytes)))
            << bytes << " bytes, " << channels << " channels, round " << round;
    }
    for (int bytes : {1, 2, 3})
        for (int channels : {1, 2, 3}) {
            const std::vector<std::uint8_t> loud(300001 * channels * bytes, bytes == 1 ? 0x00 : 0x80);
            EXPECT_TRUE(Same(Rule(loud.data(), loud.size(), channels, bytes), Measure(loud, channels, bytes)))
                << bytes << " bytes, " << channels << " channels";
        }
}

TEST(LevelMeter, PcmFormatBlocks)
{
    // WAVEFORMATEX of 16-bit stereo PCM, and the extensible block sox writes
    // for 24-bit stereo.
    const std::uint8_t pcm[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
    const std::uint8_t extensible[40] = {
        0xFE, 0xFF, 2, 0, 0x44, 0xAC, 0, 0, 0x98, 0x09, 4,    0, 6,    0, 24, 0,    22, 0,    24,   0,
        3,    0,    0, 0, 1,    0,    0, 0, 0,    0,    0x10, 0, 0x80, 0, 0,  0xAA, 0,  0x38, 0x9B, 0x71};
    TPcmLayout l;
    ASSERT_TRUE(PcmLayoutOf(pcm, sizeof pcm, l));
    EXPECT_EQ(2, l.Channels);
    EXPECT_EQ(2, l.BytesPerSample);
    ASSERT_TRUE(PcmLayoutOf(pcm, 16, l));  // PCMWAVEFORMAT without cbSize
    ASSERT_TRUE(PcmLayoutOf(extensible, sizeof extensible, l));
    EXPECT_EQ(2, l.Channels);
    EXPECT_EQ(3, l.BytesPerSample);

    std::uint8_t other[40];
    std::memcpy(other, extensible, sizeof other);
    other[24] = 3;  // IEEE float
    EXPECT_FALSE(PcmLayoutOf(other, sizeof other, l));
    EXPECT_FALSE(PcmLayoutOf(extensible, 30, l));  // cut short
    std::memcpy(other, pcm, sizeof pcm);
    other[0] = 0x55;  // MP3
    EXPECT_FALSE(PcmLayoutOf(other, sizeof pcm, l));
    EXPECT_FALSE(PcmLayoutOf(pcm, 14, l));
    EXPECT_FALSE(PcmLayoutOf(nullptr, 18, l));
}
