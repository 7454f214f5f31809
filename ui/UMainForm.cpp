#include "ui/UMainForm.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>

#include "base/UCodePage.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "playlist/UFolderScan.h"
#include "playlist/UM3U.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "ui/UAutoAdjustDlg.h"
#include "ui/UEnvConfigDialog.h"
#include "ui/UPlayConfigDlg.h"
#include "ui/UScanResultDlg.h"
#include "win/UApplication.h"
#include "win/UDialogs.h"
#include "win/UScreenText.h"

void (*FormCreateErrorHook)(const std::string& text) = nullptr;
int (*MainFormAskHook)(const std::string& text, const std::string& caption, UINT flags) = nullptr;

namespace {
using TToggle = TController::TToggle;

const char* const OpenDialogFilter =
    "メディアファイル(*.avi;*.mpg;*.mpeg;*.wav;*.mp3)|*.avi;*.mpg;*.mpeg;*.wav;*.mp3|"
    "動画ファイル(*.avi;*.mpg;*.mpeg)|*.avi;*.mpg;*.mpeg|音楽ファイル(*.wav;*.mp3)|*.wav;*.mp3|"
    "全てのファイル(*.*)|*.*|プレイリスト(*.m3u;*.m3u8)|*.m3u;*.m3u8";
const char* const ExportDialogFilter = "M3U8 プレイリスト(*.m3u8)|*.m3u8|全てのファイル(*.*)|*.*";

// "a|b|c|d" as the open-file dialog wants it ("a\0b\0c\0d\0\0"); a "|"
// that is the trail byte of a double-byte character stays.
std::string DialogFilter(const std::string& filter)
{
    std::string s = filter;
    for (size_t i = 0; i < s.size(); ++i) {
        if (FileName::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size())
            ++i;
        else if (s[i] == '|')
            s[i] = '\0';
    }
    s.push_back('\0');
    return s;
}

// A menu caption showing text as it is ("&" is no mnemonic there).
std::string MenuText(const std::string& text)
{
    std::string s;
    for (char c : text) {
        s += c;
        if (c == '&') s += '&';  // never a trail byte (those start at 0x40)
    }
    return s;
}

void SetTextIfChanged(TControl& control, const std::string& text)
{
    if (control.Text() != text) control.SetText(text);
}

// Writes the value unless the tree holds it already, so that writing what
// is there changes nothing the autosave would see.
template <class Key, class Value>
void WriteKeyIfChanged(TSetting& setting, const Key& key, const Value& value)
{
    bool same = false;
    try {
        same = KeyIsSet(setting, key) && ReadKey(setting, key, value) == value;
    } catch (const Exception&) {
        // stored as another kind: written anew
    }
    if (!same) WriteKey(setting, key, value);
}

// Shown by the application's handler from the message loop, once the window
// is up: for failures that do not stop what is under way.
void ShowLater(const std::string& message)
{
    Application->Post([message] { throw Exception(message); });
}
}  // namespace

// ------------------------------------------------------------ construction

TMainForm::TMainForm(std::vector<std::string> args, TConfigFolders folders)
    : FArgs(std::move(args)), FFolders(std::move(folders))
{
    PlayLists = std::make_unique<TPlayLists>([this] {
        // Until the controller has read the environment, lists live in the
        // configuration folder.
        return Controller && !Controller->PlayListDir().empty() ? Controller->PlayListDir() : ConfigDir;
    });
    // Its name is a good file name. Testing it here, in the program folder
    // (the configuration is not located yet), could only fail where that
    // folder is read-only: just where multi-user mode is used.
    TPlayList& temporary = PlayLists->Append(PlayLists->Create(TemporaryListName, false));
    Controller = std::make_unique<TController>();
    Controller->SetPlayList(&temporary);
    LoadConfiguration();
    FProgramMultiUser = MultiUserAtLoad;
    FSettingsStamp = TSetting::LatestStamp();
    LoadPlayListNames();
    RestoreRecentPlayList();

    CreateView();
    BindActions();
    OnShow = [this] { FormShow(); };
    OnHide = [this] { FormHide(); };
    OnClose = [this](TCloseAction& action) { FormClose(action); };
    OnMessage = [this](UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
        if (msg == WM_SIZE) Layout(Handle());
        if (msg == WM_APPCOMMAND && OnAppCommand && OnAppCommand(GET_APPCOMMAND_LPARAM(lp))) {
            result = TRUE;
            return true;
        }
        return false;
    };
    Controller->MainWindowShown = [this] { return Visible(); };
    Controller->OnMainWindowWanted = [this](bool show) { SetVisible(show); };
    Controller->OnPopupCommand = [](UINT id) { Application->DispatchCommand(id, 0); };
    Controller->OnPlayError = [this](const std::string& fileName, const std::string& message, bool gaveUp) {
        PlayError(fileName, message, gaveUp);
    };
    FPlayErrorIdle = Application->AddIdleHandler([this] { ShowPlayErrors(); });
    FormCreate();
    SaveTimer.OnTimer = [this] {
        SaveTimer.SetEnabled(false);  // the idle that follows looks again
        FTimerDue = 0;
    };
    FSaveIdleId = Application->AddIdleHandler([this] { SaveChanges(); });
    Application->OnEndSession = [this] { SessionEnding(); };
}

