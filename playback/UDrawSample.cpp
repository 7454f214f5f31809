#include "playback/UDrawSample.h"

#include <dvdmedia.h>
#include <uuids.h>
#include <amvideo.h>

#include <cstddef>

namespace {

// A media type handed out by IMediaSample::GetMediaType, freed as the
// sample's allocator expects.
class TOwnedMediaType {
public:
    ~TOwnedMediaType()
    {
        if (!Type) return;
        if (Type->pbFormat) CoTaskMemFree(Type->pbFormat);
        if (Type->pUnk) Type->pUnk->Release();
        CoTaskMemFree(Type);
    }
    AM_MEDIA_TYPE** Put() { return &Type; }
    AM_MEDIA_TYPE* Get() const { return Type; }

private:
    AM_MEDIA_TYPE* Type = nullptr;
};

}  // namespace

bool ReadVideoFormat(const AM_MEDIA_TYPE& mediaType, TSampleFormat& format)
{
    if (!mediaType.pbFormat) return false;
    const BITMAPINFOHEADER* header = nullptr;
    if (mediaType.formattype == FORMAT_VideoInfo && mediaType.cbFormat >= sizeof(VIDEOINFOHEADER))
        header = &reinterpret_cast<const VIDEOINFOHEADER*>(mediaType.pbFormat)->bmiHeader;
    else if (mediaType.formattype == FORMAT_VideoInfo2 && mediaType.cbFormat >= sizeof(VIDEOINFOHEADER2))
        header = &reinterpret_cast<const VIDEOINFOHEADER2*>(mediaType.pbFormat)->bmiHeader;
    if (!header) return false;
    format.Width = header->biWidth;
    format.Height = header->biHeight;
    format.BitCount = header->biBitCount;
    format.Compression = header->biCompression;
    return true;
}

bool DrawSampleToBitmap(IMediaSample* sample, const AM_MEDIA_TYPE* connectionType, TSimpleDIB& frame,
                        const TFrameRect& dest) noexcept
{
    try {
        if (!sample) return false;
        TOwnedMediaType own;
        const AM_MEDIA_TYPE* type = connectionType;
        if (sample->GetMediaType(own.Put()) == S_OK && own.Get()) type = own.Get();
        TSampleFormat format;
        if (!type || !ReadVideoFormat(*type, format)) return false;

        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data)) || !data) return false;
        const long length = sample->GetActualDataLength();
        if (length <= 0) return false;

        TSimpleDIBLock lock(frame);
        GdiFlush();  // GDI's pending drawing on this thread comes first
        return StretchSampleToFrame(data, static_cast<std::size_t>(length), format, frame.GetFrameBuffer(),
                                    dest);
    } catch (...) {
        return false;  // out of memory for the column table: drop the frame
    }
}
