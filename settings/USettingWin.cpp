// The Windows pieces of the settings module: the folder helpers, the
// configuration folder and the last steps of an atomic save. Names go to the
// system through the wide calls in their real form and come back escaped.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "base/UCodePage.h"
#include "settings/USetting.h"
#include "settings/USettingPlatform.h"

std::FILE* CreateNewFile(const std::string& name, bool& nameTaken)
{
    nameTaken = false;
    const std::wstring wide = CodePage::ToWide(name);
    HANDLE h =
        CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // A folder of that name answers "access denied".
        nameTaken =
            code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ||
            (code == ERROR_ACCESS_DENIED && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileW(wide.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        DeleteFileW(wide.c_str());
    }
    return file;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool CommitFile(std::FILE* file) { return _commit(_fileno(file)) == 0; }

bool ReplaceFileWith(const std::string& temp, const std::string& target)
{
    return MoveFileExW(CodePage::ToWide(temp).c_str(), CodePage::ToWide(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string GetApplicationDir()
{
    // The longest path the wide calls know.
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
    buf.resize(n < buf.size() ? n : 0);
    const std::string path = CodePage::FromWide(buf);
    const std::size_t last = LastPathDelimiter(path);
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string GetAppDataDir()
{
    wchar_t buf[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buf) != 0)
        throw Exception("CSIDL_APPDATAフォルダを見つけられませんでした");
    buf[MAX_PATH - 1] = L'\0';
    return CodePage::FromWide(buf) + "\\";
}

// The application folder from the start; the start-up code moves it to the
// multi-user folder when that mode is on.
std::string ConfigDir = GetApplicationDir();
