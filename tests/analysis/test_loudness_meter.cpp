#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/ULoudnessMeter.h"

namespace {

const double Pi = std::acos(-1.0);

// Interleaved PCM made of sine segments with a continuous phase.
struct TPcm {
    TPcmLayout Layout;
    std::vector<std::uint8_t> Bytes;
    double Phase = 0.0;

    TPcm(int rate, int channels, int bytesPerSample, std::uint32_t mask = 0)
    {
        Layout.SampleRate = rate;
        Layout.Channels = channels;
        Layout.BytesPerSample = bytesPerSample;
        Layout.ChannelMask = mask;
    }

    // A sine at `dbfs` (peak) on the channels marked in `on` (all when
    // empty), silence on the others.
    TPcm& Sine(double hz, double dbfs, double seconds, std::vector<int> on = {})
    {
        const double amplitude = std::pow(10.0, dbfs / 20.0);
        const long frames = std::lround(seconds * Layout.SampleRate);
        const int bits = Layout.BytesPerSample * 8;
        const double full = std::ldexp(1.0, bits - 1);
        for (long i = 0; i < frames; ++i) {
            const double x = amplitude * std::sin(Phase);
            Phase = std::fmod(Phase + 2 * Pi * hz / Layout.SampleRate, 2 * Pi);
            for (int c = 0; c < Layout.Channels; ++c) {
                bool live = on.empty();
                for (int o : on) live = live || o == c;
                long v = live ? std::lround(x * full) : 0;
                v = std::min<long>(std::max<long>(v, static_cast<long>(-full)), static_cast<long>(full - 1));
                if (bits == 8) v += 128;
                for (int b = 0; b < Layout.BytesPerSample; ++b)
                    Bytes.push_back(static_cast<std::uint8_t>((v >> (8 * b)) & 0xFF));
            }
        }
        return *this;
    }
};

// Feeds the bytes in pieces of random size, cutting frames at will.
TLoudnessMeter MeasureInPieces(const TPcm& pcm, unsigned seed = 1)
{
    TLoudnessMeter meter;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> piece(1, 9000);
    for (std::size_t at = 0; at < pcm.Bytes.size();) {
        const std::size_t n = std::min(piece(rng), pcm.Bytes.size() - at);
        meter.Feed(pcm.Layout, pcm.Bytes.data() + at, n);
        at += n;
    }
    return meter;
}

// Power gain of the K-weighting at f for a sample rate, from the filters'
// analogue prototypes evaluated at the frequency the bilinear transform maps
// f to. The high-pass keeps its published numerator 1, -2, 1, which gives it
// a passband gain of 1 + K/Q + K^2.
double KWeightingGain(double f, double rate)
{
    const std::complex<double> j(0.0, 1.0);
    const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double k1 = std::tan(Pi * 1681.974450955533 / rate), q1 = 0.7071752369554196;
    const double k2 = std::tan(Pi * 38.13547087602444 / rate), q2 = 0.5003270373238773;
    const double w = std::tan(Pi * f / rate);
    const std::complex<double> s1 = j * (w / k1), s2 = j * (w / k2);
    const std::complex<double> shelf = (vh * s1 * s1 + vb / q1 * s1 + 1.0) / (s1 * s1 + s1 / q1 + 1.0);
    const std::complex<double> highPass = s2 * s2 / (s2 * s2 + s2 / q2 + 1.0) * (1.0 + k2 / q2 + k2 * k2);
    return std::norm(shelf * highPass);
}

// The published 48 kHz coefficients, evaluated on the unit circle.
double PublishedGain48k(double f)
{
    const std::complex<double> z = std::polar(1.0, -2 * Pi * f / 48000.0);
    auto biquad = [&](double b0, double b1, double b2, double a1, double a2) {
        return (b0 + b1 * z + b2 * z * z) / (1.0 + a1 * z + a2 * z * z);
    };
    return std::norm(
        biquad(1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241, 0.73248077421585) *
        biquad(1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621));
}

}  // namespace

