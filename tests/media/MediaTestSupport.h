// Helpers of the Windows media tests: COM set-up, the generated test media,
// a message pump that waits for a condition, and a watchdog that ends a test
// program whose test case hangs.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The test media folder as a Windows path (the build tree seen through Z:).
inline std::wstring TestMediaPath(const std::wstring& name)
{
    const char* bin = std::getenv("REELO_BINARY_DIR");
    std::string unixDir = std::string(bin ? bin : "") + "/test-media/";
    std::wstring path = L"Z:";
    for (char c : unixDir) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path + name;
}

struct TWavLevels {
    int Max = 0;
    int Average = 0;
};

// Writes a PCM WAV file of the samples, given as signed values of their width
// (8-bit ones too, stored + 128), and returns the levels the analyser must
// find in it.
inline TWavLevels WriteTestWav(const std::wstring& path, int channels, int bits, int rate,
                               const std::vector<int>& samples)
{
    const int bytes = bits / 8;
    std::vector<std::uint8_t> data;
    for (int s : samples) {
        if (bytes == 1)
            data.push_back(static_cast<std::uint8_t>(s + 128));
        else
            for (int i = 0; i < bytes; ++i) data.push_back(static_cast<std::uint8_t>((s >> (8 * i)) & 0xFF));
    }
    auto le = [](std::vector<std::uint8_t>& v, std::uint32_t x, int n) {
        for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    };
    std::vector<std::uint8_t> f = {'R', 'I', 'F', 'F'};
    le(f, static_cast<std::uint32_t>(36 + data.size()), 4);
    for (char c : std::string("WAVEfmt ")) f.push_back(static_cast<std::uint8_t>(c));
    le(f, 16, 4);
    le(f, 1, 2);
    le(f, channels, 2);
    le(f, rate, 4);
    le(f, rate * channels * bytes, 4);
    le(f, channels * bytes, 2);
    le(f, bits, 2);
    for (char c : std::string("data")) f.push_back(static_cast<std::uint8_t>(c));
    le(f, static_cast<std::uint32_t>(data.size()), 4);
    f.insert(f.end(), data.begin(), data.end());
    FILE* out = _wfopen(path.c_str(), L"wb");
    EXPECT_NE(nullptr, out);
    if (out) {
        fwrite(f.data(), 1, f.size(), out);
        fclose(out);
    }

    // What the analyser must find: each sample on the 16-bit scale, frames
    // down-mixed with truncating division, peak and mean of the magnitudes.
    TWavLevels e;
    long long sum = 0, count = 0;
    for (size_t i = 0; i + channels <= samples.size(); i += channels) {
        long long total = 0;
        for (int c = 0; c < channels; ++c) {
            int s = samples[i + c];
            total += bytes == 1 ? s * 256 : bytes == 3 ? (s >> 8) : s;
        }
        long long v = (total + channels / 2) / channels;
        long long a = v < 0 ? -v : v;
        if (a > e.Max) e.Max = static_cast<int>(a);
        sum += a;
        ++count;
    }
    if (count > 0) e.Average = static_cast<int>(std::nearbyint(static_cast<double>(sum) / count));
    return e;
}

// Dispatches messages until done() holds or timeoutMs passes; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// One single-threaded apartment for the whole test program.
class TComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

// A test case that runs longer than REELO_TEST_CASE_SECONDS (90 by default)
// names the case on stderr and terminates the program (exit code 3; Wine
// reports the termination from another thread as a crash instead). A hang
// in a media graph would otherwise last until ctest's timeout kills the
// program, losing the output that says where it hung.
class TTestWatchdog : public ::testing::EmptyTestEventListener {
public:
    TTestWatchdog() : State(new TState)
    {
        const char* limit = std::getenv("REELO_TEST_CASE_SECONDS");
        State->LimitMs = (limit && std::atoi(limit) > 0 ? static_cast<DWORD>(std::atoi(limit)) : 90) * 1000;
        InitializeCriticalSection(&State->Lock);
        if (HANDLE t = CreateThread(nullptr, 0, &TTestWatchdog::Watch, State, 0, nullptr)) CloseHandle(t);
    }
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        EnterCriticalSection(&State->Lock);
        State->Name = std::string(info.test_suite_name()) + "." + info.name();
        State->Started = GetTickCount();
        State->Running = true;
        LeaveCriticalSection(&State->Lock);
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EnterCriticalSection(&State->Lock);
        State->Running = false;
        LeaveCriticalSection(&State->Lock);
    }

