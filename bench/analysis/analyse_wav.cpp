// Analyses one file with TAudioAnalyser RUNS times (default 1) and prints the
// shortest time from open to completion in seconds, then the measured levels
// and loudness (hundredths of LU, or "none"):
// "<seconds> <max> <average> <loudness>".
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <optional>
#include <string>

#include "analysis/UAudioAnalyser.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: analyse_wav FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? _wtoi(argv[2]) : 1;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 1;
    {
        TAudioAnalyser analyser;
        analyser.SetShowProgress(false);
        bool finished = false, analysed = false;
        analyser.OnAnalysed = [&](TAudioAnalyser&) { analysed = true; };
        analyser.OnFinished = [&](TAudioAnalyser&) { finished = true; };
        double best = 1e30;
        for (int run = 0; run < runs; ++run) {
            finished = analysed = false;
            LARGE_INTEGER f, t0, t1;
            QueryPerformanceFrequency(&f);
            QueryPerformanceCounter(&t0);
            if (!analyser.OpenForAnalysis(argv[1])) break;
            analyser.StartAnalysis();
            MSG msg;
            while (!finished && GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            QueryPerformanceCounter(&t1);
            if (!analysed) break;
            double seconds = double(t1.QuadPart - t0.QuadPart) / f.QuadPart;
            if (seconds < best) best = seconds;
        }
        if (analysed) {
            const std::optional<int> loudness = analyser.GetLoudness();
            std::printf("%.3f %d %d %s\n", best, analyser.GetMaxSample(), analyser.GetAverageSample(),
                        loudness ? std::to_string(*loudness).c_str() : "none");
            rc = 0;
        }
    }
    CoUninitialize();
    return rc;
}
