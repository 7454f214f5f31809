#include "ui/UScanResultDlg.h"

#include <algorithm>
#include <exception>
#include <string>

namespace {

const UINT WM_SHOWN = WM_APP + 50;

// Client area and list size of the dialog, in pixels.
const int ClientWidth = 447;
const int ClientHeight = 323;
const int ListWidth = 321;
const int ListHeight = 73;

// An empty dialog template: the controls are made in WM_INITDIALOG with the
// "A" functions, so their texts stay in the ANSI code page.
struct alignas(4) TEmptyTemplate {
    DLGTEMPLATE Dlg;
    WORD Menu, Class, Title;
};

}  // namespace

int TScanResultDlg::ShowModal()
{
    TEmptyTemplate tmpl = {};
    tmpl.Dlg.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    tmpl.Dlg.cx = 300;
    tmpl.Dlg.cy = 200;
    const INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &tmpl.Dlg, FOwner, DialogProc,
                                              reinterpret_cast<LPARAM>(this));
    Handle = AddListBox = ExcludeListBox = DeleteListBox = nullptr;
    Add2ExBtn = Ex2AddBtn = OKBtn = CancelBtn = nullptr;
    if (FError) {
        std::exception_ptr e = FError;
        FError = nullptr;
        std::rethrow_exception(e);
    }
    return r == IDOK ? IDOK : IDCANCEL;
}

HWND TScanResultDlg::MakeControl(const char* cls, const char* text, DWORD style, int id, int x, int y, int w,
                                 int h)
{
    HWND wnd = CreateWindowExA(
        std::string(cls) == "LISTBOX" ? WS_EX_CLIENTEDGE : 0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y,
        w, h, Handle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return wnd;
}

void TScanResultDlg::FormCreate()
{
    SetWindowTextA(Handle, "検索結果");

    // Client size, centred on the screen.
    RECT rc = {0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongA(Handle, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(Handle, GWL_EXSTYLE)));
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    SetWindowPos(Handle, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, SWP_NOZORDER);

    const DWORD listStyle = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT;
    const int x = 8;
    MakeControl("STATIC", "追加するファイル", 0, -1, x, 8, ListWidth, 16);
    AddListBox = MakeControl("LISTBOX", "", listStyle, IDC_ADDLIST, x, 24, ListWidth, ListHeight);
    Add2ExBtn = MakeControl("BUTTON", "↓", WS_TABSTOP | BS_PUSHBUTTON, IDC_ADD2EX, x + ListWidth / 2 - 44,
                            101, 40, 24);
    Ex2AddBtn = MakeControl("BUTTON", "↑", WS_TABSTOP | BS_PUSHBUTTON, IDC_EX2ADD, x + ListWidth / 2 + 4, 101,
                            40, 24);
    MakeControl("STATIC", "追加しないファイル", 0, -1, x, 129, ListWidth, 16);
    ExcludeListBox = MakeControl("LISTBOX", "", listStyle, IDC_EXCLUDELIST, x, 145, ListWidth, ListHeight);
    MakeControl("STATIC", "リストから削除するファイル", 0, -1, x, 224, ListWidth, 16);
    DeleteListBox = MakeControl("LISTBOX", "", listStyle, IDC_DELETELIST, x, 240, ListWidth, ListHeight);
    OKBtn = MakeControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, ClientWidth - 97, 8, 89, 25);
    CancelBtn = MakeControl("BUTTON", "キャンセル", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, ClientWidth - 97,
                            40, 89, 25);

    Fill(AddListBox, AddList);
    Fill(ExcludeListBox, ExcludeList);
    Fill(DeleteListBox, DeleteList);
}

void TScanResultDlg::Fill(HWND box, const std::vector<TScanEntry>& entries)
{
    SendMessageA(box, WM_SETREDRAW, FALSE, 0);
    for (const TScanEntry& e : entries) {
        const LRESULT i = SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.Name.c_str()));
        if (i >= 0) SendMessageA(box, LB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(e.Folder));
    }
    SendMessageA(box, WM_SETREDRAW, TRUE, 0);
    UpdateExtent(box);
}

