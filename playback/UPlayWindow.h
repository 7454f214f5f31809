// The movie window: a top-level window that owns the DirectShow graph of the
// file being played. It builds the graph for a file, runs, pauses and stops
// it, follows its events and tears it down; it shows the video either in the
// graph's own video window (a child at VideoRect) or, layered, by drawing
// every sample into a frame bitmap that becomes the window's surface.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "playback/UDirectShow.h"
#include "playback/UMovieDrag.h"
#include "playback/UMovieWindowStyle.h"
#include "playback/USimpleDIB.h"
#include "playback/USoundRenderers.h"
#include "win/UCriticalSection.h"
#include "win/UMessages.h"

enum TPlayState : unsigned char { psRunning = 0, psStopped = 1, psPaused = 2 };

struct TVideoRect {
    int Left, Top, Width, Height;
};

class TPlayWindow {
public:
    TPlayWindow();
    ~TPlayWindow();
    TPlayWindow(const TPlayWindow&) = delete;
    TPlayWindow& operator=(const TPlayWindow&) = delete;

    HWND GetHandle() const { return Handle; }
    // The filter graph manager of the current graph (not counted).
    IMediaControl* GetGraph() const { return Graph.Get(); }

    // The graph.
    void ResetGraph();
    void OpenFile(const std::wstring& fileName);
    void Play();
    void Pause();
    void Stop();
    bool IsLoaded() const { return static_cast<bool>(SourceFilter); }
    int GetPosition();
    void SetPosition(int steps);
    int PositionToSeconds(int steps) const;
    void SetVolume(double gain);
    void GetVideoSize(int& width, int& height);
    void SetCursorHidden(bool hidden);

    bool GetHasVideo() const { return HasVideo; }
    bool GetHasAudio() const { return HasAudio; }
    TPlayState GetPlayState() const { return PlayState; }
    double GetPositionUnit() const { return PositionUnit; }

    // Presentation switches the graph half depends on.
    bool GetLayeredAllowed() const { return LayeredAllowed; }
    void SetLayeredAllowed(bool allowed);
    bool GetLayered() const { return Layered; }
    void SetLayered(bool on);
    const TVideoRect& GetVideoRect() const { return VideoRect; }
    void SetVideoRect(int left, int top, int width, int height);
    // Sets the graph's video window to VideoRect (only with video).
    void ApplyVideoRect();

    // The window.
    bool Showing() const { return Handle && IsWindowVisible(Handle); }
    void Show();
    // Hides a visible window: stops video media, leaves the layered state and
    // raises OnHidden before the window disappears. A close request ends here.
    void Hide();
    RECT GetBounds() const;
    void SetBounds(int left, int top, int width, int height);
    SIZE GetClientSize() const;
    bool GetSizableFrame() const { return SizableFrame; }
    void SetSizableFrame(bool on);
    bool GetTopMost() const { return TopMost; }
    void SetTopMost(bool on);
    unsigned char GetLayerAlpha() const { return LayerAlpha; }
    void SetLayerAlpha(unsigned char alpha);
    bool GetCursorHidden() const { return CursorHidden; }
    // Shown on a right click; its commands arrive through OnMenuCommand.
    void SetPopupMenu(HMENU menu) { PopupMenu = menu; }
    HMENU GetPopupMenu() const { return PopupMenu; }
    // Stops the graph and puts it back to the start without raising
    // OnStopped; the next Play starts the media again from its beginning.
    void Rewind();

    // Events; each is called only when assigned.
    std::function<void(bool active)> OnActivate;
    std::function<void()> OnComplete;
    std::function<void()> OnStopped;
    // The graph stopped itself on an error while it played (after OnStopped).
    std::function<void(HRESULT error)> OnError;
    std::function<void()> OnHandleCreated;
    std::function<void()> OnHidden;
    std::function<void()> OnDragMoved;
    // Every change of the window's size (WM_SIZE with a new size).
    std::function<void()> OnResize;
    // A key pressed while the window (or its video) has the focus, with the
    // state of Ctrl and Alt.
    std::function<void(int key, bool ctrl, bool alt)> OnKeyDown;
    std::function<void(int x, int y)> OnMouseMove;
    std::function<void(UINT id)> OnMenuCommand;
    // A WM_APPCOMMAND while the window has the focus; true when it was taken.
    std::function<bool(int command)> OnAppCommand;
    // Called inside a catch block when handling a message throws (a failing
    // Stop while the window closes, for instance); no exception may pass out
    // of the window procedure. Without it the error is dropped.
    std::function<void()> OnException;

private:
    void CreateHandle();
    void DestroyHandle();
    void AttachGraphWindow();
    void DetachGraphWindow();
    void RenderSourcePins(IGraphBuilder* builder, IBaseFilter* filter);
    void HandleGraphEvent();
    void SyncVideo();
    void Resized();
    // Puts the frame bitmap on screen; the caller holds FrameLock.
    void PresentLayeredFrame();
    void SeekTo(double seconds);
    void StopWhenReady();
    static HRESULT __stdcall VideoSampleCallback(void* user, const AM_MEDIA_TYPE* mediaType,
                                                 IMediaSample* sample);
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND Handle = nullptr;
    TComPtr<IMediaControl> Graph;
    TComPtr<IBaseFilter> SourceFilter;
    TComPtr<IBaseFilter> CallbackFilter;
    DWORD CallbackHandle = 0;        // CallbackFilter's, for SetTSFilterCallback
    TSoundRenderers SoundRenderers;  // Wine only
    double PositionUnit = 0.0;
    bool HasVideo = false;
    bool HasAudio = false;
    TPlayState PlayState = psStopped;

    // FrameLock guards FrameBitmap, Layered and what the streaming thread
    // reads to draw a sample (VideoRect, BorderOffset, LayerAlpha). The GUI
    // thread takes it before the bitmap's own lock, never after.
    TCriticalSection FrameLock;
    TSimpleDIB FrameBitmap;  // the window's outer size
    TBorderOffset BorderOffset;
    bool CursorHidden = false;
    bool LayeredAllowed = false;
    std::atomic<bool> Layered{false};  // read by the streaming thread
    // Set by the streaming thread when it posts WM_PLAYER_PRESENTFRAME, so
    // that at most one such message waits in the queue.
    std::atomic<bool> PresentPending{false};
    TVideoRect VideoRect{0, 0, 320, 240};
    bool SizableFrame = true;
    bool TopMost = false;
    unsigned char LayerAlpha = DefaultLayerAlpha;
    HMENU PopupMenu = nullptr;
    SIZE LastSize{0, 0};
    TDragTracker Drag;  // dragging by the client area
};
