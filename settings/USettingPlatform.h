// The platform-dependent pieces of the settings module. USettingWin.cpp
// implements them on Windows (names given to the system in their real form,
// escapes read), USettingPosix.cpp elsewhere.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Creates a file that did not exist and opens it for binary writing; an
// existing file of that name is never opened. Null on failure, with
// `nameTaken` telling whether the name was already in use.
std::FILE* CreateNewFile(const std::string& name, bool& nameTaken);

// A number that differs between processes running at the same time.
unsigned long CurrentProcessId();

// Forces the written contents of an open file to the disk. False on failure.
bool CommitFile(std::FILE* file);

// Replaces `target` by `temp` in one step (the target may exist). False on
// failure; `temp` is then left in place for the caller to remove.
bool ReplaceFileWith(const std::string& temp, const std::string& target);

// Position of the last "\", "/" or ":" of a code page 932 path that is a
// real delimiter (not the second byte of a double-byte character), or npos.
std::size_t LastPathDelimiter(const std::string& path);
