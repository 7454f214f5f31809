#include "ui/UCommandLine.h"

#include <cctype>

#include "base/ULeadByte.h"

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

namespace {

bool IsDelimiter(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// The byte offsets of the delimiters of s, passing over double-byte characters.
std::vector<size_t> Delimiters(const std::string& s)
{
    std::vector<size_t> found;
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsLeadByte932(static_cast<unsigned char>(s[i])))
            ++i;
        else if (IsDelimiter(s[i]))
            found.push_back(i);
    }
    return found;
}

// "C:" of "C:\x", "\\server\share" of "\\server\share\x"; empty when folder has neither.
std::string RootOf(const std::string& folder)
{
    if (folder.size() >= 2 && IsDriveLetter(folder[0]) && folder[1] == ':') return folder.substr(0, 2);
    if (folder.size() >= 2 && IsDelimiter(folder[0]) && IsDelimiter(folder[1])) {
        const std::vector<size_t> d = Delimiters(folder);
        return d.size() >= 4 ? folder.substr(0, d[3]) : folder;
    }
    return {};
}

std::string WithDelimiter(const std::string& folder)
{
    const std::vector<size_t> d = Delimiters(folder);
    return !d.empty() && d.back() + 1 == folder.size() ? folder : folder + "\\";
}

}  // namespace

std::string AbsolutePath(const std::string& path, const std::string& folder)
{
    if (path.empty() || folder.empty()) return path;
    if (path.size() >= 2 && IsDelimiter(path[0]) && IsDelimiter(path[1])) return path;  // UNC
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
        if (path.size() >= 3 && IsDelimiter(path[2])) return path;
        // "C:x" is relative to the current folder of drive C:, known only for folder's drive.
        const std::string root = RootOf(folder);
        if (root.size() != 2 || std::toupper(static_cast<unsigned char>(root[0])) !=
                                    std::toupper(static_cast<unsigned char>(path[0])))
            return path;
        return WithDelimiter(folder) + path.substr(2);
    }
    if (IsDelimiter(path[0])) {
        const std::string root = RootOf(folder);
        return root.empty() ? path : root + path;
    }
    return WithDelimiter(folder) + path;
}

std::vector<std::string> CommandLineArgs(const TCommandLine& line)
{
    std::vector<std::string> args;
    if (line.AutoPlay) args.push_back("/A");
    if (!line.ListName.empty()) args.push_back("/P" + line.ListName);
    if (line.Show) args.push_back(*line.Show ? "/V" : "/V-");
    args.insert(args.end(), line.Paths.begin(), line.Paths.end());
    return args;
}

TCommandLine JoinCommandLines(TCommandLine first, const TCommandLine& next)
{
    first.AutoPlay = first.AutoPlay || next.AutoPlay;
    if (!next.ListName.empty()) first.ListName = next.ListName;
    if (next.Show) first.Show = next.Show;
    first.Paths.insert(first.Paths.end(), next.Paths.begin(), next.Paths.end());
    return first;
}
