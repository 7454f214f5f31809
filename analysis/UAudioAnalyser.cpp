#include "analysis/UAudioAnalyser.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The analysis graph's event notification (clear of the toolkit's numbers,
// win/UMessages.h).
constexpr UINT WM_ANALYSER_GRAPHEVENT = WM_APP;
// A WAV file's reader ended: wParam its run, lParam 1 when it read the file
// to its end.
constexpr UINT WM_ANALYSER_READEREND = WM_APP + 1;
const UINT_PTR ProgressTimerId = 1;
const UINT ProgressIntervalMs = 100;
// What is read of a file to find its samples, and what the reader measures
// at a time.
const std::size_t WavHeaderBytes = 65536;
const std::size_t WavReadBytes = 65536;

}  // namespace

// --- TNotifyWindow -------------------------------------------------------------

TNotifyWindow::TNotifyWindow()
{
    Window.OnMessage = [this](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) {
        if (msg == WM_ANALYSER_GRAPHEVENT) {
            HandleGraphEvent();
            return true;
        }
        if (msg == WM_ANALYSER_READEREND) {
            if (OnReaderEnd) OnReaderEnd(static_cast<unsigned>(wParam), lParam != 0);
            return true;
        }
        if (msg == WM_TIMER && wParam == ProgressTimerId) {
            if (OnTimer) OnTimer();
            return true;
        }
        return false;
    };
}

TNotifyWindow::~TNotifyWindow() { KillTimer(Window.Handle(), ProgressTimerId); }

void TNotifyWindow::EnableTimer(bool on, UINT intervalMs)
{
    if (on)
        SetTimer(Window.Handle(), ProgressTimerId, intervalMs, nullptr);
    else
        KillTimer(Window.Handle(), ProgressTimerId);
}

void TNotifyWindow::PostReaderEnd(unsigned run, bool complete) const
{
    PostMessageW(Window.Handle(), WM_ANALYSER_READEREND, run, complete ? 1 : 0);
}

void TNotifyWindow::HandleGraphEvent()
{
    if (!Graph) return;
    const TGraphEvents events = Graph->TakeEvents();
    // The completion handler already ends the file; an abort in the same
    // batch must not end it (or the next file the owner started) again.
    if (events.Complete) {
        if (OnComplete) OnComplete();
    } else if (events.Aborted) {
        if (OnAbort) OnAbort();
    }
}

// --- TAudioAnalyser ------------------------------------------------------------

TAudioAnalyser::TAudioAnalyser()
{
    // Events the graph queued before a stop arrive afterwards; they belong
    // to an analysis that has already ended.
    NotifyWindow.OnComplete = [this] {
        if (Running) Completed();
    };
    NotifyWindow.OnAbort = [this] {
        if (Running) StopAnalysis();
    };
    NotifyWindow.OnTimer = [this] { ProgressTick(); };
    // The reader's end takes the way a graph's events take.
    NotifyWindow.OnReaderEnd = [this](unsigned run, bool complete) {
        if (run != ReadRun || !Running) return;
        if (complete)
            Completed();
        else
            StopAnalysis();
    };
    NotifyWindow.Graph = &Graph;
}

TAudioAnalyser::~TAudioAnalyser()
{
    // Stops like StopAnalysis but tells no one: the owner is going away.
    OnProgressOpened = nullptr;
    OnProgressShown = nullptr;
    OnProgress = nullptr;
    Halt();
    NotifyWindow.Graph = nullptr;
    Graph.Release();
}

void TAudioAnalyser::Reset()
{
    // A file opened while another is analysed ends that analysis first: its
    // graph or reader stops and the progress timer with it (it would
    // otherwise tick on the new file before StartAnalysis has measured it).
    // Nobody is told; the owner asked for the next file.
    if (Running) Halt();
    Graph.Release();
    WavFile.reset();
    Wav = TWavData{};
    ++ReadRun;
    Running = false;
    {
        std::lock_guard<std::mutex> g(Lock);
        Totals = TLevelTotals{};
        Loudness.Reset();
        MeasuredUpTo = 0;
        Progress = 0;
    }
    ProgressStep = 0;
}

