// File names in the ANSI code page (932 on a Japanese system).
//
// Paths are byte strings in which a double-byte character may carry the byte
// of "\" (0x5C) as its trail byte ("ソ" is 83 5C), so every scan for a
// delimiter walks the string character by character. A character code page
// 932 cannot hold is an escape ("<U+00E9>", base/UCodePage.h): comparisons
// and sort keys are those of the real name, never of the escape's text.
//
// SameFileName is the file system's own equality (each UTF-16 unit
// upper-cased, as NTFS compares names). The order (CompareFileNames,
// SortKey) is the locale's, ignoring case: the Windows build uses the
// system's functions (CompareStringA, LCMapStringA; the wide ones for names
// with escapes); the native build has an equivalent for code page 932 that
// folds ASCII and full-width Latin letters and orders escapes by their text.
#pragma once

#include <string>

namespace FileName {

// True when the byte starts a double-byte character.
bool IsLeadByte(unsigned char c);

// Position of the last "\" (or ":" too, withColon) that is a character of
// its own, not a trail byte, or std::string::npos.
size_t LastDelimiter(const std::string& path, bool withColon = true);

// Length of the root ("C:\", "C:", "\\server\share\", "\"), 0 when relative.
size_t RootLength(const std::string& path);

// "C:\ソフト\表示.avi" -> "表示.avi" (text after the last "\" or ":").
std::string ExtractFileName(const std::string& path);
// "C:\ソフト\表示.avi" -> "C:\ソフト\" (up to and including the last "\").
std::string ExtractFilePath(const std::string& path);
// The file name without its extension: "C:\ソフト\表示.avi" -> "表示".
std::string ExtractDisplayName(const std::string& path);
// The path with a "\" at its end (an empty path stays empty).
std::string IncludeTrailingPathDelimiter(const std::string& path);
// The path without a final "\" (a lone trail byte 0x5C is kept).
std::string ExcludeTrailingPathDelimiter(const std::string& path);

// Case-insensitive comparison of two file names in the locale's order:
// negative, 0 or positive.
int CompareFileNames(const std::string& a, const std::string& b);
// The two names are one file's (letter case ignored as Windows ignores it:
// "ＡＢ" and "ａｂ", "Σ" and "σ" are, "AB" and "ＡＢ" are not).
bool SameFileName(const std::string& a, const std::string& b);

// A byte string whose plain byte order (std::string's operator<) is the
// order of CompareFileNames: sorting many names by their keys costs one
// conversion per name instead of one per comparison. Names with escapes
// whose locale keys are equal (characters the locale gives no weight) are
// told apart by their upper-cased UTF-16 units after it.
std::string SortKey(const std::string& name);

// For sorted containers.
struct TLess {
    bool operator()(const std::string& a, const std::string& b) const { return CompareFileNames(a, b) < 0; }
};

}  // namespace FileName
