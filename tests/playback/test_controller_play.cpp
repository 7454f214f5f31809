// The controller playing real play lists to the end: list order, shuffled
// order with repeat, one entry repeated; the settings chain, the volume and
// the list's change notifications with media loaded.
#include <cstdlib>

#include "tests/playback/ControllerTestSupport.h"

namespace {

class PlayTest : public ControllerTest {
protected:
    static void SetUpTestSuite()
    {
        ControllerTest::SetUpTestSuite();
        // Screen saver on before any controller saves the state.
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &SavedSaver, 0);
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0);
    }
    static void TearDownTestSuite()
    {
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, SavedSaver, nullptr, 0);
        ControllerTest::TearDownTestSuite();
    }
    static BOOL SavedSaver;
};

BOOL PlayTest::SavedSaver = FALSE;

HRESULT STDMETHODCALLTYPE FailToTellPosition(IMediaPosition*, REFTIME*) { return E_UNEXPECTED; }

}  // namespace

TEST_F(PlayTest, PlaysTheListInOrderAndStopsAtTheEnd)
{
    List->AddFile(MediaPath("tone-a.wav"));
    List->AddFile(MediaPath("tone-b.wav"));
    List->AddFile(MediaPath("movie.avi"));
    WriteKey(List->Setting(), ConfigKey::StopScreenSaver, true);
    WriteKey(List->Files(2).Setting(), ConfigKey::FullScreen, true);
    Controller->ApplyEnvironment();
    Controller->SetPlayList(List.get());
    CountCompletions();
    ASSERT_EQ(0, Controller->CurrentIndex());
    Controller->SetContinuous(true);
    Controller->PlayCurrent();
    EXPECT_TRUE(Controller->Playing());
    EXPECT_TRUE(Controller->ScreenSaverStopped());
    EXPECT_EQ(0, ScreenSaverActive());

    int fullWidth = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (Controller->FullScreen()) fullWidth = GetSystemMetrics(SM_CXSCREEN);
            return Completed.size() == 3;
        },
        20000));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), Completed);
    EXPECT_EQ(2, Controller->CurrentIndex());
    EXPECT_FALSE(Controller->Playing());
    // The movie ran in full screen with a smaller display mode ...
    EXPECT_GT(fullWidth, 0);
    EXPECT_LT(fullWidth, 1024);
    // ... and the end of the list left it and gave the screen saver back.
    EXPECT_FALSE(Controller->FullScreen());
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_FALSE(Controller->ScreenSaverStopped());
    EXPECT_EQ(1, ScreenSaverActive());
}

TEST_F(PlayTest, ShuffledOrderWithRepeatStartsANewOrder)
{
    List->AddFile(MediaPath("tone-a.wav"));
    List->AddFile(MediaPath("tone-b.wav"));
    List->AddFile(MediaPath("tone-a.wav"));
    WriteKey(List->Setting(), ConfigKey::Random, true);
    WriteKey(List->Setting(), ConfigKey::Repeat, true);

    // The same draws as the controller's: shuffle on, then SelectFirst.
    std::srand(1234);
    TPlayOrder expected;
    expected.SetRandom(true, 3);
    expected.SelectFirst(3);
    std::vector<int> firstPass = expected.PlayOrder();
    expected.SelectFirst(3);
    int secondStart = expected.PlayOrder()[0];

    std::srand(1234);
    Controller->SetPlayList(List.get());
    ASSERT_TRUE(Controller->Random());
    ASSERT_TRUE(Controller->Repeat());
    CountCompletions();
    Controller->SetContinuous(true);
    Controller->PlayCurrent();
    ASSERT_TRUE(PumpUntil([&] { return Completed.size() == 3; }, 15000));
    EXPECT_EQ(firstPass, Completed);
    // Repeat: the head of a new order is playing.
    PumpUntil([&] { return Controller->Playing(); }, 1000);
    EXPECT_TRUE(Controller->Playing());
    EXPECT_EQ(secondStart, Controller->CurrentIndex());
    Controller->StopPlayback();
    EXPECT_FALSE(Controller->Playing());
}

TEST_F(PlayTest, SingleEntryWithRepeatPlaysAgainFromTheStart)
{
    List->AddFile(MediaPath("tone-a.wav"));
    Controller->SetPlayList(List.get());
    Controller->SetRepeat(true);
    Controller->SetContinuous(true);
    CountCompletions();
    Controller->PlayCurrent();
    ASSERT_TRUE(PumpUntil([&] { return Completed.size() == 2; }, 8000));
    // Rewound and running again, not stuck at the end.
    EXPECT_TRUE(Controller->Playing());
    PumpFor(200);
    EXPECT_LT(Controller->Position(), 5000);
    EXPECT_GT(Controller->Position(), 0);

    // A position the graph cannot tell is the last one read, and no error:
    // the seek bar asks every second.
    Controller->PausePlayback();
    const int paused = Controller->Position();
    {
        TComPtr<IMediaPosition> position;
        ASSERT_EQ(S_OK, Controller->GetMovieWindow().GetGraph()->QueryInterface(IID_IMediaPosition,
                                                                                position.PutVoid()));
        TVtablePatch failing(position.Get(), 9, reinterpret_cast<void*>(&FailToTellPosition));
        EXPECT_EQ(paused, Controller->Position());
    }
    Controller->PlayCurrent();

    // Without continuous play the next end stops.
    Controller->SetContinuous(false);
    ASSERT_TRUE(PumpUntil([&] { return Completed.size() == 3; }, 4000));
    EXPECT_FALSE(Controller->Playing());
    EXPECT_EQ(0, Controller->Position());
}

