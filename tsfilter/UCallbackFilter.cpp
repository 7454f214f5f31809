#include "tsfilter/UCallbackFilter.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <map>
#include <new>

namespace tsfilter {

namespace {

// {C4EACBCB-B534-455B-818A-05A7880BE8E1}
const CLSID CLSID_TsCallbackFilter = {
    0xc4eacbcb, 0xb534, 0x455b, {0x81, 0x8a, 0x05, 0xa7, 0x88, 0x0b, 0xe8, 0xe1}};

// --- media types ----------------------------------------------------------

void FreeType(AM_MEDIA_TYPE& mt)
{
    if (mt.cbFormat != 0 && mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk) mt.pUnk->Release();
    mt.pUnk = nullptr;
}

// A deep copy into `to`, which holds nothing.
HRESULT CopyType(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from)
{
    to = from;
    to.pbFormat = nullptr;
    to.cbFormat = 0;
    if (from.cbFormat != 0 && from.pbFormat) {
        to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (!to.pbFormat) {
            to.pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
        to.cbFormat = from.cbFormat;
    }
    if (to.pUnk) to.pUnk->AddRef();
    return S_OK;
}

void DeleteType(AM_MEDIA_TYPE* mt)
{
    if (!mt) return;
    FreeType(*mt);
    CoTaskMemFree(mt);
}

bool SameType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b)
{
    return a.majortype == b.majortype && a.subtype == b.subtype && a.formattype == b.formattype &&
           a.cbFormat == b.cbFormat &&
           (a.cbFormat == 0 ||
            (a.pbFormat && b.pbFormat && std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0));
}

// Whether a partly given type (GUID_NULL for any) allows the full one.
bool AllowsType(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& full)
{
    if (partial.majortype != GUID_NULL && partial.majortype != full.majortype) return false;
    if (partial.subtype != GUID_NULL && partial.subtype != full.subtype) return false;
    if (partial.formattype == GUID_NULL) return true;
    if (partial.formattype != full.formattype) return false;
    return partial.cbFormat == 0 || !partial.pbFormat || SameType(partial, full);
}

// Releases what it is given when it goes, after the locks taken later are
// left: releasing a peer may run another filter's code.
class TReleaseLater {
public:
    TReleaseLater() = default;
    TReleaseLater(const TReleaseLater&) = delete;
    TReleaseLater& operator=(const TReleaseLater&) = delete;
    ~TReleaseLater()
    {
        for (int i = 0; i < Count; ++i) Items[i]->Release();
    }
    template <class T>
    void Take(T*& p)
    {
        if (p && Count < MaxItems) Items[Count++] = p;
        p = nullptr;
    }

private:
    static constexpr int MaxItems = 8;
    IUnknown* Items[MaxItems] = {};
    int Count = 0;
};

template <class T>
T* Counted(T* p)
{
    if (p) p->AddRef();
    return p;
}

// A counted pointer for the few places that keep one across calls.
template <class T>
class TRef {
public:
    TRef() = default;
    explicit TRef(T* p) : P(p) {}
    TRef(const TRef&) = delete;
    TRef& operator=(const TRef&) = delete;
    ~TRef()
    {
        if (P) P->Release();
    }
    T* Get() const { return P; }
    T** Put()
    {
        if (P) P->Release();
        P = nullptr;
        return &P;
    }
    T* Detach()
    {
        T* p = P;
        P = nullptr;
        return p;
    }
    T* operator->() const { return P; }
    explicit operator bool() const { return P != nullptr; }

private:
    T* P = nullptr;
};

HRESULT CopyString(LPWSTR* out, const wchar_t* text)
{
    if (!out) return E_POINTER;
    size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    std::memcpy(*out, text, bytes);
    return S_OK;
}

// Copies a sample into one of the downstream allocator's buffers.
HRESULT CopySample(IMediaSample& from, IMediaSample& to)
{
    long length = std::max(0L, from.GetActualDataLength());
    if (length > to.GetSize()) return VFW_E_BUFFER_OVERFLOW;
    BYTE* src = nullptr;
    BYTE* dst = nullptr;
    HRESULT hr = from.GetPointer(&src);
    if (SUCCEEDED(hr)) hr = to.GetPointer(&dst);
    if (FAILED(hr)) return hr;
    if (length > 0) std::memcpy(dst, src, static_cast<size_t>(length));
    to.SetActualDataLength(length);

    REFERENCE_TIME start = 0, end = 0;
    HRESULT timed = from.GetTime(&start, &end);
    if (timed == S_OK)
        to.SetTime(&start, &end);
    else if (timed == VFW_S_NO_STOP_TIME)
        to.SetTime(&start, nullptr);
    else
        to.SetTime(nullptr, nullptr);
    LONGLONG mediaStart = 0, mediaEnd = 0;
    if (from.GetMediaTime(&mediaStart, &mediaEnd) == S_OK)
        to.SetMediaTime(&mediaStart, &mediaEnd);
    else
        to.SetMediaTime(nullptr, nullptr);
    to.SetSyncPoint(from.IsSyncPoint() == S_OK);
    to.SetPreroll(from.IsPreroll() == S_OK);
    to.SetDiscontinuity(from.IsDiscontinuity() == S_OK);
    AM_MEDIA_TYPE* changed = nullptr;
    if (from.GetMediaType(&changed) == S_OK && changed) {
        to.SetMediaType(changed);
        DeleteType(changed);
    }
    return S_OK;
}

// --- enumerators ----------------------------------------------------------

class TPinEnum final : public IEnumPins {
public:
    TPinEnum(IBaseFilter* filter, IPin* in, IPin* out, ULONG position)
        : Filter(Counted(filter)), Pins{in, out}, Position(position)
    {
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumPins) {
            *out = static_cast<IEnumPins*>(this);
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
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override
    {
        if (!pins || (count != 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && Position < 2) pins[n++] = Counted(Pins[Position++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        ULONG left = 2 - Position;
        Position += std::min(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        Position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** out) override
    {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) TPinEnum(Filter, Pins[0], Pins[1], Position);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~TPinEnum() { Filter->Release(); }
    std::atomic<ULONG> Refs{1};
    IBaseFilter* Filter;  // keeps the pins alive
    IPin* Pins[2];
    ULONG Position;
};

// No type, or one.
class TTypeEnum final : public IEnumMediaTypes {
public:
    TTypeEnum() = default;
    HRESULT Hold(const AM_MEDIA_TYPE& type)
    {
        HRESULT hr = CopyType(Type, type);
        Count = SUCCEEDED(hr) ? 1 : 0;
        return hr;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
            *out = static_cast<IEnumMediaTypes*>(this);
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
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override
    {
        if (!types || (count != 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && Position < Count) {
            auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            if (!mt || FAILED(CopyType(*mt, Type))) {
                CoTaskMemFree(mt);
                break;
            }
            types[n++] = mt;
            ++Position;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        ULONG left = Count - Position;
        Position += std::min(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        Position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** out) override
    {
        if (!out) return E_POINTER;
        auto* copy = new (std::nothrow) TTypeEnum;
        if (!copy) return E_OUTOFMEMORY;
        if (Count && FAILED(copy->Hold(Type))) {
            copy->Release();
            return E_OUTOFMEMORY;
        }
        copy->Position = Position;
        *out = copy;
        return S_OK;
    }

private:
    ~TTypeEnum() { FreeType(Type); }
    std::atomic<ULONG> Refs{1};
    AM_MEDIA_TYPE Type{};
    ULONG Count = 0;
    ULONG Position = 0;
};

HRESULT NewTypeEnum(const AM_MEDIA_TYPE* type, IEnumMediaTypes** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* e = new (std::nothrow) TTypeEnum;
    if (!e) return E_OUTOFMEMORY;
    if (type && FAILED(e->Hold(*type))) {
        e->Release();
        return E_OUTOFMEMORY;
    }
    *out = e;
    return S_OK;
}

HRESULT FillPinInfo(PIN_INFO* info, IBaseFilter* filter, PIN_DIRECTION dir, const wchar_t* name)
{
    if (!info) return E_POINTER;
    info->pFilter = Counted(filter);
    info->dir = dir;
    std::wcsncpy(info->achName, name, MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = 0;
    return S_OK;
}

// --- handles ----------------------------------------------------------------

// Handles name live filters; the table holds no reference, a filter leaves
// it when it goes. Never destroyed, so that a graph that outlives the
// unloading of the DLL at exit finds it still there.
struct THandleTable {
    std::mutex Lock;
    std::map<DWORD, TCallbackFilter*> Filters;
    DWORD Next = 1;
};
THandleTable& Handles()
{
    static THandleTable* table = new THandleTable;
    return *table;
}

}  // namespace

// --- the filter -----------------------------------------------------------------

TCallbackFilter::TCallbackFilter(const TAcceptedType& accepted, const wchar_t* name)
    : Accepted(accepted), Input(*this), Output(*this)
{
    std::wcsncpy(Name, name, MAX_FILTER_NAME - 1);
    THandleTable& t = Handles();
    std::lock_guard<std::mutex> g(t.Lock);
    while (t.Next == 0 || t.Filters.count(t.Next)) ++t.Next;
    Handle = t.Next++;
    t.Filters[Handle] = this;
}

TCallbackFilter::~TCallbackFilter()
{
    {
        THandleTable& t = Handles();
        std::lock_guard<std::mutex> g(t.Lock);
        t.Filters.erase(Handle);
    }
    if (Committed) {
        Committed->Decommit();
        Committed->Release();
    }
    for (IUnknown* p : std::initializer_list<IUnknown*>{Clock, InputOwnAllocator, InPeer, InputAllocator,
                                                        OutPeer, OutPeerInput, OutputAllocator})
        if (p) p->Release();
    FreeType(CallbackType);
    FreeType(InType);
    FreeType(OutType);
}

TCallbackFilter::TPeers::~TPeers()
{
    for (IUnknown* p : std::initializer_list<IUnknown*>{Upstream, Downstream, DownstreamInput, CopyTo})
        if (p) p->Release();
}

void TCallbackFilter::TakePeers(TPeers& peers)
{
    std::lock_guard<std::mutex> g(StreamLock);
    peers.Upstream = Counted(InPeer);
    peers.Downstream = Counted(OutPeer);
    peers.DownstreamInput = Counted(OutPeerInput);
    if (OutputAllocator && OutputAllocator != InputAllocator) peers.CopyTo = Counted(OutputAllocator);
}

void TCallbackFilter::SetCallback(void* user, TSFilterCallback callback)
{
    std::lock_guard<std::mutex> g(StreamLock);
    User = user;
    Callback = callback;
}

bool TCallbackFilter::Accepts(const AM_MEDIA_TYPE* mt) const
{
    return mt && mt->majortype == Accepted.Major && mt->subtype == Accepted.Sub &&
           mt->formattype == Accepted.Format && mt->pbFormat && mt->cbFormat >= Accepted.MinFormatSize;
}

void TCallbackFilter::ShowToCallback(IMediaSample* sample)
{
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) != S_OK) changed = nullptr;
    std::lock_guard<std::mutex> g(StreamLock);
    // A sample that carries a type announces a change of format: it holds
    // from this sample on.
    if (changed) {
        FreeType(CallbackType);
        CallbackType = *changed;
        CoTaskMemFree(changed);
        HaveCallbackType = true;
    }
    if (Callback && HaveCallbackType) Callback(User, &CallbackType, sample);
}

HRESULT TCallbackFilter::Deliver(IMediaSample* sample)
{
    TPeers peers;
    TakePeers(peers);
    if (!peers.DownstreamInput) return S_OK;
    if (!peers.CopyTo) return peers.DownstreamInput->Receive(sample);
    IMediaSample* copy = nullptr;
    HRESULT hr = peers.CopyTo->GetBuffer(&copy, nullptr, nullptr, 0);
    if (FAILED(hr)) return State == State_Stopped ? VFW_E_WRONG_STATE : hr;  // decommitted by Stop
    hr = CopySample(*sample, *copy);
    if (SUCCEEDED(hr)) hr = peers.DownstreamInput->Receive(copy);
    copy->Release();
    return hr;
}

// Samples pass on as they are when downstream takes the allocator upstream
// chose. A renderer that insists on its own gets copies in its buffers.
HRESULT TCallbackFilter::SettleOutputAllocator()
{
    TReleaseLater later;
    TRef<IMemInputPin> down;
    TRef<IMemAllocator> in;
    BOOL readOnly = FALSE;
    LONG sampleSize = 0;
    {
        std::lock_guard<std::mutex> g(StreamLock);
        *down.Put() = Counted(OutPeerInput);
        *in.Put() = Counted(InputAllocator);
        readOnly = InputReadOnly;
        sampleSize = static_cast<LONG>(OutType.lSampleSize);
    }
    if (!down) return E_UNEXPECTED;
    ALLOCATOR_PROPERTIES want{};
    if (FAILED(down->GetAllocatorRequirements(&want))) want = ALLOCATOR_PROPERTIES{};
    ALLOCATOR_PROPERTIES have{};
    if (in && FAILED(in->GetProperties(&have))) have = ALLOCATOR_PROPERTIES{};

    TRef<IMemAllocator> chosen;
    if (in) {
        // The allocator is not committed while the graph is stopped: it can
        // still grow to what downstream asks for.
        ALLOCATOR_PROPERTIES grown = have;
        grown.cBuffers = std::max(have.cBuffers, want.cBuffers);
        grown.cbBuffer = std::max(have.cbBuffer, want.cbBuffer);
        grown.cbAlign = std::max(have.cbAlign, want.cbAlign);
        grown.cbPrefix = std::max(have.cbPrefix, want.cbPrefix);
        if (have.cbBuffer > 0 && std::memcmp(&grown, &have, sizeof grown) != 0) {
            ALLOCATOR_PROPERTIES actual{};
            in->SetProperties(&grown, &actual);
        }
        if (SUCCEEDED(down->NotifyAllocator(in.Get(), readOnly))) *chosen.Put() = Counted(in.Get());
    }
    if (!chosen) {
        HRESULT hr = down->GetAllocator(chosen.Put());
        if (FAILED(hr) || !chosen) {
            hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(chosen.Put()));
            if (FAILED(hr)) return hr;
        }
        ALLOCATOR_PROPERTIES props{};
        props.cBuffers = std::max({want.cBuffers, have.cBuffers, 1L});
        props.cbBuffer = std::max({want.cbBuffer, have.cbBuffer, sampleSize, 1L});
        props.cbAlign = std::max(want.cbAlign, 1L);
        props.cbPrefix = want.cbPrefix;
        ALLOCATOR_PROPERTIES actual{};
        hr = chosen->SetProperties(&props, &actual);
        if (SUCCEEDED(hr)) hr = down->NotifyAllocator(chosen.Get(), FALSE);
        if (FAILED(hr)) return hr;
    }
    std::lock_guard<std::mutex> g(StreamLock);
    later.Take(OutputAllocator);
    OutputAllocator = chosen.Detach();
    return S_OK;
}

STDMETHODIMP TCallbackFilter::QueryInterface(REFIID riid, void** out)
{
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
        *out = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TCallbackFilter::AddRef() { return ++Refs; }

STDMETHODIMP_(ULONG) TCallbackFilter::Release()
{
    ULONG n = --Refs;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP TCallbackFilter::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = CLSID_TsCallbackFilter;
    return S_OK;
}

// Nothing here waits for the streaming thread: downstream filters were
// stopped first and let go of any sample it was delivering, and the copy
// allocator's decommit wakes it if it waits for a buffer.
STDMETHODIMP TCallbackFilter::Stop()
{
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    if (Committed) Committed->Decommit();
    later.Take(Committed);
    State = State_Stopped;
    Flushing = false;
    return S_OK;
}

STDMETHODIMP TCallbackFilter::Pause()
{
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    if (State == State_Stopped) {
        TRef<IMemAllocator> copyTo;
        {
            std::lock_guard<std::mutex> s(StreamLock);
            if (OutputAllocator && OutputAllocator != InputAllocator)
                *copyTo.Put() = Counted(OutputAllocator);
        }
        if (copyTo) {
            HRESULT hr = copyTo->Commit();
            if (FAILED(hr)) return hr;
            Committed = copyTo.Detach();
        }
    }
    State = State_Paused;
    return S_OK;
}

STDMETHODIMP TCallbackFilter::Run(REFERENCE_TIME)
{
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    if (State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    State = State_Running;
    return S_OK;
}

STDMETHODIMP TCallbackFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    *state = State;
    return S_OK;
}

STDMETHODIMP TCallbackFilter::SetSyncSource(IReferenceClock* clock)
{
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    later.Take(Clock);
    Clock = Counted(clock);
    return S_OK;
}

STDMETHODIMP TCallbackFilter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    *clock = Counted(Clock);
    return S_OK;
}

STDMETHODIMP TCallbackFilter::EnumPins(IEnumPins** pins)
{
    if (!pins) return E_POINTER;
    *pins = new (std::nothrow) TPinEnum(this, &Input, &Output, 0);
    return *pins ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP TCallbackFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    if (std::wcscmp(id, L"In") == 0)
        *pin = Counted<IPin>(&Input);
    else if (std::wcscmp(id, L"Out") == 0)
        *pin = Counted<IPin>(&Output);
    return *pin ? S_OK : VFW_E_NOT_FOUND;
}

STDMETHODIMP TCallbackFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    std::wcsncpy(info->achName, Name, MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = 0;
    info->pGraph = Counted(Graph);
    return S_OK;
}

STDMETHODIMP TCallbackFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    std::lock_guard<std::recursive_mutex> g(FilterLock);
    Graph = graph;
    if (name) {
        std::wcsncpy(Name, name, MAX_FILTER_NAME - 1);
        Name[MAX_FILTER_NAME - 1] = 0;
    }
    return S_OK;
}

// --- the input pin ----------------------------------------------------------

STDMETHODIMP TInputPin::QueryInterface(REFIID riid, void** out)
{
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin)
        *out = static_cast<IPin*>(this);
    else if (riid == IID_IMemInputPin)
        *out = static_cast<IMemInputPin*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TInputPin::AddRef() { return Owner.AddRef(); }

STDMETHODIMP_(ULONG) TInputPin::Release() { return Owner.Release(); }

STDMETHODIMP TInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt)
{
    if (!connector || !mt) return E_POINTER;
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> f(Owner.FilterLock);
    if (Owner.State != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION dir;
    if (FAILED(connector->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (!Owner.Accepts(mt)) return VFW_E_TYPE_NOT_ACCEPTED;
    AM_MEDIA_TYPE pinType{}, callbackType{};
    if (FAILED(CopyType(pinType, *mt))) return E_OUTOFMEMORY;
    if (FAILED(CopyType(callbackType, *mt))) {
        FreeType(pinType);
        return E_OUTOFMEMORY;
    }
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    HRESULT hr = S_OK;
    if (Owner.InPeer)
        hr = VFW_E_ALREADY_CONNECTED;
    else if (Owner.OutPeer && !SameType(*mt, Owner.OutType))
        hr = VFW_E_TYPE_NOT_ACCEPTED;  // samples pass on unchanged: the type must be the one downstream has
    if (FAILED(hr)) {
        FreeType(pinType);
        FreeType(callbackType);
        return hr;
    }
    Owner.InPeer = Counted(connector);
    Owner.InType = pinType;
    // The type the callback is shown, taken here on the thread that builds
    // the graph and never by the streaming thread.
    FreeType(Owner.CallbackType);
    Owner.CallbackType = callbackType;
    Owner.HaveCallbackType = true;
    return S_OK;
}

STDMETHODIMP TInputPin::Disconnect()
{
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> f(Owner.FilterLock);
    if (Owner.State != State_Stopped) return VFW_E_NOT_STOPPED;
    later.Take(Owner.InputOwnAllocator);
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    if (!Owner.InPeer) return S_FALSE;
    later.Take(Owner.InPeer);
    later.Take(Owner.InputAllocator);
    FreeType(Owner.InType);
    Owner.InputReadOnly = FALSE;
    return S_OK;
}

STDMETHODIMP TInputPin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    *pin = Counted(Owner.InPeer);
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP TInputPin::ConnectionMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt) return E_POINTER;
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    if (!Owner.InPeer) {
        *mt = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyType(*mt, Owner.InType);
}

STDMETHODIMP TInputPin::QueryPinInfo(PIN_INFO* info)
{
    return FillPinInfo(info, &Owner, PINDIR_INPUT, L"Input");
}

STDMETHODIMP TInputPin::QueryDirection(PIN_DIRECTION* dir)
{
    if (!dir) return E_POINTER;
    *dir = PINDIR_INPUT;
    return S_OK;
}

STDMETHODIMP TInputPin::QueryId(LPWSTR* id) { return CopyString(id, L"In"); }

// May come from the streaming thread ahead of a change of format.
STDMETHODIMP TInputPin::QueryAccept(const AM_MEDIA_TYPE* mt)
{
    if (!Owner.Accepts(mt)) return S_FALSE;
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    if (peers.Downstream) return peers.Downstream->QueryAccept(mt) == S_OK ? S_OK : S_FALSE;
    return S_OK;
}

STDMETHODIMP TInputPin::EnumMediaTypes(IEnumMediaTypes** types) { return NewTypeEnum(nullptr, types); }

STDMETHODIMP TInputPin::EndOfStream()
{
    if (Owner.State == State_Stopped) return VFW_E_WRONG_STATE;
    if (Owner.Flushing) return S_FALSE;
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    return peers.Downstream ? peers.Downstream->EndOfStream() : S_OK;
}

STDMETHODIMP TInputPin::BeginFlush()
{
    Owner.Flushing = true;
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    return peers.Downstream ? peers.Downstream->BeginFlush() : S_OK;
}

STDMETHODIMP TInputPin::EndFlush()
{
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    HRESULT hr = peers.Downstream ? peers.Downstream->EndFlush() : S_OK;
    Owner.Flushing = false;
    return hr;
}

STDMETHODIMP TInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    return peers.Downstream ? peers.Downstream->NewSegment(start, stop, rate) : S_OK;
}

// Downstream's allocator when there is a downstream that offers one, so that
// samples can pass without a copy; otherwise a memory allocator of our own.
STDMETHODIMP TInputPin::GetAllocator(IMemAllocator** allocator)
{
    if (!allocator) return E_POINTER;
    *allocator = nullptr;
    std::lock_guard<std::recursive_mutex> f(Owner.FilterLock);
    {
        TCallbackFilter::TPeers peers;
        Owner.TakePeers(peers);
        if (peers.DownstreamInput && SUCCEEDED(peers.DownstreamInput->GetAllocator(allocator)) && *allocator)
            return S_OK;
        if (*allocator) (*allocator)->Release();
        *allocator = nullptr;
    }
    if (!Owner.InputOwnAllocator) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(&Owner.InputOwnAllocator));
        if (FAILED(hr)) return hr;
    }
    *allocator = Counted(Owner.InputOwnAllocator);
    return S_OK;
}

STDMETHODIMP TInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly)
{
    if (!allocator) return E_POINTER;
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> f(Owner.FilterLock);
    bool downstream = false;
    {
        std::lock_guard<std::mutex> s(Owner.StreamLock);
        later.Take(Owner.InputAllocator);
        Owner.InputAllocator = Counted(allocator);
        Owner.InputReadOnly = readOnly;
        downstream = Owner.OutPeer != nullptr;
    }
    return downstream ? Owner.SettleOutputAllocator() : S_OK;
}

STDMETHODIMP TInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props)
{
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    return peers.DownstreamInput ? peers.DownstreamInput->GetAllocatorRequirements(props) : E_NOTIMPL;
}

STDMETHODIMP TInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    if (Owner.State == State_Stopped) return VFW_E_WRONG_STATE;
    if (Owner.Flushing) return S_FALSE;
    Owner.ShowToCallback(sample);
    return Owner.Deliver(sample);
}

STDMETHODIMP TInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed)
{
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

STDMETHODIMP TInputPin::ReceiveCanBlock()
{
    TCallbackFilter::TPeers peers;
    Owner.TakePeers(peers);
    if (!peers.DownstreamInput) return S_FALSE;
    return peers.CopyTo ? S_OK : peers.DownstreamInput->ReceiveCanBlock();
}

// --- the output pin ---------------------------------------------------------

STDMETHODIMP TOutputPin::QueryInterface(REFIID riid, void** out)
{
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin)
        *out = static_cast<IPin*>(this);
    else if (riid == IID_IMediaSeeking)
        *out = static_cast<IMediaSeeking*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TOutputPin::AddRef() { return Owner.AddRef(); }

STDMETHODIMP_(ULONG) TOutputPin::Release() { return Owner.Release(); }

// Offers downstream exactly the input's type: the samples pass on unchanged.
STDMETHODIMP TOutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* mt)
{
    if (!receiver) return E_POINTER;
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> f(Owner.FilterLock);
    if (Owner.State != State_Stopped) return VFW_E_NOT_STOPPED;
    AM_MEDIA_TYPE type{};
    {
        std::lock_guard<std::mutex> s(Owner.StreamLock);
        if (Owner.OutPeer) return VFW_E_ALREADY_CONNECTED;
        if (!Owner.InPeer) return VFW_E_NOT_CONNECTED;  // nothing to pass on yet
        if (FAILED(CopyType(type, Owner.InType))) return E_OUTOFMEMORY;
    }
    struct TFree {
        AM_MEDIA_TYPE& T;
        ~TFree() { FreeType(T); }
    } freeType{type};
    if (mt && !AllowsType(*mt, type)) return VFW_E_TYPE_NOT_ACCEPTED;
    PIN_DIRECTION dir;
    if (FAILED(receiver->QueryDirection(&dir)) || dir != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    TRef<IMemInputPin> input;
    if (FAILED(receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(input.Put()))))
        return VFW_E_NO_TRANSPORT;
    HRESULT hr = receiver->ReceiveConnection(this, &type);
    if (FAILED(hr)) return hr;
    {
        std::lock_guard<std::mutex> s(Owner.StreamLock);
        Owner.OutPeer = Counted(receiver);
        Owner.OutPeerInput = input.Detach();
        Owner.OutType = type;
        type = AM_MEDIA_TYPE{};
    }
    hr = Owner.SettleOutputAllocator();
    if (FAILED(hr)) {
        receiver->Disconnect();
        std::lock_guard<std::mutex> s(Owner.StreamLock);
        later.Take(Owner.OutPeer);
        later.Take(Owner.OutPeerInput);
        later.Take(Owner.OutputAllocator);
        FreeType(Owner.OutType);
    }
    return hr;
}

STDMETHODIMP TOutputPin::Disconnect()
{
    TReleaseLater later;
    std::lock_guard<std::recursive_mutex> f(Owner.FilterLock);
    if (Owner.State != State_Stopped) return VFW_E_NOT_STOPPED;
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    if (!Owner.OutPeer) return S_FALSE;
    later.Take(Owner.OutPeer);
    later.Take(Owner.OutPeerInput);
    later.Take(Owner.OutputAllocator);
    FreeType(Owner.OutType);
    return S_OK;
}

STDMETHODIMP TOutputPin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    *pin = Counted(Owner.OutPeer);
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP TOutputPin::ConnectionMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt) return E_POINTER;
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    if (!Owner.OutPeer) {
        *mt = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyType(*mt, Owner.OutType);
}

