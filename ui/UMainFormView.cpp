#include "ui/UMainFormView.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/UMainForm.h"
#include "win/UDpi.h"

namespace {
// The window as designed, in design units.
constexpr int DesignLeft = 502;
constexpr int DesignTop = 400;
constexpr int DesignClientWidth = 472;
constexpr int DesignClientHeight = 344;
}  // namespace

// ------------------------------------------------------------ the window

void TMainForm::CreateView()
{
    MainMenu = std::make_unique<TMenu>(false);
    TCreateParams p;
    p.ClassName = "TMainForm";
    p.Caption = "Reelo";
    p.Left = DesignLeft;
    p.Top = DesignTop;
    p.ClientWidth = DesignClientWidth;
    p.ClientHeight = DesignClientHeight;
    p.Menu = MainMenu->Handle();
    CreateHandle(p);
    CreateMenus();
    CreatePopupMenus();
    CreateControls(Handle());
    Layout(Handle());
}

void TMainForm::CreateParams(TCreateParams& params)
{
    // A taskbar button of its own, although it is not the application's main form.
    params.ExStyle |= WS_EX_APPWINDOW;
}

// ------------------------------------------------------------ menus

void TMainForm::CreateMenus()
{
    TMenu& file = MainMenu->AddSubmenu("ファイル(&F)");
    file.Add("リストの新規作成(&N)...", PlayListNewAction, Ctrl('N'));
    file.Add("リスト名変更(&S)...", PlayListNameChangeAction, Ctrl('A'));
    file.Add("リストの削除(&C)", PlayListDeleteAction);
    file.AddSeparator();
    file.Add("終了(&X)", TerminateAction);

    TMenu& list = MainMenu->AddSubmenu("プレイリスト(&L)");
    list.Add("ファイルの追加(&A)...", FileAddAction);
    list.Add("ファイルの削除(&D)", FileDeleteAction);
    list.AddSeparator();
    list.Add("フォルダの追加(&F)...", [this] { F3Click(); });
    RemoveDirMenu = &list.AddSubmenu("フォルダの削除(&R)");
    list.AddSeparator();
    ScanDirMenu = &list.AddSubmenu("フォルダのスキャン(&S)");
    ScanDirMenu->Add("全部(&A)", [this] { A4Click(); });
    list.AddSeparator();
    list.Add("音量自動調整(&C)...", [this] { C2Click(); });
    list.AddSeparator();
    list.Add("M3U8 に書き出し(&E)...", [this] { ExportM3U8MenuClick(); });

    TMenu& show = MainMenu->AddSubmenu("表示(&V)");
    PlayCenterMenu = &show.Add("中央に表示(&C)", [this] { PlayCenterMenuClick(); });
    show.Add("全画面表示(&F)", FullScreenAction, Alt(VK_RETURN));
    show.Add("最前面表示(&T)", TopMostAction, Ctrl('T'));
    TMenu& stretch = show.AddSubmenu("拡大縮小(&E)");
    StretchAutoMenu = &stretch.Add("自動調整(&A)", [this] { StretchAutoMenuClick(); });
    StretchSmallMenu = &stretch.Add("50%(&S)", [this] { ChooseStretchRatio(50); });
    StretchNormalMenu = &stretch.Add("100%(&M)", [this] { ChooseStretchRatio(100); });
    StretchLargeMenu = &stretch.Add("200%(&L)", [this] { ChooseStretchRatio(200); });
    show.AddSeparator();
    show.Add("動画ウインドウ表示(&V)", ShowMovieWindowAction);
    show.Add("タスクトレイに入れる(&H)", TrayModeAction, Ctrl(VK_F4));
    show.Add("スクリーンセーバー抑止(&S)", StopScreenSaverAction, Ctrl('R'));

    TMenu& play = MainMenu->AddSubmenu("再生(&P)");
    play.Add(
        "再生／一時停止(&P)", [this] { PlayPauseMenuClick(); }, Ctrl('P'));
    play.Add(
        "停止(&S)", [this] { StopCommand(); }, Ctrl('S'));
    play.Add(
        "前のトラックへ(&B)", [this] { PrevTrackCommand(); }, Ctrl(VK_LEFT));
    play.Add(
        "次のトラックへ(&F)", [this] { NextTrackCommand(); }, Ctrl(VK_RIGHT));
    play.AddSeparator();
    play.Add("ランダム再生(&T)", RandomAction);
    play.Add("リピート再生(&R)", RepeatAction);
    play.AddSeparator();
    TMenu& volume = play.AddSubmenu("音量(&V)");
    volume.Add(
        "上げる(&U)", [this] { U1Click(); }, Ctrl(VK_UP));
    volume.Add(
        "下げる(&D)", [this] { D1Click(); }, Ctrl(VK_DOWN));
    volume.Add("ミュート(&M)", MuteAction);

    TMenu& options = MainMenu->AddSubmenu("設定(&C)");
    options.Add("環境設定(&G)...", [this] { G1Click(); });
    options.AddSeparator();
    options.Add("グローバルの設定(&A)...", [this] { D2Click(); });
    options.Add("リストの設定(&L)", PlayListConfigDlgAction);
    options.Add("ファイルの設定(&F)...", FileConfigDlgAction);
    options.AddSeparator();
    GUIC1 = &options.Add("GUI設定のクリア(&C)", [this] { GUIC1Click(); });

    TMenu& help = MainMenu->AddSubmenu("ヘルプ(&H)");
    help.Add("バージョン情報(&A)", nullptr).SetEnabled(false);

    MainMenu->AttachTo(Handle());
    SetAccelerators(MainMenu->Accelerators());
}

