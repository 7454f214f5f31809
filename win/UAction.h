// Actions: one command shared by menu items, buttons and check boxes. The
// enabled and checked state lives in the action and is shown on every linked
// control; the update handler runs when the application is idle.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "win/UApplication.h"

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

    // Runs OnExecute when the action is enabled; true when it ran.
    bool Execute();
    void Update()
    {
        if (OnUpdate) OnUpdate();
    }

    // Linked controls show the action's state from now on.
    void LinkMenuItem(HMENU menu, UINT id);
    // A push button or a check box (BS_CHECKBOX: its click runs the action;
    // the check mark follows the action, not the click).
    void LinkControl(HWND control);
    void UnlinkMenu(HMENU menu);

private:
    void ShowState();
    struct TMenuLink {
        HMENU Menu;
        UINT Id;
    };
    std::vector<TMenuLink> FMenuItems;
    std::vector<HWND> FControls;
    bool FEnabled = true;
    bool FChecked = false;
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

// A push button or check box child whose click runs a handler.
struct TButton {
    HWND Handle = nullptr;
    TCommand Command;
    TButton() = default;
    TButton(HWND parent, const std::string& caption, DWORD style, int x, int y, int w, int h,
            std::function<void()> onClick);
    // A button linked to an action: click executes it, state follows it.
    TButton(HWND parent, const std::string& caption, DWORD style, int x, int y, int w, int h,
            TAction& action);
};
