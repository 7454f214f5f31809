// The keyboard's media keys (play/pause, stop, next and previous track),
// whichever window is active: hot keys of the session while no other
// program holds them, and WM_APPCOMMAND while one of our windows has the
// focus. A press that comes both ways is taken once.
#pragma once

#include <windows.h>

#include <functional>

#include "win/UMessageWindow.h"

enum class TMediaKey { PlayPause, Stop, NextTrack, PrevTrack };

class TMediaKeys {
public:
    // Registers the hot keys; a key that another program holds is passed
    // over silently (its WM_APPCOMMAND still works while we have the focus).
    explicit TMediaKeys(std::function<void(TMediaKey)> onKey);
    ~TMediaKeys();
    TMediaKeys(const TMediaKeys&) = delete;
    TMediaKeys& operator=(const TMediaKeys&) = delete;

    // A WM_APPCOMMAND's command (GET_APPCOMMAND_LPARAM) that reached one of
    // our windows; true when it is a media key, which was taken.
    bool AppCommand(int command);
    // How many of the four keys are hot keys of ours.
    int HotKeys() const;

private:
    enum TSource { skNone, skHotKey, skAppCommand };
    void Press(TMediaKey key, TSource source);

    std::function<void(TMediaKey)> FOnKey;
    TMessageWindow FWindow;
    bool FRegistered[4] = {};
    TSource FLastSource[4] = {skNone, skNone, skNone, skNone};
    DWORD FLastTick[4] = {};
};
