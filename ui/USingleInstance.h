// One player per user session. The first Reelo of the session owns the
// player (a named lock of the session); a later start hands its command
// line, with its current folder, to the window that the player listens on,
// and ends. The player takes each command line as its own: starts that come
// within half a second of each other make one list, in the order they came,
// and the player comes to the front. A player that does not take the
// command line within a few seconds (hung, or closing) does not swallow it:
// the start then runs as a player of its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/UCommandLine.h"
#include "win/UMessageWindow.h"

// The session's player lock; its owner is the player. Taken at once when it
// is free; released when the object goes, after the player has saved.
class TPlayerLock {
public:
    TPlayerLock();
    ~TPlayerLock();
    TPlayerLock(const TPlayerLock&) = delete;
    TPlayerLock& operator=(const TPlayerLock&) = delete;

    // Also true when no lock could be made (every start is a player then).
    bool Owned() const { return FOwned; }
    // Waits up to ms for the lock to come free (its owner ended) and takes it.
    bool TryTake(DWORD ms);

private:
    HANDLE FMutex = nullptr;
    bool FOwned = false;
};

// Whether the settings file that this program would load allows a player of
// its own for every start ("MultipleInstances"). False when it cannot be read.
bool MultipleInstancesAllowed();

enum class THandOver {
    Taken,    // the player has it: this process ends
    Owner,    // the player ended meanwhile: this process is the player now
    OnItsOwn  // not taken (in time): this process runs as a player of its own
};

// Hands this process's command line and current folder to the running
// player, trying for up to timeoutMs while it starts or ends.
THandOver HandOverCommandLine(TPlayerLock& lock, DWORD timeoutMs = 5000);

// What the running player offers the command lines it is handed.
struct TPlayerHooks {
    // Whether a command line may be applied now (no modal dialog up).
    std::function<bool()> Ready;
    // The player's own "MultipleInstances": later starts run on their own.
    std::function<bool()> MultipleInstances;
    // Applies the arguments as the program's command line.
    std::function<void(const std::vector<std::string>& args)> ApplyCommandLine;
    // The name of the current play list.
    std::function<std::string()> CurrentListName;
    // Brings the main window to the front (out of the tray if it is there).
    std::function<void()> BringToFront;
};

// The player's side: the window later starts find, and the command lines
// they hand over, applied when the player is ready.
class TCommandLineReceiver {
public:
    // ownArgs: the player's own command line, which it applied at start;
    // starts that come right after it go into the list it made.
    TCommandLineReceiver(TPlayerHooks hooks, const std::vector<std::string>& ownArgs);
    ~TCommandLineReceiver();
    TCommandLineReceiver(const TCommandLineReceiver&) = delete;
    TCommandLineReceiver& operator=(const TCommandLineReceiver&) = delete;

    // The class of the receiving window (a message-only window).
    static const char* const ClassName;

private:
    struct TStart {
        TCommandLine Line;
        bool Empty = true;     // no arguments at all
        DWORD Arrival = 0;     // tick count
        uint64_t Created = 0;  // the process's creation time, in ms
    };
    static bool Together(const TStart& earlier, const TStart& later);
    LRESULT Receive(const COPYDATASTRUCT& data);
    void ApplyWaiting();
    void Apply(const std::vector<TStart>& group);
    bool Ready() const;

    TPlayerHooks FHooks;
    TMessageWindow FWindow;
    std::vector<std::vector<TStart>> FWaiting;  // groups, in the order they came
    TStart FLast;                               // the last start applied: the player's own at first
    // What a start that joins the last one carries on: its /A, and the list
    // it went into (none: a joining start makes a list of its own).
    TCommandLine FLastLine;
    bool FApplying = false;
};
