// The main window's menus, popups and controls against the tables they are
// built from, and the update rules seen the way the user sees them: the
// state of the menu items, buttons and check boxes after the application
// went idle.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/UFileSystem.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "tests/ui/MainFormFixture.h"
#include "tests/ui/MainFormProbe.h"
#include "ui/UConfigLocation.h"
#include "ui/UDummyMainForm.h"
#include "ui/UMainForm.h"

namespace {

// One line per item: the caption as shown (a tab, then the shortcut), "-"
// for a separator, " (off)" after a disabled item; submenus follow their
// item indented by two spaces.
void Describe(HMENU menu, const std::string& indent, std::vector<std::string>& out)
{
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            out.push_back(indent + "-");
            continue;
        }
        out.push_back(indent + text + (info.fState & MFS_GRAYED ? " (off)" : ""));
        if (info.hSubMenu) Describe(info.hSubMenu, indent + "  ", out);
    }
}

// Compares the lines of a menu with the table; a table line starting with
// "?" may be missing (an item another change may add).
void ExpectMenu(HMENU menu, const std::vector<std::string>& table, const char* name)
{
    std::vector<std::string> actual, expected;
    Describe(menu, "", actual);
    size_t a = 0;
    for (const std::string& line : table) {
        if (line[0] != '?') {
            expected.push_back(line);
            ++a;
        } else if (a < actual.size() && actual[a] == line.substr(1)) {
            expected.push_back(line.substr(1));
            ++a;
        }
    }
    EXPECT_EQ(expected, actual) << name;
}

// The menu and position of the first item whose caption starts with caption.
bool FindItem(HMENU menu, const std::string& caption, HMENU& found, int& pos)
{
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        if (std::string(text).compare(0, caption.size(), caption) == 0) {
            found = menu;
            pos = i;
            return true;
        }
        if (HMENU sub = GetSubMenu(menu, i))
            if (FindItem(sub, caption, found, pos)) return true;
    }
    return false;
}

UINT ItemState(HMENU menu, const std::string& caption)
{
    HMENU found = nullptr;
    int pos = 0;
    if (FindItem(menu, caption, found, pos)) return GetMenuState(found, pos, MF_BYPOSITION);
    ADD_FAILURE() << "no item " << caption;
    return 0;
}

bool MenuItemEnabled(HMENU menu, const std::string& caption)
{
    return !(ItemState(menu, caption) & (MF_GRAYED | MF_DISABLED));
}

bool MenuItemChecked(HMENU menu, const std::string& caption) { return ItemState(menu, caption) & MF_CHECKED; }

