// The mode changer on a real display (Wine's virtual desktop offers modes
// besides the current one): switching and restoring, refused modes,
// activation changes and the placements of other windows. Every test leaves
// the desktop mode in place, also when it fails.
#include "display/UDisplayModeChanger.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

std::string Screen()
{
    Pump();
    DEVMODEA dm{};
    dm.dmSize = sizeof(dm);
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm);
    return std::to_string(dm.dmPelsWidth) + "x" + std::to_string(dm.dmPelsHeight) + " " +
           std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
           std::to_string(GetSystemMetrics(SM_CYSCREEN));
}

std::string Rect(HWND window)
{
    RECT rc{};
    GetWindowRect(window, &rc);
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

int32_t ScreenBits()
{
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

struct TTestWindow {
    TTestWindow(int x, int y, int w, int h, bool visible, DWORD style = WS_POPUP)
        : Handle(CreateWindowExA(0, "STATIC", "", style | (visible ? WS_VISIBLE : 0), x, y, w, h, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr))
    {
    }
    ~TTestWindow() { DestroyWindow(Handle); }
    TTestWindow(const TTestWindow&) = delete;
    TTestWindow& operator=(const TTestWindow&) = delete;
    HWND Handle;
};

struct DesktopGuard : ::testing::Environment {
    void TearDown() override { ChangeDisplaySettingsA(nullptr, 0); }
};
const auto* const Guard = ::testing::AddGlobalTestEnvironment(new DesktopGuard);

class DisplayModeChanger : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Screen(), Desktop) << "tests expect a 1024x768 desktop";
        ASSERT_EQ(TDisplayModeChanger::ModeList().FindNearestMode(640, 480, Bits), Small)
            << "the display offers no 640x480 mode";
    }
    void TearDown() override
    {
        ChangeDisplaySettingsA(nullptr, 0);
        EXPECT_EQ(Screen(), Desktop);
    }
    const std::string Desktop = "1024x768 1024x768";
    const std::string MovieRect = "100,80,420,320";
    const int32_t Bits = ScreenBits();
    const TDisplayMode Small{640, 480, Bits, 0}, Medium{800, 600, Bits, 0}, Refused{123, 77, Bits, 0};
    TTestWindow Movie{100, 80, 320, 240, true};
};

}  // namespace

TEST(DisplayModeListOnScreen, ListsEveryModeOfTheDisplayOnce)
{
    const TDisplayModeList& modes = TDisplayModeChanger::ModeList();
    EXPECT_EQ(&modes, &TDisplayModeChanger::ModeList());
    DEVMODEA dm{};
    dm.dmSize = sizeof(dm);
    size_t offered = 0;
    while (EnumDisplaySettingsA(nullptr, static_cast<DWORD>(offered), &dm)) ++offered;
    EXPECT_EQ(modes.Count(), offered);
    EXPECT_GT(offered, 1u);
    EXPECT_EQ(TDisplayModeList().Items(), modes.Items());
}

TEST_F(DisplayModeChanger, SwitchesReappliesFollowsActivationAndRestores)
{
    TDisplayModeChanger changer(Movie.Handle);
    changer.AppActivate(true);  // not switched: ignored
    EXPECT_FALSE(changer.GetAppActive());
    changer.SetMode(Small);
    EXPECT_EQ(Screen(), Desktop) << "SetMode alone does not switch";

    changer.SetActive(true);
    EXPECT_TRUE(changer.IsChanged());
    EXPECT_EQ(Screen(), "640x480 640x480");
    EXPECT_EQ(Rect(Movie.Handle), "0,0,640,480");
    changer.SetActive(true);  // already switched: nothing happens
    changer.SetMode(Medium);
    EXPECT_EQ(Screen(), "800x600 800x600");
    EXPECT_EQ(Rect(Movie.Handle), "0,0,800,600");

    changer.AppActivate(false);
    EXPECT_TRUE(changer.IsChanged());
    EXPECT_EQ(Screen(), Desktop);
    EXPECT_EQ(Rect(Movie.Handle), "0,0,800,600") << "deactivation does not move the window";
    changer.AppActivate(true);
    EXPECT_EQ(Screen(), "800x600 800x600");

    changer.SetActive(false);
    EXPECT_FALSE(changer.IsChanged());
    EXPECT_EQ(Screen(), Desktop);
    EXPECT_EQ(Rect(Movie.Handle), MovieRect) << "the rectangle from before the first switch";
    SetWindowPos(Movie.Handle, nullptr, 7, 7, 70, 70, SWP_NOZORDER);
    changer.SetActive(false);  // not switched: the window is left alone
    EXPECT_EQ(Rect(Movie.Handle), "7,7,77,77");

    {
        TDisplayModeChanger dying(Movie.Handle);
        dying.SetMode(Small);
        dying.SetActive(true);
    }
    EXPECT_EQ(Screen(), Desktop) << "destroyed while switched";
    EXPECT_EQ(Rect(Movie.Handle), "7,7,77,77");
}

