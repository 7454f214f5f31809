// The movie window's frame bitmap: a 24-bit bottom-up DIB section with a
// memory DC to draw it with and a lock of its own. Video samples are drawn
// into it on the streaming thread and it is put on screen as the layered
// window's surface.
#pragma once

#include <windows.h>

#include <string>

#include "playback/UFramePixels.h"
#include "win/UCriticalSection.h"
#include "win/UGdiHandles.h"
#include "base/UException.h"

// The system ran out of a resource (memory, GDI objects); the text is the
// system's own message for the error.
class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// Raises the calling thread's last error: EOutOfResources with the system's
// text for it, or, when there is no code or no text, Exception
// "不明なエラー: ErrorCode %.8x".
[[noreturn]] void RaiseLastSystemError();

class TSimpleDIB {
public:
    // A 1 x 1 black bitmap. Raises as RaiseLastSystemError when the bitmap
    // or the memory DC cannot be made.
    TSimpleDIB();
    ~TSimpleDIB();
    TSimpleDIB(const TSimpleDIB&) = delete;
    TSimpleDIB& operator=(const TSimpleDIB&) = delete;

    // Nothing when the size is unchanged or either value is 0 or less.
    // Otherwise a new black bitmap of that size replaces the old one; the new
    // one is made first, so a failure (raised) leaves the old one in use.
    void Resize(int width, int height);
    // Every pixel black.
    void ClearPixels();

    // Enters the lock, selects the bitmap into the memory DC and returns the
    // DC; Unlock undoes it. Locks nest on one thread.
    HDC Lock();
    void Unlock();

    // Deletes the bitmap (Bits becomes null); the object is then unusable
    // until the next successful Resize to a new size.
    void Release();

    int GetWidth() const { return Width; }
    int GetHeight() const { return Height; }
    int GetLockCount() const { return LockCount; }
    HBITMAP GetBitmap() const { return Bitmap.Get(); }
    HDC GetMemoryDC() const { return MemoryDC.Get(); }
    const BITMAPINFO& GetInfo() const { return Info; }
    void* GetBits() const { return Bits; }
    // The pixels as a plain buffer for the drawing code; use it under Lock.
    TFrameBuffer GetFrameBuffer() const;

private:
    static BITMAPINFO MakeInfo(int width, int height);
    static TGdiObject<HBITMAP> CreateSection(const BITMAPINFO& info, void*& bits);

    TMemoryDC MemoryDC;
    TCriticalSection LockSection;
    BITMAPINFO Info{};
    TGdiObject<HBITMAP> Bitmap;
    int LockCount = 0;
    void* Bits = nullptr;
    HGDIOBJ PreviousObject = nullptr;
    int Width = 1;
    int Height = 1;
};

// Holds a TSimpleDIB's lock for a scope.
class TSimpleDIBLock {
public:
    explicit TSimpleDIBLock(TSimpleDIB& dib) : Dib(dib), DC(dib.Lock()) {}
    ~TSimpleDIBLock() { Dib.Unlock(); }
    TSimpleDIBLock(const TSimpleDIBLock&) = delete;
    TSimpleDIBLock& operator=(const TSimpleDIBLock&) = delete;
    HDC GetHDC() const { return DC; }

private:
    TSimpleDIB& Dib;
    HDC DC;
};
