// The controller: the one object between the main window and the movie
// window. It owns the movie window, the display-mode changer and the global
// and GUI setting trees; it knows the current play list and entry, picks the
// next entry (in list or shuffled order), reacts to the end of media, works
// out the playback volume, suppresses the screen saver while media is loaded
// and applies each entry's settings when it is loaded: the window mode (size,
// place, top-most, translucency under a resting mouse) and full screen.
//
// Everything runs on the GUI thread. The main window calls the operations and
// polls the queries; the movie window's and the play list's events arrive as
// window messages. What the controller wants of the main window (shown or
// hidden, a command chosen in the movie window's popup menu) it raises as
// events that the main window subscribes to.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/UDisplayModeChanger.h"
#include "display/UDisplayModeList.h"
#include "playback/ULayerTimers.h"
#include "playback/UPlayOrder.h"
#include "playback/UPlayWindow.h"
#include "playback/UVideoLayout.h"
#include "playback/UVolume.h"
#include "playlist/UPlayList.h"
#include "settings/USetting.h"
#include "win/UTimer.h"

class TController {
public:
    TController();
    // Switches screen-saver suppression off and leaves full screen first.
    ~TController();
    TController(const TController&) = delete;
    TController& operator=(const TController&) = delete;

    // The main window's visibility follows "ShowControllWindow" of each
    // entry: ApplySettings asks whether it is shown and raises
    // OnMainWindowWanted when it should change.
    std::function<bool()> MainWindowShown;
    std::function<void(bool show)> OnMainWindowWanted;
    // A command chosen in the movie window's popup menu (SetPopupMenu).
    std::function<void(UINT id)> OnPopupCommand;
    // An entry that could not be opened, or whose graph stopped on an error
    // while it played. In continuous play the entry is passed over and the
    // next one plays, up to MaxFailuresInARow failures in a row; gaveUp says
    // that this failure reached the limit and playback stopped. Called while
    // playing goes on: a handler only takes note. Without a handler a file
    // that cannot be opened is raised out of PlayCurrent.
    std::function<void(const std::string& fileName, const std::string& message, bool gaveUp)> OnPlayError;
    static constexpr int MaxFailuresInARow = 5;

    // Start-up, after config.ini is in the global tree: the environment keys.
    void ApplyEnvironment();

    // The play list and its entries.
    void SetPlayList(TPlayList* list);
    void ApplyListSettings();
    void SetCurrentIndex(int index) { Order.SetCurrentIndex(index); }
    void SetContinuous(bool on) { Order.SetContinuous(on); }
    int SelectFirst();
    int SelectNext();
    int SelectPrevious();
    // Loads the current entry when it is not the loaded one, applies its
    // settings and plays. restart: the entry was picked by a selection step
    // (end of media, next, previous), so an entry already loaded is played
    // again from its beginning; otherwise a paused entry resumes.
    void PlayCurrent(bool restart = false);
    void PausePlayback();
    void StopPlayback();
    // Reads every playback key through the GUI tree (GUI, file, playlist,
    // global) and applies it to the loaded entry.
    void ApplySettings();

    // A settings dialog about to edit a level (global or play list): the
    // level's own playback values and the values as they resolve now.
    struct TSettingsSnapshot {
        TSetting* Level = nullptr;
        std::map<std::string, std::optional<std::string>> Own, Resolved;
    };
    TSettingsSnapshot SnapshotSettings(TSetting& level);
    // After the dialog's OK: what the user changed at the level replaces
    // what was toggled in the GUI tree for the same keys, and the values
    // that now resolve differently are applied; nothing else is touched
    // (the entry playing, its window, the other toggles).
    void ApplyEditedSettings(const TSettingsSnapshot& before);

    // Switches.
    void SetRandom(bool on);
    void SetRepeat(bool on) { Order.SetRepeat(on); }
    void SetMute(bool on);
    void SetStopScreenSaver(bool on);
    void SetVolumePercent(int percent);
    void SetBaseVolume(double base);
    void SetPosition(int steps);
    void SetPopupMenu(HMENU menu);
    // Ends translucency (the terminate command, after StopPlayback).
    void EndLayered();

    // Window and full-screen modes.
    void SetFullScreen(bool on);
    void SetTopMostMode(bool on);
    void SetStretch(bool on);
    void SetStretchRatio(int percent);
    void SetPlayCenter(bool on);
    void SetMovieWindowVisible(bool on);
    void SetWindowAlpha(int alpha);
    void SetLayerWait(int milliseconds);
    void LoadFullScreenMode();
    void LoadWindowMode();
    void UpdateVideoLayout();

    // What the user switches in the main window's menus, check boxes and tray
    // menu, and with the movie window's keys. MainWindow is the main window
    // shown (off: in the tray); Stretch is the window mode's stretching.
    enum class TToggle {
        FullScreen,
        TopMost,
        MovieWindow,
        MainWindow,
        Random,
        Repeat,
        Mute,
        StopScreenSaver,
        PlayCenter,
        Stretch
    };
    bool ToggleOn(TToggle toggle) const;
    // Applies the value as the matching Set... call does (MainWindow: raises
    // OnMainWindowWanted) and records it in the GUI tree, where it outranks
    // the entry's, the list's and the global value until another list is
    // made current or the GUI settings are cleared. A value that could not be
    // applied is not recorded. Stretch does nothing in full screen, whose own
    // stretching the full-screen settings decide.
    void SetToggle(TToggle toggle, bool on);
    void Toggle(TToggle toggle) { SetToggle(toggle, !ToggleOn(toggle)); }
    // A window-mode stretch ratio chosen by the user instead of stretching:
    // applied and recorded with stretching recorded off, so that the next
    // entries keep the ratio. Nothing happens in full screen.
    void ChooseStretchRatio(int percent);

