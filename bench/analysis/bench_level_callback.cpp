// The analyser's level arithmetic over 16-bit stereo buffers of 64 KiB, one
// lock per buffer as in the callback, against a plain loop that only sums the
// same samples.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "analysis/ULevelMeter.h"

namespace {

const std::size_t BufferBytes = 64 * 1024;
const int Buffers = 32;
const std::size_t FramesPerBuffer = BufferBytes / 4;

volatile std::int64_t Sink;

std::int64_t PlainSum(const std::uint8_t* data, std::size_t length)
{
    std::int64_t sum = 0;
    for (std::size_t i = 0; i + 2 <= length; i += 2) {
        std::int16_t s;
        std::memcpy(&s, data + i, 2);
        sum += s;
    }
    return sum;
}

template <class F>
double MframesPerSecond(F&& pass)
{
    using Clock = std::chrono::steady_clock;
    pass();  // warm up
    long passes = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
        pass();
        ++passes;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.7);
    return passes * double(Buffers) * FramesPerBuffer / elapsed / 1e6;
}

}  // namespace

int main()
{
    std::vector<std::uint8_t> data(BufferBytes * Buffers);
    std::mt19937 rng(3);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());

    std::mutex lock;
    TLevelTotals totals;
    double ours = MframesPerSecond([&] {
        for (int b = 0; b < Buffers; ++b) {
            TLevelTotals local = MeasureLevels(data.data() + b * BufferBytes, BufferBytes, 2, 2);
            std::lock_guard<std::mutex> g(lock);
            totals.Merge(local);
        }
    });
    Sink = totals.Max;
    double baseline = MframesPerSecond([&] {
        std::int64_t sum = 0;
        for (int b = 0; b < Buffers; ++b) sum += PlainSum(data.data() + b * BufferBytes, BufferBytes);
        Sink = sum;
    });
    std::printf("bench level-callback: ours %.1f Mframes/s, baseline %.1f Mframes/s, ratio %.2f\n", ours,
                baseline, ours / baseline);
    return 0;
}