STDMETHODIMP TOutputPin::QueryPinInfo(PIN_INFO* info)
{
    return FillPinInfo(info, &Owner, PINDIR_OUTPUT, L"Output");
}

STDMETHODIMP TOutputPin::QueryDirection(PIN_DIRECTION* dir)
{
    if (!dir) return E_POINTER;
    *dir = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP TOutputPin::QueryId(LPWSTR* id) { return CopyString(id, L"Out"); }

// A renderer may ask (from its streaming thread) to change the format of
// the buffers it hands out; the samples pass on as they came, so only the
// type already connected is accepted.
STDMETHODIMP TOutputPin::QueryAccept(const AM_MEDIA_TYPE* mt)
{
    if (!mt) return E_POINTER;
    std::lock_guard<std::mutex> s(Owner.StreamLock);
    if (Owner.OutPeer) return SameType(*mt, Owner.OutType) ? S_OK : S_FALSE;
    if (Owner.InPeer) return SameType(*mt, Owner.InType) ? S_OK : S_FALSE;
    return Owner.Accepts(mt) ? S_OK : S_FALSE;
}

STDMETHODIMP TOutputPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types) return E_POINTER;
    AM_MEDIA_TYPE type{};
    bool connected = false;
    {
        std::lock_guard<std::mutex> s(Owner.StreamLock);
        connected = Owner.InPeer != nullptr;
        if (connected && FAILED(CopyType(type, Owner.InType))) return E_OUTOFMEMORY;
    }
    HRESULT hr = NewTypeEnum(connected ? &type : nullptr, types);
    FreeType(type);
    return hr;
}

