// TScanResultDlg: the outcome of a folder scan, reviewed before it is
// applied. Three lists (files to add, files not to add, files to remove from
// the list); the two arrow buttons move the selected entry between the first
// two. Every entry keeps the index of its folder.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <vector>

#include "playlist/UFolderScan.h"

class TScanResultDlg {
public:
    explicit TScanResultDlg(HWND owner = nullptr) : FOwner(owner) {}
    TScanResultDlg(const TScanResultDlg&) = delete;
    TScanResultDlg& operator=(const TScanResultDlg&) = delete;

    // Set before ShowModal; after IDOK they hold the lists as the user left them.
    std::vector<TScanEntry> AddList;
    std::vector<TScanEntry> ExcludeList;
    std::vector<TScanEntry> DeleteList;

    // Shows the dialog modally; IDOK or IDCANCEL.
    int ShowModal();

    // Called once the dialog is on the screen with its lists filled.
    std::function<void(TScanResultDlg&)> OnShow;

    // The windows, valid while the dialog is shown.
    HWND Handle = nullptr;
    HWND AddListBox = nullptr;
    HWND ExcludeListBox = nullptr;
    HWND DeleteListBox = nullptr;
    HWND Add2ExBtn = nullptr;
    HWND Ex2AddBtn = nullptr;
    HWND OKBtn = nullptr;
    HWND CancelBtn = nullptr;

    void Add2ExBtnClick();
    void Ex2AddBtnClick();

    enum {
        IDC_ADDLIST = 101,
        IDC_EXCLUDELIST,
        IDC_DELETELIST,
        IDC_ADD2EX,
        IDC_EX2ADD,
    };

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void FormCreate();
    HWND MakeControl(const char* cls, const char* text, DWORD style, int id, int x, int y, int w, int h);
    void Fill(HWND box, const std::vector<TScanEntry>& entries);
    static std::vector<TScanEntry> Read(HWND box);
    void Move(HWND from, HWND to);
    void UpdateExtent(HWND box);

    HWND FOwner;
    std::exception_ptr FError;
};

// Shows a scan result in a new dialog and copies the user's lists back on
// OK: the review step of a scan command (RunFolderScan). onShow, when given,
// becomes the dialog's OnShow.
bool ShowScanResult(TScanResult& result, HWND owner, std::function<void(TScanResultDlg&)> onShow = nullptr);
