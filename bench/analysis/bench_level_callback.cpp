// The analyser's level arithmetic over 16-bit stereo buffers of 64 KiB, one
// lock per buffer as in the callback, against a plain loop that only sums the
// same samples. Before the result line, the whole callback's work as the
// analyser does it (the levels and the loudness meter) against the same loop,
// for comparison: the meter's filters, not the levels, set its pace.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "analysis/ULevelMeter.h"
#include "analysis/ULoudnessMeter.h"

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

using Clock = std::chrono::steady_clock;

template <class F>
double Seconds(F& pass)
{
    const auto start = Clock::now();
    pass();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// Mframes/s of ours and of the baseline. Their passes take turns for about
// 1.4 s and each side's median pass counts, so that on a loaded machine both
// meet the same load and a pass cut short by another process counts for
// neither.
template <class F, class G>
void Rates(F&& ours, G&& baseline, double& oursRate, double& baselineRate)
{
    ours();  // warm up
    baseline();
    std::vector<double> a, b;
    const auto start = Clock::now();
    do {
        a.push_back(Seconds(ours));
        b.push_back(Seconds(baseline));
    } while (std::chrono::duration<double>(Clock::now() - start).count() < 1.4);
    const double frames = double(Buffers) * FramesPerBuffer / 1e6;
    oursRate = frames / Median(a);
    baselineRate = frames / Median(b);
}

}  // namespace

int main()
{
    std::vector<std::uint8_t> data(BufferBytes * Buffers);
    std::mt19937 rng(3);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    TPcmLayout layout;
    layout.Channels = 2;
    layout.BytesPerSample = 2;
    layout.SampleRate = 44100;

    std::mutex lock;
    TLevelTotals totals;
    TLoudnessMeter meter;
    auto plain = [&] {
        std::int64_t sum = 0;
        for (int b = 0; b < Buffers; ++b) sum += PlainSum(data.data() + b * BufferBytes, BufferBytes);
        Sink = sum;
    };

    double callback = 0, baseline = 0;
    Rates(
        [&] {
            for (int b = 0; b < Buffers; ++b) {
                const std::uint8_t* p = data.data() + b * BufferBytes;
                TLevelTotals local = MeasureLevels(p, BufferBytes, 2, 2);
                std::lock_guard<std::mutex> g(lock);
                totals.Merge(local);
                meter.Feed(layout, p, BufferBytes);
            }
        },
        plain, callback, baseline);
    Sink = meter.GatedBlocks();
    std::printf("level callback with the loudness meter: %.1f Mframes/s, %.2f of the plain loop\n", callback,
                callback / baseline);

    double ours = 0;
    Rates(
        [&] {
            for (int b = 0; b < Buffers; ++b) {
                TLevelTotals local = MeasureLevels(data.data() + b * BufferBytes, BufferBytes, 2, 2);
                std::lock_guard<std::mutex> g(lock);
                totals.Merge(local);
            }
        },
        plain, ours, baseline);
    Sink = totals.Max;
    std::printf("bench level-callback: ours %.1f Mframes/s, baseline %.1f Mframes/s, ratio %.2f\n", ours,
                baseline, ours / baseline);
    return 0;
}
