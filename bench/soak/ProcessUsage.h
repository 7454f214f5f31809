// What a process holds, read the same way on Windows and under Wine: handles,
// GDI objects and memory. Shared by the soak benchmarks.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>

#include "playback/UDirectShow.h"

struct TUsage {
    DWORD Handles = 0;
    DWORD GdiObjects = 0;
    long long MemoryBytes = 0;
};

// Wine answers GetProcessHandleCount with 0. Its handles are small multiples
// of 4 given out lowest first, so they can be counted by asking for each.
inline DWORD CountHandlesByProbing()
{
    DWORD n = 0;
    for (ULONG_PTR h = 4; h < 0x100000; h += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++n;
    }
    return n;
}

// Wine answers GetGuiResources with 0. Its GDI handle table is the process's
// own, reachable from the PEB as on Windows (GdiSharedHandleTable, 24-byte
// entries on x64, a non-zero type byte at offset 14 for a live object).
inline DWORD CountGdiObjectsFromHandleTable()
{
#ifdef _WIN64
    PROCESS_BASIC_INFORMATION info{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info,
                                  nullptr) != 0)
        return 0;
    const BYTE* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
    const BYTE* table = peb ? *reinterpret_cast<const BYTE* const*>(peb + 0xF8) : nullptr;
    if (!table) return 0;
    DWORD n = 0;
    for (int i = 0; i < 16384; ++i)
        if (table[i * 24 + 14]) ++n;
    return n;
#else
    return 0;
#endif
}

inline TUsage ReadUsage()
{
    TUsage u;
    GetProcessHandleCount(GetCurrentProcess(), &u.Handles);
    if (u.Handles == 0) u.Handles = CountHandlesByProbing();
    u.GdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (u.GdiObjects == 0 && RunningOnWine()) u.GdiObjects = CountGdiObjectsFromHandleTable();
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m))
        u.MemoryBytes = static_cast<long long>(m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage);
    return u;
}

// Dispatches this thread's messages for ms milliseconds.
inline void Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// "<name>: handles +<n>, gdi +<n>, memory +<k> KiB", the growth from early to end.
inline void PrintGrowth(const char* name, const TUsage& early, const TUsage& end)
{
    std::printf("%s: handles %+ld, gdi %+ld, memory %+lld KiB\n", name,
                static_cast<long>(end.Handles) - static_cast<long>(early.Handles),
                static_cast<long>(end.GdiObjects) - static_cast<long>(early.GdiObjects),
                (end.MemoryBytes - early.MemoryBytes) / 1024);
    std::fflush(stdout);
}
