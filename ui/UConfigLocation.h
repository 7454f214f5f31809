// Where config.ini lives: the program folder, or in multi-user mode the
// folder named in the registry or the per-user default folder; and where it
// is written at exit.
#pragma once

#include <functional>
#include <string>

class TSetting;

struct TConfigFolders {
    std::string ProgramDir;                       // with a trailing "\"
    std::function<std::string()> UserDefaultDir;  // per-user default, trailing "\"
    std::function<std::string()> RegistryDir;     // the registry's "Path", or ""

    // The real folders: program folder = ConfigDir as set at start.
    static TConfigFolders System();
};

extern const char* const ConfigFileName;  // "config.ini"

// HKEY_CURRENT_USER key and value of the multi-user configuration folder.
extern const char* const RegistryKeyPath;    // "Software\Pondel\Reelo"
extern const char* const RegistryPathValue;  // "Path"

// The per-user default: application-data folder + "Pondel\Reelo\".
std::string UserDefaultConfigDir();
// The registry's "Path" (key opened without creating it), or "".
std::string RegistryConfigDir();

// Loads the program folder's config.ini and, in multi-user mode, overlays
// the per-user one. Returns the configuration folder; multiUserAtLoad tells
// whether the program folder's file has MultiUser on.
std::string LocateConfiguration(TSetting& global, const TConfigFolders& folders, bool& multiUserAtLoad);

// Chooses the folder for the exit save (recording a changed MultiUser flag in
// the program folder's file), creates it, and saves the tree there. Returns
// the file written.
std::string SaveConfigurationTo(TSetting& global, const TConfigFolders& folders, const std::string& configDir,
                                bool multiUserAtLoad, const std::string& pendingConfigDir);

// Records the flag in the program folder's config.ini, leaving the rest of
// the file unchanged; a missing file is created holding only the flag.
void WriteMultiUserFlag(const std::string& programDir, bool flag);
