#include "tray/UTrayIcon.h"

#include <cstdlib>

#include "win/UApplication.h"
#include "win/UDpi.h"
#include "win/UMenu.h"
#include "win/UTimer.h"

namespace {

UINT ShiftState()
{
    UINT shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    return shift;
}

}  // namespace

TTrayIcon::TTrayIcon()
{
    FTaskTray.OnMessage = [this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
        return TrayMessage(msg, wp, lp, result);
    };
    SetTipHelp("TipHelp");
}

TTrayIcon::~TTrayIcon()
{
    FAnimation.reset();
    try {
        HideIcon();
    } catch (...) {
    }
    FTaskTray.OnMessage = nullptr;
}

void TTrayIcon::SetVisible(bool visible)
{
    if (FVisible == visible) return;
    FVisible = visible;
    if (FVisible)
        ShowIcon();
    else
        HideIcon();
}

void TTrayIcon::SetTipHelp(const std::string& tip)
{
    FTipHelp = tip;
    FTaskTray.SetTip(tip);
    if (FVisible) RefreshIcon();
}

void TTrayIcon::SetIcon(HICON icon)
{
    FIcon = icon;
    if (FVisible) RefreshIcon();
}

void TTrayIcon::SetResourceIconList(const std::vector<std::string>& names)
{
    FResourceIconList = names;
    if (FVisible) RefreshIcon();
}

void TTrayIcon::SetResourceIconID(int id)
{
    FResourceIconID = id;
    if (FVisible) RefreshIcon();
}

void TTrayIcon::SetInterval(UINT ms)
{
    FInterval = ms > 0 && ms < 50 ? 50 : ms;
    UpdateAnimation();
}

HICON TTrayIcon::CurrentIcon() const
{
    if (FIcon) return FIcon;
    // The application's icon unless the list names another; a module
    // without it shows the system's.
    const std::string name =
        FResourceIconID >= 0 && static_cast<size_t>(FResourceIconID) < FResourceIconList.size()
            ? FResourceIconList[FResourceIconID]
            : "MAINICON";
    auto it = FLoadedIcons.find(name);
    if (it == FLoadedIcons.end())
        // The notification area shows small icons at the system's DPI.
        it = FLoadedIcons
                 .emplace(name,
                          TIcon(LoadIconForDpi(GetModuleHandleA(nullptr), name.c_str(), true, SystemDpi())))
                 .first;
    if (it->second.Get()) return it->second.Get();
    return LoadIconA(nullptr, IDI_APPLICATION);
}

void TTrayIcon::ShowIcon()
{
    FTaskTray.SetIcon(CurrentIcon());
    FTaskTray.AddIcon();
    UpdateAnimation();
}

void TTrayIcon::HideIcon()
{
    if (FAnimation) FAnimation->SetEnabled(false);
    FTaskTray.DeleteIcon();
}

void TTrayIcon::RefreshIcon()
{
    FTaskTray.SetIcon(CurrentIcon());
    FTaskTray.ModifyIcon();
}

// The animation ticks on the GUI thread while the icon is shown.
void TTrayIcon::UpdateAnimation()
{
    bool run = FVisible && FInterval > 0 && FTaskTray.Registered();
    if (!run) {
        if (FAnimation) FAnimation->SetEnabled(false);
        return;
    }
    if (!FAnimation) {
        FAnimation = std::make_unique<TTimer>(FInterval, false);
        FAnimation->OnTimer = [this] { Animate(); };
    }
    FAnimation->SetInterval(FInterval);
    FAnimation->SetEnabled(true);
}

void TTrayIcon::Animate()
{
    if (OnIconAnimation) {
        OnIconAnimation();
        RefreshIcon();
        return;
    }
    int next = FResourceIconID + 1;
    if (next >= static_cast<int>(FResourceIconList.size())) next = 0;
    SetResourceIconID(next);
}

void TTrayIcon::Popup(TMenu& menu, POINT at, bool left)
{
    if (left) {
        FPressTime = GetTickCount();
        FPressAt = at;
    }
    UINT id = 0;
    if (PopupHook) {
        id = PopupHook(menu, at);
    } else {
        HWND owner = Application ? Application->Handle() : FTaskTray.Handle();
        SetForegroundWindow(owner);
        if (Application) Application->ProcessMessages();
        id = menu.Track(owner, at.x, at.y);
    }
    if (!id) return;
    POINT now = {};
    GetCursorPos(&now);
    if (left && WithinDoubleClick(now)) {
        // The second click of a double-click on the icon, not a choice.
        if (OnDblClick) OnDblClick();
        return;
    }
    if (Application) Application->DispatchCommand(id, 0);
}

bool TTrayIcon::WithinDoubleClick(POINT at) const
{
    if (GetTickCount() - FPressTime > GetDoubleClickTime()) return false;
    const int dx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, dy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    return std::abs(at.x - FPressAt.x) <= dx && std::abs(at.y - FPressAt.y) <= dy;
}

bool TTrayIcon::TrayMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    if (msg == WM_QUERYENDSESSION) {
        result = 1;
        return true;
    }
    if (msg != WM_TASKTRAY_NOTIFY) return false;
    POINT at = {};
    GetCursorPos(&at);
    UINT shift = ShiftState();
    auto down = [&](TMouseButton button, TMenu* menu) {
        if (menu && AutoPopup)
            Popup(*menu, at, button == TMouseButton::Left);
        else if (OnMouseDown)
            OnMouseDown(button, shift, at);
    };
    auto up = [&](TMouseButton button) {
        if (OnMouseUp) OnMouseUp(button, shift, at);
    };
    switch (LOWORD(lp)) {
        case WM_MOUSEMOVE:
            if (OnMouseMove) OnMouseMove(shift, at);
            break;
        case WM_LBUTTONDOWN:
            down(TMouseButton::Left, LButtonPopupMenu);
            break;
        case WM_LBUTTONUP:
            up(TMouseButton::Left);
            break;
        case WM_LBUTTONDBLCLK:
            if (OnDblClick) OnDblClick();
            break;
        case WM_RBUTTONDOWN:
            down(TMouseButton::Right, RButtonPopupMenu);
            break;
        case WM_RBUTTONUP:
            up(TMouseButton::Right);
            break;
        case WM_MBUTTONDOWN:
            down(TMouseButton::Middle, nullptr);
            break;
        case WM_MBUTTONUP:
            up(TMouseButton::Middle);
            break;
        default:
            break;
    }
    result = 0;
    return true;
}
