// The level analyser: plays one file's audio through a callback filter as
// fast as it decodes (no clock) and measures the peak and mean absolute level
// of the down-mixed signal and, in the same pass, its integrated loudness.
// Uncompressed PCM WAV files are read by a thread of its own instead, with
// the same measuring and the same events; a decoding graph under Wine takes
// several times as long for them.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "analysis/ULevelMeter.h"
#include "analysis/ULoudnessMeter.h"
#include "analysis/UWavFile.h"
#include "playback/UMediaGraph.h"
#include "win/UMessageWindow.h"

// A hidden message-only window that takes the analysis graph's events and
// the progress timer's ticks.
class TNotifyWindow {
public:
    TNotifyWindow();
    ~TNotifyWindow();
    TNotifyWindow(const TNotifyWindow&) = delete;
    TNotifyWindow& operator=(const TNotifyWindow&) = delete;

    HWND GetHandle() const { return Window.Handle(); }
    void EnableTimer(bool on, UINT intervalMs);

    // The graph whose events come (not owned).
    TMediaGraph* Graph = nullptr;
    std::function<void()> OnComplete;
    std::function<void()> OnAbort;
    std::function<void()> OnTimer;
    // The file reader's end (posted by PostReaderEnd): complete or not.
    std::function<void(unsigned run, bool complete)> OnReaderEnd;

    // Safe from any thread.
    void PostReaderEnd(unsigned run, bool complete) const;

private:
    void HandleGraphEvent();

    TMessageWindow Window{"TNotifyWindow"};
};

class TAudioAnalyser {
public:
    TAudioAnalyser();
    ~TAudioAnalyser();
    TAudioAnalyser(const TAudioAnalyser&) = delete;
    TAudioAnalyser& operator=(const TAudioAnalyser&) = delete;

    // Builds a graph from the file to the callback filter; false when the file
    // cannot be added or its audio cannot reach the filter.
    bool OpenForAnalysis(const std::wstring& fileName);
    void StartAnalysis();
    void StopAnalysis();

    int GetMaxSample();
    int GetAverageSample();
    // Integrated loudness in hundredths of LU (-2300 for -23 LUFS); none when
    // the file is too short or too quiet for a gated result.
    std::optional<int> GetLoudness();
    int GetProgress();
    // Whether a progress window is wanted while a file is measured
    // (OnProgressShown tells the window when to appear).
    bool GetShowProgress() const { return ShowProgress; }
    void SetShowProgress(bool show) { ShowProgress = show; }
    // Whether uncompressed WAV files are read without a graph (the default);
    // off, every file goes through a decoding graph.
    void SetReadWavFiles(bool on) { ReadWavFiles = on; }
    // The open file is read without a graph.
    bool ReadsWavFile() const { return Wav.FrameBytes != 0; }

    std::function<void(TAudioAnalyser&)> OnAnalysed;
    std::function<void(TAudioAnalyser&)> OnFinished;

    // For a progress window: a file was opened (progress back to 0), the
    // window should appear (an analysis started with ShowProgress) or go (the
    // analysis ended), and the progress moved (0..100).
    std::function<void(const std::wstring& fileName)> OnProgressOpened;
    std::function<void(bool show)> OnProgressShown;
    std::function<void(int percent)> OnProgress;

private:
    using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

    void Reset();
    void BuildGraph();
    bool OpenWav(const std::wstring& fileName);
    void ReadWav(unsigned run);
    void Measure(const TPcmLayout& layout, const std::uint8_t* data, std::size_t length, bool timed,
                 std::int64_t end);
    void Completed();
    void ProgressTick();
    void Halt();
    static HRESULT __stdcall LevelCallback(void* user, const AM_MEDIA_TYPE* mediaType, IMediaSample* sample);

    TMediaGraph Graph;
    std::mutex Lock;
    TNotifyWindow NotifyWindow;
    TLevelTotals Totals;
    // Fed on the streaming thread and read on the GUI thread, both under Lock.
    TLoudnessMeter Loudness;
    // End time of the latest sample measured (100 ns units), under Lock.
    std::int64_t MeasuredUpTo = 0;
    int Progress = 0;
    std::int64_t ProgressStep = 0;
    bool ShowProgress = true;
    bool Running = false;

    // The WAV file being read without a graph (Wav.FrameBytes 0: none).
    bool ReadWavFiles = true;
    TFile WavFile{nullptr, &std::fclose};
    TWavData Wav;
    std::thread Reader;
    std::atomic<bool> StopReading{false};
    // Tells a reader's end from that of a file ended before.
    unsigned ReadRun = 0;
};
