// The platform pieces of the settings module for POSIX systems (the native
// build that runs the portable tests).
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "settings/USetting.h"
#include "settings/USettingPlatform.h"

std::string ConfigDir;

std::FILE* CreateNewFile(const std::string& name, bool& nameTaken)
{
    nameTaken = false;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        nameTaken = errno == EEXIST;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        ::unlink(name.c_str());
    }
    return file;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool CommitFile(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool ReplaceFileWith(const std::string& temp, const std::string& target)
{
    return std::rename(temp.c_str(), target.c_str()) == 0;
}
