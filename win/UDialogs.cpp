#include "win/UDialogs.h"

#include "win/UAction.h"
#include "win/UApplication.h"
#include "win/UForm.h"

void (*InputQueryShownHook)(HWND box) = nullptr;

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    if (!owner) owner = GetActiveWindow();
    return MessageBoxA(owner, text.c_str(), caption.empty() ? Application->Title.c_str() : caption.c_str(),
                       flags);
}

namespace {

class TInputBox : public TForm {
public:
    TInputBox(const std::string& caption, const std::string& prompt, const std::string& value)
    {
        TCreateParams p;
        p.ClassName = "TInputBox";
        p.Caption = caption;
        p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        p.ExStyle = WS_EX_DLGMODALFRAME;
        p.ClientWidth = 300;
        p.ClientHeight = 110;
        p.Owner = GetActiveWindow();
        CreateHandle(p);
        DialogKeys = true;
        CreateControl(Handle(), "STATIC", prompt, SS_LEFT, 10, 10, 280, 20);
        Edit = CreateControl(Handle(), "EDIT", value, ES_AUTOHSCROLL | WS_TABSTOP, 10, 34, 280, 22, 100,
                             WS_EX_CLIENTEDGE);
        CreateControl(Handle(), "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 130, 74, 75, 25, IDOK);
        CreateControl(Handle(), "BUTTON", "キャンセル", BS_PUSHBUTTON | WS_TABSTOP, 215, 74, 75, 25,
                      IDCANCEL);
        RECT r = BoundsRect();
        int w = r.right - r.left, h = r.bottom - r.top;
        SetBounds((GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h);
        OnCommand = [this](UINT id, UINT code, HWND) {
            if ((id == IDOK || id == IDCANCEL) && (code == BN_CLICKED || code == 0))
                ModalResult = static_cast<int>(id);
        };
        OnShow = [this] {
            SetFocus(Edit);
            SendMessageA(Edit, EM_SETSEL, 0, -1);
            if (InputQueryShownHook) PostMessageA(Handle(), WM_APP + 50, 0, 0);
        };
        OnMessage = [this](UINT msg, WPARAM, LPARAM, LRESULT&) {
            if (msg == WM_APP + 50 && InputQueryShownHook) {
                InputQueryShownHook(Handle());
                return true;
            }
            return false;
        };
    }
    HWND Edit = nullptr;
};

}  // namespace

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    TInputBox box(caption, prompt, value);
    if (box.ShowModal() != mrOK) return false;
    value = GetWindowTextString(box.Edit);
    return true;
}
