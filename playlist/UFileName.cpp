// Delimiter and extension handling shared by both builds; only IsLeadByte
// and the comparisons differ (UFileNameWin.cpp, UFileNamePosix.cpp).
#include "playlist/UFileName.h"

namespace FileName {

size_t LastDelimiter(const std::string& path, bool withColon)
{
    size_t last = std::string::npos;
    const size_t n = path.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c) && i + 1 < n) {
            i += 2;
            continue;
        }
        if (c == '\\' || (withColon && c == ':')) last = i;
        ++i;
    }
    return last;
}

std::string ExtractFileName(const std::string& path)
{
    const size_t d = LastDelimiter(path);
    return d == std::string::npos ? path : path.substr(d + 1);
}

std::string ExtractFilePath(const std::string& path)
{
    const size_t d = LastDelimiter(path, false);
    return d == std::string::npos ? std::string() : path.substr(0, d + 1);
}

std::string ExtractDisplayName(const std::string& path)
{
    std::string name = ExtractFileName(path);
    size_t dot = std::string::npos;
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            i += 2;
            continue;
        }
        if (c == '.') dot = i;
        ++i;
    }
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

// True when the last byte of the path is a "\" of its own, not the trail
// byte of a double-byte character.
static bool EndsWithDelimiter(const std::string& path)
{
    if (path.empty()) return false;
    const size_t d = LastDelimiter(path, false);
    return d == path.size() - 1;
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (path.empty() || EndsWithDelimiter(path)) return path;
    return path + '\\';
}

std::string ExcludeTrailingPathDelimiter(const std::string& path)
{
    if (EndsWithDelimiter(path)) return path.substr(0, path.size() - 1);
    return path;
}

}  // namespace FileName
