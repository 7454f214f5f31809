#include "analysis/UAudioAnalyser.h"

namespace {

// The analysis graph's event notification (clear of the toolkit's numbers,
// win/UMessages.h).
constexpr UINT WM_ANALYSER_GRAPHEVENT = WM_APP;
const UINT_PTR ProgressTimerId = 1;
const UINT ProgressIntervalMs = 100;

}  // namespace

// --- TNotifyWindow -------------------------------------------------------------

TNotifyWindow::TNotifyWindow()
{
    Window.OnMessage = [this](UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
        if (msg == WM_ANALYSER_GRAPHEVENT) {
            HandleGraphEvent();
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
    NotifyWindow.Graph = &Graph;
    BuildGraph();
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

void TAudioAnalyser::BuildGraph()
{
    // A file opened while another is analysed ends that analysis first: its
    // graph stops and the progress timer with it (it would otherwise tick
    // on the new graph before StartAnalysis has measured it). Nobody is
    // told; the owner asked for the next file.
    if (Running) Halt();
    Graph.Release();
    Running = false;
    {
        std::lock_guard<std::mutex> g(Lock);
        Totals = TLevelTotals{};
        Loudness.Reset();
        MeasuredUpTo = 0;
        Progress = 0;
    }
    ProgressStep = 0;

    Graph.Create();
    Graph.CreateCallbackFilter(TCallbackKind::Audio, this, &TAudioAnalyser::LevelCallback);
    CheckDSResult(Graph.SetNotifyWindow(NotifyWindow.GetHandle(), WM_ANALYSER_GRAPHEVENT));
}

bool TAudioAnalyser::OpenForAnalysis(const std::wstring& fileName)
{
    BuildGraph();
    if (!Graph.ConnectToCallback(fileName)) return false;
    if (OnProgressOpened) OnProgressOpened(fileName);
    return true;
}

void TAudioAnalyser::StartAnalysis()
{
    Graph.RemoveClock();
    LONGLONG stop = 0;
    if (Graph.StopPosition(stop)) ProgressStep = stop / 100;
    if (ProgressStep <= 0) ProgressStep = 1;
    CheckDSResult(Graph.Run());
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
    if (!Graph.CurrentPosition(now)) return;
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
    TLevelTotals local =
        MeasureLevels(data, static_cast<std::size_t>(length), layout.Channels, layout.BytesPerSample);
    REFERENCE_TIME start = 0, end = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &end));
    auto* self = static_cast<TAudioAnalyser*>(user);
    std::lock_guard<std::mutex> g(self->Lock);
    self->Totals.Merge(local);
    // The meter's filters carry their state from one buffer to the next: it
    // measures in place, under the lock that its readers take.
    self->Loudness.Feed(layout, data, static_cast<std::size_t>(length));
    if (timed && end > self->MeasuredUpTo) self->MeasuredUpTo = end;
    return S_OK;
}
