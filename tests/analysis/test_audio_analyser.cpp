// The level analyser with real graphs under Wine: WAV files written here from
// known samples are measured exactly; movies complete with their video in a
// Null Renderer; Cancel ends a file without a result.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/UAudioAnalyser.h"
#include "tests/media/MediaTestSupport.h"
#include "ui/UAnalysisProgressDlg.h"

namespace {

auto* const ComEnv = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

std::vector<int> Noise(unsigned seed, size_t n, int bits, double scale)
{
    std::mt19937 rng(seed);
    const int top = (1 << (bits - 1)) - 1;
    std::uniform_int_distribution<int> d(-top - 1, top);
    std::vector<int> s(n);
    for (int& v : s) v = static_cast<int>(d(rng) * scale);
    return s;
}

struct TRun {
    std::vector<std::string> Events;
    void Attach(TAudioAnalyser& a)
    {
        a.OnAnalysed = [this](TAudioAnalyser&) { Events.push_back("analysed"); };
        a.OnFinished = [this](TAudioAnalyser&) { Events.push_back("finished"); };
    }
    bool Finished() const { return !Events.empty() && Events.back() == "finished"; }
};

bool Analyse(TAudioAnalyser& a, TRun& run, const std::wstring& path)
{
    run.Events.clear();
    if (!a.OpenForAnalysis(path)) return false;
    a.StartAnalysis();
    return PumpUntil([&] { return run.Finished(); }, 10000);
}

std::wstring Temp(const wchar_t* name) { return TestMediaPath(name); }

}  // namespace

TEST(AudioAnalyser, MeasuresGeneratedWavFilesExactly)
{
    struct TCase {
        const wchar_t* Name;
        int Channels, Bits;
        double Scale;
    };
    const TCase cases[] = {
        {L"gen16-mono.wav", 1, 16, 0.5},
        {L"gen16-stereo.wav", 2, 16, 1.0},
        {L"gen24-stereo.wav", 2, 24, 0.8},
        {L"gen8-mono.wav", 1, 8, 1.0},
    };
    TAudioAnalyser a;
    a.SetShowProgress(false);
    TRun run;
    run.Attach(a);
    unsigned seed = 1;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Bits * 10 + c.Channels);
        const int rate = 22050;
        std::vector<int> samples = Noise(seed++, static_cast<size_t>(rate) * c.Channels, c.Bits, c.Scale);
        if (c.Bits == 16) samples[7 * c.Channels] = -32768;
        TWavLevels e = WriteTestWav(Temp(c.Name), c.Channels, c.Bits, rate, samples);
        ASSERT_TRUE(Analyse(a, run, Temp(c.Name)));
        EXPECT_EQ((std::vector<std::string>{"analysed", "finished"}), run.Events);
        EXPECT_EQ(e.Max, a.GetMaxSample());
        EXPECT_EQ(e.Average, a.GetAverageSample());
    }
}

