#include "playback/UMediaGraph.h"

#include <initializer_list>
#include <vector>

#include "win/ULateLibrary.h"

namespace {

const DWORD StateChangeTimeoutMs = 3000;

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

// Renders every output pin of the filter; the first pin that cannot be
// rendered raises.
void RenderOutputPins(IGraphBuilder* builder, IBaseFilter* filter)
{
    TComPtr<IEnumPins> pins;
    CheckDSResult(filter->EnumPins(pins.Put()));
    TComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_INFO info{};
        CheckDSResult(pin->QueryPinInfo(&info));
        if (info.pFilter) info.pFilter->Release();
        if (info.dir == PINDIR_OUTPUT) CheckDSResult(builder->Render(pin.Get()));
    }
}

// Every output left unconnected ends in a Null Renderer, so that the graph
// runs (and a movie's video is decoded and dropped) to its end.
void EndDanglingStreams(IGraphBuilder* builder)
{
    std::vector<TComPtr<IPin>> dangling;
    TComPtr<IEnumFilters> filters;
    CheckDSResult(builder->EnumFilters(filters.Put()));
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
        CheckDSResult(builder->AddFilter(renderer.Get(), nullptr));
        TComPtr<IPin> in = FirstPin(renderer.Get(), PINDIR_INPUT);
        if (!in) CheckDSResult(VFW_E_NO_ACCEPTABLE_TYPES);
        CheckDSResult(builder->Connect(pin.Get(), in.Get()));
    }
}

bool IsVideoPin(IPin* pin)
{
    TComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Put()))) return false;
    AM_MEDIA_TYPE* type = nullptr;
    if (types->Next(1, &type, nullptr) != S_OK || !type) return false;
    const bool video = type->majortype == MEDIATYPE_Video;
    if (type->cbFormat) CoTaskMemFree(type->pbFormat);
    if (type->pUnk) type->pUnk->Release();
    CoTaskMemFree(type);
    return video;
}

// Wine: the file's stream goes into the splitter, and the first of the
// splitter's streams that is not video into the callback filter. Left to
// intelligent connect, the way to the callback filter is searched from
// every stream, a video stream through every decoder in the registry, and
// Wine's filter mapper keeps handles from each search (more than 400 a
// movie). The streams left over end in Null Renderers like any other.
bool ConnectThroughSplitter(IGraphBuilder* builder, IPin* source, IBaseFilter* splitter, IPin* callback)
{
    TComPtr<IPin> input = FirstPin(splitter, PINDIR_INPUT);
    if (!input || FAILED(builder->ConnectDirect(source, input.Get(), nullptr))) return false;
    TComPtr<IEnumPins> pins;
    CheckDSResult(splitter->EnumPins(pins.Put()));
    TComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (FAILED(pin->QueryDirection(&d)) || d != PINDIR_OUTPUT || IsVideoPin(pin.Get())) continue;
        if (SUCCEEDED(builder->Connect(pin.Get(), callback))) return true;
    }
    return false;
}

// Wine's helpers that intelligent connect did not use leave the graph.
void DropUnused(IGraphBuilder* builder, std::initializer_list<IBaseFilter*> helpers)
{
    for (IBaseFilter* helper : helpers)
        if (helper && !HasConnectedPin(helper)) builder->RemoveFilter(helper);
}

}  // namespace

TMediaGraph::~TMediaGraph()
{
    Release();
    CallbackFilter = nullptr;
}

template <class T>
TComPtr<T> TMediaGraph::Query(REFIID iid) const
{
    HRESULT hr;
    TComPtr<T> p = Control.As<T>(iid, &hr);
    CheckDSResult(hr);
    return p;
}

IMediaControl* TMediaGraph::Checked() const
{
    if (!Control) CheckDSResult(E_POINTER);
    return Control.Get();
}

// --- the graph's life ----------------------------------------------------------

void TMediaGraph::Create()
{
    Release();
    CheckDSResult(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_IMediaControl, Control.PutVoid()));
}

