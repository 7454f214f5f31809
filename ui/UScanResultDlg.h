// TScanResultDlg: the outcome of a folder scan, reviewed before it is
// applied. Three lists (files to add, files not to add, files to remove from
// the list); the two arrow buttons move the selected entry between the first
// two. Every entry keeps the index of its folder.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "playlist/UFolderScan.h"
#include "win/UControls.h"
#include "win/UForm.h"
#include "win/UListBox.h"

class TScanResultDlg : public TForm {
public:
    explicit TScanResultDlg(HWND owner = nullptr);

    // Set before ShowModal; after mrOK they hold the lists as the user left them.
    std::vector<TScanEntry> AddList;
    std::vector<TScanEntry> ExcludeList;
    std::vector<TScanEntry> DeleteList;

    // Shows the dialog modally; mrOK or mrCancel.
    int ShowModal();

    // Called once the dialog is on the screen with its lists filled.
    std::function<void(TScanResultDlg&)> OnShow;

    std::unique_ptr<TListBox> AddListBox, ExcludeListBox, DeleteListBox;
    std::unique_ptr<TButton> Add2ExBtn, Ex2AddBtn, OKBtn, CancelBtn;

    void Add2ExBtnClick() { AddListBox->MoveSelectedTo(*ExcludeListBox); }
    void Ex2AddBtnClick() { ExcludeListBox->MoveSelectedTo(*AddListBox); }

private:
    void FormCreate();
};

// Shows a scan result in a new dialog and copies the user's lists back on
// OK: the review step of a scan command (RunFolderScan). onShow, when given,
// becomes the dialog's OnShow.
bool ShowScanResult(TScanResult& result, HWND owner, std::function<void(TScanResultDlg&)> onShow = nullptr);
