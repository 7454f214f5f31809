// TsFilter.dll as the program calls it: the callback registered right after
// the filter is made, before the graph is built (or only after). Every
// sample reaches the callback with the connection's media type; video passes
// on unchanged to the video renderer, audio ends in a renderer; stopping and
// seeking while samples flow never hangs.
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "playback/UDirectShow.h"
#include "tests/media/MediaTestSupport.h"
#include "tsfilter/TsFilter.h"

namespace {

auto* const ComEnv = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

struct TSeen {
    std::atomic<int> Samples{0};
    std::atomic<long long> Bytes{0};
    std::atomic<DWORD> DelayMs{0};  // a slow callback
    std::mutex Lock;
    AM_MEDIA_TYPE Type{};  // without its format block
    VIDEOINFOHEADER Video{};
    WAVEFORMATEX Audio{};
    bool SampleReadable = false;
    bool Keep = false;  // keep every sample's bytes
    std::vector<std::vector<BYTE>> Kept;
};

HRESULT __stdcall Record(void* user, const AM_MEDIA_TYPE* mt, IMediaSample* sample)
{
    auto* seen = static_cast<TSeen*>(user);
    std::lock_guard<std::mutex> g(seen->Lock);
    seen->Type = *mt;
    seen->Type.pbFormat = nullptr;
    long need = 1;
    if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        seen->Video = *reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
        const BITMAPINFOHEADER& h = seen->Video.bmiHeader;
        need = h.biWidth * std::abs(h.biHeight) * h.biBitCount / 8;  // a whole picture
    }
    if (mt->formattype == FORMAT_WaveFormatEx && mt->cbFormat >= sizeof(PCMWAVEFORMAT))
        std::memcpy(&seen->Audio, mt->pbFormat, sizeof(PCMWAVEFORMAT));
    BYTE* p = nullptr;
    const long length = sample->GetActualDataLength();
    seen->SampleReadable = SUCCEEDED(sample->GetPointer(&p)) && p && length >= need;
    if (seen->Keep && seen->SampleReadable) seen->Kept.emplace_back(p, p + length);
    seen->Bytes += length;
    ++seen->Samples;
    if (seen->DelayMs) Sleep(seen->DelayMs);
    return S_OK;
}

TComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION want)
{
    TComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) return {};
    TComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == want) return pin;
    }
    return {};
}

// The filter at the other end of the pin's connection.
TComPtr<IBaseFilter> PeerFilter(IPin* pin)
{
    TComPtr<IPin> peer;
    PIN_INFO info{};
    if (!pin || FAILED(pin->ConnectedTo(peer.Put())) || FAILED(peer->QueryPinInfo(&info))) return {};
    TComPtr<IBaseFilter> filter(info.pFilter);
    if (info.pFilter) info.pFilter->Release();
    return filter;
}

TComPtr<IGraphBuilder> NewGraph()
{
    TComPtr<IGraphBuilder> graph;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     graph.PutVoid()));
    return graph;
}

// Runs the graph to its end and stops it; false when it does not complete.
bool RunToEnd(IGraphBuilder* graph, DWORD ms)
{
    auto video = TComPtr<IGraphBuilder>(graph).As<IVideoWindow>(IID_IVideoWindow);
    if (video) video->put_AutoShow(OAFALSE);
    auto control = TComPtr<IGraphBuilder>(graph).As<IMediaControl>(IID_IMediaControl);
    auto events = TComPtr<IGraphBuilder>(graph).As<IMediaEvent>(IID_IMediaEvent);
    long code = 0;
    const bool complete =
        SUCCEEDED(control->Run()) && SUCCEEDED(events->WaitForCompletion(ms, &code)) && code == EC_COMPLETE;
    control->Stop();
    return complete;
}

// A renderer that insists on its own allocator, as some do on Windows: while
// this lives, every input pin of its kind offers one allocator of its own
// and refuses any other.
class TOwnAllocatorOnly {
public:
    explicit TOwnAllocatorOnly(IMemInputPin* pin)
        : Get(pin, 3, reinterpret_cast<void*>(&GetOwn)), Notify(pin, 4, reinterpret_cast<void*>(&NotifyOwn))
    {
        OriginalNotify = reinterpret_cast<TNotify>(Notify.Original);
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IMemAllocator, Own.PutVoid()));
        Refused = 0;
    }
    ~TOwnAllocatorOnly() { Own = nullptr; }
    static inline std::atomic<int> Refused{0};

