#include "playlist/UPlayList.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <string_view>
#include <utility>

#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "base/UInteger.h"
#include "settings/UConfigKeys.h"

// ---------------------------------------------------------------- TMediaFile

TMediaFile::TMediaFile(TPlayList& list, std::string path) : FPath(std::move(path))
{
    FSetting.WriteString("\\" + std::string(ListKey::Path), FPath);
    FSetting.SetParent(&list.Setting());
}

TMediaFile::TMediaFile(TPlayList& list, std::string path, TSetting::TTree tree)
    : FPath(std::move(path)), FSetting(std::move(tree))
{
    FSetting.SetParent(&list.Setting());
}

std::string TMediaFile::DisplayName() const { return FileName::ExtractDisplayName(FPath); }

// ----------------------------------------------------------- TMediaDirectory

bool TMediaDirectory::AddExcluded(const std::string& fileName)
{
    auto it = std::lower_bound(FExcluded.begin(), FExcluded.end(), fileName, FileName::TLess());
    if (it != FExcluded.end() && FileName::SameFileName(*it, fileName)) return false;
    FExcluded.insert(it, fileName);
    FEdited = TSetting::NewStamp();
    return true;
}

void TMediaDirectory::ClearExcluded()
{
    if (FExcluded.empty()) return;
    FExcluded.clear();
    FEdited = TSetting::NewStamp();
}

bool TMediaDirectory::IsExcluded(const std::string& fileName) const
{
    return std::binary_search(FExcluded.begin(), FExcluded.end(), fileName, FileName::TLess());
}

// ----------------------------------------------------------------- TPlayList

namespace {

// Takes a store's parent off for the lifetime of the object, so that reads
// see only the store itself, and puts it back on every way out.
class TParentAside {
public:
    explicit TParentAside(TSetting& setting) : FSetting(setting), FParent(setting.Parent())
    {
        FSetting.SetParent(nullptr);
    }
    ~TParentAside() { FSetting.SetParent(FParent); }
    TParentAside(const TParentAside&) = delete;
    TParentAside& operator=(const TParentAside&) = delete;

private:
    TSetting& FSetting;
    TSetting* FParent;
};

// Tests that a list file can be made in the playlist folder, making the
// folder first when it is missing (the per-user folder before the first save
// of a new user in multi-user mode).
void CheckListFile(const std::string& folder, const std::string& fileName)
{
    if (FileSystem::FileExists(fileName)) return;
    if (!folder.empty() && !FileSystem::DirectoryExists(folder)) FileSystem::ForceDirectories(folder);
    FileSystem::CheckFileName(fileName);
}

}  // namespace

TPlayList::TPlayList(const std::string& name, TFolderFunc playListDir, bool testName)
    : FName(name), FPlayListDir(std::move(playListDir))
{
    if (testName) CheckListFile(FPlayListDir ? FPlayListDir() : std::string(), FileName());
}

TPlayList::TPlayList(const std::string& name, const std::string& playListDir)
    : TPlayList(name, [playListDir] { return playListDir; })
{
}

TPlayList::~TPlayList()
{
    // The files' stores refer to the list's store as their parent.
    FFiles.clear();
    FDirectories.clear();
}

std::string TPlayList::FileName() const
{
    return (FPlayListDir ? FPlayListDir() : std::string()) + FName + ".lst";
}

void TPlayList::Notify(int kind, int first, int second)
{
    FEdited = TSetting::NewStamp();
    if (OnChange) OnChange(*this, kind, first, second);
}

bool TPlayList::ChangedSince(uint64_t stamp) const
{
    if (FEdited > stamp || FSetting.Stamp() > stamp) return true;
    for (const auto& d : FDirectories)
        if (d->Edited() > stamp) return true;
    for (const auto& f : FFiles)
        if (f->Setting().Stamp() > stamp) return true;
    return false;
}

int TPlayList::AddDirectory(const std::string& path)
{
    // "C:\m" and "C:\M\" are the same folder.
    const std::string folder = FileName::IncludeTrailingPathDelimiter(path);
    for (size_t j = 0; j < FDirectories.size(); ++j) {
        if (FileName::SameFileName(FileName::IncludeTrailingPathDelimiter(FDirectories[j]->Path()), folder))
            return static_cast<int>(j);
    }
    FDirectories.push_back(std::make_unique<TMediaDirectory>(path));
    FEdited = TSetting::NewStamp();
    return static_cast<int>(FDirectories.size() - 1);
}

void TPlayList::Add(const std::string& path)
{
    if (FileSystem::DirectoryExists(path))
        AddDirectory(path);
    else
        AddFile(path);
}

