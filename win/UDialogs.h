// Message boxes, the text input box, the open-file dialog (several files),
// the save-file dialog and the folder browser. Paths are code page 932 text,
// names outside it escaped (base/UCodePage.h); the dialogs get and give them
// in their real form.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A message box owned by owner (nullptr: the active window), showing the
// real characters of escaped names; the caption defaults to the
// application's title.
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption = {}, UINT flags = MB_OK);

// A modal box with a prompt and an edit field. Returns true on OK with the
// edited text in value; value is unchanged on cancel.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// Test hook: called with the input box's window once it is showing (tests
// fill in the text and press a button through it).
extern void (*InputQueryShownHook)(HWND box);

// The open-file dialog with several files allowed. filter is the dialog's
// list of pairs ("動画\0*.avi;*.mpg\0すべて\0*.*\0"). The chosen files
// with full paths; empty when cancelled.
std::vector<std::string> OpenFilesDialog(HWND owner, const std::string& title, const std::string& filter,
                                         const std::string& initialDir = {});
// The full paths in the multi-select result of the open-file dialog: a
// folder and names each ended by a zero byte, or one full path.
std::vector<std::string> SplitOpenFileNames(const char* buffer);

// The save-file dialog; asks before a file is replaced. defaultExt (no dot)
// is added to a name typed without an extension; fileName is offered first.
// The chosen file's full path; empty when cancelled.
std::string SaveFileDialog(HWND owner, const std::string& title, const std::string& filter,
                           const std::string& defaultExt, const std::string& fileName = {},
                           const std::string& initialDir = {});

// Test hook: called with the open- or save-file dialog's window once it is
// showing (tests fill in the name and press OK through it).
extern void (*FileDialogShownHook)(HWND dialog);

// The folder browser; the chosen folder's path, or empty when cancelled.
std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialDir = {});