void TMainForm::CreatePopupMenus()
{
    ListCmbPopup = std::make_unique<TMenu>(true);
    ListCmbPopup->Add("新規(&N)", PlayListNewAction);
    ListCmbPopup->Add("名前変更(&R)", PlayListNameChangeAction);
    ListCmbPopup->Add("削除(&D)", PlayListDeleteAction);

    FileListPopup = std::make_unique<TMenu>(true);
    FileListPopup->Add("再生(&P)", [this] { PlayCommand(); });
    FileListPopup->AddSeparator();
    FileListPopup->Add("削除(&D)", FileDeleteAction);
    FileListPopup->AddSeparator();
    FileListPopup->Add("上へ(&U)", FileUpAction);
    FileListPopup->Add("下へ(&L)", FileDownAction);
    FileListPopup->AddSeparator();
    FileListPopup->Add("設定(&C)", FileConfigDlgAction);

    TaskTrayRMenu = std::make_unique<TMenu>(true);
    PlayListPopup = &TaskTrayRMenu->AddSubmenu("プレイリスト(&L)");
    TaskTrayRMenu->AddSeparator();
    TaskTrayRMenu->Add("再生/一時停止(&P)", [this] { PlayPauseMenuClick(); });
    TaskTrayRMenu->Add("停止(&S)", [this] { StopCommand(); });
    TaskTrayRMenu->Add("前へ(&B)", [this] { PrevTrackCommand(); });
    TaskTrayRMenu->Add("次へ(&F)", [this] { NextTrackCommand(); });
    TaskTrayRMenu->AddSeparator();
    TaskTrayRMenu->Add("終了(&X)", TerminateAction);

    TaskTrayLMenu = std::make_unique<TMenu>(true);
    TaskTrayLMenu->Add("再表示(&V)", [this] { RedisplayMenuClick(); });
    TaskTrayLMenu->Add("終了(&X)", TerminateAction);

    PlayWindowPopupMenu = std::make_unique<TMenu>(true);
    TMenu& pw = *PlayWindowPopupMenu;
    pw.Add("再生／一時停止(&P)", [this] { PlayPauseMenuClick(); });
    pw.Add("停止(&S)", [this] { StopCommand(); });
    pw.Add("前のトラック(&B)", [this] { PrevTrackCommand(); });
    pw.Add("次のトラック(&F)", [this] { NextTrackCommand(); });
    pw.AddSeparator();
    pw.Add("全画面表示(&A)", FullScreenAction);
    pw.Add("最前面表示(&T)", TopMostAction);
    pw.AddSeparator();
    pw.Add("終了(&X)", TerminateAction);

    TrayIcon.SetTipHelp("Reelo");
    TrayIcon.LButtonPopupMenu = TaskTrayLMenu.get();
    TrayIcon.RButtonPopupMenu = TaskTrayRMenu.get();
}

