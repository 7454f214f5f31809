#include "playback/UController.h"

#include <algorithm>
#include <utility>

#include "base/UCodePage.h"
#include "playback/UMovieKeys.h"
#include "settings/UConfigKeys.h"
#include "win/UApplication.h"

namespace {

int QueryFlag(UINT action)
{
    BOOL value = FALSE;
    if (!SystemParametersInfoA(action, 0, &value, 0)) return 0;
    return value ? 1 : 0;
}

BOOL CALLBACK CollectTopMost(HWND wnd, LPARAM param)
{
    auto* found = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(param);
    try {
        if (wnd != found->first && (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST))
            found->second->push_back(wnd);
    } catch (...) {
        // no exception may cross the system's callback
    }
    return TRUE;
}

}  // namespace

TController::TController()
{
    MovieWindow = std::make_unique<TPlayWindow>();
    Changer = std::make_unique<TDisplayModeChanger>(MovieWindow->GetHandle());
    GUITree.SetParent(&GlobalTree);
    SavedLowPower = QueryFlag(SPI_GETLOWPOWERACTIVE);
    SavedPowerOff = QueryFlag(SPI_GETPOWEROFFACTIVE);
    SavedScreenSaver = QueryFlag(SPI_GETSCREENSAVEACTIVE);

    // The movie window's message handling is guarded: an exception from the
    // events it raises for a message reaches the application's handler. Those
    // also raised by calls of ours (OnStopped, OnHidden) are guarded here, so
    // that the call goes on; so is OnActivate, which the window's default
    // activation follows.
    TPlayWindow& w = *MovieWindow;
    w.OnComplete = [this] { OnMovieComplete(); };
    w.OnStopped = [this] {
        Guarded([this] {
            SetStopScreenSaver(false);
            SetFullScreen(false);
        });
    };
    w.OnError = [this](HRESULT error) { OnMovieError(error); };
    w.OnActivate = [this](bool active) { Guarded([&] { OnMovieActivate(active); }); };
    w.OnHandleCreated = [this] { Changer->SetWindowHandle(MovieWindow->GetHandle()); };
    w.OnHidden = [this] { HandleMovieEvent(&TController::OnMovieHidden); };
    w.OnDragMoved = [this] { OnMovieDragMoved(); };
    w.OnResize = [this] { OnMovieResized(); };
    w.OnKeyDown = [this](int key, bool ctrl, bool alt) { OnMovieKeyDown(key, ctrl, alt); };
    w.OnMouseMove = [this](int, int) { OnMovieMouseMove(); };
    w.OnMenuCommand = [this](UINT id) {
        if (OnPopupCommand) OnPopupCommand(id);
    };
    LayerOnTimer.OnTimer = [this] { OnLayerTimer(false); };
    LayerOffTimer.OnTimer = [this] { OnLayerTimer(true); };
}

TController::~TController()
{
    try {
        SetStopScreenSaver(false);
    } catch (...) {
    }
    try {
        SetFullScreen(false);
    } catch (...) {
    }
    DetachMovieWindow();
    if (PlayList) {
        // The list outlives us: it must neither call us nor read through our trees.
        DisconnectList(PlayList);
        PlayList->Setting().SetParent(nullptr);
    }
    GUITree.SetParent(nullptr);
}

// Every hook the constructor set on the movie window and the timers.
void TController::DetachMovieWindow()
{
    TPlayWindow& w = *MovieWindow;
    w.OnComplete = nullptr;
    w.OnStopped = nullptr;
    w.OnError = nullptr;
    w.OnActivate = nullptr;
    w.OnHandleCreated = nullptr;
    w.OnHidden = nullptr;
    w.OnDragMoved = nullptr;
    w.OnResize = nullptr;
    w.OnKeyDown = nullptr;
    w.OnMouseMove = nullptr;
    w.OnMenuCommand = nullptr;
    LayerOnTimer.OnTimer = nullptr;
    LayerOffTimer.OnTimer = nullptr;
}

