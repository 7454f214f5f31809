// The platform pieces of the settings module for POSIX systems (the native
// build that runs the portable tests).
#include <cstdio>
#include <string>

#include <unistd.h>

#include "settings/USetting.h"
#include "settings/USettingPlatform.h"

std::string ConfigDir;

bool CommitFile(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool ReplaceFileWith(const std::string& temp, const std::string& target)
{
    return std::rename(temp.c_str(), target.c_str()) == 0;
}
