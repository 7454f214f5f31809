// The movie window: a top-level form of the toolkit that plays the current
// file through its media graph (UMediaGraph.h). It builds the graph for a
// file, runs, pauses and stops it, follows its events and tears it down; it
// shows the video either in the graph's own video window (a child at
// VideoRect) or, layered, by drawing every sample into a frame bitmap that
// becomes the window's surface. The graph is created by the first OpenFile.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "playback/UMediaGraph.h"
#include "playback/UMovieDrag.h"
#include "playback/UMovieWindowStyle.h"
#include "playback/USimpleDIB.h"
#include "win/UCriticalSection.h"
#include "win/UForm.h"

enum TPlayState : unsigned char { psRunning = 0, psStopped = 1, psPaused = 2 };

struct TVideoRect {
    int Left, Top, Width, Height;
};

class TPlayWindow : public TForm {
public:
    TPlayWindow();
    ~TPlayWindow() override;

    HWND GetHandle() const { return Handle(); }
    // The filter graph manager of the current graph (not counted); null
    // before the first file.
    IMediaControl* GetGraph() const { return Graph.Get(); }

    // The graph.
    void ResetGraph();
    void OpenFile(const std::wstring& fileName);
    void Play();
    void Pause();
    void Stop();
    bool IsLoaded() const { return Graph.Loaded(); }
    int GetPosition();
    void SetPosition(int steps);
    int PositionToSeconds(int steps) const;
    void SetVolume(double gain);
    void GetVideoSize(int& width, int& height);
    void SetCursorHidden(bool hidden);

    bool GetHasVideo() const { return Graph.HasVideo(); }
    bool GetHasAudio() const { return Graph.HasAudio(); }
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
    bool Showing() const { return Visible(); }
    // While a modal dialog is active the window comes up behind it.
    void Show() override;
    // Hides a visible window: stops video media, leaves the layered state and
    // raises OnHidden before the window disappears. A close request ends here.
    void Hide() override;
    RECT GetBounds() const { return BoundsRect(); }
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
    // An exception from these handlers, or from anything else the window
    // does for a message, reaches the application's handler.

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateWindowHandle();
    void AttachGraphWindow();
    void DetachGraphWindow();
    void HandleGraphEvent();
    void SyncVideo();
    void Resized();
    // Puts the frame bitmap on screen; the caller holds FrameLock.
    void PresentLayeredFrame();
    static HRESULT __stdcall VideoSampleCallback(void* user, const AM_MEDIA_TYPE* mediaType,
                                                 IMediaSample* sample);

    TMediaGraph Graph;
    double PositionUnit = 0.0;
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
