// File-name comparison with the system's locale functions.
#include "base/UFileName.h"

#include <windows.h>

#include <vector>

#include "base/UCodePage.h"

namespace FileName {

namespace {

// The locale's key of the real name (it ends with a zero byte, found
// nowhere else in it), then its UTF-16 units upper-cased, high byte first:
// two names the locale cannot tell apart are still two names unless they
// differ in letter case only.
std::string WideSortKey(const std::string& name)
{
    const std::wstring wide = CodePage::ToWide(name);
    const int len = static_cast<int>(wide.size());
    std::string key;
    int n =
        len ? LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, wide.data(), len, nullptr, 0)
            : 0;
    if (n > 0) {
        key.resize(static_cast<size_t>(n));
        // The key is bytes, its size counted in bytes.
        n = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, wide.data(), len,
                         reinterpret_cast<wchar_t*>(&key[0]), n);
        key.resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
    if (key.empty() || key.back() != '\0') key.push_back('\0');
    std::wstring upper = wide;
    if (len) LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.data(), len, &upper[0], len);
    for (const wchar_t c : upper) {
        key.push_back(static_cast<char>(c >> 8));
        key.push_back(static_cast<char>(c & 0xFF));
    }
    return key;
}

}  // namespace

int CompareFileNames(const std::string& a, const std::string& b)
{
    if (CodePage::MayHoldEscape(a) || CodePage::MayHoldEscape(b)) {
        const int r = SortKey(a).compare(SortKey(b));
        return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r == 0 ? a.compare(b) : r - CSTR_EQUAL;
}

std::string SortKey(const std::string& name)
{
    if (CodePage::MayHoldEscape(name)) return WideSortKey(name);  // the real name, through the wide calls
    char local[512];
    const int len = static_cast<int>(name.size());
    int n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.data(), len, local,
                         sizeof local);
    if (n > 0) return std::string(local, n);
    n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.data(), len, nullptr, 0);
    if (n <= 0) return name;
    std::vector<char> buf(n);
    n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.data(), len, buf.data(), n);
    return std::string(buf.data(), n > 0 ? n : 0);
}

}  // namespace FileName
