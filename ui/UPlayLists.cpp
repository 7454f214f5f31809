#include "ui/UPlayLists.h"

#include <algorithm>
#include <cstdint>

#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "base/UInteger.h"

const char* const TemporaryListName = "Temporary";

namespace {
const char* const ListExtension = ".lst";
}  // namespace

std::string LowerListName(const std::string& name)
{
    std::string s = name;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (FileName::IsLeadByte(c) && i + 1 < s.size())
            ++i;  // the trail byte may look like a letter
        else if (c >= 'A' && c <= 'Z')
            s[i] = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool SameListName(const std::string& a, const std::string& b) { return FileName::SameFileName(a, b); }

bool IsTemporaryName(const std::string& name)
{
    return LowerListName(name).find("temporary") != std::string::npos;
}

int ComparePlayLists(const TPlayList& a, const TPlayList& b)
{
    const bool ta = IsTemporaryName(a.Name()), tb = IsTemporaryName(b.Name());
    if (ta != tb) return ta ? -1 : 1;
    return FileName::CompareFileNames(a.Name(), b.Name());
}

void CheckListName(const std::string& name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (FileName::IsLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':') throw Exception("リスト名に \\ / : は使えません: " + name);
    }
}

TPlayLists::TPlayLists(TPlayList::TFolderFunc playListDir) : FPlayListDir(std::move(playListDir)) {}

int TPlayLists::IndexOf(const TPlayList* list) const
{
    for (size_t i = 0; i < FLists.size(); ++i)
        if (FLists[i].get() == list) return static_cast<int>(i);
    return -1;
}

std::unique_ptr<TPlayList> TPlayLists::Create(const std::string& name, bool testName) const
{
    return std::make_unique<TPlayList>(name, FPlayListDir, testName);
}

TPlayList& TPlayLists::Append(std::unique_ptr<TPlayList> list)
{
    FLists.push_back(std::move(list));
    return *FLists.back();
}

TPlayList& TPlayLists::Replace(int index, std::unique_ptr<TPlayList> list)
{
    FLists.at(index) = std::move(list);
    return *FLists[index];
}

void TPlayLists::Delete(int index)
{
    FLists.at(index);  // range check
    FLists.erase(FLists.begin() + index);
}

void TPlayLists::Sort()
{
    std::stable_sort(FLists.begin(), FLists.end(),
                     [](const auto& a, const auto& b) { return ComparePlayLists(*a, *b) < 0; });
}

int TPlayLists::FindPlayList(const std::string& name) const
{
    for (size_t i = 0; i < FLists.size(); ++i)
        if (SameListName(FLists[i]->Name(), name)) return static_cast<int>(i);
    return -1;
}

std::string TPlayLists::NextTemporaryName() const
{
    int64_t largest = 1;
    for (const auto& l : FLists) {
        if (!IsTemporaryName(l->Name())) continue;
        int32_t n = 1;
        // The number after "Temporary ": blanks before it and a sign allowed.
        if (l->Name().size() > 10 && !ParseInt32(std::string_view(l->Name()).substr(10), n, true)) n = 1;
        largest = std::max(largest, int64_t(n));
    }
    // A number too large to be read back ("Temporary 2147483648") is not
    // counted: go on past the names taken.
    std::string name;
    for (int64_t n = largest + 1;; ++n) {
        name = std::string(TemporaryListName) + " " + std::to_string(n);
        if (FindPlayList(name) < 0) return name;
    }
}

std::string TPlayLists::PlayListFileName(const TPlayList& list) const
{
    return (FPlayListDir ? FPlayListDir() : std::string()) + list.Name() + ListExtension;
}

std::string TPlayLists::SaveFileName(const TPlayList& list) const
{
    if (!IsTemporaryName(list.Name())) return PlayListFileName(list);
    return (FPlayListDir ? FPlayListDir() : std::string()) + TemporaryListName + ListExtension;
}

void TPlayLists::SaveList(TPlayList& list) const
{
    if (!list.Loaded()) return;
    if (IsTemporaryName(list.Name())) list.Setting().Clear();
    // The folder may not exist yet (the per-user folder on the first run in
    // multi-user mode): without it the exit save would stop here.
    const std::string file = SaveFileName(list);
    FileSystem::ForceDirectories(FileName::ExtractFilePath(file));
    list.SaveToFile(file);
}

void TPlayLists::EnsureLoaded(TPlayList& list) const
{
    if (!list.Loaded()) list.LoadFromFile(PlayListFileName(list));
}

std::string TPlayLists::RecentName(const TPlayList& list)
{
    return IsTemporaryName(list.Name()) ? std::string(TemporaryListName) : list.Name();
}

void TPlayLists::LoadPlayListNames()
{
    const std::string folder = FPlayListDir ? FPlayListDir() : std::string();
    std::vector<std::string> names;
    FileSystem::ListFiles(folder, [&](const std::string& file) {
        if (file.size() <= 4 || !FileName::SameFileName(file.substr(file.size() - 4), ListExtension)) return;
        names.push_back(file.substr(0, file.size() - 4));
    });
    for (const std::string& name : names) {
        if (!SameListName(name, TemporaryListName) && FindPlayList(name) < 0) Append(name);
    }
    Sort();
}
