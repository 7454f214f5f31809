#include "ui/UMainForm.h"

#include <commctrl.h>

#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "win/UApplication.h"
#include "win/UDialogs.h"
#include "playlist/UFileName.h"
#include "playlist/UFileSystem.h"

void (*FormCreateErrorHook)(const std::string& text) = nullptr;

namespace {
constexpr int DesignLeft = 502;
constexpr int DesignTop = 400;
constexpr int DesignClientWidth = 472;
constexpr int DesignClientHeight = 344;
}  // namespace

TMainForm::TMainForm(std::vector<std::string> args, TConfigFolders folders)
    : FArgs(std::move(args)), FFolders(std::move(folders))
{
    PlayLists = std::make_unique<TPlayLists>();
    TPlayList& temporary = PlayLists->Append("Temporary");
    Controller = std::make_unique<TController>(*this);
    Controller->SetPlayList(&temporary);
    LoadConfiguration();
    LoadPlayListNames();
    RestoreRecentPlayList();

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
    CreateComponents();
    OnShow = [this] { FormShow(); };
    OnHide = [this] { FormHide(); };
    OnClose = [this](TCloseAction& action) { FormClose(action); };
    FormCreate();
}

TMainForm::~TMainForm()
{
    try {
        FormDestroy();
    } catch (...) {
        Application->HandleCurrentException();
    }
    ListDropTarget.reset();
    MovieDropTarget.reset();
    Controller.reset();
    PlayLists.reset();
    MainMenu.reset();
    PlayWindowPopupMenu.reset();
    DestroyHandle();
}

void TMainForm::CreateParams(TCreateParams& params)
{
    // A taskbar button of its own, although it is not the application's main form.
    params.ExStyle |= WS_EX_APPWINDOW;
}

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
    list.Add("フォルダの追加(&F)...", nullptr);
    list.AddSubmenu("フォルダの削除(&R)");
    list.AddSeparator();
    list.AddSubmenu("フォルダのスキャン(&S)").Add("全部(&A)", nullptr);
    list.AddSeparator();
    list.Add("音量自動調整(&C)...", nullptr);

    TMenu& show = MainMenu->AddSubmenu("表示(&V)");
    show.Add("中央に表示(&C)", nullptr);
    show.Add("全画面表示(&F)", FullScreenAction, Alt(VK_RETURN));
    show.Add("最前面表示(&T)", TopMostAction, Ctrl('T'));
    TMenu& stretch = show.AddSubmenu("拡大縮小(&E)");
    stretch.Add("自動調整(&A)", nullptr);
    stretch.Add("50%(&S)", nullptr);
    stretch.Add("100%(&M)", nullptr);
    stretch.Add("200%(&L)", nullptr);
    show.AddSeparator();
    show.Add("動画ウインドウ表示(&V)", ShowMovieWindowAction);
    show.Add("タスクトレイに入れる(&H)", TrayModeAction, Ctrl(VK_F4));
    show.Add("スクリーンセーバー抑止(&S)", StopScreenSaverAction, Ctrl('R'));

    TMenu& play = MainMenu->AddSubmenu("再生(&P)");
    play.Add("再生／一時停止(&P)", nullptr, Ctrl('P'));
    play.Add("停止(&S)", nullptr, Ctrl('S'));
    play.Add("前のトラックへ(&B)", nullptr, Ctrl(VK_LEFT));
    play.Add("次のトラックへ(&F)", nullptr, Ctrl(VK_RIGHT));
    play.AddSeparator();
    play.Add("ランダム再生(&T)", RandomAction);
    play.Add("リピート再生(&R)", RepeatAction);
    play.AddSeparator();
    TMenu& volume = play.AddSubmenu("音量(&V)");
    volume.Add("上げる(&U)", nullptr, Ctrl(VK_UP));
    volume.Add("下げる(&D)", nullptr, Ctrl(VK_DOWN));
    volume.Add("ミュート(&M)", MuteAction);

    TMenu& options = MainMenu->AddSubmenu("設定(&C)");
    options.Add("環境設定(&G)...", [this] { G1Click(); });
    options.AddSeparator();
    options.Add("グローバルの設定(&A)...", nullptr);
    options.Add("リストの設定(&L)", PlayListConfigDlgAction);
    options.Add("ファイルの設定(&F)...", FileConfigDlgAction);
    options.AddSeparator();
    GUIC1 = &options.Add("GUI設定のクリア(&C)", [this] { GUIC1Click(); });

    TMenu& help = MainMenu->AddSubmenu("ヘルプ(&H)");
    help.Add("バージョン情報(&A)", nullptr).SetEnabled(false);

    PlayWindowPopupMenu = std::make_unique<TMenu>(true);
    TMenu& pw = *PlayWindowPopupMenu;
    pw.Add("再生／一時停止(&P)", nullptr);
    pw.Add("停止(&S)", nullptr);
    pw.Add("前のトラック(&B)", nullptr);
    pw.Add("次のトラック(&F)", nullptr);
    pw.AddSeparator();
    pw.Add("全画面表示(&A)", FullScreenAction);
    pw.Add("最前面表示(&T)", TopMostAction);
    pw.AddSeparator();
    pw.Add("終了(&X)", TerminateAction);

    MainMenu->AttachTo(Handle());
    SetAccelerators(MainMenu->Accelerators());

    TerminateAction.OnExecute = [this] { TerminateActionExecute(); };
    TrayModeAction.OnExecute = [this] { TrayModeActionExecute(); };
    for (TAction* a :
         {&UpdateAction, &FullScreenAction, &MuteAction, &RandomAction, &RepeatAction, &FileDeleteAction,
          &FileUpAction, &FileDownAction, &FileAddAction, &ShowMovieWindowAction, &TrayModeAction,
          &PlayListNewAction, &PlayListNameChangeAction, &PlayListDeleteAction, &StopScreenSaverAction,
          &TerminateAction, &PlayListConfigDlgAction, &FileConfigDlgAction, &TopMostAction})
        ActionList.Add(*a);
    // The update rules run while the main window shows (not in tray mode).
    UpdateAction.OnUpdate = [this] { UpdateActionUpdate(); };
    ActionList.Active = [this] { return Visible(); };
}

