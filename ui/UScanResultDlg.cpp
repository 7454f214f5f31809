#include "ui/UScanResultDlg.h"

#include <string>

namespace {

// Client area and list size of the dialog, in pixels.
const int ClientWidth = 447;
const int ClientHeight = 323;
const int ListWidth = 321;
const int ListHeight = 73;

std::vector<TListBox::TLine> ToLines(const std::vector<TScanEntry>& entries)
{
    std::vector<TListBox::TLine> lines;
    lines.reserve(entries.size());
    for (const TScanEntry& e : entries) lines.push_back({e.Name, static_cast<LPARAM>(e.Folder)});
    return lines;
}

std::vector<TScanEntry> FromLines(const std::vector<TListBox::TLine>& lines)
{
    std::vector<TScanEntry> entries;
    entries.reserve(lines.size());
    for (const auto& l : lines) entries.push_back({l.Text, static_cast<int>(l.Data)});
    return entries;
}

}  // namespace

TScanResultDlg::TScanResultDlg(HWND owner)
{
    TCreateParams p = TCreateParams::Dialog("TScanResultDlg", "検索結果", ClientWidth, ClientHeight, owner);
    p.Style |= WS_CLIPCHILDREN;
    CreateHandle(p);
    DialogKeys = true;
    FormCreate();
    OnShown = [this] {
        if (OnShow) OnShow(*this);
    };
}

void TScanResultDlg::FormCreate()
{
    CenterOnScreen();

    const HWND form = Handle();
    const int x = 8;
    auto list = [&](int top) {
        TListBoxArgs a(form, x, top, ListWidth, ListHeight);
        a.HorizontalScroll = true;
        return std::make_unique<TListBox>(a);
    };
    auto button = [&](const char* caption, int left, int top, int width, int height, UINT id, DWORD style) {
        TControlArgs a(form, left, top, width, height, caption);
        a.Id = id;
        a.Style = style;
        return std::make_unique<TButton>(a);
    };
    CreateControl(form, WC_STATICA, "追加するファイル", SS_NOPREFIX, x, 8, ListWidth, 16);
    AddListBox = list(24);
    Add2ExBtn = button("↓", x + ListWidth / 2 - 44, 101, 40, 24, 0, 0);
    Ex2AddBtn = button("↑", x + ListWidth / 2 + 4, 101, 40, 24, 0, 0);
    CreateControl(form, WC_STATICA, "追加しないファイル", SS_NOPREFIX, x, 129, ListWidth, 16);
    ExcludeListBox = list(145);
    CreateControl(form, WC_STATICA, "リストから削除するファイル", SS_NOPREFIX, x, 224, ListWidth, 16);
    DeleteListBox = list(240);
    OKBtn = button("OK", ClientWidth - 97, 8, 89, 25, IDOK, BS_DEFPUSHBUTTON);
    CancelBtn = button("キャンセル", ClientWidth - 97, 40, 89, 25, IDCANCEL, 0);

    Add2ExBtn->OnClick = [this] { Add2ExBtnClick(); };
    Ex2AddBtn->OnClick = [this] { Ex2AddBtnClick(); };
    OKBtn->OnClick = [this] { ModalResult = mrOK; };
    CancelBtn->OnClick = [this] { ModalResult = mrCancel; };
}

int TScanResultDlg::ShowModal()
{
    AddListBox->SetLines(ToLines(AddList));
    ExcludeListBox->SetLines(ToLines(ExcludeList));
    DeleteListBox->SetLines(ToLines(DeleteList));
    TForm::OnShow = [this] { OKBtn->SetFocus(); };
    const int result = TForm::ShowModal() == mrOK ? mrOK : mrCancel;
    if (result == mrOK) {
        AddList = FromLines(AddListBox->Lines());
        ExcludeList = FromLines(ExcludeListBox->Lines());
        DeleteList = FromLines(DeleteListBox->Lines());
    }
    return result;
}

bool ShowScanResult(TScanResult& result, HWND owner, std::function<void(TScanResultDlg&)> onShow)
{
    TScanResultDlg dlg(owner);
    dlg.OnShow = std::move(onShow);
    dlg.AddList = result.AddList;
    dlg.ExcludeList = result.ExcludeList;
    dlg.DeleteList = result.DeleteList;
    if (dlg.ShowModal() != mrOK) return false;
    result.AddList = std::move(dlg.AddList);
    result.ExcludeList = std::move(dlg.ExcludeList);
    result.DeleteList = std::move(dlg.DeleteList);
    return true;
}
