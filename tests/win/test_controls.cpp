// The control objects with real windows: notifications reach the object of
// the child that sent them, the owner-data list box, the seek bar's point
// arithmetic, work posted from other threads, the open-file result, and
// names outside the code page on the screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "win/UAction.h"
#include "win/UApplication.h"
#include "win/UButtonBar.h"
#include "win/UCheckListBox.h"
#include "win/UControls.h"
#include "win/UDialogs.h"
#include "win/UForm.h"
#include "win/UListBox.h"
#include "win/UMenu.h"
#include "win/UTrackBar.h"

namespace {

class TTestForm : public TForm {
public:
    TTestForm()
    {
        TCreateParams p;
        p.ClassName = "TControlsTestForm";
        p.Caption = "コントロール";
        p.Left = 10;
        p.Top = 10;
        p.ClientWidth = 400;
        p.ClientHeight = 300;
        CreateHandle(p);
        Show();
    }
};

void Click(HWND hwnd, POINT p)
{
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override
    {
        App = std::make_unique<TApplication>();
        App->OnException = [this](const std::exception& e) { Errors.push_back(e.what()); };
    }
    void TearDown() override { App.reset(); }
    void Pump(DWORD ms)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            App->ProcessMessages();
            Sleep(5);
        }
    }
    std::unique_ptr<TApplication> App;
    std::vector<std::string> Errors;
};

}  // namespace

