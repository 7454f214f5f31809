#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "settings/USetting.h"
#include "settings/USettingPlatform.h"

namespace {

TEST(SettingFolders, ApplicationAndAppData)
{
    const std::string app = GetApplicationDir();
    ASSERT_FALSE(app.empty());
    EXPECT_EQ('\\', app.back());
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_EQ(0u, std::string(module).find(app));
    EXPECT_EQ(std::string::npos, std::string(module).substr(app.size()).find('\\'));
    EXPECT_EQ(app, ConfigDir);

    const std::string appData = GetAppDataDir();
    EXPECT_EQ('\\', appData.back());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(appData.c_str()));
}

TEST(SettingFolders, DelimiterSkipsSecondBytes)
{
    // 表 is 95 5C in code page 932: its second byte is not a delimiter.
    EXPECT_EQ(6u, LastPathDelimiter("C:\\dir\\表.exe"));
    EXPECT_EQ(2u, LastPathDelimiter("C:\\表"));
    EXPECT_EQ(1u, LastPathDelimiter("C:x"));
    EXPECT_EQ(std::string::npos, LastPathDelimiter("ソ"));
}

TEST(SettingFolders, AnsiPathsAndAtomicReplace)
{
    // A CP932 folder and file name go through the "A" file functions.
    const std::string dir = GetAppDataDir() + "Reelo設定テスト\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string file = dir + "表示.ini";
    TSetting s;
    s.WriteString("\\名前", "値");
    s.SaveToFile(file);
    s.WriteInteger("\\N", 1);
    s.SaveToFile(file);  // replaces the existing file
    TSetting t;
    t.LoadFromFile(file);
    EXPECT_EQ("値", t.ReadString("\\名前", ""));
    EXPECT_EQ(1, t.ReadInteger("\\N", 0));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((file + ".tmp").c_str()));
    DeleteFileA(file.c_str());
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
