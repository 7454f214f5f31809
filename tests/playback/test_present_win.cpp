// The frame bitmap, a video sample drawn into it, and the layered window it
// is presented on, read back through GDI and the screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <cstring>
#include <vector>

#include "playback/UDrawSample.h"
#include "playback/ULayeredPresent.h"
#include "playback/UMovieFrame.h"

namespace {

// A sample as the callback filter hands it over; OwnType is handed out as a
// changed media type.
class TFakeSample : public IMediaSample {
public:
    std::vector<BYTE> Data;
    long Length = 0;
    const AM_MEDIA_TYPE* OwnType = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** p) override
    {
        *p = Data.data();
        return S_OK;
    }
    long STDMETHODCALLTYPE GetSize() override { return long(Data.size()); }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL) override { return E_NOTIMPL; }
    long STDMETHODCALLTYPE GetActualDataLength() override { return Length; }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** type) override
    {
        *type = nullptr;
        if (!OwnType) return S_FALSE;
        *type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        **type = *OwnType;
        (*type)->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(OwnType->cbFormat));
        std::memcpy((*type)->pbFormat, OwnType->pbFormat, OwnType->cbFormat);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

    // RGB32 pixels, quadrants red, green / blue, white of a w x h picture.
    void Fill(int w, int h, bool topDown)
    {
        static const COLORREF quadrant[2][2] = {{RGB(255, 0, 0), RGB(0, 255, 0)},
                                                {RGB(0, 0, 255), RGB(255, 255, 255)}};
        Data.assign(std::size_t(w) * h * 4, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF c = quadrant[2 * y / h][2 * x / w];
                BYTE* p = &Data[(std::size_t(topDown ? y : h - 1 - y) * w + x) * 4];
                p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
            }
        Length = long(Data.size());
    }
};

struct TVideoType {
    TVideoType(LONG width, LONG height)
    {
        Info.bmiHeader =
            BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        Type.majortype = MEDIATYPE_Video;
        Type.subtype = MEDIASUBTYPE_RGB32;
        Type.formattype = FORMAT_VideoInfo;
        Type.cbFormat = sizeof Info;
        Type.pbFormat = reinterpret_cast<BYTE*>(&Info);
    }
    VIDEOINFOHEADER Info{};
    AM_MEDIA_TYPE Type{};
};

COLORREF PixelOf(TSimpleDIB& dib, int x, int y)
{
    TSimpleDIBLock lock(dib);
    return GetPixel(lock.GetHDC(), x, y);
}

void FillFrame(TSimpleDIB& dib, COLORREF colour, RECT r)
{
    TSimpleDIBLock lock(dib);
    TGdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    FillRect(lock.GetHDC(), &r, brush.Get());
    GdiFlush();
}

// A window made from the movie window's creation parameters.
struct TTestWindow {
    TTestWindow()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ReeloPresentTest";
        RegisterClassA(&wc);
        const TMovieWindowParams p = MovieWindowParams(true, false, false, GetSystemMetrics(SM_CXSCREEN),
                                                       GetSystemMetrics(SM_CYSCREEN));
        Wnd = CreateWindowExA(p.ExStyle, wc.lpszClassName, p.Caption, p.Style, p.X, p.Y, p.Width, p.Height,
                              GetDesktopWindow(), nullptr, wc.hInstance, nullptr);
        GetWindowRect(Wnd, &Bounds);
        Frame.Resize(Bounds.right - Bounds.left, Bounds.bottom - Bounds.top);
    }
    ~TTestWindow() { DestroyWindow(Wnd); }
    COLORREF ScreenPixel(int x, int y)
    {
        return GetPixel(TWindowDC().Get(), Bounds.left + x, Bounds.top + y);
    }
    // The screen shows a presented frame a little later when the machine is
    // busy: reads until the pixel is the expected one or a second has passed,
    // dispatching messages meanwhile, and returns the last value read.
    COLORREF SettledScreenPixel(int x, int y, COLORREF expected)
    {
        const DWORD start = GetTickCount();
        for (;;) {
            const COLORREF c = ScreenPixel(x, y);
            if (c == expected || GetTickCount() - start > 1000) return c;
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(10);
        }
    }
    HWND Wnd;
    RECT Bounds;
    TSimpleDIB Frame;
};

}  // namespace

TEST(SimpleDIB, ResizeKeepsTheOldBitmapOnEmptySizesAndFailure)
{
    TSimpleDIB dib;
    dib.Resize(7, 5);
    FillFrame(dib, RGB(255, 255, 255), RECT{0, 0, 7, 5});
    const HBITMAP before = dib.GetBitmap();
    for (auto [w, h] : {std::pair{7, 5}, {0, 5}, {7, -1}}) dib.Resize(w, h);
    EXPECT_THROW(dib.Resize(0x7FFFFFFF, 0x7FFFFFFF), Exception);
    EXPECT_EQ(before, dib.GetBitmap());
    EXPECT_EQ(7, dib.GetInfo().bmiHeader.biWidth);
    EXPECT_EQ(RGB(255, 255, 255), PixelOf(dib, 6, 4));

    // A resize under the lock swaps the selected bitmap and frees the old one.
    HDC dc = dib.Lock();
    dib.Resize(6, 5);
    EXPECT_EQ(dib.GetBitmap(), GetCurrentObject(dc, OBJ_BITMAP));
    EXPECT_EQ(0, GetObjectType(before));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 5, 4)) << "a new bitmap is black";
    dib.Unlock();
    EXPECT_NE(dib.GetBitmap(), GetCurrentObject(dc, OBJ_BITMAP));
}

