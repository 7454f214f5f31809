#include "analysis/ULoudnessMeter.h"

#include <cmath>
#include <cstring>

#include "playback/UMediaMath.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
// Loudness of a block: -0.691 + 10 log10 of its weighted mean square.
constexpr double LoudnessOffset = -0.691;
// The absolute gate, -70 LUFS, as a mean square.
const double AbsoluteGate = std::pow(10.0, (-70.0 - LoudnessOffset) / 10.0);
// Full scale of a sample left-aligned in 32 bits.
constexpr double SampleScale = 1.0 / 2147483648.0;

// Speaker positions of the extensible format's channel mask.
constexpr std::uint32_t SpeakerLowFrequency = 0x8;
constexpr std::uint32_t SpeakerSurrounds = 0x10 | 0x20 | 0x200 | 0x400;  // back and side, left and right

std::uint32_t DefaultChannelMask(int channels)
{
    switch (channels) {
        case 1:
            return 0x4;  // centre
        case 2:
            return 0x3;  // L R
        case 3:
            return 0x7;  // L R C
        case 4:
            return 0x33;  // L R, back L R
        case 5:
            return 0x37;  // L R C, back L R
        case 6:
            return 0x3F;  // 5.1
        case 7:
            return 0x70F;  // 6.1: L R C LFE, back centre, side L R
        case 8:
            return 0x63F;  // 7.1
        default:
            return 0;
    }
}

// Stage 1, the high shelf that models the head, and stage 2, the high-pass
// of the revised low-frequency B curve, as analogue prototypes mapped to the
// sample rate by the bilinear transform with the corner frequency prewarped.
// With these constants the 48 kHz results are the published coefficients.
void DesignKWeighting(double rate, double (&shelf)[5], double (&highPass)[5])
{
    {
        const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(Pi * f0 / rate);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf[0] = (vh + vb * k / q + k * k) / a0;
        shelf[1] = 2.0 * (k * k - vh) / a0;
        shelf[2] = (vh - vb * k / q + k * k) / a0;
        shelf[3] = 2.0 * (k * k - 1.0) / a0;
        shelf[4] = (1.0 - k / q + k * k) / a0;
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(Pi * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        // The numerator stays 1, -2, 1 as in the published table.
        highPass[0] = 1.0;
        highPass[1] = -2.0;
        highPass[2] = 1.0;
        highPass[3] = 2.0 * (k * k - 1.0) / a0;
        highPass[4] = (1.0 - k / q + k * k) / a0;
    }
}

// Flushes filter states that decayed to nothing, so that silence after sound
// never runs on denormal numbers.
inline void Flush(double& v)
{
    if (std::fabs(v) < 1e-30) v = 0.0;
}

// K-weights Lanes neighbouring channels over n frames and adds their
// squares; their recursions are independent, so the processor overlaps them.
// Bytes is the sample width when known at compile time, else 0 (width).
template <int Lanes, int Bytes, class Channel>
void FilterRun(const std::uint8_t* p, std::size_t n, std::size_t stride, int width, const double (&s)[5],
               const double (&h)[5], Channel* ch, double (&squares)[2], std::int64_t& peak)
{
    const int w = Bytes ? Bytes : width;
    double s1[Lanes], s2[Lanes], h1[Lanes], h2[Lanes], sq[Lanes];
    for (int l = 0; l < Lanes; ++l)
        s1[l] = ch[l].S1, s2[l] = ch[l].S2, h1[l] = ch[l].H1, h2[l] = ch[l].H2, sq[l] = 0;
    std::int64_t top = peak;
    for (std::size_t i = 0; i < n; ++i, p += stride) {
        for (int l = 0; l < Lanes; ++l) {
            const std::int32_t v = PcmSampleAt(p + l * w, w);
            const std::int64_t a = v < 0 ? -static_cast<std::int64_t>(v) : v;
            top = a > top ? a : top;
            const double x = v * SampleScale;
            const double y = s[0] * x + s1[l];
            s1[l] = s[1] * x - s[3] * y + s2[l];
            s2[l] = s[2] * x - s[4] * y;
            const double z = h[0] * y + h1[l];
            h1[l] = h[1] * y - h[3] * z + h2[l];
            h2[l] = h[2] * y - h[4] * z;
            sq[l] += z * z;
        }
    }
    for (int l = 0; l < Lanes; ++l) {
        ch[l].S1 = s1[l], ch[l].S2 = s2[l], ch[l].H1 = h1[l], ch[l].H2 = h2[l];
        squares[l] = sq[l];
    }
    peak = top;
}

// Two neighbouring channels as one pair of doubles: each operation works on
// both at once with the same rounding as on each alone, so a channel gets the
// same result as through FilterRun, in about half the instructions.
typedef double TPair __attribute__((vector_size(16)));

template <int Bytes, class Channel>
void FilterPair(const std::uint8_t* p, std::size_t n, std::size_t stride, int width, const double (&s)[5],
                const double (&h)[5], Channel* ch, double (&squares)[2], std::int64_t& peak)
{
    const int w = Bytes ? Bytes : width;
    const TPair s0 = {s[0], s[0]}, s1c = {s[1], s[1]}, s2c = {s[2], s[2]}, s3 = {s[3], s[3]},
                s4 = {s[4], s[4]};
    const TPair h0 = {h[0], h[0]}, h1c = {h[1], h[1]}, h2c = {h[2], h[2]}, h3 = {h[3], h[3]},
                h4 = {h[4], h[4]};
    const TPair scale = {SampleScale, SampleScale};
    TPair s1 = {ch[0].S1, ch[1].S1}, s2 = {ch[0].S2, ch[1].S2};
    TPair h1 = {ch[0].H1, ch[1].H1}, h2 = {ch[0].H2, ch[1].H2}, sq = {0, 0};
    std::int64_t top = peak;
    for (std::size_t i = 0; i < n; ++i, p += stride) {
        const std::int32_t v0 = PcmSampleAt(p, w), v1 = PcmSampleAt(p + w, w);
        const std::int64_t a0 = v0 < 0 ? -static_cast<std::int64_t>(v0) : v0;
        const std::int64_t a1 = v1 < 0 ? -static_cast<std::int64_t>(v1) : v1;
        top = a0 > top ? a0 : top;
        top = a1 > top ? a1 : top;
        const TPair x = TPair{static_cast<double>(v0), static_cast<double>(v1)} * scale;
        const TPair y = s0 * x + s1;
        s1 = s1c * x - s3 * y + s2;
        s2 = s2c * x - s4 * y;
        const TPair z = h0 * y + h1;
        h1 = h1c * y - h3 * z + h2;
        h2 = h2c * y - h4 * z;
        sq += z * z;
    }
    ch[0].S1 = s1[0], ch[0].S2 = s2[0], ch[0].H1 = h1[0], ch[0].H2 = h2[0];
    ch[1].S1 = s1[1], ch[1].S2 = s2[1], ch[1].H1 = h1[1], ch[1].H2 = h2[1];
    squares[0] = sq[0];
    squares[1] = sq[1];
    peak = top;
}

}  // namespace

