// The header of an uncompressed PCM WAV file, read without any Windows API so
// that the analyser can measure such files without a decoding graph.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/ULevelMeter.h"

// Where a WAV file's samples lie and how they are laid out.
struct TWavData {
    TPcmLayout Layout;
    int FrameBytes = 0;
    std::uint64_t Offset = 0;  // of the first sample byte from the start of the file
    std::uint64_t Size = 0;    // the data chunk's declared size (the file may hold less)
};

// Reads the chunks at the start of a file (bytes, n of them) up to the start
// of its "data" chunk. True for a RIFF/WAVE file whose "fmt " chunk, before
// "data", is plain PCM (format tag 1, or the extensible format with the PCM
// sub-format and every bit of its samples valid) of 8, 16, 24 or 32 bits in
// whole bytes, with a block alignment of exactly one frame and a rate of at
// least 1 Hz, and whose data chunk starts within the bytes given and is not
// empty. False for everything else (compressed or floating-point audio, odd
// headers), which is left to the decoding graph.
bool ParseWavHeader(const std::uint8_t* bytes, std::size_t n, TWavData& wav);
