#include "playlist/UFolderScan.h"

#include <algorithm>
#include <deque>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "playlist/UPlayList.h"

// Full file names are compared as pairs (folder part, file name), folder
// parts first, each part with its own sort key: the folder part ends with
// "\", which no comparison joins with what follows, so the pair orders the
// names as the whole text does. Within one scan nearly every name has the
// same folder part, whose key is computed once, and the keys of the short
// file names cost a fraction of those of whole paths.

namespace {

// Sort keys of folder parts, by their exact text.
class TFolderKeys {
public:
    const std::string* Key(std::string_view folder)
    {
        // Runs of names in one folder are the rule.
        if (FLast && folder == FLast->first) return &FLast->second;
        std::string text(folder);
        auto it = FKeys.find(text);
        if (it == FKeys.end()) it = FKeys.emplace(text, FileName::SortKey(text)).first;
        FLast = &*it;
        return &it->second;
    }

private:
    std::unordered_map<std::string, std::string> FKeys;
    const std::pair<const std::string, std::string>* FLast = nullptr;
};

// An entry with its keys. Its full name is built only for the entries that
// end up in the result: Name alone, Prefix + Name, or *Path.
struct TKeyed {
    const std::string* FolderKey = nullptr;
    std::string NameKey;
    std::string Name;
    const std::string* Prefix = nullptr;
    const std::string* Path = nullptr;
    int Folder = 0;

    std::string FullName() &&
    {
        if (Path) return *Path;
        if (Prefix) return *Prefix + Name;
        return std::move(Name);
    }
};

using TKeyedList = std::vector<TKeyed>;

int Compare(const std::string* folderA, const std::string& nameA, const std::string* folderB,
            const std::string& nameB)
{
    if (folderA != folderB) {
        const int c = folderA->compare(*folderB);
        if (c != 0) return c;
    }
    return nameA.compare(nameB);
}

int Compare(const TKeyed& a, const TKeyed& b)
{
    return Compare(a.FolderKey, a.NameKey, b.FolderKey, b.NameKey);
}

bool KeyLess(const TKeyed& a, const TKeyed& b) { return Compare(a, b) < 0; }

TKeyed MakeKeyed(const std::string& name, int folder, TFolderKeys& folderKeys)
{
    const size_t d = FileName::LastDelimiter(name, false);
    const size_t split = d == std::string::npos ? 0 : d + 1;
    TKeyed k;
    k.FolderKey = folderKeys.Key(std::string_view(name).substr(0, split));
    k.NameKey = FileName::SortKey(name.substr(split));
    k.Name = name;
    k.Folder = folder;
    return k;
}

struct TWork {
    TKeyedList Add, Exclude, Delete;
    TFolderKeys FolderKeys;
    std::vector<const std::string*> Prefixes;
    std::deque<std::string> PrefixTexts;  // referred to by the entries
    bool Unique = true;
};

bool HasEqualNeighbours(const TKeyedList& sorted)
{
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (Compare(sorted[i - 1], sorted[i]) == 0) return true;
    }
    return false;
}

void EraseMarked(TKeyedList& list, const std::vector<char>& marked)
{
    size_t out = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!marked[i]) {
            if (out != i) list[out] = std::move(list[i]);
            ++out;
        }
    }
    list.resize(out);
}

// Matches two sorted lists name by name: for every name, as many entries as
// the other list holds of it. From a, the last entries of a run of equal
// names are taken (a is walked from its end); from b the first ones.
// Entries taken from a are removed; those from b only when removeFromB.
void RemoveMatches(TKeyedList& a, TKeyedList& b, bool removeFromB)
{
    std::vector<char> markA(a.size(), 0), markB(b.size(), 0);
    size_t i = 0, j = 0;
    bool any = false;
    while (i < a.size() && j < b.size()) {
        const int c = Compare(a[i], b[j]);
        if (c < 0) {
            ++i;
        } else if (c > 0) {
            ++j;
        } else {
            size_t ea = i, eb = j;
            while (ea < a.size() && Compare(a[ea], a[i]) == 0) ++ea;
            while (eb < b.size() && Compare(b[eb], b[j]) == 0) ++eb;
            const size_t k = std::min(ea - i, eb - j);
            for (size_t n = 0; n < k; ++n) {
                markA[ea - 1 - n] = 1;
                markB[j + n] = 1;
            }
            any = true;
            i = ea;
            j = eb;
        }
    }
    if (!any) return;
    EraseMarked(a, markA);
    if (removeFromB) EraseMarked(b, markB);
}

