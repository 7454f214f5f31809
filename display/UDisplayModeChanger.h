// Switching the display to a full-screen mode for the movie window and back
// (Windows only). Include "display/UDisplayModeList.h", which brings this in.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "display/UDisplayModeList.h"

// Switches the display to Mode while active, sizing the movie window to the
// whole screen, and puts the desktop mode and the window's rectangle back when
// it ends. Optionally saves the placements of all top-level windows before the
// switch and restores them afterwards (the switch may squeeze them). Follows
// the application's activation: the desktop mode returns while the user works
// in another program. Every operation runs on the GUI thread.
class TDisplayModeChanger {
public:
    explicit TDisplayModeChanger(HWND window);
    ~TDisplayModeChanger();
    TDisplayModeChanger(const TDisplayModeChanger&) = delete;
    TDisplayModeChanger& operator=(const TDisplayModeChanger&) = delete;

    // Width 0 means no mode. While switched the new mode applies at once.
    void SetMode(const TDisplayMode& mode);
    const TDisplayMode& GetMode() const { return Mode; }

    // true switches the display to Mode (raises EDispChangeError when there is
    // no mode or the display refuses it; the desktop mode and the window's
    // rectangle are back by then); false returns to the desktop mode.
    void SetActive(bool on);
    bool IsChanged() const { return Changed; }

    // A new handle for the movie window; while switched the old window gets
    // its rectangle back and the new one covers the screen.
    void SetWindowHandle(HWND window);
    HWND GetWindowHandle() const { return Window; }

    // Cannot be changed while switched (raises EDispChangeError).
    void SetForceWindowPosRestore(bool value);
    bool GetForceWindowPosRestore() const { return ForceWindowPosRestore; }

    // The application was activated or deactivated; only matters while switched.
    void AppActivate(bool active);
    bool GetAppActive() const { return AppActive; }

    // How many window placements are held for the restore.
    std::size_t SavedPlacementCount() const { return SavedPlacements.size(); }

    // The process's shared list of display modes, enumerated on first request.
    static const TDisplayModeList& ModeList();

private:
    struct TSavedPlacement {
        HWND Window;
        WINDOWPLACEMENT Placement;
    };

    void ApplyMode();
    void RestoreMode();
    void SavePlacements();
    void RestorePlacements();
    static BOOL CALLBACK SavePlacementProc(HWND window, LPARAM param);

    HWND Window;
    RECT SavedRect{};
    std::vector<TSavedPlacement> SavedPlacements;
    bool AppActive = false;
    TDisplayMode Mode;
    bool Changed = false;
    bool ForceWindowPosRestore = false;
};
