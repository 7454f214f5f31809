// The callback filter of TsFilter.dll: an in-place pass-through with one input
// and one output pin that shows every sample to a registered callback and
// then passes it on unchanged.
//
// Threads and locks. Connections and state changes are made under the
// filter's lock, on the thread that builds or controls the graph; the
// streaming thread never takes that lock. Everything the streaming thread
// reads (the callback, the media type it is shown, the pins on either side,
// the allocators) sits under the stream lock, which is only ever held to copy
// a few pointers or around the callback itself, never while waiting for
// another thread or calling into another filter. So a Stop that waits for the
// streaming thread never holds a lock that thread needs, and nothing here
// waits for the streaming thread at all.
//
// The media type handed to the callback is taken when the input pin accepts
// its connection, so the callback may be registered before or after the
// graph is built; a sample that carries a new type replaces it from that
// sample on.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <mutex>

#include "tsfilter/TsFilter.h"

namespace tsfilter {

// The partial media type a filter's input takes.
struct TAcceptedType {
    GUID Major;
    GUID Sub;
    GUID Format;
    ULONG MinFormatSize;  // the format block is at least this big
};

// Creates a filter and names it by a new handle (see TsFilter.h).
HRESULT CreateCallbackFilter(const TAcceptedType& accepted, const wchar_t* name, IBaseFilter** filter,
                             DWORD* handle);
// E_INVALIDARG when no live filter has the handle.
HRESULT SetFilterCallback(DWORD handle, void* user, TSFilterCallback callback);

class TCallbackFilter;

class TInputPin final : public IPin, public IMemInputPin {
public:
    explicit TInputPin(TCallbackFilter& owner) : Owner(owner) {}

    // IUnknown (counted by the filter)
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

private:
    TCallbackFilter& Owner;
};

class TOutputPin final : public IPin, public IMediaSeeking {
public:
    explicit TOutputPin(TCallbackFilter& owner) : Owner(owner) {}

    // IUnknown (counted by the filter)
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_UNEXPECTED; }

    // IMediaSeeking: every call goes to the output pin upstream of the filter.
    STDMETHODIMP GetCapabilities(DWORD* caps) override;
    STDMETHODIMP CheckCapabilities(DWORD* caps) override;
    STDMETHODIMP IsFormatSupported(const GUID* format) override;
    STDMETHODIMP QueryPreferredFormat(GUID* format) override;
    STDMETHODIMP GetTimeFormat(GUID* format) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* format) override;
    STDMETHODIMP SetTimeFormat(const GUID* format) override;
    STDMETHODIMP GetDuration(LONGLONG* duration) override;
    STDMETHODIMP GetStopPosition(LONGLONG* stop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* current) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                   const GUID* sourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                              DWORD stopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG* current, LONGLONG* stop) override;
    STDMETHODIMP GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    STDMETHODIMP SetRate(double rate) override;
    STDMETHODIMP GetRate(double* rate) override;
    STDMETHODIMP GetPreroll(LONGLONG* preroll) override;

private:
    TCallbackFilter& Owner;
};

class TCallbackFilter final : public IBaseFilter {
public:
    TCallbackFilter(const TAcceptedType& accepted, const wchar_t* name);

    DWORD GetHandle() const { return Handle; }
    void SetCallback(void* user, TSFilterCallback callback);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD ms, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    // What a streaming call needs, copied (and counted) under the stream lock.
    struct TPeers {
        IPin* Upstream = nullptr;
        IPin* Downstream = nullptr;
        IMemInputPin* DownstreamInput = nullptr;
        IMemAllocator* CopyTo = nullptr;  // null when samples pass on as they are
        TPeers() = default;
        TPeers(const TPeers&) = delete;
        TPeers& operator=(const TPeers&) = delete;
        ~TPeers();
    };
    void TakePeers(TPeers& peers);

private:
    friend class TInputPin;
    friend class TOutputPin;
    ~TCallbackFilter();

    bool Accepts(const AM_MEDIA_TYPE* mt) const;
    HRESULT SettleOutputAllocator();
    void ShowToCallback(IMediaSample* sample);
    HRESULT Deliver(IMediaSample* sample);

    std::atomic<ULONG> Refs{1};
    const TAcceptedType Accepted;
    DWORD Handle = 0;
    TInputPin Input;
    TOutputPin Output;
    std::atomic<FILTER_STATE> State{State_Stopped};
    std::atomic<bool> Flushing{false};

    // The filter's lock, taken first. Recursive: a peer may call back into
    // the filter while a connection is being made.
    std::recursive_mutex FilterLock;
    IReferenceClock* Clock = nullptr;
    IFilterGraph* Graph = nullptr;  // not counted: the graph holds the filter
    wchar_t Name[MAX_FILTER_NAME] = {};
    IMemAllocator* InputOwnAllocator = nullptr;  // offered upstream while nothing is downstream
    IMemAllocator* Committed = nullptr;          // the copy allocator this filter committed

    // The stream lock, taken second.
    std::mutex StreamLock;
    void* User = nullptr;
    TSFilterCallback Callback = nullptr;
    AM_MEDIA_TYPE CallbackType{};
    bool HaveCallbackType = false;
    IPin* InPeer = nullptr;
    AM_MEDIA_TYPE InType{};
    IMemAllocator* InputAllocator = nullptr;  // the one upstream chose
    BOOL InputReadOnly = FALSE;
    IPin* OutPeer = nullptr;
    IMemInputPin* OutPeerInput = nullptr;
    AM_MEDIA_TYPE OutType{};
    IMemAllocator* OutputAllocator = nullptr;  // the one downstream was given
};

}  // namespace tsfilter