// Merges a sorted list into another sorted one.
void MergeInto(TKeyedList& into, TKeyedList& from)
{
    const size_t middle = into.size();
    into.insert(into.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    std::inplace_merge(into.begin(), into.begin() + static_cast<std::ptrdiff_t>(middle), into.end(), KeyLess);
    from.clear();
}

void Scan(TPlayList& list, int folder, TWork& work)
{
    const TMediaDirectory& dir = list.Directories(folder);
    const std::string& prefix =
        work.PrefixTexts.emplace_back(FileName::IncludeTrailingPathDelimiter(dir.Path()));
    const std::string* prefixKey = work.FolderKeys.Key(prefix);
    for (const std::string* p : work.Prefixes) {
        if (*p == *prefixKey) work.Unique = false;  // the same folder twice
    }
    work.Prefixes.push_back(prefixKey);
    TKeyedList added, gone, excluded;

    FileSystem::ListFiles(prefix, [&](const std::string& name) {
        TKeyed k;
        k.FolderKey = prefixKey;
        k.NameKey = FileName::SortKey(name);
        k.Name = name;
        k.Prefix = &prefix;
        k.Folder = folder;
        added.push_back(std::move(k));
    });

    for (int i = 0; i < list.FileCount(); ++i) {
        const std::string& path = list.Files(i).Path();
        const size_t d = FileName::LastDelimiter(path, false);
        if (d == std::string::npos) continue;
        // Most entries share the prefix byte for byte; only the others need
        // the platform comparison.
        if (d + 1 == prefix.size() && path.compare(0, d + 1, prefix) == 0) {
            TKeyed k;
            k.FolderKey = prefixKey;
            k.NameKey = FileName::SortKey(path.substr(d + 1));
            k.Path = &path;
            k.Folder = folder;
            gone.push_back(std::move(k));
        } else if (FileName::SameFileName(path.substr(0, d + 1), prefix)) {
            gone.push_back(MakeKeyed(path, folder, work.FolderKeys));
        }
    }

    for (const std::string& name : dir.Excluded()) {
        if (FileSystem::FileExists(name)) excluded.push_back(MakeKeyed(name, folder, work.FolderKeys));
    }

    std::stable_sort(added.begin(), added.end(), KeyLess);
    std::stable_sort(gone.begin(), gone.end(), KeyLess);
    std::stable_sort(excluded.begin(), excluded.end(), KeyLess);
    MergeInto(work.Add, added);
    if (HasEqualNeighbours(gone)) work.Unique = false;
    MergeInto(work.Delete, gone);
    MergeInto(work.Exclude, excluded);
    // What is on disk and in the list is neither new nor gone.
    RemoveMatches(work.Add, work.Delete, true);
    // Excluded files are not offered.
    RemoveMatches(work.Add, work.Exclude, false);
}

TKeyedList ToKeyed(std::vector<TScanEntry>& entries, TFolderKeys& folderKeys)
{
    TKeyedList list;
    list.reserve(entries.size());
    for (TScanEntry& e : entries) list.push_back(MakeKeyed(e.Name, e.Folder, folderKeys));
    entries.clear();
    std::stable_sort(list.begin(), list.end(), KeyLess);
    return list;
}

void FromKeyed(TKeyedList& list, std::vector<TScanEntry>& entries)
{
    entries.clear();
    entries.reserve(list.size());
    for (TKeyed& k : list) entries.push_back(TScanEntry{std::move(k).FullName(), k.Folder});
}

void Scan(TPlayList& list, const std::vector<int>& folders, TScanResult& result)
{
    TWork work;
    if (!result.ScannedFolders.empty()) {
        // Adding to the result of earlier scans.
        work.Unique = result.DeleteNamesUnique;
        for (int folder : result.ScannedFolders) {
            if (folder >= 0 && folder < list.DirectoryCount())
                work.Prefixes.push_back(work.FolderKeys.Key(
                    FileName::IncludeTrailingPathDelimiter(list.Directories(folder).Path())));
        }
    }
    work.Add = ToKeyed(result.AddList, work.FolderKeys);
    work.Exclude = ToKeyed(result.ExcludeList, work.FolderKeys);
    work.Delete = ToKeyed(result.DeleteList, work.FolderKeys);
    for (int folder : folders) {
        Scan(list, folder, work);
        result.ScannedFolders.push_back(folder);
    }
    FromKeyed(work.Add, result.AddList);
    FromKeyed(work.Exclude, result.ExcludeList);
    if (HasEqualNeighbours(work.Delete)) work.Unique = false;
    FromKeyed(work.Delete, result.DeleteList);
    result.DeleteNamesUnique = work.Unique;
}

}  // namespace