// A movie window event that our own calls raise too: reported, and the call goes on.
void TController::HandleMovieEvent(void (TController::*handler)())
{
    Guarded([&] { (this->*handler)(); });
}

// --- environment and play list ------------------------------------------------

void TController::ApplyEnvironment()
{
    Modes.ChangeDisplayMode = ReadKey(GlobalTree, ConfigKey::ChangeDisplayMode);
    Changer->SetForceWindowPosRestore(ReadKey(GlobalTree, ConfigKey::ForceWindowPosRestore));
    FPlayListDir = PlayListFolder(ReadKey(GlobalTree, ConfigKey::PlayListDir), ConfigDir);
}

void TController::ConnectList(TPlayList* list)
{
    list->OnChange = [this](TPlayList& sender, int kind, int first, int second) {
        if (&sender == PlayList) OnListChanged(kind, first, second);
    };
}

void TController::DisconnectList(TPlayList* list) { list->OnChange = nullptr; }

void TController::SetPlayList(TPlayList* list)
{
    if (list != PlayList) {
        StopPlayback();
        if (PlayList) {
            GUITree.SetParent(&GlobalTree);
            PlayList->Setting().SetParent(nullptr);
            DisconnectList(PlayList);
        }
    }
    PlayList = list;
    GUITree.Clear();
    Order.SetLoadedIndex(-1);
    if (!PlayList) {
        GUITree.SetParent(&GlobalTree);
        Order.SetCurrentIndex(-1);
        return;
    }
    GUITree.SetParent(&PlayList->Setting());
    ApplyListSettings();
}

void TController::ApplyListSettings()
{
    if (!PlayList) return;
    TSetting& tree = PlayList->Setting();
    tree.SetParent(&GlobalTree);
    SetRandom(ReadKey(tree, ConfigKey::Random));
    SetRepeat(ReadKey(tree, ConfigKey::Repeat));
    SetMovieWindowVisible(ReadKey(tree, ConfigKey::ShowMovieWindow));
    SetLayerWait(ReadKey(tree, ConfigKey::LayerWait));
    ConnectList(PlayList);
    SelectFirst();
}

void TController::SetRandom(bool on) { Order.SetRandom(on, EntryCount()); }

int TController::SelectFirst() { return Order.SelectFirst(EntryCount()); }
int TController::SelectNext() { return Order.SelectNext(EntryCount()); }
int TController::SelectPrevious() { return Order.SelectPrevious(EntryCount()); }

void TController::OnListChanged(int kind, int index, int count)
{
    TListChangeResult r = Order.ListChanged(kind, index, count);
    if (r.LoadedRemoved && PlayList) {
        // The loaded entry's file tree is gone with it.
        GUITree.SetParent(&PlayList->Setting());
    }
    if (r.StopPlayback) StopPlayback();
}

// --- playing --------------------------------------------------------------------

void TController::PlayCurrent(bool restart)
{
    FFailuresInARow = 0;
    PlayEntry(restart);
}

void TController::PlayEntry(bool restart)
{
    int index = Order.CurrentIndex();
    if (!PlayList || index < 0 || index >= PlayList->FileCount()) return;
    TMediaFile& entry = PlayList->Files(index);
    if (GUITree.Parent() != &entry.Setting()) {
        GUITree.SetParent(&entry.Setting());
        Order.SetLoadedIndex(index);
        try {
            // The real name: an escaped one never turns into a look-alike
            // that names another file.
            MovieWindow->OpenFile(CodePage::ToWide(entry.Path()));
        } catch (const std::exception& e) {
            // Nothing is loaded: the next request opens the file again.
            GUITree.SetParent(&PlayList->Setting());
            Order.SetLoadedIndex(-1);
            if (!OnPlayError) throw;
            PlayFailed(entry.Path(), e.what());
            return;
        }
        ApplySettings();
    } else if (restart) {
        MovieWindow->Rewind();
    }
    MovieWindow->Play();
}

