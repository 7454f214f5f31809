#include "win/UScreenText.h"

#include "base/UCodePage.h"

std::wstring ScreenText(const std::string& text) { return CodePage::ToWide(text); }

void SetWindowTextString(HWND hwnd, const std::string& text)
{
    if (NeedsWide(text))
        SetWindowTextW(hwnd, ScreenText(text).c_str());
    else
        SetWindowTextA(hwnd, text.c_str());
}

std::string GetWindowTextString(HWND hwnd)
{
    int n = GetWindowTextLengthW(hwnd);
    if (n <= 0) return {};
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(hwnd, &s[0], n + 1);
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return CodePage::FromWide(s);
}

// DefWindowProcW keeps the text as the window's own, wide, without the
// window's procedure in between.
void SetCaptionString(HWND hwnd, const std::string& text)
{
    if (!NeedsWide(text)) {
        SetWindowTextA(hwnd, text.c_str());
        return;
    }
    const std::wstring wide = ScreenText(text);
    DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string GetCaptionString(HWND hwnd)
{
    const LRESULT n = DefWindowProcW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (n <= 0) return {};
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got = DefWindowProcW(hwnd, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return CodePage::FromWide(s);
}

int DrawTextString(HDC dc, const std::string& text, RECT& rect, UINT format)
{
    if (!NeedsWide(text)) return DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
    const std::wstring wide = ScreenText(text);
    return DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format);
}

bool TextExtentString(HDC dc, const std::string& text, SIZE& size)
{
    if (!NeedsWide(text))
        return GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size) != FALSE;
    const std::wstring wide = ScreenText(text);
    return GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size) != FALSE;
}

int MessageBoxString(HWND owner, const std::string& text, const std::string& caption, UINT flags)
{
    if (!NeedsWide(text) && !NeedsWide(caption))
        return MessageBoxA(owner, text.c_str(), caption.empty() ? nullptr : caption.c_str(), flags);
    const std::wstring wideCaption = ScreenText(caption);
    return MessageBoxW(owner, ScreenText(text).c_str(), caption.empty() ? nullptr : wideCaption.c_str(),
                       flags);
}
