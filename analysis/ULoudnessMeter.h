// Integrated loudness (ITU-R BS.1770-4, EBU R128) and sample peak of a PCM
// stream, fed buffer by buffer as the analyser's callback receives them.
// Free of any Windows API.
//
// Each channel is K-weighted (a high shelf and a high-pass, both designed for
// the stream's sample rate), squared and weighted by its position (1.0 front
// and centre, 1.41 surround, 0 for the LFE); the mean of that sum over 400 ms
// blocks that overlap by 75 % gives the block loudness. Blocks at or below
// -70 LUFS are gated out, then those 10 LU or more below the mean of the rest;
// the mean of what remains is the integrated loudness.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/ULevelMeter.h"

// Weight of each channel of the layout in the loudness sum: the channels are
// placed by the extensible format's channel mask or, without one, by the
// usual order for their count (1: centre, 2: L R, 6: L R C LFE Ls Rs, ...).
std::vector<double> LoudnessChannelWeights(const TPcmLayout& layout);

// Not thread-safe: one stream feeds it from one thread at a time.
class TLoudnessMeter {
public:
    // Measures a buffer of interleaved little-endian PCM (whole frames or
    // not: a frame cut at the end of a buffer is completed by the next one).
    // A layout other than the previous buffer's starts the filters and the
    // current block afresh; blocks measured before stay. Layouts the meter
    // cannot measure (no channel, no sample width, a rate below 8000 Hz) add
    // nothing.
    void Feed(const TPcmLayout& layout, const std::uint8_t* data, std::size_t length);

    // Integrated loudness in hundredths of LU (LUFS x 100, -2300 for
    // -23 LUFS), rounded; none when no block passes the gates (shorter than
    // 400 ms, or silent or quieter than -70 LUFS throughout).
    std::optional<int> Loudness() const;
    // The same in LUFS, unrounded.
    std::optional<double> IntegratedLufs() const;
    // Largest absolute sample so far; 1.0 is full scale.
    double SamplePeak() const;
    // Number of 400 ms blocks above the absolute gate.
    std::size_t GatedBlocks() const { return FBlocks.size(); }

    // Forgets everything measured.
    void Reset();

private:
    struct TChannel {
        double Weight = 1.0;
        double S1 = 0, S2 = 0, H1 = 0, H2 = 0;  // filter states: shelf, high-pass
    };

    bool Start(const TPcmLayout& layout);
    void Run(const std::uint8_t* p, std::size_t frames);
    void CloseQuarter();

    TPcmLayout FLayout;
    bool FUsable = false;
    std::size_t FFrameBytes = 0;
    double FShelf[5] = {}, FHighPass[5] = {};  // b0 b1 b2 a1 a2 of each stage
    std::vector<TChannel> FChannels;
    std::vector<std::uint8_t> FPartial;  // bytes of a frame cut at a buffer's end

    // 100 ms quarters of the 400 ms blocks. Quarter q of the current layout
    // ends after frame (q + 1) * rate / 10, so odd rates keep exact time.
    std::int64_t FFrame = 0;
    std::int64_t FQuarterEnd = 0;
    std::int64_t FQuarters = 0;
    double FQuarterSum = 0;
    double FSums[4] = {};
    std::int64_t FFrames[4] = {};

    std::vector<double> FBlocks;  // mean weighted squares of blocks above the absolute gate
    std::int64_t FPeak = 0;       // on the 32-bit left-aligned scale
};
