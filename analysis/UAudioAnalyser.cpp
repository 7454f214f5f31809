#include "analysis/UAudioAnalyser.h"

#include <vector>

#include "tsfilter/TsFilter.h"

namespace {

const UINT_PTR ProgressTimerId = 1;
const UINT ProgressIntervalMs = 100;

TComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction)
{
    TComPtr<IEnumPins> pins;
    CheckDSResult(filter->EnumPins(pins.Put()));
    TComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) return pin;
    }
    return nullptr;
}

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
    TComPtr<IMediaEvent> events = MediaEvent;  // the handlers below may replace it
    if (!events) return;
    bool complete = false, aborted = false;
    long code;
    LONG_PTR param1, param2;
    while (SUCCEEDED(events->GetEvent(&code, &param1, &param2, 0))) {
        events->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE)
            complete = true;
        else if (code == EC_USERABORT || code == EC_ERRORABORT)
            aborted = true;
    }
    // The completion handler already ends the file; an abort in the same
    // batch must not end it (or the next file the owner started) again.
    if (complete) {
        if (OnComplete) OnComplete();
    } else if (aborted) {
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
    BuildGraph();
}

TAudioAnalyser::~TAudioAnalyser()
{
    // Stops like StopAnalysis but tells no one: the owner is going away.
    OnProgressOpened = nullptr;
    OnProgressShown = nullptr;
    OnProgress = nullptr;
    Halt();
    NotifyWindow.MediaEvent = nullptr;
    SourceFilter = nullptr;
    CallbackFilter = nullptr;
    Graph = nullptr;
}

void TAudioAnalyser::BuildGraph()
{
    // A file opened while another is analysed ends that analysis first: its
    // graph stops and the progress timer with it (it would otherwise tick
    // on the new graph before StartAnalysis has measured it). Nobody is
    // told; the owner asked for the next file.
    if (Running) Halt();
    if (Graph) {
        TComPtr<IMediaEventEx> ex = Graph.As<IMediaEventEx>(IID_IMediaEventEx);
        if (ex) ex->SetNotifyWindow(0, 0, 0);
    }
    NotifyWindow.MediaEvent = nullptr;
    SourceFilter = nullptr;
    CallbackFilter = nullptr;
    Graph = nullptr;
    Running = false;
    {
        std::lock_guard<std::mutex> g(Lock);
        Totals = TLevelTotals{};
        Loudness.Reset();
        MeasuredUpTo = 0;
        Progress = 0;
    }
    ProgressStep = 0;

    CheckDSResult(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_IGraphBuilder, Graph.PutVoid()));
    CallbackHandle = 0;
    CheckDSResult(CreateAudioCallbackFilter(CallbackFilter.Put(), &CallbackHandle));
    CheckDSResult(SetTSFilterCallback(CallbackHandle, this, &TAudioAnalyser::LevelCallback));
    CheckDSResult(Graph->AddFilter(CallbackFilter.Get(), nullptr));
    HRESULT hr;
    NotifyWindow.MediaEvent = Graph.As<IMediaEvent>(IID_IMediaEvent, &hr);
    CheckDSResult(hr);
    TComPtr<IMediaEventEx> ex = Graph.As<IMediaEventEx>(IID_IMediaEventEx, &hr);
    CheckDSResult(hr);
    CheckDSResult(
        ex->SetNotifyWindow(reinterpret_cast<OAHWND>(NotifyWindow.GetHandle()), WM_ANALYSER_GRAPHEVENT, 0));
}

bool TAudioAnalyser::OpenForAnalysis(const std::wstring& fileName)
{
    BuildGraph();
    if (FAILED(Graph->AddSourceFilter(fileName.c_str(), nullptr, SourceFilter.Put()))) return false;
    TComPtr<IPin> out = FirstPin(SourceFilter.Get(), PINDIR_OUTPUT);
    TComPtr<IPin> in = FirstPin(CallbackFilter.Get(), PINDIR_INPUT);
    if (!out || !in) return false;
    if (FAILED(Graph->Connect(out.Get(), in.Get()))) return false;
    TerminateDanglingStreams();
    if (OnProgressOpened) OnProgressOpened(fileName);
    return true;
}

// Every output left unconnected ends in a Null Renderer, so that the graph
// runs (and a movie's video is decoded and dropped) to its end.
void TAudioAnalyser::TerminateDanglingStreams()
{
    std::vector<TComPtr<IPin>> dangling;
    TComPtr<IEnumFilters> filters;
    CheckDSResult(Graph->EnumFilters(filters.Put()));
    TComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
        TComPtr<IEnumPins> pins;
        CheckDSResult(filter->EnumPins(pins.Put()));
        TComPtr<IPin> pin;
        while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
            PIN_DIRECTION d;
            CheckDSResult(pin->QueryDirection(&d));
            if (d != PINDIR_OUTPUT) continue;
            TComPtr<IPin> peer;
            if (pin->ConnectedTo(peer.Put()) == VFW_E_NOT_CONNECTED) dangling.push_back(pin);
        }
    }
    for (auto& pin : dangling) {
        TComPtr<IBaseFilter> renderer;
        CheckDSResult(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       renderer.PutVoid()));
        CheckDSResult(Graph->AddFilter(renderer.Get(), nullptr));
        TComPtr<IPin> in = FirstPin(renderer.Get(), PINDIR_INPUT);
        if (!in) CheckDSResult(VFW_E_NO_ACCEPTABLE_TYPES);
        CheckDSResult(Graph->Connect(pin.Get(), in.Get()));
    }
}

void TAudioAnalyser::StartAnalysis()
{
    HRESULT hr;
    TComPtr<IMediaFilter> filter = Graph.As<IMediaFilter>(IID_IMediaFilter, &hr);
    CheckDSResult(hr);
    CheckDSResult(filter->SetSyncSource(nullptr));
    TComPtr<IMediaSeeking> seeking = Graph.As<IMediaSeeking>(IID_IMediaSeeking);
    LONGLONG stop = 0;
    if (seeking && SUCCEEDED(seeking->GetStopPosition(&stop))) ProgressStep = stop / 100;
    if (ProgressStep <= 0) ProgressStep = 1;
    TComPtr<IMediaControl> control = Graph.As<IMediaControl>(IID_IMediaControl, &hr);
    CheckDSResult(hr);
    CheckDSResult(control->Run());
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
    TComPtr<IMediaSeeking> seeking = Graph.As<IMediaSeeking>(IID_IMediaSeeking);
    LONGLONG now = 0;
    if (!seeking || FAILED(seeking->GetCurrentPosition(&now))) return;
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
    if (Graph) {
        TComPtr<IMediaControl> control = Graph.As<IMediaControl>(IID_IMediaControl);
        if (control) control->Stop();
        TComPtr<IMediaEventEx> ex = Graph.As<IMediaEventEx>(IID_IMediaEventEx);
        if (ex) ex->SetNotifyWindow(0, 0, 0);
    }
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
