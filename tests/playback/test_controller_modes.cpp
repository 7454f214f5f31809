// Window mode and full screen driven by the controller in the virtual
// desktop: a real display-mode switch and its restore, a refused mode, full
// screen by demoting other top-most windows, the layout of a video window,
// the user's drag and resize, the keys, translucency and the screen saver.
#include <algorithm>

#include "tests/playback/ControllerTestSupport.h"

namespace {

RECT Bounds(HWND wnd)
{
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
}

bool HasExStyle(HWND wnd, DWORD bit) { return (GetWindowLongA(wnd, GWL_EXSTYLE) & bit) != 0; }

// A visible top-level window of this test, top-most or not.
struct THelperWindow {
    HWND Handle;
    explicit THelperWindow(bool topMost)
    {
        Handle = CreateWindowExA(topMost ? WS_EX_TOPMOST : 0, "STATIC", "helper", WS_POPUP | WS_VISIBLE, 10,
                                 10, 50, 50, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~THelperWindow() { DestroyWindow(Handle); }
};

class ModesTest : public ControllerTest {
protected:
    void NoDisplayModeChange()
    {
        WriteKey(Controller->GlobalSetting(), ConfigKey::ChangeDisplayMode, false);
        Controller->ApplyEnvironment();
    }
    void FixedFullScreenMode(int width, int height, int bits)
    {
        WriteKey(List->Setting(), ConfigKey::FullScreenAutoDetect, false);
        WriteKey(List->Setting(), ConfigKey::FullScreenWidth, width);
        WriteKey(List->Setting(), ConfigKey::FullScreenHeight, height);
        WriteKey(List->Setting(), ConfigKey::FullScreenBitPerPixel, bits);
    }
    // Loads the movie and holds it paused.
    void LoadMovie()
    {
        List->AddFile(MediaPath("movie.avi"));
        Controller->SetPlayList(List.get());
        Controller->PlayCurrent();
        Controller->PausePlayback();
        ASSERT_TRUE(Controller->GetMovieWindow().GetHasVideo());
    }
};

int BitsOf640x480()
{
    for (const TDisplayMode& m : TDisplayModeChanger::ModeList().Items())
        if (m.Width == 640 && m.Height == 480) return m.BitsPerPixel;
    return 0;
}

}  // namespace

TEST_F(ModesTest, FullScreenSwitchesTheDisplayModeAndRestoresIt)
{
    int bits = BitsOf640x480();
    ASSERT_NE(0, bits) << "the virtual desktop offers no 640x480";
    FixedFullScreenMode(640, 480, bits);
    LoadMovie();
    HWND movie = Controller->MovieWindowHandle();
    TPlayWindow& w = Controller->GetMovieWindow();
    RECT before = Bounds(movie);

    Controller->SetFullScreen(true);
    EXPECT_TRUE(Controller->FullScreen());
    EXPECT_TRUE(Controller->PlayCenter());
    EXPECT_EQ(640, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(480, GetSystemMetrics(SM_CYSCREEN));
    RECT full = Bounds(movie);
    EXPECT_EQ(0, full.left);
    EXPECT_EQ(0, full.top);
    EXPECT_EQ(640, full.right);
    EXPECT_EQ(480, full.bottom);
    EXPECT_FALSE(w.GetSizableFrame());
    // Stretched with its aspect kept: 160x120 fills 640x480.
    EXPECT_EQ(640, w.GetVideoRect().Width);
    EXPECT_EQ(480, w.GetVideoRect().Height);

    Controller->SetFullScreen(false);
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    RECT after = Bounds(movie);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);
    EXPECT_TRUE(w.GetSizableFrame());
    Controller->StopPlayback();
}

TEST_F(ModesTest, ARefusedModeLeavesWindowMode)
{
    FixedFullScreenMode(1234, 567, 32);
    LoadMovie();
    HWND movie = Controller->MovieWindowHandle();
    RECT before = Bounds(movie);
    EXPECT_THROW(Controller->SetFullScreen(true), EDispChangeError);
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_TRUE(Controller->GetMovieWindow().GetSizableFrame());
    EXPECT_FALSE(Controller->GetMovieWindow().GetCursorHidden());
    RECT after = Bounds(movie);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);
    // Asked for by the user: what was refused is not recorded, so that the
    // next entry does not try again.
    EXPECT_THROW(Controller->Toggle(TController::TToggle::FullScreen), EDispChangeError);
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_FALSE(KeyIsSet(Controller->GUISetting(), ConfigKey::FullScreen));
    Controller->StopPlayback();
}

TEST_F(ModesTest, WithoutAModeChangeOtherTopMostWindowsAreDemotedAndRestored)
{
    NoDisplayModeChange();
    THelperWindow topMost(true), plain(false);
    ASSERT_TRUE(HasExStyle(topMost.Handle, WS_EX_TOPMOST));
    HWND movie = Controller->MovieWindowHandle();

    Controller->SetFullScreen(true);
    EXPECT_TRUE(IsWindowVisible(movie));
    EXPECT_FALSE(HasExStyle(topMost.Handle, WS_EX_TOPMOST));
    const std::vector<HWND>& demoted = Controller->DemotedTopMostWindows();
    EXPECT_NE(demoted.end(), std::find(demoted.begin(), demoted.end(), topMost.Handle));
    EXPECT_EQ(demoted.end(), std::find(demoted.begin(), demoted.end(), plain.Handle));
    RECT full = Bounds(movie);
    EXPECT_EQ(0, full.left);
    EXPECT_EQ(1024, full.right);
    EXPECT_EQ(768, full.bottom);
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));

    Controller->SetFullScreen(false);
    EXPECT_TRUE(HasExStyle(topMost.Handle, WS_EX_TOPMOST));
    EXPECT_FALSE(HasExStyle(plain.Handle, WS_EX_TOPMOST));
    EXPECT_TRUE(Controller->DemotedTopMostWindows().empty());
    RECT after = Bounds(movie);
    EXPECT_EQ(320, after.right - after.left);
    EXPECT_EQ((1024 - 320) / 2, after.left);
}

