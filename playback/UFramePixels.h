// Pixels of the movie window's frame bitmap: one uncompressed RGB video
// sample stretched into a rectangle of a DIB-shaped buffer. Plain buffers
// only, free of any Windows API; the Windows side hands in the pointers.
#pragma once

#include <cstddef>
#include <cstdint>

// A DIB-shaped pixel buffer: rows of Stride(Width, BitCount) bytes, blue,
// green, red (and one unused byte at 32 bits) per pixel. BottomUp: the first
// row in memory is the bottom row of the picture.
struct TFrameBuffer {
    std::uint8_t* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    int BitCount = 24;  // 24 or 32
    bool BottomUp = true;
};

// A rectangle in picture coordinates (x right, y down from the top row).
struct TFrameRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// What a sample's BITMAPINFOHEADER says about its pixels. Height > 0: the
// rows are stored bottom-up; Height < 0: top-down.
struct TSampleFormat {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;  // BI_RGB (0) is the only one drawn
};

// Bytes of one row: width x bitCount bits rounded up to whole 32-bit words.
// 0 for a size that is not positive.
std::uint64_t DibStride(std::int64_t width, int bitCount);

// Bytes a sample of this format fills; 0 when the format cannot be drawn
// (not BI_RGB, neither 24 nor 32 bits, no pixels).
std::uint64_t SampleImageSize(const TSampleFormat& format);

// Stretches the sample (length bytes at data) onto dest of the frame,
// nearest pixel, clipped to the frame; the sample's bottom-up or top-down
// order comes from the sign of its height, and the picture lands upright.
// Returns false, leaving the frame untouched, when the format cannot be
// drawn or the sample holds fewer bytes than the format needs. An empty or
// wholly clipped destination draws nothing and returns true.
bool StretchSampleToFrame(const std::uint8_t* data, std::size_t length, const TSampleFormat& format,
                          const TFrameBuffer& frame, const TFrameRect& dest);

// Sets every byte of the frame's rows to 0 (black).
void ClearFrame(const TFrameBuffer& frame);
