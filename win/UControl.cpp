#include "win/UControl.h"

#include <commctrl.h>

#include "base/UException.h"
#include "win/UApplication.h"
#include "win/UDpi.h"

namespace {

// The window property that holds a child window's object.
const char ControlProp[] = "Reelo.Control";

}  // namespace

TControl::~TControl()
{
    if (!FHandle) return;
    if (FSubclassed) RemoveWindowSubclass(FHandle, &TControl::SubclassProc, 0);
    RemovePropA(FHandle, ControlProp);
    DestroyWindow(FHandle);
}

TControl* TControl::FromHandle(HWND hwnd)
{
    if (!hwnd) return nullptr;
    return static_cast<TControl*>(GetPropA(hwnd, ControlProp));
}

void TControl::Create(const char* className, const TControlArgs& args, DWORD style, DWORD exStyle)
{
    FHandle = CreateControl(args.Parent, className, args.Text, style | args.Style, args.Left, args.Top,
                            args.Width, args.Height, args.Id, exStyle | args.ExStyle);
    Bind(FHandle);
}

void TControl::Bind(HWND hwnd) { SetPropA(hwnd, ControlProp, this); }

void TControl::Subclass()
{
    if (!FSubclassed &&
        SetWindowSubclass(FHandle, &TControl::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this)))
        FSubclassed = true;
}

LRESULT CALLBACK TControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data)
{
    auto* self = reinterpret_cast<TControl*>(data);
    LRESULT result = 0;
    bool handled = false;
    Guarded([&] { handled = self->SubclassMessage(msg, wp, lp, result); });
    return handled ? result : DefSubclassProc(hwnd, msg, wp, lp);
}

bool TControl::Enabled() const { return IsWindowEnabled(FHandle) != FALSE; }

void TControl::SetEnabled(bool enabled) { EnableWindow(FHandle, enabled); }

bool TControl::Visible() const { return IsWindowVisible(FHandle) != FALSE; }

void TControl::SetVisible(bool visible) { ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE); }

void TControl::SetBounds(int left, int top, int width, int height)
{
    SetDesignBounds(FHandle, left, top, width, height);
}

std::string TControl::Text() const { return GetWindowTextString(FHandle); }

void TControl::SetText(const std::string& text) { SetWindowTextString(FHandle, text); }

void TControl::SetFocus() { ::SetFocus(FHandle); }

bool ReflectToControl(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    TControl* control = nullptr;
    switch (msg) {
        case WM_COMMAND:
            // lp is the child for a control's notification (0: menu, accelerator).
            control = TControl::FromHandle(reinterpret_cast<HWND>(lp));
            if (!control) return false;
            result = 0;
            return control->Command(reinterpret_cast<HWND>(lp), LOWORD(wp), HIWORD(wp));
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            control = header ? TControl::FromHandle(header->hwndFrom) : nullptr;
            return control && control->Notify(*header, result);
        }
        case WM_HSCROLL:
        case WM_VSCROLL:
            control = TControl::FromHandle(reinterpret_cast<HWND>(lp));
            if (!control) return false;
            result = 0;
            return control->Scroll(reinterpret_cast<HWND>(lp), LOWORD(wp));
        case WM_CONTEXTMENU:
            control = TControl::FromHandle(reinterpret_cast<HWND>(wp));
            if (!control || !control->OnContextMenu) return false;
            control->OnContextMenu(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
            result = 0;
            return true;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (!item || item->CtlType == ODT_MENU) return false;
            control = TControl::FromHandle(item->hwndItem);
            if (!control || !control->DrawItem(*item)) return false;
            result = TRUE;
            return true;
        }
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            if (!item || item->CtlType == ODT_MENU) return false;
            control = TControl::FromHandle(GetDlgItem(parent, static_cast<int>(item->CtlID)));
            if (!control || !control->MeasureItem(*item)) return false;
            result = TRUE;
            return true;
        }
    }
    return false;
}

HWND CreateControl(HWND parent, const char* className, const std::string& text, DWORD style, int x, int y,
                   int w, int h, UINT id, DWORD exStyle)
{
    HINSTANCE instance = Application ? Application->Instance() : GetModuleHandleA(nullptr);
    const UINT dpi = WindowDpi(parent);
    const RECT r = ScaleRectToDpi(x, y, w, h, dpi);
    const std::wstring wideClass(className, className + std::char_traits<char>::length(className));  // ASCII
    HWND hwnd =
        CreateWindowExW(exStyle, wideClass.c_str(), ScreenText(text).c_str(), style | WS_CHILD | WS_VISIBLE,
                        r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
    if (!hwnd) throw Exception(std::string("コントロール ") + className + " を作成できませんでした");
    KeepDesignBounds(hwnd, x, y, w, h);  // made there already
    HFONT font = Application && Application->Font(dpi) ? Application->Font(dpi)
                                                       : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}
