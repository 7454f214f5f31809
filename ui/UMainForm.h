// The main window: owns the playlist collection and the controller, locates
// and loads the settings at start and saves them at exit, reads the command
// line, and holds every command of the player: the list commands, the
// transport, the seek bar and the volume, the mode toggles, the tray icon,
// and the update rules that derive the controls' state from the controller
// whenever the application is idle.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playback/UController.h"
#include "tray/UTrayIcon.h"
#include "ui/UCommandLine.h"
#include "ui/UConfigLocation.h"
#include "ui/UMainFormView.h"
#include "ui/UMediaKeys.h"
#include "ui/UPlayLists.h"
#include "ui/USessionSave.h"
#include "ui/USingleInstance.h"
#include "win/UDropTarget.h"
#include "win/UForm.h"
#include "win/UTimer.h"

// What it shows (actions, menus, controls) is its private base.
class TMainForm : public TForm, private TMainFormView {
public:
    // args: the command-line arguments without the program name.
    explicit TMainForm(std::vector<std::string> args, TConfigFolders folders = TConfigFolders::System());
    ~TMainForm() override;

    // The program entry's way in. The commands the later starts' command
    // lines need (applied as the program's own, when no dialog is up).
    TPlayerHooks PlayerHooks();
    // A media key does what its menu command does.
    void MediaKey(TMediaKey key);
    // A WM_APPCOMMAND in the main window, its controls or the movie window
    // (the media keys); the handler says whether it took it. Empty: none.
    void SetAppCommandHandler(std::function<bool(int command)> handler);

private:
    // The tests' way in (tests/ui/MainFormProbe.h).
    friend struct TMainFormProbe;

    // Owned parts, in the order of construction.
    std::unique_ptr<TPlayLists> PlayLists;
    std::unique_ptr<TController> Controller;
    std::unique_ptr<TDropRegistration> ListDropTarget;
    std::unique_ptr<TDropRegistration> MovieDropTarget;
    std::string PendingConfigDir;
    bool MultiUserAtLoad = false;
    std::function<bool(int command)> OnAppCommand;

    // Start-up and shutdown.
    void LoadConfiguration();
    // Every step runs whatever became of the ones before; the failures are
    // raised together as one error.
    void SaveConfiguration();
    // The session ends (log-off, shutdown): the exit save, at once.
    void SessionEnding();
    // At idle: writes the current list and the settings file once they
    // changed (when: TSaveSchedule), never while a modal dialog is up.
    void SaveChanges();
    void ParseCommandLine(const std::vector<std::string>& args);
    void RestoreWindowBounds();
    void SaveWindowBounds();
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormClose(TCloseAction& action);
    void FormDestroy();
    void GUIC1Click();

    // The collection and the list commands.
    void SaveCurrentPlayList();
    void SelectPlayList(int index);
    void RefreshPlayListViews();
    void RefreshFileList();
    void RefreshFolderMenus();
    void LoadPlayListNames();
    void RestoreRecentPlayList();
    void SaveRecent();
    void PlayListNewActionExecute();
    void PlayListNameChangeActionExecute();
    void PlayListDeleteActionExecute();
    void ListCmbChange();
    void FileAddActionExecute();
    void F3Click();
    void FileDeleteActionExecute();
    void FileUpActionExecute();
    void FileDownActionExecute();
    void RemoveDirMenuClick(int index);
    void A4Click();
    void ScanDirMenuClick(int index);
    void DropOnFileList(const std::vector<std::string>& files);
    void DropOnMovieWindow(const std::vector<std::string>& files);
    // "M3U8 に書き出し(&E)...": the current list as an M3U8 file.
    void ExportM3U8MenuClick();

    // Transport, seek bar and volume.
    void PlayCommand();
    void PauseCommand();
    void StopCommand();
    void NextTrackCommand();
    void PrevTrackCommand();
    void MediaControllerClick(int button);
    void PlayPauseMenuClick();
    void FileListBoxDblClick();
    void FrameBarMouseDown(TMouseButton button, UINT keys, int x, int y);
    void FrameBarMouseUp(TMouseButton button, UINT keys, int x, int y);
    void FrameTimerTimer();
    void VolumeBarChange();
    void U1Click();
    void D1Click();
    void MuteActionExecute();

