#include "playback/UPlayWindow.h"

#include "playback/UDrawSample.h"
#include "playback/ULayeredPresent.h"
#include "playback/UMediaMath.h"
#include "playback/UMovieFrame.h"
#include "tsfilter/TsFilter.h"
#include "win/UApplication.h"

namespace {

const char WindowClassName[] = "TPlayWindow";
const DWORD StateChangeTimeoutMs = 3000;

void RegisterWindowClass()
{
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;  // replaced per window at creation
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = WindowClassName;
        return RegisterClassExA(&wc) != 0;
    }();
    (void)registered;
}

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

TPlayWindow::TPlayWindow()
{
    ResetGraph();
    CreateHandle();
}

TPlayWindow::~TPlayWindow()
{
    {
        TCriticalSectionGuard lock(FrameLock);
        if (Graph) {
            try {
                CheckDSResult(Graph->Stop());
                OAFilterState state;
                for (DWORD waited = 0; waited < StateChangeTimeoutMs; ++waited)
                    if (Graph->GetState(1, &state) != VFW_S_STATE_INTERMEDIATE) break;
            } catch (const Exception&) {
                // The graph is released below whatever the stop reported.
            }
        }
        SourceFilter = nullptr;
        Graph = nullptr;
        CallbackFilter = nullptr;
    }
    DestroyHandle();
}

void TPlayWindow::CreateHandle()
{
    RegisterWindowClass();
    const TMovieWindowParams p = MovieWindowParams(
        SizableFrame, Layered, TopMost, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    {
        // Sized before the window exists: a failure then leaves nothing behind.
        TCriticalSectionGuard lock(FrameLock);
        FrameBitmap.Resize(p.Width, p.Height);
    }
    HWND wnd = CreateWindowExA(p.ExStyle, WindowClassName, p.Caption, p.Style, p.X, p.Y, p.Width, p.Height,
                               GetDesktopWindow(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!wnd) throw Exception("Movie Window: CreateWindowEx failed");
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TPlayWindow::WindowProc));
    Handle = wnd;
    LastSize = GetClientSize();
    {
        TCriticalSectionGuard lock(FrameLock);
        BorderOffset = ReadBorderOffset(Handle);
    }
    Resized();  // the outer size may differ from the one asked for
    AttachGraphWindow();
    if (OnHandleCreated) OnHandleCreated();
}

void TPlayWindow::DestroyHandle()
{
    if (!Handle) return;
    try {
        DetachGraphWindow();
    } catch (const Exception&) {
    }
    SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
    DestroyWindow(Handle);
    Handle = nullptr;
}

LRESULT CALLBACK TPlayWindow::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT ended = 0;
    if (Application && Application->SessionMessage(msg, wParam, ended)) return ended;
    auto* self = reinterpret_cast<TPlayWindow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(wnd, msg, wParam, lParam);
    try {
        return self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        if (self->OnException) {
            try {
                self->OnException();
            } catch (...) {
            }
        }
        return 0;
    }
}

