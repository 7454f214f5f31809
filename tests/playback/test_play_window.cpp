// The movie window's graph with real media under Wine: opening each format,
// playing to the end, stopping, seeking (also while playing), volume, the
// graph's events and the errors; the layered presentation read back from the
// screen.
#include <string>

#include "playback/UMediaMath.h"
#include "playback/UPlayWindow.h"
#include "tests/media/MediaTestSupport.h"
#include "win/UApplication.h"

namespace {

auto* const ComEnv = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

struct TWatch {
    int Complete = 0;
    int Stopped = 0;
    void Attach(TPlayWindow& w)
    {
        w.OnComplete = [this] { ++Complete; };
        w.OnStopped = [this] { ++Stopped; };
    }
};

struct TFormat {
    const wchar_t* File;
    bool Video, Audio;
    int Width, Height;
};

void PrintTo(const TFormat& f, std::ostream* os)
{
    for (const wchar_t* p = f.File; *p; ++p) *os << (*p < 128 ? static_cast<char>(*p) : '?');
}

const TFormat Formats[] = {
    {L"wav16-mono.wav", false, true, 0, 0},     {L"wav16-stereo.wav", false, true, 0, 0},
    {L"wav8.wav", false, true, 0, 0},           {L"wav24.wav", false, true, 0, 0},
    {L"audio.mp3", false, true, 0, 0},          {L"movie-mjpeg.avi", true, true, 160, 120},
    {L"video-only.avi", true, false, 160, 120}, {L"movie.mpg", true, true, 176, 144},
    {L"movie.mp4", true, true, 160, 120},       {L"ソ表能.wav", false, true, 0, 0},
};

long GraphVolume(TPlayWindow& w)
{
    TComPtr<IBasicAudio> audio;
    w.GetGraph()->QueryInterface(IID_IBasicAudio, audio.PutVoid());
    long v = 1;
    if (audio) audio->get_Volume(&v);
    return v;
}

}  // namespace

class PlayFormat : public ::testing::TestWithParam<TFormat> {};

TEST_P(PlayFormat, OpensPlaysToTheEndAndStops)
{
    const TFormat& f = GetParam();
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    w.OpenFile(TestMediaPath(f.File));
    ASSERT_TRUE(w.IsLoaded());
    EXPECT_EQ(f.Video, w.GetHasVideo());
    EXPECT_EQ(f.Audio, w.GetHasAudio());
    int width = -1, height = -1;
    w.GetVideoSize(width, height);
    EXPECT_EQ(f.Width, width);
    EXPECT_EQ(f.Height, height);
    EXPECT_NEAR(1.5, w.GetPositionUnit() * PositionSteps, 0.15);
    int seconds = w.PositionToSeconds(10000);
    EXPECT_TRUE(seconds == 1 || seconds == 2) << seconds;
    EXPECT_EQ(psStopped, w.GetPlayState());

    w.SetVolume(0.5);
    if (f.Audio) {
        EXPECT_EQ(-602, GraphVolume(w));
    }

    w.Play();
    EXPECT_EQ(psRunning, w.GetPlayState());
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 0; }, 8000));
    EXPECT_EQ(1, watch.Complete);
    EXPECT_GE(w.GetPosition(), 9000);

    w.Stop();
    EXPECT_EQ(1, watch.Stopped);
    EXPECT_EQ(psStopped, w.GetPlayState());
    EXPECT_EQ(0, w.GetPosition());

    // Played again from the start after a stop, it ends again (once for
    // audio alone, every time with video).
    if (f.Video || f.File == Formats[0].File) {
        w.Play();
        ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 1; }, 8000));
    }
}

INSTANTIATE_TEST_SUITE_P(Media, PlayFormat, ::testing::ValuesIn(Formats));

// A video that starts while a modal dialog is up (a new track of the list)
// comes up behind the dialog, which keeps the activation.
namespace {
struct TUnderModal {
    TPlayWindow* Movie = nullptr;
    HWND Box = nullptr;
    bool Visible = false, BoxActive = false, BoxInFront = false;
} UnderModal;
}  // namespace

