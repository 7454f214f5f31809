#include "playback/UFramePixels.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const std::uint32_t CompressionRGB = 0;  // BI_RGB

// Source index of destination index i of n, for a source of size m: the
// nearest pixel to the centre of the destination pixel.
inline std::uint64_t SourceIndex(std::int64_t i, std::int64_t n, std::int64_t m)
{
    return static_cast<std::uint64_t>((2 * i + 1) * m / (2 * n));
}

}  // namespace

std::uint64_t DibStride(std::int64_t width, int bitCount)
{
    if (width <= 0 || bitCount <= 0) return 0;
    return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32 * 4;
}

std::uint64_t SampleImageSize(const TSampleFormat& format)
{
    if (format.Compression != CompressionRGB) return 0;
    if (format.BitCount != 24 && format.BitCount != 32) return 0;
    if (format.Width <= 0 || format.Height == 0) return 0;
    const std::uint64_t rows = format.Height < 0 ? -static_cast<std::int64_t>(format.Height)
                                                 : static_cast<std::int64_t>(format.Height);
    return DibStride(format.Width, format.BitCount) * rows;
}

bool StretchSampleToFrame(const std::uint8_t* data, std::size_t length, const TSampleFormat& format,
                          const TFrameBuffer& frame, const TFrameRect& dest)
{
    const std::uint64_t need = SampleImageSize(format);
    if (need == 0 || !data || length < need) return false;
    if (!frame.Bits || frame.Width <= 0 || frame.Height <= 0) return false;
    if (frame.BitCount != 24 && frame.BitCount != 32) return false;
    if (dest.Width <= 0 || dest.Height <= 0) return true;

    const std::int64_t srcW = format.Width;
    const std::int64_t srcH = format.Height < 0 ? -static_cast<std::int64_t>(format.Height)
                                                : static_cast<std::int64_t>(format.Height);
    const bool srcBottomUp = format.Height > 0;
    const std::uint64_t srcStride = DibStride(srcW, format.BitCount);
    const unsigned srcBytes = format.BitCount / 8;

    // The part of dest inside the frame, in dest-local coordinates.
    const std::int64_t x0 = std::max<std::int64_t>(0, -static_cast<std::int64_t>(dest.Left));
    const std::int64_t x1 =
        std::min<std::int64_t>(dest.Width, static_cast<std::int64_t>(frame.Width) - dest.Left);
    const std::int64_t y0 = std::max<std::int64_t>(0, -static_cast<std::int64_t>(dest.Top));
    const std::int64_t y1 =
        std::min<std::int64_t>(dest.Height, static_cast<std::int64_t>(frame.Height) - dest.Top);
    if (x0 >= x1 || y0 >= y1) return true;

    std::vector<std::uint64_t> columns(static_cast<std::size_t>(x1 - x0));
    for (std::int64_t i = x0; i < x1; ++i)
        columns[static_cast<std::size_t>(i - x0)] = SourceIndex(i, dest.Width, srcW) * srcBytes;

    const std::uint64_t dstStride = DibStride(frame.Width, frame.BitCount);
    const unsigned dstBytes = static_cast<unsigned>(frame.BitCount) / 8;
    for (std::int64_t j = y0; j < y1; ++j) {
        const std::uint64_t sy = SourceIndex(j, dest.Height, srcH);
        const std::uint64_t srcRow = srcBottomUp ? static_cast<std::uint64_t>(srcH) - 1 - sy : sy;
        const std::uint8_t* src = data + srcRow * srcStride;
        const std::int64_t y = dest.Top + j;
        const std::int64_t dstRow = frame.BottomUp ? frame.Height - 1 - y : y;
        std::uint8_t* dst = frame.Bits + static_cast<std::uint64_t>(dstRow) * dstStride +
                            static_cast<std::uint64_t>(dest.Left + x0) * dstBytes;
        for (std::uint64_t offset : columns) {
            const std::uint8_t* p = src + offset;
            dst[0] = p[0];
            dst[1] = p[1];
            dst[2] = p[2];
            if (dstBytes == 4) dst[3] = 0;
            dst += dstBytes;
        }
    }
    return true;
}

void ClearFrame(const TFrameBuffer& frame)
{
    if (!frame.Bits || frame.Width <= 0 || frame.Height <= 0) return;
    std::memset(frame.Bits, 0,
                static_cast<std::size_t>(DibStride(frame.Width, frame.BitCount) *
                                         static_cast<std::uint64_t>(frame.Height)));
}
