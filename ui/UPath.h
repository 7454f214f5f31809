// Path helpers for CP932 paths: every split and comparison is lead-byte
// aware (a trail byte may be 0x5C, the byte of "\").
#pragma once

#include <string>

// Index of the last "\" that is a character of its own, or npos.
size_t LastDelimiter(const std::string& path);
// Length of the root ("C:\", "C:", "\\server\share\", "\"), 0 when relative.
size_t RootLength(const std::string& path);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// The name after the last "\" (the whole path when it has none).
std::string ExtractFileName(const std::string& path);

bool FileExists(const std::string& path);  // a file or folder
bool DirectoryExists(const std::string& path);
// Creates the folder and every missing parent; raises EFileError on failure.
void ForceDirectories(const std::string& dir);

// Every component of the path as stored on disk (long name, stored case);
// the empty string when a component is not found. A root or a bare name is
// returned unchanged.
std::string ResolveLongPath(const std::string& path);
