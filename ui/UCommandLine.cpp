#include "ui/UCommandLine.h"

#include <cctype>

TCommandLine ParseCommandLineArgs(const std::vector<std::string>& args)
{
    TCommandLine result;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '/') break;
        if (a.size() < 2) continue;
        bool minus = a.size() >= 3 && a[2] == '-';
        switch (std::toupper(static_cast<unsigned char>(a[1]))) {
            case 'A':
                result.AutoPlay = !minus;
                break;
            case 'P':
                result.ListName = a.substr(2);
                break;
            case 'V':
                result.Show = !minus;
                break;
            default:
                break;
        }
    }
    result.Paths.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return result;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    // Blanks and quotes are below 0x40, so they are never trail bytes in CP932.
    std::vector<std::string> words;
    size_t i = 0, n = commandLine.size();
    while (i < n) {
        while (i < n && static_cast<unsigned char>(commandLine[i]) <= ' ') ++i;
        if (i >= n) break;
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || static_cast<unsigned char>(commandLine[i]) > ' ')) {
            if (commandLine[i] == '"')
                quoted = !quoted;
            else
                word += commandLine[i];
            ++i;
        }
        words.push_back(word);
    }
    return words;
}
