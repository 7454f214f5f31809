// A folder of a test's own in the system's temporary folder, removed with
// its contents at the end. Names below it use "\" on both builds (the
// native file-system layer turns them into "/"); on Windows they may be
// escaped ("<U+2661>") and reach the system in their real form.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <cstdio>

#include "base/UCodePage.h"
#else
#include <sys/stat.h>
#include <cstdlib>
#endif

#include "base/UFileName.h"

enum TTestAttr { AttrNone = 0, AttrReadOnly = 1, AttrHidden = 2, AttrSystem = 4 };

class TTempFolder {
public:
    TTempFolder()
    {
#ifdef _WIN32
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        for (unsigned n = GetTickCount();; ++n) {
            FPath = std::string(tmp) + "reelo-pl-" + std::to_string(n) + "\\";
            if (CreateDirectoryA(FPath.c_str(), nullptr)) break;
        }
#else
        char tmpl[] = "/tmp/reelo-pl-XXXXXX";
        FPath = std::string(mkdtemp(tmpl)) + "/";  // the native store takes POSIX names
#endif
    }
    ~TTempFolder() { RemoveTree(FPath); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return FPath; }  // ends with the delimiter

    std::string MakeFolder(const std::string& name) const
    {
#ifdef _WIN32
        CreateDirectoryW(CodePage::ToWide(FPath + name).c_str(), nullptr);
#else
        mkdir(Native(FPath + name).c_str(), 0755);
#endif
        return FPath + name;
    }

    std::string MakeFile(const std::string& name, int attrs = AttrNone) const
    {
        WriteFile(FPath + name, "x");
#ifdef _WIN32
        const DWORD a = (attrs & AttrReadOnly ? FILE_ATTRIBUTE_READONLY : 0) |
                        (attrs & AttrHidden ? FILE_ATTRIBUTE_HIDDEN : 0) |
                        (attrs & AttrSystem ? FILE_ATTRIBUTE_SYSTEM : 0);
        if (a) SetFileAttributesW(CodePage::ToWide(FPath + name).c_str(), a);
#endif
        return FPath + name;
    }

    static void WriteFile(const std::string& path, const std::string& data)
    {
#ifdef _WIN32
        if (std::FILE* f = _wfopen(CodePage::ToWide(path).c_str(), L"wb")) {
            std::fwrite(data.data(), 1, data.size(), f);
            std::fclose(f);
        }
#else
        std::ofstream(Native(path), std::ios::binary) << data;
#endif
    }

    static std::string ReadFile(const std::string& path)
    {
#ifdef _WIN32
        std::string data;
        if (std::FILE* f = _wfopen(CodePage::ToWide(path).c_str(), L"rb")) {
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
            std::fclose(f);
        }
        return data;
#else
        std::ifstream in(Native(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
#endif
    }

    static void RemoveTree(const std::string& path)
    {
#ifdef _WIN32
        const std::string dir = FileName::IncludeTrailingPathDelimiter(path);
        WIN32_FIND_DATAW d;
        HANDLE h = FindFirstFileW(CodePage::ToWide(dir + "*").c_str(), &d);
        while (h != INVALID_HANDLE_VALUE) {
            const std::string n = CodePage::FromWide(d.cFileName), p = dir + n;
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (n != "." && n != "..") RemoveTree(p);
            } else {
                SetFileAttributesW(CodePage::ToWide(p).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(CodePage::ToWide(p).c_str());
            }
            if (!FindNextFileW(h, &d)) {
                FindClose(h);
                break;
            }
        }
        RemoveDirectoryW(CodePage::ToWide(dir).c_str());
#else
        if (std::system(("rm -rf '" + Native(path) + "'").c_str()) != 0) return;
#endif
    }

    // The name the C library takes: "\" becomes "/" on the native build.
    static std::string Native(std::string p)
    {
#ifndef _WIN32
        for (size_t i = 0; i < p.size(); ++i) {
            if (FileName::IsLeadByte(static_cast<unsigned char>(p[i])) && i + 1 < p.size())
                ++i;
            else if (p[i] == '\\')
                p[i] = '/';
        }
#endif
        return p;
    }

private:
    std::string FPath;
};