TEST(PlayWindow, VideoStartingUnderAModalDialogStaysBehindIt)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    TPlayWindow w;
    w.OpenFile(TestMediaPath(L"movie-mjpeg.avi"));
    UnderModal = {&w};
    // Inside the message box's own loop: play, then look and close it.
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        UnderModal.Box = GetActiveWindow();
        UnderModal.Movie->Play();
        SetTimer(nullptr, 0, 1000, [](HWND, UINT, UINT_PTR id2, DWORD) {
            KillTimer(nullptr, id2);
            HWND movie = UnderModal.Movie->GetHandle();
            UnderModal.Visible = IsWindowVisible(movie);
            UnderModal.BoxActive = GetActiveWindow() == UnderModal.Box;
            for (HWND h = GetWindow(UnderModal.Box, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
                if (h == movie) UnderModal.BoxInFront = true;
            PostMessageA(UnderModal.Box, WM_COMMAND, IDOK, 0);
        });
    });
    MessageBoxA(owner, "test", "modal", MB_OK);
    EXPECT_TRUE(UnderModal.Visible);
    EXPECT_TRUE(UnderModal.BoxActive);
    EXPECT_TRUE(UnderModal.BoxInFront);
    w.Stop();
    DestroyWindow(owner);
}

TEST(PlayWindow, UnloadedWindowIsInert)
{
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    EXPECT_FALSE(w.IsLoaded());
    EXPECT_EQ(nullptr, w.GetGraph()) << "no graph before the first file";
    EXPECT_EQ(0, w.GetPosition());
    EXPECT_EQ(0, w.PositionToSeconds(5000));
    w.SetPosition(5000);
    w.Pause();
    w.SetVolume(0.5);
    w.Play();
    EXPECT_EQ(psStopped, w.GetPlayState());
    int width = -1, height = -1;
    w.GetVideoSize(width, height);
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);
    w.Stop();
    EXPECT_EQ(1, watch.Stopped);
    EXPECT_EQ(psStopped, w.GetPlayState());
    // A close request hides it the movie window's way (OnHidden); it is
    // never destroyed.
    int hidden = 0;
    w.OnHidden = [&] { ++hidden; };
    w.Show();
    SendMessageA(w.GetHandle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(1, hidden);
    EXPECT_FALSE(w.Showing());
    EXPECT_TRUE(IsWindow(w.GetHandle()));
}

// A handler that throws while a message is handled must not unwind through
// the window procedure; the error reaches the application's handler, and
// without an application is dropped.
TEST(PlayWindow, ErrorsInMessageHandlersStayInTheWindow)
{
    TPlayWindow w;
    w.OnKeyDown = [](int, bool, bool) { throw Exception("キー処理に失敗"); };
    SendMessageA(w.GetHandle(), WM_KEYDOWN, 'A', 0);  // no application: dropped
    std::string caught;
    {
        TApplication app;
        app.OnException = [&](const std::exception& e) { caught = e.what(); };
        SendMessageA(w.GetHandle(), WM_KEYDOWN, 'A', 0);
    }
    EXPECT_EQ("キー処理に失敗", caught);
}

TEST(PlayWindow, ErrorsCarryTheSystemTextAndTheCode)
{
    EDSError e(E_FAIL);
    std::string m = e.what();
    const std::string tail = "\r\nError Code: 80004005";
    ASSERT_GT(m.size(), tail.size());
    EXPECT_EQ(tail, m.substr(m.size() - tail.size()));
    char text[160] = {};
    DWORD n = AMGetErrorTextA(E_FAIL, text, sizeof text);
    EXPECT_EQ(std::string(text, n), m.substr(0, m.size() - tail.size()));
    EXPECT_NO_THROW(CheckDSResult(S_FALSE));
    EXPECT_NO_THROW(CheckDSResult(VFW_S_PARTIAL_RENDER));
    EXPECT_THROW(CheckDSResult(E_FAIL), EDSError);
}

TEST(PlayWindow, FailedOpenLeavesAnEmptyGraph)
{
    TPlayWindow w;
    w.OpenFile(TestMediaPath(L"wav16-mono.wav"));
    ASSERT_TRUE(w.IsLoaded());
    for (const wchar_t* name : {L"no-such-file.avi", L"not-a-movie.avi"}) {
        try {
            w.OpenFile(TestMediaPath(name));
            ADD_FAILURE() << "no error";
        } catch (const EDSError& e) {
            std::string m = e.what();
            char code[9];
            std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(e.Code));
            EXPECT_TRUE(FAILED(e.Code));
            EXPECT_NE(std::string::npos, m.find(std::string("\r\nError Code: ") + code)) << m;
        }
        EXPECT_FALSE(w.IsLoaded());
        EXPECT_FALSE(w.GetHasAudio());
        EXPECT_EQ(psStopped, w.GetPlayState());
        EXPECT_NE(nullptr, w.GetGraph());
    }
    // The fresh graph takes the next file.
    w.OpenFile(TestMediaPath(L"wav16-mono.wav"));
    EXPECT_TRUE(w.IsLoaded());
}