namespace {

// A WAV file of a swelling sine with noise (extensible: the extensible
// format with that channel mask), with extra bytes after the whole frames;
// the data chunk is padded and followed by a LIST chunk, and cut bytes are
// taken off the end (the header still declares them).
void WriteWav(const std::wstring& path, int channels, int bits, int rate, int frames, int extra,
              std::uint32_t extensible, std::size_t cut)
{
    std::mt19937 rng(static_cast<unsigned>(channels * 100 + bits));
    std::normal_distribution<double> noise(0.0, 0.05);
    std::vector<std::uint8_t> f, data;
    auto le = [](std::vector<std::uint8_t>& v, std::uint64_t x, int n) {
        for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    };
    for (int i = 0; i < frames * channels; ++i) {
        const double swell = 0.05 + 0.9 * std::fabs(std::sin(i / channels * 3.0 / rate));
        const double v = std::max(-1.0, std::min(1.0, swell * std::sin(i * 0.05) + noise(rng)));
        const auto top = static_cast<double>((std::int64_t{1} << (bits - 1)) - 1);
        le(data, static_cast<std::uint64_t>(static_cast<std::int64_t>(v * top) + (bits == 8 ? 128 : 0)),
           bits / 8);
    }
    data.resize(data.size() + extra, 0x7F);
    const char* const pcm = "\x01\0\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71";
    for (char c : std::string("RIFF....WAVEfmt ")) f.push_back(static_cast<std::uint8_t>(c));
    le(f, extensible ? 40 : 16, 4);
    le(f, extensible ? 0xFFFE : 1, 2);
    le(f, channels, 2);
    le(f, rate, 4);
    le(f, rate * channels * bits / 8, 4);
    le(f, channels * bits / 8, 2);
    le(f, bits, 2);
    if (extensible) {
        le(f, 22 | bits << 16 | std::uint64_t{extensible} << 32, 8);
        f.insert(f.end(), pcm, pcm + 16);
    }
    for (char c : std::string("data")) f.push_back(static_cast<std::uint8_t>(c));
    le(f, data.size(), 4);
    f.insert(f.end(), data.begin(), data.end());
    f.resize(f.size() + data.size() % 2);
    for (char c : std::string("LIST\4\0\0\0INFO", 12)) f.push_back(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<std::uint8_t>((f.size() - 8) >> (8 * i));
    f.resize(f.size() - cut);
    FILE* out = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, out);
    fwrite(f.data(), 1, f.size(), out);
    fclose(out);
}

}  // namespace

// Plain PCM WAV files are read without a graph; what is measured, and what
// auto-adjust stores of it, is what the decoding graph gives.
TEST(AudioAnalyser, WavFilesReadDirectlyMeasureAsThroughTheGraph)
{
    struct TCase {
        int Channels, Bits, Rate, Frames, Extra;
        std::uint32_t Mask;
        std::size_t Cut;
    } const cases[] = {
        {2, 16, 44100, 70000, 0, 0, 0},     {1, 8, 22050, 30001, 0, 0, 0},  // a padded data chunk
        {2, 24, 48000, 50000, 0, 0x3, 0},   {1, 32, 32000, 20000, 0, 0x4, 0},
        {5, 16, 48000, 40000, 0, 0x37, 0},                                      // L R C and the back pair
        {2, 16, 44100, 30000, 3, 0, 0},                                         // a frame cut short
        {2, 16, 44100, 60000, 0, 0, 20001}, {1, 24, 44100, 60000, 0, 0, 9000},  // truncated files
    };
    TAudioAnalyser a;
    a.SetShowProgress(false);
    TRun run;
    run.Attach(a);
    const std::wstring path = Temp(L"both-ways.wav");
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Channels << " channels, " << c.Bits << " bits, cut " << c.Cut);
        WriteWav(path, c.Channels, c.Bits, c.Rate, c.Frames, c.Extra, c.Mask, c.Cut);
        std::tuple<int, int, std::optional<int>, std::vector<std::string>> results[2];
        for (int direct = 0; direct < 2; ++direct) {
            a.SetReadWavFiles(direct != 0);
            ASSERT_TRUE(Analyse(a, run, path));
            EXPECT_EQ(direct != 0, a.ReadsWavFile());
            results[direct] = {a.GetMaxSample(), a.GetAverageSample(), a.GetLoudness(), run.Events};
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_EQ((std::vector<std::string>{"analysed", "finished"}), std::get<3>(results[1]));
        EXPECT_GT(std::get<0>(results[1]), 1000);
        EXPECT_TRUE(std::get<2>(results[1]));
    }
    DeleteFileW(path.c_str());
}

TEST(AudioAnalyser, MovieCompletesWithItsVideoDropped)
{
    TAudioAnalyser a;
    a.SetShowProgress(false);
    TRun run;
    run.Attach(a);
    for (const wchar_t* name : {L"movie-mjpeg.avi", L"movie.mp4", L"audio.mp3", L"ソ表能.wav"}) {
        ASSERT_TRUE(Analyse(a, run, TestMediaPath(name)));
        EXPECT_EQ((std::vector<std::string>{"analysed", "finished"}), run.Events);
        if (name[0] == L'ソ') {
            // sox's sine at -6 dB.
            EXPECT_NEAR(16384, a.GetMaxSample(), 200);
            continue;
        }
        // ffmpeg's sine has an amplitude of 4096 (lossy codecs wobble).
        EXPECT_GT(a.GetMaxSample(), 3500);
        EXPECT_LT(a.GetMaxSample(), 5000);
        EXPECT_GT(a.GetAverageSample(), 2000);
    }
}

