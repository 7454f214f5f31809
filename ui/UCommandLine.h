// The command line: splitting it into arguments and reading the options
// /A, /P<name>, /V (with their "-" forms) ahead of the paths; joining the
// command lines of starts that came together, and paths made absolute
// against the folder a command line was given in. No Windows API, except
// CommandLineText (UCommandLineWin.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TCommandLine {
    bool AutoPlay = false;
    std::string ListName;      // empty: no list named
    std::optional<bool> Show;  // /V: true, /V-: false
    std::vector<std::string> Paths;
};

// Reads the options and paths from the arguments (program name excluded).
TCommandLine ParseCommandLineArgs(const std::vector<std::string>& args);

// Splits a command line (CP932) into its words: blanks separate, double
// quotes group and are removed; a backslash escapes nothing (it may be the
// trail byte of a double-byte character). The program name is the first word.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The program's text for a command line, or a folder, that came as UTF-16:
// the program's own (GetCommandLineW) and those that later starts hand to
// the running player. Every one goes through here, so that all are read
// alike: names outside code page 932 escaped (base/UCodePage.h), never
// turned into a look-alike. Windows only.
std::string CommandLineText(const std::wstring& wide);

// path made absolute against folder (a full path: the current folder of
// the process that was given the path). Paths with a drive and a root, UNC
// paths, empty paths, and paths on another drive than folder's ("D:x") come
// back unchanged; "\x" takes folder's drive or share. "." and ".." are
// left for the system to resolve.
std::string AbsolutePath(const std::string& path, const std::string& folder);

// The arguments that read back as this command line (options, then paths).
std::vector<std::string> CommandLineArgs(const TCommandLine& line);

// next given right after first, as one command line: the paths of both in
// order, /A when either has it, and next's list name and show state where
// it gives them.
TCommandLine JoinCommandLines(TCommandLine first, const TCommandLine& next);
