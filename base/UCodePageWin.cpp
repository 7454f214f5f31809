// The code page conversions through the system, by way of UTF-16.
#include <windows.h>

#include "base/UCodePage.h"

namespace CodePage {

namespace {

bool ToWide(UINT codePage, std::string_view in, std::wstring& wide)
{
    wide.clear();
    if (in.empty()) return true;
    const int len = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), len, nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), len, &wide[0], n) == n;
}

bool FromWide(UINT codePage, const std::wstring& wide, std::string& out)
{
    out.clear();
    if (wide.empty()) return true;
    const int len = static_cast<int>(wide.size());
    // UTF-8 takes neither flag nor default-character report.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), len, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault) return false;
    out.resize(static_cast<size_t>(n));
    return WideCharToMultiByte(codePage, flags, wide.data(), len, &out[0], n, nullptr, used) == n &&
           !usedDefault;
}

}  // namespace

bool Utf8ToAnsi(std::string_view utf8, std::string& ansi)
{
    std::wstring wide;
    return ToWide(CP_UTF8, utf8, wide) && FromWide(CP_ACP, wide, ansi);
}

bool AnsiToUtf8(std::string_view ansi, std::string& utf8)
{
    std::wstring wide;
    return ToWide(CP_ACP, ansi, wide) && FromWide(CP_UTF8, wide, utf8);
}

}  // namespace CodePage
