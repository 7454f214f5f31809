#include "playlist/UM3U.h"

#include "base/UCodePage.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"
#include "settings/USetting.h"

namespace M3U {

namespace {

// No play list of any player comes near this; a larger file is not one.
constexpr size_t MaxListBytes = 64u << 20;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
    return true;
}

// The extension after the last "." of the file name, lower-cased; double-byte
// characters are stepped over whole.
std::string Extension(const std::string& path)
{
    const std::string name = FileName::ExtractFileName(path);
    size_t dot = std::string::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        if (FileName::IsLeadByte(Byte(name[i])) && i + 1 < name.size())
            ++i;
        else if (name[i] == '.')
            dot = i;
    }
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : ext) c = LowerAscii(c);
    return ext;
}

// Control characters other than TAB mark a binary file.
bool HasControlCharacters(std::string_view s)
{
    for (char c : s)
        if (Byte(c) < 0x20 && c != '\t') return true;
    return false;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// "scheme://...": a scheme of two or more letters, digits, "+", "-" or ".",
// so that a drive letter ("C:") never counts.
bool IsUrl(std::string_view s)
{
    const size_t colon = s.find("://");
    if (colon == std::string_view::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        const char c = s[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) return false;
    }
    return true;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "%" and two hexadecimal digits ("%" and the digits are never trail bytes).
bool IsPercentEscape(std::string_view s, size_t i)
{
    return s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0;
}

bool HasPercentEscapes(std::string_view s)
{
    for (size_t i = 0; i < s.size(); ++i)
        if (IsPercentEscape(s, i)) return true;
    return false;
}

// The "%XX" escapes of a URL decoded: the bytes they give are UTF-8, as
// every player writes them. False when they are not, or when they give a
// character no file name holds (a control character or NUL).
bool PercentDecode(std::string_view text, std::string& decoded)
{
    std::string utf8, bytes;
    if (!CodePage::ToUtf8(text, utf8)) return false;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (IsPercentEscape(utf8, i)) {
            bytes += static_cast<char>(HexValue(utf8[i + 1]) << 4 | HexValue(utf8[i + 2]));
            i += 2;
        } else {
            bytes += utf8[i];
        }
    }
    for (char c : bytes)
        if (Byte(c) < 0x20 || c == 0x7F) return false;
    return CodePage::FromUtf8(bytes, decoded);
}

// A "file:" URI as the path it names: "file:///C:/a%20b.wav" "C:/a b.wav",
// "file://server/share/x.wav" "//server/share/x.wav"; "localhost" and an
// empty host are this machine, and the older "C|" is "C:". False when the
// text is no file URI; an empty path when it names nothing.
bool FileUriPath(std::string_view text, std::string& path)
{
    path.clear();
    if (!StartsWithNoCase(text, "file:")) return false;
    std::string_view rest = text.substr(5);
    std::string host;
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');  // never a trail byte
        const std::string_view authority = rest.substr(0, slash);
        const bool drive = authority.size() == 2 && IsDriveLetter(authority[0]) &&
                           (authority[1] == ':' || authority[1] == '|');
        if (drive) {
            rest = text.substr(7);  // "file://C:/x": a drive where the host should be
        } else {
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
            const bool local =
                authority.empty() || (authority.size() == 9 && StartsWithNoCase(authority, "localhost"));
            if (!local) host = std::string(authority);
        }
    }
    if (rest.size() >= 3 && rest[0] == '/' && IsDriveLetter(rest[1]) && (rest[2] == ':' || rest[2] == '|'))
        rest.remove_prefix(1);
    std::string p = host.empty() ? std::string(rest) : "//" + host + std::string(rest);
    if (p.size() >= 2 && IsDriveLetter(p[0]) && p[1] == '|') p[1] = ':';
    if (!PercentDecode(p, path) || Trim(path).empty()) path.clear();
    return true;
}