TEST_F(ModesTest, KeysToggleFullScreenAndHideTheWindow)
{
    NoDisplayModeChange();
    TSetting& gui = Controller->GUISetting();
    Controller->OnMovieKeyDown(VK_ESCAPE, false, false);  // window mode: nothing
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_FALSE(KeyIsSet(gui, ConfigKey::FullScreen));
    Controller->OnMovieKeyDown(VK_RETURN, false, true);
    EXPECT_TRUE(Controller->FullScreen());
    EXPECT_TRUE(ReadKey(gui, ConfigKey::FullScreen));
    Controller->OnMovieKeyDown(VK_RETURN, false, true);
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_FALSE(ReadKey(gui, ConfigKey::FullScreen));

    // Ctrl+F4 in full screen: full screen is left first, then the window goes.
    Controller->OnMovieKeyDown(VK_RETURN, false, true);
    ASSERT_TRUE(Controller->FullScreen());
    Controller->OnMovieKeyDown(VK_F4, true, true);
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_FALSE(Controller->MovieWindowVisible());
    EXPECT_FALSE(ReadKey(gui, ConfigKey::FullScreen));
    EXPECT_TRUE(KeyIsSet(gui, ConfigKey::ShowMovieWindow));
    EXPECT_FALSE(ReadKey(gui, ConfigKey::ShowMovieWindow));
}

