// The vocabulary of persistent values: every key the program reads or writes
// in a setting tree, with its folder, name, kind, the default a reader gets
// when no level holds it, and the levels at which it may be set.
//
// The keys are declared once, in REELO_CONFIG_KEYS below; the typed constants
// in namespace ConfigKey and the table returned by ConfigKeyTable() are both
// generated from it, so no path or default is spelled twice in the code.
//
//     bool full = ReadKey(gui, ConfigKey::FullScreen);          // default 0
//     WriteKey(gui, ConfigKey::StretchRatio, 200);
//     bool restore = ReadKey(global, ConfigKey::RestoreWindowPosition, true);
//
// Reads go through the tree's parent chain (GUI, file, playlist, global) like
// every TSetting read; writes touch only the tree written to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/UException.h"

class TSetting;

enum class TKeyKind { Flag, Integer, Real, Text };

// Levels at which a key may be set.
enum : unsigned {
    lvGlobal = 1,
    lvPlayList = 2,
    lvFile = 4,
    lvGUI = 8,
    lvPlayback = lvGlobal | lvPlayList | lvFile | lvGUI,
    lvEnvironment = lvGlobal,
};

template <TKeyKind K>
struct TKeyValue;
template <>
struct TKeyValue<TKeyKind::Flag> {
    using Type = bool;
    using Stored = bool;
};
template <>
struct TKeyValue<TKeyKind::Integer> {
    using Type = int32_t;
    using Stored = int32_t;
};
template <>
struct TKeyValue<TKeyKind::Real> {
    using Type = double;
    using Stored = double;
};
template <>
struct TKeyValue<TKeyKind::Text> {
    using Type = std::string;
    using Stored = const char*;
};

// A key of one kind. Default is empty for keys whose default depends on the
// moment of reading (the reader then has to supply it).
template <TKeyKind K>
struct TConfigKey {
    using Value = typename TKeyValue<K>::Type;
    const char* Folder;  // "\\" for the root, otherwise "\\Common\\...\\"
    const char* Name;
    std::optional<typename TKeyValue<K>::Stored> Default;
    unsigned Levels;

    std::string Path() const { return std::string(Folder) + Name; }
};

using TFlagKey = TConfigKey<TKeyKind::Flag>;
using TIntegerKey = TConfigKey<TKeyKind::Integer>;
using TRealKey = TConfigKey<TKeyKind::Real>;
using TTextKey = TConfigKey<TKeyKind::Text>;

// Marks a key whose default the reader supplies.
#define REELO_KEY_RUNTIME std::nullopt

//  K(id, folder, name, kind, default, levels)
// "Loudness" is the integrated loudness the analyser found in the file, in
// hundredths of LU (-2300 for -23 LUFS); it belongs to the file alone.
// "MultipleInstances" lets every start be a player of its own instead of
// handing its command line to the player already running.
#define REELO_CONFIG_KEYS(K)                                                                        \
    K(FullScreen, "\\Common\\", "FullScreen", Flag, 0, lvPlayback)                                  \
    K(StopScreenSaver, "\\Common\\", "StopScreenSaver", Flag, 0, lvPlayback)                        \
    K(ShowMovieWindow, "\\Common\\", "ShowMovieWindow", Flag, 0, lvPlayback)                        \
    K(ShowControllWindow, "\\Common\\", "ShowControllWindow", Flag, REELO_KEY_RUNTIME, lvPlayback)  \
    K(Random, "\\Common\\", "Random", Flag, 0, lvPlayback)                                          \
    K(Repeat, "\\Common\\", "Repeat", Flag, 0, lvPlayback)                                          \
    K(Mute, "\\Common\\", "Mute", Flag, 0, lvPlayback)                                              \
    K(BaseVolume, "\\Common\\", "BaseVolume", Real, 1.0, lvPlayback)                                \
    K(MaxSample, "\\Common\\", "MaxSample", Integer, REELO_KEY_RUNTIME, lvPlayback)                 \
    K(AverageSample, "\\Common\\", "AverageSample", Integer, REELO_KEY_RUNTIME, lvPlayback)         \
    K(Loudness, "\\Common\\", "Loudness", Integer, REELO_KEY_RUNTIME, lvFile)                       \
    K(FullScreenStretchImage, "\\Common\\FullScreenMode\\", "StretchImage", Flag, 1, lvPlayback)    \
    K(FullScreenKeepAspect, "\\Common\\FullScreenMode\\", "KeepAspectRatio", Flag, 1, lvPlayback)   \
    K(FullScreenAutoDetect, "\\Common\\FullScreenMode\\", "AutoDetect", Flag, 1, lvPlayback)        \
    K(FullScreenWidth, "\\Common\\FullScreenMode\\", "Width", Integer, 640, lvPlayback)             \
    K(FullScreenHeight, "\\Common\\FullScreenMode\\", "Height", Integer, 480, lvPlayback)           \
    K(FullScreenBitPerPixel, "\\Common\\FullScreenMode\\", "BitPerPixel", Integer, 8, lvPlayback)   \
    K(FullScreenRefreshRate, "\\Common\\FullScreenMode\\", "RefreshRate", Integer, 0, lvPlayback)   \
    K(WindowStretchImage, "\\Common\\WindowMode\\", "StretchImage", Flag, 0, lvPlayback)            \
    K(WindowKeepAspect, "\\Common\\WindowMode\\", "KeepAspectRatio", Flag, 1, lvPlayback)           \
    K(StretchRatio, "\\Common\\WindowMode\\", "StretchRatio", Integer, 100, lvPlayback)             \
    K(PlayCenter, "\\Common\\WindowMode\\", "PlayCenter", Flag, 1, lvPlayback)                      \
    K(MovieLeft, "\\Common\\WindowMode\\", "Left", Integer, REELO_KEY_RUNTIME, lvPlayback)          \
    K(MovieTop, "\\Common\\WindowMode\\", "Top", Integer, REELO_KEY_RUNTIME, lvPlayback)            \
    K(TopMost, "\\Common\\WindowMode\\", "TopMost", Flag, 0, lvPlayback)                            \
    K(LayerAlpha, "\\Common\\WindowMode\\", "LayerAlpha", Integer, 127, lvPlayback)                 \
    K(LayerWait, "\\Common\\WindowMode\\", "LayerWait", Integer, 0, lvPlayback)                     \
    K(MultiUser, "\\", "MultiUser", Flag, 0, lvEnvironment)                                         \
    K(PlayListDir, "\\", "PlayListDir", Text, "", lvEnvironment)                                    \
    K(ChangeDisplayMode, "\\", "ChangeDisplayMode", Flag, 1, lvEnvironment)                         \
    K(ForceWindowPosRestore, "\\", "ForceWindowPosRestore", Flag, 0, lvEnvironment)                 \
    K(RestoreWindowPosition, "\\", "RestoreWindowPosition", Flag, REELO_KEY_RUNTIME, lvEnvironment) \
    K(BoundsLeft, "\\", "Left", Integer, 0, lvEnvironment)                                          \
    K(BoundsTop, "\\", "Top", Integer, 0, lvEnvironment)                                            \
    K(BoundsWidth, "\\", "Width", Integer, 0, lvEnvironment)                                        \
    K(BoundsHeight, "\\", "Height", Integer, 0, lvEnvironment)                                      \
    K(Recent, "\\", "Recent", Text, "", lvEnvironment)                                              \
    K(MultipleInstances, "\\", "MultipleInstances", Flag, 0, lvEnvironment)

