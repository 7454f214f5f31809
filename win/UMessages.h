// The toolkit's own private window messages. A window of a layer above that
// has private messages of its own keeps their numbers clear of these (every
// form receives WM_FORM_SHOWN); the movie window and the analyser take theirs
// from WM_APP to WM_APP + 9.
#pragma once

#include <windows.h>

// The application's window: run the posted functions.
constexpr UINT WM_APP_POSTED = WM_APP + 10;
// A form or dialog is on the screen (posted once it is shown).
constexpr UINT WM_FORM_SHOWN = WM_APP + 50;