namespace {

template <class Call>
HRESULT Seek(TCallbackFilter::TPeers& peers, Call call)
{
    TRef<IMediaSeeking> seeking;
    if (!peers.Upstream ||
        FAILED(peers.Upstream->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(seeking.Put()))))
        return E_NOTIMPL;
    return call(seeking.Get());
}

}  // namespace

#define TS_FORWARD_SEEKING(expression) \
    TCallbackFilter::TPeers peers;     \
    Owner.TakePeers(peers);            \
    return Seek(peers, [&](IMediaSeeking* s) { return s->expression; })

STDMETHODIMP TOutputPin::GetCapabilities(DWORD* caps) { TS_FORWARD_SEEKING(GetCapabilities(caps)); }
STDMETHODIMP TOutputPin::CheckCapabilities(DWORD* caps) { TS_FORWARD_SEEKING(CheckCapabilities(caps)); }
STDMETHODIMP TOutputPin::IsFormatSupported(const GUID* format)
{
    TS_FORWARD_SEEKING(IsFormatSupported(format));
}
STDMETHODIMP TOutputPin::QueryPreferredFormat(GUID* format)
{
    TS_FORWARD_SEEKING(QueryPreferredFormat(format));
}
STDMETHODIMP TOutputPin::GetTimeFormat(GUID* format) { TS_FORWARD_SEEKING(GetTimeFormat(format)); }
STDMETHODIMP TOutputPin::IsUsingTimeFormat(const GUID* format)
{
    TS_FORWARD_SEEKING(IsUsingTimeFormat(format));
}
STDMETHODIMP TOutputPin::SetTimeFormat(const GUID* format) { TS_FORWARD_SEEKING(SetTimeFormat(format)); }
STDMETHODIMP TOutputPin::GetDuration(LONGLONG* duration) { TS_FORWARD_SEEKING(GetDuration(duration)); }
STDMETHODIMP TOutputPin::GetStopPosition(LONGLONG* stop) { TS_FORWARD_SEEKING(GetStopPosition(stop)); }
STDMETHODIMP TOutputPin::GetCurrentPosition(LONGLONG* current)
{
    TS_FORWARD_SEEKING(GetCurrentPosition(current));
}
STDMETHODIMP TOutputPin::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                           const GUID* sourceFormat)
{
    TS_FORWARD_SEEKING(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
STDMETHODIMP TOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags)
{
    TS_FORWARD_SEEKING(SetPositions(current, currentFlags, stop, stopFlags));
}
STDMETHODIMP TOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    TS_FORWARD_SEEKING(GetPositions(current, stop));
}
STDMETHODIMP TOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest)
{
    TS_FORWARD_SEEKING(GetAvailable(earliest, latest));
}
STDMETHODIMP TOutputPin::SetRate(double rate) { TS_FORWARD_SEEKING(SetRate(rate)); }
STDMETHODIMP TOutputPin::GetRate(double* rate) { TS_FORWARD_SEEKING(GetRate(rate)); }
STDMETHODIMP TOutputPin::GetPreroll(LONGLONG* preroll) { TS_FORWARD_SEEKING(GetPreroll(preroll)); }

#undef TS_FORWARD_SEEKING

// --- creation and handles -------------------------------------------------------

HRESULT CreateCallbackFilter(const TAcceptedType& accepted, const wchar_t* name, IBaseFilter** filter,
                             DWORD* handle)
{
    if (!filter || !handle) return E_POINTER;
    *filter = nullptr;
    *handle = 0;
    auto* created = new (std::nothrow) TCallbackFilter(accepted, name);
    if (!created) return E_OUTOFMEMORY;
    *handle = created->GetHandle();
    *filter = created;
    return S_OK;
}

HRESULT SetFilterCallback(DWORD handle, void* user, TSFilterCallback callback)
{
    THandleTable& t = Handles();
    std::lock_guard<std::mutex> g(t.Lock);
    auto it = t.Filters.find(handle);
    if (it == t.Filters.end()) return E_INVALIDARG;
    it->second->SetCallback(user, callback);
    return S_OK;
}

}  // namespace tsfilter