LRESULT TPlayWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
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
        case WM_CLOSE:
            Hide();
            return 0;
        case WM_ACTIVATE:
            ForwardActivateApp(Handle, wParam, lParam);
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
            if (SizableFrame) SetCapture(Handle);
            Drag.ButtonDown(MouseX(static_cast<std::uintptr_t>(lParam)),
                            MouseY(static_cast<std::uintptr_t>(lParam)), SizableFrame);
            break;
        case WM_MOUSEMOVE: {
            const int x = MouseX(static_cast<std::uintptr_t>(lParam));
            const int y = MouseY(static_cast<std::uintptr_t>(lParam));
            TDragOffset offset;
            if (Drag.MouseMove(x, y, SizableFrame, offset)) MoveWindowBy(Handle, offset.X, offset.Y);
            if (OnMouseMove) OnMouseMove(x, y);
            break;
        }
        case WM_LBUTTONUP:
            if (GetCapture() == Handle) ReleaseCapture();
            if (Drag.ButtonUp(SizableFrame) && OnDragMoved) OnDragMoved();
            break;
        case WM_CONTEXTMENU:
            if (PopupMenu) {
                POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                if (lParam == -1) GetCursorPos(&p);
                TrackPopupMenu(PopupMenu, TPM_RIGHTBUTTON, p.x, p.y, 0, Handle, nullptr);
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
    return DefWindowProcA(Handle, msg, wParam, lParam);
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
    SoundRenderers.TakeBack(Graph.Get());
    Graph = nullptr;
    SourceFilter = nullptr;
    PlayState = psStopped;
    HasVideo = false;
    HasAudio = false;
    PositionUnit = 0.0;
    CheckDSResult(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_IMediaControl, Graph.PutVoid()));
    if (LayeredAllowed) {
        CallbackFilter = nullptr;
        CallbackHandle = 0;
        CheckDSResult(CreateVideoCallbackFilter(CallbackFilter.Put(), &CallbackHandle));
        CheckDSResult(SetTSFilterCallback(CallbackHandle, this, &TPlayWindow::VideoSampleCallback));
    }
}

void TPlayWindow::OpenFile(const std::wstring& fileName)
{
    ResetGraph();
    TComPtr<IGraphBuilder> builder = Graph.As<IGraphBuilder>(IID_IGraphBuilder);
    try {
        if (!builder) CheckDSResult(E_NOINTERFACE);
        SourceFilter = nullptr;
        CheckDSResult(builder->AddSourceFilter(fileName.c_str(), L"Source_Filter", SourceFilter.Put()));
        // Wine only, like the renderers: filters in the graph are tried before
        // the registry is searched, and those added last first. The renderers
        // are added before the callback filter, which is then tried first.
        TComPtr<IBaseFilter> splitter = AddWineSplitter(builder.Get());
        TComPtr<IBaseFilter> gdiRenderer = AddGdiVideoRenderer(builder.Get());
        SoundRenderers.AddTo(builder.Get());
        if (CallbackFilter) CheckDSResult(builder->AddFilter(CallbackFilter.Get(), nullptr));
        RenderSourcePins(builder.Get(), SourceFilter.Get());
        for (IBaseFilter* unused : {splitter.Get(), gdiRenderer.Get()})
            if (unused && !HasConnectedPin(unused)) builder->RemoveFilter(unused);
        SoundRenderers.Settle(builder.Get());

        HRESULT hr;
        TComPtr<IMediaPosition> position = Graph.As<IMediaPosition>(IID_IMediaPosition, &hr);
        CheckDSResult(hr);
        REFTIME stop = 0;
        CheckDSResult(position->get_StopTime(&stop));
        PositionUnit = stop / PositionSteps;

        TComPtr<IVideoWindow> video = Graph.As<IVideoWindow>(IID_IVideoWindow);
        long style = 0;
        HasVideo = video && video->get_WindowStyle(&style) == S_OK;
        TComPtr<IBasicAudio> audio = Graph.As<IBasicAudio>(IID_IBasicAudio);
        long volume = 0;
        HasAudio = audio && audio->get_Volume(&volume) == S_OK;

        AttachGraphWindow();
    } catch (...) {
        builder = nullptr;
        ResetGraph();
        throw;
    }
}

void TPlayWindow::RenderSourcePins(IGraphBuilder* builder, IBaseFilter* filter)
{
    TComPtr<IEnumPins> pins;
    CheckDSResult(filter->EnumPins(pins.Put()));
    TComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_INFO info{};
        CheckDSResult(pin->QueryPinInfo(&info));
        if (info.pFilter) info.pFilter->Release();
        if (info.dir == PINDIR_OUTPUT) CheckDSResult(builder->Render(pin.Get()));
    }
}