private:
    using TNotify = HRESULT(STDMETHODCALLTYPE*)(IMemInputPin*, IMemAllocator*, BOOL);
    static HRESULT STDMETHODCALLTYPE GetOwn(IMemInputPin*, IMemAllocator** allocator)
    {
        *allocator = Own.Get();
        Own->AddRef();
        return S_OK;
    }
    static HRESULT STDMETHODCALLTYPE NotifyOwn(IMemInputPin* self, IMemAllocator* allocator, BOOL readOnly)
    {
        if (allocator != Own.Get()) {
            ++Refused;
            return E_FAIL;
        }
        return OriginalNotify(self, allocator, readOnly);
    }
    TVtablePatch Get, Notify;
    static inline TNotify OriginalNotify = nullptr;
    static inline TComPtr<IMemAllocator> Own;
};

struct TVideoGraph {
    TComPtr<IBaseFilter> Filter;
    DWORD Handle = 0;
    TComPtr<IGraphBuilder> Graph;
    std::unique_ptr<TOwnAllocatorOnly> OwnAllocatorOnly;
};

// Renders the file into a new graph with the filter (and, on Wine, the GDI
// video renderer, which may be made to take only its own allocator).
void Build(TVideoGraph& v, const wchar_t* file, bool ownAllocatorOnly = false)
{
    v.Graph = NewGraph();
    TComPtr<IBaseFilter> gdi = AddGdiVideoRenderer(v.Graph.Get());
    if (ownAllocatorOnly) {
        ASSERT_TRUE(gdi);
        v.OwnAllocatorOnly = std::make_unique<TOwnAllocatorOnly>(
            PinOf(gdi.Get(), PINDIR_INPUT).As<IMemInputPin>(IID_IMemInputPin).Get());
    }
    ASSERT_EQ(S_OK, v.Graph->AddFilter(v.Filter.Get(), nullptr));
    ASSERT_TRUE(SUCCEEDED(v.Graph->RenderFile(TestMediaPath(file).c_str(), nullptr)));
    // Between the decoder and the video renderer.
    EXPECT_TRUE(PeerFilter(PinOf(v.Filter.Get(), PINDIR_INPUT).Get()));
    TComPtr<IBaseFilter> renderer = PeerFilter(PinOf(v.Filter.Get(), PINDIR_OUTPUT).Get());
    ASSERT_TRUE(renderer);
    EXPECT_TRUE(renderer.As<IVideoWindow>(IID_IVideoWindow));
    if (ownAllocatorOnly) {
        EXPECT_GT(TOwnAllocatorOnly::Refused.load(), 0);
    }
}

}  // namespace

TEST(TsFilter, UnknownHandleIsRejected)
{
    EXPECT_EQ(E_INVALIDARG, SetTSFilterCallback(0xFFFFFFF0u, nullptr, &Record));
    EXPECT_EQ(E_POINTER, CreateVideoCallbackFilter(nullptr, nullptr));
}

TEST(TsFilter, HandleDiesWithItsFilter)
{
    TComPtr<IBaseFilter> filter;
    DWORD handle = 0;
    ASSERT_EQ(S_OK, CreateAudioCallbackFilter(filter.Put(), &handle));
    EXPECT_EQ(S_OK, SetTSFilterCallback(handle, nullptr, &Record));
    filter = nullptr;
    EXPECT_EQ(E_INVALIDARG, SetTSFilterCallback(handle, nullptr, &Record));
}

// Every frame of the file, 38 at 25 frames/s in 1.5 s, with the format of
// the connection, whether the callback came before the graph or after; the
// same filter in the next graph shows that graph's format. The filter goes
// with the last reference to it.
TEST(TsFilter, VideoReachesTheCallbackRegisteredBeforeOrAfterTheGraph)
{
    for (bool before : {true, false}) {
        SCOPED_TRACE(before ? "registered before the graph" : "registered after the graph");
        TVideoGraph v;
        ASSERT_EQ(S_OK, CreateVideoCallbackFilter(v.Filter.Put(), &v.Handle));
        TSeen seen;
        if (before) {
            ASSERT_EQ(S_OK, SetTSFilterCallback(v.Handle, &seen, &Record));
        }
        Build(v, L"video-only.avi");
        if (!before) {
            ASSERT_EQ(S_OK, SetTSFilterCallback(v.Handle, &seen, &Record));
        }
        EXPECT_TRUE(RunToEnd(v.Graph.Get(), 10000));
        EXPECT_EQ(38, seen.Samples.load());
        EXPECT_TRUE(seen.Type.subtype == MEDIASUBTYPE_RGB32);
        EXPECT_TRUE(seen.Type.formattype == FORMAT_VideoInfo);
        EXPECT_EQ(160, seen.Video.bmiHeader.biWidth);
        EXPECT_EQ(120, std::abs(seen.Video.bmiHeader.biHeight));
        EXPECT_EQ(32, seen.Video.bmiHeader.biBitCount);
        EXPECT_TRUE(seen.SampleReadable);
        if (before) {
            v.Graph->RemoveFilter(v.Filter.Get());
            seen.Samples = 0;
            Build(v, L"movie.mpg");
            EXPECT_TRUE(RunToEnd(v.Graph.Get(), 10000));
            EXPECT_GT(seen.Samples.load(), 20);
            EXPECT_EQ(176, seen.Video.bmiHeader.biWidth);
            EXPECT_EQ(144, std::abs(seen.Video.bmiHeader.biHeight));
            EXPECT_TRUE(seen.SampleReadable);
        }
        // Nothing keeps the filter once its graphs and its owner let it go
        // (a graph per file would otherwise pile them up).
        v.Graph = nullptr;
        v.Filter = nullptr;
        EXPECT_EQ(E_INVALIDARG, SetTSFilterCallback(v.Handle, &seen, &Record));
    }
}

