#include "win/UAction.h"

#include <algorithm>

#include "win/UForm.h"

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

bool TAction::Execute()
{
    if (!FEnabled || !OnExecute) return false;
    OnExecute();
    return true;
}

void TAction::LinkMenuItem(HMENU menu, UINT id)
{
    FMenuItems.push_back({menu, id});
    EnableMenuItem(menu, id, MF_BYCOMMAND | (FEnabled ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(menu, id, MF_BYCOMMAND | (FChecked ? MF_CHECKED : MF_UNCHECKED));
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
    EnableWindow(control, FEnabled);
    SendMessageA(control, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TAction::ShowState()
{
    for (auto& l : FMenuItems) {
        EnableMenuItem(l.Menu, l.Id, MF_BYCOMMAND | (FEnabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(l.Menu, l.Id, MF_BYCOMMAND | (FChecked ? MF_CHECKED : MF_UNCHECKED));
    }
    FControls.erase(std::remove_if(FControls.begin(), FControls.end(), [](HWND h) { return !IsWindow(h); }),
                    FControls.end());
    for (HWND h : FControls) {
        EnableWindow(h, FEnabled);
        SendMessageA(h, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
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

TButton::TButton(HWND parent, const std::string& caption, DWORD style, int x, int y, int w, int h,
                 std::function<void()> onClick)
    : Command([f = std::move(onClick)](UINT code) {
          if (code == BN_CLICKED && f) f();
      })
{
    Handle = CreateControl(parent, "BUTTON", caption, style | WS_TABSTOP, x, y, w, h, Command.Id());
}

TButton::TButton(HWND parent, const std::string& caption, DWORD style, int x, int y, int w, int h,
                 TAction& action)
    : TButton(parent, caption, style, x, y, w, h, [&action] { action.Execute(); })
{
    action.LinkControl(Handle);
}
