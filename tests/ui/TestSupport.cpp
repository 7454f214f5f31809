#include "tests/ui/TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
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

std::string ControllerMedia(const std::string& name)
{
    const char* bin = getenv("REELO_BINARY_DIR");
    std::string path = "Z:" + std::string(bin ? bin : "") + "/controller-media/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