TEST_F(PlayTest, VolumeIsPercentTimesBaseVolumeAndSurvivesMute)
{
    List->AddFile(MediaPath("tone-a.wav"));
    List->AddFile(MediaPath("tone-b.wav"));
    WriteKey(List->Files(1).Setting(), ConfigKey::BaseVolume, 2.5);
    Controller->SetPlayList(List.get());
    Controller->PlayCurrent();
    Controller->PausePlayback();
    EXPECT_TRUE(Controller->Paused());

    Controller->SetVolumePercent(50);
    Controller->SetBaseVolume(0.5);
    EXPECT_DOUBLE_EQ(0.25, Controller->VolumeGain());
    EXPECT_EQ(-1204, GraphVolume(*Controller));
    Controller->SetMute(true);
    EXPECT_TRUE(Controller->Muted());
    EXPECT_EQ(-10000, GraphVolume(*Controller));
    Controller->SetMute(false);
    EXPECT_EQ(-1204, GraphVolume(*Controller));

    // A base volume above 1 in the file's settings is applied as 1: 50 % of 1.
    ASSERT_EQ(1, Controller->SelectNext());
    Controller->PlayCurrent(true);
    EXPECT_DOUBLE_EQ(1.0, Controller->BaseVolume());
    EXPECT_EQ(-602, GraphVolume(*Controller));
    Controller->StopPlayback();
}

TEST_F(PlayTest, SettingsResolveGuiThenFileThenPlayList)
{
    List->AddFile(MediaPath("movie.avi"));
    List->AddFile(MediaPath("movie.avi"));
    WriteKey(List->Setting(), ConfigKey::TopMost, true);
    WriteKey(List->Files(1).Setting(), ConfigKey::TopMost, false);
    Controller->SetPlayList(List.get());
    HWND movie = Controller->MovieWindowHandle();
    auto topMostStyle = [&] { return (GetWindowLongA(movie, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };

    Controller->PlayCurrent();
    EXPECT_TRUE(Controller->TopMost());
    EXPECT_TRUE(topMostStyle());

    ASSERT_EQ(1, Controller->SelectNext());
    Controller->PlayCurrent(true);
    EXPECT_FALSE(Controller->TopMost());
    EXPECT_FALSE(topMostStyle());

    // Ctrl+T twice: the GUI level now says off, for every entry.
    Controller->OnMovieKeyDown('T', true, false);
    EXPECT_TRUE(Controller->TopMost());
    EXPECT_TRUE(topMostStyle());
    Controller->OnMovieKeyDown('T', true, false);
    EXPECT_FALSE(Controller->TopMost());
    EXPECT_TRUE(KeyIsSet(Controller->GUISetting(), ConfigKey::TopMost));
    ASSERT_EQ(0, Controller->SelectPrevious());
    Controller->PlayCurrent(true);
    EXPECT_FALSE(Controller->TopMost());

    // Making the list current again forgets what was toggled.
    Controller->SetPlayList(List.get());
    EXPECT_FALSE(KeyIsSet(Controller->GUISetting(), ConfigKey::TopMost));
    Controller->PlayCurrent();
    EXPECT_TRUE(Controller->TopMost());
    Controller->StopPlayback();
}

TEST_F(PlayTest, ListChangesMoveTheCurrentEntryAndRemovingItStops)
{
    for (int i = 0; i < 4; ++i) List->AddFile(MediaPath(i % 2 ? "tone-b.wav" : "tone-a.wav"));
    Controller->SetPlayList(List.get());
    Controller->SetCurrentIndex(2);
    List->AddFile(MediaPath("tone-a.wav"));  // after it
    EXPECT_EQ(2, Controller->CurrentIndex());
    List->Exchange(2, 1);
    EXPECT_EQ(1, Controller->CurrentIndex());
    List->Delete(0);  // before it
    EXPECT_EQ(0, Controller->CurrentIndex());

    // The playing entry goes: playback stops and nothing is current; the
    // removed entry's settings are no longer read.
    Controller->SetCurrentIndex(1);
    Controller->PlayCurrent();
    ASSERT_TRUE(Controller->Playing());
    List->Delete(1);
    EXPECT_FALSE(Controller->Playing());
    EXPECT_EQ(-1, Controller->CurrentIndex());
    EXPECT_EQ(&List->Setting(), Controller->GUISetting().Parent());

    // Another list's notifications are not ours.
    TPlayList other("ControllerTestOther", TempListFolder());
    Controller->SetCurrentIndex(0);
    Controller->SetPlayList(&other);
    EXPECT_FALSE(static_cast<bool>(List->OnChange));
    EXPECT_EQ(-1, Controller->CurrentIndex());
    Controller->SetPlayList(List.get());
    EXPECT_EQ(0, Controller->CurrentIndex());
    Controller->SetPlayList(nullptr);
}

TEST_F(PlayTest, AFileThatCannotBeOpenedIsTriedAgain)
{
    List->AddFile(MediaPath("missing.wav"));
    Controller->SetPlayList(List.get());
    EXPECT_THROW(Controller->PlayCurrent(), Exception);
    EXPECT_FALSE(Controller->Loaded());
    EXPECT_THROW(Controller->PlayCurrent(), Exception);
}
