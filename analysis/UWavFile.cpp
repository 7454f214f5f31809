#include "analysis/UWavFile.h"

#include <cstring>

namespace {

std::uint32_t Le16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); }

std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// The format block as the analyser's callback would read it from a graph,
// plus what a file must also satisfy to be read sample by sample here.
bool ReadFormat(const std::uint8_t* p, std::size_t size, TWavData& wav)
{
    TPcmLayout layout;
    if (!PcmLayoutOf(p, size, layout)) return false;
    const std::uint32_t bits = Le16(p + 14);
    if (bits % 8 != 0 || bits < 8 || bits > 32) return false;
    if (layout.Channels < 1 || layout.SampleRate < 1) return false;
    if (Le16(p) == 0xFFFE && Le16(p + 18) != bits) return false;  // valid bits per sample
    const int frameBytes = layout.Channels * layout.BytesPerSample;
    if (static_cast<int>(Le16(p + 12)) != frameBytes) return false;  // block alignment
    wav.Layout = layout;
    wav.FrameBytes = frameBytes;
    return true;
}

}  // namespace

bool ParseWavHeader(const std::uint8_t* bytes, std::size_t n, TWavData& wav)
{
    wav = TWavData{};
    if (!bytes || n < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    std::size_t at = 12;
    while (n - at >= 8) {
        const std::uint8_t* chunk = bytes + at;
        const std::uint64_t size = Le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format || size == 0) return false;
            wav.Offset = at;
            wav.Size = size;
            return true;
        }
        if (size > n - at) return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (format || !ReadFormat(bytes + at, static_cast<std::size_t>(size), wav)) return false;
            format = true;
        }
        // Chunks are padded to an even length.
        at += static_cast<std::size_t>(size + (size & 1));
        if (at > n) return false;
    }
    return false;
}
