// TTrayIcon: the main window's icon in the notification area, with its tip,
// pop-up menus and mouse events, on top of TTaskTrayIcon.
//
// A form wires it in a few lines:
//
//   TTrayIcon TrayIcon;                      // starts hidden
//   TrayIcon.SetTipHelp("Reelo");
//   TrayIcon.LButtonPopupMenu = &TaskTrayLMenu;   // TMenu(true), a popup
//   TrayIcon.RButtonPopupMenu = &TaskTrayRMenu;
//   TrayIcon.OnDblClick = [this] { RedisplayMenuClick(); };
//   ...
//   TrayIcon.SetVisible(true);               // when the form hides
//   TrayIcon.SetVisible(false);              // when it shows again
//
// A press of the left or the right button on the icon pops up that button's
// menu (when AutoPopup is on, the default); the chosen item's command runs.
// The left menu opens on the first press of a double-click, so the second
// click lands on whatever item lies under the pointer: an item of the left
// menu chosen within the system's double-click time and distance of the
// press that opened it is taken as that double-click and runs OnDblClick
// instead.
// Without a menu the press is reported by OnMouseDown. Failures of the shell
// raise ENotifyIconError (from SetVisible and the icon and tip setters).
// The menus must outlive the tray icon or be reset to nullptr first. Every
// event runs on the GUI thread; an exception thrown by a handler reaches the
// application's handler.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tray/UTaskTrayIcon.h"
#include "win/UGdiHandles.h"
#include "win/UMouseButton.h"

class TMenu;
class TTimer;

// Shift state of mouse events: a combination of these.
enum : UINT { ssShift = 1, ssAlt = 2, ssCtrl = 4 };

class TTrayIcon {
public:
    TTrayIcon();
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Shows or removes the icon.
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);

    const std::string& TipHelp() const { return FTipHelp; }
    void SetTipHelp(const std::string& tip);

    // The icon shown: Icon when set; else the resource named by
    // ResourceIconList[ResourceIconID]; else (empty list or an index below
    // 0) the application's icon. The handles are not taken over: an Icon
    // must live as long as it is set.
    HICON Icon() const { return FIcon; }
    void SetIcon(HICON icon);
    const std::vector<std::string>& ResourceIconList() const { return FResourceIconList; }
    void SetResourceIconList(const std::vector<std::string>& names);
    int ResourceIconID() const { return FResourceIconID; }
    void SetResourceIconID(int id);

    // Animation period in ms (0: none; 1 to 49 become 50). Each tick runs
    // OnIconAnimation, or without one shows the next icon of the list.
    UINT Interval() const { return FInterval; }
    void SetInterval(UINT ms);
    std::function<void()> OnIconAnimation;

    bool AutoPopup = true;
    TMenu* LButtonPopupMenu = nullptr;
    TMenu* RButtonPopupMenu = nullptr;

    std::function<void()> OnDblClick;
    std::function<void(UINT shift, POINT at)> OnMouseMove;
    std::function<void(TMouseButton button, UINT shift, POINT at)> OnMouseDown;
    std::function<void(TMouseButton button, UINT shift, POINT at)> OnMouseUp;

    // Tests: called instead of the modal popup of a menu; returns the id of
    // the chosen command (0: none).
    std::function<UINT(TMenu& menu, POINT at)> PopupHook;

    TTaskTrayIcon& TaskTrayIcon() { return FTaskTray; }

private:
    HICON CurrentIcon() const;
    void ShowIcon();
    void HideIcon();
    void RefreshIcon();
    void Animate();
    void UpdateAnimation();
    void Popup(TMenu& menu, POINT at, bool left);
    bool WithinDoubleClick(POINT at) const;
    bool TrayMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    TTaskTrayIcon FTaskTray;
    bool FVisible = false;
    std::string FTipHelp;
    HICON FIcon = nullptr;
    // The resource icons at the notification area's size, loaded once.
    mutable std::map<std::string, TIcon> FLoadedIcons;
    std::vector<std::string> FResourceIconList;
    int FResourceIconID = -1;
    UINT FInterval = 0;
    std::unique_ptr<TTimer> FAnimation;
    // The press that opened the left menu: when, and where.
    DWORD FPressTime = 0;
    POINT FPressAt = {};
};
