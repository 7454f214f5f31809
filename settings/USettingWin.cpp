// The Windows pieces of the settings module: the folder helpers, the
// configuration folder and the last steps of an atomic save.
#include <windows.h>

#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "settings/USetting.h"
#include "settings/USettingPlatform.h"

bool CommitFile(std::FILE* file) { return _commit(_fileno(file)) == 0; }

bool ReplaceFileWith(const std::string& temp, const std::string& target)
{
    return MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string GetApplicationDir()
{
    char buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string path(buf, n < MAX_PATH ? n : MAX_PATH);
    const std::size_t last = LastPathDelimiter(path);
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string GetAppDataDir()
{
    char buf[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, buf) != 0)
        throw Exception("CSIDL_APPDATAフォルダを見つけられませんでした");
    buf[MAX_PATH - 1] = '\0';
    return std::string(buf) + "\\";
}

// The application folder from the start; the start-up code moves it to the
// multi-user folder when that mode is on.
std::string ConfigDir = GetApplicationDir();
