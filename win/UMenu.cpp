#include "win/UMenu.h"

#include "base/UCodePage.h"
#include "base/UException.h"
#include "win/UScreenText.h"

namespace {

void AppendItem(HMENU menu, UINT flags, UINT_PTR id, const std::string& text)
{
    if (NeedsWide(text))
        AppendMenuW(menu, flags, id, ScreenText(text).c_str());
    else
        AppendMenuA(menu, flags, id, text.c_str());
}

}  // namespace

std::string TShortCut::Text() const
{
    if (Empty()) return {};
    std::string s;
    if (Modifiers & FSHIFT) s += "Shift+";
    if (Modifiers & FCONTROL) s += "Ctrl+";
    if (Modifiers & FALT) s += "Alt+";
    switch (Key) {
        case VK_RETURN:
            return s + "Enter";
        case VK_LEFT:
            return s + "Left";
        case VK_RIGHT:
            return s + "Right";
        case VK_UP:
            return s + "Up";
        case VK_DOWN:
            return s + "Down";
        case VK_ESCAPE:
            return s + "Esc";
        case VK_SPACE:
            return s + "Space";
        case VK_DELETE:
            return s + "Del";
        default:
            break;
    }
    if (Key >= VK_F1 && Key <= VK_F24) return s + "F" + std::to_string(Key - VK_F1 + 1);
    return s + static_cast<char>(Key);
}

void TMenuItem::SetEnabled(bool enabled)
{
    EnableMenuItem(Menu, Id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool TMenuItem::Enabled() const
{
    return !(GetMenuState(Menu, Id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void TMenuItem::SetChecked(bool checked)
{
    CheckMenuItem(Menu, Id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool TMenuItem::Checked() const { return GetMenuState(Menu, Id, MF_BYCOMMAND) & MF_CHECKED; }

std::string TMenuItem::Caption() const
{
    const int n = GetMenuStringW(Menu, Id, nullptr, 0, MF_BYCOMMAND);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetMenuStringW(Menu, Id, &text[0], n + 1, MF_BYCOMMAND);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    const std::string s = CodePage::FromWide(text);
    const size_t tab = s.find('\t');
    return tab == std::string::npos ? s : s.substr(0, tab);
}

void TMenuItem::SetCaption(const std::string& caption)
{
    std::string text = caption;
    if (!ShortCut.Empty()) text += "\t" + ShortCut.Text();
    if (NeedsWide(text)) {
        std::wstring wide = ScreenText(text);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING;
        info.dwTypeData = &wide[0];
        SetMenuItemInfoW(Menu, Id, FALSE, &info);
        return;
    }
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<char*>(text.c_str());
    SetMenuItemInfoA(Menu, Id, FALSE, &info);
}

void TMenuItem::Click()
{
    if (Enabled()) Application->DispatchCommand(Id, 0);
}

TMenu::TMenu(bool popup) : FPopup(popup)
{
    FHandle = popup ? CreatePopupMenu() : CreateMenu();
    if (!FHandle) throw Exception("メニューを作成できませんでした");
}

TMenu::~TMenu()
{
    if (FAttached && IsWindow(FAttached) && GetMenu(FAttached) == FHandle) SetMenu(FAttached, nullptr);
    for (auto& item : FItems)
        if (item->Action) item->Action->UnlinkMenu(FHandle);
    // Submenus are destroyed with their parent menu: detach them first so
    // that each TMenu destroys its own handle exactly once.
    while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
    DestroyMenu(FHandle);
}

TMenuItem& TMenu::Add(const std::string& caption, std::function<void()> onClick, TShortCut shortCut)
{
    auto item = std::make_unique<TMenuItem>();
    item->Menu = FHandle;
    item->Command = TCommand([f = std::move(onClick)](UINT) {
        if (f) f();
    });
    item->Id = item->Command.Id();
    item->ShortCut = shortCut;
    std::string text = caption;
    if (!shortCut.Empty()) text += "\t" + shortCut.Text();
    AppendItem(FHandle, MF_STRING, item->Id, text);
    FItems.push_back(std::move(item));
    return *FItems.back();
}

TMenuItem& TMenu::Add(const std::string& caption, TAction& action, TShortCut shortCut)
{
    TMenuItem& item = Add(
        caption, [&action] { action.Execute(); }, shortCut);
    item.Action = &action;
    action.LinkMenuItem(FHandle, item.Id);
    return item;
}

TMenuItem& TMenu::AddRadio(const std::string& caption, TAction& action)
{
    TMenuItem& item = Add(caption, [&action] { action.Execute(); });
    item.Action = &action;
    action.LinkMenuItem(FHandle, item.Id, true);
    return item;
}

TMenu& TMenu::AddSubmenu(const std::string& caption)
{
    auto item = std::make_unique<TMenuItem>();
    item->Menu = FHandle;
    item->Submenu = std::make_unique<TMenu>(true);
    AppendItem(FHandle, MF_POPUP, reinterpret_cast<UINT_PTR>(item->Submenu->Handle()), caption);
    FItems.push_back(std::move(item));
    return *FItems.back()->Submenu;
}

void TMenu::AddSeparator()
{
    AppendMenuA(FHandle, MF_SEPARATOR, 0, nullptr);
    auto item = std::make_unique<TMenuItem>();
    item->Menu = FHandle;
    FItems.push_back(std::move(item));
}

void TMenu::Clear()
{
    for (auto& item : FItems)
        if (item->Action) item->Action->UnlinkMenu(FHandle);
    while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
    FItems.clear();
}

std::vector<ACCEL> TMenu::Accelerators() const
{
    std::vector<ACCEL> table;
    for (auto& item : FItems) {
        if (!item->ShortCut.Empty())
            table.push_back({static_cast<BYTE>(FVIRTKEY | item->ShortCut.Modifiers), item->ShortCut.Key,
                             static_cast<WORD>(item->Id)});
        if (item->Submenu) {
            auto sub = item->Submenu->Accelerators();
            table.insert(table.end(), sub.begin(), sub.end());
        }
    }
    return table;
}

void TMenu::AttachTo(HWND window)
{
    FAttached = window;
    SetMenu(window, FHandle);
    DrawMenuBar(window);
}

void TMenu::Popup(HWND owner, int x, int y)
{
    if (UINT id = Track(owner, x, y)) Application->DispatchCommand(id, 0);
}

UINT TMenu::Track(HWND owner, int x, int y)
{
    SetForegroundWindow(owner);
    UINT id = TrackPopupMenuEx(FHandle, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, owner, nullptr);
    PostMessageA(owner, WM_NULL, 0, 0);
    return id;
}
