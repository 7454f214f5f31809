#include "win/UAction.h"

#include <commctrl.h>

#include <algorithm>

#include "win/UButtonBar.h"
#include "win/UControls.h"

void TAction::SetEnabled(bool enabled)
{
    if (FEnabled != enabled) {
        FEnabled = enabled;
        ShowState();
    }
}

void TAction::SetChecked(bool checked)
{
    if (FChecked != checked) {
        FChecked = checked;
        ShowState();
    }
}

void TAction::SetVisible(bool visible)
{
    if (FVisible != visible) {
        FVisible = visible;
        ShowState();
    }
}

bool TAction::Execute()
{
    if (!FEnabled || !OnExecute) return false;
    OnExecute();
    return true;
}

void TAction::LinkMenuItem(HMENU menu, UINT id, bool radio)
{
    if (radio) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        if (GetMenuItemInfoA(menu, id, FALSE, &info)) {
            info.fType |= MFT_RADIOCHECK;
            SetMenuItemInfoA(menu, id, FALSE, &info);
        }
    }
    FMenuItems.push_back({menu, id});
    ShowState();
}

void TAction::UnlinkMenu(HMENU menu)
{
    FMenuItems.erase(std::remove_if(FMenuItems.begin(), FMenuItems.end(),
                                    [menu](const TMenuLink& l) { return l.Menu == menu; }),
                     FMenuItems.end());
}

void TAction::LinkControl(HWND control)
{
    FControls.push_back(control);
    ShowState();
}

void TAction::Link(TButton& button)
{
    button.OnClick = [this] { Execute(); };
    LinkControl(button.Handle());
}

void TAction::Link(TCheckBox& box)
{
    box.OnClick = [this] { Execute(); };
    LinkControl(box.Handle());
}

void TAction::Link(TButtonBar& bar, int id)
{
    bar.SetButtonHandler(id, [this] { Execute(); });
    FBarButtons.push_back({bar.Handle(), id});
    ShowState();
}

void TAction::ShowState()
{
    for (auto& l : FMenuItems) {
        EnableMenuItem(l.Menu, l.Id, MF_BYCOMMAND | (FEnabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(l.Menu, l.Id, MF_BYCOMMAND | (FChecked ? MF_CHECKED : MF_UNCHECKED));
    }
    // Controls may go before the action: forget the ones that have.
    FControls.erase(std::remove_if(FControls.begin(), FControls.end(), [](HWND h) { return !IsWindow(h); }),
                    FControls.end());
    for (HWND h : FControls) {
        EnableWindow(h, FEnabled);
        SendMessageA(h, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
        const bool shown = (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown != FVisible) ShowWindow(h, FVisible ? SW_SHOWNA : SW_HIDE);
    }
    FBarButtons.erase(std::remove_if(FBarButtons.begin(), FBarButtons.end(),
                                     [](const TBarLink& l) { return !IsWindow(l.Bar); }),
                      FBarButtons.end());
    for (auto& l : FBarButtons) {
        SendMessageA(l.Bar, TB_ENABLEBUTTON, l.Id, MAKELPARAM(FEnabled, 0));
        SendMessageA(l.Bar, TB_HIDEBUTTON, l.Id, MAKELPARAM(!FVisible, 0));
    }
}

TActionList::TActionList()
{
    FIdleId = Application->AddIdleHandler([this] {
        if (!Active || Active()) Update();
    });
}

TActionList::~TActionList()
{
    if (Application) Application->RemoveIdleHandler(FIdleId);
}

void TActionList::Update()
{
    for (TAction* a : FActions) a->Update();
}
