// The controller moves through a list of files again and again, as a person
// pressing Next would: each file plays for HOLD_MS milliseconds before the
// next one is started (0: each plays to its end and the next follows by
// itself). Prints how many files were started and how many of them had
// sound; a crash inside the system's DirectShow while the next file starts
// shows as the process dying early.
//   soak_switch.exe STARTS HOLD_MS FILE...
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/soak/ProcessUsage.h"
#include "playback/UController.h"
#include "playlist/UPlayList.h"
#include "win/UApplication.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: soak_switch STARTS HOLD_MS FILE...\n");
        return 2;
    }
    const int starts = std::atoi(argv[1]);
    const DWORD holdMs = static_cast<DWORD>(std::atoi(argv[2]));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        TApplication app;
        int errors = 0;
        app.OnException = [&](const std::exception& e) {
            ++errors;
            std::fprintf(stderr, "soak_switch: %s\n", e.what());
        };
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string listDir = std::string(temp) + "reelo-switch\\";
        CreateDirectoryA(listDir.c_str(), nullptr);
        TPlayList list("Switch", listDir);
        for (int i = 3; i < argc; ++i) list.AddFile(argv[i]);
        auto controller = std::make_unique<TController>();
        controller->SetPlayList(&list);
        controller->SetContinuous(true);
        controller->SetRepeat(true);

        int started = 1, withSound = 0;
        TPlayWindow& w = controller->GetMovieWindow();
        auto original = w.OnComplete;
        w.OnComplete = [&] {
            ++started;
            original();
            if (w.GetHasAudio()) ++withSound;
        };
        const DWORD start = GetTickCount();
        controller->PlayCurrent();
        if (w.GetHasAudio()) ++withSound;
        while (started < starts && GetTickCount() - start < static_cast<DWORD>(starts) * 10000) {
            if (holdMs == 0) {
                Pump(20);
                continue;
            }
            Pump(holdMs);
            if (controller->SelectNext() < 0) controller->SelectFirst();
            ++started;
            try {
                controller->PlayCurrent(true);
                if (w.GetHasAudio()) ++withSound;
            } catch (const std::exception& e) {
                ++errors;
                std::fprintf(stderr, "soak_switch: %s\n", e.what());
            }
        }
        Pump(200);
        std::printf("soak_switch: %d files started in %.1f s, %d with sound, %d errors\n", started,
                    (GetTickCount() - start) / 1000.0, withSound, errors);
        std::fflush(stdout);
        if (errors) result = 1;
        controller->StopPlayback();
        w.OnComplete = original;
        controller.reset();
    }
    CoUninitialize();
    return result;
}