namespace ConfigKey {
#define REELO_DECLARE_KEY(id, folder, name, kind, def, levels) \
    inline const TConfigKey<TKeyKind::kind> id{folder, name, def, levels};
REELO_CONFIG_KEYS(REELO_DECLARE_KEY)
#undef REELO_DECLARE_KEY
}  // namespace ConfigKey

// The layout of a play list's store (its .lst file): numbered file and
// folder entries under their indexes (from 1) beside their counts.
//   \Files\Count, \Files\<i>\Path, \Files\<i>\Common\...
//   \Directories\Count, \Directories\<j>\Path, \Directories\<j>\Excluded,
//   \Directories\<j>\ExcludedFiles\<k>\Name
//   \Common\...   the list's own settings (a file entry's store: \Path, \Common\...)
namespace ListKey {
constexpr char Files[] = "Files";
constexpr char Directories[] = "Directories";
constexpr char Count[] = "Count";
constexpr char Path[] = "Path";
constexpr char Excluded[] = "Excluded";
constexpr char ExcludedFiles[] = "ExcludedFiles";
constexpr char Name[] = "Name";
constexpr char Common[] = "Common";
// "\name\": a folder at the root.
inline std::string Root(const char* name) { return std::string("\\") + name + "\\"; }
// "name\": a folder below the open key.
inline std::string Sub(const std::string& name) { return name + "\\"; }
}  // namespace ListKey

// One line of the key table, kind-independent (for listing and checks).
struct TKeyInfo {
    const char* Id;
    const char* Folder;
    const char* Name;
    TKeyKind Kind;
    bool HasDefault;
    std::string DefaultText;  // the default as it would be stored ("1", "640", "1", "")
    unsigned Levels;
    std::string Path() const { return std::string(Folder) + Name; }
};

const std::vector<TKeyInfo>& ConfigKeyTable();
// The line of the table with this full path ("\\Common\\Mute"), or nullptr.
const TKeyInfo* FindConfigKey(const std::string& path);

// A read of a key without a default of its own.
class EConfigKeyError : public Exception {
public:
    using Exception::Exception;
};

// Typed accessors. Reads resolve through the tree's parents; the one-argument
// form uses the table's default and throws EConfigKeyError for keys whose
// default the reader has to supply.
bool ReadKey(TSetting& setting, const TFlagKey& key);
bool ReadKey(TSetting& setting, const TFlagKey& key, bool def);
int32_t ReadKey(TSetting& setting, const TIntegerKey& key);
int32_t ReadKey(TSetting& setting, const TIntegerKey& key, int32_t def);
double ReadKey(TSetting& setting, const TRealKey& key);
double ReadKey(TSetting& setting, const TRealKey& key, double def);
std::string ReadKey(TSetting& setting, const TTextKey& key);
std::string ReadKey(TSetting& setting, const TTextKey& key, const std::string& def);

void WriteKey(TSetting& setting, const TFlagKey& key, bool value);
void WriteKey(TSetting& setting, const TIntegerKey& key, int32_t value);
void WriteKey(TSetting& setting, const TRealKey& key, double value);
void WriteKey(TSetting& setting, const TTextKey& key, const std::string& value);

// Whether the tree itself (not a parent) holds a value for the key.
template <TKeyKind K>
bool KeyIsSet(TSetting& setting, const TConfigKey<K>& key);
// Removes the tree's own value of the key (a missing value is no error).
template <TKeyKind K>
void RemoveKey(TSetting& setting, const TConfigKey<K>& key);

// "\Common\BaseVolume" as applied: clamped to 0..1.
double ReadBaseVolume(TSetting& setting);

// Adds a trailing "\" to a non-empty folder name when it has none. CP932-aware:
// a trail byte 0x5C of a double-byte character is not taken as a delimiter.
std::string IncludeTrailingDelimiter(const std::string& folder);
// The playlist folder for a "PlayListDir" value: the value with a trailing
// delimiter, or configDir when the value is empty.
std::string PlayListFolder(const std::string& playListDir, const std::string& configDir);
