#include "display/UDisplayModeChanger.h"

#include <memory>

static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA must have the size the display functions expect");
static_assert(sizeof(WINDOWPLACEMENT) == 44,
              "WINDOWPLACEMENT must have the size the window functions expect");

namespace {

// Largest width or height taken for a switch. Anything larger cannot be a
// display mode; such a size (for instance the result of a nearest-mode search
// that found nothing) is refused before the movie window is sized to it.
constexpr int32_t MaxModeExtent = 32767;

bool IsPlausible(const TDisplayMode& mode)
{
    return mode.Width > 0 && mode.Width <= MaxModeExtent && mode.Height > 0 && mode.Height <= MaxModeExtent &&
           mode.BitsPerPixel >= 0 && mode.RefreshRate >= 0;
}

}  // namespace

TDisplayModeList::TDisplayModeList()
    : TDisplayModeList([](int32_t number, TDisplayMode& mode) {
          DEVMODEA devmode{};
          devmode.dmSize = sizeof(DEVMODEA);
          if (!EnumDisplaySettingsA(nullptr, static_cast<DWORD>(number), &devmode)) return false;
          mode.Width = static_cast<int32_t>(devmode.dmPelsWidth);
          mode.Height = static_cast<int32_t>(devmode.dmPelsHeight);
          mode.BitsPerPixel = static_cast<int32_t>(devmode.dmBitsPerPel);
          mode.RefreshRate = static_cast<int32_t>(devmode.dmDisplayFrequency);
          return true;
      })
{
}

TDisplayModeChanger::TDisplayModeChanger(HWND window) : Window(window) {}

TDisplayModeChanger::~TDisplayModeChanger()
{
    try {
        SetActive(false);
    } catch (...) {
    }
    SavedPlacements.clear();
}

const TDisplayModeList& TDisplayModeChanger::ModeList()
{
    static TSharedDisplayModeList shared([] { return std::make_unique<TDisplayModeList>(); });
    return shared.Get();
}

void TDisplayModeChanger::SetMode(const TDisplayMode& mode)
{
    Mode = mode;
    if (Changed) ApplyMode();
}

void TDisplayModeChanger::SetActive(bool on)
{
    if (on == Changed) return;
    AppActive = true;
    if (on) {
        if (ForceWindowPosRestore && Mode.Width != 0) SavePlacements();
        ApplyMode();
    } else {
        RestoreMode();
        RestorePlacements();
    }
}

void TDisplayModeChanger::SetWindowHandle(HWND window)
{
    if (Changed) {
        RestoreMode();
        Window = window;
        ApplyMode();
    } else {
        Window = window;
    }
}

void TDisplayModeChanger::SetForceWindowPosRestore(bool value)
{
    if (Changed) throw EDispChangeError("フルスクリーン中に強制復帰設定は変更できません");
    ForceWindowPosRestore = value;
}

void TDisplayModeChanger::AppActivate(bool active)
{
    if (active == AppActive || !Changed) return;
    AppActive = active;
    if (active)
        ApplyMode();
    else
        ChangeDisplaySettingsA(nullptr, 0);
}

void TDisplayModeChanger::ApplyMode()
{
    if (Mode.Width == 0) throw EDispChangeError("解像度・リフレッシュレート設定がされていません");
    try {
        if (!Changed) GetWindowRect(Window, &SavedRect);
        if (!IsPlausible(Mode)) throw EDispChangeError("解像度変更に失敗しました");
        SetWindowPos(Window, nullptr, 0, 0, Mode.Width, Mode.Height, SWP_SHOWWINDOW);
        DEVMODEA devmode{};
        devmode.dmSize = sizeof(DEVMODEA);
        devmode.dmPelsWidth = static_cast<DWORD>(Mode.Width);
        devmode.dmPelsHeight = static_cast<DWORD>(Mode.Height);
        devmode.dmBitsPerPel = static_cast<DWORD>(Mode.BitsPerPixel);
        devmode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        if (Mode.RefreshRate != 0) {
            devmode.dmDisplayFrequency = static_cast<DWORD>(Mode.RefreshRate);
            devmode.dmFields |= DM_DISPLAYFREQUENCY;
        }
        if (ChangeDisplaySettingsA(&devmode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
            throw EDispChangeError("解像度変更に失敗しました");
    } catch (...) {
        // Leave nothing half-switched: desktop mode, the window's rectangle
        // and the other windows' placements are back before the error leaves.
        RestoreMode();
        RestorePlacements();
        throw;
    }
    Changed = true;
}

void TDisplayModeChanger::RestoreMode()
{
    ChangeDisplaySettingsA(nullptr, 0);
    ShowWindow(Window, SW_SHOWNORMAL);
    SetWindowPos(Window, nullptr, SavedRect.left, SavedRect.top, SavedRect.right - SavedRect.left,
                 SavedRect.bottom - SavedRect.top, SWP_SHOWWINDOW);
    Changed = false;
}

BOOL CALLBACK TDisplayModeChanger::SavePlacementProc(HWND window, LPARAM param)
{
    auto* self = reinterpret_cast<TDisplayModeChanger*>(param);
    TSavedPlacement saved{};
    saved.Window = window;
    saved.Placement.length = sizeof(WINDOWPLACEMENT);
    try {
        if (GetWindowPlacement(window, &saved.Placement)) self->SavedPlacements.push_back(saved);
    } catch (...) {
        // No exception may cross the system's callback; a placement that
        // cannot be stored is skipped like one that cannot be read.
    }
    return TRUE;
}

void TDisplayModeChanger::SavePlacements()
{
    SavedPlacements.clear();
    EnumWindows(&TDisplayModeChanger::SavePlacementProc, reinterpret_cast<LPARAM>(this));
}

void TDisplayModeChanger::RestorePlacements()
{
    if (ForceWindowPosRestore) {
        for (const TSavedPlacement& saved : SavedPlacements) {
            if (saved.Window != Window && IsWindowVisible(saved.Window))
                SetWindowPlacement(saved.Window, &saved.Placement);
        }
    }
    SavedPlacements.clear();
}