void TAudioAnalyser::BuildGraph()
{
    Graph.Create();
    Graph.CreateCallbackFilter(TCallbackKind::Audio, this, &TAudioAnalyser::LevelCallback);
    CheckDSResult(Graph.SetNotifyWindow(NotifyWindow.GetHandle(), WM_ANALYSER_GRAPHEVENT));
}

bool TAudioAnalyser::OpenForAnalysis(const std::wstring& fileName)
{
    Reset();
    if (!OpenWav(fileName)) {
        BuildGraph();
        if (!Graph.ConnectToCallback(fileName)) return false;
    }
    if (OnProgressOpened) OnProgressOpened(fileName);
    return true;
}

// A file ending in ".wav" whose header ParseWavHeader takes and whose first
// frame can be read; anything else is left to a graph.
bool TAudioAnalyser::OpenWav(const std::wstring& fileName)
{
    if (!ReadWavFiles || fileName.size() < 4) return false;
    std::wstring extension = fileName.substr(fileName.size() - 4);
    for (wchar_t& c : extension)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (extension != L".wav") return false;
    TFile file(_wfopen(fileName.c_str(), L"rb"), &std::fclose);
    if (!file) return false;
    std::vector<std::uint8_t> header(WavHeaderBytes);
    const std::size_t n = std::fread(header.data(), 1, header.size(), file.get());
    TWavData wav;
    if (!ParseWavHeader(header.data(), n, wav) || n < wav.Offset + wav.FrameBytes ||
        _fseeki64(file.get(), static_cast<__int64>(wav.Offset), SEEK_SET) != 0)
        return false;
    WavFile = std::move(file);
    Wav = wav;
    return true;
}

// The reader thread: measures the data chunk, or as much of it as the file
// holds, in whole frames, and posts its end. A read error or a stop ends it
// without a result.
void TAudioAnalyser::ReadWav(unsigned run)
{
    bool complete = false;
    // Nothing may leave the thread: a failure ends the file without a result.
    try {
        const TWavData wav = Wav;
        std::vector<std::uint8_t> buffer(WavReadBytes - WavReadBytes % wav.FrameBytes + wav.FrameBytes);
        std::uint64_t left = wav.Size;
        std::uint64_t frames = 0;
        std::size_t held = 0;
        while (!StopReading) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() - held, left));
            const std::size_t n = std::fread(buffer.data() + held, 1, want, WavFile.get());
            held += n;
            left -= n;
            const std::size_t whole = held - held % wav.FrameBytes;
            if (whole) {
                frames += whole / wav.FrameBytes;
                const std::int64_t end = static_cast<std::int64_t>(frames * 10000000 / wav.Layout.SampleRate);
                Measure(wav.Layout, buffer.data(), whole, true, end);
                std::memmove(buffer.data(), buffer.data() + whole, held - whole);
                held -= whole;
            }
            if (n < want) {
                // The end of a file shorter than its header says is its end.
                complete = !std::ferror(WavFile.get());
                break;
            }
            if (left == 0) {
                complete = true;
                break;
            }
        }
    } catch (...) {
        complete = false;
    }
    if (!StopReading) NotifyWindow.PostReaderEnd(run, complete);
}

void TAudioAnalyser::StartAnalysis()
{
    if (Wav.FrameBytes) {
        // The declared length, or what the file holds when that is less.
        std::uint64_t bytes = Wav.Size;
        if (_fseeki64(WavFile.get(), 0, SEEK_END) == 0) {
            const __int64 size = _ftelli64(WavFile.get());
            if (size >= 0 && static_cast<std::uint64_t>(size) - Wav.Offset < bytes)
                bytes = static_cast<std::uint64_t>(size) - Wav.Offset;
        }
        ProgressStep =
            static_cast<std::int64_t>(bytes / Wav.FrameBytes * 10000000 / Wav.Layout.SampleRate / 100);
        if (ProgressStep <= 0) ProgressStep = 1;
        StopReading = false;
        const unsigned run = ReadRun;
        if (_fseeki64(WavFile.get(), static_cast<__int64>(Wav.Offset), SEEK_SET) == 0)
            Reader = std::thread([this, run] { ReadWav(run); });
        else
            NotifyWindow.PostReaderEnd(run, false);  // ends without a result, as a graph's error
    } else {
        Graph.RemoveClock();
        LONGLONG stop = 0;
        if (Graph.StopPosition(stop)) ProgressStep = stop / 100;
        if (ProgressStep <= 0) ProgressStep = 1;
        CheckDSResult(Graph.Run());
    }
    Running = true;
    NotifyWindow.EnableTimer(true, ProgressIntervalMs);
    if (ShowProgress && OnProgressShown) OnProgressShown(true);
}

