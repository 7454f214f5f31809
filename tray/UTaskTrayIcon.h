// TTaskTrayIcon: the owner of one icon in the taskbar's notification area.
// It holds the icon-data record, a hidden window that receives the icon's
// callback message (0x4C8) and the Shell_NotifyIcon calls. The record keeps
// the texts in the code page; the shell is given them wide (ShellData), so
// that a tip naming a file outside the code page shows its real characters.
//
//   TTaskTrayIcon icon;
//   icon.SetIcon(h);
//   icon.SetTip("Reelo");
//   icon.OnMessage = [](UINT msg, WPARAM wp, LPARAM lp, LRESULT& r) { ...; return true; };
//   icon.AddIcon();      // false: no icon handle, or the shell kept timing out
//   icon.ModifyIcon();   // after SetIcon/SetTip while registered
//   icon.DeleteIcon();   // also done by the destructor
//
// AddIcon and ModifyIcon raise ENotifyIconError when the shell refuses.
// When the taskbar is restarted (the shell broadcasts "TaskbarCreated") a
// registered icon is added again.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "base/UException.h"

class TMessageWindow;

// The icon's callback to its hidden window (lParam: the mouse message).
constexpr UINT WM_TASKTRAY_NOTIFY = WM_USER + 200;

class ENotifyIconError : public Exception {
public:
    using Exception::Exception;
};

class TTaskTrayIcon {
public:
    TTaskTrayIcon();
    ~TTaskTrayIcon();
    TTaskTrayIcon(const TTaskTrayIcon&) = delete;
    TTaskTrayIcon& operator=(const TTaskTrayIcon&) = delete;

    // These only store into the icon data; ModifyIcon shows them.
    void SetIcon(HICON icon) { FData.hIcon = icon; }
    HICON Icon() const { return FData.hIcon; }
    // Cut to the record's room (127 bytes, 63 with an old shell) at a
    // character boundary; the shell's record holds as many UTF-16 units.
    void SetTip(const std::string& tip);
    std::string Tip() const { return FData.szTip; }
    void SetBalloonText(const std::string& text);
    void SetBalloonTitle(const std::string& title);
    void SetBalloonTimeOut(UINT ms) { FData.uTimeout = ms; }
    // 0 none, 1 information, 2 warning, 3 error.
    void SetBalloonIconKind(int kind);

    bool AddIcon();
    void ModifyIcon();
    bool DeleteIcon();

    bool Registered() const { return FRegistered; }
    // The shell library is version 5.0 or later.
    bool NewShell() const { return FNewShell; }
    // The hidden window; nullptr until the first AddIcon.
    HWND Handle() const;
    const NOTIFYICONDATAA& Data() const { return FData; }
    // The record the shell is given: Data() with the texts as UTF-16, each
    // cut to the room the shell has for it without splitting a character.
    NOTIFYICONDATAW ShellData() const;

    // Every message of the hidden window; return true when handled (result
    // set). Unhandled messages get the default processing.
    std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)> OnMessage;

    // The shell call (given Data(); without it Shell_NotifyIconW is given
    // ShellData()) and the wait between retries, replaceable by tests.
    std::function<BOOL(DWORD message, NOTIFYICONDATAA* data)> ShellNotify;
    std::function<void(DWORD ms)> Wait;

private:
    void FillData();
    BOOL Notify(DWORD message);
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    bool FNewShell = false;
    std::unique_ptr<TMessageWindow> FWindow;
    NOTIFYICONDATAA FData;
    // The texts whole, for the wide record.
    std::string FTip, FBalloonText, FBalloonTitle;
    bool FRegistered = false;
    UINT FTaskbarCreated = 0;
};
