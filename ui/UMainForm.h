// The main window: owns the playlist collection and the controller, locates
// and loads the settings at start, saves them at exit, and reads the command
// line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "win/UAction.h"
#include "win/UControls.h"
#include "ui/UCommandLine.h"
#include "ui/UConfigLocation.h"
#include "win/UDropTarget.h"
#include "win/UForm.h"
#include "win/UMenu.h"
#include "ui/UStandIns.h"

using StandIn::TController;
using StandIn::TPlayList;
using StandIn::TPlayLists;
using StandIn::TTrayIcon;

class TMainForm : public TForm {
public:
    // args: the command-line arguments without the program name.
    explicit TMainForm(std::vector<std::string> args, TConfigFolders folders = TConfigFolders::System());
    ~TMainForm() override;

    // Owned parts, in the order of construction.
    std::unique_ptr<TPlayLists> PlayLists;
    std::unique_ptr<TController> Controller;
    std::unique_ptr<TDropRegistration> ListDropTarget;
    std::unique_ptr<TDropRegistration> MovieDropTarget;
    std::string PendingConfigDir;
    bool MultiUserAtLoad = false;

    TTrayIcon TrayIcon;

    void LoadConfiguration();
    void SaveConfiguration();
    void ParseCommandLine(const std::vector<std::string>& args);
    void RestoreWindowBounds();
    void SaveWindowBounds();

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormClose(TCloseAction& action);
    void FormDestroy();
    void GUIC1Click();
    void TerminateActionExecute();
    void TrayModeActionExecute();
    void RedisplayMenuClick();
    void G1Click();
    void UpdateActionUpdate();

    // Components.
    HWND ListCmb = nullptr;
    HWND FileListBox = nullptr;
    std::unique_ptr<TMenu> MainMenu;
    std::unique_ptr<TMenu> PlayWindowPopupMenu;
    TMenuItem* GUIC1 = nullptr;

    TActionList ActionList;
    TAction UpdateAction;
    TAction FullScreenAction, MuteAction, RandomAction, RepeatAction, FileDeleteAction, FileUpAction,
        FileDownAction, FileAddAction, ShowMovieWindowAction, TrayModeAction, PlayListNewAction,
        PlayListNameChangeAction, PlayListDeleteAction, StopScreenSaverAction, TerminateAction,
        PlayListConfigDlgAction, FileConfigDlgAction, TopMostAction;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void CreateComponents();
    void CreateMenus();
    void SelectPlayList(TPlayList& list);
    void LoadPlayListNames() {}
    void RestoreRecentPlayList() {}
    void SaveCurrentPlayList() {}
    void SaveRecent();
    void RefreshListViews();
    void RefreshFileList();
    void AddDroppedFiles(const std::vector<std::string>& files);

    std::vector<std::string> FArgs;
    TConfigFolders FFolders;
    std::vector<std::unique_ptr<TControl>> FButtons;
};

// Test hook: replaces the stop-icon message box that reports an error of
// FormCreate (text), when set.
extern void (*FormCreateErrorHook)(const std::string& text);
