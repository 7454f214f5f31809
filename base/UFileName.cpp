// Delimiter and extension handling shared by both builds; only the
// comparisons differ (UFileNameWin.cpp, UFileNamePosix.cpp).
#include "base/UFileName.h"

#include "base/UCodePage.h"
#include "base/ULeadByte.h"

namespace FileName {

bool IsLeadByte(unsigned char c) { return IsLeadByte932(c); }

bool SameFileName(const std::string& a, const std::string& b)
{
    return a == b || CodePage::CompareNoCase(a, b) == 0;
}

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

namespace {

// Index of the first single-byte "\" at or after from, or npos.
size_t NextDelimiter(const std::string& s, size_t from)
{
    for (size_t i = from; i < s.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size())
            ++i;
        else if (s[i] == '\\')
            return i;
    }
    return std::string::npos;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

size_t RootLength(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':' && IsAsciiLetter(path[0]))
        return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const size_t server = NextDelimiter(path, 2);
        if (server == std::string::npos) return path.size();
        const size_t share = NextDelimiter(path, server + 1);
        return share == std::string::npos ? path.size() : share + 1;
    }
    if (!path.empty() && path[0] == '\\') return 1;
    return 0;
}

}  // namespace FileName
