#include "ui/UAnalysisProgressDlg.h"

#include <commctrl.h>

#include "analysis/UAudioAnalyser.h"
#include "settings/UException.h"

namespace {

const wchar_t ClassName[] = L"TAnalysisProgressDlg";

void RegisterClassOnce(WNDPROC proc)
{
    static const bool done = [proc] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = ClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)done;
}

}  // namespace

TAnalysisProgressDlg::TAnalysisProgressDlg()
{
    RegisterClassOnce(&TAnalysisProgressDlg::WindowProc);
    HINSTANCE inst = GetModuleHandleW(nullptr);
    RECT r{0, 0, 400, 110};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME);
    int w = r.right - r.left, h = r.bottom - r.top;
    Handle =
        CreateWindowExW(WS_EX_DLGMODALFRAME, ClassName, L"", style, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                        (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr, inst, nullptr);
    if (!Handle) throw Exception("TAnalysisProgressDlg: CreateWindowEx failed");
    SetWindowLongPtrW(Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    FileLabel = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS, 12, 12, 376, 20,
                                Handle, nullptr, inst, nullptr);
    ProgressBar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 12, 38, 376, 20, Handle,
                                  nullptr, inst, nullptr);
    CancelBtn =
        CreateWindowExW(0, L"BUTTON", L"キャンセル", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 298,
                        72, 90, 26, Handle, reinterpret_cast<HMENU>(IDCANCEL), inst, nullptr);
    for (HWND c : {FileLabel, CancelBtn}) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(ProgressBar, PBM_SETRANGE32, 0, 100);
}

TAnalysisProgressDlg::~TAnalysisProgressDlg()
{
    SetWindowLongPtrW(Handle, GWLP_USERDATA, 0);
    DestroyWindow(Handle);
}

LRESULT CALLBACK TAnalysisProgressDlg::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TAnalysisProgressDlg*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self) {
        if ((msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || msg == WM_CLOSE) {
            if (self->OnCancel) self->OnCancel();
            return 0;
        }
    }
    return DefWindowProcW(wnd, msg, wParam, lParam);
}

void TAnalysisProgressDlg::SetParentWindow(HWND parent)
{
    SetWindowLongPtrW(Handle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(parent));
}

void TAnalysisProgressDlg::SetFileName(const std::wstring& fileName)
{
    SetWindowTextW(Handle, fileName.c_str());
    SetWindowTextW(FileLabel, fileName.c_str());
}

void TAnalysisProgressDlg::SetProgress(int percent) { SendMessageW(ProgressBar, PBM_SETPOS, percent, 0); }

int TAnalysisProgressDlg::GetProgress() const
{
    return static_cast<int>(SendMessageW(ProgressBar, PBM_GETPOS, 0, 0));
}

void TAnalysisProgressDlg::Show() { ShowWindow(Handle, SW_SHOWNORMAL); }

void TAnalysisProgressDlg::Hide() { ShowWindow(Handle, SW_HIDE); }

bool TAnalysisProgressDlg::IsShown() const { return IsWindowVisible(Handle) != FALSE; }

void TAnalysisProgressDlg::Follow(TAudioAnalyser& analyser)
{
    analyser.OnProgressOpened = [this](const std::wstring& fileName) {
        SetFileName(fileName);
        SetProgress(0);
    };
    analyser.OnProgressShown = [this](bool show) { show ? Show() : Hide(); };
    analyser.OnProgress = [this](int percent) { SetProgress(percent); };
    OnCancel = [&analyser] { analyser.StopAnalysis(); };
}