// Samples of either orientation land upright where GDI sees them; a changed
// media type on the sample wins over the connection's.
TEST(DrawSample, DrawsUprightAtTheRectangle)
{
    TSimpleDIB dib;
    dib.Resize(8, 6);
    for (bool topDown : {false, true}) {
        dib.ClearPixels();
        TVideoType connection(1, 1), own(4, topDown ? -4 : 4);
        TFakeSample sample;
        sample.OwnType = &own.Type;
        sample.Fill(4, 4, topDown);
        ASSERT_TRUE(DrawSampleToBitmap(&sample, &connection.Type, dib, TFrameRect{2, 1, 4, 4}));
        EXPECT_EQ(RGB(255, 0, 0), PixelOf(dib, 2, 1));
        EXPECT_EQ(RGB(0, 255, 0), PixelOf(dib, 5, 1));
        EXPECT_EQ(RGB(0, 0, 255), PixelOf(dib, 2, 4));
        EXPECT_EQ(RGB(255, 255, 255), PixelOf(dib, 5, 4));
        EXPECT_EQ(RGB(0, 0, 0), PixelOf(dib, 6, 5));
    }
}

// A sample that does not hold the picture its type describes is dropped and
// the frame keeps what it showed.
TEST(DrawSample, DropsSamplesItCannotDraw)
{
    TSimpleDIB dib;
    dib.Resize(4, 4);
    TVideoType type(4, 4), big(64, 64), truncated(4, 4);
    truncated.Type.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    TFakeSample sample;
    sample.Fill(4, 4, false);
    ASSERT_TRUE(DrawSampleToBitmap(&sample, &type.Type, dib, TFrameRect{0, 0, 4, 4}));
    EXPECT_FALSE(DrawSampleToBitmap(&sample, &big.Type, dib, TFrameRect{0, 0, 1, 1}));
    EXPECT_FALSE(DrawSampleToBitmap(&sample, &truncated.Type, dib, TFrameRect{0, 0, 1, 1}));
    EXPECT_FALSE(DrawSampleToBitmap(&sample, nullptr, dib, TFrameRect{0, 0, 1, 1}));
    sample.Length -= 4;
    EXPECT_FALSE(DrawSampleToBitmap(&sample, &type.Type, dib, TFrameRect{0, 0, 1, 1}));
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(dib, 0, 3));
}

// The frame bitmap, as big as the whole window, becomes its surface: drawn
// red above and green below and presented at full alpha, it reads back so
// from the screen, frame included. (The window's own DC cannot be read
// back under Wine.) Switching on again starts from black.
TEST(LayeredPresent, PresentsTheFrameAsTheWindowSurface)
{
    ASSERT_TRUE(LayeredPresentationAvailable());
    TTestWindow w;
    const int width = w.Frame.GetWidth(), height = w.Frame.GetHeight();
    SwitchLayeredStyle(w.Wnd, true, w.Frame, 255);
    EXPECT_EQ(WS_EX_LAYERED | WS_EX_TRANSPARENT,
              GetWindowLongPtrA(w.Wnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT));
    ShowWindow(w.Wnd, SW_SHOWNOACTIVATE);
    FillFrame(w.Frame, RGB(255, 0, 0), RECT{0, 0, width, height / 2});
    FillFrame(w.Frame, RGB(0, 255, 0), RECT{0, height / 2, width, height});
    ASSERT_TRUE(PresentLayeredFrame(w.Wnd, w.Frame, 255));
    EXPECT_EQ(RGB(255, 0, 0), w.SettledScreenPixel(1, 1, RGB(255, 0, 0)));
    EXPECT_EQ(RGB(0, 255, 0), w.SettledScreenPixel(width - 2, height - 2, RGB(0, 255, 0)));

    SwitchLayeredStyle(w.Wnd, false, w.Frame, 255);
    EXPECT_EQ(0, GetWindowLongPtrA(w.Wnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT));
    EXPECT_FALSE(PresentLayeredFrame(w.Wnd, w.Frame, 255)) << "not layered any more";
    SwitchLayeredStyle(w.Wnd, true, w.Frame, 255);
    EXPECT_EQ(RGB(0, 0, 0), w.SettledScreenPixel(width / 2, height / 4, RGB(0, 0, 0)));
    EXPECT_FALSE(PresentLayeredFrame(w.Wnd, w.Frame, 255, TLayeredApi{}));
}

// A new alpha while layered must not stop later frames from being shown
// (a window given SetLayeredWindowAttributes refuses UpdateLayeredWindow).
TEST(LayeredPresent, NewAlphaKeepsFramesComing)
{
    TTestWindow w;
    SwitchLayeredStyle(w.Wnd, true, w.Frame, 127);
    ShowWindow(w.Wnd, SW_SHOWNOACTIVATE);
    ApplyLayerAlpha(w.Wnd, true, w.Frame, 200);
    EXPECT_TRUE(PresentLayeredFrame(w.Wnd, w.Frame, 200));
}

// The border offset follows the sizing frame.
TEST(MovieFrame, BorderOffsetFollowsTheSizingFrame)
{
    TTestWindow w;
    const TBorderOffset framed = ReadBorderOffset(w.Wnd);
    EXPECT_GT(framed.X, 0);
    const TBorderOffset bare = SetWindowSizableFrame(w.Wnd, false);
    EXPECT_TRUE(bare.X == 0 && bare.Y == 0);
    EXPECT_EQ(framed.Y, SetWindowSizableFrame(w.Wnd, true).Y);
}
