#include "playback/USoundRenderers.h"

#include <algorithm>
#include <cstring>

namespace {

// Renderers kept for other formats; a list of music mostly has one or two.
const size_t MaxRenderers = 3;
const wchar_t RendererName[] = L"Default DirectSound Device";

void FreeMediaTypeFields(AM_MEDIA_TYPE& mt)
{
    if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    if (mt.pUnk) mt.pUnk->Release();
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    mt.pUnk = nullptr;
}

// The connection's type as bytes: the three identifiers and the format block.
std::vector<unsigned char> FormatKey(const AM_MEDIA_TYPE& mt)
{
    std::vector<unsigned char> key(3 * sizeof(GUID) + mt.cbFormat);
    unsigned char* p = key.data();
    for (const GUID* g : {&mt.majortype, &mt.subtype, &mt.formattype}) {
        std::memcpy(p, g, sizeof(GUID));
        p += sizeof(GUID);
    }
    if (mt.cbFormat && mt.pbFormat) std::memcpy(p, mt.pbFormat, mt.cbFormat);
    return key;
}

TComPtr<IPin> InputPin(IBaseFilter* filter)
{
    TComPtr<IEnumPins> pins;
    TComPtr<IPin> pin;
    if (FAILED(filter->EnumPins(pins.Put()))) return pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_INPUT) return pin;
    }
    return nullptr;
}

TComPtr<IBaseFilter> NewRenderer()
{
    TComPtr<IBaseFilter> r;
    if (FAILED(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                r.PutVoid())))
        r = nullptr;
    return r;
}

}  // namespace

void TSoundRenderers::AddTo(IGraphBuilder* builder)
{
    InGraph = false;
    if (!RunningOnWine()) return;
    if (Entries.empty()) {
        TComPtr<IBaseFilter> r = NewRenderer();
        if (!r) return;
        Entries.push_back(TEntry{r, {}});
    }
    InGraph = SUCCEEDED(builder->AddFilter(Entries[0].Filter.Get(), RendererName));
}

void TSoundRenderers::Settle(IGraphBuilder* builder)
{
    if (!InGraph) return;
    TComPtr<IBaseFilter> filter = Entries[0].Filter;
    TComPtr<IPin> input = InputPin(filter.Get());
    TComPtr<IPin> upstream;
    if (!input || FAILED(input->ConnectedTo(upstream.Put())) || !upstream) {
        builder->RemoveFilter(filter.Get());
        InGraph = false;
        return;
    }
    AM_MEDIA_TYPE mt{};
    if (FAILED(input->ConnectionMediaType(&mt))) return;
    const std::vector<unsigned char> key = FormatKey(mt);
    if (Entries[0].Format.empty()) Entries[0].Format = key;
    if (Entries[0].Format == key) {
        FreeMediaTypeFields(mt);
        return;
    }

    // Another format: a renderer that played it, or a new one, takes the pin.
    builder->RemoveFilter(filter.Get());
    InGraph = false;
    auto found =
        std::find_if(Entries.begin(), Entries.end(), [&](const TEntry& e) { return e.Format == key; });
    TEntry entry;
    if (found != Entries.end()) {
        entry = *found;
        Entries.erase(found);
    } else {
        entry.Filter = NewRenderer();
    }
    TComPtr<IPin> entryInput = entry.Filter ? InputPin(entry.Filter.Get()) : nullptr;
    HRESULT hr = E_FAIL;
    if (entryInput && SUCCEEDED(builder->AddFilter(entry.Filter.Get(), RendererName))) {
        hr = builder->ConnectDirect(upstream.Get(), entryInput.Get(), &mt);
        if (FAILED(hr)) builder->RemoveFilter(entry.Filter.Get());
    }
    FreeMediaTypeFields(mt);
    if (SUCCEEDED(hr)) {
        entry.Format = key;
        Entries.insert(Entries.begin(), entry);
        if (Entries.size() > MaxRenderers) Entries.pop_back();
        InGraph = true;
        return;
    }
    // Left to intelligent connect, as without these renderers.
    CheckDSResult(builder->Render(upstream.Get()));
}

void TSoundRenderers::TakeBack(IMediaControl* graph)
{
    if (!InGraph || !graph) return;
    InGraph = false;
    graph->Stop();
    OAFilterState state;
    graph->GetState(3000, &state);
    TComPtr<IMediaFilter> media;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaFilter, media.PutVoid()))) media->SetSyncSource(nullptr);
    TComPtr<IFilterGraph> filters;
    if (SUCCEEDED(graph->QueryInterface(IID_IFilterGraph, filters.PutVoid())))
        filters->RemoveFilter(Entries[0].Filter.Get());
}