    // Queries, polled by the main window.
    bool FullScreen() const { return Modes.FullScreen; }
    bool TopMost() const { return Modes.Window.TopMost; }
    bool MovieWindowVisible() const { return MovieWindow->Showing(); }
    bool Muted() const { return Volume.Muted(); }
    int VolumePercent() const { return Volume.Percent(); }
    double BaseVolume() const { return Volume.BaseVolume(); }
    // The gain last handed to the movie window.
    double VolumeGain() const { return Volume.Gain(); }
    bool PlayCenter() const { return Modes.CenterShown(); }
    bool Random() const { return Order.Random(); }
    bool Repeat() const { return Order.Repeat(); }
    bool Continuous() const { return Order.Continuous(); }
    bool ScreenSaverStopped() const { return FScreenSaverStopped; }
    int CurrentIndex() const { return Order.CurrentIndex(); }
    TPlayList* CurrentList() const { return PlayList; }
    TSetting& GUISetting() { return GUITree; }
    TSetting& GlobalSetting() { return GlobalTree; }
    bool Loaded() const { return MovieWindow->IsLoaded(); }
    bool Playing() const { return MovieWindow->GetPlayState() == psRunning; }
    bool Paused() const { return MovieWindow->GetPlayState() == psPaused; }
    bool Stretch() const { return Modes.Stretch(); }
    int StretchRatio() const { return Modes.Window.StretchRatio; }
    // The position in steps (0..10000); the last one read while the graph
    // cannot tell. Never raises: the seek bar polls it every second.
    int Position() const;
    int PositionToSeconds(int steps) const { return MovieWindow->PositionToSeconds(steps); }
    TPlayWindow& GetMovieWindow() { return *MovieWindow; }
    HWND MovieWindowHandle() const { return MovieWindow->GetHandle(); }
    const std::string& PlayListDir() const { return FPlayListDir; }
    bool ChangeDisplayMode() const { return Modes.ChangeDisplayMode; }
    const TMovieModes& MovieModes() const { return Modes; }
    const TDisplayMode& FullScreenModeRecord() const { return Modes.Full.Mode; }
    TDisplayModeChanger& DisplayModeChanger() { return *Changer; }
    const std::vector<HWND>& DemotedTopMostWindows() const { return FDemotedTopMostWindows; }
    int LayerWait() const { return Layer.LayerWait(); }
    bool LayerOnTimerEnabled() const { return LayerOnTimer.Enabled(); }
    bool LayerOffTimerEnabled() const { return LayerOffTimer.Enabled(); }

    // The movie window's handlers (public so that tests can drive them).
    void OnMovieComplete();
    void OnMovieError(HRESULT error);
    void OnMovieKeyDown(int key, bool ctrl, bool alt);
    void OnMovieResized();
    void OnMovieDragMoved();
    void OnMovieHidden();
    void OnMovieActivate(bool active);
    void OnMovieMouseMove();
    void OnLayerTimer(bool offTimer);
    // The play list's change notification.
    void OnListChanged(int kind, int index, int count);

private:
    int EntryCount() const { return PlayList ? PlayList->FileCount() : 0; }
    void ApplyVolume();
    void PlayEntry(bool restart);
    void PlayFailed(const std::string& fileName, const std::string& message);
    void ApplyMainWindowSetting();
    void ApplyMovieWindowSettings();
    std::optional<std::string> Resolved(const std::string& path);
    void EnterFullScreen();
    void LeaveFullScreen();
    void ApplyTopMost(bool on);
    void CenterMovieWindow();
    void SetMovieBounds(int left, int top, int width, int height);
    void SyncLayerTimers();
    void ConnectList(TPlayList* list);
    void DisconnectList(TPlayList* list);
    void DemoteTopMostWindows();
    void RestoreTopMostWindows();
    bool CursorInClient() const;
    TLayoutSize VideoSize() const;
    TLayoutRect MovieBounds() const;
    static TLayoutSize ScreenSize();
    void HandleMovieEvent(void (TController::*handler)());
    void DetachMovieWindow();

    std::unique_ptr<TPlayWindow> MovieWindow;
    std::unique_ptr<TDisplayModeChanger> Changer;
    TSetting GlobalTree;
    TSetting GUITree;
    int SavedLowPower = 0;
    int SavedPowerOff = 0;
    int SavedScreenSaver = 0;
    std::vector<HWND> FDemotedTopMostWindows;
    TTimer LayerOnTimer{0, false};
    TTimer LayerOffTimer{0, false};
    TPlayList* PlayList = nullptr;
    TMovieModes Modes;
    TPlayOrder Order;
    TVolume Volume;
    TLayerTimers Layer;
    bool FScreenSaverStopped = false;
    // Entries that failed since the last one that played to its end or the
    // last play command.
    int FFailuresInARow = 0;
    // OnMovieResized is attached to the movie window's resize event.
    bool ResizeAttached = true;
    // The window's size when full screen began; a centred window gets it back.
    TLayoutSize SizeBeforeFullScreen{320, 240};
    std::string FPlayListDir;
    mutable int LastPosition = 0;
};