void TPlayWindow::AttachGraphWindow()
{
    if (!Graph || !Handle) return;
    HRESULT hr;
    TComPtr<IMediaEventEx> events = Graph.As<IMediaEventEx>(IID_IMediaEventEx, &hr);
    CheckDSResult(hr);
    CheckDSResult(events->SetNotifyWindow(reinterpret_cast<OAHWND>(Handle), WM_PLAYER_GRAPHEVENT, 0));
    if (!HasVideo) return;
    TComPtr<IVideoWindow> video = Graph.As<IVideoWindow>(IID_IVideoWindow, &hr);
    CheckDSResult(hr);
    CheckDSResult(video->put_Owner(reinterpret_cast<OAHWND>(Handle)));
    CheckDSResult(video->put_WindowStyle(WS_CHILD));
    CheckDSResult(video->put_MessageDrain(reinterpret_cast<OAHWND>(Handle)));
    ApplyVideoRect();
    CheckDSResult(video->put_Visible(OATRUE));
    CheckDSResult(video->HideCursor(CursorHidden ? OATRUE : OAFALSE));
}

void TPlayWindow::DetachGraphWindow()
{
    if (!Graph) return;
    HRESULT hr;
    TComPtr<IMediaEventEx> events = Graph.As<IMediaEventEx>(IID_IMediaEventEx, &hr);
    CheckDSResult(hr);
    CheckDSResult(events->SetNotifyWindow(0, 0, 0));
    if (!HasVideo) return;
    TComPtr<IVideoWindow> video = Graph.As<IVideoWindow>(IID_IVideoWindow, &hr);
    CheckDSResult(hr);
    CheckDSResult(video->put_Visible(OAFALSE));
    CheckDSResult(video->put_MessageDrain(0));
}

void TPlayWindow::ApplyVideoRect()
{
    HRESULT hr;
    TComPtr<IVideoWindow> video = Graph.As<IVideoWindow>(IID_IVideoWindow, &hr);
    CheckDSResult(hr);
    CheckDSResult(video->SetWindowPosition(VideoRect.Left, VideoRect.Top, VideoRect.Width, VideoRect.Height));
    TComPtr<IBasicVideo> basic = Graph.As<IBasicVideo>(IID_IBasicVideo, &hr);
    CheckDSResult(hr);
    CheckDSResult(basic->SetDestinationPosition(0, 0, VideoRect.Width, VideoRect.Height));
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
    Graph->Run();  // a failure shows as the graph's abort event
    if (HasVideo && ShowNotOverModal(Handle) && GetForegroundWindow() != Handle) SetForegroundWindow(Handle);
    if (Layered && previous != psPaused) {
        ShowWindow(Handle, SW_HIDE);
        SetLayered(false);
        SetLayered(true);
    }
    PostMessageA(Handle, WM_PLAYER_SYNCVIDEO, 0, 0);
    PlayState = psRunning;
}

void TPlayWindow::Pause()
{
    if (!IsLoaded()) return;
    CheckDSResult(Graph->Pause());
    PlayState = psPaused;
}

void TPlayWindow::Stop()
{
    if (IsLoaded()) {
        CheckDSResult(Graph->Stop());
        HRESULT hr;
        TComPtr<IMediaPosition> position = Graph.As<IMediaPosition>(IID_IMediaPosition, &hr);
        CheckDSResult(hr);
        CheckDSResult(position->put_CurrentPosition(0.0));
        StopWhenReady();
    }
    PlayState = psStopped;
    if (OnStopped) OnStopped();
}

int TPlayWindow::GetPosition()
{
    if (!IsLoaded()) return 0;
    HRESULT hr;
    TComPtr<IMediaPosition> position = Graph.As<IMediaPosition>(IID_IMediaPosition, &hr);
    CheckDSResult(hr);
    REFTIME now = 0;
    CheckDSResult(position->get_CurrentPosition(&now));
    return SecondsToSteps(now, PositionUnit);
}

void TPlayWindow::SetPosition(int steps)
{
    if (!IsLoaded()) return;
    HRESULT hr;
    TComPtr<IMediaPosition> position = Graph.As<IMediaPosition>(IID_IMediaPosition, &hr);
    CheckDSResult(hr);
    if (steps <= 0) {
        SeekTo(0.0);
        return;
    }
    double target = steps * PositionUnit;
    REFTIME stop = 0;
    CheckDSResult(position->get_StopTime(&stop));
    SeekTo(target >= stop ? stop : target);
    if (PlayState != psRunning) StopWhenReady();
}