void ScanFolder(TPlayList& list, int folder, TScanResult& result)
{
    Scan(list, std::vector<int>{folder}, result);
}

void ScanAllFolders(TPlayList& list, TScanResult& result)
{
    std::vector<int> folders;
    for (int j = 0; j < list.DirectoryCount(); ++j) folders.push_back(j);
    Scan(list, folders, result);
}

void ApplyScanResult(TPlayList& list, const TScanResult& result)
{
    // The entries the delete list refers to are among those present now.
    const int original = list.FileCount();

    for (const TScanEntry& e : result.AddList) list.AddFile(e.Name);

    for (int folder : result.ScannedFolders) {
        if (folder >= 0 && folder < list.DirectoryCount()) list.Directories(folder).ClearExcluded();
    }
    for (const TScanEntry& e : result.ExcludeList) {
        if (e.Folder >= 0 && e.Folder < list.DirectoryCount()) list.Directories(e.Folder).AddExcluded(e.Name);
    }

    if (result.DeleteList.empty()) return;
    if (result.DeleteNamesUnique) {
        // Each name belongs to one entry, the one with exactly that path.
        std::unordered_map<std::string_view, int> byPath;
        byPath.reserve(static_cast<size_t>(original));
        for (int i = original - 1; i >= 0; --i) byPath[list.Files(i).Path()] = i;
        std::vector<int> doomed;
        for (const TScanEntry& e : result.DeleteList) {
            auto it = byPath.find(e.Name);
            if (it != byPath.end()) {
                doomed.push_back(it->second);
                byPath.erase(it);
            }
        }
        list.DeleteFiles(std::move(doomed));
        return;
    }
    // Each entry of the delete list takes the first file entry with its path
    // (ignoring case) that no earlier entry of the delete list took: the same
    // entries that deleting the first match one name after the other would
    // remove. An entry added above matches no name of the delete list, or
    // the scan would have paired the two.
    TFolderKeys folderKeys;
    TKeyedList targets;
    std::set<std::string> targetFolders;
    for (const TScanEntry& e : result.DeleteList) {
        targets.push_back(MakeKeyed(e.Name, 0, folderKeys));
        targetFolders.insert(*targets.back().FolderKey);
    }
    TKeyedList files;
    for (int i = 0; i < original; ++i) {
        const std::string& path = list.Files(i).Path();
        const size_t d = FileName::LastDelimiter(path, false);
        const size_t split = d == std::string::npos ? 0 : d + 1;
        const std::string* folderKey = folderKeys.Key(std::string_view(path).substr(0, split));
        if (!targetFolders.count(*folderKey)) continue;
        TKeyed k;
        k.FolderKey = folderKey;
        k.NameKey = FileName::SortKey(path.substr(split));
        k.Folder = i;  // the entry's index
        files.push_back(std::move(k));
    }
    // Sorted by name, entries of one name in list order.
    std::stable_sort(files.begin(), files.end(), KeyLess);
    std::vector<char> taken(files.size(), 0);
    std::vector<int> doomed;
    for (const TKeyed& t : targets) {
        auto it = std::lower_bound(files.begin(), files.end(), t, KeyLess);
        for (; it != files.end() && Compare(*it, t) == 0; ++it) {
            const size_t n = static_cast<size_t>(it - files.begin());
            if (!taken[n]) {
                taken[n] = 1;
                doomed.push_back(it->Folder);
                break;
            }
        }
    }
    list.DeleteFiles(std::move(doomed));
}

bool RunFolderScan(TPlayList& list, int folder, const TScanReview& review)
{
    TScanResult result;
    if (folder < 0)
        ScanAllFolders(list, result);
    else
        ScanFolder(list, folder, result);
    if (!review || !review(result)) return false;
    ApplyScanResult(list, result);
    return true;
}
