// TPlayConfigDlg: the playback settings of one level (global, play list or
// file). Every setting has an override check box ("this level sets it");
// Save writes the checked values into the level and removes the unchecked
// ones from it, so that the level above decides again. The level is read
// alone: the values shown for keys it does not hold are the built-in ones.
//
// A tree on the left picks one of three pages (common, full screen, window).
// The full-screen page lists the display modes of a list that a worker
// thread (TDiplayModeCreator) builds once per process; a dialog opened
// before that list is ready fills its mode controls when the worker ends.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "display/UDisplayModeList.h"
#include "win/UControls.h"
#include "win/UForm.h"

class TSetting;

// The worker thread that builds the dialogs' display-mode list. When its
// work is done (the list published, or the attempt failed) it posts
// onTerminate to the GUI thread. The destructor waits for the thread.
class TDiplayModeCreator {
public:
    explicit TDiplayModeCreator(std::function<void()> onTerminate);
    ~TDiplayModeCreator();
    TDiplayModeCreator(const TDiplayModeCreator&) = delete;
    TDiplayModeCreator& operator=(const TDiplayModeCreator&) = delete;
    void WaitFor();

private:
    std::thread FThread;
};

// The process-wide mode list of the dialogs (separate from the mode
// changer's): null until a creator has built it.
std::shared_ptr<const TDisplayModeList> DialogModeList();
// Test hooks: what the next creator builds (null: the display's modes), and
// forgetting the list built so far (only while no dialog exists).
void SetDialogModeSource(std::function<std::unique_ptr<TDisplayModeList>()> source);
void ResetDialogModeList();

class TPlayConfigDlg : public TForm {
public:
    // Reads the level at once; the level is detached from its parent while
    // it is read and linked again afterwards, also when reading fails.
    TPlayConfigDlg(HWND owner, TSetting& setting);
    ~TPlayConfigDlg() override;

    // Modal: mrOK or mrCancel.
    int ShowModal();
    // Writes the three pages into the level (after mrOK).
    void Save();
    // The enabling rules of the page shown (run whenever the loop is idle).
    void UpdateControls();

    std::unique_ptr<TTreeView> PageTree;
    std::unique_ptr<TPageHost> Pages;
    std::unique_ptr<TButton> OKBtn, CancelBtn;

    // "共通"
    std::unique_ptr<TCheckBox> FullScreenChk, StopSaverChk, ShowMovieWindowChk, HideControlWindowChk,
        RandomChk, RepeatChk, VolumeChk, MuteChk;
    std::unique_ptr<TRadioGroup> FullScreenGroup, StopSaverGroup, ShowMovieWindowGroup,
        HideControlWindowGroup, RandomGroup, RepeatGroup, MuteGroup;
    std::unique_ptr<TEdit> VolumeEdit;
    std::unique_ptr<TControl> VolumeUD;  // up/down buttons: ±10
    // "フルスクリーン"
    std::unique_ptr<TCheckBox> FullScreenStretchChk, FullScreenKeepAspectChk, DisplayModeChk;
    std::unique_ptr<TRadioGroup> FUllScreenStretchGroup, FullScreenKeepAspectGroup;
    std::unique_ptr<TRadioGroup> DisplayModeGroup;  // "自動", "固定"; the lists lie inside it
    std::unique_ptr<TComboBox> DisplayModeCmb, RefreshRateCmb;
    std::unique_ptr<TLabel> DisplayModeLabel, RefreshRateLabel;
    // "ウインドウ"
    std::unique_ptr<TCheckBox> WindowStretchImageChk, WindowKeepAspectRatioChk, StretchRatioChk,
        WindowPositionChk, TopMostChk, LayerWaitChk, LayerParcentageChk;
    std::unique_ptr<TRadioGroup> WindowStretchImageGroup, WindowKeepAspectRaioGroup, TopMostGroup;
    std::unique_ptr<TRadioGroup> WindowPositionGroup;  // "画面中央", "固定"; the spins lie inside it
    std::unique_ptr<TSpinEdit> StretchRatioSpin, WindowPositionLeftSpin, WindowPositionTopSpin, LayerWaitSpn,
        LayerParcentageSpn;
    std::unique_ptr<TLabel> WindowPositionLeftLabel, WindowPositionTopLabel;

    // Once the modal dialog is on the screen (tests drive it from here).
    std::function<void(TPlayConfigDlg&)> OnShow;

    // The volume buttons (as VolumeUD does).
    void VolumeUpDown(bool up);

private:
    struct TFlagRow;
    void CreateCommonPage(HWND page);
    void CreateFullScreenPage(HWND page);
    void CreateWindowPage(HWND page);
    void Load();
    void VolumeEditChange();
    void SetVolumeText(const std::string& text);
    void FillModeList();
    void SelectMode(int32_t width, int32_t height, int32_t rate, int32_t bits);
    void FillRates();
    void ModeListReady();

    TSetting& FSetting;
    std::vector<TFlagRow> FFlagRows;
    std::vector<std::unique_ptr<TControl>> FStatics;  // captions and unit labels
    std::shared_ptr<const TDisplayModeList> FModes;   // as filled into DisplayModeCmb
    std::vector<int32_t> FRates;                      // the values of RefreshRateCmb's items
    struct TPendingMode {
        int32_t Width = 640, Height = 480, BitPerPixel = 0, RefreshRate = 0;
    } FPendingMode;
    std::string FLastVolumeText;
    int32_t FShownAlpha = 127;  // the level's LayerAlpha as loaded
    bool FSettingVolume = false;
    int FIdleHandler = 0;
    std::shared_ptr<TPlayConfigDlg*> FAlive;  // what the creator's notice finds
    std::unique_ptr<TDiplayModeCreator> FCreator;
};

// The dialog as the main window opens it for one level: the caption set,
// the movie window's top-most mode switched off while the dialog shows (so
// that it cannot cover the dialog) and restored afterwards in every case,
// and the values saved on OK. Returns the modal result.
int ShowPlayConfigDialog(HWND owner, TSetting& setting, const std::string& caption, bool topMost,
                         const std::function<void(bool on)>& setTopMost,
                         const std::function<void(TPlayConfigDlg&)>& onShow = nullptr);