// The picture the renderer shows when paused is, byte for byte, a sample
// the callback saw, and every frame reaches the end: samples passed on as
// they are, or copied for a renderer that takes only its own allocator.
TEST(TsFilter, VideoPassesOnUnchanged)
{
    for (bool ownAllocatorOnly : {false, true}) {
        SCOPED_TRACE(ownAllocatorOnly ? "copied" : "passed on");
        TVideoGraph v;
        ASSERT_EQ(S_OK, CreateVideoCallbackFilter(v.Filter.Put(), &v.Handle));
        TSeen seen;
        seen.Keep = true;
        ASSERT_EQ(S_OK, SetTSFilterCallback(v.Handle, &seen, &Record));
        Build(v, L"video-only.avi", ownAllocatorOnly);
        auto video = v.Graph.As<IVideoWindow>(IID_IVideoWindow);
        video->put_AutoShow(OAFALSE);
        auto control = v.Graph.As<IMediaControl>(IID_IMediaControl);
        auto seeking = v.Graph.As<IMediaSeeking>(IID_IMediaSeeking);
        LONGLONG at = 7000000;  // 0.7 s, not the first frame
        ASSERT_EQ(S_OK, seeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, 0));
        control->Pause();
        OAFilterState state;
        ASSERT_EQ(S_OK, control->GetState(5000, &state));
        ASSERT_EQ(State_Paused, state);
        auto basic = v.Graph.As<IBasicVideo>(IID_IBasicVideo);
        std::vector<BYTE> image(1 << 20);
        long size = static_cast<long>(image.size());
        ASSERT_EQ(S_OK, basic->GetCurrentImage(&size, reinterpret_cast<long*>(image.data())));
        control->Stop();
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        ASSERT_EQ(32, header->biBitCount);  // no colour table
        const BYTE* shown = image.data() + header->biSize;
        {
            std::lock_guard<std::mutex> g(seen.Lock);
            ASSERT_FALSE(seen.Kept.empty());
            bool found = false;
            for (const std::vector<BYTE>& sample : seen.Kept)
                found = found || (sample.size() == 160 * 120 * 4 &&
                                  std::memcmp(shown, sample.data(), sample.size()) == 0);
            EXPECT_TRUE(found);
            seen.Keep = false;
        }
        seen.Samples = 0;
        at = 0;
        seeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        EXPECT_TRUE(RunToEnd(v.Graph.Get(), 10000));
        EXPECT_EQ(38, seen.Samples.load());
    }
}

