// TsFilter.dll: DirectShow callback filters. A filter created here hands every
// media sample it receives to a callback registered with SetTSFilterCallback,
// on the graph's streaming thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#ifdef TSFILTER_BUILD
#define TSFILTER_API extern "C" __declspec(dllexport)
#else
#define TSFILTER_API extern "C" __declspec(dllimport)
#endif

// Called for every sample: the user pointer given to SetTSFilterCallback, the
// media type of the filter's input connection and the sample. Returns S_OK.
typedef HRESULT(__stdcall* TSFilterCallback)(void* user, const AM_MEDIA_TYPE* mediaType,
                                             IMediaSample* sample);

// A filter for the video path: intelligent connect places it between the
// decoder and the video renderer; it takes uncompressed RGB32 video with a
// VIDEOINFOHEADER and passes every sample on unchanged.
TSFILTER_API HRESULT __stdcall CreateVideoCallbackFilter(IBaseFilter** filter, DWORD* handle);

// A filter whose first input pin takes PCM audio (WAVEFORMATEX). Its output
// pin passes the samples on; left unconnected it must be ended in a renderer.
TSFILTER_API HRESULT __stdcall CreateAudioCallbackFilter(IBaseFilter** filter, DWORD* handle);

// Registers the callback for a handle from one of the Create functions, at
// any time: before the graph is built (as the program does, right after
// creating the filter) or after. E_INVALIDARG for an unknown handle (its
// filter is already gone). The media type handed to the callback is the
// filter's input connection, taken when that connection is made; a type
// that arrives with a sample replaces it from that sample on.
TSFILTER_API HRESULT __stdcall SetTSFilterCallback(DWORD handle, void* user, TSFilterCallback callback);
