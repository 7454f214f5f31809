#include <gtest/gtest.h>

#include <set>

#include "settings/UConfigKeys.h"
#include "settings/USetting.h"

namespace {

TEST(ConfigKeyTable, PathsAreUniqueAndWellFormed)
{
    std::set<std::string> paths;
    for (const TKeyInfo& k : ConfigKeyTable()) {
        EXPECT_TRUE(paths.insert(k.Path()).second) << k.Path();
        std::string folder = k.Folder;
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ('\\', folder.front()) << k.Id;
        EXPECT_EQ('\\', folder.back()) << k.Id;
        EXPECT_EQ(std::string::npos, std::string(k.Name).find('\\')) << k.Id;
        // Keys that a play list, a file or the GUI may hold live under
        // \Common\; keys of the global tree alone at its root.
        EXPECT_NE(0u, k.Levels) << k.Id;
        if (k.Levels & (lvPlayList | lvFile | lvGUI))
            EXPECT_EQ(0u, folder.rfind("\\Common\\", 0)) << k.Id;
        else
            EXPECT_EQ("\\", folder) << k.Id;
    }
    EXPECT_EQ(38u, ConfigKeyTable().size());
    EXPECT_EQ(unsigned(lvFile), FindConfigKey("\\Common\\Loudness")->Levels);
}

TEST(ConfigKeyTable, LookupByPath)
{
    const TKeyInfo* k = FindConfigKey("\\Common\\BaseVolume");
    ASSERT_NE(nullptr, k);
    EXPECT_EQ(TKeyKind::Real, k->Kind);
    EXPECT_EQ("1", k->DefaultText);
    k = FindConfigKey("\\RestoreWindowPosition");
    ASSERT_NE(nullptr, k);
    EXPECT_FALSE(k->HasDefault);
    EXPECT_EQ(nullptr, FindConfigKey("\\Common\\Volume"));
    EXPECT_EQ(nullptr, FindConfigKey("FullScreen"));
}

TEST(ConfigKeyAccess, DefaultsWhenNoLevelHoldsTheKey)
{
    TSetting empty;
    EXPECT_FALSE(ReadKey(empty, ConfigKey::FullScreen));
    EXPECT_TRUE(ReadKey(empty, ConfigKey::PlayCenter));
    EXPECT_EQ(640, ReadKey(empty, ConfigKey::FullScreenWidth));
    EXPECT_DOUBLE_EQ(1.0, ReadKey(empty, ConfigKey::BaseVolume));
    EXPECT_EQ("", ReadKey(empty, ConfigKey::Recent));
    // Keys whose default depends on the moment need one from the reader.
    EXPECT_THROW(ReadKey(empty, ConfigKey::RestoreWindowPosition), EConfigKeyError);
    EXPECT_THROW(ReadKey(empty, ConfigKey::MaxSample), EConfigKeyError);
    EXPECT_TRUE(ReadKey(empty, ConfigKey::RestoreWindowPosition, true));
    EXPECT_EQ(2147483647, ReadKey(empty, ConfigKey::MaxSample, 2147483647));
}

TEST(ConfigKeyAccess, WritesLandAtTheAbsolutePathAndOnlyInTheTreeWritten)
{
    TSetting global, gui;
    gui.SetParent(&global);
    WriteKey(gui, ConfigKey::StretchRatio, 200);
    WriteKey(gui, ConfigKey::PlayListDir, "C:\\ソフト");
    WriteKey(gui, ConfigKey::BaseVolume, 0.5);
    EXPECT_EQ(200, gui.ReadInteger("\\Common\\WindowMode\\StretchRatio", 0));
    {
        TSettingKey key(gui, "\\Common\\WindowMode\\");
        EXPECT_EQ(200, gui.ReadInteger("StretchRatio", 0));  // the relative form names the same value
    }
    EXPECT_EQ("C:\\ソフト", gui.ReadString("\\PlayListDir", ""));
    EXPECT_DOUBLE_EQ(0.5, ReadKey(gui, ConfigKey::BaseVolume));
    EXPECT_FALSE(KeyIsSet(global, ConfigKey::StretchRatio));
    EXPECT_TRUE(KeyIsSet(gui, ConfigKey::StretchRatio));
    RemoveKey(gui, ConfigKey::StretchRatio);
    EXPECT_FALSE(KeyIsSet(gui, ConfigKey::StretchRatio));
    EXPECT_EQ(100, ReadKey(gui, ConfigKey::StretchRatio));
    RemoveKey(gui, ConfigKey::StretchRatio);  // a missing value is no error
    gui.SetParent(nullptr);
}

// The chain GUI -> file -> playlist -> global, as the controller links it.
TEST(ConfigKeyAccess, LevelChainAndGuiClearing)
{
    TSetting global, playlist, file, gui;
    playlist.SetParent(&global);
    file.SetParent(&playlist);
    gui.SetParent(&file);

    // Top-most on for the list, off for the file: the file wins.
    WriteKey(playlist, ConfigKey::TopMost, true);
    WriteKey(file, ConfigKey::TopMost, false);
    EXPECT_FALSE(ReadKey(gui, ConfigKey::TopMost));
    // Toggled on from the menu: the GUI level overrides every other level ...
    WriteKey(gui, ConfigKey::TopMost, true);
    EXPECT_TRUE(ReadKey(gui, ConfigKey::TopMost));
    // ... until the GUI level is cleared.
    gui.Clear();
    EXPECT_FALSE(ReadKey(gui, ConfigKey::TopMost));

    // Random at the global level applies wherever the list does not set it.
    WriteKey(global, ConfigKey::Random, true);
    EXPECT_TRUE(ReadKey(playlist, ConfigKey::Random));
    WriteKey(playlist, ConfigKey::Random, false);
    EXPECT_FALSE(ReadKey(playlist, ConfigKey::Random));
    EXPECT_TRUE(ReadKey(global, ConfigKey::Random));

    gui.SetParent(nullptr);
    file.SetParent(nullptr);
    playlist.SetParent(nullptr);
}

TEST(ConfigKeyAccess, BaseVolumeIsClampedWhenApplied)
{
    TSetting s;
    for (auto [stored, applied] : {std::pair{1.7, 1.0}, {-0.2, 0.0}, {0.25, 0.25}}) {
        WriteKey(s, ConfigKey::BaseVolume, stored);
        EXPECT_DOUBLE_EQ(applied, ReadBaseVolume(s)) << stored;
    }
    EXPECT_DOUBLE_EQ(1.0, ReadBaseVolume(*std::make_unique<TSetting>()));
}

TEST(PlayListFolder, EmptyMeansTheConfigurationFolderAndDelimiterIsAddedOnce)
{
    EXPECT_EQ("C:\\conf\\", PlayListFolder("", "C:\\conf\\"));
    EXPECT_EQ("D:\\lists\\", PlayListFolder("D:\\lists", "C:\\conf\\"));
    EXPECT_EQ("D:\\lists\\", PlayListFolder("D:\\lists\\", "C:\\conf\\"));
    // "ソ" is 0x83 0x5C: its trail byte is not a delimiter.
    EXPECT_EQ("D:\\ソ\\", PlayListFolder("D:\\ソ", "C:\\conf\\"));
    EXPECT_EQ("D:\\表示\\", PlayListFolder("D:\\表示\\", "C:\\conf\\"));
}

}  // namespace
