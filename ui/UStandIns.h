// Stand-ins for the parts the main window calls before they are built: the
// play list and the playlist collection, the controller, the tray icon and
// the environment dialog. Each holds only what the start-up and shutdown
// code needs, and goes away when the real part arrives.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/USetting.h"
#include "win/UForm.h"

namespace StandIn {

// A named list of paths.
class TPlayList {
public:
    explicit TPlayList(const std::string& name) : FName(name) {}
    const std::string& Name() const { return FName; }
    bool IsTemporary() const { return FName.compare(0, 9, "Temporary") == 0; }
    void Add(const std::string& path) { FPaths.push_back(path); }
    int FileCount() const { return static_cast<int>(FPaths.size()); }
    const std::string& Files(int i) const { return FPaths.at(i); }

private:
    std::string FName;
    std::vector<std::string> FPaths;
};

// The collection of lists.
class TPlayLists {
public:
    TPlayList& Append(const std::string& name);
    TPlayList* Find(const std::string& name) const;  // exact case
    std::string NextTemporaryName() const;           // "Temporary 2", "Temporary 3", ...
    void Sort();
    int Count() const { return static_cast<int>(FLists.size()); }
    TPlayList& Items(int i) const { return *FLists.at(i); }

private:
    std::vector<std::unique_ptr<TPlayList>> FLists;
};

// The controller: owns the global and GUI trees, the playlist folder and a
// hidden movie window.
class TController {
public:
    explicit TController(TForm& mainForm);
    TSetting& GlobalSetting() { return FGlobal; }
    TSetting& GUISetting() { return FGUI; }
    TPlayList* CurrentList() const { return FCurrent; }
    void SetPlayList(TPlayList* list);
    void StopPlayback() {}
    void EndLayered() {}
    void Play() {}
    void ApplyEnvironment();
    const std::string& PlayListDir() const { return FPlayListDir; }
    void SetPopupMenu(HMENU menu) { FPopupMenu = menu; }
    HWND MovieWindowHandle() const { return FMovieWindow.Handle(); }

private:
    class TMovieWindow : public TForm {
    public:
        TMovieWindow();
    };
    TSetting FGlobal;
    TSetting FGUI;
    TPlayList* FCurrent = nullptr;
    std::string FPlayListDir;
    HMENU FPopupMenu = nullptr;
    TMovieWindow FMovieWindow;
};

// The tray icon: only its visibility.
class TTrayIcon {
public:
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible) { FVisible = visible; }

private:
    bool FVisible = false;
};

// The environment dialog: not there yet; returns false (cancelled).
bool ShowEnvConfigDialog(TSetting& global, std::string& configDirText);

}  // namespace StandIn
