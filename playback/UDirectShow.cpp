#include "playback/UDirectShow.h"

#include <errors.h>

#include "playback/UMediaMath.h"
#include "win/ULateLibrary.h"

namespace {

// DirectShow's own text for the code. quartz.dll is normally loaded by then
// (by the graph that failed); without it the message has the code alone.
std::string SystemText(HRESULT hr)
{
    static const auto errorText =
        LateFunction<decltype(&AMGetErrorTextA)>(L"quartz.dll", "AMGetErrorTextA", TLibraryPlace::System);
    if (!errorText) return {};
    char buffer[160] = {};
    DWORD n = errorText(hr, buffer, sizeof buffer);
    if (n > sizeof buffer) n = sizeof buffer;
    return std::string(buffer, n);
}

}  // namespace

EDSError::EDSError(HRESULT hr) : Exception(DSErrorMessage(SystemText(hr), hr)), Code(hr) {}

bool RunningOnWine()
{
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

// Wine's default video renderer draws through OpenGL on a thread of its own.
// With software GL on X, that thread and the GUI thread's own X calls (a
// layered window being updated, windows being moved) can deadlock inside
// Xlib. Wine's plain Video Renderer draws with GDI on the GUI side and has no
// such thread, so on Wine it is offered to intelligent connect first (filters
// already in the graph are tried before any from the registry, the ones added
// last first). Windows keeps its own choice.
TComPtr<IBaseFilter> AddGdiVideoRenderer(IGraphBuilder* builder)
{
    TComPtr<IBaseFilter> renderer;
    if (!RunningOnWine()) return renderer;
    if (FAILED(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                renderer.PutVoid())) ||
        FAILED(builder->AddFilter(renderer.Get(), L"Video Renderer")))
        renderer = nullptr;
    return renderer;
}

TComPtr<IBaseFilter> AddWineSplitter(IGraphBuilder* builder)
{
    // Wine's "GStreamer splitter filter".
    static const CLSID splitterClass = {
        0xf9d8d64e, 0xa144, 0x47dc, {0x8e, 0xe0, 0xf5, 0x34, 0x98, 0x37, 0x2c, 0x29}};
    TComPtr<IBaseFilter> splitter;
    if (!RunningOnWine()) return splitter;
    if (FAILED(CoCreateInstance(splitterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                splitter.PutVoid())) ||
        FAILED(builder->AddFilter(splitter.Get(), L"GStreamer splitter filter")))
        splitter = nullptr;
    return splitter;
}

bool HasConnectedPin(IBaseFilter* filter)
{
    TComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) return false;
    TComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        TComPtr<IPin> peer;
        if (SUCCEEDED(pin->ConnectedTo(peer.Put())) && peer) return true;
    }
    return false;
}
