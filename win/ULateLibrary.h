// Functions of a DLL that is loaded when one of them is first wanted rather
// than by the loader at start. The program then starts without that DLL's
// load and initialisation, nor those of the DLLs it pulls in (under Wine the
// file dialogs' and DirectShow's cost a good part of a start). A DLL once
// loaded stays for the life of the process, as one the loader loaded would.
#pragma once

#include <windows.h>

#include <string>

enum class TLibraryPlace {
    System,  // Windows' own DLL, from the system folder only
    Program  // ours: the standard search, which starts in the program's folder
};

// The function, or nullptr when the DLL or the function is not there.
template <class TFunction>
TFunction LateFunction(const wchar_t* dll, const char* name, TLibraryPlace place)
{
    HMODULE module = nullptr;
    if (place == TLibraryPlace::System) {
        wchar_t folder[MAX_PATH];
        const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        module = LoadLibraryW((std::wstring(folder, n) + L"\\" + dll).c_str());
    } else {
        module = LoadLibraryW(dll);
    }
    if (!module) return nullptr;
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
