// The platform's part of the code page conversions, through the system's
// code page 932 (named, not the ANSI code page: the program's text is 932
// whatever the system's setting).
#include <windows.h>

#include "base/UCodePage.h"
#include "base/UCodePageSystem.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide strings");

namespace CodePage {

namespace {

constexpr UINT Japanese = 932;

const wchar_t* Wide(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }

}  // namespace

namespace System {

bool Decode(std::string_view ansi, std::u16string& wide)
{
    if (ansi.empty()) return true;
    const int len = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(Japanese, MB_ERR_INVALID_CHARS, ansi.data(), len, nullptr, 0);
    if (n <= 0) return false;
    const size_t size = wide.size();
    wide.resize(size + static_cast<size_t>(n));
    if (MultiByteToWideChar(Japanese, MB_ERR_INVALID_CHARS, ansi.data(), len,
                            reinterpret_cast<wchar_t*>(&wide[size]), n) == n)
        return true;
    wide.resize(size);
    return false;
}

// WC_NO_BEST_FIT_CHARS leaves out the look-alikes ("é" as "e"); the way
// back catches a character the table maps to bytes that read as another.
bool Encode(std::u16string_view wide, std::string& ansi)
{
    if (wide.empty()) return true;
    const int len = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(Japanese, WC_NO_BEST_FIT_CHARS, Wide(wide), len, nullptr, 0, nullptr,
                                      &usedDefault);
    if (n <= 0 || usedDefault) return false;
    std::string out(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(Japanese, WC_NO_BEST_FIT_CHARS, Wide(wide), len, &out[0], n, nullptr,
                            &usedDefault) != n ||
        usedDefault)
        return false;
    std::u16string back;
    if (!Decode(out, back) || back != wide) return false;
    ansi += out;
    return true;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.empty() || b.empty()) return a.size() == b.size() ? 0 : a.empty() ? -1 : 1;
    const int r =
        CompareStringOrdinal(Wide(a), static_cast<int>(a.size()), Wide(b), static_cast<int>(b.size()), TRUE);
    return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

}  // namespace System

std::wstring ToWide(std::string_view text)
{
    std::u16string wide;
    ToUtf16(text, wide);
    return std::wstring(wide.begin(), wide.end());
}

std::string FromWide(std::wstring_view wide)
{
    return FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace CodePage