// ------------------------------------------------------------ controls

namespace {

// The controls' places, in the order ControlBounds pairs them with the controls.
enum TSlot {
    slListCmb,
    slFileListBox,
    slUp,
    slDown,
    slDelete,
    slAdd,
    slRandom,
    slRepeat,
    slTransport,
    slFullScreen,
    slTopMost,
    slSeek,
    slTime,
    slPlaying,
    slVolLabel,
    slVolume,
    slVolumeValue,
    slMute,
    slCount
};

std::array<TDesignRect, slCount> SlotBounds(int width, int height)
{
    const int w = std::max(300, width), h = std::max(300, height);
    const int rowButtons = h - 152, rowTransport = h - 122, rowSeek = h - 90, rowPlaying = h - 60,
              rowVolume = h - 34;
    return {{
        {8, 8, w - 16, 200},  // with the list dropped down
        {8, 36, w - 16, rowButtons - 42},
        {8, rowButtons, 44, 24},
        {56, rowButtons, 44, 24},
        {104, rowButtons, 52, 24},
        {160, rowButtons, 52, 24},
        {228, rowButtons, 76, 24},
        {308, rowButtons, 76, 24},
        {8, rowTransport, 300, 28},
        {w - 164, rowTransport + 2, 76, 24},
        {w - 84, rowTransport + 2, 76, 24},
        {4, rowSeek, w - 68, 26},
        {w - 60, rowSeek + 5, 52, 18},
        {8, rowPlaying, w - 16, 18},
        {8, rowVolume + 6, 30, 18},
        {40, rowVolume, 200, 28},
        {244, rowVolume + 6, 44, 18},
        {300, rowVolume + 2, 76, 24},
    }};
}

}  // namespace

