#include "win/UControls.h"

#include <cstdlib>

#include "base/UCodePage.h"
#include "base/UException.h"
#include "win/UApplication.h"

// --- TButton -------------------------------------------------------------------

TButton::TButton(const TControlArgs& args) { Create(WC_BUTTONA, args, BS_PUSHBUTTON | WS_TABSTOP); }

void TButton::Click()
{
    if (Enabled() && OnClick) OnClick();
}

bool TButton::Command(HWND, UINT, UINT code)
{
    if (code != BN_CLICKED || !OnClick) return false;
    OnClick();
    return true;
}

// --- TCheckBox -----------------------------------------------------------------

TCheckBox::TCheckBox(const TCheckBoxArgs& args)
{
    Create(WC_BUTTONA, args, (args.Auto ? BS_AUTOCHECKBOX : BS_CHECKBOX) | WS_TABSTOP);
}

bool TCheckBox::Checked() const { return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked)
{
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::Command(HWND, UINT, UINT code)
{
    if (code != BN_CLICKED || !OnClick) return false;
    OnClick();
    return true;
}

// --- TRadioGroup ---------------------------------------------------------------

TRadioGroup::TRadioGroup(const TRadioGroupArgs& args)
{
    Create(WC_BUTTONA, args, BS_GROUPBOX);
    // The buttons are siblings of the group box, so that their clicks reach
    // the parent (and through it this object).
    const int columns = args.Columns > 0 ? args.Columns : 1;
    const int width = (args.Width - 20) / columns;
    for (size_t i = 0; i < args.Items.size(); ++i) {
        DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        const int row = static_cast<int>(i) / columns, column = static_cast<int>(i) % columns;
        HWND b = CreateControl(args.Parent, WC_BUTTONA, args.Items[i], style, args.Left + 10 + column * width,
                               args.Top + 18 + row * args.ItemHeight, width, args.ItemHeight - 2);
        Bind(b);
        FButtons.push_back(b);
    }
}

TRadioGroup::~TRadioGroup()
{
    for (HWND b : FButtons) DestroyWindow(b);
}

int TRadioGroup::ItemIndex() const
{
    for (size_t i = 0; i < FButtons.size(); ++i)
        if (SendMessageA(FButtons[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
    return -1;
}

void TRadioGroup::SetItemIndex(int index)
{
    for (size_t i = 0; i < FButtons.size(); ++i)
        SendMessageA(FButtons[i], BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioGroup::SetEnabled(bool enabled)
{
    TControl::SetEnabled(enabled);
    for (HWND b : FButtons) EnableWindow(b, enabled);
}

bool TRadioGroup::Command(HWND from, UINT, UINT code)
{
    if (code != BN_CLICKED || from == Handle()) return false;
    if (OnClick) OnClick();
    return true;
}

// --- TLabel, TEdit, TSpinEdit ---------------------------------------------------

TLabel::TLabel(const TControlArgs& args) { Create(WC_STATICA, args, SS_LEFT | SS_NOPREFIX); }

TEdit::TEdit(const TControlArgs& args)
{
    Create(WC_EDITA, args, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
}

bool TEdit::Command(HWND, UINT, UINT code)
{
    if (code != EN_CHANGE || !OnChange) return false;
    OnChange();
    return true;
}

TSpinEdit::TSpinEdit(const TSpinEditArgs& args) : TEdit(args), FMin(args.Min), FMax(args.Max)
{
    FUpDown = CreateControl(args.Parent, UPDOWN_CLASSA, "",
                            UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0);
    SendMessageA(FUpDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
    SetRange(args.Min, args.Max);
    SetValue(args.Value);
}

TSpinEdit::~TSpinEdit() { DestroyWindow(FUpDown); }

int TSpinEdit::Value() const
{
    const std::string text = Text();
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str()) return FMin;
    if (v < FMin) return FMin;
    if (v > FMax) return FMax;
    return static_cast<int>(v);
}

void TSpinEdit::SetValue(int value)
{
    if (value < FMin) value = FMin;
    if (value > FMax) value = FMax;
    SendMessageA(FUpDown, UDM_SETPOS32, 0, value);
    SetText(std::to_string(value));
}

void TSpinEdit::SetRange(int min, int max)
{
    FMin = min;
    FMax = max < min ? min : max;
    SendMessageA(FUpDown, UDM_SETRANGE32, FMin, FMax);
}

// --- TComboBox -----------------------------------------------------------------

TComboBox::TComboBox(const TControlArgs& args)
{
    Create(WC_COMBOBOXA, args, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
}

int TComboBox::Add(const std::string& text)
{
    if (NeedsWide(text))
        return static_cast<int>(
            SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ScreenText(text).c_str())));
    return static_cast<int>(SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void TComboBox::Clear() { SendMessageA(Handle(), CB_RESETCONTENT, 0, 0); }

int TComboBox::Count() const { return static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0)); }

std::string TComboBox::Item(int index) const
{
    const LRESULT len = SendMessageW(Handle(), CB_GETLBTEXTLEN, index, 0);
    if (len <= 0) return {};
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got = SendMessageW(Handle(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&s[0]));
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return CodePage::FromWide(s);
}

int TComboBox::ItemIndex() const { return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0)); }

void TComboBox::SetItemIndex(int index) { SendMessageA(Handle(), CB_SETCURSEL, index, 0); }

bool TComboBox::Command(HWND, UINT, UINT code)
{
    if (code != CBN_SELCHANGE || !OnChange) return false;
    OnChange();
    return true;
}

// --- TProgressBar --------------------------------------------------------------

TProgressBar::TProgressBar(const TProgressBarArgs& args)
{
    Create(PROGRESS_CLASSA, args, 0);
    SendMessageA(Handle(), PBM_SETRANGE32, args.Min, args.Max);
}

int TProgressBar::Position() const { return static_cast<int>(SendMessageA(Handle(), PBM_GETPOS, 0, 0)); }

void TProgressBar::SetPosition(int position) { SendMessageA(Handle(), PBM_SETPOS, position, 0); }

// --- TTreeView -----------------------------------------------------------------

TTreeView::TTreeView(const TControlArgs& args)
{
    Create(WC_TREEVIEWA, args,
           TVS_HASLINES | TVS_LINESATROOT | TVS_HASBUTTONS | TVS_SHOWSELALWAYS | WS_TABSTOP,
           WS_EX_CLIENTEDGE);
}

HTREEITEM TTreeView::Add(HTREEITEM parent, const std::string& text, LPARAM data)
{
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent ? parent : TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(text.c_str());
    ins.item.lParam = data;
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageA(Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    if (!item) throw Exception("ツリーに項目を追加できませんでした");
    return item;
}

void TTreeView::Clear() { SendMessageA(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

void TTreeView::Select(HTREEITEM item)
{
    SendMessageA(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

HTREEITEM TTreeView::Selected() const
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
}

LPARAM TTreeView::Data(HTREEITEM item) const
{
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!item || !SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return 0;
    return tv.lParam;
}

void TTreeView::Expand(HTREEITEM item)
{
    SendMessageA(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

bool TTreeView::Notify(NMHDR& header, LRESULT& result)
{
    if (header.code != TVN_SELCHANGEDA && header.code != TVN_SELCHANGEDW) return false;
    if (OnChange) {
        // Both forms carry the new item's lParam at the same place.
        auto& tv = reinterpret_cast<NMTREEVIEWA&>(header);
        OnChange(tv.itemNew.lParam);
    }
    result = 0;
    return true;
}

// --- TPageHost -----------------------------------------------------------------

namespace {

const char PageClassName[] = "TPage";

// A page passes its children's notifications to their objects.
LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT result = 0;
    bool handled = false;
    Guarded([&] { handled = ReflectToControl(hwnd, msg, wp, lp, result); });
    if (handled) return result;
    if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
        // The pages are filled like a dialog.
        SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterPageClass()
{
    static const bool registered = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PageProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = PageClassName;
        return RegisterClassA(&wc) != 0;
    }();
    if (!registered) throw Exception("ウインドウクラス TPage を登録できませんでした");
}

}  // namespace

TPageHost::TPageHost(const TPageHostArgs& args)
{
    RegisterPageClass();
    Create(WC_TABCONTROLA, args, WS_CLIPCHILDREN | WS_TABSTOP | (args.HideTabs ? TCS_FIXEDWIDTH : 0));
    if (args.HideTabs) SendMessageA(Handle(), TCM_SETITEMSIZE, 0, MAKELPARAM(1, 1));
    Subclass();  // the pages follow the tab control's size
}

RECT TPageHost::PageRect() const
{
    RECT r;
    GetClientRect(Handle(), &r);
    SendMessageA(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return r;
}

bool TPageHost::SubclassMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    if (msg != WM_SIZE) return false;
    result = DefSubclassProc(Handle(), msg, wp, lp);
    const RECT r = PageRect();
    for (HWND page : FPages)
        SetWindowPos(page, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

TPageHost::~TPageHost()
{
    for (HWND p : FPages) DestroyWindow(p);
}

HWND TPageHost::AddPage(const std::string& caption)
{
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(caption.c_str());
    const int index = static_cast<int>(FPages.size());
    SendMessageA(Handle(), TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
    const RECT r = PageRect();
    HWND page = CreateWindowExA(WS_EX_CONTROLPARENT, PageClassName, "", WS_CHILD | WS_CLIPSIBLINGS, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, Handle(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!page) throw Exception("ページを作成できませんでした");
    FPages.push_back(page);
    ShowActivePage();
    return page;
}

int TPageHost::ActivePage() const { return static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0)); }

void TPageHost::SetActivePage(int index)
{
    SendMessageA(Handle(), TCM_SETCURSEL, index, 0);
    ShowActivePage();
}

void TPageHost::ShowActivePage()
{
    const int active = ActivePage();
    for (size_t i = 0; i < FPages.size(); ++i)
        ShowWindow(FPages[i], static_cast<int>(i) == active ? SW_SHOWNA : SW_HIDE);
}

bool TPageHost::Notify(NMHDR& header, LRESULT& result)
{
    if (header.code != static_cast<UINT>(TCN_SELCHANGE)) return false;
    ShowActivePage();
    if (OnChange) OnChange();
    result = 0;
    return true;
}
