#include "tests/ui/TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "base/UCodePage.h"
#include "ui/UConfigLocation.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"

TTempDir::TTempDir(const std::string& prefix)
{
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    static int counter = 0;
    for (;;) {
        std::string p = FileName::IncludeTrailingPathDelimiter(tmp) + prefix + "-" +
                        std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        if (CreateDirectoryA(p.c_str(), nullptr)) {
            FPath = p + "\\";
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + p);
    }
}

TTempDir::~TTempDir() { RemoveTree(FPath); }

void RemoveTree(const std::string& dir)
{
    // Names in any form: wide calls, escaped names.
    std::string base = FileName::IncludeTrailingPathDelimiter(dir);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(CodePage::ToWide(base + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = CodePage::FromWide(fd.cFileName);
            if (name == "." || name == "..") continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(base + name);
            else
                DeleteFileW(CodePage::ToWide(base + name).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(CodePage::ToWide(FileName::ExcludeTrailingPathDelimiter(base)).c_str());
}

void WriteTextFile(const std::string& file, const std::string& text)
{
    if (std::FILE* f = _wfopen(CodePage::ToWide(file).c_str(), L"wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

std::string ReadTextFile(const std::string& file)
{
    std::string text;
    if (std::FILE* f = _wfopen(CodePage::ToWide(file).c_str(), L"rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesW(CodePage::ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TRegistryPathGuard::TRegistryPathGuard()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Pondel", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        FParentExisted = true;
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        FKeyExisted = true;
        char buf[1024];
        DWORD size = sizeof(buf), type = 0;
        if (RegQueryValueExA(key, RegistryPathValue, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ)
            FValue = std::string(buf, size && buf[size - 1] == 0 ? size - 1 : size);
        RegCloseKey(key);
    }
}

TRegistryPathGuard::~TRegistryPathGuard()
{
    if (!FKeyExisted) {
        RegDeleteKeyA(HKEY_CURRENT_USER, RegistryKeyPath);
        if (!FParentExisted) RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Pondel");
        return;
    }
    if (FValue)
        Set(*FValue);
    else
        Remove();
}

void TRegistryPathGuard::Set(const std::string& value)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the registry key");
    const std::wstring wide = CodePage::ToWide(value);
    RegSetValueExW(key, CodePage::ToWide(RegistryPathValue).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void TRegistryPathGuard::Remove()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, RegistryPathValue);
        RegCloseKey(key);
    }
}

TUserFolderGuard::TUserFolderGuard() : FPath(UserDefaultConfigDir())
{
    std::string dir = FileName::ExcludeTrailingPathDelimiter(FPath);
    if (PathExists(dir)) {
        FSaved = dir + ".saved-by-test";
        RemoveTree(FSaved);
        MoveFileA(dir.c_str(), FSaved.c_str());
    }
}

TUserFolderGuard::~TUserFolderGuard()
{
    std::string dir = FileName::ExcludeTrailingPathDelimiter(FPath);
    RemoveTree(dir);
    if (!FSaved.empty()) MoveFileA(FSaved.c_str(), dir.c_str());
}

// A silent 8 kHz mono 16-bit WAV file.
void WriteWav(const std::string& path, int seconds)
{
    const uint32_t data = 8000u * 2u * static_cast<uint32_t>(seconds);
    std::string h = "RIFF";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&](uint16_t v) {
        h += static_cast<char>(v & 0xFF);
        h += static_cast<char>(v >> 8);
    };
    u32(36 + data);
    h += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    h += "data";
    u32(data);
    WriteTextFile(path, h + std::string(data, '\0'));
}

std::string BuildPath(const std::string& sub)
{
    // REELO_BINARY_DIR is a Unix path; Wine maps it through drive Z:.
    const char* bin = getenv("REELO_BINARY_DIR");
    std::string path = "Z:" + std::string(bin ? bin : "") + "/" + sub;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ControllerMedia(const std::string& name) { return BuildPath("controller-media/" + name); }

bool CopyProgram(const std::string& programDir)
{
    FileSystem::ForceDirectories(programDir);
    for (const char* file : {"Reelo.exe", "TsFilter.dll"})
        if (!CopyFileA(BuildPath(std::string("bin/") + file).c_str(), (programDir + file).c_str(), FALSE))
            return false;
    return true;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    for (int waited = 0;; waited += 50) {
        if (done()) return true;
        if (waited >= timeoutMs) return false;
        Sleep(50);
    }
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ChildTexts(HWND window)
{
    std::string texts;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM lp) -> BOOL {
            *reinterpret_cast<std::string*>(lp) += WindowText(child) + "|";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

HWND FindProcessWindow(DWORD pid, const char* className, const std::string& caption, bool hidden)
{
    struct TQuery {
        DWORD Pid;
        const char* ClassName;
        const std::string& Caption;
        bool Hidden;
        HWND Found;
    } query{pid, className, caption, hidden, nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto& q = *reinterpret_cast<TQuery*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            char name[64] = {};
            GetClassNameA(h, name, sizeof name);
            if (owner != q.Pid || strcmp(name, q.ClassName) != 0 || (!q.Hidden && !IsWindowVisible(h)))
                return TRUE;
            if (!q.Caption.empty() && WindowText(h).find(q.Caption) == std::string::npos) return TRUE;
            q.Found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.Found;
}

TReelo::TReelo(const std::string& programDir, const std::string& args, const std::string& folder)
{
    // Escaped names are given in their real form, as the shell gives them.
    const std::string cmd = "\"" + programDir + "Reelo.exe\" " + args;
    std::wstring wide = CodePage::ToWide(cmd);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr,
                        CodePage::ToWide(folder.empty() ? programDir : folder).c_str(), &si, &FPi))
        throw std::runtime_error("cannot start " + cmd);
}

TReelo::~TReelo()
{
    if (Running()) {
        TerminateProcess(FPi.hProcess, 99);
        WaitForSingleObject(FPi.hProcess, 10000);
    }
    CloseHandle(FPi.hThread);
    CloseHandle(FPi.hProcess);
}

bool TReelo::Running() const { return WaitForSingleObject(FPi.hProcess, 0) == WAIT_TIMEOUT; }

HWND TReelo::Find(const char* className, const std::string& caption, bool hidden) const
{
    return FindProcessWindow(FPi.dwProcessId, className, caption, hidden);
}

HWND TReelo::WaitWindow(const char* className, const std::string& caption, bool hidden, int timeoutMs) const
{
    HWND found = nullptr;
    WaitFor([&] { return (found = Find(className, caption, hidden)) != nullptr || !Running(); }, timeoutMs);
    return found;
}

HWND TReelo::WaitMessageBox(const std::string& text, int timeoutMs) const
{
    HWND box = nullptr;
    WaitFor(
        [&] {
            for (HWND h : Boxes())
                if (ChildTexts(h).find(text) != std::string::npos) {
                    box = h;
                    return true;
                }
            return !Running();
        },
        timeoutMs);
    return box;
}

std::vector<HWND> TReelo::Boxes() const
{
    std::vector<HWND> boxes;
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, "#32770", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == FPi.dwProcessId && IsWindowVisible(h)) boxes.push_back(h);
    }
    return boxes;
}

HWND TReelo::MainWindow(bool visible) const
{
    HWND h = WaitWindow("TMainForm", {}, true, 15000);
    if (!h) return nullptr;
    for (int waited = 0; waited < 15000; waited += 20) {
        HWND combo = FindWindowExA(h, nullptr, "ComboBox", nullptr);
        if (combo && SendMessageA(combo, CB_GETCOUNT, 0, 0) > 0) break;
        Sleep(20);
    }
    for (int waited = 0; visible && waited < 5000 && !IsWindowVisible(h); waited += 20) Sleep(20);
    if (!visible) Sleep(300);
    return h;
}

std::string TReelo::Text(HWND parent, UINT id, const std::string& want, int timeoutMs)
{
    std::string text;
    WaitFor([&] { return (text = WindowText(GetDlgItem(parent, id))) == want; }, timeoutMs);
    return text;
}

bool TReelo::EndSession()
{
    std::vector<HWND> windows;
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == FPi.dwProcessId) windows.push_back(h);
    }
    bool agreed = !windows.empty();
    for (HWND h : windows) {
        DWORD_PTR answer = 0;
        agreed = SendMessageTimeoutA(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, 0, 20000, &answer) &&
                 answer && agreed;
    }
    for (HWND h : windows) SendMessageTimeoutA(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 0, 20000, nullptr);
    TerminateProcess(FPi.hProcess, 99);
    return WaitExit() == 99 && agreed;
}

DWORD TReelo::WaitExit(int timeoutMs)
{
    if (WaitForSingleObject(FPi.hProcess, timeoutMs) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0;
    GetExitCodeProcess(FPi.hProcess, &code);
    return code;
}
