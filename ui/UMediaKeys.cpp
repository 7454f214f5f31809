#include "ui/UMediaKeys.h"

namespace {

constexpr UINT VirtualKeys[4] = {VK_MEDIA_PLAY_PAUSE, VK_MEDIA_STOP, VK_MEDIA_NEXT_TRACK,
                                 VK_MEDIA_PREV_TRACK};
// A press seen as a hot key and as an application command within this time
// is one press (some keyboards and headsets send both).
constexpr DWORD SamePressMs = 300;
#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif

}  // namespace

TMediaKeys::TMediaKeys(std::function<void(TMediaKey)> onKey)
    : FOnKey(std::move(onKey)), FWindow("TReeloMediaKeys")
{
    for (int i = 0; i < 4; ++i) {
        // Held down, a key is one press; older systems know no MOD_NOREPEAT.
        FRegistered[i] = RegisterHotKey(FWindow.Handle(), i + 1, MOD_NOREPEAT, VirtualKeys[i]) ||
                         RegisterHotKey(FWindow.Handle(), i + 1, 0, VirtualKeys[i]);
    }
    FWindow.OnMessage = [this](UINT msg, WPARAM wp, LPARAM, LRESULT&) {
        if (msg != WM_HOTKEY || wp < 1 || wp > 4) return false;
        Press(static_cast<TMediaKey>(wp - 1), skHotKey);
        return true;
    };
}

TMediaKeys::~TMediaKeys()
{
    FWindow.OnMessage = nullptr;
    for (int i = 0; i < 4; ++i)
        if (FRegistered[i]) UnregisterHotKey(FWindow.Handle(), i + 1);
}

int TMediaKeys::HotKeys() const
{
    int n = 0;
    for (bool r : FRegistered) n += r ? 1 : 0;
    return n;
}

bool TMediaKeys::AppCommand(int command)
{
    switch (command) {
        case APPCOMMAND_MEDIA_PLAY_PAUSE:
            Press(TMediaKey::PlayPause, skAppCommand);
            return true;
        case APPCOMMAND_MEDIA_STOP:
            Press(TMediaKey::Stop, skAppCommand);
            return true;
        case APPCOMMAND_MEDIA_NEXTTRACK:
            Press(TMediaKey::NextTrack, skAppCommand);
            return true;
        case APPCOMMAND_MEDIA_PREVIOUSTRACK:
            Press(TMediaKey::PrevTrack, skAppCommand);
            return true;
        default:
            return false;
    }
}

void TMediaKeys::Press(TMediaKey key, TSource source)
{
    const int k = static_cast<int>(key);
    const DWORD now = GetTickCount();
    if (FLastSource[k] != skNone && FLastSource[k] != source && now - FLastTick[k] < SamePressMs) {
        FLastSource[k] = skNone;  // the pair is taken: the next press counts again
        return;
    }
    FLastSource[k] = source;
    FLastTick[k] = now;
    if (FOnKey) FOnKey(key);
}
