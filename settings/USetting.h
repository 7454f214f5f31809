// TSetting: the hierarchical key/value store behind config.ini, every .lst
// file and the in-memory settings of play lists and media files.
//
// Keys are addressed by backslash paths ("\Common\WindowMode\"), values by
// "path\name" or by a bare name relative to the open key. A store may have a
// parent to which reads fall back. Typical use:
//
//     TSettingKey key(setting, "\\Common\\");   // OpenKey ... CloseKey
//     int v = setting.ReadInteger("Volume", 100);
//
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/UException.h"
#include "settings/USettingLock.h"

class ESettingError : public Exception {
public:
    using Exception::Exception;
};

// Writes the bytes to a temporary file beside the target, forces them to the
// disk, then replaces the target with it. Raises EFileError and leaves the
// target as it was on any failure. Every save of the system goes through it.
void WriteFileAtomically(const std::string& fileName, std::string_view data);

struct TKeyNode;
struct TConf;

class TSetting {
    // Frees a whole subtree without recursion (files may nest keys deeply).
    struct TTreeDeleter {
        void operator()(TKeyNode* node) const noexcept;
    };
    using TNodePtr = std::unique_ptr<TKeyNode, TTreeDeleter>;

public:
    // A key taken out of a store with everything below it. A store made
    // from it holds the key's values and sub-keys at its root.
    class TTree {
    public:
        TTree() = default;

    private:
        friend class TSetting;
        explicit TTree(TNodePtr node) : FNode(std::move(node)) {}
        TNodePtr FNode;
    };

    TSetting();
    explicit TSetting(TTree tree);
    ~TSetting();
    TSetting(const TSetting&) = delete;
    TSetting& operator=(const TSetting&) = delete;

    void Clear();
    // Merges a file into the tree. Raises ESettingError on a format error,
    // EFileError when the file cannot be read.
    void LoadFromFile(const std::string& fileName);
    // Writes the whole tree atomically (temporary file, then replace).
    void SaveToFile(const std::string& fileName);

    bool OpenKey(const std::string& path);
    void CloseKey();
    bool ChangeKey(const std::string& path);
    bool KeyOpen() const { return FKeyOpen; }
    const std::string& CurrentPath() const { return FCurrentPath; }

    void SetParent(TSetting* parent);
    TSetting* Parent() const { return FParent; }

    bool Exists(const std::string& name);
    std::string ReadString(const std::string& name, const std::string& def);
    int32_t ReadInteger(const std::string& name, int32_t def);
    bool ReadBool(const std::string& name, bool def);
    double ReadFloat(const std::string& name, double def);

    void WriteString(const std::string& name, const std::string& text);
    void WriteInteger(const std::string& name, int32_t number);
    void WriteBool(const std::string& name, bool flag);
    void WriteFloat(const std::string& name, double x);

    void DeleteValue(const std::string& name);
    void DeleteKey(const std::string& path);
    void CopyKey(TSetting& source, const std::string& sourcePath, const std::string& destPath);
    void CreateKey(const std::string& path);
    // Same result as CopyKey(source, sourcePath, destPath) followed by
    // source.DeleteKey(sourcePath), but hands the key over without copying
    // when the destination does not exist yet.
    void MoveKey(TSetting& source, const std::string& sourcePath, const std::string& destPath);
    // Calls found(name) for every sub-key of the key at path, in iteration
    // order; nothing when that key does not exist. found must not change
    // the store.
    void ForEachSubKey(const std::string& path, const std::function<void(std::string_view name)>& found);
    // Same result as DeleteKey("\\" + name + "\\"), WriteInteger of countName
    // in that key = sources.size(), then CopyKey(*sources[i], "\\", i + 1)
    // into it for every i, re-using the parts of the existing key that
    // already hold exactly that.
    void WriteNumberedCopies(const std::string& name, const std::string& countName,
                             const std::vector<TSetting*>& sources);
    // The way back: takes the sub-keys "1" .. count (decimal, no leading
    // zeros) of the key at path out of the store and calls take(number,
    // text, tree) for each, in ascending order, where text is what
    // ReadString of "<number>\<name>" in that key finds (the parent is not
    // consulted) and tree holds the string value `name` = text and the
    // sub-key `keep` of the taken key, and nothing else. Sub-keys without
    // such a value stay. Same result as reading the text, then MoveKey of
    // "<number>\<keep>\" to "\<keep>\" of a store that holds only that
    // value, and DeleteKey of the sub-key, for one sub-key after the other.
    // The store is complete again before the first call of take.
    void TakeNumberedKeys(const std::string& path, int32_t count, const std::string& name,
                          const std::string& keep,
                          const std::function<void(int32_t number, std::string text, TTree tree)>& take);

    // Every change of a store, and every new store, takes a stamp newer than
    // any given before in any store: a store changed after a moment exactly
    // when its stamp is newer than LatestStamp() was at that moment.
    uint64_t Stamp() const { return FStamp.load(std::memory_order_acquire); }
    static uint64_t LatestStamp() noexcept;
    // A new stamp, for changes kept beside a store (a list's order of entries).
    static uint64_t NewStamp() noexcept;

private:
    friend struct TSettingAccess;
    struct TResolved;
    struct TCopies;

    TResolved Resolve(const std::string& path, std::string& scratch) const;
    TKeyNode* CreateKeyUnlocked(const std::string& path);
    const TConf* FindValue(const std::string& name) const;
    void WriteValue(const std::string& name, TConf conf);
    bool ReuseNumberedCopies(TKeyNode* key, const std::string& countName,
                             const std::vector<TSetting*>& sources, const TCopies* last);

    // Every change of the tree gives the store a stamp newer than any
    // before, in any store, and drops the note of the last numbered copies
    // when it may reach them: copies made once can then be known to be
    // unchanged without comparing them.
    void Changing(const std::string& path) noexcept;
    void ChangingAll() noexcept;
    bool MayReach(const std::string& path, const std::string& name) const;

    TNodePtr FRoot;
    TKeyNode* FCurrent = nullptr;
    std::string FCurrentPath = "\\";
    TSetting* FParent = nullptr;
    bool FKeyOpen = false;
    TSettingLock FLock;
    std::atomic<uint64_t> FStamp;
    std::unique_ptr<TCopies> FCopies;  // what the last WriteNumberedCopies wrote
};

// OpenKey in the constructor, CloseKey in the destructor.
class TSettingKey {
public:
    TSettingKey(TSetting& setting, const std::string& path)
        : FSetting(setting), FExists(setting.OpenKey(path))
    {
    }
    ~TSettingKey() { FSetting.CloseKey(); }
    TSettingKey(const TSettingKey&) = delete;
    TSettingKey& operator=(const TSettingKey&) = delete;
    bool Exists() const { return FExists; }

private:
    TSetting& FSetting;
    bool FExists;
};

// Folder helpers (Windows only; both end with "\").
std::string GetApplicationDir();
std::string GetAppDataDir();

// The configuration folder, with a trailing "\". Set to the application
// folder at start; moved to the multi-user folder when that mode is on.
extern std::string ConfigDir;
