// Helpers of the Windows media tests: COM set-up, the generated test media,
// a message pump that waits for a condition, and a watchdog that ends a test
// program whose test case hangs.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

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
// ends the program with exit code 3 after naming the case on stderr. A hang
// in a media graph would otherwise last until ctest's timeout kills the
// program, losing the output that says where it hung.
class TTestWatchdog : public ::testing::EmptyTestEventListener {
public:
    TTestWatchdog()
    {
        const char* limit = std::getenv("REELO_TEST_CASE_SECONDS");
        LimitMs = (limit && std::atoi(limit) > 0 ? static_cast<DWORD>(std::atoi(limit)) : 90) * 1000;
        InitializeCriticalSection(&Lock);
        // Never stopped: the process ends it. The listener outlives main.
        if (HANDLE t = CreateThread(nullptr, 0, &TTestWatchdog::Watch, this, 0, nullptr)) CloseHandle(t);
    }
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        EnterCriticalSection(&Lock);
        Name = std::string(info.test_suite_name()) + "." + info.name();
        Started = GetTickCount();
        Running = true;
        LeaveCriticalSection(&Lock);
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EnterCriticalSection(&Lock);
        Running = false;
        LeaveCriticalSection(&Lock);
    }

private:
    static DWORD WINAPI Watch(void* param)
    {
        auto* self = static_cast<TTestWatchdog*>(param);
        for (;;) {
            Sleep(1000);
            EnterCriticalSection(&self->Lock);
            const bool hung = self->Running && GetTickCount() - self->Started > self->LimitMs;
            const std::string name = self->Name;
            LeaveCriticalSection(&self->Lock);
            if (!hung) continue;
            std::fflush(stdout);
            std::fprintf(stderr, "[  HUNG    ] %s: no end after %lu s\n", name.c_str(),
                         static_cast<unsigned long>(self->LimitMs / 1000));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }

    CRITICAL_SECTION Lock;
    std::string Name;
    DWORD Started = 0;
    DWORD LimitMs = 0;
    bool Running = false;
};

inline const bool TestWatchdogInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TTestWatchdog);
    return true;
}();
