#include "analysis/ULevelMeter.h"

#include <cstring>

#include "playback/UMediaMath.h"

namespace {

inline int SampleAt(const std::uint8_t* p, int bytes) { return PcmSampleAt(p, bytes) >> 16; }

// 16-bit samples with the channel count known at compile time: the loop the
// compiler vectorises. Sums are exact integers, so collecting them in 64 bits
// and converting once gives the same double as adding frame by frame.
template <int Channels>
TLevelTotals Measure16(const std::uint8_t* data, std::size_t frames)
{
    int max = 0;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        int total = 0;
        for (int c = 0; c < Channels; ++c) {
            std::int16_t s;
            std::memcpy(&s, data + (i * Channels + c) * 2, 2);
            total += s;
        }
        int v = (total + Channels / 2) / Channels;
        int a = v < 0 ? -v : v;
        max = a > max ? a : max;
        sum += a;
    }
    TLevelTotals t;
    t.Max = max;
    t.Sum = static_cast<double>(sum);
    t.Count = static_cast<std::int64_t>(frames);
    return t;
}

}  // namespace

TLevelTotals MeasureLevels(const std::uint8_t* data, std::size_t length, int channels, int bytesPerSample)
{
    if (!data || channels <= 0 || bytesPerSample <= 0) return {};
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * bytesPerSample;
    const std::size_t frames = length / frameBytes;
    if (bytesPerSample == 2 && channels == 1) return Measure16<1>(data, frames);
    if (bytesPerSample == 2 && channels == 2) return Measure16<2>(data, frames);

    int max = 0;
    std::int64_t sum = 0;
    const std::uint8_t* p = data;
    for (std::size_t i = 0; i < frames; ++i) {
        std::int64_t total = 0;
        for (int c = 0; c < channels; ++c, p += bytesPerSample) total += SampleAt(p, bytesPerSample);
        std::int64_t v = (total + channels / 2) / channels;
        int a = static_cast<int>(v < 0 ? -v : v);
        if (a > max) max = a;
        sum += a;
    }
    TLevelTotals t;
    t.Max = max;
    t.Sum = static_cast<double>(sum);
    t.Count = static_cast<std::int64_t>(frames);
    return t;
}

bool PcmLayoutOf(const std::uint8_t* format, std::size_t size, TPcmLayout& layout)
{
    auto word = [format](std::size_t at) { return static_cast<unsigned>(format[at] | format[at + 1] << 8); };
    if (!format || size < 16) return false;
    unsigned tag = word(0);
    if (tag == 0xFFFE) {
        // cbSize >= 22, then wValidBitsPerSample, dwChannelMask, SubFormat.
        static const std::uint8_t PcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        if (size < 40 || word(16) < 22 || std::memcmp(format + 24, PcmSubFormat, 16) != 0) return false;
    } else if (tag != 1) {
        return false;
    }
    layout.Channels = static_cast<int>(word(2));
    layout.BytesPerSample = static_cast<int>(word(14) / 8);
    layout.SampleRate = static_cast<int>(word(4) | (word(6) & 0x7FFF) << 16);
    layout.ChannelMask = tag == 0xFFFE ? (word(20) | static_cast<std::uint32_t>(word(22)) << 16) : 0;
    return true;
}

int AverageLevel(const TLevelTotals& totals)
{
    if (totals.Count <= 0) return 0;
    return RoundHalfEven(totals.Sum / static_cast<double>(totals.Count));
}
