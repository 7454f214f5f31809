// TsFilter.dll. Both filters are the system's Sample Grabber with a fixed
// media type and a callback object of ours; the grabber gives us an in-place
// transform with proper allocator, seeking and end-of-stream handling, and we
// only forward the samples, with the connection's media type as it was when
// the callback was registered.
#define TSFILTER_BUILD
#include "tsfilter/TsFilter.h"

#include <dshow.h>
#include <qedit.h>

#include <atomic>
#include <map>
#include <mutex>

extern "C" const CLSID CLSID_SampleGrabber;

namespace {

void FreeMediaTypeFields(AM_MEDIA_TYPE& mt)
{
    if (mt.cbFormat != 0) CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk) mt.pUnk->Release();
    mt.pUnk = nullptr;
}

class TCallbackSink;

// Handles name callback sinks; the table holds no reference, a sink removes
// itself when its grabber lets it go. Never destroyed, so that a graph that
// outlives the unloading of the DLL at exit finds it still there.
struct THandleTable {
    std::mutex Lock;
    std::map<DWORD, TCallbackSink*> Sinks;
    DWORD Next = 1;
};
THandleTable& Handles()
{
    static THandleTable* table = new THandleTable;
    return *table;
}

class TCallbackSink final : public ISampleGrabberCB {
public:
    explicit TCallbackSink(ISampleGrabber* grabber) : Grabber(grabber)
    {
        THandleTable& t = Handles();
        std::lock_guard<std::mutex> g(t.Lock);
        Handle = t.Next++;
        if (t.Next == 0) t.Next = 1;
        t.Sinks[Handle] = this;
    }

    DWORD GetHandle() const { return Handle; }

    // Called by the application's thread, never by a streaming one: the
    // grabber is asked for its connection here, and the streaming thread
    // only reads the copy taken. (Asking from the streaming thread takes the
    // filter's lock, which a Stop on the application's thread may hold
    // while it waits for that very thread.)
    void SetCallback(void* user, TSFilterCallback callback)
    {
        AM_MEDIA_TYPE type{};
        const bool connected = SUCCEEDED(Grabber->GetConnectedMediaType(&type));
        std::lock_guard<std::mutex> g(Lock);
        User = user;
        Callback = callback;
        FreeMediaTypeFields(Type);
        Type = connected ? type : AM_MEDIA_TYPE{};
        HaveType = connected;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *out = static_cast<ISampleGrabberCB*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++Refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --Refs;
        if (n == 0) delete this;
        return n;
    }

    STDMETHODIMP SampleCB(double, IMediaSample* sample) override
    {
        std::lock_guard<std::mutex> g(Lock);
        if (!Callback || !sample) return S_OK;
        // A sample that carries a type announces a change of format: it
        // holds from this sample on.
        AM_MEDIA_TYPE* changed = nullptr;
        if (sample->GetMediaType(&changed) == S_OK && changed) {
            FreeMediaTypeFields(Type);
            Type = *changed;
            CoTaskMemFree(changed);
            HaveType = true;
        }
        if (!HaveType) return S_OK;
        Callback(User, &Type, sample);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return S_OK; }

private:
    ~TCallbackSink()
    {
        {
            THandleTable& t = Handles();
            std::lock_guard<std::mutex> g(t.Lock);
            t.Sinks.erase(Handle);
        }
        FreeMediaTypeFields(Type);
    }

    std::atomic<ULONG> Refs{1};
    ISampleGrabber* Grabber;  // not counted: the grabber owns us
    DWORD Handle = 0;
    std::mutex Lock;
    void* User = nullptr;
    TSFilterCallback Callback = nullptr;
    AM_MEDIA_TYPE Type{};
    bool HaveType = false;
};

HRESULT CreateGrabber(const GUID& major, const GUID& sub, const GUID& format, IBaseFilter** filter,
                      DWORD* handle)
{
    if (!filter || !handle) return E_POINTER;
    *filter = nullptr;
    *handle = 0;
    IBaseFilter* base = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&base));
    if (FAILED(hr)) return hr;
    ISampleGrabber* grabber = nullptr;
    hr = base->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&grabber));
    if (FAILED(hr)) {
        base->Release();
        return hr;
    }
    AM_MEDIA_TYPE mt{};
    mt.majortype = major;
    mt.subtype = sub;
    mt.formattype = format;
    hr = grabber->SetMediaType(&mt);
    if (SUCCEEDED(hr)) hr = grabber->SetBufferSamples(FALSE);
    if (SUCCEEDED(hr)) hr = grabber->SetOneShot(FALSE);
    TCallbackSink* sink = nullptr;
    if (SUCCEEDED(hr)) {
        sink = new (std::nothrow) TCallbackSink(grabber);
        if (!sink) hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) hr = grabber->SetCallback(sink, 0);  // SampleCB
    DWORD h = sink ? sink->GetHandle() : 0;
    if (sink) sink->Release();  // the grabber holds it now (or it is gone)
    grabber->Release();
    if (FAILED(hr)) {
        base->Release();
        return hr;
    }
    *filter = base;
    *handle = h;
    return S_OK;
}

}  // namespace

TSFILTER_API HRESULT __stdcall CreateVideoCallbackFilter(IBaseFilter** filter, DWORD* handle)
{
    return CreateGrabber(MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, filter, handle);
}

TSFILTER_API HRESULT __stdcall CreateAudioCallbackFilter(IBaseFilter** filter, DWORD* handle)
{
    return CreateGrabber(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, filter, handle);
}

TSFILTER_API HRESULT __stdcall SetTSFilterCallback(DWORD handle, void* user, TSFilterCallback callback)
{
    THandleTable& t = Handles();
    std::lock_guard<std::mutex> g(t.Lock);
    auto it = t.Sinks.find(handle);
    if (it == t.Sinks.end()) return E_INVALIDARG;
    it->second->SetCallback(user, callback);
    return S_OK;
}
