#include "playback/UMovieKeys.h"

TMovieKeyCommand MovieKeyCommand(int key, bool ctrl, bool alt, bool fullScreen)
{
    using C = TMovieKeyCommand;
    switch (key) {
        case MovieKey::Enter:
            return alt ? C::ToggleFullScreen : C::None;
        case MovieKey::Escape:
            return fullScreen ? C::LeaveFullScreen : C::None;
        case MovieKey::F4:
            if (ctrl) return C::HideMovieWindow;
            return alt ? C::Terminate : C::None;
        default:
            break;
    }
    if (!ctrl) return C::None;
    switch (key) {
        case MovieKey::Left:
            return C::PlayPrevious;
        case MovieKey::Right:
            return C::PlayNext;
        case MovieKey::Up:
            return C::VolumeUp;
        case MovieKey::Down:
            return C::VolumeDown;
        case MovieKey::P:
            return C::PlayPause;
        case MovieKey::R:
            return C::ToggleScreenSaver;
        case MovieKey::S:
            return C::Stop;
        case MovieKey::T:
            return C::ToggleTopMost;
        default:
            return C::None;
    }
}
