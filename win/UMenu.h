// Menus and popup menus. Items run a handler or an action; shortcuts are
// shown in the caption and collected into the owning form's accelerators.
// An item's caption can change (SetCaption keeps the shortcut's text);
// AddRadio makes an item whose checked state shows as a bullet.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/UAction.h"
#include "win/UApplication.h"

struct TShortCut {
    BYTE Modifiers = 0;  // FCONTROL, FALT, FSHIFT
    WORD Key = 0;        // virtual key
    bool Empty() const { return Key == 0; }
    std::string Text() const;  // "Ctrl+N", "Alt+Enter"
};

inline TShortCut Ctrl(WORD key) { return {FCONTROL, key}; }
inline TShortCut Alt(WORD key) { return {FALT, key}; }

class TMenu;

struct TMenuItem {
    HMENU Menu = nullptr;  // the menu holding the item
    UINT Id = 0;
    TCommand Command;
    TShortCut ShortCut;
    TAction* Action = nullptr;
    std::unique_ptr<TMenu> Submenu;

    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetChecked(bool checked);
    bool Checked() const;
    std::string Caption() const;  // without the shortcut's text
    void SetCaption(const std::string& caption);
    // Runs the item as a click would (if enabled).
    void Click();
};

class TMenu {
public:
    // A menu bar (CreateMenu) or a popup menu (CreatePopupMenu).
    explicit TMenu(bool popup);
    ~TMenu();
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;

    HMENU Handle() const { return FHandle; }

    TMenuItem& Add(const std::string& caption, std::function<void()> onClick, TShortCut shortCut = {});
    TMenuItem& Add(const std::string& caption, TAction& action, TShortCut shortCut = {});
    TMenuItem& AddRadio(const std::string& caption, TAction& action);
    TMenu& AddSubmenu(const std::string& caption);
    void AddSeparator();
    // Removes every item (for menus rebuilt from data).
    void Clear();
    size_t Count() const { return FItems.size(); }
    TMenuItem& Item(size_t i) { return *FItems[i]; }

    // Every shortcut of this menu and its submenus.
    std::vector<ACCEL> Accelerators() const;

    // Attaches a menu bar to a form window (detached again on destruction).
    void AttachTo(HWND window);
    // Shows a popup menu at screen coordinates; the chosen command runs.
    void Popup(HWND owner, int x, int y);
    // Shows a popup menu at screen coordinates and returns the chosen
    // command's id (0: none) without running it.
    UINT Track(HWND owner, int x, int y);

private:
    HMENU FHandle = nullptr;
    HWND FAttached = nullptr;
    bool FPopup;
    std::deque<std::unique_ptr<TMenuItem>> FItems;
};