void TPlayList::AddFile(const std::string& path)
{
    FFiles.push_back(std::make_unique<TMediaFile>(*this, path));
    Notify(ChangeAdded, static_cast<int>(FFiles.size() - 1), 1);
}

void TPlayList::Delete(int index)
{
    FFiles.at(index);  // range check
    FFiles.erase(FFiles.begin() + index);
    Notify(ChangeDeleted, index, 1);
}

void TPlayList::DeleteFiles(std::vector<int> indexes)
{
    const int n = static_cast<int>(FFiles.size());
    indexes.erase(std::remove_if(indexes.begin(), indexes.end(), [n](int i) { return i < 0 || i >= n; }),
                  indexes.end());
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    if (indexes.empty()) return;
    size_t out = static_cast<size_t>(indexes.front()), next = 0;
    for (size_t i = out; i < FFiles.size(); ++i) {
        if (next < indexes.size() && static_cast<size_t>(indexes[next]) == i) {
            FFiles[i].reset();
            ++next;
        } else {
            FFiles[out++] = std::move(FFiles[i]);
        }
    }
    FFiles.resize(out);
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) Notify(ChangeDeleted, *it, 1);
}

void TPlayList::Exchange(int index1, int index2)
{
    std::swap(FFiles.at(index1), FFiles.at(index2));
    Notify(ChangeExchanged, index1, index2);
}

void TPlayList::DeleteDirectory(int index)
{
    FDirectories.at(index);
    FDirectories.erase(FDirectories.begin() + index);
    FEdited = TSetting::NewStamp();
}

void TPlayList::Rename(const std::string& newName)
{
    const std::string folder = FPlayListDir ? FPlayListDir() : std::string();
    const std::string oldFile = FileName();
    const std::string newFile = folder + newName + ".lst";
    if (FileSystem::FileExists(oldFile)) {
        // A list renamed without its file would come back under its old
        // name at the next start, beside the renamed one.
        try {
            FileSystem::Move(oldFile, newFile);
        } catch (const EFileError& e) {
            throw EFileError("プレイリストの名前を " + newName + " に変更できませんでした。\r\n" + e.what());
        }
    } else {
        CheckListFile(folder, newFile);
    }
    FName = newName;
}

