// The command line: splitting it into arguments and reading the options
// /A, /P<name>, /V (with their "-" forms) ahead of the paths. No Windows API.
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
