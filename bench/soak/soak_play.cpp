// bench soak: the controller plays a list of one-second files (alternately a
// WAV and a small MJPEG AVI) through to the end; the process's handles, GDI
// objects and private memory are read when track 20 and the last track end.
// Growth between the two beyond a small constant is a leak.
//   soak_play.exe FOLDER COUNT [bare]
// FOLDER holds track-000.wav, track-001.avi, ... (even: .wav, odd: .avi).
// With "bare" the same files are played by plain filter graphs (render, run,
// wait for the end, release; on Wine with the same GDI video renderer as the
// movie window) and nothing else of ours: what the system's
// DirectShow itself keeps per graph, to set the controller's figure against.
#include <windows.h>
#include <dshow.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/soak/ProcessUsage.h"
#include "playback/UController.h"
#include "playback/UDirectShow.h"
#include "playlist/UPlayList.h"
#include "win/UApplication.h"

namespace {

std::string TrackPath(const std::string& folder, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "track-%03d.%s", index, index % 2 ? "avi" : "wav");
    return folder + name;
}

void PlayBareGraph(const std::string& path)
{
    TComPtr<IGraphBuilder> graph;
    CheckDSResult(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.PutVoid()));
    wchar_t file[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, file, MAX_PATH)) throw Exception("bad path");
    // The renderer the movie window uses on Wine, so that both runs build the same graphs.
    TComPtr<IBaseFilter> renderer = AddGdiVideoRenderer(graph.Get());
    CheckDSResult(graph->RenderFile(file, nullptr));
    if (renderer && !HasConnectedPin(renderer.Get())) graph->RemoveFilter(renderer.Get());
    TComPtr<IMediaControl> control = graph.As<IMediaControl>(IID_IMediaControl);
    TComPtr<IMediaEvent> events = graph.As<IMediaEvent>(IID_IMediaEvent);
    if (!control || !events) CheckDSResult(E_NOINTERFACE);
    CheckDSResult(control->Run());
    long code = 0;
    events->WaitForCompletion(5000, &code);
    control->Stop();
}

void PrintResult(const TUsage& early, const TUsage& end) { PrintGrowth("bench soak", early, end); }

int SoakBare(const std::string& folder, int count, int early)
{
    TUsage atEarly;
    const DWORD start = GetTickCount();
    try {
        for (int i = 0; i < count; ++i) {
            PlayBareGraph(TrackPath(folder, i));
            if (i + 1 == early) atEarly = ReadUsage();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak_play: %s\n", e.what());
        return 1;
    }
    const TUsage atEnd = ReadUsage();
    std::fprintf(stderr,
                 "soak_play: bare graphs, %d tracks in %.1f s; at %d: %lu handles, %lu gdi, %lld KiB\n",
                 count, (GetTickCount() - start) / 1000.0, early, atEarly.Handles, atEarly.GdiObjects,
                 atEarly.MemoryBytes / 1024);
    PrintResult(atEarly, atEnd);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_play FOLDER COUNT [bare]\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    const int count = std::atoi(argv[2]);
    const int early = 20;
    if (count <= early) {
        std::fprintf(stderr, "soak_play: COUNT must exceed %d\n", early);
        return 2;
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    if (argc > 3 && std::string(argv[3]) == "bare") {
        result = SoakBare(folder, count, early);
    } else {
        TApplication app;
        int errors = 0;
        app.OnException = [&](const std::exception& e) {
            ++errors;
            std::fprintf(stderr, "soak_play: %s\n", e.what());
        };
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string listDir = std::string(temp) + "reelo-soak\\";
        CreateDirectoryA(listDir.c_str(), nullptr);
        TPlayList list("Soak", listDir);
        for (int i = 0; i < count; ++i) list.AddFile(TrackPath(folder, i));
        auto controller = std::make_unique<TController>();
        controller->SetPlayList(&list);
        controller->SetContinuous(true);

        int completed = 0;
        TPlayWindow& w = controller->GetMovieWindow();
        auto original = w.OnComplete;
        w.OnComplete = [&] {
            ++completed;
            original();
        };
        TUsage atEarly, atEnd;
        bool earlyTaken = false;
        const DWORD start = GetTickCount();
        controller->PlayCurrent();
        // Read shortly after track 20 has ended (the next one loaded and
        // playing) and after the last one has ended (the list stopped).
        const DWORD limitMs = static_cast<DWORD>(count) * 5000;
        while (completed < count && GetTickCount() - start < limitMs) {
            Pump(20);
            if (!earlyTaken && completed >= early) {
                Pump(200);
                atEarly = ReadUsage();
                earlyTaken = true;
            }
        }
        Pump(200);
        atEnd = ReadUsage();
        const double seconds = (GetTickCount() - start) / 1000.0;
        std::fprintf(
            stderr,
            "soak_play: %d of %d tracks in %.1f s, %d errors; at %d: %lu handles, %lu gdi, %lld KiB\n",
            completed, count, seconds, errors, early, atEarly.Handles, atEarly.GdiObjects,
            atEarly.MemoryBytes / 1024);
        if (completed < count || errors) result = 1;
        PrintResult(atEarly, atEnd);
        controller->StopPlayback();
        w.OnComplete = original;
        controller.reset();
    }
    CoUninitialize();
    return result;
}
