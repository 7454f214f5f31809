// Helpers of the Windows tests: temporary folders, small files, the real
// registry key of the configuration folder (saved and restored). Names may
// be escaped ("<U+2661>"): they reach the system in their real form.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// A fresh folder under the temporary folder, removed with its contents.
class TTempDir {
public:
    explicit TTempDir(const std::string& prefix = "reelo");
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    // With a trailing "\".
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

void RemoveTree(const std::string& dir);
void WriteTextFile(const std::string& file, const std::string& text);
std::string ReadTextFile(const std::string& file);
bool PathExists(const std::string& path);
// A silent 8 kHz mono 16-bit WAV file of that length.
void WriteWav(const std::string& path, int seconds);
// A file made by the controller tests' media fixture (the build tree, through Z:).
std::string ControllerMedia(const std::string& name);

// Saves HKCU\Software\Pondel\Reelo "Path" and restores it (or its absence).
class TRegistryPathGuard {
public:
    TRegistryPathGuard();
    ~TRegistryPathGuard();
    void Set(const std::string& value);
    void Remove();

private:
    bool FKeyExisted = false;
    bool FParentExisted = false;
    std::optional<std::string> FValue;
};

// Moves the per-user default configuration folder aside and back.
class TUserFolderGuard {
public:
    TUserFolderGuard();
    ~TUserFolderGuard();
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
    std::string FSaved;
};