// Length of the root of a path: "C:\" 3, "C:" 2 (the drive's current
// folder), "\\server\share\" up to its last "\", "\" 1, a relative path 0.
size_t RootLength(const std::string& p)
{
    if (p.size() >= 2 && IsDriveLetter(p[0]) && p[1] == ':') return p.size() >= 3 && p[2] == '\\' ? 3 : 2;
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        int delimiters = 0;
        for (size_t i = 2; i < p.size(); ++i) {
            if (FileName::IsLeadByte(Byte(p[i])) && i + 1 < p.size())
                ++i;
            else if (p[i] == '\\' && ++delimiters == 2)
                return i + 1;
        }
        return p.size();
    }
    return !p.empty() && p[0] == '\\' ? 1 : 0;
}

// A root that names a folder of its own ("C:\", "\\server\share\", "\"):
// nothing lies above it. Without one ("", "C:") a leading ".." stays.
bool Anchored(const std::string& p, size_t root) { return root > 0 && p[root - 1] == '\\'; }

// "/" as "\" (a "/" is never the trail byte of a double-byte character).
std::string BackSlashes(std::string_view s)
{
    std::string p(s);
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

// Drops "." and empty components and takes ".." back one component (never
// above an anchored root, kept when there is none). Blanks at the end of a component go, as Windows drops
// them from names.
std::string Normalize(const std::string& path)
{
    const size_t root = RootLength(path);
    std::vector<std::string> parts;
    std::string part;
    auto close = [&] {
        while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.pop_back();
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!Anchored(path, root))
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (size_t i = root; i < path.size(); ++i) {
        if (FileName::IsLeadByte(Byte(path[i])) && i + 1 < path.size()) {
            part += path[i];
            part += path[++i];
        } else if (path[i] == '\\') {
            close();
        } else {
            part += path[i];
        }
    }
    close();
    std::string out = path.substr(0, root);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}

// An entry as a full file name: relative ones are taken from the list's
// folder, "\..." from its drive or share.
std::string Join(const std::string& folder, std::string_view entry)
{
    const std::string p = BackSlashes(entry);
    const size_t root = RootLength(p);
    if (root == 1) {
        const size_t folderRoot = RootLength(folder);
        return Normalize(
            folderRoot > 1 && Anchored(folder, folderRoot) ? folder.substr(0, folderRoot) + p.substr(1) : p);
    }
    if (root > 1) return Normalize(p);
    return Normalize(FileName::IncludeTrailingPathDelimiter(folder) + p);
}

// The same without blanks at its end (a share's name as the whole path may
// keep some through Normalize).
std::string Resolve(const std::string& folder, std::string_view entry)
{
    std::string path = Join(folder, entry);
    while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.pop_back();
    return path;
}

bool Exists(const std::string& path)
{
    return FileSystem::FileExists(path) || FileSystem::DirectoryExists(path);
}

[[noreturn]] void Damaged(const std::string& listFileName, size_t line)
{
    throw EM3UError("ファイル " + listFileName + " はプレイリストとして読めません。\r\n" +
                    std::to_string(line) + " 行目に文字でないデータがあります。");
}

}  // namespace

bool IsListFile(const std::string& path)
{
    const std::string ext = Extension(path);
    return ext == "m3u" || ext == "m3u8";
}

