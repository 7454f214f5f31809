#include "playback/UDirectShow.h"

#include <errors.h>

#include "playback/UMediaMath.h"

namespace {

std::string SystemText(HRESULT hr)
{
    char buffer[160] = {};
    DWORD n = AMGetErrorTextA(hr, buffer, sizeof buffer);
    if (n > sizeof buffer) n = sizeof buffer;
    return std::string(buffer, n);
}

} // namespace

EDSError::EDSError(HRESULT hr) : Exception(DSErrorMessage(SystemText(hr), hr)), Code(hr) {}

bool RunningOnWine()
{
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}
