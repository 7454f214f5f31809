// The few file-system operations that play lists, folder scans and the
// settings folders need. Paths are code page 932 text with "\" delimiters,
// names outside the code page escaped (base/UCodePage.h). The Windows build
// gives them to the wide ("W") functions in their real form and escapes the
// names it gets back; the native build turns each "\" into "/" (double-byte
// characters are left intact) so that tests can run on real folders.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace FileSystem {

// The path names an existing folder.
bool DirectoryExists(const std::string& path);
// The path names an existing file (not a folder).
bool FileExists(const std::string& path);

// Creates the folder and every missing parent; EFileError on failure.
void ForceDirectories(const std::string& dir);

// Every component of the path as stored on disk (long name, stored case);
// the empty string when a component is not found. A root or a bare name is
// returned unchanged.
std::string ResolveLongPath(const std::string& path);

// The two primitives the functions above are built on (one per platform):
// make one folder (true when it exists afterwards), and the stored name of
// the entry that name matches in folder (ends with "\"), or empty.
bool CreateFolder(const std::string& path);
std::string StoredName(const std::string& folder, const std::string& name);

// Calls found(name) with the bare name of every file directly in the
// folder (prefix ends with "\"): files with any of the attributes
// read-only, hidden, system and archive, or none. Sub-folders, volume
// labels and everything below the folder are skipped. A folder that cannot
// be listed yields nothing.
void ListFiles(const std::string& prefix, const std::function<void(const std::string& name)>& found);

// Creates an empty file of that name and deletes it again, so that a name
// that cannot be a file name fails with the platform's error (EFileError).
void CheckFileName(const std::string& fileName);

// Moves a file; false when that fails (an existing target is not replaced).
bool MoveTo(const std::string& from, const std::string& to);
// The same, raising EFileError with the system's reason when it fails.
void Move(const std::string& from, const std::string& to);
// Opens a file to read its bytes; nullptr when it cannot be opened.
std::FILE* OpenForReading(const std::string& path);
// Reads a whole file into bytes, stopping after limit + 1 bytes (so a
// larger file shows as one byte too long). False when it cannot be read.
bool ReadFile(const std::string& path, std::string& bytes, size_t limit);
bool Remove(const std::string& path);
// Copies a file to a name that must not exist yet; false when that fails
// (an existing target is never touched).
bool CopyToNew(const std::string& from, const std::string& to);

}  // namespace FileSystem