// Reports the current entry's failure; in continuous play the next entry
// follows as after an end of media, unless too many failed in a row (a list
// of missing files must not keep the player busy for ever).
void TController::PlayFailed(const std::string& fileName, const std::string& message)
{
    ++FFailuresInARow;
    const bool gaveUp = Order.Continuous() && FFailuresInARow >= MaxFailuresInARow;
    if (OnPlayError) OnPlayError(fileName, message, gaveUp);
    const int r = gaveUp ? -1 : Order.SelectAfterComplete(EntryCount());
    if (r >= 0)
        PlayEntry(true);
    else
        StopPlayback();
}

void TController::PausePlayback() { MovieWindow->Pause(); }

void TController::StopPlayback() { MovieWindow->Stop(); }

void TController::SetPosition(int steps) { MovieWindow->SetPosition(steps); }

int TController::Position() const
{
    try {
        LastPosition = MovieWindow->GetPosition();
    } catch (const Exception&) {
    }
    return LastPosition;
}

void TController::SetPopupMenu(HMENU menu) { MovieWindow->SetPopupMenu(menu); }

void TController::EndLayered() { MovieWindow->SetLayered(false); }

void TController::ApplySettings()
{
    SetMute(ReadKey(GUITree, ConfigKey::Mute));
    SetBaseVolume(ReadKey(GUITree, ConfigKey::BaseVolume));
    SetStopScreenSaver(ReadKey(GUITree, ConfigKey::StopScreenSaver));
    ApplyMainWindowSetting();
    ApplyMovieWindowSettings();
}

void TController::ApplyMainWindowSetting()
{
    if (MainWindowShown && OnMainWindowWanted) {
        const bool shown = MainWindowShown();
        const bool wanted = ReadKey(GUITree, ConfigKey::ShowControllWindow, shown);
        if (wanted != shown) OnMainWindowWanted(wanted);
    }
}

// Visibility, full screen and the window mode of the loaded entry.
void TController::ApplyMovieWindowSettings()
{
    bool show = ReadKey(GUITree, ConfigKey::ShowMovieWindow);
    bool full = ReadKey(GUITree, ConfigKey::FullScreen);

    LoadFullScreenMode();
    LoadWindowMode();

    if (show || full || MovieWindow->GetHasVideo())
        MovieWindow->Show();
    else
        MovieWindow->Hide();
    if (!MovieWindow->Showing()) return;

    if (full) {
        if (MovieWindow->GetHasVideo()) Changer->SetMode(Modes.Full.Mode);
        SetFullScreen(true);
    } else {
        SetFullScreen(false);
        SetTopMostMode(Modes.Window.TopMost);
        SetWindowAlpha(Modes.Window.LayerAlpha);
        const TWindowModeValues& v = Modes.Window;
        SetMovieBounds(v.Left, v.Top, v.Width, v.Height);
    }
    UpdateVideoLayout();
}

void TController::OnMovieComplete()
{
    FFailuresInARow = 0;
    int r = Order.SelectAfterComplete(EntryCount());
    if (r >= 0)
        PlayEntry(true);
    else
        StopPlayback();
}

// The movie window has stopped the graph already.
void TController::OnMovieError(HRESULT error)
{
    const int index = Order.CurrentIndex();
    if (!OnPlayError || !PlayList || index < 0 || index >= PlayList->FileCount()) return;
    PlayFailed(PlayList->Files(index).Path(), EDSError(error).what());
}

// --- settings edited by a dialog ------------------------------------------------

namespace {

bool PlaybackKey(const TKeyInfo& key) { return (key.Levels & lvGUI) != 0; }

std::optional<std::string> OwnValue(TSetting& setting, const std::string& path)
{
    if (!setting.Exists(path)) return std::nullopt;
    return setting.ReadString(path, std::string());
}

}  // namespace

