// The program's text for the wide command lines it is given.
#include <windows.h>

#include "ui/UCommandLine.h"

std::string CommandLineText(const std::wstring& wide)
{
    // As the system makes GetCommandLineA: the ANSI code page, with its
    // best-fit characters for what the code page cannot hold.
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &text[0], n, nullptr, nullptr);
    return text;
}
