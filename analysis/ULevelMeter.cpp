#include "analysis/ULevelMeter.h"

#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "playback/UMediaMath.h"

namespace {

// Peak and sum of a run of frames; exact integers.
struct TRun {
    int Max = 0;
    std::int64_t Sum = 0;
};

// Frames summed in 32 bits before the sum is carried into 64: 65536 values of
// at most 32768 stay below 2^32.
constexpr std::size_t Chunk = 65536;

// A sample on the 16-bit scale: its top two bytes read as a signed value; a
// one-byte sample is unsigned around 128. This is PcmSampleAt(p, width) >> 16
// without the byte loop. W is the width when known at compile time, else 0.
template <int W>
inline int Top16(const std::uint8_t* p, int width)
{
    const int w = W ? W : width;
    if (w == 1) return (static_cast<int>(p[0]) - 128) * 256;
    std::int16_t s;
    std::memcpy(&s, p + w - 2, 2);
    return s;
}

// Any layout, with the channel count C and the sample width W known at
// compile time where they are not 0. With C known the channels' total fits in
// an int and the division is a multiplication.
template <int C, int W>
TRun Frames(const std::uint8_t* p, std::size_t frames, int channels, int width)
{
    using Total = typename std::conditional<C != 0, int, std::int64_t>::type;
    const int n = C ? C : channels;
    const int w = W ? W : width;
    const std::size_t stride = static_cast<std::size_t>(n) * static_cast<std::size_t>(w);
    TRun r;
    while (frames > 0) {
        const std::size_t count = frames < Chunk ? frames : Chunk;
        std::uint32_t sum = 0;
        int max = r.Max;
        for (std::size_t i = 0; i < count; ++i, p += stride) {
            Total total = 0;
            for (int c = 0; c < n; ++c) total += Top16<W>(p + c * w, width);
            const Total v = (total + n / 2) / n;
            const int a = static_cast<int>(v < 0 ? -v : v);
            max = a > max ? a : max;
            sum += static_cast<std::uint32_t>(a);
        }
        r.Max = max;
        r.Sum += sum;
        frames -= count;
    }
    return r;
}

void Add(TRun& r, const TRun& more)
{
    r.Max = more.Max > r.Max ? more.Max : r.Max;
    r.Sum += more.Sum;
}

#if defined(__SSE2__)
// 16-bit stereo, four frames a step: the multiply-add against ones gives each
// frame's l + r, and |l + r + 1| / 2 (halved by a shift after taking the
// absolute value) is the frame's |(l + r + 1) / 2| truncated. That is at most
// 32767, so the peak is kept with the signed 16-bit maximum.
TRun Stereo16(const std::uint8_t* p, std::size_t frames)
{
    const __m128i ones16 = _mm_set1_epi16(1), one = _mm_set1_epi32(1);
    __m128i peak = _mm_setzero_si128();
    TRun r;
    for (std::size_t steps = frames / 4; steps > 0;) {
        const std::size_t count = steps < Chunk ? steps : Chunk;
        __m128i sum = _mm_setzero_si128();
        for (std::size_t i = 0; i < count; ++i, p += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i t = _mm_add_epi32(_mm_madd_epi16(x, ones16), one);
            const __m128i sign = _mm_srai_epi32(t, 31);
            const __m128i a = _mm_srli_epi32(_mm_sub_epi32(_mm_xor_si128(t, sign), sign), 1);
            peak = _mm_max_epi16(peak, a);
            sum = _mm_add_epi32(sum, a);
        }
        std::uint32_t lanes[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sum);
        r.Sum += static_cast<std::int64_t>(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
        steps -= count;
    }
    std::int16_t peaks[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(peaks), peak);
    for (std::int16_t v : peaks) r.Max = v > r.Max ? v : r.Max;
    Add(r, Frames<2, 2>(p, frames % 4, 2, 2));
    return r;
}

// 16-bit mono, eight samples a step: the peak from the smallest and largest
// sample; the absolute values, 0..32768, are summed less 32768 each, so that
// they fit the signed 16-bit multiply-add, and the offset is put back after.
TRun Mono16(const std::uint8_t* p, std::size_t frames)
{
    const __m128i ones16 = _mm_set1_epi16(1), offset = _mm_set1_epi16(-32768);
    __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
    TRun r;
    for (std::size_t steps = frames / 8; steps > 0;) {
        const std::size_t count = steps < Chunk / 4 ? steps : Chunk / 4;
        __m128i sum = _mm_setzero_si128();
        for (std::size_t i = 0; i < count; ++i, p += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            low = _mm_min_epi16(low, x);
            high = _mm_max_epi16(high, x);
            const __m128i sign = _mm_srai_epi16(x, 15);
            const __m128i a = _mm_sub_epi16(_mm_xor_si128(x, sign), sign);
            sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_xor_si128(a, offset), ones16));
        }
        std::int32_t lanes[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sum);
        r.Sum += static_cast<std::int64_t>(lanes[0]) + lanes[1] + lanes[2] + lanes[3] +
                 static_cast<std::int64_t>(count) * 8 * 32768;
        steps -= count;
    }
    std::int16_t lows[8], highs[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lows), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(highs), high);
    for (int i = 0; i < 8; ++i) {
        r.Max = -lows[i] > r.Max ? -lows[i] : r.Max;
        r.Max = highs[i] > r.Max ? highs[i] : r.Max;
    }
    Add(r, Frames<1, 2>(p, frames % 8, 1, 2));
    return r;
}
#endif

template <int W>
TRun ByChannels(const std::uint8_t* p, std::size_t frames, int channels, int width)
{
    switch (channels) {
        case 1:
            return Frames<1, W>(p, frames, channels, width);
        case 2:
            return Frames<2, W>(p, frames, channels, width);
        default:
            return Frames<0, W>(p, frames, channels, width);
    }
}

TRun Measure(const std::uint8_t* p, std::size_t frames, int channels, int width)
{
#if defined(__SSE2__)
    if (width == 2 && channels == 2) return Stereo16(p, frames);
    if (width == 2 && channels == 1) return Mono16(p, frames);
#endif
    switch (width) {
        case 1:
            return ByChannels<1>(p, frames, channels, width);
        case 2:
            return ByChannels<2>(p, frames, channels, width);
        case 3:
            return ByChannels<3>(p, frames, channels, width);
        case 4:
            return ByChannels<4>(p, frames, channels, width);
        default:
            return ByChannels<0>(p, frames, channels, width);
    }
}

}  // namespace

TLevelTotals MeasureLevels(const std::uint8_t* data, std::size_t length, int channels, int bytesPerSample)
{
    if (!data || channels <= 0 || bytesPerSample <= 0) return {};
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * bytesPerSample;
    const std::size_t frames = length / frameBytes;
    const TRun r = Measure(data, frames, channels, bytesPerSample);
    TLevelTotals t;
    t.Max = r.Max;
    t.Sum = static_cast<double>(r.Sum);
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
