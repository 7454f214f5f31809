// TsFilter.dll: the video filter sits on the video path and passes video on
// to the renderer. (The audio filter is exercised by the analyser's tests.)
#include <atomic>
#include <mutex>

#include "playback/UDirectShow.h"
// After dshow.h, which it needs.
#include <qedit.h>

#include "tests/media/MediaTestSupport.h"
#include "tsfilter/TsFilter.h"

namespace {

auto* const ComEnv = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

struct TSeen {
    std::atomic<int> Samples{0};
    std::mutex Lock;
    GUID Subtype{};
    GUID Format{};
    LONG Width = 0, Height = 0;
    WORD Bits = 0;
    bool SampleReadable = false;
};

HRESULT __stdcall Record(void* user, const AM_MEDIA_TYPE* mt, IMediaSample* sample)
{
    auto* seen = static_cast<TSeen*>(user);
    std::lock_guard<std::mutex> g(seen->Lock);
    seen->Subtype = mt->subtype;
    seen->Format = mt->formattype;
    if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
        seen->Width = vih->bmiHeader.biWidth;
        seen->Height = vih->bmiHeader.biHeight;
        seen->Bits = vih->bmiHeader.biBitCount;
    }
    BYTE* p = nullptr;
    long need = 1;
    if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto& h = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
        need = h.biWidth * std::abs(h.biHeight) * h.biBitCount / 8;  // a whole picture
    }
    seen->SampleReadable = SUCCEEDED(sample->GetPointer(&p)) && p && sample->GetActualDataLength() >= need;
    ++seen->Samples;
    return S_OK;
}

bool WaitComplete(IMediaEvent* events, DWORD ms)
{
    long code = 0;
    return SUCCEEDED(events->WaitForCompletion(ms, &code)) && code == EC_COMPLETE;
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

// Counts the calls of ISampleGrabber::GetConnectedMediaType made by any
// thread but the one that installed the count.
class TConnectionQuerySpy {
public:
    explicit TConnectionQuerySpy(ISampleGrabber* grabber) : Patch(grabber, 5, reinterpret_cast<void*>(&Query))
    {
        Owner = GetCurrentThreadId();
        Original = reinterpret_cast<TQuery>(Patch.Original);
    }
    static inline std::atomic<int> OtherThreads{0};

private:
    using TQuery = HRESULT(STDMETHODCALLTYPE*)(ISampleGrabber*, AM_MEDIA_TYPE*);
    static HRESULT STDMETHODCALLTYPE Query(ISampleGrabber* self, AM_MEDIA_TYPE* type)
    {
        if (GetCurrentThreadId() != Owner) ++OtherThreads;
        return Original(self, type);
    }
    TVtablePatch Patch;
    static inline TQuery Original = nullptr;
    static inline DWORD Owner = 0;
};

// Renders the file with the filter already in a new graph, registers the
// callback for that connection and plays it to the end; returns false when
// the graph does not complete.
bool PlayThrough(IBaseFilter* filter, DWORD handle, TSeen& seen, const wchar_t* name)
{
    TComPtr<IGraphBuilder> graph;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     graph.PutVoid()));
    EXPECT_EQ(S_OK, graph->AddFilter(filter, nullptr));
    EXPECT_TRUE(SUCCEEDED(graph->RenderFile(TestMediaPath(name).c_str(), nullptr)));

    // The filter's input is connected and the video renderer is present.
    TComPtr<IEnumPins> pins;
    EXPECT_EQ(S_OK, filter->EnumPins(pins.Put()));
    TComPtr<IPin> pin, peer;
    EXPECT_EQ(S_OK, pins->Next(1, pin.Put(), nullptr));
    EXPECT_EQ(S_OK, pin->ConnectedTo(peer.Put()));
    auto video = graph.As<IVideoWindow>(IID_IVideoWindow);
    long style = 0;
    EXPECT_TRUE(video && video->get_WindowStyle(&style) == S_OK);
    if (video) video->put_AutoShow(OAFALSE);
    EXPECT_EQ(S_OK, SetTSFilterCallback(handle, &seen, &Record));

    auto control = graph.As<IMediaControl>(IID_IMediaControl);
    auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    bool complete = WaitComplete(events.Get(), 10000);
    control->Stop();
    graph->RemoveFilter(filter);
    return complete;
}

TEST(TsFilter, VideoFilterTakesTheVideoPathAndKeepsTheRenderer)
{
    TComPtr<IBaseFilter> filter;
    DWORD handle = 0;
    ASSERT_EQ(S_OK, CreateVideoCallbackFilter(filter.Put(), &handle));
    TSeen seen;
    // The streaming thread never asks the grabber for its connection: that
    // takes the filter's lock, which a Stop may hold while it waits for
    // the streaming thread.
    TComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_ISampleGrabber, grabber.PutVoid()));
    TConnectionQuerySpy spy(grabber.Get());
    EXPECT_TRUE(PlayThrough(filter.Get(), handle, seen, L"video-only.avi"));
    EXPECT_GE(seen.Samples.load(), 30);  // 1.5 s at 25 frames/s
    EXPECT_TRUE(seen.Subtype == MEDIASUBTYPE_RGB32);
    EXPECT_TRUE(seen.Format == FORMAT_VideoInfo);
    EXPECT_EQ(160, seen.Width);
    EXPECT_EQ(120, std::abs(seen.Height));
    EXPECT_EQ(32, seen.Bits);
    EXPECT_TRUE(seen.SampleReadable);

    // The same filter in the next graph reports that graph's connection.
    seen.Samples = 0;
    EXPECT_TRUE(PlayThrough(filter.Get(), handle, seen, L"movie.mpg"));
    EXPECT_GT(seen.Samples.load(), 20);
    EXPECT_EQ(176, seen.Width);
    EXPECT_EQ(144, std::abs(seen.Height));
    EXPECT_TRUE(seen.SampleReadable);
    EXPECT_EQ(0, TConnectionQuerySpy::OtherThreads.load());
}