TEST_F(DisplayModeChanger, FailuresLeaveTheDesktopModeAndTheWindowInPlace)
{
    TDisplayModeChanger changer(Movie.Handle);
    auto failure = [&](auto action) {
        try {
            action();
        } catch (const EDispChangeError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(failure([&] { changer.SetActive(true); }), "解像度・リフレッシュレート設定がされていません");
    EXPECT_TRUE(changer.GetAppActive());
    const TDisplayMode nothingSuitable = TDisplayModeChanger::ModeList().FindNearestMode(640, 480, 7);
    for (const TDisplayMode& mode : {Refused, nothingSuitable, TDisplayMode{-640, 480, Bits, 0}}) {
        changer.SetMode(mode);
        EXPECT_EQ(failure([&] { changer.SetActive(true); }), "解像度変更に失敗しました") << mode.Width;
        EXPECT_FALSE(changer.IsChanged());
        EXPECT_EQ(Screen(), Desktop);
        EXPECT_EQ(Rect(Movie.Handle), MovieRect);
    }

    changer.SetMode(Small);
    changer.SetActive(true);
    EXPECT_EQ(failure([&] { changer.SetForceWindowPosRestore(true); }),
              "フルスクリーン中に強制復帰設定は変更できません");
    EXPECT_FALSE(changer.GetForceWindowPosRestore());
    EXPECT_EQ(failure([&] { changer.SetMode(Refused); }), "解像度変更に失敗しました");
    EXPECT_FALSE(changer.IsChanged());
    EXPECT_EQ(Screen(), Desktop);
    EXPECT_EQ(Rect(Movie.Handle), MovieRect);
}

TEST_F(DisplayModeChanger, PlacementsOfVisibleOtherWindowsComeBack)
{
    TTestWindow other(500, 300, 400, 300, true, WS_OVERLAPPEDWINDOW);
    TTestWindow hidden(600, 400, 100, 100, false, WS_OVERLAPPEDWINDOW);
    auto moveOthers = [&] {
        SetWindowPos(other.Handle, nullptr, 10, 20, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(hidden.Handle, nullptr, 30, 40, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    TDisplayModeChanger changer(Movie.Handle);
    changer.SetMode(Small);
    changer.SetActive(true);  // without the forced restore nothing is saved
    EXPECT_EQ(changer.SavedPlacementCount(), 0u);
    moveOthers();
    changer.SetActive(false);
    EXPECT_EQ(Rect(other.Handle), "10,20,210,120");

    SetWindowPos(other.Handle, nullptr, 500, 300, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(hidden.Handle, nullptr, 600, 400, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    changer.SetForceWindowPosRestore(true);
    changer.SetActive(true);
    EXPECT_GE(changer.SavedPlacementCount(), 3u);
    moveOthers();
    changer.SetActive(false);
    EXPECT_EQ(changer.SavedPlacementCount(), 0u);
    EXPECT_EQ(Rect(other.Handle), "500,300,900,600");
    EXPECT_EQ(Rect(hidden.Handle), "30,40,230,140") << "invisible windows are not touched";
    EXPECT_FALSE(IsWindowVisible(hidden.Handle));
    EXPECT_EQ(Rect(Movie.Handle), MovieRect);

    // A refused re-apply puts them back too and keeps no placements.
    changer.SetActive(true);
    moveOthers();
    EXPECT_THROW(changer.SetMode(Refused), EDispChangeError);
    EXPECT_EQ(changer.SavedPlacementCount(), 0u);
    EXPECT_EQ(Rect(other.Handle), "500,300,900,600");
    EXPECT_THROW(changer.SetActive(true), EDispChangeError);
    EXPECT_EQ(changer.SavedPlacementCount(), 0u);
}

TEST_F(DisplayModeChanger, ANewWindowWhileSwitchedTakesOverTheScreen)
{
    TTestWindow second(200, 150, 160, 120, true);
    TDisplayModeChanger changer(Movie.Handle);
    changer.SetMode(Small);
    changer.SetActive(true);
    changer.SetWindowHandle(second.Handle);
    EXPECT_EQ(changer.GetWindowHandle(), second.Handle);
    EXPECT_EQ(Screen(), "640x480 640x480");
    EXPECT_EQ(Rect(Movie.Handle), MovieRect);
    EXPECT_EQ(Rect(second.Handle), "0,0,640,480");
    changer.SetActive(false);
    EXPECT_EQ(Rect(second.Handle), "200,150,360,270");
    changer.SetWindowHandle(Movie.Handle);  // not switched: only the handle changes
    EXPECT_EQ(Rect(second.Handle), "200,150,360,270");
    EXPECT_EQ(Screen(), Desktop);
}
