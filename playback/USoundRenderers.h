// The DirectSound renderers of the movie window's graphs on Wine.
//
// Wine keeps about 0.5 MB of every DirectSound renderer that has played,
// even once the renderer itself is freed, and intelligent connect searches
// the registry for a renderer otherwise (which leaks handles in Wine's filter
// mapper). So on Wine the movie window puts a renderer into each graph before
// rendering, and renderers go from one graph to the next. Wine's renderer
// does not survive being connected again with another audio format, though:
// the process dies of a page fault inside Wine as the next file starts (an
// MP3 and then an AVI with PCM sound, in nearly every run). A renderer therefore
// only plays the format it first played; a file in another format gets one
// that played that format, or a new one. A few are kept, the most recently
// used first. On Windows nothing of this is used.
#pragma once

#include <vector>

#include "playback/UDirectShow.h"

class TSoundRenderers {
public:
    TSoundRenderers() = default;
    TSoundRenderers(const TSoundRenderers&) = delete;
    TSoundRenderers& operator=(const TSoundRenderers&) = delete;

    // On Wine, adds the renderer used last (or a new one) to a graph about to
    // be rendered. Does nothing on Windows.
    void AddTo(IGraphBuilder* builder);
    // After rendering: a renderer left unconnected leaves the graph; one
    // connected with another format than it played before is replaced by
    // one for this format, connected to the same pin.
    void Settle(IGraphBuilder* builder);
    // Before a graph is released: stops it and takes the renderer out, so
    // that it is never in two graphs and the old graph holds no clock of it.
    // Never raises.
    void TakeBack(IMediaControl* graph);

private:
    struct TEntry {
        TComPtr<IBaseFilter> Filter;
        std::vector<unsigned char> Format;  // empty until it has been connected
    };
    // The renderer in the graph is Entries[0] while InGraph is set.
    std::vector<TEntry> Entries;
    bool InGraph = false;
};
