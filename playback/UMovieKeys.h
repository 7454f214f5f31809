// The keys of the movie window and the commands they stand for. Free of any
// Windows API; the key codes are the Windows virtual-key codes.
#pragma once

namespace MovieKey {
constexpr int Enter = 0x0D;   // VK_RETURN
constexpr int Escape = 0x1B;  // VK_ESCAPE
constexpr int Left = 0x25;    // VK_LEFT
constexpr int Up = 0x26;      // VK_UP
constexpr int Right = 0x27;   // VK_RIGHT
constexpr int Down = 0x28;    // VK_DOWN
constexpr int P = 'P';
constexpr int R = 'R';
constexpr int S = 'S';
constexpr int T = 'T';
constexpr int F4 = 0x73;  // VK_F4
}  // namespace MovieKey

enum class TMovieKeyCommand {
    None,
    ToggleFullScreen,   // Alt+Enter: toggle, record "\Common\FullScreen"
    LeaveFullScreen,    // Esc in full screen: off, record 0
    PlayPrevious,       // Ctrl+Left: SelectPrevious, play when >= 0
    PlayNext,           // Ctrl+Right: next, else first; play when >= 0
    VolumeUp,           // Ctrl+Up: volume + 1
    VolumeDown,         // Ctrl+Down: volume - 1
    PlayPause,          // Ctrl+P: pause when playing, else play
    ToggleScreenSaver,  // Ctrl+R: toggle suppression (not recorded)
    Stop,               // Ctrl+S
    ToggleTopMost,      // Ctrl+T: toggle, record "\Common\WindowMode\TopMost"
    HideMovieWindow,    // Ctrl+F4: hide, record "\Common\ShowMovieWindow" = 0
    Terminate,          // Alt+F4 without Ctrl: end the application
};

// Only the named modifier is tested; others held with it do not matter,
// except that Ctrl+F4 wins over Alt+F4.
TMovieKeyCommand MovieKeyCommand(int key, bool ctrl, bool alt, bool fullScreen);
