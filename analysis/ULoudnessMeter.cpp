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
    double s[5], h[5];
    DesignKWeighting(layout.SampleRate, s, h);
    FShelf = {s[0], s[1], s[2], s[3], s[4]};
    FHighPass = {h[0], h[1], h[2], h[3], h[4]};
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
    const TBiquad s = FShelf, h = FHighPass;
    while (frames > 0) {
        // Up to the end of the current quarter.
        const std::int64_t room = FQuarterEnd - FFrame;
        const std::size_t n =
            static_cast<std::uint64_t>(room) < frames ? static_cast<std::size_t>(room) : frames;
        double sum = 0.0;
        std::int64_t peak = FPeak;
        for (TChannel& ch : FChannels) {
            // One channel at a time through the run keeps its filter state in
            // registers; the interleaved samples are read with a stride.
            double s1 = ch.S1, s2 = ch.S2, h1 = ch.H1, h2 = ch.H2, squares = 0.0;
            const std::uint8_t* q = p + (&ch - FChannels.data()) * bytes;
            for (std::size_t i = 0; i < n; ++i, q += FFrameBytes) {
                const std::int32_t v = PcmSampleAt(q, bytes);
                const std::int64_t a = v < 0 ? -static_cast<std::int64_t>(v) : v;
                peak = a > peak ? a : peak;
                const double x = v * SampleScale;
                const double y = s.B0 * x + s1;
                s1 = s.B1 * x - s.A1 * y + s2;
                s2 = s.B2 * x - s.A2 * y;
                const double z = h.B0 * y + h1;
                h1 = h.B1 * y - h.A1 * z + h2;
                h2 = h.B2 * y - h.A2 * z;
                squares += z * z;
            }
            ch.S1 = s1, ch.S2 = s2, ch.H1 = h1, ch.H2 = h2;
            sum += ch.Weight * squares;
        }
        FPeak = peak;
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