namespace {

// Wine answers GetProcessHandleCount with 0; its handles are small multiples
// of 4 given out lowest first, so they are counted by asking for each.
DWORD OpenHandles()
{
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n) return n;
    for (ULONG_PTR h = 4; h < 0x100000; h += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++n;
    }
    return n;
}

}  // namespace

// Auto-adjust measures a list file after file in one analyser. Under Wine a
// movie used to leave more than 400 handles behind (its video stream was
// searched a way to the audio filter through the registry).
TEST(AudioAnalyser, MoviesOneAfterAnotherKeepNoHandles)
{
    TAudioAnalyser a;
    a.SetShowProgress(false);
    TRun run;
    run.Attach(a);
    DWORD before = 0;
    for (int i = 0; i < 8; ++i) {
        if (i == 2) before = OpenHandles();
        ASSERT_TRUE(Analyse(a, run, TestMediaPath(i % 2 ? L"movie-mjpeg.avi" : L"wav16-stereo.wav")));
        EXPECT_EQ((std::vector<std::string>{"analysed", "finished"}), run.Events);
    }
    const long growth = static_cast<long>(OpenHandles()) - static_cast<long>(before);
    EXPECT_LT(growth, 60) << "handles kept by 6 files";
}

TEST(AudioAnalyser, SecondFileStartsFromZero)
{
    TAudioAnalyser a;
    a.SetShowProgress(false);
    TRun run;
    run.Attach(a);
    TWavLevels loud = WriteTestWav(Temp(L"gen-loud.wav"), 1, 16, 22050, Noise(11, 22050, 16, 1.0));
    TWavLevels quiet = WriteTestWav(Temp(L"gen-quiet.wav"), 1, 16, 22050, Noise(12, 22050, 16, 0.01));
    ASSERT_TRUE(Analyse(a, run, Temp(L"gen-loud.wav")));
    EXPECT_EQ(loud.Max, a.GetMaxSample());
    EXPECT_TRUE(a.GetLoudness());
    ASSERT_TRUE(a.OpenForAnalysis(Temp(L"gen-quiet.wav")));
    EXPECT_EQ(0, a.GetMaxSample());
    EXPECT_EQ(0, a.GetAverageSample());
    EXPECT_FALSE(a.GetLoudness());
    ASSERT_TRUE(Analyse(a, run, Temp(L"gen-quiet.wav")));
    EXPECT_EQ(quiet.Max, a.GetMaxSample());
    EXPECT_EQ(quiet.Average, a.GetAverageSample());
}

// The next file may be opened while one is measured (auto-adjust goes
// through its files back to back): the running analysis ends quietly and
// the progress timer waits for the next start.
TEST(AudioAnalyser, OpeningWhileAnotherFileRuns)
{
    TAudioAnalyser a;
    TAnalysisProgressDlg dialog;
    dialog.Follow(a);
    TRun run;
    run.Attach(a);
    ASSERT_TRUE(a.OpenForAnalysis(TestMediaPath(L"movie.mp4")));
    a.StartAnalysis();
    ASSERT_TRUE(a.OpenForAnalysis(TestMediaPath(L"wav16-stereo.wav")));
    PumpFor(350);  // a few ticks of the progress timer
    EXPECT_TRUE(run.Events.empty());
    EXPECT_FALSE(dialog.Visible());
    a.StartAnalysis();
    ASSERT_TRUE(PumpUntil([&] { return run.Finished(); }, 10000));
    EXPECT_EQ((std::vector<std::string>{"analysed", "finished"}), run.Events);
    EXPECT_GT(a.GetMaxSample(), 0);
}

