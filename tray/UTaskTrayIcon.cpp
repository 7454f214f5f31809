#include "tray/UTaskTrayIcon.h"

#include <shlwapi.h>

#include <cstring>

#include "playlist/UFileName.h"
#include "win/UApplication.h"

namespace {

const char* const KClassName = "TTaskTrayHandle";
constexpr int KRetries = 5;
constexpr DWORD KRetryWait = 2000;

bool ShellIsVersion5()
{
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) shell = LoadLibraryA("shell32.dll");
    if (!shell) return false;
    auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")));
    if (!getVersion) return false;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    return SUCCEEDED(getVersion(&info)) && info.dwMajorVersion >= 5;
}

// Copies the longest prefix of text that fits in maxBytes without splitting
// a double-byte character, and ends it with a NUL (dest has maxBytes + 1).
void CopyWhole(char* dest, size_t maxBytes, const std::string& text)
{
    size_t n = 0;
    while (n < text.size() && text[n] != '\0') {
        size_t len = FileName::IsLeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + len > maxBytes) break;
        n += len;
    }
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

}  // namespace

TTaskTrayIcon::TTaskTrayIcon()
{
    std::memset(&FData, 0, sizeof(FData));
    FNewShell = ShellIsVersion5();
    FTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

TTaskTrayIcon::~TTaskTrayIcon()
{
    try {
        DeleteIcon();
    } catch (...) {
    }
    if (FHandle) {
        SetWindowLongPtrA(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

void TTaskTrayIcon::SetTip(const std::string& tip)
{
    CopyWhole(FData.szTip, FNewShell ? sizeof(FData.szTip) - 1 : 63, tip);
}

void TTaskTrayIcon::SetBalloonText(const std::string& text)
{
    CopyWhole(FData.szInfo, sizeof(FData.szInfo) - 1, text);
}

void TTaskTrayIcon::SetBalloonTitle(const std::string& title)
{
    CopyWhole(FData.szInfoTitle, sizeof(FData.szInfoTitle) - 1, title);
}

void TTaskTrayIcon::SetBalloonIconKind(int kind)
{
    static const DWORD flags[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};
    if (kind >= 0 && kind <= 3) FData.dwInfoFlags = flags[kind];
}

void TTaskTrayIcon::CreateHandle()
{
    if (FHandle) return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    if (!GetClassInfoA(instance, KClassName, &wc)) {
        wc.lpfnWndProc = &TTaskTrayIcon::StaticWndProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, "MAINICON");
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = KClassName;
        if (!RegisterClassA(&wc)) throw ENotifyIconError("タスクトレイにアイコンを登録できません。");
    }
    // A hidden top-level window (not message-only): it must hear the
    // taskbar's broadcast when the shell restarts.
    FHandle = CreateWindowExA(WS_EX_TOOLWINDOW, KClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              instance, this);
    if (!FHandle) throw ENotifyIconError("タスクトレイにアイコンを登録できません。");
}

void TTaskTrayIcon::FillData()
{
    FData.cbSize = FNewShell ? NOTIFYICONDATAA_V2_SIZE : NOTIFYICONDATAA_V1_SIZE;
    FData.dwState = FNewShell ? NIS_SHAREDICON : 0;
    FData.dwStateMask = 0;
    FData.uID = 1;
    CreateHandle();
    FData.hWnd = FHandle;
    FData.uCallbackMessage = WM_TASKTRAY_NOTIFY;
    FData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
}

BOOL TTaskTrayIcon::Notify(DWORD message)
{
    return ShellNotify ? ShellNotify(message, &FData) : Shell_NotifyIconA(message, &FData);
}

bool TTaskTrayIcon::AddIcon()
{
    if (FRegistered) return true;
    FillData();
    if (!FData.hIcon) return false;
    SetForegroundWindow(FHandle);
    if (Notify(NIM_ADD)) {
        FRegistered = true;
        return true;
    }
    // The shell may be too busy to answer in time (at log-on): it then
    // often adds the icon anyway, so a retry first tries to modify it.
    for (int i = 0; i < KRetries; ++i) {
        if (GetLastError() != ERROR_TIMEOUT)
            throw ENotifyIconError("タスクトレイにアイコンを登録できません。");
        if (Wait)
            Wait(KRetryWait);
        else
            Sleep(KRetryWait);
        if (Notify(NIM_MODIFY)) {
            FRegistered = true;
            break;
        }
        SetForegroundWindow(FHandle);
        if (Notify(NIM_ADD)) {
            FRegistered = true;
            break;
        }
    }
    return FRegistered;
}

void TTaskTrayIcon::ModifyIcon()
{
    if (!FRegistered) {
        AddIcon();
        return;
    }
    if (!FData.hIcon) return;
    SetForegroundWindow(FHandle);
    if (!Notify(NIM_MODIFY)) throw ENotifyIconError("タスクトレイのアイコンを変更できません。");
}

bool TTaskTrayIcon::DeleteIcon()
{
    if (!FRegistered) return true;
    FRegistered = false;
    return Notify(NIM_DELETE) != FALSE;
}

LRESULT TTaskTrayIcon::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == FTaskbarCreated && FTaskbarCreated != 0) {
        // A new taskbar knows none of the old icons. Remove ours first in
        // case it survived (a broadcast without a restart), then add it.
        if (FRegistered) {
            Notify(NIM_DELETE);
            FRegistered = false;
            AddIcon();
        }
        return 0;
    }
    LRESULT result = 0;
    if (OnMessage && OnMessage(msg, wp, lp, result)) return result;
    return DefWindowProcA(FHandle, msg, wp, lp);
}

LRESULT CALLBACK TTaskTrayIcon::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<TTaskTrayIcon*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || !self->FHandle) return DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    bool handled = false;
    Guarded([&] {
        result = self->WndProc(msg, wp, lp);
        handled = true;
    });
    return handled ? result : DefWindowProcA(hwnd, msg, wp, lp);
}