namespace {

// A decimal index as the list files write it: 1 or more, no sign, no
// leading zeros.
bool ParseIndex(std::string_view text, int32_t& value)
{
    return !text.empty() && text.front() >= '1' && text.front() <= '9' && ParseInt32(text, value);
}

// The numbered sub-keys 1..count of a key that exist, in ascending order.
// Only the keys present are visited, so a damaged count costs nothing.
std::vector<int32_t> PresentIndexes(TSetting& setting, const std::string& path, int32_t count)
{
    std::vector<int32_t> indexes;
    if (count <= 0) return indexes;
    setting.ForEachSubKey(path, [&](std::string_view name) {
        int32_t i = 0;
        if (ParseIndex(name, i) && i <= count) indexes.push_back(i);
    });
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

// Moves a list file that cannot be read out of the way of later saves, to
// "<file>.bad", or "<file>.2.bad", "<file>.3.bad" ... when that is taken.
// The extension is not "lst" nor does it begin with it, so a search for
// "*.lst" finds the copy neither by its name nor by its short 8.3 name. A
// file that cannot be moved (another program holds it open) is copied.
// Returns the name of the copy, or an empty text when there is none.
std::string MoveAside(const std::string& fileName)
{
    for (int n = 1; n <= 999; ++n) {
        const std::string target = fileName + (n == 1 ? std::string() : "." + std::to_string(n)) + ".bad";
        if (FileSystem::FileExists(target) || FileSystem::DirectoryExists(target)) continue;
        if (FileSystem::MoveTo(fileName, target) || FileSystem::CopyToNew(fileName, target)) return target;
        if (!FileSystem::FileExists(target)) break;  // not taken meanwhile: neither worked
    }
    return std::string();
}

}  // namespace

// The file entries are read into their own stores, and their keys leave
// the list's store as they are taken (a large list would otherwise be held
// twice); the next save writes "\Files\" anew.
//
// Entries are read for the numbered keys that exist up to the announced
// count, so a gap in the numbering loses no entry and a damaged count
// ("\Files\Count" = 2147483647) costs no more than the keys present. A file
// key without its "Path" is no entry.
//
// A file that cannot be parsed (format or number errors, a count stored as
// text) is moved aside before anything can save over it, and the list
// starts empty: a later save then writes a new file, and the old one is
// still there for the user.
//
// A file that cannot be opened or read at all (another program holds it
// without sharing, as backup and sync tools do) is intact as far as anyone
// knows: it stays where it is and the list stays not loaded, so that nothing
// is saved over it and the next load tries again.
void TPlayList::LoadFromFile(const std::string& fileName)
{
    FLoaded = true;
    if (!FileSystem::FileExists(fileName)) return;

    std::vector<std::unique_ptr<TMediaFile>> files;
    std::vector<std::unique_ptr<TMediaDirectory>> directories;
    try {
        TParentAside aside(FSetting);
        try {
            FSetting.LoadFromFile(fileName);
        } catch (const EFileError&) {
            FLoaded = false;
            throw EPlayListFileError(
                "プレイリスト " + fileName +
                    " を開けませんでした。ほかのプログラムが使用中かもしれません。\r\n"
                    "ファイルはそのまま残し、次にこのプレイリストを使うときに読み直します。",
                fileName, std::string());
        }

        const int32_t n = FSetting.ReadInteger(ListKey::Root(ListKey::Files) + ListKey::Count, 0);
        // The entries' keys leave the list's store as the entries take them:
        // "Path" and the "Common" key become each entry's own store.
        FSetting.TakeNumberedKeys(
            ListKey::Root(ListKey::Files), n, ListKey::Path, ListKey::Common,
            [&](int32_t, std::string path, TSetting::TTree tree) {
                files.push_back(std::make_unique<TMediaFile>(*this, std::move(path), std::move(tree)));
            });

        const int32_t m = FSetting.ReadInteger(ListKey::Root(ListKey::Directories) + ListKey::Count, 0);
        for (int32_t j : PresentIndexes(FSetting, ListKey::Root(ListKey::Directories), m)) {
            const std::string key = ListKey::Root(ListKey::Directories) + std::to_string(j);
            TSettingKey open(FSetting, key);
            auto dir = std::make_unique<TMediaDirectory>(FSetting.ReadString(ListKey::Path, ""));
            const int32_t e = FSetting.ReadInteger(ListKey::Excluded, 0);
            for (int32_t k : PresentIndexes(FSetting, key + "\\" + ListKey::Sub(ListKey::ExcludedFiles), e)) {
                const std::string name = FSetting.ReadString(
                    ListKey::Sub(ListKey::ExcludedFiles) + ListKey::Sub(std::to_string(k)) + ListKey::Name,
                    "");
                if (!name.empty()) dir->AddExcluded(name);
            }
            directories.push_back(std::move(dir));
        }
    } catch (const EPlayListFileError&) {
        throw;
    } catch (const std::exception& e) {
        const std::string savedAs = MoveAside(fileName);
        std::string message =
            "プレイリスト " + fileName + " を読み込めませんでした。\r\n" + e.what() + "\r\n";
        if (!savedAs.empty())
            message += "元のファイルは " + savedAs + " に移しました。プレイリストは空で始まります。";
        else
            message += "元のファイルを移せませんでした。このプレイリストを保存すると上書きされます。";
        throw EPlayListFileError(message, fileName, savedAs);
    }
    for (auto& f : files) FFiles.push_back(std::move(f));
    for (auto& d : directories) FDirectories.push_back(std::move(d));
}

void TPlayList::SaveToFile(const std::string& fileName)
{
    TParentAside aside(FSetting);

    {
        std::vector<TSetting*> stores;
        stores.reserve(FFiles.size());
        for (const auto& f : FFiles) stores.push_back(&f->Setting());
        FSetting.WriteNumberedCopies(ListKey::Files, ListKey::Count, stores);
    }

    FSetting.DeleteKey(ListKey::Root(ListKey::Directories));
    FSetting.WriteInteger(ListKey::Root(ListKey::Directories) + ListKey::Count,
                          static_cast<int32_t>(FDirectories.size()));
    for (size_t j = 0; j < FDirectories.size(); ++j) {
        const TMediaDirectory& dir = *FDirectories[j];
        const std::string key = ListKey::Root(ListKey::Directories) + std::to_string(j + 1);
        TSettingKey open(FSetting, key);
        FSetting.WriteString(ListKey::Path, dir.Path());
        FSetting.WriteInteger(ListKey::Excluded, dir.ExcludedCount());
        FSetting.ChangeKey(key + "\\" + ListKey::Sub(ListKey::ExcludedFiles));
        for (int k = 0; k < dir.ExcludedCount(); ++k)
            FSetting.WriteString(ListKey::Sub(std::to_string(k + 1)) + ListKey::Name, dir.ExcludedFiles(k));
    }

    FSetting.SaveToFile(fileName);
}
