#include "ui/UConfigLocation.h"

#include <windows.h>

#include <algorithm>

#include "base/UCodePage.h"
#include "settings/UConfigKeys.h"
#include "settings/USetting.h"
#include "base/UFileName.h"
#include "base/UFileSystem.h"

const char* const ConfigFileName = "config.ini";
const char* const RegistryKeyPath = "Software\\Pondel\\Reelo";
const char* const RegistryPathValue = "Path";

namespace {
struct TRegKey {
    HKEY Handle = nullptr;
    ~TRegKey()
    {
        if (Handle) RegCloseKey(Handle);
    }
};
}  // namespace

std::string UserDefaultConfigDir()
{
    return FileName::ExcludeTrailingPathDelimiter(GetAppDataDir()) + "\\Pondel\\Reelo\\";
}

std::string RegistryConfigDir()
{
    TRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKeyPath, 0, KEY_READ, &key.Handle) != ERROR_SUCCESS)
        return {};
    // Read wide: a folder outside the code page comes back escaped.
    const std::wstring name = CodePage::ToWide(RegistryPathValue);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.Handle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(key.Handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value[0]),
                         &size) != ERROR_SUCCESS)
        return {};
    value.resize(std::min<size_t>(size / sizeof(wchar_t), value.size()));
    value.resize(value.find(L'\0') == std::wstring::npos ? value.size() : value.find(L'\0'));
    return CodePage::FromWide(value);
}

TConfigFolders TConfigFolders::System()
{
    return TConfigFolders{ConfigDir, &UserDefaultConfigDir, &RegistryConfigDir};
}

std::string LocateConfiguration(TSetting& global, const TConfigFolders& folders, bool& multiUserAtLoad)
{
    std::string configDir = folders.ProgramDir;
    multiUserAtLoad = false;
    if (!FileSystem::FileExists(configDir + ConfigFileName)) return configDir;
    global.LoadFromFile(configDir + ConfigFileName);
    if (!ReadKey(global, ConfigKey::MultiUser)) return configDir;
    multiUserAtLoad = true;
    std::string registry = folders.RegistryDir();
    configDir =
        registry.empty() ? folders.UserDefaultDir() : FileName::IncludeTrailingPathDelimiter(registry);
    if (FileSystem::FileExists(configDir + ConfigFileName)) global.LoadFromFile(configDir + ConfigFileName);
    return configDir;
}

std::string SaveConfigurationTo(TSetting& global, const TConfigFolders& folders, const std::string& configDir,
                                bool multiUserAtLoad, const std::string& pendingConfigDir)
{
    std::string dest = configDir;
    bool multiUser = ReadKey(global, ConfigKey::MultiUser);
    if (multiUser != multiUserAtLoad) {
        WriteMultiUserFlag(folders.ProgramDir, multiUser);
        if (!multiUser)
            dest = folders.ProgramDir;
        else if (pendingConfigDir.empty())
            dest = folders.UserDefaultDir();
    }
    if (multiUser && !pendingConfigDir.empty())
        dest = FileName::IncludeTrailingPathDelimiter(pendingConfigDir);
    FileSystem::ForceDirectories(dest);
    global.SaveToFile(dest + ConfigFileName);
    return dest + ConfigFileName;
}

void WriteMultiUserFlag(const std::string& programDir, bool flag)
{
    TSetting setting;
    std::string file = programDir + ConfigFileName;
    if (FileSystem::FileExists(file)) setting.LoadFromFile(file);
    WriteKey(setting, ConfigKey::MultiUser, flag);
    setting.SaveToFile(file);
}