// Pauses on the current frame, then stops. Wine's StopWhenReady leaves the
// graph paused when the pause completes later, and a Run after that never
// plays; there the same is done step by step, waiting for the pause.
void TPlayWindow::StopWhenReady()
{
    if (!RunningOnWine()) {
        CheckDSResult(Graph->StopWhenReady());
        return;
    }
    CheckDSResult(Graph->Pause());
    OAFilterState state;
    Graph->GetState(StateChangeTimeoutMs, &state);
    CheckDSResult(Graph->Stop());
}

// Wine's DirectShow loses the end of a graph with both audio and video when it
// is seeked while running or paused: EC_COMPLETE never comes and a later Stop
// hangs. Seeking a stopped graph works, so there such a graph is stopped
// first and run again afterwards. Windows seeks in place.
void TPlayWindow::SeekTo(double seconds)
{
    HRESULT hr;
    TComPtr<IMediaPosition> position = Graph.As<IMediaPosition>(IID_IMediaPosition, &hr);
    CheckDSResult(hr);
    bool restart = false;
    if (HasVideo && HasAudio && RunningOnWine()) {
        OAFilterState state = State_Stopped;
        Graph->GetState(0, &state);
        if (state != State_Stopped) {
            CheckDSResult(Graph->Stop());
            restart = PlayState == psRunning;
        }
    }
    CheckDSResult(position->put_CurrentPosition(seconds));
    if (restart) CheckDSResult(Graph->Run());
}

int TPlayWindow::PositionToSeconds(int steps) const
{
    if (!IsLoaded()) return 0;
    return StepsToSeconds(steps, PositionUnit);
}

void TPlayWindow::SetVolume(double gain)
{
    if (!IsLoaded() || !HasAudio) return;
    HRESULT hr;
    TComPtr<IBasicAudio> audio = Graph.As<IBasicAudio>(IID_IBasicAudio, &hr);
    CheckDSResult(hr);
    CheckDSResult(audio->put_Volume(GainToVolumeLevel(gain)));
}

void TPlayWindow::GetVideoSize(int& width, int& height)
{
    width = height = 0;
    if (!HasVideo) return;
    HRESULT hr;
    TComPtr<IBasicVideo> video = Graph.As<IBasicVideo>(IID_IBasicVideo, &hr);
    CheckDSResult(hr);
    long w = 0, h = 0;
    CheckDSResult(video->GetVideoSize(&w, &h));
    width = w;
    height = h;
}

void TPlayWindow::SetCursorHidden(bool hidden)
{
    CursorHidden = hidden;
    if (!HasVideo) return;
    HRESULT hr;
    TComPtr<IVideoWindow> video = Graph.As<IVideoWindow>(IID_IVideoWindow, &hr);
    CheckDSResult(hr);
    CheckDSResult(video->HideCursor(hidden ? OATRUE : OAFALSE));
}

void TPlayWindow::HandleGraphEvent()
{
    if (!Graph) return;
    bool complete = false, aborted = false;
    HRESULT error = S_OK;
    {
        // Let go of the graph before the handlers run: OnComplete opens the
        // next file, and the old graph must be gone by then, or releasing it
        // afterwards would take a filter that the new graph re-uses (the
        // callback filter) out of the new graph too.
        HRESULT hr;
        TComPtr<IMediaEvent> events = Graph.As<IMediaEvent>(IID_IMediaEvent, &hr);
        CheckDSResult(hr);
        long code;
        LONG_PTR param1, param2;
        while (SUCCEEDED(events->GetEvent(&code, &param1, &param2, 0))) {
            CheckDSResult(events->FreeEventParams(code, param1, param2));
            if (code == EC_COMPLETE)
                complete = true;
            else if (code == EC_USERABORT || code == EC_ERRORABORT)
                aborted = true;
            if (code == EC_ERRORABORT) error = FAILED(param1) ? static_cast<HRESULT>(param1) : E_FAIL;
        }
    }
    if (complete) {
        if (OnComplete) OnComplete();
    } else if (aborted) {
        Stop();
        if (FAILED(error) && OnError) OnError(error);
    }
}