// The audio filter as the analyser uses it: the file connected to its input,
// its output ended in a renderer. Every byte of a WAV reaches the callback
// (run without a clock into a Null Renderer); a decoded MP3 plays in real
// time through the default audio renderer.
TEST(TsFilter, AudioReachesTheCallbackAndEndsInARenderer)
{
    struct TCase {
        const wchar_t* File;
        bool Clock;
        long long MinBytes, MaxBytes;
        WORD Channels;
    };
    const long long wav = 66150LL * 2 * 2;  // 1.5 s at 44100 Hz, stereo, 16 bits
    const long long mp3 = 61740LL * 1 * 2;  // at least 1.4 s, mono
    for (const TCase& c :
         {TCase{L"wav16-stereo.wav", false, wav, wav, 2}, TCase{L"audio.mp3", true, mp3, 2 * mp3, 1}}) {
        SCOPED_TRACE(c.Clock ? "mp3" : "wav");
        TComPtr<IBaseFilter> filter;
        DWORD handle = 0;
        ASSERT_EQ(S_OK, CreateAudioCallbackFilter(filter.Put(), &handle));
        TSeen seen;
        ASSERT_EQ(S_OK, SetTSFilterCallback(handle, &seen, &Record));
        TComPtr<IGraphBuilder> graph = NewGraph();
        ASSERT_EQ(S_OK, graph->AddFilter(filter.Get(), nullptr));
        TComPtr<IBaseFilter> source;
        ASSERT_EQ(S_OK, graph->AddSourceFilter(TestMediaPath(c.File).c_str(), nullptr, source.Put()));
        TComPtr<IPin> in = PinOf(filter.Get(), PINDIR_INPUT);
        ASSERT_EQ(S_OK, graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(), in.Get()));
        TComPtr<IPin> out = PinOf(filter.Get(), PINDIR_OUTPUT);
        if (c.Clock) {
            ASSERT_TRUE(SUCCEEDED(graph->Render(out.Get())));
            EXPECT_TRUE(PeerFilter(out.Get()).As<IBasicAudio>(IID_IBasicAudio));
        } else {
            TComPtr<IBaseFilter> null;
            ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IBaseFilter, null.PutVoid()));
            ASSERT_EQ(S_OK, graph->AddFilter(null.Get(), nullptr));
            ASSERT_EQ(S_OK, graph->Connect(out.Get(), PinOf(null.Get(), PINDIR_INPUT).Get()));
            ASSERT_EQ(S_OK, graph.As<IMediaFilter>(IID_IMediaFilter)->SetSyncSource(nullptr));
        }
        EXPECT_TRUE(RunToEnd(graph.Get(), 10000));
        EXPECT_GE(seen.Bytes.load(), c.MinBytes);
        EXPECT_LE(seen.Bytes.load(), c.MaxBytes);
        EXPECT_TRUE(seen.Type.subtype == MEDIASUBTYPE_PCM);
        EXPECT_EQ(c.Channels, seen.Audio.nChannels);
        EXPECT_EQ(16, seen.Audio.wBitsPerSample);
        EXPECT_EQ(44100u, seen.Audio.nSamplesPerSec);
    }
}

// Stops, pauses and seeks at random moments while a slow callback holds
// samples up; each stop returns at once and the graph still plays to its end
// afterwards. A video and an audio graph, each through its renderer.
TEST(TsFilter, StopsAndSeeksWhileSamplesFlowNeverHang)
{
    for (const wchar_t* file : {L"video-only.avi", L"wav16-stereo.wav"}) {
        const bool video = file[0] == L'v';
        SCOPED_TRACE(video ? "video" : "audio");
        TComPtr<IBaseFilter> filter;
        DWORD handle = 0;
        ASSERT_EQ(S_OK,
                  (video ? CreateVideoCallbackFilter : CreateAudioCallbackFilter)(filter.Put(), &handle));
        TSeen seen;
        seen.DelayMs = 3;
        ASSERT_EQ(S_OK, SetTSFilterCallback(handle, &seen, &Record));
        TComPtr<IGraphBuilder> graph = NewGraph();
        AddGdiVideoRenderer(graph.Get());
        ASSERT_EQ(S_OK, graph->AddFilter(filter.Get(), nullptr));
        ASSERT_TRUE(SUCCEEDED(graph->RenderFile(TestMediaPath(file).c_str(), nullptr)));
        ASSERT_TRUE(PeerFilter(PinOf(filter.Get(), PINDIR_OUTPUT).Get()));
        if (auto w = graph.As<IVideoWindow>(IID_IVideoWindow)) w->put_AutoShow(OAFALSE);
        auto control = graph.As<IMediaControl>(IID_IMediaControl);
        auto seeking = graph.As<IMediaSeeking>(IID_IMediaSeeking);
        LONGLONG duration = 0;
        ASSERT_EQ(S_OK, seeking->GetDuration(&duration));
        EXPECT_NEAR(15000000, duration, 500000);

        DWORD longest = 0;
        const DWORD begin = GetTickCount();
        for (int i = 0; GetTickCount() - begin < 3000; ++i) {
            control->Run();
            Sleep((i * 7) % 50);
            LONGLONG at = duration / 10 * (i % 9);
            EXPECT_TRUE(SUCCEEDED(seeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, 0)));
            Sleep((i * 13) % 40);
            if (i % 4 == 0) {
                control->Pause();
                Sleep(i % 20);
            }
            const DWORD t = GetTickCount();
            control->Stop();
            longest = std::max(longest, GetTickCount() - t);
        }
        EXPECT_LT(longest, 2000u);
        seen.DelayMs = 0;
        const int before = seen.Samples;
        LONGLONG start = 0;
        seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        EXPECT_TRUE(RunToEnd(graph.Get(), 10000));
        EXPECT_GT(seen.Samples.load(), before);
    }
}