private:
    // What the watching thread reads. Never freed: the thread runs until the
    // process ends, after gtest has deleted its listeners at exit.
    struct TState {
        CRITICAL_SECTION Lock;
        std::string Name;
        DWORD Started = 0;
        DWORD LimitMs = 0;
        bool Running = false;
    };

    static DWORD WINAPI Watch(void* param)
    {
        auto* state = static_cast<TState*>(param);
        for (;;) {
            Sleep(1000);
            EnterCriticalSection(&state->Lock);
            const bool hung = state->Running && GetTickCount() - state->Started > state->LimitMs;
            const std::string name = hung ? state->Name : std::string();
            LeaveCriticalSection(&state->Lock);
            if (!hung) continue;
            std::fflush(stdout);
            std::fprintf(stderr, "[  HUNG    ] %s: no end after %lu s\n", name.c_str(),
                         static_cast<unsigned long>(state->LimitMs / 1000));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }

    TState* State;
};

// Replaces one method of a COM interface, for every object of the class
// behind it (its vtable is patched), until destroyed. Original holds the
// method replaced.
class TVtablePatch {
public:
    TVtablePatch(void* object, int slot, void* replacement)
        : Slot(&(*static_cast<void***>(object))[slot]), Original(*Slot)
    {
        Write(replacement);
    }
    ~TVtablePatch() { Write(Original); }
    TVtablePatch(const TVtablePatch&) = delete;
    TVtablePatch& operator=(const TVtablePatch&) = delete;

private:
    void Write(void* to)
    {
        DWORD old = 0;
        VirtualProtect(Slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &old);
        *Slot = to;
        VirtualProtect(Slot, sizeof(void*), old, &old);
    }
    void** Slot;

public:
    void* const Original;
};

// Windows of ours (class names "T...") that still exist in this process,
// top-level and message-only. Each owner of a graph (movie window,
// controller, analyser) has one, so none may be left once every test has
// released what it made.
inline std::vector<std::string> LeftoverWindows()
{
    struct TFound {
        std::vector<std::string> Names;
        static void Check(HWND hwnd, TFound& found)
        {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            char name[256] = {};
            if (pid == GetCurrentProcessId() && GetClassNameA(hwnd, name, sizeof name) && name[0] == 'T')
                found.Names.push_back(name);
        }
    } found;
    EnumWindows(
        [](HWND hwnd, LPARAM p) {
            TFound::Check(hwnd, *reinterpret_cast<TFound*>(p));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    for (HWND h = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr))
        TFound::Check(h, found);
    return found.Names;
}

// Ends the program as soon as every result is printed, skipping the
// unloading of the system's DLLs. Under Wine the media framework's own
// threads (of graphs Wine never releases) sometimes crashed the process while
// it unloaded, after every test had passed. So that this cannot hide a fault
// of ours, the end first checks that nothing of ours is left: a window (and
// with it a graph) still there fails the program.
class TQuickExit : public ::testing::EmptyTestEventListener {
public:
    void OnTestProgramEnd(const ::testing::UnitTest& unit) override
    {
        const std::vector<std::string> left = LeftoverWindows();
        for (const std::string& name : left)
            std::fprintf(stderr, "[  LEFT    ] a window of class %s\n", name.c_str());
        std::fflush(stdout);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), unit.Passed() && left.empty() ? 0 : 1);
    }
};

inline const bool TestWatchdogInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TTestWatchdog);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TQuickExit);
    return true;
}();
