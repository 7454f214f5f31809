// File-name comparison with the system's locale functions.
#include "base/UFileName.h"

#include <windows.h>

#include <vector>

namespace FileName {

int CompareFileNames(const std::string& a, const std::string& b)
{
    const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r == 0 ? a.compare(b) : r - CSTR_EQUAL;
}

std::string SortKey(const std::string& name)
{
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
