// Owners of GDI handles: each releases what it holds when it goes away.
#pragma once

#include <windows.h>

#include <utility>

// A GDI object (bitmap, brush, pen ...) deleted with DeleteObject.
template <class T>
class TGdiObject {
public:
    TGdiObject() = default;
    explicit TGdiObject(T handle) : Handle(handle) {}
    ~TGdiObject() { Reset(); }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    TGdiObject(TGdiObject&& o) noexcept : Handle(o.Release()) {}
    TGdiObject& operator=(TGdiObject&& o) noexcept
    {
        if (this != &o) Reset(o.Release());
        return *this;
    }

    T Get() const { return Handle; }
    explicit operator bool() const { return Handle != nullptr; }
    T Release()
    {
        T h = Handle;
        Handle = nullptr;
        return h;
    }
    void Reset(T handle = nullptr)
    {
        if (Handle) DeleteObject(Handle);
        Handle = handle;
    }

private:
    T Handle = nullptr;
};

// An icon of the program's own (not a shared one), destroyed with DestroyIcon.
class TIcon {
public:
    TIcon() = default;
    explicit TIcon(HICON icon) : Icon(icon) {}
    ~TIcon() { Reset(); }
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;
    TIcon(TIcon&& o) noexcept : Icon(o.Icon) { o.Icon = nullptr; }
    TIcon& operator=(TIcon&& o) noexcept
    {
        if (this != &o) {
            Reset(o.Icon);
            o.Icon = nullptr;
        }
        return *this;
    }
    HICON Get() const { return Icon; }
    void Reset(HICON icon = nullptr)
    {
        if (Icon) DestroyIcon(Icon);
        Icon = icon;
    }

private:
    HICON Icon = nullptr;
};

// A memory device context, deleted with DeleteDC.
class TMemoryDC {
public:
    TMemoryDC() = default;
    explicit TMemoryDC(HDC dc) : DC(dc) {}
    ~TMemoryDC()
    {
        if (DC) DeleteDC(DC);
    }
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    HDC Get() const { return DC; }
    explicit operator bool() const { return DC != nullptr; }

private:
    HDC DC = nullptr;
};

// The device context of a window (null: the screen) from GetDC, given back
// with ReleaseDC.
class TWindowDC {
public:
    explicit TWindowDC(HWND wnd = nullptr) : Wnd(wnd), DC(GetDC(wnd)) {}
    ~TWindowDC()
    {
        if (DC) ReleaseDC(Wnd, DC);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC Get() const { return DC; }
    explicit operator bool() const { return DC != nullptr; }

private:
    HWND Wnd;
    HDC DC;
};
