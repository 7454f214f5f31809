#include "win/UButtonBar.h"

#include <commctrl.h>

#include "base/UException.h"

TButtonBar::TButtonBar(const TButtonBarArgs& args)
{
    Create(TOOLBARCLASSNAMEA, args,
           TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | WS_TABSTOP);
    SendMessageA(Handle(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(Handle(), TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    for (const TBarButton& b : args.Buttons) {
        if (b.Id <= 0 || b.Id > 0xFFFF) throw Exception("ボタンの番号が範囲外です");
        // TB_ADDSTRING takes a list ended by two zero bytes.
        std::string text = b.Caption;
        text.push_back('\0');
        text.push_back('\0');
        const LRESULT str = SendMessageA(Handle(), TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(text.data()));
        TBBUTTON button = {};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = b.Id;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        button.iString = str;
        SendMessageA(Handle(), TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
    }
    SendMessageA(Handle(), TB_AUTOSIZE, 0, 0);
}

bool TButtonBar::ButtonVisible(int id) const
{
    return SendMessageA(Handle(), TB_ISBUTTONHIDDEN, id, 0) == 0 &&
           SendMessageA(Handle(), TB_COMMANDTOINDEX, id, 0) >= 0;
}

void TButtonBar::SetButtonVisible(int id, bool visible)
{
    SendMessageA(Handle(), TB_HIDEBUTTON, id, MAKELPARAM(!visible, 0));
}

bool TButtonBar::ButtonEnabled(int id) const
{
    return SendMessageA(Handle(), TB_ISBUTTONENABLED, id, 0) != 0;
}

void TButtonBar::SetButtonEnabled(int id, bool enabled)
{
    SendMessageA(Handle(), TB_ENABLEBUTTON, id, MAKELPARAM(enabled, 0));
}

void TButtonBar::Click(int id)
{
    if (ButtonVisible(id) && ButtonEnabled(id)) Run(id);
}

void TButtonBar::SetButtonHandler(int id, std::function<void()> handler)
{
    FHandlers[id] = std::move(handler);
}

void TButtonBar::Run(int id)
{
    auto it = FHandlers.find(id);
    if (it != FHandlers.end() && it->second) {
        auto handler = it->second;  // the handler may replace itself
        handler();
    } else if (OnClick) {
        OnClick(id);
    }
}

RECT TButtonBar::ButtonRect(int id) const
{
    RECT r = {};
    if (ButtonVisible(id)) SendMessageA(Handle(), TB_GETRECT, id, reinterpret_cast<LPARAM>(&r));
    return r;
}

bool TButtonBar::Command(HWND, UINT id, UINT code)
{
    if (code != BN_CLICKED) return false;
    Run(static_cast<int>(id));
    return true;
}
