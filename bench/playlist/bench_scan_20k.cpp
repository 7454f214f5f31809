// A real folder of 20,000 files against a list of 20,000 entries of that
// folder, half of which are on disk: the scan offers 10,000 new files and
// 10,000 gone entries, and the result is applied. Baseline: listing the
// folder alone with the same API.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "BenchUtil.h"
#include "base/UFileSystem.h"
#include "playlist/UFolderScan.h"
#include "playlist/UPlayList.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

void MakeFile(const std::string& path)
{
#ifdef _WIN32
    // POSIX semantics: Wine then looks for the exact name only instead of
    // reading the whole folder for every new file.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_POSIX_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) close(fd);
#endif
}

// The plain listing: every entry of the folder, sub-folders skipped.
size_t ListOnly(const std::string& folder)
{
    size_t n = 0;
#ifdef _WIN32
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileExA((folder + "*.*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(h, &data));
    FindClose(h);
#else
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_type != DT_DIR) ++n;
        closedir(d);
    }
#endif
    return n;
}

char Name(char* buf, size_t size, const char* stem, int i)
{
    std::snprintf(buf, size, "%s%05d.avi", stem, i);
    return 0;
}

}  // namespace

int main()
{
    const int files = 20000;
    // The folder of 20,000 files stays in the temporary folder for the next
    // run: making it costs Wine more than a minute (every new file makes
    // Wine read the growing folder again).
    const std::string root = FixedScratchFolder("bench-scan-20k");
#ifdef _WIN32
    const std::string folder = root;  // the registered folder
#else
    // The play list sees "\" paths; the native layer turns them into "/".
    const std::string folder = root.substr(0, root.size() - 1) + "\\";
#endif
    char name[64];
    const double c0 = NowMs();
    if (ListOnly(root) != static_cast<size_t>(files)) {
        for (int i = 0; i < files; ++i) {
            Name(name, sizeof name, "動画", i);
            MakeFile(root + name);
        }
    }

    if (NowMs() - c0 > 1000)
        std::printf("made the folder of %d files in %.0f ms (kept for the next run)\n", files, NowMs() - c0);
    const std::string lists = MakeScratchFolder("bench-scan-lst");
    const std::string lst = lists + "list.lst";
    {
        TPlayList source("元", lists);
        source.AddDirectory(folder);
        for (int i = 0; i < files / 2; ++i) {
            Name(name, sizeof name, "動画", i);
            source.AddFile(folder + name);
            Name(name, sizeof name, "消去", i);
            source.AddFile(folder + name);
        }
        source.SaveToFile(lst);
    }

    double best = 1e300, baseline = 1e300;
    for (int round = 0; round < 3; ++round) {
        // The list: the first half of the folder's files and as many
        // entries of the same folder that are not on disk, read from a .lst
        // file (adding them one by one would look at the disk for each).
        auto list = std::make_unique<TPlayList>("検索", lists);
        list->LoadFromFile(lst);
        int notified = 0;
        list->OnChange = [&](TPlayList&, int, int, int) { ++notified; };

        const double b0 = NowMs();
        const size_t listed = ListOnly(root);
        baseline = std::min(baseline, NowMs() - b0);

        const double t0 = NowMs();
        TScanResult result;
        ScanFolder(*list, 0, result);
        const size_t offered = result.AddList.size(), gone = result.DeleteList.size();
        ApplyScanResult(*list, result);
        const double t2 = NowMs();
        best = std::min(best, t2 - t0);

        if (listed != static_cast<size_t>(files) || offered != static_cast<size_t>(files / 2) ||
            gone != static_cast<size_t>(files / 2) || list->FileCount() != files || notified != files) {
            std::fprintf(stderr, "unexpected: listed %zu, offered %zu, gone %zu, entries %d, notified %d\n",
                         listed, offered, gone, list->FileCount(), notified);
            return 1;
        }
    }

    RemoveScratchFolder(lists);
    std::printf("bench scan-20k: ours %.0f ms, baseline %.0f ms, ratio %.2f\n", best, baseline,
                best / baseline);
    return 0;
}