bool Checked(TCheckBox& box) { return SendMessageA(box.Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

struct MainFormMenus : MainFormFixture {
    void SetUp() override
    {
        MainFormFixture::SetUp();
        TSetting config;
        WriteKey(config, ConfigKey::ChangeDisplayMode, false);  // full screen without a mode switch
        config.SaveToFile(program + "config.ini");
    }
    HMENU Bar() const { return GetMenu(form->Handle()); }
    TMainFormView& View() { return Probe(*form).View(); }
    void Idle()
    {
        app->ProcessMessages();
        app->DoIdle();
    }
};

TEST_F(MainFormMenus, MenusPopupsAndControlsAsDesigned)
{
    Create();
    ExpectMenu(Bar(),
               {
                   "ファイル(&F)",
                   "  リストの新規作成(&N)...\tCtrl+N",
                   "  リスト名変更(&S)...\tCtrl+A",
                   "  リストの削除(&C)",
                   "  -",
                   "  終了(&X)",
                   "プレイリスト(&L)",
                   "  ファイルの追加(&A)...",
                   "  ファイルの削除(&D)",
                   "  -",
                   "  フォルダの追加(&F)...",
                   "  フォルダの削除(&R)",
                   "  -",
                   "  フォルダのスキャン(&S)",
                   "    全部(&A)",
                   "  -",
                   "  音量自動調整(&C)...",
                   "?  -",
                   "?  M3U8 に書き出し(&E)...",
                   "表示(&V)",
                   "  中央に表示(&C)",
                   "  全画面表示(&F)\tAlt+Enter",
                   "  最前面表示(&T)\tCtrl+T",
                   "  拡大縮小(&E)",
                   "    自動調整(&A)",
                   "    50%(&S)",
                   "    100%(&M)",
                   "    200%(&L)",
                   "  -",
                   "  動画ウインドウ表示(&V)",
                   "  タスクトレイに入れる(&H)\tCtrl+F4",
                   "  スクリーンセーバー抑止(&S)\tCtrl+R",
                   "再生(&P)",
                   "  再生／一時停止(&P)\tCtrl+P",
                   "  停止(&S)\tCtrl+S",
                   "  前のトラックへ(&B)\tCtrl+Left",
                   "  次のトラックへ(&F)\tCtrl+Right",
                   "  -",
                   "  ランダム再生(&T)",
                   "  リピート再生(&R)",
                   "  -",
                   "  音量(&V)",
                   "    上げる(&U)\tCtrl+Up",
                   "    下げる(&D)\tCtrl+Down",
                   "    ミュート(&M)",
                   "設定(&C)",
                   "  環境設定(&G)...",
                   "  -",
                   "  グローバルの設定(&A)...",
                   "  リストの設定(&L)",
                   "  ファイルの設定(&F)...",
                   "  -",
                   "  GUI設定のクリア(&C)",
                   "ヘルプ(&H)",
                   "  バージョン情報(&A) (off)",
               },
               "MainMenu");
    ExpectMenu(View().ListCmbPopup->Handle(), {"新規(&N)", "名前変更(&R)", "削除(&D)"}, "ListCmbPopup");
    // The disabled and hidden "プロパティ(&P)" is left out: a menu has no hidden items.
    ExpectMenu(View().FileListPopup->Handle(),
               {"再生(&P)", "-", "削除(&D)", "-", "上へ(&U)", "下へ(&L)", "-", "設定(&C)"}, "FileListPopup");
    ExpectMenu(View().TaskTrayRMenu->Handle(),
               {"プレイリスト(&L)", "  Temporary", "-", "再生/一時停止(&P)", "停止(&S)", "前へ(&B)",
                "次へ(&F)", "-", "終了(&X)"},
               "TaskTrayRMenu");
    ExpectMenu(View().TaskTrayLMenu->Handle(), {"再表示(&V)", "終了(&X)"}, "TaskTrayLMenu");
    ExpectMenu(View().PlayWindowPopupMenu->Handle(),
               {"再生／一時停止(&P)", "停止(&S)", "前のトラック(&B)", "次のトラック(&F)", "-",
                "全画面表示(&A)", "最前面表示(&T)", "-", "終了(&X)"},
               "PlayWindowPopupMenu");
    EXPECT_EQ("Reelo", Probe(*form).TrayIcon().TipHelp());

    std::vector<std::string> captions;
    for (TControl* c : std::initializer_list<TControl*>{View().Button1.get(), View().Button2.get(),
                                                        View().Button3.get(), View().Button4.get(),
                                                        View().CheckBox1.get(), View().CheckBox2.get()})
        captions.push_back(c->Text());
    EXPECT_EQ((std::vector<std::string>{"上", "下", "削除", "追加", "Random", "Repeat"}), captions);
    EXPECT_TRUE(errors.empty());
}

// Each toggle sets the opposite of the controller's value and records it in
// the GUI tree; the linked check box follows at the next idle.
TEST_F(MainFormMenus, TogglesWriteTheGuiTreeAndTheRulesFollow)
{
    Create();
    TController& c = Probe(*form).Controller();
    TSetting& gui = c.GUISetting();
    struct TToggle {
        TAction& Action;
        const TFlagKey& Key;
        std::function<bool()> Value;
        TCheckBox* Box;
    };
    const std::vector<TToggle> toggles = {
        {View().RandomAction, ConfigKey::Random, [&] { return c.Random(); }, View().CheckBox1.get()},
        {View().RepeatAction, ConfigKey::Repeat, [&] { return c.Repeat(); }, View().CheckBox2.get()},
        {View().MuteAction, ConfigKey::Mute, [&] { return c.Muted(); }, View().MuteChk.get()},
        {View().TopMostAction, ConfigKey::TopMost, [&] { return c.TopMost(); }, View().TopMostChk.get()},
        {View().StopScreenSaverAction, ConfigKey::StopScreenSaver, [&] { return c.ScreenSaverStopped(); },
         nullptr},
        {View().ShowMovieWindowAction, ConfigKey::ShowMovieWindow, [&] { return c.MovieWindowVisible(); },
         nullptr},
    };
    for (const TToggle& t : toggles) {
        for (int round = 0; round < 2; ++round) {
            const bool before = t.Value();
            ASSERT_TRUE(t.Action.Execute()) << t.Key.Path();
            EXPECT_NE(before, t.Value()) << t.Key.Path();
            EXPECT_EQ(t.Value(), ReadKey(gui, t.Key)) << t.Key.Path();
            Idle();
            EXPECT_EQ(t.Value(), t.Action.Checked()) << t.Key.Path();
            if (t.Box) {
                EXPECT_EQ(t.Value(), Checked(*t.Box)) << t.Key.Path();
            }
        }
    }
    const bool center = c.PlayCenter();
    Probe(*form).PlayCenterMenuClick();
    EXPECT_EQ(!center, ReadKey(gui, ConfigKey::PlayCenter));
    Idle();
    EXPECT_EQ(!center, MenuItemChecked(Bar(), "中央に表示(&C)"));

    // "50%" after "自動調整": the ratio is chosen and the stretch goes off.
    if (c.Stretch()) Probe(*form).StretchAutoMenuClick();
    Probe(*form).StretchAutoMenuClick();
    Idle();
    EXPECT_TRUE(MenuItemChecked(Bar(), "自動調整(&A)"));
    EXPECT_FALSE(MenuItemChecked(Bar(), "100%(&M)"));
    Probe(*form).ChooseStretchRatio(50);
    EXPECT_EQ(50, ReadKey(gui, ConfigKey::StretchRatio));
    EXPECT_FALSE(ReadKey(gui, ConfigKey::WindowStretchImage));  // so that the next entry keeps 50 %
    Idle();
    EXPECT_FALSE(MenuItemChecked(Bar(), "自動調整(&A)"));
    EXPECT_TRUE(MenuItemChecked(Bar(), "50%(&S)"));
    EXPECT_FALSE(MenuItemChecked(Bar(), "200%(&L)"));
    EXPECT_EQ("100%", View().VolumeLabel->Text());

    // Full screen: top-most and the stretch items are off, and the stretch
    // commands reached otherwise do nothing.
    ASSERT_TRUE(View().FullScreenAction.Execute());
    ASSERT_TRUE(c.FullScreen());
    EXPECT_TRUE(ReadKey(gui, ConfigKey::FullScreen));
    Idle();
    EXPECT_TRUE(Checked(*View().CheckBox3));
    EXPECT_FALSE(IsWindowEnabled(View().TopMostChk->Handle()));
    EXPECT_FALSE(MenuItemEnabled(Bar(), "最前面表示(&T)"));
    EXPECT_FALSE(MenuItemEnabled(View().PlayWindowPopupMenu->Handle(), "最前面表示(&T)"));
    for (const char* item : {"自動調整(&A)", "50%(&S)", "100%(&M)", "200%(&L)"})
        EXPECT_FALSE(MenuItemEnabled(Bar(), item)) << item;
    EXPECT_TRUE(MenuItemChecked(Bar(), "中央に表示(&C)"));
    const bool topMost = c.TopMost();
    EXPECT_FALSE(View().TopMostAction.Execute());
    Probe(*form).ChooseStretchRatio(200);
    Probe(*form).StretchAutoMenuClick();
    EXPECT_EQ(topMost, c.TopMost());
    EXPECT_EQ(50, c.StretchRatio());
    EXPECT_EQ(50, ReadKey(gui, ConfigKey::StretchRatio));
    ASSERT_TRUE(View().FullScreenAction.Execute());
    Idle();
    EXPECT_TRUE(MenuItemEnabled(Bar(), "200%(&L)"));
    EXPECT_TRUE(IsWindowEnabled(View().TopMostChk->Handle()));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(MainFormMenus, SelectionListsAndTrayMode)
{
    std::vector<std::string> files;
    const std::string media = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1));
    for (const char* name : {"a.wav", "b.wav"}) {
        files.push_back(media + "\\" + name);
        WriteWav(files.back(), 1);
    }
    Create(files);
    TController& c = Probe(*form).Controller();

    // Delete, up and down follow the selection, on the buttons and in both menus.
    Idle();
    for (TButton* b : {View().Button1.get(), View().Button2.get(), View().Button3.get()})
        EXPECT_FALSE(IsWindowEnabled(b->Handle()));
    EXPECT_TRUE(IsWindowEnabled(View().Button4->Handle()));
    EXPECT_FALSE(MenuItemEnabled(Bar(), "ファイルの削除(&D)"));
    for (const char* item : {"削除(&D)", "上へ(&U)", "下へ(&L)"})
        EXPECT_FALSE(MenuItemEnabled(View().FileListPopup->Handle(), item)) << item;
    View().FileListBox->SetItemIndex(1);
    Idle();
    EXPECT_TRUE(IsWindowEnabled(View().Button3->Handle()));
    EXPECT_TRUE(MenuItemEnabled(Bar(), "ファイルの削除(&D)"));
    EXPECT_TRUE(MenuItemEnabled(View().FileListPopup->Handle(), "上へ(&U)"));
    EXPECT_EQ("", View().PlayingLabel->Text());
    c.SetCurrentIndex(1);
    Idle();
    EXPECT_EQ("b", View().PlayingLabel->Text());

    // A list's own random setting comes back after switching away and back:
    // the switch empties the GUI tree.
    TPlayList& other = Probe(*form).PlayLists().Append("Other");
    other.SetLoaded(true);
    WriteKey(other.Setting(), ConfigKey::Random, true);
    Probe(*form).RefreshPlayListViews();
    const std::string first = c.CurrentList()->Name();
    Probe(*form).SelectPlayList(Probe(*form).PlayLists().IndexOf(&other));
    EXPECT_TRUE(c.Random());
    View().RandomAction.Execute();
    Idle();
    EXPECT_FALSE(Checked(*View().CheckBox1));
    Probe(*form).SelectPlayList(Probe(*form).PlayLists().FindPlayList(first));
    Idle();
    EXPECT_FALSE(Checked(*View().CheckBox1));
    Probe(*form).SelectPlayList(Probe(*form).PlayLists().IndexOf(&other));
    Idle();
    EXPECT_TRUE(Checked(*View().CheckBox1));

    // Hidden in the tray the rules rest; shown again they catch up.
    ASSERT_TRUE(View().TrayModeAction.Execute());
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(Probe(*form).TrayIcon().Visible());
    EXPECT_FALSE(ReadKey(c.GUISetting(), ConfigKey::ShowControllWindow, true));
    View().RepeatAction.Execute();
    Idle();
    EXPECT_FALSE(Checked(*View().CheckBox2));
    // The tray's double-click redisplays.
    SendMessageA(Probe(*form).TrayIcon().TaskTrayIcon().Handle(), WM_TASKTRAY_NOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(Probe(*form).TrayIcon().Visible());
    EXPECT_TRUE(ReadKey(c.GUISetting(), ConfigKey::ShowControllWindow, false));
    Idle();
    EXPECT_TRUE(Checked(*View().CheckBox2));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// What a timer saw inside a modal dialog's own loop.
struct TSeen {
    TController* Controller = nullptr;
    std::string Caption;
    bool TopMost = true;
    int Button = IDOK;
    std::string Check;  // the caption of a check box to click first
} Seen;

BOOL CALLBACK ClickCheck(HWND wnd, LPARAM)
{
    char text[256] = {};
    GetWindowTextA(wnd, text, sizeof text);
    if (Seen.Check == text) SendMessageA(wnd, BM_CLICK, 0, 0);
    return Seen.Check != text;
}

void CALLBACK LookAndClose(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = GetActiveWindow();
    char caption[256] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    if (std::string(caption).find("の設定") == std::string::npos) return;  // not up yet
    KillTimer(nullptr, id);
    Seen.Caption = caption;
    Seen.TopMost = Seen.Controller->TopMost();
    if (!Seen.Check.empty()) EnumChildWindows(dialog, ClickCheck, 0);
    HWND button = FindWindowExA(dialog, nullptr, "Button", Seen.Button == IDOK ? "OK" : "キャンセル");
    if (button)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(dialog, WM_CLOSE, 0, 0);
}

TEST_F(MainFormMenus, SettingsDialogsForEachLevel)
{
    const std::string file = FileSystem::ResolveLongPath(program.substr(0, program.size() - 1)) + "\\曲.wav";
    WriteWav(file, 1);
    Create({file});
    TController& c = Probe(*form).Controller();
    Seen = TSeen{};
    Seen.Controller = &c;
    View().TopMostAction.Execute();
    View().RepeatAction.Execute();
    ASSERT_TRUE(c.TopMost());

    // Cancel: top-most is off while the dialog shows and comes back; the GUI
    // tree keeps its values.
    Seen.Button = IDCANCEL;
    SetTimer(nullptr, 0, 100, LookAndClose);
    Probe(*form).D2Click();
    EXPECT_EQ("グローバルの設定", Seen.Caption);
    EXPECT_FALSE(Seen.TopMost);
    EXPECT_TRUE(c.TopMost());
    EXPECT_TRUE(KeyIsSet(c.GUISetting(), ConfigKey::Repeat));

    // OK on the list's settings without a change keeps what was toggled.
    Seen.Button = IDOK;
    SetTimer(nullptr, 0, 100, LookAndClose);
    View().PlayListConfigDlgAction.Execute();
    EXPECT_EQ(c.CurrentList()->Name() + "の設定", Seen.Caption);
    EXPECT_TRUE(KeyIsSet(c.GUISetting(), ConfigKey::Repeat));

    // The file's settings need a selected line.
    Seen.Caption.clear();
    View().FileConfigDlgAction.Execute();
    EXPECT_EQ("", Seen.Caption);
    View().FileListBox->SetItemIndex(0);
    SetTimer(nullptr, 0, 100, LookAndClose);
    View().FileConfigDlgAction.Execute();
    EXPECT_EQ("曲の設定", Seen.Caption);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// OK in a settings dialog while a movie plays changes what the user changed
// there, and nothing else: not the movie, its window, the entry or a toggle.
TEST_F(MainFormMenus, SettingsDialogsLeaveThePlayingMovieAlone)
{
    Create({ControllerMedia("movie.avi"), ControllerMedia("movie.avi")});
    TController& c = Probe(*form).Controller();
    Seen = TSeen{};
    Seen.Controller = &c;
    View().FileListBox->SetItemIndex(1);
    Probe(*form).PlayCommand();
    View().MuteAction.Execute();
    c.PausePlayback();  // so that it does not end while the dialogs show
    SetTimer(nullptr, 0, 100, LookAndClose);
    Probe(*form).D2Click();
    EXPECT_TRUE(c.Paused());
    EXPECT_TRUE(c.MovieWindowVisible());
    EXPECT_TRUE(c.Muted());
    EXPECT_EQ(1, c.CurrentIndex());
    Seen.Check = "ミュート";  // set at the list's level, "オフ": applied at once
    SetTimer(nullptr, 0, 100, LookAndClose);
    View().PlayListConfigDlgAction.Execute();
    EXPECT_FALSE(c.Muted());
    EXPECT_TRUE(c.Paused());
    EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