TMainForm::~TMainForm()
{
    if (Application) {
        Application->OnEndSession = nullptr;
        Application->RemoveIdleHandler(FSaveIdleId);
    }
    SaveTimer.SetEnabled(false);
    try {
        FormDestroy();
    } catch (...) {
        Application->HandleCurrentException();
    }
    ActionList.Active = [] { return false; };
    Application->RemoveIdleHandler(FPlayErrorIdle);
    ListDropTarget.reset();
    MovieDropTarget.reset();
    try {
        TrayIcon.SetVisible(false);
    } catch (...) {
        Application->HandleCurrentException();
    }
    Controller.reset();
    FileListBox.reset();  // it reads the lists while it draws
    PlayLists.reset();
    DestroyHandle();
}

void TMainForm::BindActions()
{
    FullScreenAction.OnExecute = [this] { FullScreenActionExecute(); };
    MuteAction.OnExecute = [this] { MuteActionExecute(); };
    RandomAction.OnExecute = [this] { RandomActionExecute(); };
    RepeatAction.OnExecute = [this] { RepeatActionExecute(); };
    FileDeleteAction.OnExecute = [this] { FileDeleteActionExecute(); };
    FileUpAction.OnExecute = [this] { FileUpActionExecute(); };
    FileDownAction.OnExecute = [this] { FileDownActionExecute(); };
    FileAddAction.OnExecute = [this] { FileAddActionExecute(); };
    ShowMovieWindowAction.OnExecute = [this] { ShowMovieWindowActionExecute(); };
    TrayModeAction.OnExecute = [this] { TrayModeActionExecute(); };
    PlayListNewAction.OnExecute = [this] { PlayListNewActionExecute(); };
    PlayListNameChangeAction.OnExecute = [this] { PlayListNameChangeActionExecute(); };
    PlayListDeleteAction.OnExecute = [this] { PlayListDeleteActionExecute(); };
    StopScreenSaverAction.OnExecute = [this] { StopScreenSaverActionExecute(); };
    TerminateAction.OnExecute = [this] { TerminateActionExecute(); };
    TopMostAction.OnExecute = [this] { TopMostActionExecute(); };
    PlayListConfigDlgAction.OnExecute = [this] { PlayListConfigDlgActionExecute(); };
    FileConfigDlgAction.OnExecute = [this] { FileConfigDlgActionExecute(); };

    ListCmb->OnChange = [this] { ListCmbChange(); };
    ListCmb->OnContextMenu = [this](int x, int y) { ShowPopup(*ListCmbPopup, *ListCmb, x, y); };
    FileListBox->OnGetText = [this](int index) { return FileListText(index); };
    FileListBox->OnDblClick = [this] { FileListBoxDblClick(); };
    FileListBox->OnContextMenu = [this](int x, int y) {
        if (x != -1 || y != -1) {
            // The line under the pointer becomes the selection.
            POINT pt{x, y};
            ScreenToClient(FileListBox->Handle(), &pt);
            const LRESULT r =
                SendMessageA(FileListBox->Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
            if (HIWORD(r) == 0) FileListBox->SetItemIndex(LOWORD(r));
        }
        ShowPopup(*FileListPopup, *FileListBox, x, y);
    };
    MediaController->OnClick = [this](int id) { MediaControllerClick(id); };
    FrameBar->OnMouseDown = [this](TMouseButton b, UINT keys, int x, int y) {
        FrameBarMouseDown(b, keys, x, y);
    };
    FrameBar->OnMouseUp = [this](TMouseButton b, UINT keys, int x, int y) { FrameBarMouseUp(b, keys, x, y); };
    FrameTimer.OnTimer = [this] { FrameTimerTimer(); };
    VolumeBar->OnChange = [this] { VolumeBarChange(); };
    TrayIcon.OnDblClick = [this] { RedisplayMenuClick(); };

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

void TMainForm::ShowPopup(TMenu& menu, TControl& control, int x, int y)
{
    if (x == -1 && y == -1) {
        RECT r;
        GetWindowRect(control.Handle(), &r);
        x = r.left + 8;
        y = r.top + 8;
    }
    menu.Popup(Handle(), x, y);
}

int TMainForm::Ask(const std::string& text, const std::string& caption, UINT flags)
{
    if (MainFormAskHook) return MainFormAskHook(text, caption, flags);
    return ShowMessageBox(Handle(), text, caption, flags);
}

// ------------------------------------------------------ start-up, shutdown

void TMainForm::FormCreate()
{
    try {
        Controller->SetPopupMenu(PlayWindowPopupMenu->Handle());
        ListDropTarget = std::make_unique<TDropRegistration>(
            FileListBox->Handle(),
            [this](const std::vector<std::string>& files, POINTL) { DropOnFileList(files); });
        MovieDropTarget = std::make_unique<TDropRegistration>(
            Controller->MovieWindowHandle(),
            [this](const std::vector<std::string>& files, POINTL) { DropOnMovieWindow(files); });
        ParseCommandLine(FArgs);
        RestoreWindowBounds();
        SetVisible(!TrayIcon.Visible());
    } catch (const std::exception& e) {
        if (FormCreateErrorHook)
            FormCreateErrorHook(e.what());
        else
            MessageBoxString(Handle(), e.what(), {}, MB_OK | MB_ICONHAND);
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
    std::string failures;
    auto step = [&failures](const std::function<void()>& save) {
        try {
            save();
        } catch (const std::exception& e) {
            failures += std::string("\r\n") + e.what();
        } catch (...) {
            failures += "\r\n不明なエラーが発生しました";
        }
    };
    step([this] { SaveCurrentPlayList(); });
    step([this] { SaveRecent(); });
    step([this] { SaveWindowBounds(); });
    step([this] { SaveSettingsFile(); });
    if (!failures.empty()) throw Exception("設定またはプレイリストを保存できませんでした。" + failures);
}

void TMainForm::SaveSettingsFile()
{
    TSetting& global = Controller->GlobalSetting();
    const bool multiUser = ReadKey(global, ConfigKey::MultiUser);
    // Switched and switched back in one run: an earlier save of this run
    // recorded the flag, which is put right again.
    if (multiUser == MultiUserAtLoad && multiUser != FProgramMultiUser)
        WriteMultiUserFlag(FFolders.ProgramDir, multiUser);
    SaveConfigurationTo(global, FFolders, ConfigDir, MultiUserAtLoad, PendingConfigDir);
    FProgramMultiUser = multiUser;
    FSettingsStamp = TSetting::LatestStamp();
    FSettingsPending = PendingConfigDir;
}

// Windows ends the process as soon as its windows have answered. Failures
// are not shown: a message box would only hold the log-off up, and nobody
// would see it.
void TMainForm::SessionEnding()
{
    try {
        SaveConfiguration();
    } catch (...) {
    }
}

bool TMainForm::SettingsChanged() const
{
    return Controller->GlobalSetting().Stamp() > FSettingsStamp || PendingConfigDir != FSettingsPending;
}

bool TMainForm::CurrentListChanged(const std::string& file) const
{
    // A list that is not loaded is never written over its file.
    const TPlayList& list = CurrentList();
    return list.Loaded() && !FListMarks.Unchanged(list, file);
}

void TMainForm::SaveChanges()
{
    if (FSaving) return;
    // Not while a modal dialog is up: the idle after it comes soon enough.
    if (!IsWindowEnabled(Handle())) return;
    FSaving = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FSaving};
    const uint64_t now = GetTickCount64();
    // Failures are told once in a row, after the current command.
    auto failed = [](TSaveSchedule& schedule, uint64_t when, const std::string& message) {
        if (schedule.Failed(when))
            Application->Post([message] { throw Exception("変更を保存できませんでした。\r\n" + message); });
    };
    try {
        // The values only the exit save writes, as it would write them now.
        SaveRecent();
        SaveWindowBounds();
        const std::string file = PlayLists->SaveFileName(CurrentList());
        const uint64_t latest = TSetting::LatestStamp();
        if (latest != FSeenStamp || Controller->CurrentList() != FSeenList || file != FSeenFile) {
            // A change is one made since the last look; a change of another
            // store leaves the time of this one's last change as it was.
            const uint64_t seen = FSeenStamp;
            const bool other = Controller->CurrentList() != FSeenList || file != FSeenFile;
            FSeenStamp = latest;
            FSeenList = Controller->CurrentList();
            FSeenFile = file;
            if (CurrentListChanged(file) &&
                (other || !FListSchedule.Pending() || CurrentList().ChangedSince(seen)))
                FListSchedule.Changed(now);
            if (SettingsChanged() &&
                (!FSettingsSchedule.Pending() || Controller->GlobalSetting().Stamp() > seen))
                FSettingsSchedule.Changed(now);
        }
        if (FListSchedule.Pending() && FListSchedule.Due() <= now) {
            if (!CurrentListChanged(file)) {
                FListSchedule.Cancel();
            } else {
                try {
                    SaveCurrentListKeepingItsSettings();
                    FListSchedule.Written(GetTickCount64());
                } catch (const std::exception& e) {
                    failed(FListSchedule, GetTickCount64(), e.what());
                }
            }
        }
        if (FSettingsSchedule.Pending() && FSettingsSchedule.Due() <= now) {
            if (!SettingsChanged()) {
                FSettingsSchedule.Cancel();
            } else {
                try {
                    SaveSettingsFile();
                    FSettingsSchedule.Written(GetTickCount64());
                } catch (const std::exception& e) {
                    failed(FSettingsSchedule, GetTickCount64(), e.what());
                }
            }
        }
    } catch (const std::exception& e) {
        failed(FSettingsSchedule, now, e.what());
    }
    ArmSaveTimer(GetTickCount64());
}

// Saving a temporary list drops its list-level settings, which are never
// kept in Temporary.lst. Saved while it is in use, it keeps them in memory:
// they apply until it is left, as they did before it was saved.
void TMainForm::SaveCurrentListKeepingItsSettings()
{
    TPlayList& list = CurrentList();
    if (!IsTemporaryName(list.Name())) return SaveCurrentPlayList();
    const std::string common = ListKey::Root(ListKey::Common);
    TSetting kept;
    kept.MoveKey(list.Setting(), common, common);
    try {
        SaveCurrentPlayList();
    } catch (...) {
        list.Setting().MoveKey(kept, common, common);
        throw;
    }
    list.Setting().MoveKey(kept, common, common);
    FListMarks.Written(list, PlayLists->SaveFileName(list));  // as written, the settings aside
}

// Wakes the loop when the next write is due.
void TMainForm::ArmSaveTimer(uint64_t now)
{
    uint64_t due = 0;
    for (const TSaveSchedule* s : {&FListSchedule, &FSettingsSchedule})
        if (s->Pending() && (due == 0 || s->Due() < due)) due = s->Due();
    if (due == FTimerDue) return;
    FTimerDue = due;
    SaveTimer.SetEnabled(false);
    if (due == 0) return;
    SaveTimer.SetInterval(static_cast<UINT>(due > now ? std::min<uint64_t>(due - now, 60000) : 1));
    SaveTimer.SetEnabled(true);
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
    RefreshPlayListViews();
}

void TMainForm::SaveWindowBounds()
{
    TSetting& global = Controller->GlobalSetting();
    TSettingKey key(global, "\\");
    if (ReadKey(global, ConfigKey::RestoreWindowPosition, true)) {
        WriteKeyIfChanged(global, ConfigKey::RestoreWindowPosition, true);
        // A minimised window reports an off-screen rectangle: take its
        // normal position then.
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        RECT r = BoundsRect();
        if (IsIconic(Handle()) && GetWindowPlacement(Handle(), &wp)) r = wp.rcNormalPosition;
        WriteKeyIfChanged(global, ConfigKey::BoundsLeft, int32_t(r.left));
        WriteKeyIfChanged(global, ConfigKey::BoundsTop, int32_t(r.top));
        WriteKeyIfChanged(global, ConfigKey::BoundsWidth, int32_t(r.right - r.left));
        WriteKeyIfChanged(global, ConfigKey::BoundsHeight, int32_t(r.bottom - r.top));
    } else {
        WriteKeyIfChanged(global, ConfigKey::RestoreWindowPosition, false);
    }
}

void TMainForm::ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLine cl = ParseCommandLineArgs(args);
    std::string name = cl.ListName;
    if (name.empty() && !cl.Paths.empty()) name = PlayLists->NextTemporaryName();
    if (!name.empty()) {
        const int found = PlayLists->FindPlayList(name);
        try {
            if (found >= 0) {
                SelectPlayList(found, false);
            } else {
                CheckListName(name);
                TPlayList& created = PlayLists->Append(name);
                SelectPlayList(PlayLists->IndexOf(&created), false);
                PlayLists->Sort();
                RefreshPlayListViews();
            }
        } catch (const EFileError& e) {
            // A list file that cannot be made or opened does not end the
            // program: the paths go to the current list.
            ShowLater(e.what());
        } catch (const EPlayListFileError& e) {
            ShowLater(e.what());
        }
    }
    Controller->StopPlayback();
    std::vector<std::string> paths;
    for (const std::string& path : cl.Paths) {
        // Relative paths are taken against the current folder; a path that
        // does not exist is left out.
        wchar_t full[MAX_PATH];
        DWORD n =
            path.empty() ? 0 : GetFullPathNameW(CodePage::ToWide(path).c_str(), MAX_PATH, full, nullptr);
        if (n == 0 || n >= MAX_PATH) continue;
        std::string resolved = FileSystem::ResolveLongPath(CodePage::FromWide(std::wstring_view(full, n)));
        if (resolved.empty() || !(FileSystem::FileExists(resolved) || FileSystem::DirectoryExists(resolved)))
            continue;
        paths.push_back(resolved);
    }
    for (const std::string& path : ExpandListFiles(paths)) CurrentList().Add(path);
    RefreshFileList();
    if (cl.Show) {
        Controller->SetToggle(TToggle::MainWindow, *cl.Show);
        TrayIcon.SetVisible(!*cl.Show);
    }
    if (cl.AutoPlay) {
        // Files that cannot be played are no reason not to start.
        try {
            PlayCommand();
        } catch (...) {
            Application->HandleCurrentException();
        }
    }
}

// ------------------------------------------------------ from outside

TPlayerHooks TMainForm::PlayerHooks()
{
    TPlayerHooks hooks;
    // Not while a dialog of ours is up (it disables the main window).
    hooks.Ready = [this] { return IsWindowEnabled(Handle()) != FALSE; };
    hooks.MultipleInstances = [this] {
        return ReadKey(Controller->GlobalSetting(), ConfigKey::MultipleInstances);
    };
    hooks.ApplyCommandLine = [this](const std::vector<std::string>& args) { ParseCommandLine(args); };
    hooks.CurrentListName = [this] { return Controller->CurrentList()->Name(); };
    hooks.BringToFront = [this] {
        // As a start of its own would show it: out of the tray too.
        if (!Visible()) RedisplayMenuClick();
        if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
        SetForegroundWindow(Handle());
    };
    return hooks;
}

void TMainForm::MediaKey(TMediaKey key)
{
    switch (key) {
        case TMediaKey::PlayPause:
            PlayPauseMenuClick();
            break;
        case TMediaKey::Stop:
            StopCommand();
            break;
        case TMediaKey::NextTrack:
            NextTrackCommand();
            break;
        case TMediaKey::PrevTrack:
            PrevTrackCommand();
            break;
    }
}

void TMainForm::SetAppCommandHandler(std::function<bool(int command)> handler)
{
    OnAppCommand = handler;
    Controller->GetMovieWindow().OnAppCommand = std::move(handler);
}

void TMainForm::GUIC1Click() { Controller->GUISetting().Clear(); }

// ------------------------------------------------------------ the lists

TPlayList& TMainForm::CurrentList() const { return *Controller->CurrentList(); }

void TMainForm::MakeCurrent(TPlayList& list)
{
    LoadList(list);
    Controller->SetPlayList(&list);
}

void TMainForm::LoadList(TPlayList& list)
{
    const bool loaded = list.Loaded();
    PlayLists->EnsureLoaded(list);
    // What was read is what the file holds (a temporary list other than
    // "Temporary" is read from a file it is never saved to).
    const std::string file = PlayLists->PlayListFileName(list);
    if (!loaded && list.Loaded() && FileName::SameFileName(file, PlayLists->SaveFileName(list)))
        FListMarks.Written(list, file);
}

void TMainForm::SaveCurrentPlayList()
{
    TPlayList& list = CurrentList();
    PlayLists->SaveList(list);
    FListMarks.Written(list, PlayLists->SaveFileName(list));
}

void TMainForm::SelectPlayList(int index) { SelectPlayList(index, true); }

void TMainForm::SelectPlayList(int index, bool play)
{
    SaveCurrentPlayList();
    TPlayList& list = PlayLists->Items(index);
    std::exception_ptr failure;
    try {
        LoadList(list);
    } catch (const EPlayListFileError&) {
        failure = std::current_exception();
    }
    // A damaged file has been moved aside and its list starts empty; a list
    // whose file could not be opened stays not loaded, and the current list
    // stays current.
    if (list.Loaded()) Controller->SetPlayList(&list);
    index = PlayLists->IndexOf(Controller->CurrentList());
    ListCmb->SetItemIndex(index);
    RefreshFileList();
    for (size_t i = 0; i < PlayListPopup->Count(); ++i)
        PlayListPopup->Item(i).SetChecked(static_cast<int>(i) == index);
    if (failure) std::rethrow_exception(failure);
    if (play) PlayCommand();
}

void TMainForm::RefreshPlayListViews()
{
    const int current = PlayLists->IndexOf(Controller->CurrentList());
    ListCmb->SetItemIndex(-1);
    SendMessageA(ListCmb->Handle(), WM_SETREDRAW, FALSE, 0);
    ListCmb->Clear();
    for (int i = 0; i < PlayLists->Count(); ++i) ListCmb->Add(PlayLists->Items(i).Name());
    SendMessageA(ListCmb->Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListCmb->Handle(), nullptr, TRUE);
    ListCmb->SetItemIndex(current);
    RefreshFileList();
    PlayListPopup->Clear();
    for (int i = 0; i < PlayLists->Count(); ++i)
        PlayListPopup->Add(MenuText(PlayLists->Items(i).Name()), [this, i] { SelectPlayList(i); })
            .SetChecked(i == current);
}

void TMainForm::RefreshFileList()
{
    // Owner data: the lines are the list's entries, drawn when shown.
    FileListBox->SetItemIndex(-1);
    FileListBox->SetCount(CurrentList().FileCount());
    RefreshFolderMenus();
}

std::string TMainForm::FileListText(int index) const
{
    TPlayList* list = Controller ? Controller->CurrentList() : nullptr;
    if (!list || index < 0 || index >= list->FileCount()) return {};
    return list->Files(index).DisplayName();
}

void TMainForm::RefreshFolderMenus()
{
    TPlayList& list = CurrentList();
    RemoveDirMenu->Clear();
    ScanDirMenu->Clear();
    ScanDirMenu->Add("全部(&A)", [this] { A4Click(); });
    for (int i = 0; i < list.DirectoryCount(); ++i) {
        const std::string path = MenuText(list.Directories(i).Path());
        RemoveDirMenu->Add(path, [this, i] { RemoveDirMenuClick(i); });
        ScanDirMenu->Add(path, [this, i] { ScanDirMenuClick(i + 1); });
    }
}

void TMainForm::LoadPlayListNames() { PlayLists->LoadPlayListNames(); }

void TMainForm::RestoreRecentPlayList()
{
    const int found = PlayLists->FindPlayList(ReadKey(Controller->GlobalSetting(), ConfigKey::Recent));
    auto load = [this](TPlayList& list) {
        try {
            LoadList(list);
        } catch (const Exception& e) {
            // A damaged list file has been moved aside and the list starts
            // empty; one that could not be opened leaves the list not loaded.
            ShowLater(e.what());
        }
    };
    TPlayList* list = found >= 0 ? &PlayLists->Items(found) : &CurrentList();
    load(*list);
    if (!list->Loaded() && list != &CurrentList()) {
        list = &CurrentList();  // "Temporary" in its place
        load(*list);
    }
    // Also for the list that is current already: its settings (and the
    // global ones, read only now) apply from here on.
    Controller->SetPlayList(list);
}

void TMainForm::SaveRecent()
{
    WriteKeyIfChanged(Controller->GlobalSetting(), ConfigKey::Recent, TPlayLists::RecentName(CurrentList()));
}

void TMainForm::PlayListNewActionExecute()
{
    std::string name = PlayLists->NextTemporaryName();
    if (!InputQuery("リスト名入力", "リストの名前を入力", name) || name.empty()) return;
    CheckListName(name);
    const int existing = PlayLists->FindPlayList(name);
    if (existing >= 0 && Ask("プレイリスト " + name + "はすでに存在します。置き換えますか？", "警告",
                             MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    SaveCurrentPlayList();
    std::unique_ptr<TPlayList> list = PlayLists->Create(name);
    list->SetLoaded(true);  // nothing is read into a new list
    TPlayList* fresh = list.get();
    if (existing >= 0 && PlayLists->Items(existing).Name() != name) {
        // "foo" in place of "Foo": the file goes now, so that the next save
        // makes it under the new name.
        const std::string old = PlayLists->PlayListFileName(PlayLists->Items(existing));
        if (!FileSystem::Remove(old) && FileSystem::FileExists(old))
            throw Exception("プレイリスト " + old + " を削除できませんでした。");
    }
    if (existing >= 0) {
        // The old list is destroyed: the controller lets go of it first.
        Controller->SetPlayList(fresh);
        PlayLists->Replace(existing, std::move(list));
    } else {
        PlayLists->Append(std::move(list));
        Controller->SetPlayList(fresh);
    }
    PlayLists->Sort();
    RefreshPlayListViews();
}

void TMainForm::PlayListNameChangeActionExecute()
{
    TPlayList& current = CurrentList();
    std::string name = current.Name();
    if (!InputQuery("リスト名入力", "リストの名前を入力", name) || name.empty() ||
        SameListName(name, current.Name()))
        return;
    CheckListName(name);
    const int other = PlayLists->FindPlayList(name);
    if (other >= 0) {
        if (Ask("プレイリスト " + name + "はすでに存在します。置き換えますか？", "警告",
                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            return;
        const std::string file = PlayLists->PlayListFileName(PlayLists->Items(other));
        if (!FileSystem::Remove(file) && FileSystem::FileExists(file))
            throw Exception("プレイリスト " + file + " を削除できませんでした。");
        PlayLists->Delete(other);
    }
    current.Rename(name);
    PlayLists->Sort();
    RefreshPlayListViews();
}

void TMainForm::PlayListDeleteActionExecute()
{
    if (Ask("プレイリストを削除します。よろしいですか？", {}, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    if (PlayLists->Count() == 1) {
        std::unique_ptr<TPlayList> fresh = PlayLists->Create(TemporaryListName);
        fresh->SetLoaded(true);
        PlayLists->Append(std::move(fresh));
    }
    int i = ListCmb->ItemIndex();
    if (i < 0) i = PlayLists->IndexOf(Controller->CurrentList());
    MakeCurrent(PlayLists->Items(i != 0 ? 0 : 1));
    FileSystem::Remove(PlayLists->PlayListFileName(PlayLists->Items(i)));
    PlayLists->Delete(i);
    RefreshPlayListViews();
}

void TMainForm::ListCmbChange()
{
    const int i = ListCmb->ItemIndex();
    if (i >= 0) SelectPlayList(i);
}

void TMainForm::FileAddActionExecute()
{
    std::vector<std::string> files = OpenFilesDialog(Handle(), {}, DialogFilter(OpenDialogFilter));
    if (files.empty()) return;
    for (const std::string& f : ExpandListFiles(files)) CurrentList().Add(f);
    RefreshFileList();
}

void TMainForm::F3Click()
{
    const std::string folder = BrowseForFolder(Application->Handle(), "ディレクトリの選択");
    if (folder.empty()) return;
    CurrentList().AddDirectory(folder);
    RefreshFolderMenus();
}

void TMainForm::FileDeleteActionExecute()
{
    const int i = FileListBox->ItemIndex();
    if (i < 0) return;
    CurrentList().Delete(i);
    const int top = FileListBox->TopIndex();
    FileListBox->SetCount(CurrentList().FileCount());
    FileListBox->SetTopIndex(top);
    if (i < CurrentList().FileCount()) FileListBox->SetItemIndex(i);
}

void TMainForm::FileUpActionExecute()
{
    const int i = FileListBox->ItemIndex();
    if (i <= 0) return;
    CurrentList().Exchange(i, i - 1);
    FileListBox->SetItemIndex(i - 1);
    InvalidateRect(FileListBox->Handle(), nullptr, TRUE);
}

void TMainForm::FileDownActionExecute()
{
    const int i = FileListBox->ItemIndex();
    if (i < 0 || i + 1 >= CurrentList().FileCount()) return;
    CurrentList().Exchange(i, i + 1);
    FileListBox->SetItemIndex(i + 1);
    InvalidateRect(FileListBox->Handle(), nullptr, TRUE);
}

void TMainForm::RemoveDirMenuClick(int index)
{
    if (index >= CurrentList().DirectoryCount()) return;
    CurrentList().DeleteDirectory(index);
    RefreshFolderMenus();
}

void TMainForm::ScanFolders(int folder)
{
    RunFolderScan(CurrentList(), folder,
                  [this](TScanResult& result) { return ShowScanResult(result, Handle()); });
    RefreshFileList();
}

void TMainForm::A4Click() { ScanFolders(-1); }

void TMainForm::ScanDirMenuClick(int index)
{
    if (index - 1 < CurrentList().DirectoryCount()) ScanFolders(index - 1);
}

void TMainForm::DropOnFileList(const std::vector<std::string>& files)
{
    for (const std::string& f : ExpandListFiles(files)) CurrentList().Add(f);
    RefreshFileList();
}

void TMainForm::DropOnMovieWindow(const std::vector<std::string>& files)
{
    const std::vector<std::string> paths = ExpandListFiles(files);
    // Lists that gave nothing to play make no new list either.
    if (paths.empty() && !files.empty()) return;
    std::unique_ptr<TPlayList> list = PlayLists->Create(PlayLists->NextTemporaryName());
    for (const std::string& f : paths) list->Add(f);
    const std::string name = list->Name();
    Controller->StopPlayback();
    PlayLists->Append(std::move(list));
    PlayLists->Sort();
    RefreshPlayListViews();
    SelectPlayList(PlayLists->FindPlayList(name));
}

std::vector<std::string> TMainForm::ExpandListFiles(const std::vector<std::string>& paths)
{
    M3U::TExpanded expanded = M3U::ExpandListFiles(paths);
    const std::string report = M3U::Report(expanded);
    // Shown by the application's handler from the message loop: not inside
    // a drop (the source waits for it) nor before the window is up.
    if (!report.empty()) Application->Post([report] { throw Exception(report); });
    return std::move(expanded.Paths);
}

void TMainForm::ExportM3U8MenuClick()
{
    TPlayList& list = CurrentList();
    const std::string fileName =
        SaveFileDialog(Handle(), {}, DialogFilter(ExportDialogFilter), "m3u8", list.Name() + ".m3u8");
    if (fileName.empty()) return;
    std::vector<M3U::TItem> items;
    for (int i = 0; i < list.FileCount(); ++i)
        items.push_back({list.Files(i).Path(), list.Files(i).DisplayName()});
    M3U::Save(fileName, items);
}

// ------------------------------------------------------------ transport

void TMainForm::PlayCommand()
{
    if (CurrentList().FileCount() == 0) return;
    if (!Controller->Paused()) {
        const int i = FileListBox->ItemIndex();
        if (i >= 0) {
            Controller->SetCurrentIndex(i);
            FileListBox->SetItemIndex(-1);
        } else if (Controller->CurrentIndex() < 0) {
            Controller->SelectFirst();
        }
    }
    Controller->SetContinuous(true);
    Controller->PlayCurrent();
}

void TMainForm::PauseCommand()
{
    if (Controller->Loaded()) Controller->PausePlayback();
}

void TMainForm::StopCommand() { Controller->StopPlayback(); }

void TMainForm::NextTrackCommand()
{
    int i = Controller->SelectNext();
    if (i < 0) i = Controller->SelectFirst();
    if (i < 0) return;
    FileListBox->SetItemIndex(i);
    if (Controller->Playing() || Controller->Paused()) Controller->PlayCurrent(true);
}

void TMainForm::PrevTrackCommand()
{
    const int i = Controller->SelectPrevious();
    if (i < 0) return;
    FileListBox->SetItemIndex(i);
    if (Controller->Playing() || Controller->Paused()) Controller->PlayCurrent(true);
}

void TMainForm::MediaControllerClick(int button)
{
    switch (button) {
        case btPlay:
            PlayCommand();
            break;
        case btPause:
            PauseCommand();
            break;
        case btStop:
            StopCommand();
            break;
        case btNext:
            NextTrackCommand();
            break;
        case btPrev:
            PrevTrackCommand();
            break;
        default:
            break;
    }
}

void TMainForm::PlayPauseMenuClick() { Controller->Playing() ? PauseCommand() : PlayCommand(); }

void TMainForm::FileListBoxDblClick()
{
    const int i = FileListBox->ItemIndex();
    if (i < 0) return;
    Controller->SetCurrentIndex(i);
    Controller->SetContinuous(false);
    Controller->PlayCurrent();
}

// The press puts the thumb under the pointer before the track bar sees it,
// so that the track bar's own handling grabs the thumb and the user drags it
// from there; the seek follows once, on release.
void TMainForm::FrameBarMouseDown(TMouseButton button, UINT, int x, int y)
{
    if (button != TMouseButton::Left) return;
    FrameBar->SetPosition(FrameBar->PositionAtPoint(x, y));
    FSeekPressed = true;
    // Held until the release wherever the press landed: the track bar
    // itself captures the mouse only for a press on the thumb or the channel.
    SetCapture(FrameBar->Handle());
}

void TMainForm::FrameBarMouseUp(TMouseButton button, UINT, int, int)
{
    if (button != TMouseButton::Left || !FSeekPressed) return;
    FSeekPressed = false;
    if (GetCapture() == FrameBar->Handle()) ReleaseCapture();
    Controller->SetPosition(FrameBar->Position());
}

void TMainForm::FrameTimerTimer()
{
    if (GetCapture() == FrameBar->Handle()) return;  // the user holds the thumb
    const int p = Controller->Position();
    const int s = p > 0 && Controller->Loaded() ? Controller->PositionToSeconds(p) : 0;
    FrameBar->SetPosition(p);
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d", s / 60, s % 60);
    SetTextIfChanged(*TimeLabel, text);
}

void TMainForm::VolumeBarChange() { Controller->SetVolumePercent(VolumeBar->Position()); }

void TMainForm::U1Click() { Controller->SetVolumePercent(Controller->VolumePercent() + 1); }

void TMainForm::D1Click() { Controller->SetVolumePercent(Controller->VolumePercent() - 1); }

void TMainForm::MuteActionExecute() { Controller->Toggle(TToggle::Mute); }

// ------------------------------------------------------------ toggles

void TMainForm::FullScreenActionExecute() { Controller->Toggle(TToggle::FullScreen); }

void TMainForm::TopMostActionExecute() { Controller->Toggle(TToggle::TopMost); }

void TMainForm::ShowMovieWindowActionExecute() { Controller->Toggle(TToggle::MovieWindow); }

void TMainForm::RandomActionExecute() { Controller->Toggle(TToggle::Random); }

void TMainForm::RepeatActionExecute() { Controller->Toggle(TToggle::Repeat); }

void TMainForm::StopScreenSaverActionExecute() { Controller->Toggle(TToggle::StopScreenSaver); }

void TMainForm::PlayCenterMenuClick() { Controller->Toggle(TToggle::PlayCenter); }

void TMainForm::StretchAutoMenuClick() { Controller->Toggle(TToggle::Stretch); }

void TMainForm::ChooseStretchRatio(int percent) { Controller->ChooseStretchRatio(percent); }

void TMainForm::TrayModeActionExecute() { Controller->SetToggle(TToggle::MainWindow, false); }

void TMainForm::RedisplayMenuClick() { Controller->SetToggle(TToggle::MainWindow, true); }

void TMainForm::TerminateActionExecute()
{
    Controller->StopPlayback();
    Controller->EndLayered();
    Application->Terminate();
}

// ------------------------------------------------------------ update rules

void TMainForm::UpdateActionUpdate()
{
    TController& c = *Controller;
    const bool full = c.FullScreen();
    FullScreenAction.SetChecked(full);
    TopMostAction.SetEnabled(!full);
    TopMostAction.SetChecked(c.TopMost());
    ShowMovieWindowAction.SetChecked(c.MovieWindowVisible());
    MuteAction.SetChecked(c.Muted());
    if (VolumeBar->Position() != c.VolumePercent()) VolumeBar->SetPosition(c.VolumePercent());
    SetTextIfChanged(*VolumeLabel, std::to_string(c.VolumePercent()) + "%");
    PlayCenterMenu->SetChecked(c.PlayCenter());
    RandomAction.SetChecked(c.Random());
    RepeatAction.SetChecked(c.Repeat());
    StopScreenSaverAction.SetChecked(c.ScreenSaverStopped());

    const bool selected = FileListBox->ItemIndex() >= 0;
    if (selected != FileDeleteAction.Enabled()) {
        FileDeleteAction.SetEnabled(selected);
        FileUpAction.SetEnabled(selected);
        FileDownAction.SetEnabled(selected);
    }

    const int index = c.CurrentIndex();
    const TPlayList* list = c.CurrentList();
    SetTextIfChanged(*PlayingLabel,
                     list && index >= 0 && index < list->FileCount() ? list->Files(index).DisplayName() : "");

    const bool open = c.Loaded();
    if (open != FrameTimer.Enabled()) {
        FrameTimer.SetEnabled(open);
        FrameBar->SetEnabled(open);
    }

    const bool playing = c.Playing();
    if (playing && MediaController->ButtonVisible(btPlay)) {
        MediaController->SetButtonVisible(btPlay, false);
        MediaController->SetButtonVisible(btPause, true);
    } else if (!playing && !MediaController->ButtonVisible(btPlay)) {
        MediaController->SetButtonVisible(btPause, false);
        MediaController->SetButtonVisible(btPlay, true);
    }

    if (!full != StretchAutoMenu->Enabled()) {
        for (TMenuItem* m : {StretchAutoMenu, StretchSmallMenu, StretchNormalMenu, StretchLargeMenu})
            m->SetEnabled(!full);
    }
    const bool stretch = c.Stretch();
    const int ratio = c.StretchRatio();
    StretchAutoMenu->SetChecked(stretch);
    StretchSmallMenu->SetChecked(!stretch && ratio == 50);
    StretchNormalMenu->SetChecked(!stretch && ratio == 100);
    StretchLargeMenu->SetChecked(!stretch && ratio == 200);
}

// --- The settings and auto-adjust dialogs ---------------------------------------------

int TMainForm::OpenPlayConfigDialog(const std::string& caption, TSetting& tree)
{
    // Top-most off while the dialog shows, so that the movie window cannot cover it.
    return ShowPlayConfigDialog(Handle(), tree, caption, Controller->TopMost(),
                                [this](bool on) { Controller->SetTopMostMode(on); });
}

void TMainForm::EditPlaybackSettings(const std::string& caption, TSetting& tree)
{
    const TController::TSettingsSnapshot before = Controller->SnapshotSettings(tree);
    if (OpenPlayConfigDialog(caption, tree) == mrOK) Controller->ApplyEditedSettings(before);
}

void TMainForm::D2Click() { EditPlaybackSettings("グローバルの設定", Controller->GlobalSetting()); }

void TMainForm::PlayListConfigDlgActionExecute()
{
    TPlayList& list = CurrentList();
    EditPlaybackSettings(list.Name() + "の設定", list.Setting());
}

void TMainForm::FileConfigDlgActionExecute()
{
    const int i = FileListBox->ItemIndex();
    if (i < 0 || i >= CurrentList().FileCount()) return;
    TMediaFile& file = CurrentList().Files(i);
    OpenPlayConfigDialog(file.DisplayName() + "の設定", file.Setting());
}

void TMainForm::G1Click()
{
    ShowEnvConfigDialog(Handle(), Controller->GlobalSetting(), PendingConfigDir, ConfigDir,
                        FFolders.UserDefaultDir());
}

// --- Files that could not be played ----------------------------------------------------

void TMainForm::PlayError(const std::string& fileName, const std::string& message, bool gaveUp)
{
    FPlayErrors.emplace_back(fileName, message);
    FPlayGaveUp = FPlayGaveUp || gaveUp;
}

void TMainForm::ShowPlayErrors()
{
    // One box at a time; a full-screen movie would hide it (the report
    // follows when full screen ends).
    if (FPlayErrors.empty() || FShowingPlayErrors || Controller->FullScreen() || Application->Terminated())
        return;
    constexpr size_t Listed = 10;
    std::string text = "次のファイルを再生できませんでした。\r\n";
    for (size_t i = 0; i < FPlayErrors.size() && i < Listed; ++i)
        text += "\r\n" + FPlayErrors[i].first + "\r\n" + FPlayErrors[i].second + "\r\n";
    if (FPlayErrors.size() > Listed)
        text += "\r\nほか " + std::to_string(FPlayErrors.size() - Listed) + " 個のファイル\r\n";
    if (FPlayGaveUp)
        text += "\r\n続けて " + std::to_string(TController::MaxFailuresInARow) +
                " 個のファイルを再生できなかったため、再生を停止しました。";
    FPlayErrors.clear();
    FPlayGaveUp = false;
    FShowingPlayErrors = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FShowingPlayErrors};
    // Playing goes on while the box shows; what fails meanwhile comes in the next one.
    const UINT flags = MB_OK | MB_ICONWARNING;
    if (MainFormAskHook)
        MainFormAskHook(text, {}, flags);
    else if (Visible())
        ShowMessageBox(Handle(), text, {}, flags);
    else  // in the tray: nothing of ours is disabled, and the box comes to the front
        MessageBoxString(nullptr, text, Application->Title, flags | MB_SETFOREGROUND);
}

void TMainForm::C2Click()
{
    TAutoAdjustDlg dlg(Handle(), CurrentList());
    dlg.ShowModal();
}