// Without a clock some graphs (Wine's) report the start position all the
// way through; the time of the latest measured sample then shows how far
// the analysis has come.
void TAudioAnalyser::ProgressTick()
{
    if (!Running || ProgressStep <= 0) return;
    LONGLONG now = 0;
    if (!Wav.FrameBytes && !Graph.CurrentPosition(now)) return;
    {
        std::lock_guard<std::mutex> g(Lock);
        if (MeasuredUpTo > now) now = MeasuredUpTo;
    }
    std::int64_t p = now / ProgressStep;
    if (p > 100) p = 100;
    if (p < 0) p = 0;
    {
        std::lock_guard<std::mutex> g(Lock);
        Progress = static_cast<int>(p);
    }
    if (OnProgress) OnProgress(static_cast<int>(p));
}

void TAudioAnalyser::Completed()
{
    if (OnAnalysed) OnAnalysed(*this);
    StopAnalysis();
}

void TAudioAnalyser::Halt()
{
    Running = false;
    if (Reader.joinable()) {
        StopReading = true;
        Reader.join();
        WavFile.reset();
    }
    // Failures change nothing here: the graph is built anew for the next file.
    Graph.Stop();
    Graph.SetNotifyWindow(nullptr, 0);
    NotifyWindow.EnableTimer(false, 0);
    if (OnProgressShown) OnProgressShown(false);
}

void TAudioAnalyser::StopAnalysis()
{
    Halt();
    if (OnFinished) OnFinished(*this);
}

int TAudioAnalyser::GetMaxSample()
{
    std::lock_guard<std::mutex> g(Lock);
    return Totals.Max;
}

int TAudioAnalyser::GetAverageSample()
{
    std::lock_guard<std::mutex> g(Lock);
    return AverageLevel(Totals);
}

std::optional<int> TAudioAnalyser::GetLoudness()
{
    std::lock_guard<std::mutex> g(Lock);
    return Loudness.Loudness();
}

int TAudioAnalyser::GetProgress()
{
    std::lock_guard<std::mutex> g(Lock);
    return Progress;
}

HRESULT __stdcall TAudioAnalyser::LevelCallback(void* user, const AM_MEDIA_TYPE* mediaType,
                                                IMediaSample* sample)
{
    TPcmLayout layout;
    if (!mediaType || !sample || mediaType->formattype != FORMAT_WaveFormatEx ||
        !PcmLayoutOf(mediaType->pbFormat, mediaType->cbFormat, layout))
        return S_OK;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
    long length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    REFERENCE_TIME start = 0, end = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &end));
    static_cast<TAudioAnalyser*>(user)->Measure(layout, data, static_cast<std::size_t>(length), timed, end);
    return S_OK;
}

// One buffer of samples, from a graph's streaming thread or the reader.
void TAudioAnalyser::Measure(const TPcmLayout& layout, const std::uint8_t* data, std::size_t length,
                             bool timed, std::int64_t end)
{
    TLevelTotals local = MeasureLevels(data, length, layout.Channels, layout.BytesPerSample);
    std::lock_guard<std::mutex> g(Lock);
    Totals.Merge(local);
    // The meter's filters carry their state from one buffer to the next: it
    // measures in place, under the lock that its readers take.
    Loudness.Feed(layout, data, length);
    if (timed && end > MeasuredUpTo) MeasuredUpTo = end;
}