void TPlayWindow::SyncVideo()
{
    if (!Graph) return;
    OAFilterState state;
    if (Graph->GetState(1, &state) == VFW_S_STATE_INTERMEDIATE) {
        PostMessageA(Handle, WM_PLAYER_SYNCVIDEO, 0, 0);
        return;
    }
    TComPtr<IVideoWindow> video = Graph.As<IVideoWindow>(IID_IVideoWindow);
    if (video) video->put_Visible(Layered ? OAFALSE : OATRUE);
    // Showing the video may bring the window forward: behind a modal dialog again.
    const bool modal = ActiveModalDialog(Handle) != nullptr;
    if (modal && (Layered || IsWindowVisible(Handle)))
        ShowNotOverModal(Handle);
    else if (Layered)
        ShowWindow(Handle, SW_SHOW);
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
    if (!Handle || !GetWindowRect(Handle, &r)) return;
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
    if (!Handle) return;
    SwitchLayeredStyle(Handle, on, FrameBitmap, LayerAlpha);
    PostMessageA(Handle, WM_PLAYER_SYNCVIDEO, 0, 0);
}

void TPlayWindow::PresentLayeredFrame() { ::PresentLayeredFrame(Handle, FrameBitmap, LayerAlpha); }

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
    HWND wnd = self->Handle;
    self->FrameLock.Leave();
    if (drawn && wnd && !self->PresentPending.exchange(true)) {
        if (!PostMessageA(wnd, WM_PLAYER_PRESENTFRAME, 0, 0)) self->PresentPending = false;
    }
    return S_OK;
}

// --- the window ----------------------------------------------------------------

void TPlayWindow::Show()
{
    if (Handle && !IsWindowVisible(Handle)) ShowNotOverModal(Handle);
}

void TPlayWindow::Hide()
{
    if (!Showing()) return;
    if (HasVideo) Stop();
    if (Layered) SetLayered(false);
    if (OnHidden) OnHidden();
    ShowWindow(Handle, SW_HIDE);
}

RECT TPlayWindow::GetBounds() const
{
    RECT r{0, 0, 0, 0};
    if (Handle) GetWindowRect(Handle, &r);
    return r;
}

void TPlayWindow::SetBounds(int left, int top, int width, int height)
{
    if (Handle) SetWindowPos(Handle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TPlayWindow::GetClientSize() const
{
    RECT r{0, 0, 0, 0};
    if (Handle) GetClientRect(Handle, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void TPlayWindow::SetSizableFrame(bool on)
{
    if (on == SizableFrame) return;
    SizableFrame = on;
    if (!Handle) return;
    const TBorderOffset offset = SetWindowSizableFrame(Handle, on);
    TCriticalSectionGuard lock(FrameLock);
    BorderOffset = offset;
}

void TPlayWindow::SetTopMost(bool on)
{
    if (on == TopMost) return;
    TopMost = on;
    SetWindowTopMost(Handle, on);
}

void TPlayWindow::SetLayerAlpha(unsigned char alpha)
{
    TCriticalSectionGuard lock(FrameLock);
    LayerAlpha = alpha;
    ApplyLayerAlpha(Handle, Layered, FrameBitmap, alpha);
}

void TPlayWindow::Rewind()
{
    if (!IsLoaded()) return;
    CheckDSResult(Graph->Stop());
    HRESULT hr;
    TComPtr<IMediaPosition> position = Graph.As<IMediaPosition>(IID_IMediaPosition, &hr);
    CheckDSResult(hr);
    CheckDSResult(position->put_CurrentPosition(0.0));
    PlayState = psStopped;
}
