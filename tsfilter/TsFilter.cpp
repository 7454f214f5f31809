// TsFilter.dll: the two callback filters and the registration of their
// callbacks. The filters themselves are in UCallbackFilter.
#define TSFILTER_BUILD
#include "tsfilter/TsFilter.h"

#include <dshow.h>

#include "tsfilter/UCallbackFilter.h"

namespace {

const tsfilter::TAcceptedType VideoType = {MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FORMAT_VideoInfo,
                                           sizeof(VIDEOINFOHEADER)};
const tsfilter::TAcceptedType AudioType = {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx,
                                           sizeof(PCMWAVEFORMAT)};

}  // namespace

TSFILTER_API HRESULT __stdcall CreateVideoCallbackFilter(IBaseFilter** filter, DWORD* handle)
{
    return tsfilter::CreateCallbackFilter(VideoType, L"Video Callback Filter", filter, handle);
}

TSFILTER_API HRESULT __stdcall CreateAudioCallbackFilter(IBaseFilter** filter, DWORD* handle)
{
    return tsfilter::CreateCallbackFilter(AudioType, L"Audio Callback Filter", filter, handle);
}

TSFILTER_API HRESULT __stdcall SetTSFilterCallback(DWORD handle, void* user, TSFilterCallback callback)
{
    return tsfilter::SetFilterCallback(handle, user, callback);
}