std::vector<double> LoudnessChannelWeights(const TPcmLayout& layout)
{
    std::vector<double> weights(layout.Channels > 0 ? static_cast<std::size_t>(layout.Channels) : 0, 1.0);
    std::uint32_t mask = layout.ChannelMask ? layout.ChannelMask : DefaultChannelMask(layout.Channels);
    // Channel i takes the i-th lowest speaker bit; channels beyond the mask
    // have no known position and count as front channels.
    for (double& w : weights) {
        if (!mask) break;
        const std::uint32_t speaker = mask & (~mask + 1);
        mask &= mask - 1;
        if (speaker == SpeakerLowFrequency)
            w = 0.0;
        else if (speaker & SpeakerSurrounds)
            w = 1.41;
    }
    return weights;
}

bool TLoudnessMeter::Start(const TPcmLayout& layout)
{
    FLayout = layout;
    FUsable = layout.Channels > 0 && layout.BytesPerSample > 0 && layout.SampleRate >= 8000;
    FPartial.clear();
    FFrame = 0;
    FQuarters = 0;
    FQuarterSum = 0;
    if (!FUsable) return false;
    FFrameBytes = static_cast<std::size_t>(layout.Channels) * static_cast<std::size_t>(layout.BytesPerSample);
    FQuarterEnd = layout.SampleRate / 10;
    DesignKWeighting(layout.SampleRate, FShelf, FHighPass);
    const std::vector<double> weights = LoudnessChannelWeights(layout);
    FChannels.assign(weights.size(), TChannel{});
    for (std::size_t c = 0; c < weights.size(); ++c) FChannels[c].Weight = weights[c];
    return true;
}

