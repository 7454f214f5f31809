// Actions: one command shared by menu items, buttons, check boxes and the
// buttons of a button bar. The enabled, checked and visible state lives in
// the action and is shown on every linked control; the update handler runs
// when the application is idle.
//
//     TAction play([&] { PlayCommand(); });
//     menu.Add("再生(&P)", play);
//     play.Link(bar, btPlay);
//     play.SetVisible(false);  // the bar's play button gives way to pause
//
// A menu has no hidden items: Visible shows on controls and bar buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "win/UApplication.h"

class TButton;
class TCheckBox;
class TButtonBar;

class TAction {
public:
    TAction() = default;
    explicit TAction(std::function<void()> onExecute) : OnExecute(std::move(onExecute)) {}
    TAction(const TAction&) = delete;
    TAction& operator=(const TAction&) = delete;

    std::function<void()> OnExecute;
    std::function<void()> OnUpdate;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    bool Checked() const { return FChecked; }
    void SetChecked(bool checked);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);

    // Runs OnExecute when the action is enabled; true when it ran.
    bool Execute();
    void Update()
    {
        if (OnUpdate) OnUpdate();
    }

    // Linked controls show the action's state from now on. A radio menu item
    // shows Checked as a bullet instead of a check mark.
    void LinkMenuItem(HMENU menu, UINT id, bool radio = false);
    void UnlinkMenu(HMENU menu);
    // A push button or a check box: its click runs the action. The check
    // mark of a check box follows the action, not the click (make the box
    // with Auto = false).
    void Link(TButton& button);
    void Link(TCheckBox& box);
    // A button of a button bar: its click runs the action (through the
    // bar's OnClick, which the link takes over).
    void Link(TButtonBar& bar, int id);

private:
    void LinkControl(HWND control);
    void ShowState();
    struct TMenuLink {
        HMENU Menu;
        UINT Id;
    };
    struct TBarLink {
        HWND Bar;
        int Id;
    };
    std::vector<TMenuLink> FMenuItems;
    std::vector<HWND> FControls;
    std::vector<TBarLink> FBarButtons;
    bool FEnabled = true;
    bool FChecked = false;
    bool FVisible = true;
};

// Runs the update handlers of its actions whenever the application is idle
// and Active() (when set) is true.
class TActionList {
public:
    TActionList();
    ~TActionList();
    TActionList(const TActionList&) = delete;
    TActionList& operator=(const TActionList&) = delete;

    void Add(TAction& action) { FActions.push_back(&action); }
    void Update();
    std::function<bool()> Active;

private:
    std::vector<TAction*> FActions;
    int FIdleId = 0;
};