std::optional<std::string> TController::Resolved(const std::string& path)
{
    for (TSetting* s = &GUITree; s; s = s->Parent())
        if (s->Exists(path)) return s->ReadString(path, std::string());
    return std::nullopt;
}

TController::TSettingsSnapshot TController::SnapshotSettings(TSetting& level)
{
    TSettingsSnapshot snapshot;
    snapshot.Level = &level;
    for (const TKeyInfo& key : ConfigKeyTable()) {
        if (!PlaybackKey(key)) continue;
        snapshot.Own[key.Path()] = OwnValue(level, key.Path());
        snapshot.Resolved[key.Path()] = Resolved(key.Path());
    }
    return snapshot;
}

void TController::ApplyEditedSettings(const TSettingsSnapshot& before)
{
    if (!before.Level) return;
    // A value the user set now outranks an earlier toggle of the same key.
    for (const auto& [path, own] : before.Own)
        if (OwnValue(*before.Level, path) != own && GUITree.Exists(path)) GUITree.DeleteValue(path);

    std::vector<std::string> changed;
    for (const auto& [path, value] : before.Resolved)
        if (Resolved(path) != value) changed.push_back(path);
    auto was = [&](const auto& key) {
        return std::find(changed.begin(), changed.end(), key.Path()) != changed.end();
    };
    // A key of the window or full-screen mode (the layer wait is the list's).
    const bool modes = std::any_of(changed.begin(), changed.end(), [](const std::string& path) {
        return (path.rfind(ConfigKey::StretchRatio.Folder, 0) == 0 && path != ConfigKey::LayerWait.Path()) ||
               path.rfind(ConfigKey::FullScreenWidth.Folder, 0) == 0;
    });

    if (was(ConfigKey::Random)) SetRandom(ReadKey(GUITree, ConfigKey::Random));
    if (was(ConfigKey::Repeat)) SetRepeat(ReadKey(GUITree, ConfigKey::Repeat));
    if (was(ConfigKey::LayerWait)) SetLayerWait(ReadKey(GUITree, ConfigKey::LayerWait));
    if (!Loaded()) {
        // Nothing loaded: the window shows as the list says (ApplyListSettings).
        if (was(ConfigKey::ShowMovieWindow))
            SetMovieWindowVisible(ReadKey(GUITree, ConfigKey::ShowMovieWindow));
        return;
    }
    if (was(ConfigKey::Mute)) SetMute(ReadKey(GUITree, ConfigKey::Mute));
    if (was(ConfigKey::BaseVolume)) SetBaseVolume(ReadKey(GUITree, ConfigKey::BaseVolume));
    if (was(ConfigKey::StopScreenSaver)) SetStopScreenSaver(ReadKey(GUITree, ConfigKey::StopScreenSaver));
    if (was(ConfigKey::ShowControllWindow)) ApplyMainWindowSetting();
    if (modes || was(ConfigKey::ShowMovieWindow) || was(ConfigKey::FullScreen)) ApplyMovieWindowSettings();
}

// --- volume and screen saver ----------------------------------------------------

void TController::ApplyVolume()
{
    if (!Volume.Muted()) MovieWindow->SetVolume(Volume.Gain());
}

void TController::SetVolumePercent(int percent)
{
    if (Volume.SetPercent(percent)) ApplyVolume();
}

void TController::SetBaseVolume(double base)
{
    if (Volume.SetBaseVolume(base)) ApplyVolume();
}

void TController::SetMute(bool on)
{
    Volume.SetMuted(on);
    MovieWindow->SetVolume(Volume.Gain());
}

void TController::SetStopScreenSaver(bool on)
{
    if (on == FScreenSaverStopped) return;
    FScreenSaverStopped = on;
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, on ? 0 : SavedLowPower, nullptr, 0);
    SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, on ? 0 : SavedPowerOff, nullptr, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, on ? 0 : SavedScreenSaver, nullptr, 0);
}