void TMainForm::CreateComponents()
{
    HWND h = Handle();
    ListCmb = CreateControl(h, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 8, 8, 456, 200);
    FileListBox =
        CreateControl(h, WC_LISTBOXA, "", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 8, 38,
                      456, 258, 0, WS_EX_CLIENTEDGE);
    auto button = [&](const char* caption, int left, TAction& action) {
        auto b = std::make_unique<TButton>(TControlArgs(h, left, 306, 60, 28, caption));
        action.Link(*b);
        FButtons.push_back(std::move(b));
    };
    auto check = [&](const char* caption, int left, TAction& action) {
        TCheckBoxArgs a(h, left, 306, 80, 28, caption);
        a.Auto = false;  // the mark follows the action
        auto b = std::make_unique<TCheckBox>(a);
        action.Link(*b);
        FButtons.push_back(std::move(b));
    };
    button("上", 8, FileUpAction);
    button("下", 74, FileDownAction);
    button("削除", 140, FileDeleteAction);
    button("追加", 206, FileAddAction);
    check("Random", 290, RandomAction);
    check("Repeat", 376, RepeatAction);
}

void TMainForm::FormCreate()
{
    try {
        Controller->SetPopupMenu(PlayWindowPopupMenu->Handle());
        ListDropTarget = std::make_unique<TDropRegistration>(
            FileListBox, [this](const std::vector<std::string>& files, POINTL) { AddDroppedFiles(files); });
        MovieDropTarget = std::make_unique<TDropRegistration>(
            Controller->MovieWindowHandle(),
            [this](const std::vector<std::string>& files, POINTL) { AddDroppedFiles(files); });
        ParseCommandLine(FArgs);
        RestoreWindowBounds();
        SetVisible(!TrayIcon.Visible());
    } catch (const std::exception& e) {
        if (FormCreateErrorHook)
            FormCreateErrorHook(e.what());
        else
            MessageBoxA(Handle(), e.what(), nullptr, MB_OK | MB_ICONHAND);
        Application->Terminate();
    }
}

void TMainForm::FormShow()
{
    ShowWindow(Application->Handle(), SW_HIDE);
    TrayIcon.SetVisible(false);
}

void TMainForm::FormHide() { TrayIcon.SetVisible(true); }

void TMainForm::FormClose(TCloseAction&)
{
    Controller->StopPlayback();
    Application->Terminate();
}

void TMainForm::FormDestroy()
{
    if (ListDropTarget) ListDropTarget->Revoke();
    if (MovieDropTarget) MovieDropTarget->Revoke();
    SaveConfiguration();
}

void TMainForm::LoadConfiguration()
{
    ConfigDir = LocateConfiguration(Controller->GlobalSetting(), FFolders, MultiUserAtLoad);
    Controller->ApplyEnvironment();
}

void TMainForm::SaveConfiguration()
{
    SaveCurrentPlayList();
    SaveRecent();
    SaveWindowBounds();
    SaveConfigurationTo(Controller->GlobalSetting(), FFolders, ConfigDir, MultiUserAtLoad, PendingConfigDir);
}

void TMainForm::SaveRecent()
{
    TPlayList* current = Controller->CurrentList();
    std::string name = !current ? std::string() : current->IsTemporary() ? "Temporary" : current->Name();
    WriteKey(Controller->GlobalSetting(), ConfigKey::Recent, name);
}

void TMainForm::RestoreWindowBounds()
{
    TSetting& global = Controller->GlobalSetting();
    {
        TSettingKey key(global, "\\");
        if (ReadKey(global, ConfigKey::RestoreWindowPosition, false))
            SetBounds(ReadKey(global, ConfigKey::BoundsLeft), ReadKey(global, ConfigKey::BoundsTop),
                      ReadKey(global, ConfigKey::BoundsWidth), ReadKey(global, ConfigKey::BoundsHeight));
    }
    RefreshListViews();
}

