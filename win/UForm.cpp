#include "win/UForm.h"

#include <commctrl.h>

#include <set>

#include "base/UException.h"
#include "win/UApplication.h"
#include "win/UDpi.h"
#include "win/UMessages.h"

namespace {

void RegisterFormClass(const TCreateParams& params, WNDPROC proc)
{
    static std::set<std::string> registered;
    const std::string& name = params.ClassName;
    if (registered.count(name)) return;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = params.ClassStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    if (params.ClassIcon) wc.hIcon = LoadIconA(wc.hInstance, "MAINICON");
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = params.Background;
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExA(&wc)) throw Exception("ウインドウクラス " + name + " を登録できませんでした");
    registered.insert(name);
}

}  // namespace

TForm::~TForm() { DestroyHandle(); }

TForm* TForm::FromHandle(HWND hwnd)
{
    if (!hwnd) return nullptr;
    if (GetClassLongPtrA(hwnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&TForm::StaticWndProc))
        return nullptr;
    return reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void TForm::CreateHandle(TCreateParams params)
{
    CreateParams(params);
    RegisterFormClass(params, &TForm::StaticWndProc);
    HWND owner = params.Owner ? params.Owner : Application ? Application->Handle() : nullptr;
    FDesignUnits = params.DesignUnits;
    // The window size around the client area for a DPI.
    auto frame = [&params](UINT dpi) {
        RECT r = {0, 0, params.ClientWidth, params.ClientHeight};
        if (params.DesignUnits) r = ScaleRectToDpi(0, 0, params.ClientWidth, params.ClientHeight, dpi);
        AdjustWindowRectForDpi(r, params.Style, params.Menu != nullptr, params.ExStyle, dpi);
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    // Made for the DPI of the owner's monitor, where a dialog shows; sized
    // again when Windows puts it on a monitor of another scale.
    const UINT expected = MonitorDpiOfWindow(owner);
    const SIZE size = frame(expected);
    const bool wide = NeedsWide(params.Caption);  // set below, wide
    HWND hwnd = CreateWindowExA(params.ExStyle, params.ClassName.c_str(), wide ? "" : params.Caption.c_str(),
                                params.Style & ~WS_VISIBLE, params.Left, params.Top, size.cx, size.cy, owner,
                                params.Menu, GetModuleHandleA(nullptr), this);
    if (!hwnd) throw Exception("ウインドウ " + params.Caption + " を作成できませんでした");
    if (wide) SetCaptionString(hwnd, params.Caption);
    FDpi = MonitorDpiOfWindow(hwnd);
    SetWindowDpi(hwnd, FDpi);
    if (FDpi != expected) {
        const SIZE actual = frame(FDpi);
        SetWindowPos(hwnd, nullptr, 0, 0, actual.cx, actual.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetIcons();
}

void TForm::SetIcons()
{
    // Forms of a class with the program's icon show it at their DPI's sizes.
    if (!GetClassLongPtrA(FHandle, GCLP_HICON)) return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    TIcon small(LoadIconForDpi(instance, "MAINICON", true, FDpi));
    TIcon big(LoadIconForDpi(instance, "MAINICON", false, FDpi));
    if (small.Get()) SendMessageA(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    if (big.Get()) SendMessageA(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    // The window no longer shows the old ones.
    if (small.Get()) FSmallIcon = std::move(small);
    if (big.Get()) FBigIcon = std::move(big);
}

namespace {

struct TRelayout {
    UINT OldDpi, NewDpi;
    std::vector<HWND> Children;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp)
{
    reinterpret_cast<TRelayout*>(lp)->Children.push_back(hwnd);
    return TRUE;
}

}  // namespace

void TForm::ChangeDpi(UINT dpi, const RECT& suggested)
{
    TRelayout relayout{FDpi, dpi, {}};
    FDpi = dpi;
    SetWindowDpi(FHandle, dpi);
    SetIcons();
    if (!FDesignUnits) return;  // pixels stay pixels
    SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    EnumChildWindows(FHandle, CollectChild, reinterpret_cast<LPARAM>(&relayout));
    HFONT oldFont = Application ? Application->Font(relayout.OldDpi) : nullptr;
    HFONT newFont = Application ? Application->Font(dpi) : nullptr;
    for (HWND child : relayout.Children) {
        // Fonts other than the UI font are the control's own business.
        if (newFont && reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)) == oldFont)
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(newFont), FALSE);
        RECT r;
        if (DesignBounds(child, r)) {
            r = ScaleRectToDpi(r.left, r.top, r.right - r.left, r.bottom - r.top, dpi);
            SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    // Up-downs placed beside their buddies take their places again.
    char cls[32];
    for (HWND child : relayout.Children) {
        if (!GetClassNameA(child, cls, sizeof(cls)) || lstrcmpiA(cls, UPDOWN_CLASSA) != 0) continue;
        const auto style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
        if (!(style & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT))) continue;
        if (auto buddy = reinterpret_cast<HWND>(SendMessageA(child, UDM_GETBUDDY, 0, 0)))
            SendMessageA(child, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    }
    std::set<TControl*> told;
    for (HWND child : relayout.Children) {
        TControl* control = TControl::FromHandle(child);
        if (control && told.insert(control).second) control->ScaleChanged(dpi);
    }
    RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TForm::DestroyHandle()
{
    if (FAccel) {
        DestroyAcceleratorTable(FAccel);
        FAccel = nullptr;
    }
    if (FHandle) {
        FDestroying = true;
        HWND h = FHandle;
        DestroyWindow(h);  // WM_NCDESTROY clears FHandle
        FHandle = nullptr;
    }
}

LRESULT CALLBACK TForm::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    TForm* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->FHandle = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (Application)
            Application->SetMessageFilter(hwnd, [self](MSG& m) { return self->PreTranslate(m); });
    } else {
        self = reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (msg == WM_NCDESTROY && Application) Application->RemoveMessageFilter(hwnd);
    if (!self || self->FDestroying) {
        if (msg == WM_NCDESTROY && self) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->FHandle = nullptr;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->FHandle = nullptr;
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    try {
        if (Application && Application->SessionMessage(msg, wp, result)) return result;
        if (self->OnMessage && self->OnMessage(msg, wp, lp, result)) return result;
        return self->WndProc(msg, wp, lp);
    } catch (...) {
        if (Application) Application->HandleCurrentException();
    }
    return 0;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT reflected = 0;
    if (ReflectToControl(FHandle, msg, wp, lp, reflected)) return reflected;
    switch (msg) {
        case WM_SHOWWINDOW:
            // lp == 0: ShowWindow itself (not minimising or an owner's change).
            if (lp == 0) {
                if (wp && OnShown) PostMessageA(FHandle, WM_FORM_SHOWN, 0, 0);
                if (wp && OnShow)
                    OnShow();
                else if (!wp && OnHide)
                    OnHide();
            }
            break;
        case WM_FORM_SHOWN:
            if (OnShown && Visible()) OnShown();
            return 0;
        case WM_CLOSE:
            DoClose();
            return 0;
        case WM_DPICHANGED:
            if (lp) ChangeDpi(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_COMMAND: {
            UINT id = LOWORD(wp), code = HIWORD(wp);
            if (Application && Application->DispatchCommand(id, code)) return 0;
            if (OnCommand) {
                OnCommand(id, code, reinterpret_cast<HWND>(lp));
                return 0;
            }
            if (FModal && (id == IDCANCEL || id == IDOK) && lp == 0) {
                ModalResult = id;
                return 0;
            }
            break;
        }
    }
    return DefWindowProcA(FHandle, msg, wp, lp);
}

void TForm::DoClose()
{
    TCloseAction action = TCloseAction::Hide;
    if (FModal) action = TCloseAction::Hide;
    if (OnClose) OnClose(action);
    if (action == TCloseAction::None) return;
    if (FModal) {
        if (ModalResult == mrNone) ModalResult = mrCancel;
    } else if (Application && Application->MainForm == this) {
        Application->Terminate();
    } else {
        Hide();
    }
}

void TForm::Show()
{
    ShowWindow(FHandle, SW_SHOW);
    if (!FModal) SetForegroundWindow(FHandle);
}

void TForm::Hide() { ShowWindow(FHandle, SW_HIDE); }

bool TForm::Visible() const { return FHandle && IsWindowVisible(FHandle); }

void TForm::Close() { SendMessageA(FHandle, WM_CLOSE, 0, 0); }

namespace {
struct TDisableState {
    HWND Self;
    std::vector<HWND> Disabled;
};

BOOL CALLBACK DisableWindow(HWND hwnd, LPARAM lp)
{
    auto* state = reinterpret_cast<TDisableState*>(lp);
    if (hwnd != state->Self && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        state->Disabled.push_back(hwnd);
    }
    return TRUE;
}
}  // namespace

int TForm::ShowModal()
{
    if (!Application) throw Exception("アプリケーションがありません");
    if (Visible() || FModal) throw Exception("表示中のウインドウはモーダル表示にできません");
    HWND active = GetActiveWindow();
    TDisableState state{FHandle, {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&state));
    ModalResult = mrNone;
    FModal = true;
    struct TRestore {
        TForm& Form;
        TDisableState& State;
        HWND Active;
        ~TRestore()
        {
            for (HWND h : State.Disabled)
                if (IsWindow(h)) EnableWindow(h, TRUE);
            if (Form.FHandle) ShowWindow(Form.FHandle, SW_HIDE);
            Form.FModal = false;
            if (Active && IsWindow(Active)) SetActiveWindow(Active);
        }
    } restore{*this, state, active};
    ShowWindow(FHandle, SW_SHOW);
    SetForegroundWindow(FHandle);
    while (ModalResult == mrNone) {
        Application->HandleMessage();
        if (Application->Terminated() || !FHandle) ModalResult = mrCancel;
    }
    return ModalResult;
}

bool TForm::PreTranslate(MSG& msg)
{
    if (FAccel && TranslateAcceleratorA(FHandle, FAccel, &msg)) return true;
    if (DialogKeys && IsDialogMessageA(FHandle, &msg)) return true;
    return false;
}

RECT TForm::BoundsRect() const
{
    RECT r = {};
    GetWindowRect(FHandle, &r);
    return r;
}

void TForm::SetBounds(int left, int top, int width, int height)
{
    SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CenterOnScreen()
{
    HWND owner = GetWindow(FHandle, GW_OWNER);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (!GetMonitorInfoA(
            MonitorFromWindow(owner && IsWindowVisible(owner) ? owner : FHandle, MONITOR_DEFAULTTOPRIMARY),
            &mi))
        SetRect(&mi.rcWork, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const RECT& work = mi.rcWork;
    // A move onto a monitor of another scale resizes the form: then it is
    // centred once more at its new size.
    for (int i = 0; i < 2; ++i) {
        const RECT r = BoundsRect();
        const int w = r.right - r.left, h = r.bottom - r.top;
        SetWindowPos(FHandle, nullptr, work.left + (work.right - work.left - w) / 2,
                     work.top + (work.bottom - work.top - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const RECT moved = BoundsRect();
        if (moved.right - moved.left == w && moved.bottom - moved.top == h) break;
    }
}

TCreateParams TCreateParams::Dialog(const std::string& className, const std::string& caption, int clientWidth,
                                    int clientHeight, HWND owner)
{
    TCreateParams p;
    p.ClassName = className;
    p.Caption = caption;
    p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    p.ExStyle = WS_EX_DLGMODALFRAME;
    p.ClientWidth = clientWidth;
    p.ClientHeight = clientHeight;
    p.Owner = owner;
    return p;
}

std::string TForm::Caption() const { return GetCaptionString(FHandle); }

void TForm::SetCaption(const std::string& text) { SetCaptionString(FHandle, text); }

void TForm::SetAccelerators(const std::vector<ACCEL>& table)
{
    if (FAccel) DestroyAcceleratorTable(FAccel);
    FAccel = nullptr;
    if (!table.empty())
        FAccel = CreateAcceleratorTableA(const_cast<ACCEL*>(table.data()), static_cast<int>(table.size()));
}