    // Mode toggles, tray mode and termination.
    void FullScreenActionExecute();
    void TopMostActionExecute();
    void ShowMovieWindowActionExecute();
    void RandomActionExecute();
    void RepeatActionExecute();
    void StopScreenSaverActionExecute();
    void PlayCenterMenuClick();
    void StretchAutoMenuClick();
    void ChooseStretchRatio(int percent);
    void TrayModeActionExecute();
    void RedisplayMenuClick();
    void TerminateActionExecute();

    void UpdateActionUpdate();

    // The settings and auto-adjust dialogs.
    int OpenPlayConfigDialog(const std::string& caption, TSetting& tree);
    // The dialog for the global or the list level; on OK what it changed is
    // applied to what plays.
    void EditPlaybackSettings(const std::string& caption, TSetting& tree);
    void D2Click();
    void PlayListConfigDlgActionExecute();
    void FileConfigDlgActionExecute();
    void G1Click();
    void C2Click();

    TTimer FrameTimer{1000, false};

    TTrayIcon TrayIcon;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    // The window, its menus and controls, placed (UMainFormView.cpp).
    void CreateView();
    void CreateMenus();
    void CreatePopupMenus();
    // The controls' and menus' events to the handlers.
    void BindActions();
    // play: run the play command afterwards (the command line does not).
    void SelectPlayList(int index, bool play);
    // Current list (never null after construction).
    TPlayList& CurrentList() const;
    // Makes list the controller's current list, loading it first.
    void MakeCurrent(TPlayList& list);
    // Loads the list unless it is loaded.
    void LoadList(TPlayList& list);
    // The global tree to config.ini, where the exit save puts it.
    void SaveSettingsFile();
    bool SettingsChanged() const;
    bool CurrentListChanged(const std::string& file) const;
    void SaveCurrentListKeepingItsSettings();
    void ArmSaveTimer(uint64_t now);
    void ShowPopup(TMenu& menu, TControl& control, int x, int y);
    void ScanFolders(int folder);
    std::string FileListText(int index) const;
    // The paths with every M3U/M3U8 list replaced by the entries it lists;
    // what could not be taken (damaged lists, URLs, names outside the code
    // page) is reported in one message once the current command is over.
    std::vector<std::string> ExpandListFiles(const std::vector<std::string>& paths);
    // Asks a yes/no or OK/cancel question; the answer (IDYES, IDOK, ...).
    int Ask(const std::string& text, const std::string& caption, UINT flags);

    // Files the controller could not play, shown in one message when the
    // loop is idle: never a box per file, none while the movie window
    // covers the screen, without an owner while the window is in the tray.
    void PlayError(const std::string& fileName, const std::string& message, bool gaveUp);
    void ShowPlayErrors();

    std::vector<std::string> FArgs;
    TConfigFolders FFolders;
    bool FSeekPressed = false;
    std::vector<std::pair<std::string, std::string>> FPlayErrors;  // file, message
    bool FPlayGaveUp = false;
    bool FShowingPlayErrors = false;
    int FPlayErrorIdle = 0;

    // Keeping the files up to date while the program runs.
    TListMarks FListMarks;
    TSaveSchedule FListSchedule, FSettingsSchedule;
    uint64_t FSettingsStamp = 0;  // the global tree as config.ini holds it
    std::string FSettingsPending;
    bool FProgramMultiUser = false;  // "MultiUser" as the program folder's file holds it
    uint64_t FSeenStamp = 0;         // what the last look at idle saw
    const TPlayList* FSeenList = nullptr;
    std::string FSeenFile;
    bool FSaving = false;
    uint64_t FTimerDue = 0;
    TTimer SaveTimer{1000, false};
    int FSaveIdleId = 0;
};

// Test hook: replaces the stop-icon message box that reports an error of
// FormCreate (text), when set.
extern void (*FormCreateErrorHook)(const std::string& text);
// Test hook: answers the main window's questions (text, caption, flags)
// instead of a message box, when set.
extern int (*MainFormAskHook)(const std::string& text, const std::string& caption, UINT flags);