TReadResult Parse(std::string_view bytes, const std::string& listFileName)
{
    bool utf8 = Extension(listFileName) == "m3u8";
    if (bytes.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
        utf8 = true;
        bytes.remove_prefix(ByteOrderMark.size());
    }
    const std::string folder = FileName::ExtractFilePath(listFileName);

    TReadResult result;
    std::string title, text;
    std::u16string wide;
    size_t lineNumber = 0;
    while (!bytes.empty()) {
        // CR LF, LF and CR all end a line (neither byte is ever a trail byte).
        const size_t end = bytes.find_first_of("\r\n");
        std::string_view line = Trim(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            bytes = {};
        } else {
            const bool cr = bytes[end] == '\r';
            bytes.remove_prefix(end + 1);
            if (cr && !bytes.empty() && bytes[0] == '\n') bytes.remove_prefix(1);
        }
        ++lineNumber;
        // Every line becomes the program's text. Code page text goes to
        // UTF-16 and back, which checks it and gives every character the one
        // form the system's own names have (some have two in code page 932).
        if (HasControlCharacters(line)) Damaged(listFileName, lineNumber);
        if (utf8) {
            if (!CodePage::FromUtf8(line, text)) Damaged(listFileName, lineNumber);
        } else {
            if (!CodePage::ToUtf16(line, wide)) Damaged(listFileName, lineNumber);
            text = CodePage::FromUtf16(wide);
        }
        if (text.empty()) continue;
        if (text[0] == '#') {
            if (StartsWithNoCase(text, "#EXTINF:")) {
                const size_t comma = text.find(',');
                title =
                    comma == std::string::npos ? std::string() : std::string(Trim(text.substr(comma + 1)));
            }
            continue;
        }
        std::string path;
        if (FileUriPath(text, path)) {
            if (path.empty())
                ++result.Unrepresentable;
            else
                path = Resolve(folder, path);
        } else if (IsUrl(text)) {
            ++result.Urls;
        } else {
            path = Resolve(folder, text);
            // Written as a URL ("A%20B.wav"): the name it stands for, when
            // that is the one that exists.
            std::string decoded;
            if (HasPercentEscapes(text) && !Exists(path) && PercentDecode(text, decoded)) {
                decoded = Resolve(folder, decoded);
                if (Exists(decoded)) path = std::move(decoded);
            }
        }
        if (!path.empty()) result.Entries.push_back({std::move(path), title});
        title.clear();
    }
    return result;
}

TReadResult Load(const std::string& listFileName)
{
    std::string bytes;
    if (!FileSystem::ReadFile(listFileName, bytes, MaxListBytes))
        throw EFileError("ファイル " + listFileName + " を開けません");
    if (bytes.size() > MaxListBytes)
        throw EM3UError("ファイル " + listFileName + " はプレイリストとしては大きすぎます。");
    return Parse(bytes, listFileName);
}

std::string Format(const std::vector<TItem>& items)
{
    std::string out = "#EXTM3U\r\n", path, name;
    for (const TItem& item : items) {
        if (HasControlCharacters(item.Path) || HasControlCharacters(item.DisplayName) ||
            !CodePage::ToUtf8(item.Path, path) || !CodePage::ToUtf8(item.DisplayName, name))
            throw EM3UError("ファイル名 " + item.Path + " は M3U8 に書き出せません。");
        out += "#EXTINF:-1,";
        out += name;
        out += "\r\n";
        out += path;
        out += "\r\n";
    }
    return out;
}

void Save(const std::string& fileName, const std::vector<TItem>& items)
{
    // Readers know UTF-8 by the ".m3u8" name; under any other name (".m3u"
    // is read in the code page) a byte-order mark says it.
    std::string text = Format(items);
    if (Extension(fileName) != "m3u8") text.insert(0, ByteOrderMark);
    WriteFileAtomically(fileName, text);
}

TExpanded ExpandListFiles(const std::vector<std::string>& paths)
{
    TExpanded out;
    for (const std::string& path : paths) {
        if (!IsListFile(path) || FileSystem::DirectoryExists(path)) {
            out.Paths.push_back(path);
            continue;
        }
        try {
            TReadResult list = Load(path);
            for (TEntry& e : list.Entries) out.Paths.push_back(std::move(e.Path));
            out.Unrepresentable += list.Unrepresentable;
            out.Urls += list.Urls;
        } catch (const Exception& e) {
            out.Errors.push_back(e.Message);
        }
    }
    return out;
}

std::string Report(const TExpanded& expanded)
{
    std::string text;
    auto line = [&text](const std::string& s) {
        if (!text.empty()) text += "\r\n";
        text += s;
    };
    for (const std::string& e : expanded.Errors) line(e);
    if (expanded.Unrepresentable)
        line(std::to_string(expanded.Unrepresentable) +
             " 件のファイル URI は、ファイル名として読めないため追加しませんでした。");
    if (expanded.Urls)
        line(std::to_string(expanded.Urls) +
             " 件の URL は追加しませんでした (追加できるのはファイルだけです)。");
    return text;
}

}  // namespace M3U
