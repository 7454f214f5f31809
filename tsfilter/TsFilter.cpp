// TsFilter.dll. Both filters are the system's Sample Grabber with a fixed
// media type and a callback object of ours; the grabber gives us an in-place
// transform with proper allocator, seeking and end-of-stream handling, and we
// only forward the samples.
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

    void SetCallback(void* user, TSFilterCallback callback)
    {
        std::lock_guard<std::mutex> g(Lock);
        User = user;
        Callback = callback;
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
        // The connection's type is read when the first sample arrives and again
        // after every discontinuity (a new run or a seek, possibly after a
        // reconnection), not on every sample.
        if (!HaveType || sample->IsDiscontinuity() == S_OK) {
            FreeMediaTypeFields(Type);
            HaveType = SUCCEEDED(Grabber->GetConnectedMediaType(&Type));
            if (!HaveType) Type = AM_MEDIA_TYPE{};
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