TEST(AudioAnalyser, FilesThatCannotBeOpened)
{
    TAudioAnalyser a;
    TAnalysisProgressDlg dialog;
    dialog.Follow(a);
    TRun run;
    run.Attach(a);
    EXPECT_FALSE(a.OpenForAnalysis(TestMediaPath(L"no-such-file.wav")));
    EXPECT_FALSE(a.OpenForAnalysis(TestMediaPath(L"not-a-movie.avi")));
    EXPECT_FALSE(a.OpenForAnalysis(TestMediaPath(L"video-only.avi")));  // no audio to measure
    PumpFor(100);
    EXPECT_TRUE(run.Events.empty());
    EXPECT_FALSE(dialog.Visible());
}

TEST(AudioAnalyser, CancelFinishesWithoutAResult)
{
    TAudioAnalyser a;
    TAnalysisProgressDlg dialog;
    dialog.Follow(a);
    TRun run;
    run.Attach(a);
    ASSERT_TRUE(a.OpenForAnalysis(TestMediaPath(L"movie.mp4")));
    a.StartAnalysis();
    EXPECT_TRUE(dialog.Visible());
    SendMessageW(dialog.GetCancelButton(), BM_CLICK, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"finished"}, run.Events);
    EXPECT_FALSE(dialog.Visible());
    // Whatever the graph had queued before the cancel changes nothing.
    PumpFor(1500);
    EXPECT_EQ(std::vector<std::string>{"finished"}, run.Events);

    // Closing the progress window cancels too.
    run.Events.clear();
    ASSERT_TRUE(a.OpenForAnalysis(TestMediaPath(L"movie.mp4")));
    a.StartAnalysis();
    SendMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
    PumpFor(500);
    EXPECT_EQ(std::vector<std::string>{"finished"}, run.Events);
}

// While a long file is measured, the 100 ms timer moves the progress from 0
// towards 100, never back, and the progress dialog shows the same value.
TEST(AudioAnalyser, ProgressClimbsWhileALongFileIsMeasured)
{
    // Ten minutes of CD-quality silence (about 100 MB), written in pieces.
    const std::wstring path = Temp(L"gen-long.wav");
    const std::uint32_t dataBytes = 600u * 44100u * 4u;
    {
        std::vector<int> none;
        WriteTestWav(path, 2, 16, 44100, none);  // the header of an empty file
        FILE* f = _wfopen(path.c_str(), L"r+b");
        ASSERT_NE(nullptr, f);
        auto patch = [f](long at, std::uint32_t v) {
            std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                 static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
            fseek(f, at, SEEK_SET);
            fwrite(b, 1, 4, f);
        };
        patch(4, 36 + dataBytes);
        patch(40, dataBytes);
        fseek(f, 44, SEEK_SET);
        std::vector<std::uint8_t> block(1 << 20, 0);
        for (std::uint32_t left = dataBytes; left > 0;) {
            const std::uint32_t n = left < block.size() ? left : static_cast<std::uint32_t>(block.size());
            fwrite(block.data(), 1, n, f);
            left -= n;
        }
        fclose(f);
    }

    TAudioAnalyser a;
    a.SetReadWavFiles(false);  // read without a graph, it is over before the timer ticks
    TAnalysisProgressDlg dialog;
    dialog.Follow(a);
    TRun run;
    run.Attach(a);
    ASSERT_TRUE(a.OpenForAnalysis(path));
    std::vector<int> seen{a.GetProgress()};
    bool dialogAgrees = true;
    const DWORD start = GetTickCount();
    a.StartAnalysis();
    ASSERT_TRUE(PumpUntil(
        [&] {
            const int p = a.GetProgress();
            if (p != seen.back()) seen.push_back(p);
            if (!run.Finished() && dialog.GetProgress() != p) dialogAgrees = false;
            return run.Finished();
        },
        60000));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ((std::vector<std::string>{"analysed", "finished"}), run.Events);
    EXPECT_EQ(0, a.GetMaxSample());
    EXPECT_EQ(0, seen.front());
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GT(seen[i], seen[i - 1]);
        EXPECT_LE(seen[i], 100);
    }
    EXPECT_TRUE(dialogAgrees);
    DeleteFileW(path.c_str());
    if (elapsed < 400) GTEST_SKIP() << "measured in " << elapsed << " ms: too fast to see the timer";
    EXPECT_GE(seen.size(), 2u) << "no progress in " << elapsed << " ms";
}
