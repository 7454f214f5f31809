// The numbers of the system's private window messages, all in one place so
// that no two of them meet in one window.
#pragma once

#include <windows.h>

// The analysis graph's event notification.
constexpr UINT WM_ANALYSER_GRAPHEVENT = WM_APP;
// The playback graph's event notification.
constexpr UINT WM_PLAYER_GRAPHEVENT = WM_APP + 1;
// The movie window polls the graph state after a state change.
constexpr UINT WM_PLAYER_SYNCVIDEO = WM_APP + 3;
// A new frame was drawn into the frame bitmap; put it on screen.
constexpr UINT WM_PLAYER_PRESENTFRAME = WM_APP + 4;
// The application's message-only window: run the posted functions.
constexpr UINT WM_APP_POSTED = WM_APP + 10;
// A form or dialog is on the screen (posted once it is shown).
constexpr UINT WM_FORM_SHOWN = WM_APP + 50;
// The tray icon's callback to its hidden window (lParam: the mouse message).
constexpr UINT WM_TASKTRAY_NOTIFY = WM_USER + 200;