void TMediaGraph::Release() noexcept
{
    if (Control) {
        Control->Stop();
        OAFilterState state;
        for (DWORD waited = 0; waited < StateChangeTimeoutMs; ++waited)
            if (Control->GetState(1, &state) != VFW_S_STATE_INTERMEDIATE) break;
        TComPtr<IMediaEventEx> events = Control.As<IMediaEventEx>(IID_IMediaEventEx);
        if (events) events->SetNotifyWindow(0, 0, 0);
        SoundRenderers.TakeBack(Control.Get());
    }
    Source = nullptr;
    Control = nullptr;
    FHasVideo = false;
    FHasAudio = false;
}

// --- the callback filter ---------------------------------------------------------

namespace {

// TsFilter.dll, beside the program, loaded with the first graph that wants
// a callback filter rather than at start.
struct TTsFilter {
    decltype(&CreateVideoCallbackFilter) CreateVideo;
    decltype(&CreateAudioCallbackFilter) CreateAudio;
    decltype(&SetTSFilterCallback) SetCallback;
};

const TTsFilter& TsFilter()
{
    // The names only, unevaluated: taking their addresses would import them.
    const auto place = TLibraryPlace::Program;
    static const TTsFilter functions{
        LateFunction<decltype(&CreateVideoCallbackFilter)>(L"TsFilter.dll", "CreateVideoCallbackFilter",
                                                           place),
        LateFunction<decltype(&CreateAudioCallbackFilter)>(L"TsFilter.dll", "CreateAudioCallbackFilter",
                                                           place),
        LateFunction<decltype(&SetTSFilterCallback)>(L"TsFilter.dll", "SetTSFilterCallback", place)};
    if (!functions.CreateVideo || !functions.CreateAudio || !functions.SetCallback)
        throw Exception("TsFilter.dll を読み込めませんでした");
    return functions;
}

}  // namespace

void TMediaGraph::CreateCallbackFilter(TCallbackKind kind, void* user, TSFilterCallback callback)
{
    const TTsFilter& tsFilter = TsFilter();
    CallbackFilter = nullptr;
    DWORD handle = 0;
    if (kind == TCallbackKind::Video)
        CheckDSResult(tsFilter.CreateVideo(CallbackFilter.Put(), &handle));
    else
        CheckDSResult(tsFilter.CreateAudio(CallbackFilter.Put(), &handle));
    // Once, before the graph is built: the filter takes the media type of its
    // connection when that is made.
    CheckDSResult(tsFilter.SetCallback(handle, user, callback));
}

// --- building ----------------------------------------------------------------------

void TMediaGraph::RenderFile(const std::wstring& fileName)
{
    TComPtr<IGraphBuilder> builder = Query<IGraphBuilder>(IID_IGraphBuilder);
    Source = nullptr;
    CheckDSResult(builder->AddSourceFilter(fileName.c_str(), L"Source_Filter", Source.Put()));
    // Wine only: filters in the graph are tried before the registry is
    // searched, and those added last first. The renderers are added before
    // the callback filter, which is then tried first.
    TComPtr<IBaseFilter> splitter = AddWineSplitter(builder.Get());
    TComPtr<IBaseFilter> gdiRenderer = AddGdiVideoRenderer(builder.Get());
    SoundRenderers.AddTo(builder.Get());
    if (CallbackFilter) CheckDSResult(builder->AddFilter(CallbackFilter.Get(), nullptr));
    RenderOutputPins(builder.Get(), Source.Get());
    DropUnused(builder.Get(), {splitter.Get(), gdiRenderer.Get()});
    SoundRenderers.Settle(builder.Get());

    // The probes' results are the answer: anything but S_OK means none.
    TComPtr<IVideoWindow> video = Control.As<IVideoWindow>(IID_IVideoWindow);
    long style = 0;
    FHasVideo = video && video->get_WindowStyle(&style) == S_OK;
    TComPtr<IBasicAudio> audio = Control.As<IBasicAudio>(IID_IBasicAudio);
    long volume = 0;
    FHasAudio = audio && audio->get_Volume(&volume) == S_OK;
}

