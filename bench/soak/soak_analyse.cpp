// bench analysis-soak: one level analyser measures a folder of short files
// one after another, as the auto-adjust dialog does; the process's handles,
// GDI objects and memory are read when file 20 and the last file have been
// measured. Growth between the two beyond a small constant is a leak.
//   soak_analyse.exe FOLDER COUNT
// FOLDER holds track-000.wav, track-001.avi, ... (even: .wav, odd: .avi).
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/UAudioAnalyser.h"
#include "bench/soak/ProcessUsage.h"

namespace {

std::wstring TrackPath(const std::wstring& folder, int index)
{
    std::wstring number = std::to_wstring(index);
    number.insert(0, 3 - std::min<size_t>(number.size(), 3), L'0');
    return folder + L"track-" + number + (index % 2 ? L".avi" : L".wav");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_analyse FOLDER COUNT\n");
        return 2;
    }
    std::wstring folder = argv[1];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    const int count = _wtoi(argv[2]);
    const int early = 20;
    if (count <= early) {
        std::fprintf(stderr, "soak_analyse: COUNT must exceed %d\n", early);
        return 2;
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int measured = 0, failed = 0;
    TUsage atEarly, atEnd;
    const DWORD start = GetTickCount();
    try {
        TAudioAnalyser analyser;
        analyser.SetShowProgress(false);
        bool finished = false;
        analyser.OnAnalysed = [&](TAudioAnalyser&) { ++measured; };
        analyser.OnFinished = [&](TAudioAnalyser&) { finished = true; };
        for (int i = 0; i < count; ++i) {
            finished = false;
            if (analyser.OpenForAnalysis(TrackPath(folder, i))) {
                analyser.StartAnalysis();
                const DWORD fileStart = GetTickCount();
                while (!finished && GetTickCount() - fileStart < 10000) Pump(5);
                if (!finished) analyser.StopAnalysis();
            } else {
                ++failed;
            }
            if (i + 1 == early) {
                Pump(200);
                atEarly = ReadUsage();
            }
        }
        Pump(200);
        atEnd = ReadUsage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak_analyse: %s\n", e.what());
        CoUninitialize();
        return 1;
    }
    std::fprintf(stderr,
                 "soak_analyse: %d of %d files measured in %.1f s, %d not opened; at %d: %lu handles, "
                 "%lu gdi, %lld KiB\n",
                 measured, count, (GetTickCount() - start) / 1000.0, failed, early, atEarly.Handles,
                 atEarly.GdiObjects, atEarly.MemoryBytes / 1024);
    PrintGrowth("bench analysis-soak", atEarly, atEnd);
    CoUninitialize();
    return measured == count ? 0 : 1;
}