TEST_F(ModesTest, WindowModeSizesToTheVideoAndFollowsTheUser)
{
    WriteKey(List->Setting(), ConfigKey::StretchRatio, 200);
    List->AddFile(MediaPath("movie.avi"));
    LoadMovie();  // entry 1: the same movie
    HWND movie = Controller->MovieWindowHandle();
    TPlayWindow& w = Controller->GetMovieWindow();
    TSetting& gui = Controller->GUISetting();

    // 160x120 at 200 %: the client area is 320x240, centred on the screen.
    SIZE client = w.GetClientSize();
    EXPECT_EQ(320, client.cx);
    EXPECT_EQ(240, client.cy);
    RECT r = Bounds(movie);
    EXPECT_EQ((1024 - (r.right - r.left)) / 2, r.left);
    EXPECT_EQ((768 - (r.bottom - r.top)) / 2, r.top);
    EXPECT_EQ(320, w.GetVideoRect().Width);

    // A drag by the client area: centre off, the place recorded.
    SendMessageA(movie, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(movie, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(15, 15));  // 5 pixels: no drag
    EXPECT_EQ(r.left, Bounds(movie).left);
    SendMessageA(movie, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 30));
    SendMessageA(movie, WM_LBUTTONUP, 0, MAKELPARAM(40, 30));
    RECT dragged = Bounds(movie);
    EXPECT_EQ(r.left + 30, dragged.left);
    EXPECT_EQ(r.top + 20, dragged.top);
    EXPECT_FALSE(ReadKey(gui, ConfigKey::PlayCenter));
    EXPECT_EQ(dragged.left, ReadKey(gui, ConfigKey::MovieLeft, -1));
    EXPECT_EQ(dragged.top, ReadKey(gui, ConfigKey::MovieTop, -1));

    // The next entry of the list opens where the window was dragged to.
    ASSERT_EQ(1, Controller->SelectNext());
    Controller->PlayCurrent(true);
    Controller->PausePlayback();
    EXPECT_EQ(dragged.left, Bounds(movie).left);
    EXPECT_EQ(dragged.top, Bounds(movie).top);

    // A resize by the user: the video fills the window, aspect kept.
    SetWindowPos(movie, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(Controller->Stretch());
    EXPECT_TRUE(ReadKey(gui, ConfigKey::WindowStretchImage));
    client = w.GetClientSize();
    const TVideoRect& v = w.GetVideoRect();
    EXPECT_EQ(client.cy, v.Height);
    EXPECT_EQ((client.cx - v.Width) / 2, v.Left);
    EXPECT_NEAR(v.Height * 4 / 3, v.Width, 1);

    // Sizes set by the controller are no resize by the user.
    WriteKey(gui, ConfigKey::WindowStretchImage, false);
    Controller->SetStretchRatio(100);
    EXPECT_FALSE(Controller->Stretch());
    EXPECT_EQ(160, w.GetClientSize().cx);
    EXPECT_FALSE(ReadKey(gui, ConfigKey::WindowStretchImage));
    Controller->StopPlayback();
}

TEST_F(ModesTest, TranslucencyFollowsTheRestingMouseOnlyWithALayerWait)
{
    TPlayWindow& w = Controller->GetMovieWindow();
    HWND movie = Controller->MovieWindowHandle();
    Controller->SetMovieWindowVisible(true);
    RECT r = Bounds(movie);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);

    Controller->SetLayerWait(0);
    Controller->SetTopMostMode(true);
    EXPECT_TRUE(HasExStyle(movie, WS_EX_TOPMOST));
    EXPECT_FALSE(Controller->LayerOnTimerEnabled());
    PumpFor(150);
    EXPECT_FALSE(w.GetLayered());

    Controller->SetLayerWait(60);
    Controller->SetTopMostMode(true);
    EXPECT_TRUE(Controller->LayerOnTimerEnabled());
    ASSERT_TRUE(PumpUntil([&] { return w.GetLayered(); }, 2000));
    EXPECT_TRUE(HasExStyle(movie, WS_EX_LAYERED));
    EXPECT_TRUE(Controller->LayerOffTimerEnabled());

    SetCursorPos(r.right + 50, r.bottom + 50);
    ASSERT_TRUE(PumpUntil([&] { return !w.GetLayered(); }, 2000));
    EXPECT_FALSE(HasExStyle(movie, WS_EX_LAYERED));

    // The wait becoming 0 while translucent (a list without it made
    // current): opaque and clickable again.
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ASSERT_TRUE(PumpUntil([&] { return w.GetLayered(); }, 2000));
    Controller->SetLayerWait(0);
    EXPECT_FALSE(w.GetLayered());
    EXPECT_FALSE(HasExStyle(movie, WS_EX_LAYERED | WS_EX_TRANSPARENT));
    Controller->SetLayerWait(60);

    // Top-most off ends it all.
    Controller->SetTopMostMode(false);
    EXPECT_FALSE(HasExStyle(movie, WS_EX_TOPMOST));
    EXPECT_FALSE(Controller->LayerOnTimerEnabled());
    EXPECT_FALSE(Controller->LayerOffTimerEnabled());
}

TEST_F(ModesTest, ScreenSaverSuppressionIsUndoneByStopAndByDestruction)
{
    BOOL saved = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saved, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0);
    Controller = std::make_unique<TController>();  // saves "on"
    ConnectMainForm();

    Controller->SetStopScreenSaver(true);
    EXPECT_EQ(0, ScreenSaverActive());
    Controller->StopPlayback();
    EXPECT_FALSE(Controller->ScreenSaverStopped());
    EXPECT_EQ(1, ScreenSaverActive());

    Controller->OnMovieKeyDown('R', true, false);
    EXPECT_TRUE(Controller->ScreenSaverStopped());
    EXPECT_EQ(0, ScreenSaverActive());
    Controller.reset();
    EXPECT_EQ(1, ScreenSaverActive());
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, saved, nullptr, 0);
}