bool TMediaGraph::ConnectToCallback(const std::wstring& fileName)
{
    TComPtr<IGraphBuilder> builder = Query<IGraphBuilder>(IID_IGraphBuilder);
    if (!CallbackFilter) CheckDSResult(E_POINTER);
    CheckDSResult(builder->AddFilter(CallbackFilter.Get(), nullptr));
    Source = nullptr;
    if (FAILED(builder->AddSourceFilter(fileName.c_str(), nullptr, Source.Put()))) return false;
    TComPtr<IPin> out = FirstPin(Source.Get(), PINDIR_OUTPUT);
    TComPtr<IPin> in = FirstPin(CallbackFilter.Get(), PINDIR_INPUT);
    if (!out || !in) return false;
    TComPtr<IBaseFilter> splitter = AddWineSplitter(builder.Get());
    const bool split = splitter && ConnectThroughSplitter(builder.Get(), out.Get(), splitter.Get(), in.Get());
    // Otherwise intelligent connect finds the way. (When the splitter took
    // the file but none of its streams reached the filter, the source's pin
    // is taken and this fails at once, as it would after a search.)
    if (!split && FAILED(builder->Connect(out.Get(), in.Get()))) return false;
    DropUnused(builder.Get(), {splitter.Get()});
    EndDanglingStreams(builder.Get());
    return true;
}

// --- running -------------------------------------------------------------------------

HRESULT TMediaGraph::Run() { return Control ? Control->Run() : E_POINTER; }

HRESULT TMediaGraph::Pause() { return Control ? Control->Pause() : E_POINTER; }

HRESULT TMediaGraph::Stop() { return Control ? Control->Stop() : E_POINTER; }

HRESULT TMediaGraph::GetState(DWORD timeoutMs, OAFilterState& state)
{
    return Control ? Control->GetState(timeoutMs, &state) : E_POINTER;
}

// Wine's StopWhenReady leaves the graph paused when the pause completes
// later, and a Run after that never plays; there the same is done step by
// step, waiting for the pause.
void TMediaGraph::StopWhenReady()
{
    IMediaControl* control = Checked();
    if (!RunningOnWine()) {
        CheckDSResult(control->StopWhenReady());
        return;
    }
    CheckDSResult(control->Pause());
    OAFilterState state;
    control->GetState(StateChangeTimeoutMs, &state);
    CheckDSResult(control->Stop());
}

void TMediaGraph::RemoveClock()
{
    CheckDSResult(Query<IMediaFilter>(IID_IMediaFilter)->SetSyncSource(nullptr));
}

// --- position ----------------------------------------------------------------------------

double TMediaGraph::CurrentTime()
{
    REFTIME now = 0;
    CheckDSResult(Query<IMediaPosition>(IID_IMediaPosition)->get_CurrentPosition(&now));
    return now;
}

double TMediaGraph::StopTime()
{
    REFTIME stop = 0;
    CheckDSResult(Query<IMediaPosition>(IID_IMediaPosition)->get_StopTime(&stop));
    return stop;
}

void TMediaGraph::SetCurrentTime(double seconds)
{
    CheckDSResult(Query<IMediaPosition>(IID_IMediaPosition)->put_CurrentPosition(seconds));
}

// Wine's DirectShow loses the end of a graph with both audio and video when it
// is seeked while running or paused: EC_COMPLETE never comes and a later Stop
// hangs. Seeking a stopped graph works, so there such a graph is stopped
// first and run again afterwards. Windows seeks in place.
void TMediaGraph::SeekTo(double seconds, bool running)
{
    TComPtr<IMediaPosition> position = Query<IMediaPosition>(IID_IMediaPosition);
    bool restart = false;
    if (FHasVideo && FHasAudio && RunningOnWine()) {
        OAFilterState state = State_Stopped;
        Control->GetState(0, &state);
        if (state != State_Stopped) {
            CheckDSResult(Control->Stop());
            restart = running;
        }
    }
    CheckDSResult(position->put_CurrentPosition(seconds));
    if (restart) CheckDSResult(Control->Run());
}

