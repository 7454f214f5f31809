// Loads arbitrary bytes as a play list file. Every input must either load or
// end in the list's error for a file it cannot read, with the file's bytes
// kept aside and the list empty; nothing else may escape. A loaded list,
// saved and loaded into a fresh list, must give the same entries: paths in
// order, each entry's settings, folders with their excluded sets; and the
// list's own store must come out of both saves the same. No list may hold
// more entries than its file has lines, nor cost memory beyond a bound
// proportional to the file's size.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "fuzz/FuzzCheck.h"
#include "playlist/UPlayList.h"
#include "settings/UConfKeyHash.h"
#include "tests/settings/AllocationMeter.h"

struct TSettingAccess {
    static const TKeyNode* Root(TSetting& s) { return s.FRoot.get(); }
};

namespace {

// A folder of this process's own, emptied before every input: whatever a load
// leaves beside the file (a damaged file's copy) cannot pile up.
const std::string& Folder()
{
    static const struct TFolder {
        std::string Path;
        TFolder()
        {
            const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
            Path = base + "reelo-fuzz-playlist-" + std::to_string(getpid()) + "/";
            std::filesystem::create_directories(Path);
        }
        ~TFolder()
        {
            std::error_code ec;
            std::filesystem::remove_all(Path, ec);
        }
    } folder;
    return folder.Path;
}

void EmptyFolder()
{
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        std::filesystem::remove_all(entry.path());
}

std::string ReadBytes(const std::string& name)
{
    std::string out;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return "\0(missing)";
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

std::string FileName(const char* what) { return Folder() + what; }

void WriteBytes(const std::string& name, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

// Every value of the store as "key path, name, kind, value", sorted, so that
// two stores compare equal whatever order their tables keep (an integer by
// its number: "0032" may come back as "32").
std::vector<std::string> Dump(TSetting& s)
{
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, const TKeyNode*>> open{{"\\", TSettingAccess::Root(s)}};
    while (!open.empty()) {
        auto [path, node] = std::move(open.back());
        open.pop_back();
        node->Values.ForEach([&, &path = path](const auto& item) {
            const TConf& v = item.Value;
            lines.push_back(path + '\t' + std::string(item.Key()) + '\t' +
                            (v.IsString() ? "s" + v.Text : "i" + std::to_string(v.Number)));
        });
        node->SubKeys.ForEach([&, &path = path](const auto& item) {
            open.emplace_back(path + std::string(item.Key()) + '\\', item.Value);
        });
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EmptyFolder();
    const std::string input = FileName("in.lst"), saved = FileName("a.lst"), again = FileName("b.lst");
    WriteBytes(input, data, size);
    TPlayList a("fuzz", Folder());
    std::string savedAs;
    bool loaded = false;
    const AllocationMeter::TTaken taken = AllocationMeter::Measure([&] {
        try {
            a.LoadFromFile(input);
            loaded = true;
        } catch (const EPlayListFileError& e) {
            savedAs = e.SavedAs;
        }
    });
    CHECK(taken.Within(size));
    if (!loaded) {
        // The damaged file is kept aside byte for byte; the list starts empty.
        CHECK(!savedAs.empty() &&
              ReadBytes(savedAs) == std::string(reinterpret_cast<const char*>(data), size));
        CHECK(a.Loaded() && a.FileCount() == 0 && a.DirectoryCount() == 0);
        return 0;
    }
    CHECK(a.Loaded());

    // Entries cost the lines that hold them, never what a count claims.
    const size_t lines = static_cast<size_t>(std::count(data, data + size, '\n')) + 1;
    size_t entries = static_cast<size_t>(a.FileCount() + a.DirectoryCount());
    for (int j = 0; j < a.DirectoryCount(); ++j)
        entries += static_cast<size_t>(a.Directories(j).ExcludedCount());
    CHECK(entries <= lines);

    a.SaveToFile(saved);
    TPlayList b("fuzz", Folder());
    b.LoadFromFile(saved);
    CHECK(a.FileCount() == b.FileCount() && a.DirectoryCount() == b.DirectoryCount());
    for (int i = 0; i < a.FileCount(); ++i) {
        CHECK(a.Files(i).Path() == b.Files(i).Path());
        CHECK(Dump(a.Files(i).Setting()) == Dump(b.Files(i).Setting()));
    }
    for (int j = 0; j < a.DirectoryCount(); ++j) {
        CHECK(a.Directories(j).Path() == b.Directories(j).Path());
        CHECK(a.Directories(j).Excluded() == b.Directories(j).Excluded());
    }
    b.SaveToFile(again);
    CHECK(Dump(a.Setting()) == Dump(b.Setting()));
    return 0;
}
