// Timing, memory and a scratch folder for the play list benchmarks.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#endif

inline double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The process's private memory in bytes.
inline size_t PrivateBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                              sizeof pmc))
        return 0;
    // Wine leaves PrivateUsage at 0 and reports the committed private
    // memory as PagefileUsage (the same figure on Windows).
    return pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
#else
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 8, "RssAnon:") == 0)
            return static_cast<size_t>(std::strtoull(line.c_str() + 8, nullptr, 10)) * 1024;
    }
    return 0;
#endif
}

// A new folder for the benchmark's files, ending with the delimiter.
inline std::string MakeScratchFolder(const char* tag)
{
#ifdef _WIN32
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string path = std::string(tmp) + "reelo-" + tag + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path.c_str(), nullptr);
    return path + "\\";
#else
    std::string tmpl = std::string("/tmp/reelo-") + tag + "-XXXXXX";
    return std::string(mkdtemp(&tmpl[0])) + "/";
#endif
}

// A folder of that name in the temporary folder, kept between runs.
inline std::string FixedScratchFolder(const char* tag)
{
#ifdef _WIN32
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string path = std::string(tmp) + "reelo-" + tag;
    CreateDirectoryA(path.c_str(), nullptr);
    return path + "\\";
#else
    std::string path = std::string("/tmp/reelo-") + tag;
    mkdir(path.c_str(), 0755);
    return path + "/";
#endif
}

// Removes every file directly in the folder, then the folder.
inline void RemoveScratchFolder(const std::string& folder)
{
#ifdef _WIN32
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + d.cFileName).c_str());
        } while (FindNextFileA(h, &d));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
#else
    std::string cmd = "rm -rf '" + folder + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", folder.c_str());
#endif
}
