// The file-system operations built on each platform's primitives.
#include "base/UFileSystem.h"

#include <algorithm>

#include "base/UException.h"
#include "base/UFileName.h"

namespace FileSystem {

bool ReadFile(const std::string& path, std::string& bytes, size_t limit)
{
    bytes.clear();
    std::FILE* f = OpenForReading(path);
    if (!f) return false;
    char buf[65536];
    size_t n = 0;
    while (bytes.size() <= limit && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, std::min(n, limit + 1 - bytes.size()));
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void ForceDirectories(const std::string& dir)
{
    const std::string d = FileName::ExcludeTrailingPathDelimiter(dir);
    if (d.empty() || d.size() <= FileName::RootLength(d) || DirectoryExists(d)) return;
    const size_t p = FileName::LastDelimiter(d, false);
    if (p != std::string::npos) ForceDirectories(d.substr(0, p + 1));
    if (!CreateFolder(d)) throw EFileError("フォルダ " + d + " を作成できませんでした");
}

std::string ResolveLongPath(const std::string& path)
{
    const size_t root = FileName::RootLength(path);
    const size_t p = FileName::LastDelimiter(path, false);
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
    if (resolved.back() != ':') resolved = FileName::IncludeTrailingPathDelimiter(resolved);
    const std::string stored = StoredName(resolved, name);
    return stored.empty() ? std::string() : resolved + stored;
}

}  // namespace FileSystem