void TMainForm::SaveWindowBounds()
{
    TSetting& global = Controller->GlobalSetting();
    TSettingKey key(global, "\\");
    if (ReadKey(global, ConfigKey::RestoreWindowPosition, true)) {
        WriteKey(global, ConfigKey::RestoreWindowPosition, true);
        // A minimised window reports an off-screen rectangle: take its
        // normal position then.
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        RECT r = BoundsRect();
        if (IsIconic(Handle()) && GetWindowPlacement(Handle(), &wp)) r = wp.rcNormalPosition;
        WriteKey(global, ConfigKey::BoundsLeft, r.left);
        WriteKey(global, ConfigKey::BoundsTop, r.top);
        WriteKey(global, ConfigKey::BoundsWidth, r.right - r.left);
        WriteKey(global, ConfigKey::BoundsHeight, r.bottom - r.top);
    } else {
        WriteKey(global, ConfigKey::RestoreWindowPosition, false);
    }
}

void TMainForm::ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLine cl = ParseCommandLineArgs(args);
    if (!cl.ListName.empty()) {
        if (TPlayList* list = PlayLists->Find(cl.ListName)) {
            SelectPlayList(*list);
        } else {
            TPlayList& created = PlayLists->Append(cl.ListName);
            SelectPlayList(created);
            PlayLists->Sort();
            RefreshListViews();
        }
    } else if (!cl.Paths.empty()) {
        TPlayList& created = PlayLists->Append(PlayLists->NextTemporaryName());
        SelectPlayList(created);
        PlayLists->Sort();
        RefreshListViews();
    }
    Controller->StopPlayback();
    for (const std::string& path : cl.Paths) {
        // Relative paths are taken against the current folder; a path that
        // does not exist is left out.
        char full[MAX_PATH];
        DWORD n = path.empty() ? 0 : GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
        if (n == 0 || n >= MAX_PATH) continue;
        std::string resolved = FileSystem::ResolveLongPath(full);
        if (resolved.empty() || !(FileSystem::FileExists(resolved) || FileSystem::DirectoryExists(resolved)))
            continue;
        Controller->CurrentList()->Add(resolved);
    }
    RefreshFileList();
    if (cl.Show) {
        SetVisible(*cl.Show);
        TrayIcon.SetVisible(!*cl.Show);
        WriteKey(Controller->GUISetting(), ConfigKey::ShowControllWindow, *cl.Show);
    }
    if (cl.AutoPlay) Controller->Play();
}

void TMainForm::SelectPlayList(TPlayList& list)
{
    Controller->SetPlayList(&list);
    RefreshFileList();
}

void TMainForm::RefreshListViews()
{
    SendMessageA(ListCmb, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < PlayLists->Count(); ++i) {
        TPlayList& l = PlayLists->Items(i);
        SendMessageA(ListCmb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l.Name().c_str()));
        if (&l == Controller->CurrentList()) SendMessageA(ListCmb, CB_SETCURSEL, i, 0);
    }
    RefreshFileList();
}

void TMainForm::RefreshFileList()
{
    SendMessageA(FileListBox, LB_RESETCONTENT, 0, 0);
    TPlayList* list = Controller->CurrentList();
    for (int i = 0; list && i < list->FileCount(); ++i)
        SendMessageA(FileListBox, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(FileName::ExtractFileName(list->Files(i)).c_str()));
}

void TMainForm::AddDroppedFiles(const std::vector<std::string>& files)
{
    for (const std::string& f : files) Controller->CurrentList()->Add(f);
    RefreshFileList();
}

void TMainForm::GUIC1Click() { Controller->GUISetting().Clear(); }

void TMainForm::TerminateActionExecute()
{
    Controller->StopPlayback();
    Controller->EndLayered();
    Application->Terminate();
}

void TMainForm::TrayModeActionExecute()
{
    Hide();
    WriteKey(Controller->GUISetting(), ConfigKey::ShowControllWindow, false);
}

void TMainForm::RedisplayMenuClick()
{
    Show();
    WriteKey(Controller->GUISetting(), ConfigKey::ShowControllWindow, true);
}

void TMainForm::G1Click()
{
    std::string configDirText;
    if (StandIn::ShowEnvConfigDialog(Controller->GlobalSetting(), configDirText))
        PendingConfigDir = configDirText;
}

void TMainForm::UpdateActionUpdate()
{
    bool selected = SendMessageA(FileListBox, LB_GETCURSEL, 0, 0) != LB_ERR;
    if (selected != FileDeleteAction.Enabled()) {
        FileDeleteAction.SetEnabled(selected);
        FileUpAction.SetEnabled(selected);
        FileDownAction.SetEnabled(selected);
    }
}
