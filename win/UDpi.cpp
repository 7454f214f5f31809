#include "win/UDpi.h"

#include <commctrl.h>

namespace {

// Calls of later Windows versions, looked up once.
struct TDpiCalls {
    UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
    int(WINAPI* GetSystemMetricsForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* AdjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    BOOL(WINAPI* SystemParametersInfoForDpi)(UINT, UINT, void*, UINT, UINT) = nullptr;

    TDpiCalls()
    {
        if (HMODULE user = GetModuleHandleA("user32.dll")) {
            Find(user, "GetDpiForWindow", GetDpiForWindow);
            Find(user, "GetSystemMetricsForDpi", GetSystemMetricsForDpi);
            Find(user, "AdjustWindowRectExForDpi", AdjustWindowRectExForDpi);
            Find(user, "SystemParametersInfoForDpi", SystemParametersInfoForDpi);
        }
    }
    template <class F>
    static void Find(HMODULE module, const char* name, F& f)
    {
        f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

const TDpiCalls& Calls()
{
    static const TDpiCalls calls;
    return calls;
}

const char DpiProp[] = "Reelo.Dpi";
const char DesignPosProp[] = "Reelo.DesignPos";
const char DesignSizeProp[] = "Reelo.DesignSize";

HANDLE Pack(int a, int b)
{
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(static_cast<DWORD>(
        MAKELONG(static_cast<WORD>(static_cast<short>(a)), static_cast<WORD>(static_cast<short>(b))))));
}

void Unpack(HANDLE h, int& a, int& b)
{
    const auto v = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(h));
    a = static_cast<short>(LOWORD(v));
    b = static_cast<short>(HIWORD(v));
}

}  // namespace

int ScaleToDpi(int units, UINT dpi) { return MulDiv(units, static_cast<int>(dpi), DesignDpi); }

int ScaleFromDpi(int pixels, UINT dpi)
{
    return dpi ? MulDiv(pixels, DesignDpi, static_cast<int>(dpi)) : pixels;
}

RECT ScaleRectToDpi(int left, int top, int width, int height, UINT dpi)
{
    return {ScaleToDpi(left, dpi), ScaleToDpi(top, dpi), ScaleToDpi(left + width, dpi),
            ScaleToDpi(top + height, dpi)};
}

UINT SystemDpi()
{
    static const UINT dpi = [] {
        HDC dc = GetDC(nullptr);
        const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
        if (dc) ReleaseDC(nullptr, dc);
        return d > 0 ? static_cast<UINT>(d) : DesignDpi;
    }();
    return dpi;
}

UINT MonitorDpiOfWindow(HWND hwnd)
{
    if (hwnd && Calls().GetDpiForWindow)
        if (const UINT dpi = Calls().GetDpiForWindow(hwnd)) return dpi;
    return SystemDpi();
}

UINT WindowDpi(HWND hwnd)
{
    if (!hwnd) return SystemDpi();
    HWND root = GetAncestor(hwnd, GA_ROOT);
    if (const auto dpi =
            static_cast<UINT>(reinterpret_cast<ULONG_PTR>(GetPropA(root ? root : hwnd, DpiProp))))
        return dpi;
    return MonitorDpiOfWindow(hwnd);
}

void SetWindowDpi(HWND topLevel, UINT dpi)
{
    SetPropA(topLevel, DpiProp, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(dpi)));
}

int SystemMetricForDpi(int index, UINT dpi)
{
    if (Calls().GetSystemMetricsForDpi) return Calls().GetSystemMetricsForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi)
{
    if (Calls().AdjustWindowRectExForDpi &&
        Calls().AdjustWindowRectExForDpi(&rect, style, menu, exStyle, dpi))
        return;
    AdjustWindowRectEx(&rect, style, menu, exStyle);
}

HFONT CreateMessageFontForDpi(UINT dpi)
{
    if (Calls().SystemParametersInfoForDpi) {
        NONCLIENTMETRICSW ncm = {};
        ncm.cbSize = sizeof(ncm);
        if (Calls().SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0, dpi))
            return CreateFontIndirectW(&ncm.lfMessageFont);
    }
    // The system's font, for its DPI.
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return nullptr;
    ncm.lfMessageFont.lfHeight =
        MulDiv(ncm.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return CreateFontIndirectW(&ncm.lfMessageFont);
}

HICON LoadIconForDpi(HINSTANCE instance, const char* name, bool small, UINT dpi)
{
    const int cx = SystemMetricForDpi(small ? SM_CXSMICON : SM_CXICON, dpi);
    const int cy = SystemMetricForDpi(small ? SM_CYSMICON : SM_CYICON, dpi);
    // Only the common controls of version 6 have it.
    using TLoadScaled = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto loadScaled = [] {
        HMODULE comctl = GetModuleHandleA("comctl32.dll");
        return comctl ? reinterpret_cast<TLoadScaled>(
                            reinterpret_cast<void*>(GetProcAddress(comctl, "LoadIconWithScaleDown")))
                      : nullptr;
    }();
    if (loadScaled) {
        wchar_t wide[64] = {};
        const wchar_t* resource = IS_INTRESOURCE(name) ? reinterpret_cast<const wchar_t*>(name) : wide;
        if (!IS_INTRESOURCE(name)) MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64);
        HICON icon = nullptr;
        if (SUCCEEDED(loadScaled(instance, resource, cx, cy, &icon)) && icon) return icon;
    }
    return static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
}

void KeepDesignBounds(HWND child, int left, int top, int width, int height)
{
    SetPropA(child, DesignPosProp, Pack(left, top));
    SetPropA(child, DesignSizeProp, Pack(width, height));
}

void SetDesignBounds(HWND child, int left, int top, int width, int height)
{
    KeepDesignBounds(child, left, top, width, height);
    const RECT r = ScaleRectToDpi(left, top, width, height, WindowDpi(child));
    SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool DesignBounds(HWND child, RECT& design)
{
    // A window of no size keeps none (it is placed by another, as an up-down by its buddy).
    HANDLE size = GetPropA(child, DesignSizeProp);
    if (!size) return false;
    int left, top, width, height;
    Unpack(GetPropA(child, DesignPosProp), left, top);
    Unpack(size, width, height);
    design = {left, top, left + width, top + height};
    return true;
}