TEST(PlayWindow, PositionRules)
{
    TPlayWindow w;
    w.OpenFile(TestMediaPath(L"wav16-stereo.wav"));
    w.SetPosition(5000);
    EXPECT_NEAR(5000, w.GetPosition(), 10);
    w.SetPosition(-3);
    EXPECT_EQ(0, w.GetPosition());
    w.SetPosition(7000);
    w.SetPosition(0);
    EXPECT_EQ(0, w.GetPosition());
    w.SetPosition(20000);  // past the end: exactly the stop time
    EXPECT_EQ(10000, w.GetPosition());
    EXPECT_EQ(w.PositionToSeconds(10000), w.PositionToSeconds(20000));
    EXPECT_EQ(0, w.PositionToSeconds(0));
}

// Seeking a running graph, and seeking while paused, must still end in
// completion, and Stop must return afterwards.
TEST(PlayWindow, SeekWhilePlayingStillCompletes)
{
    for (const wchar_t* name : {L"movie-mjpeg.avi", L"movie.mp4", L"wav16-stereo.wav"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        TPlayWindow w;
        TWatch watch;
        watch.Attach(w);
        w.OpenFile(TestMediaPath(name));
        w.Play();
        PumpFor(300);
        w.SetPosition(6000);
        EXPECT_EQ(psRunning, w.GetPlayState());
        EXPECT_GE(w.GetPosition(), 5900);
        ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 0; }, 4000));

        w.Stop();
        w.Play();
        PumpFor(200);
        w.Pause();
        w.SetPosition(7000);
        EXPECT_NEAR(7000, w.GetPosition(), 100);
        w.Play();
        ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 1; }, 4000));
        w.Stop();
        EXPECT_EQ(0, w.GetPosition());
    }
}

// Files of other audio formats opened one after another while the one before
// plays, as Next does (on Wine a sound renderer moved to a graph of another
// format crashed there): each one plays at the volume set, and the last ends.
TEST(PlayWindow, NextFileInAnotherAudioFormat)
{
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    const wchar_t* const names[] = {L"wav16-stereo.wav", L"movie-mjpeg.avi", L"wav8.wav",
                                    L"movie-mjpeg.avi",  L"audio.mp3",       L"wav16-stereo.wav",
                                    L"movie-mjpeg.avi"};
    for (int i = 0; i < 14; ++i) {
        const wchar_t* name = names[i % 7];
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        w.OpenFile(TestMediaPath(name));
        ASSERT_TRUE(w.GetHasAudio());
        w.SetVolume(0.5);
        EXPECT_EQ(-602, GraphVolume(w));
        w.Play();
        PumpFor(400);
    }
    EXPECT_EQ(0, watch.Complete);
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 0; }, 8000));
}

TEST(PlayWindow, CompletionWinsOverAbort)
{
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    w.OpenFile(TestMediaPath(L"wav16-mono.wav"));
    // Completion passes straight through instead of waiting for the renderers.
    TComPtr<IMediaEvent> events;
    ASSERT_EQ(S_OK, w.GetGraph()->QueryInterface(IID_IMediaEvent, events.PutVoid()));
    ASSERT_EQ(S_OK, events->CancelDefaultHandling(EC_COMPLETE));
    TComPtr<IMediaEventSink> sink;
    ASSERT_EQ(S_OK, w.GetGraph()->QueryInterface(IID_IMediaEventSink, sink.PutVoid()));
    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    sink->Notify(EC_COMPLETE, S_OK, 0);
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete + watch.Stopped > 0; }, 3000));
    PumpFor(100);
    EXPECT_EQ(1, watch.Complete);
    EXPECT_EQ(0, watch.Stopped);

    // An abort alone stops.
    sink->Notify(EC_USERABORT, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return watch.Stopped > 0; }, 3000));
    EXPECT_EQ(1, watch.Complete);
}

