// What the main window shows: its commands (actions), its menus and its
// controls, and where the controls go. UMainFormView.cpp makes the window,
// the menus and the controls and places them; the main window binds their
// events to its handlers and decides what they show (UMainForm.cpp).
#pragma once

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "win/UAction.h"
#include "win/UButtonBar.h"
#include "win/UControls.h"
#include "win/UListBox.h"
#include "win/UMenu.h"
#include "win/UTrackBar.h"

// Control ids of the main window's children (other processes find them
// with GetDlgItem).
enum TMainFormControlId : UINT {
    idListCmb = 100,
    idFileListBox,
    idMediaController,
    idFrameBar,
    idTimeLabel,
    idPlayingLabel,
    idVolumeBar,
    idVolumeLabel,
};

// The buttons of MediaController.
enum TMediaButton : int { btPlay = 1, btPause, btStop, btNext, btPrev };

// A rectangle in design units: pixels on a display of 96 dots per inch.
struct TDesignRect {
    int Left, Top, Width, Height;
};

struct TMainFormView {
    // Actions.
    TActionList ActionList;
    TAction UpdateAction;
    TAction FullScreenAction, MuteAction, RandomAction, RepeatAction, FileDeleteAction, FileUpAction,
        FileDownAction, FileAddAction, ShowMovieWindowAction, TrayModeAction, PlayListNewAction,
        PlayListNameChangeAction, PlayListDeleteAction, StopScreenSaverAction, TerminateAction,
        PlayListConfigDlgAction, FileConfigDlgAction, TopMostAction;

    // Menus (they outlive the tray icon, which refers to two of them).
    std::unique_ptr<TMenu> MainMenu, ListCmbPopup, FileListPopup, TaskTrayRMenu, TaskTrayLMenu,
        PlayWindowPopupMenu;
    TMenu* RemoveDirMenu = nullptr;
    TMenu* ScanDirMenu = nullptr;
    TMenu* PlayListPopup = nullptr;
    TMenuItem *PlayCenterMenu = nullptr, *StretchAutoMenu = nullptr, *StretchSmallMenu = nullptr,
              *StretchNormalMenu = nullptr, *StretchLargeMenu = nullptr, *GUIC1 = nullptr;

    // Controls.
    std::unique_ptr<TComboBox> ListCmb;
    std::unique_ptr<TListBox> FileListBox;
    std::unique_ptr<TButton> Button1, Button2, Button3, Button4;
    std::unique_ptr<TCheckBox> CheckBox1, CheckBox2, CheckBox3, TopMostChk, MuteChk;
    std::unique_ptr<TButtonBar> MediaController;
    std::unique_ptr<TTrackBarEx> FrameBar;
    std::unique_ptr<TTrackBar> VolumeBar;
    std::unique_ptr<TLabel> TimeLabel, PlayingLabel, VolLabel, VolumeLabel;

    // Makes the controls in parent, each linked to the action it shows.
    void CreateControls(HWND parent);
    // Where each control goes in a client area of width by height, everything
    // in design units: the rows below the file list keep their height and the
    // file list takes the rest.
    std::vector<std::pair<TControl*, TDesignRect>> ControlBounds(int width, int height) const;
    // Places the controls in parent's client area (once they are made),
    // unless they are placed for its size and DPI already.
    void Layout(HWND parent);

private:
    struct TLaidOut {
        int Width = -1, Height = -1;  // client area, pixels
        UINT Dpi = 0;
    };
    TLaidOut FLaidOut;
};
