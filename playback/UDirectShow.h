// DirectShow declarations shared by the movie window and the level analyser,
// and the DirectShow error EDSError.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "win/UComPtr.h"
#include "base/UException.h"

// mingw's qedit.h lacks these two; libstrmiids has them.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

// A failed DirectShow call: the system's text for the code, then
// "\r\nError Code: " and the code in 8 hexadecimal digits.
class EDSError : public Exception {
public:
    explicit EDSError(HRESULT hr);
    HRESULT Code;
};

// Raises EDSError for a failure code; returns otherwise.
inline void CheckDSResult(HRESULT hr)
{
    if (FAILED(hr)) throw EDSError(hr);
}

// True under Wine (ntdll exports wine_get_version); looked up once.
bool RunningOnWine();

// On Wine, adds Wine's GDI "Video Renderer" to the graph so that intelligent
// connect uses it instead of the OpenGL one; returns it, or nothing on
// Windows or when it cannot be made.
TComPtr<IBaseFilter> AddGdiVideoRenderer(IGraphBuilder* builder);

// On Wine, adds the GStreamer splitter, which intelligent connect picks for
// every format there anyway; found in the graph, it is tried before the
// registry is searched. Each such search leaks about 36 handles in Wine's
// filter mapper (two searches per file), which a long session piles up.
// Returns it, or nothing on Windows or when it cannot be made.
TComPtr<IBaseFilter> AddWineSplitter(IGraphBuilder* builder);

// True when some pin of the filter is connected.
bool HasConnectedPin(IBaseFilter* filter);
