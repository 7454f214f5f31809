#include "tray/UTaskTrayIcon.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "base/UCodePage.h"
#include "base/ULeadByte.h"
#include "win/UMessageWindow.h"

namespace {

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
        size_t len = IsLeadByte932(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + len > maxBytes) break;
        n += len;
    }
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

// The same for the shell's wide record: the real characters, cut to
// maxUnits UTF-16 units without splitting a surrogate pair.
void CopyWide(wchar_t* dest, size_t maxUnits, const std::string& text)
{
    const std::wstring wide = CodePage::ToWide(text);
    size_t n = std::min(wide.size(), maxUnits);
    if (n < wide.size() && n > 0 && IS_HIGH_SURROGATE(wide[n - 1])) --n;
    std::wmemcpy(dest, wide.data(), n);
    dest[n] = L'\0';
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
}

HWND TTaskTrayIcon::Handle() const { return FWindow ? FWindow->Handle() : nullptr; }

void TTaskTrayIcon::SetTip(const std::string& tip)
{
    FTip = tip;
    CopyWhole(FData.szTip, FNewShell ? sizeof(FData.szTip) - 1 : 63, tip);
}

void TTaskTrayIcon::SetBalloonText(const std::string& text)
{
    FBalloonText = text;
    CopyWhole(FData.szInfo, sizeof(FData.szInfo) - 1, text);
}

void TTaskTrayIcon::SetBalloonTitle(const std::string& title)
{
    FBalloonTitle = title;
    CopyWhole(FData.szInfoTitle, sizeof(FData.szInfoTitle) - 1, title);
}

NOTIFYICONDATAW TTaskTrayIcon::ShellData() const
{
    NOTIFYICONDATAW w;
    std::memset(&w, 0, sizeof(w));
    w.cbSize = FNewShell ? NOTIFYICONDATAW_V2_SIZE : NOTIFYICONDATAW_V1_SIZE;
    w.hWnd = FData.hWnd;
    w.uID = FData.uID;
    w.uFlags = FData.uFlags;
    w.uCallbackMessage = FData.uCallbackMessage;
    w.hIcon = FData.hIcon;
    w.dwState = FData.dwState;
    w.dwStateMask = FData.dwStateMask;
    w.uTimeout = FData.uTimeout;
    w.dwInfoFlags = FData.dwInfoFlags;
    CopyWide(w.szTip, FNewShell ? std::size(w.szTip) - 1 : 63, FTip);
    CopyWide(w.szInfo, std::size(w.szInfo) - 1, FBalloonText);
    CopyWide(w.szInfoTitle, std::size(w.szInfoTitle) - 1, FBalloonTitle);
    return w;
}

void TTaskTrayIcon::SetBalloonIconKind(int kind)
{
    static const DWORD flags[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};
    if (kind >= 0 && kind <= 3) FData.dwInfoFlags = flags[kind];
}

void TTaskTrayIcon::FillData()
{
    FData.cbSize = FNewShell ? NOTIFYICONDATAA_V2_SIZE : NOTIFYICONDATAA_V1_SIZE;
    FData.dwState = FNewShell ? NIS_SHAREDICON : 0;
    FData.dwStateMask = 0;
    FData.uID = 1;
    if (!FWindow) {
        // Hidden, but top-level rather than message-only: it must hear the
        // taskbar's broadcast when the shell restarts.
        FWindow = std::make_unique<TMessageWindow>("TTaskTrayHandle", false);
        FWindow->OnMessage = [this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
            return HandleMessage(msg, wp, lp, result);
        };
    }
    FData.hWnd = FWindow->Handle();
    FData.uCallbackMessage = WM_TASKTRAY_NOTIFY;
    FData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
}

BOOL TTaskTrayIcon::Notify(DWORD message)
{
    if (ShellNotify) return ShellNotify(message, &FData);
    NOTIFYICONDATAW data = ShellData();
    return Shell_NotifyIconW(message, &data);
}

bool TTaskTrayIcon::AddIcon()
{
    if (FRegistered) return true;
    FillData();
    if (!FData.hIcon) return false;
    SetForegroundWindow(FData.hWnd);
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
        SetForegroundWindow(FData.hWnd);
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
    SetForegroundWindow(FData.hWnd);
    if (!Notify(NIM_MODIFY)) throw ENotifyIconError("タスクトレイのアイコンを変更できません。");
}

bool TTaskTrayIcon::DeleteIcon()
{
    if (!FRegistered) return true;
    FRegistered = false;
    return Notify(NIM_DELETE) != FALSE;
}

bool TTaskTrayIcon::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    if (msg == FTaskbarCreated && FTaskbarCreated != 0) {
        // A new taskbar knows none of the old icons. Remove ours first in
        // case it survived (a broadcast without a restart), then add it.
        if (FRegistered) {
            Notify(NIM_DELETE);
            FRegistered = false;
            AddIcon();
        }
        result = 0;
        return true;
    }
    return OnMessage && OnMessage(msg, wp, lp, result);
}
