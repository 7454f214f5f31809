// The Windows pieces of the settings module: the folder helpers, the
// configuration folder and the last steps of an atomic save.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "settings/USetting.h"
#include "settings/USettingPlatform.h"

std::FILE* CreateNewFile(const std::string& name, bool& nameTaken)
{
    nameTaken = false;
    HANDLE h =
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // A folder of that name answers "access denied".
        nameTaken =
            code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ||
            (code == ERROR_ACCESS_DENIED && GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileA(name.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        DeleteFileA(name.c_str());
    }
    return file;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

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
