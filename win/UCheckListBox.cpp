#include "win/UCheckListBox.h"

#include <commctrl.h>

#include <iterator>

#include "base/UCodePage.h"
#include "win/UDpi.h"
#include "win/UGdiHandles.h"

TCheckListBox::TCheckListBox(const TControlArgs& args)
{
    Create(WC_LISTVIEWA, args,
           LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
           WS_EX_CLIENTEDGE);
    SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    SendMessageA(Handle(), LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    const UINT dpi = WindowDpi(Handle());
    FitColumn(dpi);
    // The list view draws its check boxes for the system's DPI.
    if (dpi != SystemDpi()) ScaleChanged(dpi);
}

void TCheckListBox::FitColumn(UINT dpi)
{
    RECT r;
    GetClientRect(Handle(), &r);
    SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, 0, r.right - r.left - SystemMetricForDpi(SM_CXVSCROLL, dpi));
}

void TCheckListBox::ScaleChanged(UINT dpi)
{
    FitColumn(dpi);
    // The check boxes for the DPI, drawn by the system: state image 1 is
    // the empty box, 2 the ticked one.
    const int cell = SystemMetricForDpi(SM_CXSMICON, dpi), box = ScaleToDpi(13, dpi);
    HIMAGELIST images = ImageList_Create(cell, cell, ILC_COLOR32, 2, 0);
    if (!images) return;
    TWindowDC screen;
    TMemoryDC dc(CreateCompatibleDC(screen.Get()));
    for (UINT state : {0u, static_cast<UINT>(DFCS_CHECKED)}) {
        TGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.Get(), cell, cell));
        HGDIOBJ old = SelectObject(dc.Get(), bitmap.Get());
        RECT all = {0, 0, cell, cell};
        FillRect(dc.Get(), &all, GetSysColorBrush(COLOR_WINDOW));
        RECT r = {(cell - box) / 2, (cell - box) / 2, (cell - box) / 2 + box, (cell - box) / 2 + box};
        DrawFrameControl(dc.Get(), &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | state);
        SelectObject(dc.Get(), old);
        ImageList_Add(images, bitmap.Get(), nullptr);
    }
    // The list view owns the new list; the old one is ours to destroy.
    if (auto old = reinterpret_cast<HIMAGELIST>(
            SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images))))
        ImageList_Destroy(old);
}

int TCheckListBox::Count() const { return static_cast<int>(SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0)); }

int TCheckListBox::Add(const std::string& text)
{
    if (NeedsWide(text)) {
        std::wstring wide = ScreenText(text);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = Count();
        item.pszText = &wide[0];
        return static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void TCheckListBox::Clear() { SendMessageA(Handle(), LVM_DELETEALLITEMS, 0, 0); }

std::string TCheckListBox::Item(int index) const
{
    wchar_t buf[1024] = {};
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = buf;
    item.cchTextMax = static_cast<int>(std::size(buf));
    const LRESULT n = SendMessageW(Handle(), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    return CodePage::FromWide(std::wstring_view(buf, n > 0 ? static_cast<size_t>(n) : 0));
}

bool TCheckListBox::Checked(int index) const
{
    const auto state =
        static_cast<UINT>(SendMessageA(Handle(), LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;  // state image 1: unticked, 2: ticked
}

void TCheckListBox::SetChecked(int index, bool checked)
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(Handle(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

bool TCheckListBox::Notify(NMHDR& header, LRESULT& result)
{
    if (header.code != LVN_ITEMCHANGED) return false;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) &&
        (change.uOldState & LVIS_STATEIMAGEMASK) && OnClickCheck)
        OnClickCheck(change.iItem);
    result = 0;
    return true;
}