TEST_F(Controls, NotificationsReachTheObjectOfTheChildThatSentThem)
{
    TTestForm form;
    std::vector<std::string> heard;
    TButton one(TControlArgs(form.Handle(), 10, 10, 60, 24, "一"));
    TButton two(TControlArgs(form.Handle(), 80, 10, 60, 24, "二"));
    one.OnClick = [&] { heard.push_back("one"); };
    two.OnClick = [&] { heard.push_back("two"); };
    TCheckBox check(TCheckBoxArgs(form.Handle(), 150, 10, 80, 24, "チェック"));
    check.OnClick = [&] { heard.push_back(check.Checked() ? "checked" : "unchecked"); };
    TListBox list(TListBoxArgs(form.Handle(), 10, 40, 120, 80));
    list.Add("a");
    list.Add("b", 7);
    list.OnChange = [&] { heard.push_back("list " + std::to_string(list.Data(list.ItemIndex()))); };
    list.OnContextMenu = [&](int x, int y) {
        heard.push_back("menu " + std::to_string(x) + "," + std::to_string(y));
    };
    TTrackBarArgs trackArgs(form.Handle(), 140, 40, 150, 30);
    trackArgs.Max = 10;
    TTrackBar track(trackArgs);
    track.OnChange = [&] { heard.push_back("track " + std::to_string(track.Position())); };

    SendMessageA(two.Handle(), BM_CLICK, 0, 0);
    SendMessageA(one.Handle(), BM_CLICK, 0, 0);
    SendMessageA(check.Handle(), BM_CLICK, 0, 0);
    // The list box tells its parent about a selection made with the mouse.
    RECT item;
    SendMessageA(list.Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    Click(list.Handle(), {item.left + 2, item.top + 2});
    SendMessageA(form.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list.Handle()), MAKELPARAM(5, 6));
    SendMessageA(track.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ((std::vector<std::string>{"two", "one", "checked", "list 7", "menu 5,6", "track 1"}), heard);

    // Controls on a page of a page host, and the pages follow the tabs.
    TPageHost pages(TPageHostArgs(form.Handle(), 10, 130, 200, 120));
    HWND first = pages.AddPage("一般");
    HWND second = pages.AddPage("詳細");
    TButton onPage(TControlArgs(second, 10, 10, 80, 24, "ページ"));
    onPage.OnClick = [&] { heard.push_back("page"); };
    pages.SetActivePage(1);
    EXPECT_FALSE(IsWindowVisible(first));
    EXPECT_TRUE(IsWindowVisible(second));
    heard.clear();
    SendMessageA(onPage.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"page"}, heard);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(Controls, ButtonBarButtonsFollowTheirActions)
{
    TTestForm form;
    TButtonBarArgs args(form.Handle(), 10, 10, 300, 28);
    args.Buttons = {{1, "再生"}, {2, "一時停止"}, {3, "停止"}};
    TButtonBar bar(args);
    std::vector<int> clicked;
    bar.OnClick = [&](int id) { clicked.push_back(id); };
    int paused = 0;
    TAction pause([&] { ++paused; });
    pause.Link(bar, 2);

    pause.SetVisible(false);
    EXPECT_FALSE(bar.ButtonVisible(2));
    EXPECT_TRUE(bar.ButtonVisible(1));
    bar.Click(2);  // hidden: nothing
    pause.SetVisible(true);
    EXPECT_TRUE(bar.ButtonVisible(2));

    // Real clicks: the bar's own button goes to OnClick, the linked one to its action.
    RECT r = bar.ButtonRect(3);
    Click(bar.Handle(), {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    r = bar.ButtonRect(2);
    Click(bar.Handle(), {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    EXPECT_EQ(std::vector<int>{3}, clicked);
    EXPECT_EQ(1, paused);

    pause.SetEnabled(false);
    EXPECT_FALSE(bar.ButtonEnabled(2));
    bar.Click(2);
    EXPECT_EQ(1, paused);
}

TEST_F(Controls, OwnerDataListBoxSuppliesTheTextOfEachIndex)
{
    TTestForm form;
    TListBoxArgs args(form.Handle(), 10, 10, 200, 200);
    args.OwnerData = true;
    TListBox list(args);
    std::set<int> asked;
    list.OnGetText = [&](int i) {
        asked.insert(i);
        return "行 " + std::to_string(i);
    };
    list.SetCount(100000);
    EXPECT_EQ(100000, list.Count());
    EXPECT_EQ("行 99999", list.Item(99999));
    EXPECT_EQ("", list.Item(100000));

    // Drawing asks for the lines on the screen only.
    list.SetTopIndex(50000);
    asked.clear();
    InvalidateRect(list.Handle(), nullptr, TRUE);
    UpdateWindow(list.Handle());
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(50000, *asked.begin());
    EXPECT_LT(*asked.rbegin(), 50100);

    list.SetCount(3);
    EXPECT_EQ(3, list.Count());
    EXPECT_EQ("行 2", list.Item(2));
}

TEST_F(Controls, SeekBarValueUnderAPoint)
{
    // Halves go to the even value; outside the channel, the ends.
    EXPECT_EQ(0, TrackValueAt(11, 10, 30, 0, 10));  // 0.5
    EXPECT_EQ(2, TrackValueAt(13, 10, 30, 0, 10));  // 1.5
    EXPECT_EQ(2, TrackValueAt(15, 10, 30, 0, 10));  // 2.5
    EXPECT_EQ(4, TrackValueAt(17, 10, 30, 0, 10));  // 3.5
    EXPECT_EQ(0, TrackValueAt(10, 10, 30, 0, 10));
    EXPECT_EQ(10, TrackValueAt(500, 10, 30, 0, 10));
    EXPECT_EQ(5, TrackValueAt(20, 10, 30, 5, 5));  // no range: Min

    TTestForm form;
    TTrackBarArgs args(form.Handle(), 10, 10, 300, 30);
    args.Max = 10000;
    args.NoTicks = true;
    args.ThumbLength = 15;
    TTrackBarEx bar(args);
    RECT channel;
    SendMessageA(bar.Handle(), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    EXPECT_EQ(0, bar.PositionAtPoint(channel.left - 3, 5));
    EXPECT_EQ(10000, bar.PositionAtPoint(channel.right + 3, 5));
    EXPECT_EQ(TrackValueAt((channel.left + channel.right) / 2, channel.left, channel.right, 0, 10000),
              bar.PositionAtPoint((channel.left + channel.right) / 2, 5));

    // The control's own mouse messages reach the handlers.
    std::vector<std::string> heard;
    bar.OnMouseDown = [&](TMouseButton b, UINT, int x, int) {
        if (b == TMouseButton::Left) heard.push_back("down " + std::to_string(x));
    };
    bar.OnMouseUp = [&](TMouseButton b, UINT, int x, int) {
        if (b == TMouseButton::Left) heard.push_back("up " + std::to_string(x));
    };
    Click(bar.Handle(), {channel.right + 3, 5});
    EXPECT_EQ((std::vector<std::string>{"down " + std::to_string(channel.right + 3),
                                        "up " + std::to_string(channel.right + 3)}),
              heard);
}

TEST_F(Controls, PostedWorkRunsOnTheGuiThreadAndErrorsReachTheHandler)
{
    const DWORD gui = GetCurrentThreadId();
    std::vector<DWORD> ranOn;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) Application->Post([&] { ranOn.push_back(GetCurrentThreadId()); });
        Application->Post([] { throw std::runtime_error("投稿の失敗"); });
    });
    worker.join();
    EXPECT_TRUE(ranOn.empty());  // not before the loop runs
    Pump(200);
    EXPECT_EQ((std::vector<DWORD>{gui, gui, gui}), ranOn);
    EXPECT_EQ(std::vector<std::string>{"投稿の失敗"}, Errors);
}

TEST_F(Controls, MenuCaptionsChangeAndRadioItemsShowTheirAction)
{
    TMenu menu(true);
    TAction play, center;
    TMenuItem& item = menu.Add("再生(&P)", play, Ctrl('P'));
    item.SetCaption("一時停止(&P)");
    EXPECT_EQ("一時停止(&P)", item.Caption());
    char text[64] = {};
    GetMenuStringA(menu.Handle(), item.Id, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ("一時停止(&P)\tCtrl+P", text);

    TMenuItem& radio = menu.AddRadio("中央(&C)", center);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    center.SetChecked(true);
    ASSERT_TRUE(GetMenuItemInfoA(menu.Handle(), radio.Id, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(info.fState & MFS_CHECKED);
}

namespace {

// The pixels of the first line of an owner-drawn list as it draws it, or of
// a text drawn the same way.
std::vector<COLORREF> LinePixels(TListBox& list, const wchar_t* text = nullptr)
{
    HDC screen = GetDC(list.Handle());
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 20);
    SelectObject(dc, bitmap);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list.Handle(), WM_GETFONT, 0, 0)));
    RECT r = {0, 0, 200, 20};
    DRAWITEMSTRUCT item = {ODT_LISTBOX, 0, 0, 0, 0, list.Handle(), dc, r, 0};
    if (!text) {
        list.DrawItem(item);
    } else {
        FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        r.left += 2;
        DrawTextW(dc, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x) pixels.push_back(GetPixel(dc, x, y));
    DeleteDC(dc);
    DeleteObject(bitmap);
    ReleaseDC(list.Handle(), screen);
    return pixels;
}

}  // namespace

// A name outside the code page (escaped) reaches the texts on the screen
// with its real characters (a control given the escape's text would give
// back "<U+003C>U+..."), and what is read back is the same name.
TEST_F(Controls, EscapedNamesShowTheirRealCharacters)
{
    const std::string name = "<U+D55C><U+AD6D> Beyonc<U+00E9>";
    const std::wstring real = L"\uD55C\uAD6D Beyonc\u00E9";
    wchar_t text[256] = {};
    TTestForm form;
    form.SetCaption(name);
    EXPECT_EQ(real, std::wstring(text, InternalGetWindowText(form.Handle(), text, 256)));
    TEdit edit(TControlArgs(form.Handle(), 10, 10, 200, 22));
    edit.SetText(name);
    TListBox list(TListBoxArgs(form.Handle(), 10, 40, 200, 60));
    list.Add(name);
    TCheckListBox checks(TControlArgs(form.Handle(), 10, 110, 200, 60));
    checks.Add(name);
    TComboBox combo(TControlArgs(form.Handle(), 10, 180, 200, 200));
    combo.Add(name);
    TMenu menu(true);
    const TMenuItem& item = menu.Add(name, [] {});
    EXPECT_EQ(std::vector<std::string>(6, name),
              (std::vector<std::string>{form.Caption(), edit.Text(), list.Item(0), checks.Item(0),
                                        combo.Item(0), item.Caption()}));

    // The owner-drawn line (the file list) is the real characters drawn.
    TListBoxArgs args(form.Handle(), 220, 10, 170, 100);
    args.OwnerData = true;
    TListBox drawn(args);
    drawn.OnGetText = [&](int) { return name; };
    drawn.SetCount(1);
    EXPECT_TRUE(LinePixels(drawn) == LinePixels(drawn, real.c_str()));
}

TEST(OpenFiles, SeveralNamesBecomeFullPaths)
{
    EXPECT_EQ(std::vector<std::string>{"C:\\m\\a.avi"}, SplitOpenFileNames("C:\\m\\a.avi\0"));
    EXPECT_EQ((std::vector<std::string>{"C:\\m\\a.avi", "C:\\m\\表示.avi"}),
              SplitOpenFileNames("C:\\m\0a.avi\0表示.avi\0"));
    EXPECT_EQ((std::vector<std::string>{"C:\\a.avi", "C:\\b.avi"}),
              SplitOpenFileNames("C:\\\0a.avi\0b.avi\0"));
    // "ソ" ends with the byte of "\": the folder still needs its delimiter.
    EXPECT_EQ((std::vector<std::string>{"C:\\ソ\\a.avi", "C:\\ソ\\b.avi"}),
              SplitOpenFileNames("C:\\ソ\0a.avi\0b.avi\0"));
    EXPECT_TRUE(SplitOpenFileNames("").empty());
}
