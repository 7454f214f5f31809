// A list of 100,000 files, each with three per-file settings, saved with
// SaveToFile and loaded into a fresh list with LoadFromFile, against reading
// and writing the same .lst bytes line by line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchUtil.h"
#include "playlist/UPlayList.h"

int main()
{
    const int count = 100000;
    const std::string folder = MakeScratchFolder("bench-lst");
    double pathBytes = 0;

    TPlayList list("一覧", folder);
    for (int i = 0; i < count; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "C:\\メディア\\アルバム%03d\\曲%06d.mp3", i % 500, i);
        list.Add(path);
        TSetting& s = list.Files(i).Setting();
        s.WriteInteger("\\Common\\MaxSample", 20000 + i % 10000);
        s.WriteInteger("\\Common\\AverageSample", 3000 + i % 1000);
        s.WriteFloat("\\Common\\BaseVolume", 0.5 + (i % 100) / 200.0);
        pathBytes += list.Files(i).Path().size();
    }
    const std::string file = list.FileName();
    const std::string copy = folder + "copy.lst";

    double best = 1e300, baseline = 1e300, perEntry = 0;
    for (int round = 0; round < 5; ++round) {
        const double t0 = NowMs();
        list.SaveToFile(file);
        const size_t before = PrivateBytes();
        const double t1 = NowMs();
        auto loaded = std::make_unique<TPlayList>("一覧", folder);
        loaded->LoadFromFile(file);
        const double t2 = NowMs();
        const size_t after = PrivateBytes();
        if (loaded->FileCount() != count) {
            std::fprintf(stderr, "loaded %d of %d files\n", loaded->FileCount(), count);
            return 1;
        }
        best = std::min(best, (t1 - t0) + (t2 - t1));
        if (std::getenv("REELO_BENCH_VERBOSE")) {
            const double s0 = NowMs();
            list.Setting().SaveToFile(copy);
            const double s1 = NowMs();
            {
                TSetting plain;
                plain.LoadFromFile(file);
            }
            const double s2 = NowMs();
            std::printf("save %.0f ms, load %.0f ms; the store alone: save %.0f ms, load+free %.0f ms\n",
                        t1 - t0, t2 - t1, s1 - s0, s2 - s1);
        }
        if (round == 0)
            perEntry = (static_cast<double>(after) - static_cast<double>(before)) / count - pathBytes / count;
        loaded.reset();

        // Baseline: the same bytes, line by line.
        const double b0 = NowMs();
        FILE* in = std::fopen(file.c_str(), "rb");
        FILE* out = std::fopen(copy.c_str(), "wb");
        if (!in || !out) return 1;
        char line[4096];
        while (std::fgets(line, sizeof line, in)) std::fputs(line, out);
        std::fclose(in);
        std::fclose(out);
        baseline = std::min(baseline, NowMs() - b0);
    }
    RemoveScratchFolder(folder);

    std::printf(
        "bench playlist-100k: ours %.0f ms, baseline %.0f ms, ratio %.2f, memory %.0f bytes per entry\n",
        best, baseline, best / baseline, perEntry);
    return 0;
}
