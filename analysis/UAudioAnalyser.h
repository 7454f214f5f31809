// The level analyser: plays one file's audio through a callback filter as
// fast as it decodes (no clock) and measures the peak and mean absolute level
// of the down-mixed signal and, in the same pass, its integrated loudness.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "analysis/ULevelMeter.h"
#include "analysis/ULoudnessMeter.h"
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

    std::function<void(TAudioAnalyser&)> OnAnalysed;
    std::function<void(TAudioAnalyser&)> OnFinished;

    // For a progress window: a file was opened (progress back to 0), the
    // window should appear (an analysis started with ShowProgress) or go (the
    // analysis ended), and the progress moved (0..100).
    std::function<void(const std::wstring& fileName)> OnProgressOpened;
    std::function<void(bool show)> OnProgressShown;
    std::function<void(int percent)> OnProgress;

private:
    void BuildGraph();
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
};