// The minimum-requirement signals of EBU Tech 3341 (1 kHz, both channels).
TEST(LoudnessMeter, ReferenceSignals)
{
    struct TCase {
        std::vector<std::pair<double, double>> Segments;  // dBFS, seconds
    } cases[] = {
        {{{-23, 20}}},
        {{{-33, 20}}},
        {{{-36, 10}, {-23, 60}, {-36, 10}}},
        {{{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}},
        {{{-26, 20}, {-20, 20.1}, {-26, 20}}},
    };
    const int expected[] = {-2300, -3300, -2300, -2300, -2300};
    for (int i = 0; i < 5; ++i) {
        TPcm pcm(48000, 2, i % 2 ? 2 : 3);  // 24 and 16 bits
        for (auto [dbfs, seconds] : cases[i].Segments) pcm.Sine(1000, dbfs, seconds);
        const TLoudnessMeter meter = MeasureInPieces(pcm, i);
        ASSERT_TRUE(meter.Loudness()) << "case " << i + 1;
        EXPECT_NEAR(expected[i], *meter.Loudness(), 10) << "case " << i + 1;
        if (i == 0) {
            EXPECT_NEAR(std::pow(10.0, -23 / 20.0), meter.SamplePeak(), 1e-4);
        }
    }
}

// A 20 Hz and a 10 kHz sine at 44.1 and 32 kHz against the analogue response.
TEST(LoudnessMeter, FiltersFollowTheSampleRate)
{
    for (double f : {20.0, 1000.0, 10000.0})
        EXPECT_NEAR(10 * std::log10(PublishedGain48k(f)), 10 * std::log10(KWeightingGain(f, 48000)), 1e-4)
            << f;

    for (int rate : {44100, 32000}) {
        for (double f : {20.0, 10000.0}) {
            TPcm pcm(rate, 1, 3);
            pcm.Sine(f, -20, 5);
            const double a = std::pow(10.0, -20 / 20.0);
            const double expected = -0.691 + 10 * std::log10(a * a / 2 * KWeightingGain(f, rate));
            const std::optional<double> lufs = MeasureInPieces(pcm).IntegratedLufs();
            ASSERT_TRUE(lufs) << rate << " Hz, " << f;
            EXPECT_NEAR(expected, *lufs, 0.02) << rate << " Hz, " << f;
        }
    }
    // The two ends really differ from the middle, so the check above has teeth.
    EXPECT_LT(10 * std::log10(KWeightingGain(20, 44100)), -10.0);
    EXPECT_GT(10 * std::log10(KWeightingGain(10000, 32000)), 3.0);
}

TEST(LoudnessMeter, ChannelsWidthsAndGates)
{
    // 5.1 (extensible mask 0x3F): L R C LFE Ls Rs. The LFE alone is silence
    // to the meter; a surround channel weighs 1.41 (+1.49 LU) against a front one.
    auto alone = [](int channel) {
        TPcm pcm(48000, 6, 2, 0x3F);
        pcm.Sine(1000, -20, 2, {channel});
        return MeasureInPieces(pcm).IntegratedLufs();
    };
    EXPECT_FALSE(alone(3));
    ASSERT_TRUE(alone(0) && alone(4));
    EXPECT_NEAR(10 * std::log10(1.41), *alone(4) - *alone(0), 1e-6);
    EXPECT_NEAR(*alone(0), *alone(2), 1e-6);
    TPcmLayout plain{6, 2, 48000, 0};  // no mask: the same usual 5.1 order
    EXPECT_EQ(LoudnessChannelWeights(TPcmLayout{6, 2, 48000, 0x3F}), LoudnessChannelWeights(plain));

    // 8 bits unsigned and 16 bits give the same loudness for the same sine.
    TPcm eight(22050, 1, 1), sixteen(22050, 1, 2);
    eight.Sine(1000, -12, 3);
    sixteen.Sine(1000, -12, 3);
    const std::optional<double> e = MeasureInPieces(eight).IntegratedLufs(),
                                s = MeasureInPieces(sixteen).IntegratedLufs();
    ASSERT_TRUE(e && s);
    EXPECT_NEAR(*s, *e, 0.05);

    // Too short for one 400 ms block, silent, or below -70 LUFS: no result.
    TPcm brief(48000, 2, 2), silent(48000, 2, 2), faint(48000, 2, 3);
    brief.Sine(1000, -10, 0.39);
    silent.Sine(1000, -200, 5);
    faint.Sine(1000, -75, 5);
    EXPECT_FALSE(MeasureInPieces(brief).Loudness());
    EXPECT_FALSE(MeasureInPieces(silent).Loudness());
    EXPECT_FALSE(MeasureInPieces(faint).Loudness());
    EXPECT_EQ(0.0, MeasureInPieces(silent).SamplePeak());

    // Pieces of any size give the same figures as one buffer.
    TLoudnessMeter whole;
    whole.Feed(sixteen.Layout, sixteen.Bytes.data(), sixteen.Bytes.size());
    EXPECT_NEAR(*s, *whole.IntegratedLufs(), 1e-9);
    // A buffer of another layout starts the filters afresh but keeps the blocks.
    whole.Feed(brief.Layout, brief.Bytes.data(), brief.Bytes.size());
    EXPECT_EQ(MeasureInPieces(sixteen).GatedBlocks(), whole.GatedBlocks());
    whole.Reset();
    EXPECT_FALSE(whole.Loudness());
}

// A channel measures the same to the last bit whether it is filtered alone or
// as either half of a pair: paired with the LFE (weight 0), before it or after
// it, it gives the figures it gives as a mono stream, for noise of changing
// level fed in the same pieces (frames cut in two where samples allow).
TEST(LoudnessMeter, PairedChannelsMeasureAsAlone)
{
    std::mt19937 rng(5);
    const std::size_t frames = 72000;
    for (int bytes : {1, 2, 3, 4}) {
        const TPcmLayout layouts[3] = {
            {1, bytes, 48000, 0}, {2, bytes, 48000, 0x4 | 0x8}, {2, bytes, 48000, 0x8 | 0x100}};
        std::vector<std::uint8_t> pcm[3];
        auto put = [&](int s, std::uint32_t v) {  // the top bytes of a left-aligned sample
            for (int b = 4 - bytes; b < 4; ++b)
                pcm[s].push_back(static_cast<std::uint8_t>((bytes == 1 ? v ^ 0x80000000u : v) >> (8 * b)));
        };
        for (std::size_t i = 0, shift = 0; i < frames; ++i) {
            if (i % 4800 == 0) shift = rng() % 24;
            const std::uint32_t alone =
                i == frames / 2 ? 0x80000000u : static_cast<std::int32_t>(rng()) >> shift;
            const std::uint32_t lfe = static_cast<std::int32_t>(rng()) >> 2;
            put(0, alone), put(1, alone), put(1, lfe), put(2, lfe), put(2, alone);
        }
        TLoudnessMeter meters[3];
        for (int s = 0; s < 3; ++s) {
            std::mt19937 cuts(bytes);
            for (std::size_t frame = 0, at = 0; at < pcm[s].size();) {
                frame = std::min(frames, frame + 1 + cuts() % 3000);
                const std::size_t end =
                    std::min(pcm[s].size(), frame * (pcm[s].size() / frames) + (bytes > 1 ? cuts() % 2 : 0));
                meters[s].Feed(layouts[s], pcm[s].data() + at, end - at);
                at = end;
            }
        }
        ASSERT_TRUE(meters[0].IntegratedLufs()) << bytes;
        for (const TLoudnessMeter& m : meters) {
            EXPECT_EQ(*meters[0].IntegratedLufs(), m.IntegratedLufs()) << bytes;
            EXPECT_EQ(1.0, m.SamplePeak()) << bytes;  // full scale in the channel, whichever lane
        }
    }
}
