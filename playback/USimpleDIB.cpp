#include "playback/USimpleDIB.h"

#include <cstdio>

void RaiseLastSystemError()
{
    const DWORD code = GetLastError();
    if (code != 0) {
        char text[256];
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                 0x400, text, sizeof text, nullptr);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
        if (n > 0) throw EOutOfResources(std::string(text, n));
    }
    char message[64];
    std::snprintf(message, sizeof message, "不明なエラー: ErrorCode %.8lx", static_cast<unsigned long>(code));
    throw Exception(message);
}

BITMAPINFO TSimpleDIB::MakeInfo(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

TGdiObject<HBITMAP> TSimpleDIB::CreateSection(const BITMAPINFO& info, void*& bits)
{
    bits = nullptr;
    HBITMAP bitmap;
    {
        TWindowDC screen;
        SetLastError(0);
        bitmap = CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        RaiseLastSystemError();
    }
    return TGdiObject<HBITMAP>(bitmap);
}

TSimpleDIB::TSimpleDIB() : MemoryDC(CreateCompatibleDC(nullptr))
{
    if (!MemoryDC) RaiseLastSystemError();
    Info = MakeInfo(Width, Height);
    Bitmap = CreateSection(Info, Bits);
    ClearPixels();
}

TSimpleDIB::~TSimpleDIB() { Release(); }

void TSimpleDIB::Resize(int width, int height)
{
    if (width <= 0 || height <= 0 || (width == Width && height == Height)) return;
    const BITMAPINFO info = MakeInfo(width, height);
    void* bits = nullptr;
    TGdiObject<HBITMAP> bitmap = CreateSection(info, bits);
    LockSection.Enter();
    // A bitmap selected into a DC cannot be deleted: under a lock of this
    // thread the new one takes the old one's place in the DC first.
    if (LockCount > 0) SelectObject(MemoryDC.Get(), bitmap.Get());
    Bitmap = std::move(bitmap);
    Info = info;
    Bits = bits;
    Width = width;
    Height = height;
    LockSection.Leave();
    ClearPixels();
}

void TSimpleDIB::ClearPixels()
{
    LockSection.Enter();
    GdiFlush();  // finish GDI's drawing before the bits are touched
    ClearFrame(GetFrameBuffer());
    LockSection.Leave();
}

HDC TSimpleDIB::Lock()
{
    LockSection.Enter();
    if (LockCount++ == 0) PreviousObject = SelectObject(MemoryDC.Get(), Bitmap.Get());
    return MemoryDC.Get();
}

void TSimpleDIB::Unlock()
{
    if (LockCount > 0 && --LockCount == 0) {
        SelectObject(MemoryDC.Get(), PreviousObject);
        PreviousObject = nullptr;
    }
    LockSection.Leave();
}

void TSimpleDIB::Release()
{
    LockSection.Enter();
    if (LockCount > 0 && PreviousObject) SelectObject(MemoryDC.Get(), PreviousObject);
    Bitmap.Reset();
    Bits = nullptr;
    LockSection.Leave();
}

TFrameBuffer TSimpleDIB::GetFrameBuffer() const
{
    TFrameBuffer f;
    f.Bits = static_cast<std::uint8_t*>(Bits);
    f.Width = Bits ? Width : 0;
    f.Height = Bits ? Height : 0;
    f.BitCount = Info.bmiHeader.biBitCount;
    f.BottomUp = Info.bmiHeader.biHeight > 0;
    return f;
}