// With layered presentation allowed the callback filter joins every graph;
// video goes through it to the renderer and audio-only files ignore it.
TEST(PlayWindow, CallbackFilterInTheGraph)
{
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    w.SetLayeredAllowed(true);
    ASSERT_TRUE(w.GetLayeredAllowed());
    w.OpenFile(TestMediaPath(L"movie-mjpeg.avi"));
    EXPECT_TRUE(w.GetHasVideo());
    EXPECT_TRUE(w.GetHasAudio());
    if (RunningOnWine()) {
        // Wine's GDI renderer, not its OpenGL one (which can deadlock in Xlib).
        TComPtr<IBaseFilter> renderer;
        TComPtr<IFilterGraph> graph;
        ASSERT_EQ(S_OK, w.GetGraph()->QueryInterface(IID_IFilterGraph, graph.PutVoid()));
        EXPECT_EQ(S_OK, graph->FindFilterByName(L"Video Renderer", renderer.Put()));
    }
    w.Play();
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 0; }, 8000));
    w.OpenFile(TestMediaPath(L"wav16-mono.wav"));
    EXPECT_FALSE(w.GetHasVideo());

    // No longer allowed: the filter made before stays and joins the next
    // graph, here one built by the end-of-media handler. The old graph must
    // be gone by then: released later, it would take the filter out of the
    // new one.
    w.SetLayeredAllowed(false);
    w.OnComplete = [&] {
        if (++watch.Complete == 2) {
            w.OpenFile(TestMediaPath(L"movie.mpg"));
            w.Play();
        }
    };
    w.Play();
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 1; }, 8000));
    PumpFor(50);
    EXPECT_TRUE(w.GetHasVideo());
    int width = 0, height = 0;
    w.GetVideoSize(width, height);
    EXPECT_EQ(176, width);
    TComPtr<IFilterGraph> graph;
    ASSERT_EQ(S_OK, w.GetGraph()->QueryInterface(IID_IFilterGraph, graph.PutVoid()));
    TComPtr<IEnumFilters> filters;
    ASSERT_EQ(S_OK, graph->EnumFilters(filters.Put()));
    TComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
        FILTER_INFO info{};
        ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
        EXPECT_NE(nullptr, info.pGraph) << "a filter of the graph no longer knows it";
        if (info.pGraph) info.pGraph->Release();
        EXPECT_TRUE(HasConnectedPin(filter.Get()));
    }
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 2; }, 8000));
}

// A graph that can no longer be detached from the window (its video
// renderer taken out) does not keep later files from opening.
TEST(PlayWindow, ABrokenGraphIsReplacedAllTheSame)
{
    TPlayWindow w;
    w.OpenFile(TestMediaPath(L"video-only.avi"));
    ASSERT_TRUE(w.GetHasVideo());
    TComPtr<IFilterGraph> graph;
    ASSERT_EQ(S_OK, w.GetGraph()->QueryInterface(IID_IFilterGraph, graph.PutVoid()));
    for (bool found = true; found;) {
        found = false;
        TComPtr<IEnumFilters> filters;
        ASSERT_EQ(S_OK, graph->EnumFilters(filters.Put()));
        TComPtr<IBaseFilter> filter;
        while (!found && filters->Next(1, filter.Put(), nullptr) == S_OK) {
            TComPtr<IVideoWindow> video;
            found = SUCCEEDED(filter->QueryInterface(IID_IVideoWindow, video.PutVoid()));
            if (found) graph->RemoveFilter(filter.Get());
        }
    }
    graph = nullptr;
    try {
        w.OpenFile(TestMediaPath(L"wav16-mono.wav"));
    } catch (const EDSError&) {
    }
    w.OpenFile(TestMediaPath(L"wav16-mono.wav"));
    EXPECT_TRUE(w.IsLoaded());
    EXPECT_FALSE(w.GetHasVideo());
}

namespace {

COLORREF ScreenPixel(POINT p)
{
    TWindowDC screen;
    return GetPixel(screen.Get(), p.x, p.y);
}

// A point of the window's client area in screen coordinates.
POINT ClientPoint(HWND wnd, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(wnd, &p);
    return p;
}

// Neither the black of an empty frame nor what is behind the window (shown
// there when presenting fails).
bool IsVideoPixel(COLORREF c, COLORREF behind)
{
    return c != CLR_INVALID && c != RGB(0, 0, 0) && c != behind;
}

}  // namespace

