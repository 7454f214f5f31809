#include "ui/UPath.h"

#include <windows.h>

#include <cctype>

#include "settings/UException.h"

namespace {
bool IsLead(char c) { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)); }

// Index of the first single-byte "\" at or after from, or npos.
size_t NextDelimiter(const std::string& s, size_t from)
{
    for (size_t i = from; i < s.size(); ++i) {
        if (IsLead(s[i]) && i + 1 < s.size())
            ++i;
        else if (s[i] == '\\')
            return i;
    }
    return std::string::npos;
}
}  // namespace

size_t LastDelimiter(const std::string& path)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLead(path[i]) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\')
            last = i;
    }
    return last;
}

size_t RootLength(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
        return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        size_t server = NextDelimiter(path, 2);
        if (server == std::string::npos) return path.size();
        size_t share = NextDelimiter(path, server + 1);
        return share == std::string::npos ? path.size() : share + 1;
    }
    if (!path.empty() && path[0] == '\\') return 1;
    return 0;
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && LastDelimiter(path) == path.size() - 1) return path;
    return path + "\\";
}

std::string ExcludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && LastDelimiter(path) == path.size() - 1) return path.substr(0, path.size() - 1);
    return path;
}

std::string ExtractFileName(const std::string& path)
{
    size_t p = LastDelimiter(path);
    return p == std::string::npos ? path : path.substr(p + 1);
}

bool FileExists(const std::string& path)
{
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::string& path)
{
    DWORD a = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void ForceDirectories(const std::string& dir)
{
    std::string d = ExcludeTrailingPathDelimiter(dir);
    if (d.empty() || d.size() <= RootLength(d) || DirectoryExists(d)) return;
    size_t p = LastDelimiter(d);
    if (p != std::string::npos) ForceDirectories(d.substr(0, p + 1));
    if (!CreateDirectoryA(d.c_str(), nullptr) && !DirectoryExists(d))
        throw EFileError("フォルダ " + d + " を作成できませんでした");
}

std::string ResolveLongPath(const std::string& path)
{
    size_t root = RootLength(path);
    size_t p = LastDelimiter(path);
    std::string folder, name;
    if (p == std::string::npos || p < root) {
        folder = path.substr(0, root);
        name = path.substr(root);
    } else {
        folder = path.substr(0, p);
        name = path.substr(p + 1);
    }
    if (folder.empty() || name.empty()) return folder + name;
    // A wildcard would match some other entry of the folder.
    if (name.find_first_of("*?") != std::string::npos) return {};
    std::string resolved = ResolveLongPath(folder);
    if (resolved.empty()) return {};
    if (resolved.back() != ':') resolved = IncludeTrailingPathDelimiter(resolved);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((resolved + name).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return {};
    FindClose(h);
    fd.cFileName[MAX_PATH - 1] = '\0';
    return resolved + fd.cFileName;
}
