// Helpers of the Windows media tests: COM set-up, the generated test media
// and a message pump that waits for a condition.
#pragma once

#include <windows.h>
#include <objbase.h>

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