// Layered, every video sample is drawn into the frame bitmap at the video
// rectangle and the bitmap, as big as the whole window, becomes its surface:
// video shows inside the rectangle, the rest of the window (its sizing frame
// too) stays black. The bitmap follows the window's size, and hiding the
// window ends the layered presentation and rewinds the movie.
TEST(PlayWindow, LayeredPlaybackPutsFramesOnTheScreen)
{
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    w.SetLayered(true);
    EXPECT_FALSE(w.GetLayered()) << "not allowed yet";
    w.SetLayeredAllowed(true);
    w.SetLayerAlpha(255);
    w.OpenFile(TestMediaPath(L"movie-mjpeg.avi"));
    ASSERT_TRUE(w.GetHasVideo());
    HWND wnd = w.GetHandle();
    SIZE client = w.GetClientSize();
    w.SetVideoRect(0, 0, client.cx / 2, client.cy);
    w.SetLayered(true);
    ASSERT_TRUE(w.GetLayered());
    EXPECT_EQ(WS_EX_LAYERED | WS_EX_TRANSPARENT,
              GetWindowLongPtrA(wnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT));

    const POINT inside = ClientPoint(wnd, client.cx / 4, client.cy / 2);
    const COLORREF desktop = ScreenPixel(inside);  // the window is not shown yet
    w.Play();
    ASSERT_TRUE(PumpUntil([&] { return IsVideoPixel(ScreenPixel(inside), desktop); }, 3000))
        << "no frame reached the screen";
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel(ClientPoint(wnd, client.cx * 3 / 4, client.cy / 2)));
    const RECT bounds = w.GetBounds();
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel(POINT{bounds.left + 1, bounds.top + 1})) << "the frame is ours";
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 0; }, 8000));
    w.Stop();

    // Larger: video now covers the whole client area, up to its far corner.
    w.SetBounds(bounds.left - 40, bounds.top - 30, 400, 300);
    client = w.GetClientSize();
    ASSERT_EQ(400, w.GetBounds().right - w.GetBounds().left);
    w.SetVideoRect(0, 0, client.cx, client.cy);
    w.Play();
    const POINT corner = ClientPoint(wnd, client.cx - 3, client.cy - 3);
    EXPECT_TRUE(PumpUntil([&] { return IsVideoPixel(ScreenPixel(corner), desktop); }, 3000));
    const RECT larger = w.GetBounds();
    EXPECT_EQ(RGB(0, 0, 0), ScreenPixel(POINT{larger.right - 2, larger.bottom - 2}));
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 1; }, 8000));

    // Hidden while playing: stopped at the start, no longer layered.
    w.Stop();
    w.Play();
    PumpFor(300);
    w.Hide();
    EXPECT_FALSE(IsWindowVisible(wnd));
    EXPECT_FALSE(w.GetLayered());
    EXPECT_EQ(0, GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(psStopped, w.GetPlayState());
    EXPECT_EQ(0, w.GetPosition());

    // No longer allowed while layered: opaque and clickable again.
    w.SetLayered(true);
    ASSERT_TRUE(w.GetLayered());
    w.SetLayeredAllowed(false);
    EXPECT_FALSE(w.GetLayered());
    EXPECT_EQ(0, GetWindowLongPtrA(wnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT));
}

// The streaming thread draws while the GUI thread keeps taking the frame lock
// (switching the presentation, resizing, stopping and starting). Neither may
// wait for the other: this used to hang now and then when a frame was being
// put on screen from the streaming thread.
TEST(PlayWindow, LayeredSwitchingWhilePlayingNeverHangs)
{
    TPlayWindow w;
    TWatch watch;
    watch.Attach(w);
    w.SetLayeredAllowed(true);
    w.OpenFile(TestMediaPath(L"movie-mjpeg.avi"));
    ASSERT_TRUE(w.GetHasVideo());
    w.SetLayered(true);
    w.Play();
    const RECT start = w.GetBounds();
    const DWORD begin = GetTickCount();
    for (int i = 0; GetTickCount() - begin < 2500; ++i) {
        w.SetLayered(i % 3 != 0);
        w.SetBounds(start.left, start.top, 320 + (i % 5) * 16, 240 + (i % 4) * 12);
        if (i % 7 == 0) {
            w.Stop();
            w.Play();
        }
        PumpFor(i % 2 ? 15 : 1);
    }
    w.SetLayered(true);
    ASSERT_TRUE(PumpUntil([&] { return watch.Complete > 0; }, 8000));
    w.Stop();
    EXPECT_EQ(psStopped, w.GetPlayState());
}
