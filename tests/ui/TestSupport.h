// Helpers of the Windows tests: temporary folders, small files, the real
// registry key of the configuration folder (saved and restored), and
// Reelo.exe as a child process with the windows it shows. Names may be
// escaped ("<U+2661>"): they reach the system in their real form.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// The build tree's folder or file sub ("bin/Reelo.exe") as a Windows path
// (through drive Z:).
std::string BuildPath(const std::string& sub);
// Copies Reelo.exe and TsFilter.dll from the build into programDir (made if
// missing); false when that fails.
bool CopyProgram(const std::string& programDir);

// Polls done every 50 ms until it holds (true) or timeoutMs have passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000);

std::string WindowText(HWND window);
// The texts of a window's children, each followed by "|" (of a message box:
// its message and its buttons).
std::string ChildTexts(HWND window);
// A top-level window of the process pid by class whose text contains
// caption; visible ones only unless hidden is set.
HWND FindProcessWindow(DWORD pid, const char* className, const std::string& caption = {},
                       bool hidden = false);

// Reelo.exe of a program folder as a child process; ended when it still runs
// as this goes (so that it is gone before the next start, which would
// otherwise hand itself to it).
class TReelo {
public:
    // Started in folder (default: the program folder).
    TReelo(const std::string& programDir, const std::string& args, const std::string& folder = {});
    ~TReelo();
    TReelo(const TReelo&) = delete;
    TReelo& operator=(const TReelo&) = delete;

    bool Running() const;
    HWND Find(const char* className, const std::string& caption = {}, bool hidden = false) const;
    // The same, waiting up to timeoutMs for it to appear; nullptr as soon as
    // the process has ended.
    HWND WaitWindow(const char* className, const std::string& caption = {}, bool hidden = false,
                    int timeoutMs = 20000) const;
    // The message box of the process whose texts contain text, waiting up to
    // timeoutMs for it (its text is filled in while it initialises).
    HWND WaitMessageBox(const std::string& text = {}, int timeoutMs = 20000) const;
    // The message boxes and other dialogs of the process on the screen.
    std::vector<HWND> Boxes() const;
    // The main window once its creation has finished (its list combo box is
    // filled at the end of it; visibility is settled right after).
    HWND MainWindow(bool visible = true) const;
    // The text of a child of a window, waiting up to timeoutMs for it to
    // become want (returns the last text seen).
    static std::string Text(HWND parent, UINT id, const std::string& want = {}, int timeoutMs = 0);
    // Ends the session as Windows does: every top-level window is asked, then
    // told, then the process is ended. True when every window agreed.
    bool EndSession();
    // The exit code, or 0xFFFFFFFF when it still runs after timeoutMs.
    DWORD WaitExit(int timeoutMs = 20000);

private:
    PROCESS_INFORMATION FPi = {};
};

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
