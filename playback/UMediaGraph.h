// A DirectShow filter graph for playing a file (the movie window) or for
// measuring one (the level analyser), one graph at a time from its creation
// to its release: the source, the callback filter of TsFilter.dll, building,
// run, pause and stop, position, volume, the graph's video window and its
// event notification, with the workarounds Wine's DirectShow needs.
//
// Nothing is created before Create, so an owner costs nothing until its
// first file. What is meant to outlive one graph stays here from one to the
// next: the callback filter (until a new one is made) and, on Wine, the
// DirectSound renderers handed from graph to graph (USoundRenderers.h).
//
// All calls come from the GUI thread. Failed DirectShow calls raise EDSError
// unless a call says otherwise.
#pragma once

#include <string>

#include "playback/UDirectShow.h"
#include "playback/USoundRenderers.h"
#include "tsfilter/TsFilter.h"

enum class TCallbackKind { Video, Audio };

// What the graph had queued since it was last asked.
struct TGraphEvents {
    bool Complete = false;  // EC_COMPLETE
    bool Aborted = false;   // EC_USERABORT or EC_ERRORABORT
    HRESULT Error = S_OK;   // EC_ERRORABORT's (E_FAIL when it gave none)
};

class TMediaGraph {
public:
    TMediaGraph() = default;
    ~TMediaGraph();
    TMediaGraph(const TMediaGraph&) = delete;
    TMediaGraph& operator=(const TMediaGraph&) = delete;

    // --- the graph's life ---
    // A new, empty graph; the one before is released first.
    void Create();
    // Stops the graph and its notifications, takes back (on Wine) what the
    // next graph re-uses and lets the graph go. The callback filter stays.
    // Never raises.
    void Release() noexcept;
    bool Exists() const { return static_cast<bool>(Control); }
    // The filter graph manager, not counted; null without a graph.
    IMediaControl* Get() const { return Control.Get(); }

    // --- the callback filter ---
    // A new callback filter from TsFilter.dll, with callback registered for
    // user at once; it replaces the one before and joins every graph built
    // from now on.
    void CreateCallbackFilter(TCallbackKind kind, void* user, TSFilterCallback callback);
    bool HasCallbackFilter() const { return static_cast<bool>(CallbackFilter); }

    // --- building, on a graph just created ---
    // For playing: the file's source filter ("Source_Filter") with every
    // output pin rendered by intelligent connect, through the callback filter
    // where it fits. Afterwards HasVideo and HasAudio tell what was rendered.
    void RenderFile(const std::wstring& fileName);
    // For measuring: the file's first output pin connected to the callback
    // filter's first input pin (on Wine through the splitter, from its first
    // stream that is not video), every output left over ending in a Null
    // Renderer. False when the file cannot be added or no stream of it
    // reaches the filter.
    bool ConnectToCallback(const std::wstring& fileName);
    bool Loaded() const { return static_cast<bool>(Source); }
    bool HasVideo() const { return FHasVideo; }
    bool HasAudio() const { return FHasAudio; }

    // --- running: IMediaControl's results, for the caller to check ---
    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();
    HRESULT GetState(DWORD timeoutMs, OAFilterState& state);
    // Pauses on the current frame, then stops (a stopped picture shows it).
    void StopWhenReady();
    // No reference clock: samples come as fast as they are decoded.
    void RemoveClock();

    // --- position ---
    // In seconds (IMediaPosition).
    double CurrentTime();
    double StopTime();
    void SetCurrentTime(double seconds);
    // Seeks; running: the caller has the graph running, which it must be
    // again afterwards.
    void SeekTo(double seconds, bool running);
    // In 100 ns units (IMediaSeeking); false when the graph cannot tell.
    bool StopPosition(LONGLONG& position);
    bool CurrentPosition(LONGLONG& position);

    // Hundredths of a decibel, -10000..0.
    void SetVolume(long level);

    // --- the graph's video window (only for a graph with video) ---
    // Makes it a visible child of owner at the given rectangle, with owner
    // taking its messages.
    void AttachVideoWindow(HWND owner, int left, int top, int width, int height, bool cursorHidden);
    // Hides it and ends its message drain (its owner stays).
    void DetachVideoWindow();
    void SetVideoPosition(int left, int top, int width, int height);
    void HideCursor(bool hidden);
    // Shows or hides it; failures (no video) are ignored.
    void ShowVideoWindow(bool visible) noexcept;
    void GetVideoSize(int& width, int& height);

    // --- events ---
    // Posts message to wnd whenever events are queued; a null wnd stops it.
    HRESULT SetNotifyWindow(HWND wnd, UINT message);
    // Empties the queue. Every interface it takes is let go before it
    // returns: a handler that opens the next file builds a new graph, and
    // the old one must be gone by then (released later, it would take a
    // filter that both share, the callback filter, out of the new one).
    TGraphEvents TakeEvents();

private:
    template <class T>
    TComPtr<T> Query(REFIID iid) const;
    IMediaControl* Checked() const;

    TComPtr<IMediaControl> Control;
    TComPtr<IBaseFilter> Source;
    TComPtr<IBaseFilter> CallbackFilter;
    TSoundRenderers SoundRenderers;  // Wine only
    bool FHasVideo = false;
    bool FHasAudio = false;
};
