// The scan result dialog, driven through its windows while it is shown.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/playlist/TempFolder.h"
#include "playlist/UPlayList.h"
#include "ui/UScanResultDlg.h"
#include "win/UApplication.h"

namespace {

using TNames = std::vector<std::string>;

TNames Lines(HWND box)
{
    TNames lines;
    for (int i = 0; i < static_cast<int>(SendMessageA(box, LB_GETCOUNT, 0, 0)); ++i) {
        char buf[MAX_PATH * 2] = {};
        SendMessageA(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
        lines.push_back(buf);
    }
    return lines;
}

std::string Text(HWND wnd)
{
    char buf[256] = {};
    GetWindowTextA(wnd, buf, sizeof buf);
    return buf;
}

// Selects a line (-1: none) and presses a button.
void Press(HWND button, HWND box = nullptr, int line = -1)
{
    if (box) SendMessageA(box, LB_SETCURSEL, line, 0);
    SendMessageA(button, BM_CLICK, 0, 0);
}

}  // namespace

TEST(ScanResultDlgTest, LayoutAndMovesThatKeepTheFolders)
{
    TApplication app;
    TScanResultDlg dlg;
    dlg.AddList = {{"C:\\m\\z.avi", 0}, {"C:\\ソ\\表示.avi", 2}, {"C:\\m\\a.avi", 0}};  // shown as given
    dlg.ExcludeList = {{"C:\\n\\x.avi", 1}};
    dlg.DeleteList = {{"C:\\m\\gone.avi", 0}};
    bool shown = false;
    dlg.OnShow = [&](TScanResultDlg& d) {
        shown = true;
        EXPECT_EQ("検索結果", Text(d.Handle()));
        EXPECT_EQ("↓↑OKキャンセル", Text(d.Add2ExBtn->Handle()) + Text(d.Ex2AddBtn->Handle()) +
                                        Text(d.OKBtn->Handle()) + Text(d.CancelBtn->Handle()));
        RECT rc;
        GetClientRect(d.Handle(), &rc);
        EXPECT_EQ(447, rc.right);
        EXPECT_EQ(323, rc.bottom);
        EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(d.OKBtn->Handle(), GWL_STYLE) & 0x0F);
        EXPECT_EQ((TNames{"C:\\m\\z.avi", "C:\\ソ\\表示.avi", "C:\\m\\a.avi"}),
                  Lines(d.AddListBox->Handle()));
        EXPECT_EQ((TNames{"C:\\m\\gone.avi"}), Lines(d.DeleteListBox->Handle()));

        Press(d.Add2ExBtn->Handle(), d.AddListBox->Handle());  // no selection: nothing moves
        Press(d.Ex2AddBtn->Handle(), d.ExcludeListBox->Handle());
        EXPECT_EQ(3u, Lines(d.AddListBox->Handle()).size());
        Press(d.Add2ExBtn->Handle(), d.AddListBox->Handle(), 1);  // down and back up: to the end
        EXPECT_EQ((TNames{"C:\\n\\x.avi", "C:\\ソ\\表示.avi"}), Lines(d.ExcludeListBox->Handle()));
        Press(d.Ex2AddBtn->Handle(), d.ExcludeListBox->Handle(), 1);
        Press(d.Ex2AddBtn->Handle(), d.ExcludeListBox->Handle(), 0);
        Press(d.Add2ExBtn->Handle(), d.AddListBox->Handle(), 0);
        Press(d.OKBtn->Handle());
    };
    EXPECT_EQ(IDOK, dlg.ShowModal());
    EXPECT_TRUE(shown);
    ASSERT_EQ(3u, dlg.AddList.size());
    EXPECT_EQ("C:\\m\\a.avi", dlg.AddList[0].Name);
    EXPECT_EQ("C:\\ソ\\表示.avi", dlg.AddList[1].Name);
    EXPECT_EQ(2, dlg.AddList[1].Folder);
    EXPECT_EQ(1, dlg.AddList[2].Folder);
    ASSERT_EQ(1u, dlg.ExcludeList.size());
    EXPECT_EQ("C:\\m\\z.avi", dlg.ExcludeList[0].Name);
    EXPECT_EQ(0, dlg.ExcludeList[0].Folder);
    EXPECT_EQ(1u, dlg.DeleteList.size());
}

TEST(ScanResultDlgTest, EscapeCancelsAndEnterAccepts)
{
    TApplication app;
    TScanResultDlg cancel;
    cancel.AddList = {{"C:\\m\\a.avi", 0}};
    cancel.OnShow = [](TScanResultDlg& d) {
        Press(d.Add2ExBtn->Handle(), d.AddListBox->Handle(), 0);
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(IDCANCEL, cancel.ShowModal());
    EXPECT_EQ(1u, cancel.AddList.size());  // the caller's lists stay as they were
    EXPECT_TRUE(cancel.ExcludeList.empty());

    TScanResultDlg empty;
    empty.OnShow = [](TScanResultDlg& d) {
        SetFocus(d.OKBtn->Handle());
        PostMessageA(d.OKBtn->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_EQ(IDOK, empty.ShowModal());
}

// A whole scan command on a real folder with the dialog in between.
TEST(ScanResultDlgTest, ScanThroughTheDialog)
{
    TApplication app;
    TTempFolder tmp;
    const std::string folder = tmp.MakeFolder("動画");
    tmp.MakeFile("動画\\表示.avi");
    tmp.MakeFile("動画\\ソフト.mp3", AttrHidden);
    tmp.MakeFile("動画\\a.wav", AttrReadOnly);
    TPlayList list("検索", tmp.Path());
    list.Add(folder);
    list.Add(folder + "\\消えた.avi");
    bool shown = false;
    const bool applied = RunFolderScan(list, -1, [&](TScanResult& r) {
        return ShowScanResult(r, nullptr, [&](TScanResultDlg& d) {
            shown = true;
            EXPECT_EQ(3u, Lines(d.AddListBox->Handle()).size());
            EXPECT_EQ(1u, Lines(d.DeleteListBox->Handle()).size());
            Press(d.Add2ExBtn->Handle(), d.AddListBox->Handle(), 0);  // a.wav
            Press(d.OKBtn->Handle());
        });
    });
    EXPECT_TRUE(applied && shown);
    ASSERT_EQ(2, list.FileCount());
    EXPECT_EQ(folder + "\\ソフト.mp3", list.Files(0).Path());
    EXPECT_EQ(folder + "\\表示.avi", list.Files(1).Path());
    EXPECT_EQ((TNames{folder + "\\a.wav"}), list.Directories(0).Excluded());
}