// --- toggles --------------------------------------------------------------------

bool TController::ToggleOn(TToggle toggle) const
{
    switch (toggle) {
        case TToggle::FullScreen:
            return FullScreen();
        case TToggle::TopMost:
            return TopMost();
        case TToggle::MovieWindow:
            return MovieWindowVisible();
        case TToggle::MainWindow:
            return MainWindowShown && MainWindowShown();
        case TToggle::Random:
            return Random();
        case TToggle::Repeat:
            return Repeat();
        case TToggle::Mute:
            return Muted();
        case TToggle::StopScreenSaver:
            return ScreenSaverStopped();
        case TToggle::PlayCenter:
            return PlayCenter();
        case TToggle::Stretch:
            return Stretch();
    }
    return false;
}

void TController::SetToggle(TToggle toggle, bool on)
{
    auto record = [this, on](const TFlagKey& key) { WriteKey(GUITree, key, on); };
    switch (toggle) {
        case TToggle::FullScreen:
            SetFullScreen(on);
            return record(ConfigKey::FullScreen);
        case TToggle::TopMost:
            SetTopMostMode(on);
            return record(ConfigKey::TopMost);
        case TToggle::MovieWindow:
            SetMovieWindowVisible(on);
            return record(ConfigKey::ShowMovieWindow);
        case TToggle::MainWindow:
            if (OnMainWindowWanted) OnMainWindowWanted(on);
            return record(ConfigKey::ShowControllWindow);
        case TToggle::Random:
            SetRandom(on);
            return record(ConfigKey::Random);
        case TToggle::Repeat:
            SetRepeat(on);
            return record(ConfigKey::Repeat);
        case TToggle::Mute:
            SetMute(on);
            return record(ConfigKey::Mute);
        case TToggle::StopScreenSaver:
            SetStopScreenSaver(on);
            return record(ConfigKey::StopScreenSaver);
        case TToggle::PlayCenter:
            SetPlayCenter(on);
            return record(ConfigKey::PlayCenter);
        case TToggle::Stretch:
            if (Modes.FullScreen) return;
            SetStretch(on);
            return record(ConfigKey::WindowStretchImage);
    }
}

void TController::ChooseStretchRatio(int percent)
{
    if (Modes.FullScreen) return;
    SetStretchRatio(percent);
    WriteKey(GUITree, ConfigKey::StretchRatio, percent);
    WriteKey(GUITree, ConfigKey::WindowStretchImage, false);
}

// --- keys -----------------------------------------------------------------------

void TController::OnMovieKeyDown(int key, bool ctrl, bool alt)
{
    switch (MovieKeyCommand(key, ctrl, alt, Modes.FullScreen)) {
        case TMovieKeyCommand::None:
            break;
        case TMovieKeyCommand::ToggleFullScreen:
            Toggle(TToggle::FullScreen);
            break;
        case TMovieKeyCommand::LeaveFullScreen:
            SetToggle(TToggle::FullScreen, false);
            break;
        case TMovieKeyCommand::PlayPrevious:
            if (SelectPrevious() >= 0) PlayCurrent(true);
            break;
        case TMovieKeyCommand::PlayNext:
            if (Order.SelectNextWrapping(EntryCount()) >= 0) PlayCurrent(true);
            break;
        case TMovieKeyCommand::VolumeUp:
            SetVolumePercent(Volume.Percent() + 1);
            break;
        case TMovieKeyCommand::VolumeDown:
            SetVolumePercent(Volume.Percent() - 1);
            break;
        case TMovieKeyCommand::PlayPause:
            if (Playing())
                PausePlayback();
            else
                PlayCurrent();
            break;
        case TMovieKeyCommand::ToggleScreenSaver:
            SetStopScreenSaver(!FScreenSaverStopped);
            break;
        case TMovieKeyCommand::Stop:
            StopPlayback();
            break;
        case TMovieKeyCommand::ToggleTopMost:
            Toggle(TToggle::TopMost);
            break;
        case TMovieKeyCommand::HideMovieWindow:
            SetToggle(TToggle::MovieWindow, false);
            break;
        case TMovieKeyCommand::Terminate:
            if (Application) Application->Terminate();
            break;
    }
}

