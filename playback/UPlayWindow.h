// The movie window: a top-level window that owns the DirectShow graph of the
// file being played. This half holds the graph: building it for a file,
// run / pause / stop, position, volume, the graph's events and the teardown.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "playback/UDirectShow.h"

// WM_APP+1: the playback graph's event notification.
constexpr UINT WM_PLAYER_GRAPHEVENT = WM_APP + 1;
// WM_APP+3: the window polls the graph state after a state change.
constexpr UINT WM_PLAYER_SYNCVIDEO = WM_APP + 3;

// A critical section that can be tried without waiting.
class TCriticalSection {
public:
    TCriticalSection() { InitializeCriticalSection(&CS); }
    ~TCriticalSection() { DeleteCriticalSection(&CS); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&CS); }
    void Leave() { LeaveCriticalSection(&CS); }
    bool TryEnter() { return TryEnterCriticalSection(&CS) != FALSE; }

private:
    CRITICAL_SECTION CS;
};

class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TCriticalSection& cs) : CS(cs) { CS.Enter(); }
    ~TCriticalSectionGuard() { CS.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TCriticalSection& CS;
};

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

    // Events; each is called only when assigned.
    std::function<void(bool active)> OnActivate;
    std::function<void()> OnComplete;
    std::function<void()> OnStopped;
    std::function<void()> OnHandleCreated;
    std::function<void()> OnHidden;
    std::function<void()> OnDragMoved;

private:
    void CreateHandle();
    void DestroyHandle();
    void AttachGraphWindow();
    void DetachGraphWindow();
    void RenderSourcePins(IGraphBuilder* builder, IBaseFilter* filter);
    void ApplyVideoRect();
    void HandleGraphEvent();
    void SyncVideo();
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
    double PositionUnit = 0.0;
    bool HasVideo = false;
    bool HasAudio = false;
    TPlayState PlayState = psStopped;

    TCriticalSection FrameLock;
    bool CursorHidden = false;
    bool LayeredAllowed = false;
    std::atomic<bool> Layered{false}; // read by the streaming thread
    TVideoRect VideoRect{0, 0, 320, 240};
};
