// The level arithmetic of the analyser: peak and sum of the absolute values of
// the down-mixed PCM signal. Free of any Windows API.
#pragma once

#include <cstddef>
#include <cstdint>

// One little-endian PCM sample of `bytes` bytes, left-aligned in 32 bits: its
// top four bytes (fewer when narrower, the rest zero). One-byte samples are
// unsigned around 128. The level arithmetic takes the top 16 bits of this;
// the loudness meter keeps the full value.
inline std::int32_t PcmSampleAt(const std::uint8_t* p, int bytes)
{
    if (bytes == 1) return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] ^ 0x80) << 24);
    std::uint32_t v = 0;
    for (int i = 0; i < bytes && i < 4; ++i)
        v |= static_cast<std::uint32_t>(p[bytes - 1 - i]) << (24 - 8 * i);
    return static_cast<std::int32_t>(v);
}

struct TLevelTotals {
    int Max = 0;             // largest absolute frame value, 0..32768
    double Sum = 0.0;        // sum of the absolute frame values
    std::int64_t Count = 0;  // number of frames

    void Merge(const TLevelTotals& o)
    {
        if (o.Max > Max) Max = o.Max;
        Sum += o.Sum;
        Count += o.Count;
    }
};

// Measures one buffer of interleaved little-endian PCM. Each sample is taken
// on the 16-bit scale: its top two bytes as a signed 16-bit value; one-byte
// samples are unsigned around 128 and become (b - 128) * 256. A frame's value
// is the channels' sum plus channels / 2, divided by channels (truncating).
// Only whole frames are read; a trailing partial frame is ignored. Buffers
// with no channel or samples narrower than 8 bits add nothing.
TLevelTotals MeasureLevels(const std::uint8_t* data, std::size_t length, int channels, int bytesPerSample);

// The sample layout a PCM buffer is measured with.
struct TPcmLayout {
    int Channels = 0;
    int BytesPerSample = 0;         // wBitsPerSample / 8
    int SampleRate = 0;             // nSamplesPerSec
    std::uint32_t ChannelMask = 0;  // dwChannelMask of the extensible format; 0: none given
};

// Reads a WAVEFORMATEX format block of size bytes. PCM is format tag 1, or
// WAVE_FORMAT_EXTENSIBLE (0xFFFE) with the PCM sub-format, as WAV files with
// more than 16 bits or more than two channels carry it. False for anything
// else (compressed or floating-point audio, a short block).
bool PcmLayoutOf(const std::uint8_t* format, std::size_t size, TPcmLayout& layout);

// The rounded mean (ties to even); 0 when nothing was counted.
int AverageLevel(const TLevelTotals& totals);
