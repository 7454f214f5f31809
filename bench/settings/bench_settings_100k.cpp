// A store shaped like a play list of 100,000 files ("\Files\" i with a "Path"
// string and two integers under "Common"): save it, load it into a fresh
// store, and compare with writing and reading the same bytes line by line
// without a store. Also reports the heap a play list of that size costs per
// file (the list's store plus one store per file), where the C library can
// tell.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "settings/USetting.h"

#if defined(_WIN32)
#include <cstdlib>
#include <new>
static std::size_t gHeapInUse = 0;
void* operator new(std::size_t n)
{
    void* p = std::malloc(n + 16);
    if (!p) throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = n;
    gHeapInUse += n + 16;
    return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept
{
    if (!p) return;
    char* block = static_cast<char*>(p) - 16;
    gHeapInUse -= *reinterpret_cast<std::size_t*>(block) + 16;
    std::free(block);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
#endif

namespace {

constexpr int FileCount = 100000;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

std::string PathOf(int i)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "C:\\Media\\Folder %03d\\clip-%06d.avi", i % 500, i);
    return buf;
}

void FillPlayListShape(TSetting& s)
{
    s.WriteInteger("\\Files\\Count", FileCount);
    for (int i = 1; i <= FileCount; ++i) {
        const std::string key = "\\Files\\" + std::to_string(i);
        s.WriteString(key + "\\Path", PathOf(i));
        s.WriteInteger(key + "\\Common\\MaxSample", 20000 + i % 12000);
        s.WriteInteger(key + "\\Common\\AverageSample", 1000 + i % 3000);
    }
}

bool Commit(std::FILE* f)
{
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

// Writes the lines (each with CR LF) and reads them back line by line.
double Baseline(const std::vector<std::string>& lines, const std::string& fileName, bool commit)
{
    const auto t0 = Clock::now();
    std::FILE* out = std::fopen(fileName.c_str(), "wb");
    if (!out) return -1;
    for (const auto& line : lines) {
        std::fwrite(line.data(), 1, line.size(), out);
        std::fwrite("\r\n", 1, 2, out);
    }
    std::fflush(out);
    if (commit) Commit(out);
    std::fclose(out);
    std::FILE* in = std::fopen(fileName.c_str(), "rb");
    if (!in) return -1;
    std::vector<std::string> back;
    std::string line;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, in)) {
        line += buf;
        if (!line.empty() && line.back() == '\n') {
            back.push_back(line);
            line.clear();
        }
    }
    std::fclose(in);
    const double ms = MsSince(t0);
    return back.size() == lines.size() ? ms : -1;
}

std::vector<std::string> SplitLines(const std::string& fileName)
{
    std::vector<std::string> lines;
    std::FILE* in = std::fopen(fileName.c_str(), "rb");
    if (!in) return lines;
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) data.append(buf, n);
    std::fclose(in);
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::size_t end = data.find("\r\n", pos);
        lines.push_back(data.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

#if defined(__GLIBC__)
#define REELO_MEASURE_HEAP 1
std::size_t HeapInUse() { return mallinfo2().uordblks; }
#elif defined(_WIN32)
#define REELO_MEASURE_HEAP 1
// The C runtime gives no heap total here: count what operator new hands out
// (requested bytes plus a 16-byte block header per allocation, about what
// the Windows heap adds).
std::size_t HeapInUse() { return gHeapInUse; }
#endif

#ifdef REELO_MEASURE_HEAP

void ReportMemory()
{
    const std::size_t before = HeapInUse();
    {
        auto list = std::make_unique<TSetting>();
        std::vector<std::unique_ptr<TSetting>> files;
        files.reserve(FileCount);
        for (int i = 1; i <= FileCount; ++i) {
            auto file = std::make_unique<TSetting>();
            file->WriteString("\\Path", PathOf(i));
            file->WriteInteger("\\Common\\MaxSample", 20000 + i % 12000);
            file->WriteInteger("\\Common\\AverageSample", 1000 + i % 3000);
            files.push_back(std::move(file));
        }
        const std::size_t filesOnly = HeapInUse() - before;
        list->WriteInteger("\\Files\\Count", FileCount);
        for (int i = 1; i <= FileCount; ++i)
            list->CopyKey(*files[i - 1], "\\", "\\Files\\" + std::to_string(i));
        const std::size_t total = HeapInUse() - before;
        std::printf("memory: %.0f bytes per file (file stores %.0f, list store %.0f), sizeof(TSetting) %zu\n",
                    double(total) / FileCount, double(filesOnly) / FileCount,
                    double(total - filesOnly) / FileCount, sizeof(TSetting));
    }
}
#endif

}  // namespace

int main()
{
    const std::string dir = std::filesystem::temp_directory_path().string() + "/";
    const std::string file = dir + "bench_settings_100k.ini";
    const std::string plain = dir + "bench_settings_100k.txt";
    TSetting source;
    FillPlayListShape(source);

    auto t0 = Clock::now();
    source.SaveToFile(file);
    const double saveMs = MsSince(t0);
    t0 = Clock::now();
    TSetting loaded;
    loaded.LoadFromFile(file);
    const double loadMs = MsSince(t0);
    if (loaded.ReadString("\\Files\\" + std::to_string(FileCount) + "\\Path", "") != PathOf(FileCount)) {
        std::printf("bench settings-100k: FAILED (store does not read back)\n");
        return 1;
    }

    const std::vector<std::string> lines = SplitLines(file);
    double base = Baseline(lines, plain, true);
    const double baseNoCommit = Baseline(lines, plain, false);
    base = std::min(base, Baseline(lines, plain, true));
    std::remove(file.c_str());
    std::remove(plain.c_str());
    if (base <= 0) {
        std::printf("bench settings-100k: FAILED (baseline)\n");
        return 1;
    }
#ifdef REELO_MEASURE_HEAP
    ReportMemory();
#endif
    const double ours = saveMs + loadMs;
    std::printf("save %.1f ms, load %.1f ms, %zu lines; baseline without forcing to disk %.1f ms\n", saveMs,
                loadMs, lines.size(), baseNoCommit);
    std::printf("bench settings-100k: ours %.1f ms, baseline %.1f ms, ratio %.2f\n", ours, base, ours / base);
    return 0;
}
