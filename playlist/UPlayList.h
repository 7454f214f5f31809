// Play lists: named, ordered lists of media files plus registered folders,
// each list with its own settings store that is also its .lst file.
//
// Layout of a .lst file (a TSetting tree):
//   \Files\Count                        number of files
//   \Files\<i>\Path, \Files\<i>\Common\ path and per-file settings of file i
//   \Directories\Count                  number of folders
//   \Directories\<j>\Path, \Excluded    folder j and the size of its excluded set
//   \Directories\<j>\ExcludedFiles\<k>\Name
//   \Common\                            list-level settings
// Indexes count from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "settings/UNodePool.h"
#include "settings/USetting.h"

class TPlayList;

// A list file that could not be read. A damaged file was moved aside to
// SavedAs (empty when even that failed); the message names both. A file
// that could not be opened at all stays where it was, SavedAs is empty and
// the list is left not loaded.
class EPlayListFileError : public Exception {
public:
    EPlayListFileError(std::string message, std::string fileName, std::string savedAs)
        : Exception(std::move(message)), FileName(std::move(fileName)), SavedAs(std::move(savedAs))
    {
    }
    std::string FileName;
    std::string SavedAs;
};

// One file entry: its path and its own settings store, whose parent is the
// store of the list that holds it.
class TMediaFile {
public:
    TMediaFile(TPlayList& list, std::string path);
    // An entry read from a list file: the tree already holds "\Path" = path.
    TMediaFile(TPlayList& list, std::string path, TSetting::TTree tree);
    TMediaFile(const TMediaFile&) = delete;
    TMediaFile& operator=(const TMediaFile&) = delete;

    const std::string& Path() const { return FPath; }
    // The file name without folder and extension.
    std::string DisplayName() const;
    TSetting& Setting() { return FSetting; }

    // A list holds one entry per file: they come from the settings pool,
    // like the contents of their stores.
    static void* operator new(std::size_t size) { return NodePool::Allocate(size); }
    static void operator delete(void* p, std::size_t size) noexcept { NodePool::Free(p, size); }

private:
    std::string FPath;
    TSetting FSetting;
};

// A registered folder and the set of its files that scans never offer
// again. The set is kept sorted by file-name order ignoring case and holds
// no two names that differ only in case.
class TMediaDirectory {
public:
    explicit TMediaDirectory(const std::string& path) : FPath(path) {}

    const std::string& Path() const { return FPath; }

    int ExcludedCount() const { return static_cast<int>(FExcluded.size()); }
    const std::string& ExcludedFiles(int index) const { return FExcluded.at(index); }
    const std::vector<std::string>& Excluded() const { return FExcluded; }
    // False when an equal name (ignoring case) is already in the set.
    bool AddExcluded(const std::string& fileName);
    bool IsExcluded(const std::string& fileName) const;
    void ClearExcluded();
    // The settings stamp of the last change of the set (0: none yet).
    uint64_t Edited() const { return FEdited; }

private:
    std::string FPath;
    std::vector<std::string> FExcluded;
    uint64_t FEdited = 0;
};

class TPlayList {
public:
    // Kinds of the change notification.
    enum TChangeKind { ChangeAdded = 0, ChangeDeleted = 1, ChangeExchanged = 3 };
    // (sender, kind, first, second): added (index, 1), deleted (index, 1),
    // exchanged (index1, index2). Called after the change.
    using TChangeEvent = std::function<void(TPlayList& sender, int kind, int first, int second)>;
    // Gives the current playlist folder (ending with "\").
    using TFolderFunc = std::function<std::string()>;

    // Raises EFileError when the name cannot be a file name in the playlist
    // folder (an empty file of the name is created and deleted again when the
    // list's file does not exist yet; a missing playlist folder is made
    // first). testName false skips that for a name known to be good.
    TPlayList(const std::string& name, TFolderFunc playListDir, bool testName = true);
    TPlayList(const std::string& name, const std::string& playListDir);
    ~TPlayList();
    TPlayList(const TPlayList&) = delete;
    TPlayList& operator=(const TPlayList&) = delete;

    const std::string& Name() const { return FName; }
    // Playlist folder + name + ".lst".
    std::string FileName() const;
    bool Loaded() const { return FLoaded; }
    void SetLoaded(bool loaded) { FLoaded = loaded; }
    TSetting& Setting() { return FSetting; }

    // An existing folder becomes a folder entry (unless one for the same
    // folder exists); anything else is appended as a file entry (notified).
    void Add(const std::string& path);
    // Appends a folder entry for the path unless an entry for the same folder
    // exists; the folder need not exist. Returns its index.
    int AddDirectory(const std::string& path);
    // Appends a file entry without looking at the disk (for paths known to
    // be files, such as those a folder listing found). Notified like Add.
    void AddFile(const std::string& path);
    void Delete(int index);
    // Deletes several file entries in one pass; notified as deletions one by
    // one from the highest index down, each index valid when its
    // notification arrives. Indexes out of range or repeated are ignored.
    void DeleteFiles(std::vector<int> indexes);
    void Exchange(int index1, int index2);
    void DeleteDirectory(int index);

    int FileCount() const { return static_cast<int>(FFiles.size()); }
    TMediaFile& Files(int index) const { return *FFiles.at(index); }
    int DirectoryCount() const { return static_cast<int>(FDirectories.size()); }
    TMediaDirectory& Directories(int index) const { return *FDirectories.at(index); }

    // Moves the list's file along and takes the new name; raises EFileError
    // and keeps the old name when the file cannot be moved or the new name
    // cannot be a file name.
    void Rename(const std::string& newName);

    // Whether anything a save writes changed after the settings stamp
    // (TSetting::LatestStamp() taken at the time): the entries and their
    // order, the folders and their excluded files, the list's store and the
    // entries' stores. Looks at every entry when nothing else changed.
    bool ChangedSince(uint64_t stamp) const;

    // Marks the list loaded and reads the file's entries, if the file
    // exists. A file that cannot be parsed is moved aside and the list keeps
    // no entries from it; a file that cannot be opened leaves the list not
    // loaded (both EPlayListFileError).
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    TChangeEvent OnChange;

private:
    void Notify(int kind, int first, int second);

    std::string FName;
    bool FLoaded = false;
    std::vector<std::unique_ptr<TMediaFile>> FFiles;
    std::vector<std::unique_ptr<TMediaDirectory>> FDirectories;
    TSetting FSetting;
    TFolderFunc FPlayListDir;
    uint64_t FEdited = 0;  // settings stamp of the last change of the entries or folders
};
