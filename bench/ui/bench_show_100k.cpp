// Reelo.exe started with a 100,000-file list as its recent list: the time
// from creating the process until its main window is idle with the file list
// filled, against loading the same list file with LoadFromFile in this
// process. Best of three runs each.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "BenchUtil.h"
#include "base/UFileName.h"
#include "playlist/UPlayList.h"
#include "settings/USetting.h"

namespace {

const int Count = 100000;

struct TFind {
    DWORD Pid;
    HWND Found;
};

BOOL CALLBACK FindMain(HWND hwnd, LPARAM lp)
{
    auto* f = reinterpret_cast<TFind*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == f->Pid && std::string(cls) == "TMainForm") {
        f->Found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds until the program is idle with its list showing; -1 on failure.
double ShowOnce(const std::string& program, int count)
{
    std::string cmd = "\"" + program + "Reelo.exe\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const double t0 = NowMs();
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, program.c_str(), &si, &pi))
        return -1;
    double shown = -1;
    WaitForInputIdle(pi.hProcess, 60000);
    for (int waited = 0; waited < 60000; waited += 2) {
        TFind f{pi.dwProcessId, nullptr};
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&f));
        HWND list = f.Found ? GetDlgItem(f.Found, 101) : nullptr;  // the file list box
        if (list && IsWindowVisible(f.Found) && SendMessageA(list, LB_GETCOUNT, 0, 0) == count) {
            WaitForInputIdle(pi.hProcess, 60000);
            shown = NowMs() - t0;
            PostMessageA(f.Found, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(2);
    }
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return shown;
}

}  // namespace

int main()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    // build/win/bench/ui/ -> build/win/bin/
    const std::string bin = FileName::ExtractFilePath(self) + "..\\..\\bin\\";
    const std::string program = MakeScratchFolder("show-100k");
    for (const char* f : {"Reelo.exe", "TsFilter.dll"}) {
        if (!CopyFileA((bin + f).c_str(), (program + f).c_str(), FALSE)) {
            std::fprintf(stderr, "cannot copy %s%s\n", bin.c_str(), f);
            return 1;
        }
    }
    {
        TPlayList list("Big", program);
        for (int i = 0; i < Count; ++i) {
            char path[64];
            std::snprintf(path, sizeof path, "C:\\メディア\\アルバム%03d\\曲%06d.mp3", i % 500, i);
            list.AddFile(path);
        }
        list.SaveToFile(program + "Big.lst");
        TSetting config;
        config.WriteString("\\Recent", "Big");
        config.SaveToFile(program + "config.ini");
    }

    double baseline = 1e300, ours = 1e300;
    for (int round = 0; round < 3; ++round) {
        const double t0 = NowMs();
        auto loaded = std::make_unique<TPlayList>("Big", program);
        loaded->LoadFromFile(program + "Big.lst");
        baseline = std::min(baseline, NowMs() - t0);
        if (loaded->FileCount() != Count) {
            std::fprintf(stderr, "loaded %d of %d files\n", loaded->FileCount(), Count);
            return 1;
        }
    }
    for (int round = 0; round < 3; ++round) {
        const double t = ShowOnce(program, Count);
        if (t < 0) {
            std::fprintf(stderr, "Reelo.exe did not show the list\n");
            return 1;
        }
        ours = std::min(ours, t);
    }
    if (std::getenv("REELO_BENCH_VERBOSE")) {
        // The same start with an empty list: what starting costs by itself.
        const std::string empty = MakeScratchFolder("show-empty");
        for (const char* f : {"Reelo.exe", "TsFilter.dll"})
            CopyFileA((bin + f).c_str(), (empty + f).c_str(), FALSE);
        double start = 1e300;
        for (int round = 0; round < 3; ++round) start = std::min(start, ShowOnce(empty, 0));
        std::printf("an empty list shows after %.0f ms\n", start);
        RemoveScratchFolder(empty);
    }
    RemoveScratchFolder(program);
    std::printf("bench show-100k: ours %.0f ms, baseline %.0f ms, ratio %.2f\n", ours, baseline,
                ours / baseline);
    return 0;
}
