// The key table and its typed accessors. No Windows API here.
#include "settings/UConfigKeys.h"

#include <algorithm>

#include "base/ULeadByte.h"
#include "settings/USetting.h"

namespace {

std::string DefaultText(const std::optional<bool>& v) { return v ? (*v ? "1" : "0") : ""; }
std::string DefaultText(const std::optional<int32_t>& v) { return v ? std::to_string(*v) : ""; }
std::string DefaultText(const std::optional<double>& v)
{
    if (!v) return "";
    std::string s = std::to_string(*v);  // "1.000000"
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}
std::string DefaultText(const std::optional<const char*>& v) { return v ? *v : ""; }

template <TKeyKind K>
[[noreturn]] void NoDefault(const TConfigKey<K>& key)
{
    throw EConfigKeyError("キー " + key.Path() + " には既定値がありません");
}

template <TKeyKind K>
auto TableDefault(const TConfigKey<K>& key)
{
    if (!key.Default) NoDefault(key);
    return *key.Default;
}

// Whether the last character of s is a single-byte "\" (not the trail byte of
// a double-byte character).
bool EndsWithDelimiter(const std::string& s)
{
    size_t i = 0;
    bool last = false;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte932(c) && i + 1 < s.size()) {
            last = false;
            i += 2;
        } else {
            last = (c == '\\');
            i += 1;
        }
    }
    return last;
}

}  // namespace

const std::vector<TKeyInfo>& ConfigKeyTable()
{
    static const std::vector<TKeyInfo> table = {
#define REELO_KEY_INFO(id, folder, name, kind, def, levels) \
    TKeyInfo{#id,                                           \
             folder,                                        \
             name,                                          \
             TKeyKind::kind,                                \
             ConfigKey::id.Default.has_value(),             \
             DefaultText(ConfigKey::id.Default),            \
             levels},
        REELO_CONFIG_KEYS(REELO_KEY_INFO)
#undef REELO_KEY_INFO
    };
    return table;
}

const TKeyInfo* FindConfigKey(const std::string& path)
{
    const auto& table = ConfigKeyTable();
    auto it = std::find_if(table.begin(), table.end(), [&](const TKeyInfo& k) { return k.Path() == path; });
    return it == table.end() ? nullptr : &*it;
}

bool ReadKey(TSetting& setting, const TFlagKey& key) { return ReadKey(setting, key, TableDefault(key)); }
bool ReadKey(TSetting& setting, const TFlagKey& key, bool def) { return setting.ReadBool(key.Path(), def); }

int32_t ReadKey(TSetting& setting, const TIntegerKey& key)
{
    return ReadKey(setting, key, TableDefault(key));
}
int32_t ReadKey(TSetting& setting, const TIntegerKey& key, int32_t def)
{
    return setting.ReadInteger(key.Path(), def);
}

double ReadKey(TSetting& setting, const TRealKey& key) { return ReadKey(setting, key, TableDefault(key)); }
double ReadKey(TSetting& setting, const TRealKey& key, double def)
{
    return setting.ReadFloat(key.Path(), def);
}

std::string ReadKey(TSetting& setting, const TTextKey& key)
{
    return ReadKey(setting, key, TableDefault(key));
}
std::string ReadKey(TSetting& setting, const TTextKey& key, const std::string& def)
{
    return setting.ReadString(key.Path(), def);
}

void WriteKey(TSetting& setting, const TFlagKey& key, bool value) { setting.WriteBool(key.Path(), value); }
void WriteKey(TSetting& setting, const TIntegerKey& key, int32_t value)
{
    setting.WriteInteger(key.Path(), value);
}
void WriteKey(TSetting& setting, const TRealKey& key, double value) { setting.WriteFloat(key.Path(), value); }
void WriteKey(TSetting& setting, const TTextKey& key, const std::string& value)
{
    setting.WriteString(key.Path(), value);
}

template <TKeyKind K>
bool KeyIsSet(TSetting& setting, const TConfigKey<K>& key)
{
    return setting.Exists(key.Path());
}

template <TKeyKind K>
void RemoveKey(TSetting& setting, const TConfigKey<K>& key)
{
    setting.DeleteValue(key.Path());
}

template bool KeyIsSet(TSetting&, const TFlagKey&);
template bool KeyIsSet(TSetting&, const TIntegerKey&);
template bool KeyIsSet(TSetting&, const TRealKey&);
template bool KeyIsSet(TSetting&, const TTextKey&);
template void RemoveKey(TSetting&, const TFlagKey&);
template void RemoveKey(TSetting&, const TIntegerKey&);
template void RemoveKey(TSetting&, const TRealKey&);
template void RemoveKey(TSetting&, const TTextKey&);

double ReadBaseVolume(TSetting& setting)
{
    double v = ReadKey(setting, ConfigKey::BaseVolume);
    if (!(v >= 0.0))  // also NaN
        return 0.0;
    return std::min(v, 1.0);
}

std::string IncludeTrailingDelimiter(const std::string& folder)
{
    if (folder.empty() || EndsWithDelimiter(folder)) return folder;
    return folder + "\\";
}

std::string PlayListFolder(const std::string& playListDir, const std::string& configDir)
{
    return playListDir.empty() ? configDir : IncludeTrailingDelimiter(playListDir);
}
