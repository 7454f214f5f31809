// A folder of a test's own in the system's temporary folder, removed with
// its contents at the end. Names below it use "\" on both builds (the
// native file-system layer turns them into "/").
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <windows.h>
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
        CreateDirectoryA((FPath + name).c_str(), nullptr);
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
        if (a) SetFileAttributesA((FPath + name).c_str(), a);
#endif
        return FPath + name;
    }

    static void WriteFile(const std::string& path, const std::string& data)
    {
        std::ofstream(Native(path), std::ios::binary) << data;
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(Native(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static void RemoveTree(const std::string& path)
    {
#ifdef _WIN32
        const std::string dir = FileName::IncludeTrailingPathDelimiter(path);
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA((dir + "*").c_str(), &d);
        while (h != INVALID_HANDLE_VALUE) {
            const std::string n = d.cFileName, p = dir + n;
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (n != "." && n != "..") RemoveTree(p);
            } else {
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(p.c_str());
            }
            if (!FindNextFileA(h, &d)) {
                FindClose(h);
                break;
            }
        }
        RemoveDirectoryA(dir.c_str());
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
