#include "win/UForm.h"

#include <set>

#include "base/UException.h"
#include "win/UApplication.h"
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
    RECT r = {0, 0, params.ClientWidth, params.ClientHeight};
    AdjustWindowRectEx(&r, params.Style, params.Menu != nullptr, params.ExStyle);
    HWND owner = params.Owner ? params.Owner : Application ? Application->Handle() : nullptr;
    const bool wide = NeedsWide(params.Caption);  // set below, wide
    HWND hwnd = CreateWindowExA(params.ExStyle, params.ClassName.c_str(), wide ? "" : params.Caption.c_str(),
                                params.Style & ~WS_VISIBLE, params.Left, params.Top, r.right - r.left,
                                r.bottom - r.top, owner, params.Menu, GetModuleHandleA(nullptr), this);
    if (!hwnd) throw Exception("ウインドウ " + params.Caption + " を作成できませんでした");
    if (wide) SetCaptionString(hwnd, params.Caption);
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
    RECT r = BoundsRect();
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetBounds((GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h);
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