// Lets the list scroll sideways to the end of its longest path.
void TScanResultDlg::UpdateExtent(HWND box)
{
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(box, WM_GETFONT, 0, 0)));
    int widest = 0;
    const LRESULT n = SendMessageA(box, LB_GETCOUNT, 0, 0);
    std::string text;
    for (LRESULT i = 0; i < n; ++i) {
        const LRESULT len = SendMessageA(box, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len <= 0) continue;
        text.assign(static_cast<size_t>(len) + 1, '\0');
        SendMessageA(box, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        SIZE size;
        if (GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(len), &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    SendMessageA(box, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

std::vector<TScanEntry> TScanResultDlg::Read(HWND box)
{
    std::vector<TScanEntry> entries;
    const LRESULT n = SendMessageA(box, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        TScanEntry e;
        const LRESULT len = SendMessageA(box, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len > 0) {
            e.Name.assign(static_cast<size_t>(len) + 1, '\0');
            SendMessageA(box, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&e.Name[0]));
            e.Name.resize(static_cast<size_t>(len));
        }
        e.Folder = static_cast<int>(SendMessageA(box, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        entries.push_back(std::move(e));
    }
    return entries;
}

void TScanResultDlg::Move(HWND from, HWND to)
{
    const LRESULT sel = SendMessageA(from, LB_GETCURSEL, 0, 0);
    if (sel < 0) return;
    const LRESULT len = SendMessageA(from, LB_GETTEXTLEN, static_cast<WPARAM>(sel), 0);
    std::string text(len > 0 ? static_cast<size_t>(len) + 1 : 1, '\0');
    if (len > 0) SendMessageA(from, LB_GETTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(len > 0 ? static_cast<size_t>(len) : 0);
    const LRESULT folder = SendMessageA(from, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0);
    SendMessageA(from, LB_DELETESTRING, static_cast<WPARAM>(sel), 0);
    const LRESULT i = SendMessageA(to, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (i >= 0) SendMessageA(to, LB_SETITEMDATA, static_cast<WPARAM>(i), folder);
    UpdateExtent(to);
}

void TScanResultDlg::Add2ExBtnClick() { Move(AddListBox, ExcludeListBox); }

void TScanResultDlg::Ex2AddBtnClick() { Move(ExcludeListBox, AddListBox); }

INT_PTR CALLBACK TScanResultDlg::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // No exception may cross the system's dialog manager: it is kept and
    // raised again when ShowModal returns.
    try {
        return HandleMessage(hwnd, msg, wParam, lParam);
    } catch (...) {
        if (auto* self = reinterpret_cast<TScanResultDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER)))
            self->FError = std::current_exception();
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
}

INT_PTR TScanResultDlg::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TScanResultDlg* self = reinterpret_cast<TScanResultDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            self = reinterpret_cast<TScanResultDlg*>(lParam);
            SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
            self->Handle = hwnd;
            self->FormCreate();
            PostMessageA(hwnd, WM_SHOWN, 0, 0);
            SetFocus(self->OKBtn);
            return FALSE;
        case WM_SHOWN:
            if (self && self->OnShow) self->OnShow(*self);
            return TRUE;
        case WM_COMMAND:
            if (!self) break;
            switch (LOWORD(wParam)) {
                case IDOK:
                    self->AddList = Read(self->AddListBox);
                    self->ExcludeList = Read(self->ExcludeListBox);
                    self->DeleteList = Read(self->DeleteListBox);
                    EndDialog(hwnd, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(hwnd, IDCANCEL);
                    return TRUE;
                case IDC_ADD2EX:
                    if (HIWORD(wParam) == BN_CLICKED) self->Add2ExBtnClick();
                    return TRUE;
                case IDC_EX2ADD:
                    if (HIWORD(wParam) == BN_CLICKED) self->Ex2AddBtnClick();
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

bool ShowScanResult(TScanResult& result, HWND owner, std::function<void(TScanResultDlg&)> onShow)
{
    TScanResultDlg dlg(owner);
    dlg.OnShow = std::move(onShow);
    dlg.AddList = result.AddList;
    dlg.ExcludeList = result.ExcludeList;
    dlg.DeleteList = result.DeleteList;
    if (dlg.ShowModal() != IDOK) return false;
    result.AddList = std::move(dlg.AddList);
    result.ExcludeList = std::move(dlg.ExcludeList);
    result.DeleteList = std::move(dlg.DeleteList);
    return true;
}
