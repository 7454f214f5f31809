// Message boxes and the text input box.
#pragma once

#include <windows.h>

#include <string>

// MessageBoxA owned by owner (nullptr: the active window); the caption
// defaults to the application's title.
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption = {}, UINT flags = MB_OK);

// A modal box with a prompt and an edit field. Returns true on OK with the
// edited text in value; value is unchanged on cancel.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// Test hook: called with the input box's window once it is showing (tests
// fill in the text and press a button through it).
extern void (*InputQueryShownHook)(HWND box);