// --- window mode and full screen --------------------------------------------------

TLayoutSize TController::VideoSize() const
{
    int w = 0, h = 0;
    MovieWindow->GetVideoSize(w, h);
    return {w, h};
}

TLayoutRect TController::MovieBounds() const
{
    RECT r = MovieWindow->GetBounds();
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TLayoutSize TController::ScreenSize()
{
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void TController::LoadFullScreenMode()
{
    if (!MovieWindow->GetHasVideo()) return;
    Modes.Full.Stretch = ReadKey(GUITree, ConfigKey::FullScreenStretchImage);
    Modes.Full.KeepAspect = ReadKey(GUITree, ConfigKey::FullScreenKeepAspect);
    if (!Modes.ChangeDisplayMode) return;
    bool autoDetect = ReadKey(GUITree, ConfigKey::FullScreenAutoDetect);
    TDisplayMode fixed;
    if (!autoDetect) {
        fixed.Width = ReadKey(GUITree, ConfigKey::FullScreenWidth);
        fixed.Height = ReadKey(GUITree, ConfigKey::FullScreenHeight);
        fixed.BitsPerPixel = ReadKey(GUITree, ConfigKey::FullScreenBitPerPixel);
        fixed.RefreshRate = ReadKey(GUITree, ConfigKey::FullScreenRefreshRate);
    }
    Modes.Full.Mode =
        autoDetect ? FullScreenModeFor(true, fixed, VideoSize(), TDisplayModeChanger::ModeList()) : fixed;
}

void TController::LoadWindowMode()
{
    TWindowModeValues v = Modes.Window;
    v.Stretch = ReadKey(GUITree, ConfigKey::WindowStretchImage);
    v.KeepAspect = ReadKey(GUITree, ConfigKey::WindowKeepAspect);
    v.StretchRatio = ReadKey(GUITree, ConfigKey::StretchRatio);
    v.Center = ReadKey(GUITree, ConfigKey::PlayCenter);
    v.TopMost = ReadKey(GUITree, ConfigKey::TopMost);
    v.LayerAlpha = ReadKey(GUITree, ConfigKey::LayerAlpha);
    TLayoutRect window = MovieBounds();
    if (!v.Center) {
        v.Left = ReadKey(GUITree, ConfigKey::MovieLeft, window.Left);
        v.Top = ReadKey(GUITree, ConfigKey::MovieTop, window.Top);
    }
    PlaceWindowMode(v, MovieWindow->GetHasVideo(), VideoSize(), window, ScreenSize());
    Modes.Window = v;
}

void TController::UpdateVideoLayout()
{
    if (!MovieWindow->GetHasVideo()) return;
    TLayoutRect bounds = MovieBounds();
    TLayoutSize area;
    if (Modes.FullScreen) {
        area = {bounds.Width, bounds.Height};
    } else {
        SIZE client = MovieWindow->GetClientSize();
        area = {client.cx, client.cy};
    }
    TVideoLayout layout = ComputeVideoLayout(Modes, area, VideoSize(), bounds);
    if (layout.Resize)
        SetMovieBounds(layout.Bounds.Left, layout.Bounds.Top, layout.Bounds.Width, layout.Bounds.Height);
    if (layout.Center) CenterMovieWindow();
    MovieWindow->SetVideoRect(layout.Video.Left, layout.Video.Top, layout.Video.Width, layout.Video.Height);
    MovieWindow->Show();
}

void TController::CenterMovieWindow()
{
    TLayoutRect b = MovieBounds();
    TLayoutRect r = CenteredBounds(ScreenSize(), {b.Width, b.Height});
    SetMovieBounds(r.Left, r.Top, r.Width, r.Height);
}

// Bounds the controller sets never count as a resize by the user.
void TController::SetMovieBounds(int left, int top, int width, int height)
{
    struct TDetach {
        bool& Attached;
        bool Saved;
        explicit TDetach(bool& attached) : Attached(attached), Saved(attached) { Attached = false; }
        ~TDetach() { Attached = Saved; }
    } detach(ResizeAttached);
    MovieWindow->SetBounds(left, top, width, height);
}

void TController::SetFullScreen(bool on)
{
    if (on == Modes.FullScreen) return;
    Modes.FullScreen = on;
    if (!on) {
        LeaveFullScreen();
    } else {
        try {
            EnterFullScreen();
        } catch (...) {
            // The display refused the mode: back to window mode, not a
            // full-screen state without the full screen.
            Modes.FullScreen = false;
            try {
                LeaveFullScreen();
                UpdateVideoLayout();
            } catch (...) {
            }
            throw;
        }
    }
    UpdateVideoLayout();
}

void TController::EnterFullScreen()
{
    ResizeAttached = false;
    TLayoutRect before = MovieBounds();
    SizeBeforeFullScreen = {before.Width, before.Height};
    MovieWindow->SetSizableFrame(false);
    MovieWindow->SetCursorHidden(true);
    MovieWindow->Show();
    if (Modes.Window.TopMost) ApplyTopMost(false);
    if (Modes.ChangeDisplayMode) {
        Changer->SetMode(Modes.Full.Mode);
        Changer->SetActive(true);
    } else {
        DemoteTopMostWindows();
        TLayoutSize screen = ScreenSize();
        SetMovieBounds(0, 0, screen.Width, screen.Height);
    }
}

void TController::LeaveFullScreen()
{
    Changer->SetActive(false);
    RestoreTopMostWindows();
    if (Modes.Window.Center) {
        // Centred at the size it had before, not at the size of the screen it covered.
        TLayoutRect r = CenteredBounds(ScreenSize(), SizeBeforeFullScreen);
        SetMovieBounds(r.Left, r.Top, r.Width, r.Height);
    } else {
        const TWindowModeValues& v = Modes.Window;
        SetMovieBounds(v.Left, v.Top, v.Width, v.Height);
    }
    MovieWindow->SetSizableFrame(true);
    if (Modes.Window.TopMost) ApplyTopMost(true);
    MovieWindow->SetCursorHidden(false);
    ResizeAttached = true;
}

// Windows keeps WS_EX_TOPMOST out of SetWindowLong's reach; the z-order
// change that takes it away and gives it back is SetWindowPos's.
void TController::DemoteTopMostWindows()
{
    std::pair<HWND, std::vector<HWND>*> found{MovieWindow->GetHandle(), &FDemotedTopMostWindows};
    EnumWindows(&CollectTopMost, reinterpret_cast<LPARAM>(&found));
    for (HWND wnd : FDemotedTopMostWindows)
        SetWindowPos(wnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TController::RestoreTopMostWindows()
{
    for (HWND wnd : FDemotedTopMostWindows)
        if (IsWindow(wnd))
            SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FDemotedTopMostWindows.clear();
}

void TController::SetTopMostMode(bool on)
{
    Modes.Window.TopMost = on;
    if (!Modes.FullScreen) ApplyTopMost(on);
}

void TController::ApplyTopMost(bool on)
{
    MovieWindow->SetTopMost(on);
    if (Layer.ApplyTopMost(on)) MovieWindow->SetLayered(false);
    SyncLayerTimers();
}

void TController::SetStretch(bool on)
{
    Modes.SetStretch(on);
    UpdateVideoLayout();
}

void TController::SetStretchRatio(int percent)
{
    Modes.SetStretchRatio(percent);
    if (!Modes.FullScreen) UpdateVideoLayout();
}

void TController::SetPlayCenter(bool on)
{
    Modes.Window.Center = on;
    if (on && !Modes.FullScreen) CenterMovieWindow();
}

void TController::SetMovieWindowVisible(bool on)
{
    if (on == MovieWindow->Showing()) return;
    if (on)
        MovieWindow->Show();
    else
        MovieWindow->Hide();
}

void TController::SetWindowAlpha(int alpha)
{
    alpha = std::clamp(alpha, 0, 255);
    Modes.Window.LayerAlpha = alpha;
    MovieWindow->SetLayerAlpha(static_cast<unsigned char>(alpha));
}

void TController::SetLayerWait(int milliseconds)
{
    if (!Layer.SetLayerWait(milliseconds)) return;
    MovieWindow->SetLayeredAllowed(Layer.LayeredAllowed());
    SyncLayerTimers();
}

void TController::SyncLayerTimers()
{
    LayerOnTimer.SetInterval(static_cast<UINT>(Layer.OnInterval()));
    LayerOffTimer.SetInterval(static_cast<UINT>(Layer.OffInterval()));
    LayerOnTimer.SetEnabled(Layer.OnTimer());
    LayerOffTimer.SetEnabled(Layer.OffTimer());
}

bool TController::CursorInClient() const
{
    HWND wnd = MovieWindow->GetHandle();
    POINT p;
    RECT r;
    if (!wnd || !GetCursorPos(&p) || !ScreenToClient(wnd, &p) || !GetClientRect(wnd, &r)) return false;
    return CursorInside(MovieWindow->Showing(), p.x, p.y, r.left, r.top, r.right, r.bottom);
}

void TController::OnMovieMouseMove()
{
    if (!Layer.TrackMouse()) return;
    bool captured = GetCapture() == MovieWindow->GetHandle();
    if (Layer.MouseMoved(MovieWindow->GetLayered(), captured)) {
        LayerOnTimer.SetEnabled(false);  // restarts the full wait
        LayerOnTimer.SetEnabled(true);
    } else {
        SyncLayerTimers();
    }
}

void TController::OnLayerTimer(bool offTimer)
{
    switch (Layer.Tick(offTimer, Modes.FullScreen, CursorInClient())) {
        case TLayerChange::On:
            MovieWindow->SetLayered(true);
            break;
        case TLayerChange::Off:
            MovieWindow->SetLayered(false);
            break;
        case TLayerChange::None:
            break;
    }
    SyncLayerTimers();
}

// --- the movie window's events ---------------------------------------------------

void TController::OnMovieResized()
{
    if (!ResizeAttached) return;
    SetStretch(true);
    if (Modes.Window.Center) {
        CenterMovieWindow();
    } else {
        TLayoutRect b = MovieBounds();
        Modes.Window.Width = b.Width;
        Modes.Window.Height = b.Height;
    }
    WriteKey(GUITree, ConfigKey::WindowStretchImage, true);
}

void TController::OnMovieDragMoved()
{
    TLayoutRect b = MovieBounds();
    Modes.Window.Center = false;
    Modes.Window.Left = b.Left;
    Modes.Window.Top = b.Top;
    WriteKey(GUITree, ConfigKey::PlayCenter, false);
    WriteKey(GUITree, ConfigKey::MovieLeft, b.Left);
    WriteKey(GUITree, ConfigKey::MovieTop, b.Top);
}

void TController::OnMovieHidden()
{
    if (Modes.FullScreen) {
        SetFullScreen(false);
        WriteKey(GUITree, ConfigKey::FullScreen, false);
    }
    WriteKey(GUITree, ConfigKey::ShowMovieWindow, false);
}

void TController::OnMovieActivate(bool active)
{
    if (Modes.FullScreen && Modes.ChangeDisplayMode) Changer->AppActivate(active);
}