bool TMediaGraph::StopPosition(LONGLONG& position)
{
    TComPtr<IMediaSeeking> seeking = Control.As<IMediaSeeking>(IID_IMediaSeeking);
    return seeking && SUCCEEDED(seeking->GetStopPosition(&position));
}

bool TMediaGraph::CurrentPosition(LONGLONG& position)
{
    TComPtr<IMediaSeeking> seeking = Control.As<IMediaSeeking>(IID_IMediaSeeking);
    return seeking && SUCCEEDED(seeking->GetCurrentPosition(&position));
}

void TMediaGraph::SetVolume(long level)
{
    CheckDSResult(Query<IBasicAudio>(IID_IBasicAudio)->put_Volume(level));
}

// --- the video window ---------------------------------------------------------------------

void TMediaGraph::AttachVideoWindow(HWND owner, int left, int top, int width, int height, bool cursorHidden)
{
    TComPtr<IVideoWindow> video = Query<IVideoWindow>(IID_IVideoWindow);
    CheckDSResult(video->put_Owner(reinterpret_cast<OAHWND>(owner)));
    CheckDSResult(video->put_WindowStyle(WS_CHILD));
    CheckDSResult(video->put_MessageDrain(reinterpret_cast<OAHWND>(owner)));
    SetVideoPosition(left, top, width, height);
    CheckDSResult(video->put_Visible(OATRUE));
    CheckDSResult(video->HideCursor(cursorHidden ? OATRUE : OAFALSE));
}

void TMediaGraph::DetachVideoWindow()
{
    TComPtr<IVideoWindow> video = Query<IVideoWindow>(IID_IVideoWindow);
    CheckDSResult(video->put_Visible(OAFALSE));
    CheckDSResult(video->put_MessageDrain(0));
}

void TMediaGraph::SetVideoPosition(int left, int top, int width, int height)
{
    CheckDSResult(Query<IVideoWindow>(IID_IVideoWindow)->SetWindowPosition(left, top, width, height));
    CheckDSResult(Query<IBasicVideo>(IID_IBasicVideo)->SetDestinationPosition(0, 0, width, height));
}

void TMediaGraph::HideCursor(bool hidden)
{
    CheckDSResult(Query<IVideoWindow>(IID_IVideoWindow)->HideCursor(hidden ? OATRUE : OAFALSE));
}

void TMediaGraph::ShowVideoWindow(bool visible) noexcept
{
    TComPtr<IVideoWindow> video = Control.As<IVideoWindow>(IID_IVideoWindow);
    if (video) video->put_Visible(visible ? OATRUE : OAFALSE);
}

void TMediaGraph::GetVideoSize(int& width, int& height)
{
    long w = 0, h = 0;
    CheckDSResult(Query<IBasicVideo>(IID_IBasicVideo)->GetVideoSize(&w, &h));
    width = w;
    height = h;
}

// --- events -----------------------------------------------------------------------------------

HRESULT TMediaGraph::SetNotifyWindow(HWND wnd, UINT message)
{
    HRESULT hr;
    TComPtr<IMediaEventEx> events = Control.As<IMediaEventEx>(IID_IMediaEventEx, &hr);
    if (FAILED(hr)) return hr;
    return wnd ? events->SetNotifyWindow(reinterpret_cast<OAHWND>(wnd), message, 0)
               : events->SetNotifyWindow(0, 0, 0);
}

TGraphEvents TMediaGraph::TakeEvents()
{
    TGraphEvents seen;
    if (!Control) return seen;
    TComPtr<IMediaEvent> events = Query<IMediaEvent>(IID_IMediaEvent);
    long code;
    LONG_PTR param1, param2;
    while (SUCCEEDED(events->GetEvent(&code, &param1, &param2, 0))) {
        CheckDSResult(events->FreeEventParams(code, param1, param2));
        if (code == EC_COMPLETE)
            seen.Complete = true;
        else if (code == EC_USERABORT || code == EC_ERRORABORT)
            seen.Aborted = true;
        if (code == EC_ERRORABORT) seen.Error = FAILED(param1) ? static_cast<HRESULT>(param1) : E_FAIL;
    }
    return seen;
}
