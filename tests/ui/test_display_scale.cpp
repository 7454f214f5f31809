// The main window and every dialog on a display of 96 and of 144 DPI. The
// DPI is the user's setting a process reads when it starts, so the test runs
// itself twice as a child process that makes the real windows and writes
// their sizes to a file; the parent compares the two runs. The child at 96
// DPI also moves its main window to 144 DPI (WM_DPICHANGED) and reports the
// file list placed again, which must match the one made at 144 DPI.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "playlist/UPlayList.h"
#include "settings/USetting.h"
#include "tests/ui/MainFormFixture.h"
#include "ui/UAnalysisProgressDlg.h"
#include "ui/UAutoAdjustDlg.h"
#include "ui/UEnvConfigDialog.h"
#include "ui/UMainFormView.h"
#include "ui/UPlayConfigDlg.h"
#include "ui/UScanResultDlg.h"
#include "win/UDpi.h"

namespace {

const char ReportVariable[] = "REELO_DISPLAY_SCALE_REPORT";
const char DesktopKey[] = "Control Panel\\Desktop";

// Lines of a name and its numbers.
using TReport = std::map<std::string, std::vector<int>>;

TReport ReadReport(const std::string& file)
{
    TReport report;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        for (int v; fields >> v;) report[name].push_back(v);
    }
    return report;
}

// The user's DPI setting, put back as it was.
struct TLogPixelsGuard {
    DWORD Saved = 0, Size = sizeof(Saved);
    const bool Had = RegGetValueA(HKEY_CURRENT_USER, DesktopKey, "LogPixels", RRF_RT_REG_DWORD, nullptr,
                                  &Saved, &Size) == ERROR_SUCCESS;
    ~TLogPixelsGuard()
    {
        Had ? Set(Saved) : (void)RegDeleteKeyValueA(HKEY_CURRENT_USER, DesktopKey, "LogPixels");
    }
    void Set(DWORD dpi)
    {
        RegSetKeyValueA(HKEY_CURRENT_USER, DesktopKey, "LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    }
};

// This program again with only the measuring test, writing to report.
bool RunChild(const std::string& report)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string("\"") + self + "\" --gtest_filter=DisplayScaleChild.*";
    SetEnvironmentVariableA(ReportVariable, report.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const BOOL started =
        CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA(ReportVariable, nullptr);
    if (!started) return false;
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 90000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

struct DisplayScaleChild : MainFormFixture {};

}  // namespace

TEST_F(DisplayScaleChild, MeasureTheWindows)
{
    const char* reportFile = std::getenv(ReportVariable);
    if (!reportFile) GTEST_SKIP() << "run by DisplayScale";
    // As Reelo.exe is by its manifest.
    using TSetContext = BOOL(WINAPI*)(HANDLE);
    if (auto setContext = reinterpret_cast<TSetContext>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext"))))
        setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)));
    std::ofstream out(reportFile);
    auto size = [&out](const char* name, HWND wnd) {
        RECT r;
        GetWindowRect(wnd, &r);
        out << name << ' ' << r.right - r.left << ' ' << r.bottom - r.top << '\n';
    };
    auto files = [&out](const char* name, HWND main) {
        HWND list = GetDlgItem(main, idFileListBox);
        RECT r;
        GetWindowRect(list, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)), sizeof(font), &font);
        RECT client;
        GetClientRect(main, &client);
        // Its place, the room left under it, and its font's height.
        out << name << ' ' << r.left << ' ' << r.top << ' ' << r.right - r.left << ' '
            << client.bottom - r.bottom << ' ' << std::abs(font.lfHeight) << '\n';
    };
    out << "dpi " << SystemDpi() << '\n';
    Create();
    size("main", form->Handle());
    files("files", form->Handle());
    TSetting level;
    TPlayList list("dpi", program);
    auto dialog = [&](const char* name, auto make) { size(name, make()->Handle()); };
    dialog("playconfig", [&] { return std::make_unique<TPlayConfigDlg>(nullptr, level); });
    dialog("envconfig",
           [&] { return std::make_unique<TEnvConfigDialog>(nullptr, level, "", program, program); });
    dialog("scanresult", [] { return std::make_unique<TScanResultDlg>(); });
    dialog("autoadjust", [&] { return std::make_unique<TAutoAdjustDlg>(nullptr, list); });
    dialog("progress", [] { return std::make_unique<TAnalysisProgressDlg>(); });
    // Moved onto a monitor of half as much again: Windows suggests the
    // client area scaled with the frame for the new DPI around it; the form
    // places its controls and changes their font.
    RECT r, client;
    GetWindowRect(form->Handle(), &r);
    GetClientRect(form->Handle(), &client);
    const UINT dpi = SystemDpi() * 3 / 2;
    RECT suggested = {0, 0, client.right * 3 / 2, client.bottom * 3 / 2};
    AdjustWindowRectForDpi(suggested, static_cast<DWORD>(GetWindowLongPtrA(form->Handle(), GWL_STYLE)), true,
                           static_cast<DWORD>(GetWindowLongPtrA(form->Handle(), GWL_EXSTYLE)), dpi);
    OffsetRect(&suggested, r.left - suggested.left, r.top - suggested.top);
    SendMessageA(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    files("moved", form->Handle());
    EXPECT_TRUE(errors.empty());
}

TEST(DisplayScale, MainWindowAndDialogsAreHalfAsLargeAgainAt144Dpi)
{
    TTempDir dir("reelo-dpi");
    {
        TLogPixelsGuard guard;
        guard.Set(96);
        ASSERT_TRUE(RunChild(dir.Path() + "96.txt"));
        guard.Set(144);
        ASSERT_TRUE(RunChild(dir.Path() + "144.txt"));
    }
    TReport at96 = ReadReport(dir.Path() + "96.txt"), at144 = ReadReport(dir.Path() + "144.txt");
    ASSERT_EQ(std::vector<int>{96}, at96["dpi"]);
    ASSERT_EQ(std::vector<int>{144}, at144["dpi"]);
    for (const char* name : {"main", "playconfig", "envconfig", "scanresult", "autoadjust", "progress"}) {
        ASSERT_TRUE(at96[name].size() == 2 && at144[name].size() == 2) << name;
        for (int i = 0; i < 2; ++i)
            EXPECT_NEAR(1.5, static_cast<double>(at144[name][i]) / at96[name][i], 0.075)
                << name << (i ? " height " : " width ") << at96[name][i] << " -> " << at144[name][i];
    }
    // The file list: made at 144 DPI, or made at 96 and moved there, it has
    // the same place and font. (Wine draws a window's frame and menu bar at
    // the process's DPI, so the moved window's client area is taller: the
    // list's height is not compared, the room under it is.)
    ASSERT_TRUE(at144["files"].size() == 5 && at96["moved"].size() == 5);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(at144["files"][i], at96["moved"][i], 2) << i;
    EXPECT_EQ(at144["files"][4], at96["moved"][4]);
    EXPECT_NEAR(1.5, static_cast<double>(at144["files"][4]) / at96["files"][4], 0.15);
}
