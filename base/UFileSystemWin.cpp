// The file system on Windows: every name goes to the system through the
// wide calls, in its real form (escapes read), and comes back escaped.
#include "base/UFileSystem.h"

#include <algorithm>
#include <cstdio>

#include <windows.h>

#include "base/UCodePage.h"
#include "base/UException.h"

namespace FileSystem {

namespace {

// A FindFirstFile search, closed when it goes out of scope.
class TFindHandle {
public:
    explicit TFindHandle(HANDLE h) : FHandle(h) {}
    ~TFindHandle()
    {
        if (FHandle != INVALID_HANDLE_VALUE) FindClose(FHandle);
    }
    TFindHandle(const TFindHandle&) = delete;
    TFindHandle& operator=(const TFindHandle&) = delete;
    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

std::string SystemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (n && text) {
        result.assign(text, n);
        while (!result.empty() && (result.back() == '\r' || result.back() == '\n')) result.pop_back();
    }
    if (text) LocalFree(text);
    if (result.empty()) result = "エラーコード " + std::to_string(code);
    return result;
}

std::wstring Wide(const std::string& path) { return CodePage::ToWide(path); }

}  // namespace

bool DirectoryExists(const std::string& path)
{
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path)
{
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void ListFiles(const std::string& prefix, const std::function<void(const std::string& name)>& found)
{
    WIN32_FIND_DATAW data;
    TFindHandle find(FindFirstFileExW(Wide(prefix + "*.*").c_str(), FindExInfoBasic, &data,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find.Valid()) return;
    std::string name;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // Volume labels do not appear in folder listings of NT systems; the
        // attribute is still honoured.
        if (data.dwFileAttributes & 0x8) continue;
        name = CodePage::FromWide(data.cFileName);
        found(name);
    } while (FindNextFileW(find.Get(), &data));
}

void CheckFileName(const std::string& fileName)
{
    const std::wstring wide = Wide(fileName);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        throw EFileError("ファイル " + fileName + " を作成できません。\r\n" + SystemMessage(code));
    }
    CloseHandle(h);
    ::DeleteFileW(wide.c_str());
}

bool MoveTo(const std::string& from, const std::string& to)
{
    return ::MoveFileW(Wide(from).c_str(), Wide(to).c_str()) != FALSE;
}

void Move(const std::string& from, const std::string& to)
{
    if (::MoveFileW(Wide(from).c_str(), Wide(to).c_str())) return;
    const DWORD code = GetLastError();
    throw EFileError("ファイル " + from + " を " + to + " に移せません。\r\n" + SystemMessage(code));
}

std::FILE* OpenForReading(const std::string& path) { return _wfopen(Wide(path).c_str(), L"rb"); }

bool Remove(const std::string& path) { return ::DeleteFileW(Wide(path).c_str()) != FALSE; }

bool CopyToNew(const std::string& from, const std::string& to)
{
    return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), TRUE) != FALSE;
}

bool CreateFolder(const std::string& path)
{
    return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE || DirectoryExists(path);
}

std::string StoredName(const std::string& folder, const std::string& name)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Wide(folder + name).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return {};
    FindClose(h);
    fd.cFileName[MAX_PATH - 1] = L'\0';
    return CodePage::FromWide(fd.cFileName);
}

}  // namespace FileSystem