void TMainFormView::CreateControls(HWND parent)
{
    // Each control is made where Layout would put it in parent as it is now.
    RECT client;
    GetClientRect(parent, &client);
    const UINT dpi = WindowDpi(parent);
    const auto at = SlotBounds(ScaleFromDpi(client.right, dpi), ScaleFromDpi(client.bottom, dpi));
    auto args = [ parent, &at ](auto& a, TSlot slot, const std::string& text, UINT id = 0) -> auto&
    {
        a.Parent = parent;
        a.Text = text;
        a.Id = id;
        a.Left = at[slot].Left;
        a.Top = at[slot].Top;
        a.Width = at[slot].Width;
        a.Height = at[slot].Height;
        return a;
    };
    {
        TControlArgs a;
        ListCmb = std::make_unique<TComboBox>(args(a, slListCmb, "", idListCmb));
    }
    {
        TListBoxArgs a;
        a.OwnerData = true;
        FileListBox = std::make_unique<TListBox>(args(a, slFileListBox, "", idFileListBox));
    }
    auto button = [&](TSlot slot, const char* caption) {
        TControlArgs a;
        return std::make_unique<TButton>(args(a, slot, caption));
    };
    Button1 = button(slUp, "上");
    Button2 = button(slDown, "下");
    Button3 = button(slDelete, "削除");
    Button4 = button(slAdd, "追加");
    auto check = [&](TSlot slot, const char* caption) {
        TCheckBoxArgs a;
        a.Auto = false;  // the mark follows the action
        return std::make_unique<TCheckBox>(args(a, slot, caption));
    };
    CheckBox1 = check(slRandom, "Random");
    CheckBox2 = check(slRepeat, "Repeat");
    CheckBox3 = check(slFullScreen, "全画面");
    TopMostChk = check(slTopMost, "最前面");
    MuteChk = check(slMute, "Mute");
    {
        TButtonBarArgs a;
        a.Buttons = {
            {btPlay, "再生"}, {btPause, "一時停止"}, {btStop, "停止"}, {btNext, "次へ"}, {btPrev, "前へ"}};
        MediaController = std::make_unique<TButtonBar>(args(a, slTransport, "", idMediaController));
        MediaController->SetButtonVisible(btPause, false);
    }
    {
        TTrackBarArgs a;
        a.Min = 0;
        a.Max = 10000;
        a.NoTicks = true;
        a.PageSize = 500;
        a.LineSize = 0;
        a.ThumbLength = 15;
        FrameBar = std::make_unique<TTrackBarEx>(args(a, slSeek, "", idFrameBar));
        FrameBar->SetEnabled(false);
    }
    {
        TTrackBarArgs a;
        a.Min = 0;
        a.Max = 100;
        VolumeBar = std::make_unique<TTrackBar>(args(a, slVolume, "", idVolumeBar));
        SendMessageA(VolumeBar->Handle(), TBM_SETTICFREQ, 10, 0);
        VolumeBar->SetPosition(100);
    }
    auto label = [&](TSlot slot, const std::string& text, UINT id, DWORD style = 0) {
        TControlArgs a;
        a.Style = style | SS_NOPREFIX;
        return std::make_unique<TLabel>(args(a, slot, text, id));
    };
    TimeLabel = label(slTime, "00:00", idTimeLabel, SS_RIGHT);
    PlayingLabel = label(slPlaying, "", idPlayingLabel, SS_ENDELLIPSIS);
    VolLabel = label(slVolLabel, "Vol.", 0);
    VolumeLabel = label(slVolumeValue, "0", idVolumeLabel);
    FLaidOut = {client.right, client.bottom, dpi};

    RandomAction.Link(*CheckBox1);
    RepeatAction.Link(*CheckBox2);
    FullScreenAction.Link(*CheckBox3);
    TopMostAction.Link(*TopMostChk);
    MuteAction.Link(*MuteChk);
    FileUpAction.Link(*Button1);
    FileDownAction.Link(*Button2);
    FileDeleteAction.Link(*Button3);
    FileAddAction.Link(*Button4);
}

std::vector<std::pair<TControl*, TDesignRect>> TMainFormView::ControlBounds(int width, int height) const
{
    const std::array<TControl*, slCount> controls = {
        ListCmb.get(),    FileListBox.get(), Button1.get(),   Button2.get(),         Button3.get(),
        Button4.get(),    CheckBox1.get(),   CheckBox2.get(), MediaController.get(), CheckBox3.get(),
        TopMostChk.get(), FrameBar.get(),    TimeLabel.get(), PlayingLabel.get(),    VolLabel.get(),
        VolumeBar.get(),  VolumeLabel.get(), MuteChk.get()};
    const auto bounds = SlotBounds(width, height);
    std::vector<std::pair<TControl*, TDesignRect>> result;
    for (int i = 0; i < slCount; ++i) result.emplace_back(controls[i], bounds[i]);
    return result;
}

void TMainFormView::Layout(HWND parent)
{
    if (!FileListBox) return;
    RECT c;
    GetClientRect(parent, &c);
    const UINT dpi = WindowDpi(parent);
    // Showing the window sends a WM_SIZE of the size it was made with.
    const TLaidOut now = {c.right, c.bottom, dpi};
    if (now.Width == FLaidOut.Width && now.Height == FLaidOut.Height && now.Dpi == FLaidOut.Dpi) return;
    FLaidOut = now;
    for (const auto& [control, r] : ControlBounds(ScaleFromDpi(c.right, dpi), ScaleFromDpi(c.bottom, dpi)))
        control->SetBounds(r.Left, r.Top, r.Width, r.Height);
}