void TLoudnessMeter::Feed(const TPcmLayout& layout, const std::uint8_t* data, std::size_t length)
{
    if (layout.Channels != FLayout.Channels || layout.BytesPerSample != FLayout.BytesPerSample ||
        layout.SampleRate != FLayout.SampleRate || layout.ChannelMask != FLayout.ChannelMask ||
        FChannels.empty())
        Start(layout);
    if (!FUsable || !data || !length) return;

    if (!FPartial.empty()) {
        const std::size_t take = std::min(FFrameBytes - FPartial.size(), length);
        FPartial.insert(FPartial.end(), data, data + take);
        data += take;
        length -= take;
        if (FPartial.size() < FFrameBytes) return;
        Run(FPartial.data(), 1);
        FPartial.clear();
    }
    const std::size_t frames = length / FFrameBytes;
    Run(data, frames);
    FPartial.assign(data + frames * FFrameBytes, data + length);
}

void TLoudnessMeter::Run(const std::uint8_t* p, std::size_t frames)
{
    const int bytes = FLayout.BytesPerSample;
    while (frames > 0) {
        // Up to the end of the current quarter.
        const std::int64_t room = FQuarterEnd - FFrame;
        const std::size_t n =
            static_cast<std::uint64_t>(room) < frames ? static_cast<std::size_t>(room) : frames;
        double sum = 0.0;
        // Channels go through the run two by two.
        for (std::size_t c = 0; c < FChannels.size(); c += 2) {
            TChannel* ch = &FChannels[c];
            const std::uint8_t* q = p + c * static_cast<std::size_t>(bytes);
            double squares[2] = {};
            const bool pair = c + 1 < FChannels.size();
            switch (pair ? bytes : -bytes) {
                case 2:
                    FilterPair<2>(q, n, FFrameBytes, 2, FShelf, FHighPass, ch, squares, FPeak);
                    break;
                case 3:
                    FilterPair<3>(q, n, FFrameBytes, 3, FShelf, FHighPass, ch, squares, FPeak);
                    break;
                case -2:
                    FilterRun<1, 2>(q, n, FFrameBytes, 2, FShelf, FHighPass, ch, squares, FPeak);
                    break;
                case -3:
                    FilterRun<1, 3>(q, n, FFrameBytes, 3, FShelf, FHighPass, ch, squares, FPeak);
                    break;
                default:
                    if (pair)
                        FilterPair<0>(q, n, FFrameBytes, bytes, FShelf, FHighPass, ch, squares, FPeak);
                    else
                        FilterRun<1, 0>(q, n, FFrameBytes, bytes, FShelf, FHighPass, ch, squares, FPeak);
            }
            sum += ch[0].Weight * squares[0] + (pair ? ch[1].Weight * squares[1] : 0.0);
        }
        FQuarterSum += sum;
        FFrame += static_cast<std::int64_t>(n);
        p += n * FFrameBytes;
        frames -= n;
        if (FFrame == FQuarterEnd) CloseQuarter();
    }
}

void TLoudnessMeter::CloseQuarter()
{
    const int slot = static_cast<int>(FQuarters % 4);
    const std::int64_t start = FQuarters * FLayout.SampleRate / 10;
    FSums[slot] = FQuarterSum;
    FFrames[slot] = FQuarterEnd - start;
    FQuarterSum = 0;
    ++FQuarters;
    FQuarterEnd = (FQuarters + 1) * FLayout.SampleRate / 10;
    for (TChannel& ch : FChannels) {
        Flush(ch.S1), Flush(ch.S2), Flush(ch.H1), Flush(ch.H2);
    }
    if (FQuarters < 4) return;
    const double meanSquare = (FSums[0] + FSums[1] + FSums[2] + FSums[3]) /
                              static_cast<double>(FFrames[0] + FFrames[1] + FFrames[2] + FFrames[3]);
    if (meanSquare > AbsoluteGate) FBlocks.push_back(meanSquare);
}

std::optional<double> TLoudnessMeter::IntegratedLufs() const
{
    if (FBlocks.empty()) return std::nullopt;
    double total = 0.0;
    for (double b : FBlocks) total += b;
    // The relative gate: 10 LU below the loudness of the blocks above the
    // absolute gate, a tenth of their mean square.
    const double relativeGate = total / static_cast<double>(FBlocks.size()) / 10.0;
    double gated = 0.0;
    std::size_t count = 0;
    for (double b : FBlocks) {
        if (b > relativeGate) {
            gated += b;
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    return LoudnessOffset + 10.0 * std::log10(gated / static_cast<double>(count));
}

std::optional<int> TLoudnessMeter::Loudness() const
{
    const std::optional<double> lufs = IntegratedLufs();
    if (!lufs) return std::nullopt;
    return RoundHalfEven(*lufs * 100.0);
}

double TLoudnessMeter::SamplePeak() const { return static_cast<double>(FPeak) * SampleScale; }

void TLoudnessMeter::Reset() { *this = TLoudnessMeter(); }
