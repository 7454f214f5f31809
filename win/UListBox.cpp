#include "win/UListBox.h"

#include <commctrl.h>

#include <algorithm>

#include "base/UCodePage.h"

TListBox::TListBox(const TListBoxArgs& args) : FOwnerData(args.OwnerData)
{
    DWORD style = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
    if (args.HorizontalScroll) style |= WS_HSCROLL;
    if (FOwnerData) style |= LBS_NODATA | LBS_OWNERDRAWFIXED;
    Create(WC_LISTBOXA, args, style, WS_EX_CLIENTEDGE);
    ScaleChanged(0);
}

void TListBox::ScaleChanged(UINT dpi)
{
    if (dpi) UpdateExtent();  // for the new font
    if (FOwnerData) {
        // The lines are as high as the font's text.
        HDC dc = GetDC(Handle());
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
        TEXTMETRICA tm = {};
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(Handle(), dc);
        SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, tm.tmHeight + 2);
    }
}

int TListBox::Count() const { return static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0)); }

std::string TListBox::Item(int index) const
{
    if (index < 0 || index >= Count()) return {};
    if (FOwnerData) return OnGetText ? OnGetText(index) : std::string();
    return CodePage::FromWide(WideItem(index));
}

std::wstring TListBox::WideItem(int index) const
{
    const LRESULT len = SendMessageW(Handle(), LB_GETTEXTLEN, index, 0);
    if (len <= 0) return {};
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got = SendMessageW(Handle(), LB_GETTEXT, index, reinterpret_cast<LPARAM>(&s[0]));
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return s;
}

LPARAM TListBox::Data(int index) const
{
    if (FOwnerData) return index;
    return SendMessageA(Handle(), LB_GETITEMDATA, index, 0);
}

int TListBox::ItemIndex() const { return static_cast<int>(SendMessageA(Handle(), LB_GETCURSEL, 0, 0)); }

void TListBox::SetItemIndex(int index) { SendMessageA(Handle(), LB_SETCURSEL, index, 0); }

int TListBox::TopIndex() const { return static_cast<int>(SendMessageA(Handle(), LB_GETTOPINDEX, 0, 0)); }

void TListBox::SetTopIndex(int index) { SendMessageA(Handle(), LB_SETTOPINDEX, index, 0); }

int TListBox::Add(const std::string& text, LPARAM data)
{
    const LRESULT i =
        NeedsWide(text)
            ? SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ScreenText(text).c_str()))
            : SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (i >= 0) SendMessageA(Handle(), LB_SETITEMDATA, static_cast<WPARAM>(i), data);
    return static_cast<int>(i);
}

void TListBox::Delete(int index) { SendMessageA(Handle(), LB_DELETESTRING, index, 0); }

void TListBox::Clear() { SendMessageA(Handle(), LB_RESETCONTENT, 0, 0); }

bool TListBox::MoveSelectedTo(TListBox& other)
{
    const int sel = ItemIndex();
    if (sel < 0) return false;
    const std::string text = Item(sel);
    const LPARAM data = Data(sel);
    Delete(sel);
    other.Add(text, data);
    other.UpdateExtent();
    return true;
}

std::vector<TListBox::TLine> TListBox::Lines() const
{
    std::vector<TLine> lines;
    const int n = Count();
    lines.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) lines.push_back({Item(i), Data(i)});
    return lines;
}

void TListBox::SetLines(const std::vector<TLine>& lines)
{
    SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
    Clear();
    for (const TLine& l : lines) Add(l.Text, l.Data);
    SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
    UpdateExtent();
}

void TListBox::UpdateExtent()
{
    if (!(GetWindowLongA(Handle(), GWL_STYLE) & WS_HSCROLL)) return;
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    int widest = 0;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        SIZE size;
        bool measured = false;
        if (FOwnerData) {
            const std::string text = Item(i);
            measured = !text.empty() && TextExtentString(dc, text, size);
        } else {  // as the control holds it, without converting it twice
            const std::wstring text = WideItem(i);
            measured = !text.empty() &&
                       GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) != FALSE;
        }
        if (measured) widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    SendMessageA(Handle(), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

void TListBox::SetCount(int count)
{
    SendMessageA(Handle(), LB_SETCOUNT, static_cast<WPARAM>(count), 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

bool TListBox::Command(HWND, UINT, UINT code)
{
    if (code == LBN_SELCHANGE && OnChange) {
        OnChange();
        return true;
    }
    if (code == LBN_DBLCLK && OnDblClick) {
        OnDblClick();
        return true;
    }
    return false;
}

bool TListBox::DrawItem(DRAWITEMSTRUCT& item)
{
    if (!FOwnerData) return false;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (static_cast<int>(item.itemID) >= 0 && OnGetText) {
        const std::string text = OnGetText(static_cast<int>(item.itemID));
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT r = item.rcItem;
        r.left += 2;
        DrawTextString(item.hDC, text, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
    return true;
}
