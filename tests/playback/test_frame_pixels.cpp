// Drawing a video sample into the frame bitmap's pixels: orientation, pixel
// formats, stretching, clipping, and samples that do not hold their format.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "playback/UFramePixels.h"

namespace {

// A distinct colour (blue, green, red) for every picture coordinate.
std::uint32_t Colour(int x, int y) { return (10u + x) | (100u + y) << 8 | (200u + x + y) << 16; }
const std::uint32_t NotDrawn = 0x555555;

TSampleFormat Format(int w, int h, int bits) { return TSampleFormat{w, h, std::uint16_t(bits), 0}; }

// Pixels at (x, y) of a DIB-shaped buffer, either orientation and size.
std::uint8_t* At(std::vector<std::uint8_t>& d, int w, int h, int bits, bool bottomUp, int x, int y)
{
    return &d[(bottomUp ? h - 1 - y : y) * DibStride(w, bits) + x * (bits / 8)];
}

std::vector<std::uint8_t> MakeSample(const TSampleFormat& f)
{
    const int h = f.Height < 0 ? -f.Height : f.Height;
    std::vector<std::uint8_t> d(DibStride(f.Width, f.BitCount) * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < f.Width; ++x)
            for (int i = 0; i < 3; ++i)
                At(d, f.Width, h, f.BitCount, f.Height > 0, x, y)[i] = std::uint8_t(Colour(x, y) >> 8 * i);
    return d;
}

struct TTestFrame {
    TTestFrame(int w, int h, int bits = 24, bool bottomUp = true)
        : Data(DibStride(w, bits) * h, 0x55), Frame{nullptr, w, h, bits, bottomUp}
    {
        Frame.Bits = Data.data();
    }
    std::uint32_t Pixel(int x, int y)
    {
        const std::uint8_t* p = At(Data, Frame.Width, Frame.Height, Frame.BitCount, Frame.BottomUp, x, y);
        return p[0] | p[1] << 8 | p[2] << 16;
    }
    bool Draw(const TSampleFormat& f, const std::vector<std::uint8_t>& s, TFrameRect r)
    {
        return StretchSampleToFrame(s.data(), s.size(), f, Frame, r);
    }
    std::vector<std::uint8_t> Data;
    TFrameBuffer Frame;
};

}  // namespace

// Every orientation and pixel size of sample and frame gives the same
// upright picture, in the rectangle, and nothing outside it.
TEST(FramePixels, SampleLandsUprightAtTheRectangle)
{
    for (int srcBits : {24, 32})
        for (int srcSign : {1, -1})
            for (int dstBits : {24, 32})
                for (bool dstBottomUp : {true, false}) {
                    SCOPED_TRACE(testing::Message()
                                 << srcBits << " " << srcSign << " " << dstBits << " " << dstBottomUp);
                    const TSampleFormat f = Format(5, 3 * srcSign, srcBits);
                    TTestFrame t(9, 7, dstBits, dstBottomUp);
                    ASSERT_TRUE(t.Draw(f, MakeSample(f), TFrameRect{2, 3, 5, 3}));
                    for (int y = 0; y < 7; ++y)
                        for (int x = 0; x < 9; ++x) {
                            const bool inside = x >= 2 && x < 7 && y >= 3 && y < 6;
                            ASSERT_EQ(inside ? Colour(x - 2, y - 3) : NotDrawn, t.Pixel(x, y))
                                << x << "," << y;
                        }
                }
}

TEST(FramePixels, StretchesByNearestPixel)
{
    const TSampleFormat small = Format(2, 2, 24);
    TTestFrame up(4, 4);
    ASSERT_TRUE(up.Draw(small, MakeSample(small), TFrameRect{0, 0, 4, 4}));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Colour(x / 2, y / 2), up.Pixel(x, y)) << x << "," << y;

    const TSampleFormat big = Format(6, -4, 32);
    TTestFrame down(3, 2);
    ASSERT_TRUE(down.Draw(big, MakeSample(big), TFrameRect{0, 0, 3, 2}));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Colour(2 * x + 1, 2 * y + 1), down.Pixel(x, y)) << x << "," << y;
}

// A video rectangle larger than the window (zoomed full screen) or partly or
// wholly off it: only the visible part is drawn, nothing outside the buffer
// is written (ASan watches the native build).
TEST(FramePixels, ClipsToTheFrame)
{
    const TSampleFormat f = Format(4, 4, 24);
    const auto sample = MakeSample(f);
    TTestFrame t(4, 4);
    ASSERT_TRUE(t.Draw(f, sample, TFrameRect{-2, -2, 8, 8}));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Colour((x + 2) / 2, (y + 2) / 2), t.Pixel(x, y));

    for (TFrameRect r :
         {TFrameRect{3, 2, 4, 4}, TFrameRect{4, 0, 4, 4}, TFrameRect{0, -4, 4, 4}, TFrameRect{0, 0, 0, 4},
          TFrameRect{0, 0, 4, -1}, TFrameRect{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
          TFrameRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}}) {
        TTestFrame part(4, 4);
        EXPECT_TRUE(part.Draw(f, sample, r));
        EXPECT_EQ(NotDrawn, part.Pixel(0, 0));
        EXPECT_EQ(r.Left == 3 ? Colour(0, 1) : NotDrawn, part.Pixel(3, 3));
    }
}

// A sample shorter than its header claims, or a format that is not drawn,
// is dropped without reading past the sample.
TEST(FramePixels, RejectsSamplesThatDoNotHoldTheirFormat)
{
    const TSampleFormat f = Format(3, 2, 24);  // rows of 9 bytes padded to 12
    const auto full = MakeSample(f);
    TTestFrame ok(3, 2);
    EXPECT_TRUE(ok.Draw(f, full, TFrameRect{0, 0, 3, 2}));

    const std::vector<std::vector<std::uint8_t>> shortOnes{{full.begin(), full.begin() + 18},
                                                           {full.begin(), full.end() - 1}};
    for (const auto& data : shortOnes) {
        TTestFrame t(3, 2);
        EXPECT_FALSE(t.Draw(f, data, TFrameRect{0, 0, 3, 2}));
        EXPECT_EQ(NotDrawn, t.Pixel(2, 1));
    }
    for (TSampleFormat bad :
         {Format(0x7FFFFFFF, 1, 32), Format(1, INT32_MIN, 24), Format(0x7FFFFFFF, 0x7FFFFFFF, 24),
          Format(3, 2, 16), Format(0, 2, 24), Format(3, 0, 24), TSampleFormat{3, 2, 32, 3}}) {
        TTestFrame t(3, 2);
        EXPECT_FALSE(t.Draw(bad, full, TFrameRect{0, 0, 3, 2}));
        EXPECT_EQ(NotDrawn, t.Pixel(0, 0));
    }
}
