#include "base/UFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/UException.h"
#include "base/UFileName.h"

namespace FileSystem {

namespace {

std::string NativePath(const std::string& path)
{
    std::string p(path);
    for (size_t i = 0; i < p.size();) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (FileName::IsLeadByte(c) && i + 1 < p.size()) {
            i += 2;
            continue;
        }
        if (c == '\\') p[i] = '/';
        ++i;
    }
    return p;
}

// A directory stream, closed when it goes out of scope.
class TDir {
public:
    explicit TDir(const std::string& path) : FDir(opendir(path.c_str())) {}
    ~TDir()
    {
        if (FDir) closedir(FDir);
    }
    TDir(const TDir&) = delete;
    TDir& operator=(const TDir&) = delete;
    DIR* Get() const { return FDir; }

private:
    DIR* FDir;
};

}  // namespace

bool DirectoryExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void ListFiles(const std::string& prefix, const std::function<void(const std::string& name)>& found)
{
    const std::string dir = NativePath(prefix);
    TDir d(dir.empty() ? "." : dir);
    if (!d.Get()) return;
    std::string name;
    while (dirent* e = readdir(d.Get())) {
        if (e->d_type == DT_DIR) continue;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st;
            if (stat((dir + e->d_name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        }
        name.assign(e->d_name);
        found(name);
    }
}

void CheckFileName(const std::string& fileName)
{
    const int fd =
        fileName.empty() ? -1 : open(NativePath(fileName).c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int err = fileName.empty() ? ENOENT : errno;
        throw EFileError("ファイル " + fileName + " を作成できません。\r\n" + std::strerror(err));
    }
    close(fd);
    unlink(NativePath(fileName).c_str());
}

bool MoveTo(const std::string& from, const std::string& to)
{
    const std::string f = NativePath(from), t = NativePath(to);
    struct stat st;
    if (stat(t.c_str(), &st) == 0) return false;
    return std::rename(f.c_str(), t.c_str()) == 0;
}

void Move(const std::string& from, const std::string& to)
{
    const std::string f = NativePath(from), t = NativePath(to);
    struct stat st;
    const int err = stat(t.c_str(), &st) == 0 ? EEXIST : (std::rename(f.c_str(), t.c_str()) == 0 ? 0 : errno);
    if (err) throw EFileError("ファイル " + from + " を " + to + " に移せません。\r\n" + std::strerror(err));
}

std::FILE* OpenForReading(const std::string& path) { return std::fopen(NativePath(path).c_str(), "rb"); }

bool Remove(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

bool CopyToNew(const std::string& from, const std::string& to)
{
    const int in = open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const std::string target = NativePath(to);
    const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = write(out, buffer, static_cast<size_t>(n)) == n;
    }
    close(in);
    if (out >= 0) {
        ok = close(out) == 0 && ok;
        if (!ok) unlink(target.c_str());
    }
    return ok;
}

bool CreateFolder(const std::string& path)
{
    return mkdir(NativePath(path).c_str(), 0777) == 0 || DirectoryExists(path);
}

std::string StoredName(const std::string& folder, const std::string& name)
{
    // A folder given as a drive ("C:") stands for its current folder.
    TDir dir(NativePath(folder.empty() ? std::string(".") : folder));
    if (!dir.Get()) return {};
    while (const dirent* e = readdir(dir.Get()))
        if (FileName::SameFileName(e->d_name, name)) return e->d_name;
    return {};
}

}  // namespace FileSystem
