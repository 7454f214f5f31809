#include "playback/UPlayWindow.h"

#include "playback/UDrawSample.h"
#include "playback/ULayeredPresent.h"
#include "playback/UMediaMath.h"
#include "playback/UMovieFrame.h"

namespace {

// Found by this name from outside (tests, the screenshot tour).
const char WindowClassName[] = "TPlayWindow";

// The movie window's own messages (clear of the toolkit's numbers,
// win/UMessages.h). The playback graph's event notification:
constexpr UINT WM_PLAYER_GRAPHEVENT = WM_APP + 1;
// Poll the graph state after a state change.
constexpr UINT WM_PLAYER_SYNCVIDEO = WM_APP + 3;
// A new frame was drawn into the frame bitmap; put it on screen.
constexpr UINT WM_PLAYER_PRESENTFRAME = WM_APP + 4;

// The modal dialog of this thread that is active now, if any: an active
// window whose owner is disabled (a dialog box, a message box).
HWND ActiveModalDialog(HWND self)
{
    HWND active = GetActiveWindow();
    if (!active || active == self) return nullptr;
    HWND owner = GetWindow(active, GW_OWNER);
    return owner && !IsWindowEnabled(owner) ? active : nullptr;
}

// Shows the movie window. While a modal dialog is active it comes up behind
// the dialog without taking the activation (unless it is top-most): the
// dialog the user has to answer is never covered by it. False then.
bool ShowNotOverModal(HWND wnd)
{
    HWND dialog = ActiveModalDialog(wnd);
    if (!dialog) {
        if (!IsWindowVisible(wnd)) ShowWindow(wnd, SW_SHOW);
        return true;
    }
    // Placing a top-most window behind a plain one would end its top-most state.
    const bool topMost = GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST;
    SetWindowPos(wnd, topMost ? HWND_TOPMOST : dialog, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return false;
}

}  // namespace

TPlayWindow::TPlayWindow() { CreateWindowHandle(); }

TPlayWindow::~TPlayWindow()
{
    {
        // No sample is drawn while the graph goes: the callback cannot take
        // the lock, and drops what comes.
        TCriticalSectionGuard lock(FrameLock);
        Graph.Release();
    }
    DestroyHandle();
}

void TPlayWindow::CreateWindowHandle()
{
    const TMovieWindowParams p = MovieWindowParams(
        SizableFrame, Layered, TopMost, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    {
        // Sized before the window exists: a failure then leaves nothing behind.
        TCriticalSectionGuard lock(FrameLock);
        FrameBitmap.Resize(p.Width, p.Height);
    }
    TCreateParams params;
    params.ClassName = WindowClassName;
    params.Caption = p.Caption;
    params.Style = p.Style;
    params.ExStyle = p.ExStyle;
    params.Left = p.X;
    params.Top = p.Y;
    // The form is made around a client size; the movie window's size is its outer one.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, p.Style, FALSE, p.ExStyle);
    params.ClientWidth = p.Width - (frame.right - frame.left);
    params.ClientHeight = p.Height - (frame.bottom - frame.top);
    // Sized by the video in real pixels, whatever the display's scale.
    params.DesignUnits = false;
    // Its own top-level window with a taskbar button, not owned by the application's.
    params.Owner = GetDesktopWindow();
    params.ClassStyle = 0;  // a second press starts a drag like the first
    params.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    params.ClassIcon = false;
    CreateHandle(params);
    LastSize = GetClientSize();
    {
        TCriticalSectionGuard lock(FrameLock);
        BorderOffset = ReadBorderOffset(Handle());
    }
    Resized();  // the outer size may differ from the one asked for
    AttachGraphWindow();
    if (OnHandleCreated) OnHandleCreated();
}

LRESULT TPlayWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_PLAYER_GRAPHEVENT:
            HandleGraphEvent();
            return 0;
        case WM_PLAYER_SYNCVIDEO:
            SyncVideo();
            return 0;
        case WM_PLAYER_PRESENTFRAME: {
            PresentPending = false;
            TCriticalSectionGuard lock(FrameLock);
            if (Layered) PresentLayeredFrame();
            return 0;
        }
        case WM_ACTIVATE:
            ForwardActivateApp(Handle(), wParam, lParam);
            if (OnActivate) OnActivate(LOWORD(wParam) != 0);
            break;
        case WM_SIZE: {
            Resized();
            SIZE size{LOWORD(lParam), HIWORD(lParam)};
            if (size.cx != LastSize.cx || size.cy != LastSize.cy) {
                LastSize = size;
                if (OnResize) OnResize();
            }
            break;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (OnKeyDown) {
                bool ctrl = GetKeyState(VK_CONTROL) < 0;
                bool alt = msg == WM_SYSKEYDOWN ? (lParam & (1 << 29)) != 0 : GetKeyState(VK_MENU) < 0;
                OnKeyDown(static_cast<int>(wParam), ctrl, alt);
                // Alt+F4 and Alt+Enter are the handler's, not the system's.
                if (msg == WM_SYSKEYDOWN && (wParam == VK_F4 || wParam == VK_RETURN)) return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            if (SizableFrame) SetCapture(Handle());
            Drag.ButtonDown(MouseX(static_cast<std::uintptr_t>(lParam)),
                            MouseY(static_cast<std::uintptr_t>(lParam)), SizableFrame);
            break;
        case WM_MOUSEMOVE: {
            const int x = MouseX(static_cast<std::uintptr_t>(lParam));
            const int y = MouseY(static_cast<std::uintptr_t>(lParam));
            TDragOffset offset;
            if (Drag.MouseMove(x, y, SizableFrame, offset)) MoveWindowBy(Handle(), offset.X, offset.Y);
            if (OnMouseMove) OnMouseMove(x, y);
            break;
        }
        case WM_LBUTTONUP:
            if (GetCapture() == Handle()) ReleaseCapture();
            if (Drag.ButtonUp(SizableFrame) && OnDragMoved) OnDragMoved();
            break;
        case WM_CONTEXTMENU:
            if (PopupMenu) {
                POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                if (lParam == -1) GetCursorPos(&p);
                TrackPopupMenu(PopupMenu, TPM_RIGHTBUTTON, p.x, p.y, 0, Handle(), nullptr);
                return 0;
            }
            break;
        case WM_APPCOMMAND:
            if (OnAppCommand && OnAppCommand(GET_APPCOMMAND_LPARAM(lParam))) return TRUE;
            break;
        case WM_COMMAND:
            if (lParam == 0 && HIWORD(wParam) == 0 && OnMenuCommand) {
                OnMenuCommand(LOWORD(wParam));
                return 0;
            }
            break;
    }
    // The form's own handling: a close request hides the window (Hide).
    return TForm::WndProc(msg, wParam, lParam);
}

// --- the graph ---------------------------------------------------------------

void TPlayWindow::ResetGraph()
{
    // The old graph is dropped whatever happens here: a graph that can no
    // longer be detached (its renderer gone, say) must not keep every later
    // open from building a new one.
    try {
        DetachGraphWindow();
    } catch (const Exception&) {
    }
    PlayState = psStopped;
    PositionUnit = 0.0;
    Graph.Create();
    // Without it a filter made before stays and joins the new graph.
    if (LayeredAllowed)
        Graph.CreateCallbackFilter(TCallbackKind::Video, this, &TPlayWindow::VideoSampleCallback);
}

void TPlayWindow::OpenFile(const std::wstring& fileName)
{
    ResetGraph();
    try {
        Graph.RenderFile(fileName);
        PositionUnit = Graph.StopTime() / PositionSteps;
        AttachGraphWindow();
    } catch (...) {
        ResetGraph();
        throw;
    }
}

void TPlayWindow::AttachGraphWindow()
{
    if (!Graph.Exists() || !Handle()) return;
    CheckDSResult(Graph.SetNotifyWindow(Handle(), WM_PLAYER_GRAPHEVENT));
    if (!GetHasVideo()) return;
    const TVideoRect& v = VideoRect;
    Graph.AttachVideoWindow(Handle(), v.Left, v.Top, v.Width, v.Height, CursorHidden);
}

void TPlayWindow::DetachGraphWindow()
{
    if (!Graph.Exists()) return;
    CheckDSResult(Graph.SetNotifyWindow(nullptr, 0));
    if (GetHasVideo()) Graph.DetachVideoWindow();
}

void TPlayWindow::ApplyVideoRect()
{
    Graph.SetVideoPosition(VideoRect.Left, VideoRect.Top, VideoRect.Width, VideoRect.Height);
}

void TPlayWindow::SetVideoRect(int left, int top, int width, int height)
{
    {
        TCriticalSectionGuard lock(FrameLock);
        VideoRect = TVideoRect{left, top, width, height};
    }
    ApplyVideoRect();
}

void TPlayWindow::Play()
{
    if (!IsLoaded() || PlayState == psRunning) return;
    TPlayState previous = PlayState;
    Graph.Run();  // a failure shows as the graph's abort event
    if (GetHasVideo() && ShowNotOverModal(Handle()) && GetForegroundWindow() != Handle())
        SetForegroundWindow(Handle());
    if (Layered && previous != psPaused) {
        ShowWindow(Handle(), SW_HIDE);
        SetLayered(false);
        SetLayered(true);
    }
    PostMessageA(Handle(), WM_PLAYER_SYNCVIDEO, 0, 0);
    PlayState = psRunning;
}

void TPlayWindow::Pause()
{
    if (!IsLoaded()) return;
    CheckDSResult(Graph.Pause());
    PlayState = psPaused;
}

void TPlayWindow::Stop()
{
    if (IsLoaded()) {
        CheckDSResult(Graph.Stop());
        Graph.SetCurrentTime(0.0);
        Graph.StopWhenReady();
    }
    PlayState = psStopped;
    if (OnStopped) OnStopped();
}

int TPlayWindow::GetPosition()
{
    if (!IsLoaded()) return 0;
    return SecondsToSteps(Graph.CurrentTime(), PositionUnit);
}

void TPlayWindow::SetPosition(int steps)
{
    if (!IsLoaded()) return;
    const bool running = PlayState == psRunning;
    if (steps <= 0) {
        Graph.SeekTo(0.0, running);
        return;
    }
    double target = steps * PositionUnit;
    double stop = Graph.StopTime();
    Graph.SeekTo(target >= stop ? stop : target, running);
    // A paused or stopped picture shows the new frame.
    if (!running) Graph.StopWhenReady();
}

int TPlayWindow::PositionToSeconds(int steps) const
{
    if (!IsLoaded()) return 0;
    return StepsToSeconds(steps, PositionUnit);
}

void TPlayWindow::SetVolume(double gain)
{
    if (!IsLoaded() || !GetHasAudio()) return;
    Graph.SetVolume(GainToVolumeLevel(gain));
}

void TPlayWindow::GetVideoSize(int& width, int& height)
{
    width = height = 0;
    if (GetHasVideo()) Graph.GetVideoSize(width, height);
}

void TPlayWindow::SetCursorHidden(bool hidden)
{
    CursorHidden = hidden;
    if (GetHasVideo()) Graph.HideCursor(hidden);
}

void TPlayWindow::HandleGraphEvent()
{
    const TGraphEvents events = Graph.TakeEvents();
    if (events.Complete) {
        if (OnComplete) OnComplete();
    } else if (events.Aborted) {
        Stop();
        if (FAILED(events.Error) && OnError) OnError(events.Error);
    }
}

void TPlayWindow::SyncVideo()
{
    if (!Graph.Exists()) return;
    OAFilterState state;
    if (Graph.GetState(1, state) == VFW_S_STATE_INTERMEDIATE) {
        PostMessageA(Handle(), WM_PLAYER_SYNCVIDEO, 0, 0);
        return;
    }
    Graph.ShowVideoWindow(!Layered);
    // Showing the video may bring the window forward: behind a modal dialog again.
    const bool modal = ActiveModalDialog(Handle()) != nullptr;
    if (modal && (Layered || IsWindowVisible(Handle())))
        ShowNotOverModal(Handle());
    else if (Layered)
        ShowWindow(Handle(), SW_SHOW);
    if (Layered) {
        TCriticalSectionGuard lock(FrameLock);
        PresentLayeredFrame();
    }
}

// The frame bitmap follows the window's outer size. A bitmap that cannot be
// made for the new size leaves the old one in use: the layered picture then
// covers part of the window until the next size change.
void TPlayWindow::Resized()
{
    RECT r;
    if (!Handle() || !GetWindowRect(Handle(), &r)) return;
    TCriticalSectionGuard lock(FrameLock);
    try {
        FrameBitmap.Resize(r.right - r.left, r.bottom - r.top);
    } catch (const Exception&) {
    }
    if (Layered) PresentLayeredFrame();
}

// --- presentation switches ---------------------------------------------------

void TPlayWindow::SetLayeredAllowed(bool allowed)
{
    if (allowed == LayeredAllowed || !LayeredPresentationAvailable()) return;
    // Switched off while still allowed: SetLayered does nothing once it is not.
    if (!allowed) SetLayered(false);
    LayeredAllowed = allowed;
}

void TPlayWindow::SetLayered(bool on)
{
    if (on == Layered || !LayeredAllowed) return;
    TCriticalSectionGuard lock(FrameLock);
    Layered = on;
    if (!Handle()) return;
    SwitchLayeredStyle(Handle(), on, FrameBitmap, LayerAlpha);
    PostMessageA(Handle(), WM_PLAYER_SYNCVIDEO, 0, 0);
}

void TPlayWindow::PresentLayeredFrame() { ::PresentLayeredFrame(Handle(), FrameBitmap, LayerAlpha); }

// Streaming thread. It never waits for the GUI thread: while FrameLock is
// held (a resize, a layered switch, the teardown) the sample is dropped. The
// drawn frame is put on screen by the GUI thread: UpdateLayeredWindow called
// from here may send messages to the window's thread and wait for them, and
// that thread may itself be waiting for this one (taking FrameLock, or
// stopping the graph), which would hang both.
HRESULT __stdcall TPlayWindow::VideoSampleCallback(void* user, const AM_MEDIA_TYPE* mediaType,
                                                   IMediaSample* sample)
{
    auto* self = static_cast<TPlayWindow*>(user);
    if (!self->Layered) return S_OK;
    if (!self->FrameLock.TryEnter()) return S_OK;
    bool drawn = false;
    if (self->Layered) {
        const TVideoRect& v = self->VideoRect;
        drawn = DrawSampleToBitmap(
            sample, mediaType, self->FrameBitmap,
            TFrameRect{v.Left + self->BorderOffset.X, v.Top + self->BorderOffset.Y, v.Width, v.Height});
    }
    HWND wnd = self->Handle();
    self->FrameLock.Leave();
    if (drawn && wnd && !self->PresentPending.exchange(true)) {
        if (!PostMessageA(wnd, WM_PLAYER_PRESENTFRAME, 0, 0)) self->PresentPending = false;
    }
    return S_OK;
}

// --- the window ----------------------------------------------------------------

void TPlayWindow::Show()
{
    if (Handle() && !IsWindowVisible(Handle())) ShowNotOverModal(Handle());
}

void TPlayWindow::Hide()
{
    if (!Showing()) return;
    if (GetHasVideo()) Stop();
    if (Layered) SetLayered(false);
    if (OnHidden) OnHidden();
    ShowWindow(Handle(), SW_HIDE);
}

SIZE TPlayWindow::GetClientSize() const
{
    RECT r{0, 0, 0, 0};
    if (Handle()) GetClientRect(Handle(), &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void TPlayWindow::SetSizableFrame(bool on)
{
    if (on == SizableFrame) return;
    SizableFrame = on;
    if (!Handle()) return;
    const TBorderOffset offset = SetWindowSizableFrame(Handle(), on);
    TCriticalSectionGuard lock(FrameLock);
    BorderOffset = offset;
}

void TPlayWindow::SetTopMost(bool on)
{
    if (on == TopMost) return;
    TopMost = on;
    SetWindowTopMost(Handle(), on);
}

void TPlayWindow::SetLayerAlpha(unsigned char alpha)
{
    TCriticalSectionGuard lock(FrameLock);
    LayerAlpha = alpha;
    ApplyLayerAlpha(Handle(), Layered, FrameBitmap, alpha);
}

void TPlayWindow::Rewind()
{
    if (!IsLoaded()) return;
    CheckDSResult(Graph.Stop());
    Graph.SetCurrentTime(0.0);
    PlayState = psStopped;
}
