// Starting Reelo.exe, timed from creating the process until its main window
// is shown and the process idle, against a bare program started the same way
// (bare_list_window.exe: a window with an owner-data list box, nothing else):
//  - with an empty list, against the bare program alone (bench startup);
//  - with a 100,000-file recent list, against the bare program loading the
//    same list file with LoadFromFile and showing it (bench show-100k);
//  - with an empty list, against plain_main_window.exe, the player's windows,
//    menus and controls made with the plain API and nothing behind them
//    (bench startup-same-windows: what start-up costs beyond what Windows
//    takes for those windows).
// The two programs take turns, so that both meet the same load; each one's
// median counts. REELO_BENCH_RUNS sets the runs of each (default 7), after
// one start of each that is not counted.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "base/UFileName.h"
#include "playlist/UPlayList.h"
#include "settings/USetting.h"

namespace {

const int Count = 100000;
const int ListId = 101;  // the file list box, in both programs

struct TFind {
    DWORD Pid;
    int Count;
    bool Found;
};

// A shown top-level window of the process whose list box holds the count.
BOOL CALLBACK FindShown(HWND hwnd, LPARAM lp)
{
    auto* f = reinterpret_cast<TFind*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->Pid || !IsWindowVisible(hwnd)) return TRUE;
    HWND list = GetDlgItem(hwnd, ListId);
    if (list && SendMessageA(list, LB_GETCOUNT, 0, 0) == f->Count) {
        f->Found = true;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CloseAll(HWND hwnd, LPARAM lp)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == static_cast<DWORD>(lp) && IsWindowVisible(hwnd) && GetDlgItem(hwnd, ListId))
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

// Milliseconds from creating the process until its list shows count entries
// and the process is idle; -1 on failure. The process is closed and waited
// for before this returns.
double StartOnce(const std::string& folder, const std::string& exe, const std::string& args, int count)
{
    std::string cmd = "\"" + folder + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const double t0 = NowMs();
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return -1;
    double shown = -1;
    WaitForInputIdle(pi.hProcess, 60000);
    for (int waited = 0; waited < 60000; waited += 1) {
        TFind f{pi.dwProcessId, count, false};
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&f));
        if (f.Found) {
            WaitForInputIdle(pi.hProcess, 60000);
            shown = NowMs() - t0;
            EnumWindows(CloseAll, pi.dwProcessId);
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;  // ended on its own
    }
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return shown;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct TStart {
    std::string Folder, Exe, Args;
    int Count;
};

// Both programs started in turn, runs times each (after a start of each
// that is not counted); prints the line and returns false on a failure.
bool Compare(const char* line, const TStart& ours, const TStart& baseline, int runs)
{
    std::vector<double> o, b;
    for (int round = -1; round < runs; ++round) {
        const double tb = StartOnce(baseline.Folder, baseline.Exe, baseline.Args, baseline.Count);
        const double to = StartOnce(ours.Folder, ours.Exe, ours.Args, ours.Count);
        if (tb < 0 || to < 0) {
            std::fprintf(stderr, "%s did not show its list\n", (tb < 0 ? baseline : ours).Exe.c_str());
            return false;
        }
        if (round < 0) continue;
        b.push_back(tb);
        o.push_back(to);
        if (std::getenv("REELO_BENCH_VERBOSE"))
            std::printf("  %s: ours %.0f ms, baseline %.0f ms\n", line, to, tb);
    }
    const double mo = Median(o), mb = Median(b);
    std::printf("bench %s: ours %.0f ms, baseline %.0f ms, ratio %.2f\n", line, mo, mb, mo / mb);
    std::fflush(stdout);
    return true;
}

bool CopyInto(const std::string& from, const std::string& to, std::initializer_list<const char*> files)
{
    for (const char* f : files) {
        if (!CopyFileA((from + f).c_str(), (to + f).c_str(), FALSE)) {
            std::fprintf(stderr, "cannot copy %s%s\n", from.c_str(), f);
            return false;
        }
    }
    return true;
}

}  // namespace

int main()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string here = FileName::ExtractFilePath(self);
    // build/win/bench/ui/ -> build/win/bin/
    const std::string bin = here + "..\\..\\bin\\";
    int runs = 7;
    if (const char* r = std::getenv("REELO_BENCH_RUNS")) runs = std::max(1, std::atoi(r));

    // One folder per program and list; the bare program beside each player.
    const std::string empty = MakeScratchFolder("startup");
    const std::string program = MakeScratchFolder("show-100k");
    bool ok = CopyInto(bin, empty, {"Reelo.exe", "TsFilter.dll"}) &&
              CopyInto(bin, program, {"Reelo.exe", "TsFilter.dll"}) &&
              CopyInto(here, empty, {"bare_list_window.exe", "plain_main_window.exe"}) &&
              CopyInto(here, program, {"bare_list_window.exe"});
    if (ok) {
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
    ok = ok && Compare("startup", {empty, "Reelo.exe", "", 0}, {empty, "bare_list_window.exe", "", 0}, runs);
    ok = ok && Compare("startup-same-windows", {empty, "Reelo.exe", "", 0},
                       {empty, "plain_main_window.exe", "", 0}, runs);
    ok = ok && Compare("show-100k", {program, "Reelo.exe", "", Count},
                       {program, "bare_list_window.exe", "\"" + program + "Big.lst\"", Count}, runs);
    RemoveScratchFolder(empty);
    RemoveScratchFolder(program);
    return ok ? 0 : 1;
}
