// Play lists of other players: M3U (text in the system code page) and M3U8
// (UTF-8), read into file names and written from a play list's entries.
//
// Reading: "#EXTM3U" and "#EXTINF:<seconds>,<title>" are understood, other
// lines starting with "#" are comments; lines end with CR LF, LF or CR.
// Entries are the program's text (code page 932 with escapes for what it
// cannot hold, base/UCodePage.h), so every name is taken. Relative entries
// are taken from the list file's folder, and "/" separates folders as "\"
// does. A "file:" URI (file:///C:/..., file://server/share/..., its "%XX"
// escapes UTF-8) is the local file it names; an entry written as a URL
// ("A%20B.wav", as VLC writes those under the list's folder) is decoded when
// the name as written does not exist and the decoded one does. Other URLs
// are skipped, and so is a file URI that decodes to no name; both are
// counted. A file with control characters or bytes that are no text of its
// encoding is damaged: it raises EM3UError and yields nothing.
//
// Writing: UTF-8 with "#EXTM3U", then "#EXTINF:-1,<display name>" and the
// full file name of every entry, with their real characters, saved
// atomically.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/UException.h"

class EM3UError : public Exception {
public:
    using Exception::Exception;
};

namespace M3U {

// True for a name ending in ".m3u" or ".m3u8" (any letter case).
bool IsListFile(const std::string& path);

struct TEntry {
    std::string Path;   // code page 932, resolved against the list's folder
    std::string Title;  // of the "#EXTINF" line before it; empty when none
};

struct TReadResult {
    std::vector<TEntry> Entries;
    int Unrepresentable = 0;  // file URIs that name no file, skipped
    int Urls = 0;             // URLs, skipped
};

// Reads the bytes of the list file `listFileName`. A name ending in ".m3u8",
// or bytes that start with the UTF-8 byte-order mark, are UTF-8; anything
// else is in the system code page.
TReadResult Parse(std::string_view bytes, const std::string& listFileName);
// Reads the file; EFileError when it cannot be read, EM3UError when damaged.
TReadResult Load(const std::string& listFileName);

struct TItem {
    std::string Path;         // full file name, code page 932
    std::string DisplayName;  // code page 932
};

// The UTF-8 text of an M3U8 file listing the items. EM3UError when a name
// holds a line break, bytes that are no code page 932 text, or a lone
// surrogate (which UTF-8 cannot hold).
std::string Format(const std::vector<TItem>& items);
// Formats and writes the file atomically (EFileError when that fails; the
// file is then as it was). A name not ending in ".m3u8" gets the UTF-8
// byte-order mark first.
void Save(const std::string& fileName, const std::vector<TItem>& items);

// Paths with every M3U/M3U8 file replaced by its entries, in order.
struct TExpanded {
    std::vector<std::string> Paths;
    int Unrepresentable = 0;
    int Urls = 0;
    std::vector<std::string> Errors;  // one message per list file that could not be read
};
TExpanded ExpandListFiles(const std::vector<std::string>& paths);

// One message for the user about what the expansion left out (the lists that
// could not be read, the names and URLs skipped); empty when nothing was.
std::string Report(const TExpanded& expanded);

}  // namespace M3U
