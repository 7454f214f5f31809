// Text on the screen. The program's text is code page 932, a character that
// code page cannot hold written as an escape ("Beyonc<U+00E9>",
// base/UCodePage.h); a window shows the real characters only when it is
// given them as UTF-16. So every text the toolkit puts on the screen goes
// through these: a text without an escape goes to the "A" call as it always
// did (no conversion, no cost), one with an escape to the wide call,
// unescaped. What is read back from a window is read wide and escaped again,
// so that a name put into a control comes back as the same name.
//
// The controls are wide windows (CreateControl): on Windows an edit control
// made by the "A" call keeps its text in the code page, and would lose the
// characters again.
#pragma once

#include <windows.h>

#include <string>

#include "base/UCodePage.h"

// The text may hold an escape and must reach the screen wide. ("<" is in no
// real file name: a text holding one is an escaped name or plain text that
// converts the same either way.)
inline bool NeedsWide(const std::string& text) { return CodePage::MayHoldEscape(text); }

// The characters the user sees for a text of the program.
std::wstring ScreenText(const std::string& text);

// A child control's text (a wide window): set, and read back in the
// program's form.
void SetWindowTextString(HWND hwnd, const std::string& text);
std::string GetWindowTextString(HWND hwnd);

// The caption of a window of our own classes (their procedures are "A"
// procedures, which would pass a wide text through the code page): set and
// read as the system keeps it, wide.
void SetCaptionString(HWND hwnd, const std::string& text);
std::string GetCaptionString(HWND hwnd);

// DrawTextA/W and GetTextExtentPoint32A/W.
int DrawTextString(HDC dc, const std::string& text, RECT& rect, UINT format);
bool TextExtentString(HDC dc, const std::string& text, SIZE& size);

// MessageBoxA/W; an empty caption is the system's ("エラー").
int MessageBoxString(HWND owner, const std::string& text, const std::string& caption, UINT flags);
