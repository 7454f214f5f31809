// The play list model and its .lst files, in a real playlist folder.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/playlist/TempFolder.h"
#include "base/UFileSystem.h"
#include "playlist/UPlayList.h"

namespace {

using TNames = std::vector<std::string>;
using TChanges = std::vector<std::vector<int>>;

TNames Paths(const TPlayList& list)
{
    TNames paths;
    for (int i = 0; i < list.FileCount(); ++i) paths.push_back(list.Files(i).Path());
    return paths;
}

// A .lst file whose root holds "Files" with the given body and nothing else.
std::string FilesOnly(const std::string& body)
{
    return "\\\t0\t1\t\r\n\r\nFiles\t1\t9\t\r\n" + body + " /Files\r\n /\\\r\n";
}

std::string Entry(int i, const std::string& path)
{
    const std::string n = std::to_string(i);
    return "\r\n" + n + "\t1\t0\t\r\n\ts Path=" + path + "\r\n /" + n + "\r\n";
}

class PlayListTest : public ::testing::Test {
protected:
    TTempFolder Dir;
    TSetting Global;

    // A list of that name in Dir, loaded from text, with Global as parent.
    std::unique_ptr<TPlayList> Load(const std::string& name, const std::string& text)
    {
        TTempFolder::WriteFile(Dir.Path() + name + ".lst", text);
        auto list = std::make_unique<TPlayList>(name, Dir.Path());
        list->Setting().SetParent(&Global);
        list->LoadFromFile(list->FileName());
        return list;
    }
};

}  // namespace

TEST_F(PlayListTest, SavesTheExampleByteForByte)
{
    TPlayList list("例", Dir.Path());
    list.Add("C:\\a.avi");
    list.AddDirectory("C:\\m");
    list.Directories(0).AddExcluded("C:\\m\\x.avi");
    list.SaveToFile(list.FileName());
    EXPECT_EQ(
        "\\\t0\t2\t\r\n\r\nFiles\t1\t1\t\r\n\ti Count=1\r\n\r\n1\t1\t0\t\r\n\ts Path=C:\\a.avi\r\n"
        " /1\r\n /Files\r\n\r\nDirectories\t1\t1\t\r\n\ti Count=1\r\n\r\n1\t2\t1\t\r\n"
        "\ts Path=C:\\m\r\n\ti Excluded=1\r\n\r\nExcludedFiles\t0\t1\t\r\n\r\n1\t1\t0\t\r\n"
        "\ts Name=C:\\m\\x.avi\r\n /1\r\n /ExcludedFiles\r\n /1\r\n /Directories\r\n /\\\r\n",
        TTempFolder::ReadFile(Dir.Path() + "例.lst"));
}

TEST_F(PlayListTest, EverythingThatSurvivesASaveAndALoad)
{
    TPlayList list("保存", Dir.Path());
    list.Setting().SetParent(&Global);
    list.Setting().WriteBool("\\Common\\Random", true);
    for (const char* p : {"C:\\ソフト\\表示.avi", "D:\\b.mp3", "D:\\b.mp3"}) list.Add(p);
    list.Files(0).Setting().WriteInteger("\\Common\\MaxSample", 32768);
    list.Files(0).Setting().WriteFloat("\\Common\\BaseVolume", 0.5);
    list.Files(1).Setting().WriteString("\\Common\\WindowMode\\Note", "二番目");
    list.Files(1).Setting().WriteString("\\Other\\X", "not read back");
    list.Exchange(0, 1);
    list.AddDirectory("C:\\ソ");
    for (const char* p : {"C:\\ソ\\c.avi", "C:\\ソ\\A.avi", "C:\\ソ\\b.avi", "c:\\ソ\\a.AVI"})
        list.Directories(0).AddExcluded(p);
    list.SaveToFile(list.FileName());
    EXPECT_EQ(&Global, list.Setting().Parent());

    TPlayList loaded("保存", Dir.Path());
    loaded.LoadFromFile(loaded.FileName());
    EXPECT_TRUE(loaded.Loaded());
    EXPECT_EQ((TNames{"D:\\b.mp3", "C:\\ソフト\\表示.avi", "D:\\b.mp3"}), Paths(loaded));
    TSetting& first = loaded.Files(0).Setting();
    EXPECT_EQ(&loaded.Setting(), first.Parent());
    EXPECT_EQ("二番目", first.ReadString("\\Common\\WindowMode\\Note", ""));
    EXPECT_FALSE(first.Exists("\\Other\\X"));
    EXPECT_TRUE(first.ReadBool("\\Common\\Random", false));  // from the list
    EXPECT_EQ("表示", loaded.Files(1).DisplayName());
    EXPECT_EQ(32768, loaded.Files(1).Setting().ReadInteger("\\Common\\MaxSample", 0));
    EXPECT_DOUBLE_EQ(0.5, loaded.Files(1).Setting().ReadFloat("\\Common\\BaseVolume", 1.0));
    EXPECT_FALSE(loaded.Files(2).Setting().Exists("\\Common\\"));
    ASSERT_EQ(1, loaded.DirectoryCount());
    EXPECT_EQ("C:\\ソ", loaded.Directories(0).Path());
    EXPECT_EQ((TNames{"C:\\ソ\\A.avi", "C:\\ソ\\b.avi", "C:\\ソ\\c.avi"}), loaded.Directories(0).Excluded());

    // Without the key that is not read back, both lists save the same bytes.
    list.Files(0).Setting().DeleteKey("\\Other\\");
    list.SaveToFile(list.FileName());
    loaded.SaveToFile(Dir.Path() + "again.lst");
    EXPECT_EQ(TTempFolder::ReadFile(list.FileName()), TTempFolder::ReadFile(Dir.Path() + "again.lst"));
}

TEST_F(PlayListTest, ChangesAndTheirNotifications)
{
    TPlayList list("通知", Dir.Path());
    TChanges changes;
    list.OnChange = [&](TPlayList& sender, int kind, int a, int b) {
        EXPECT_EQ(&list, &sender);
        changes.push_back({kind, a, b});
    };
    const std::string folder = Dir.MakeFolder("Movies"), file = Dir.MakeFile("a.avi");
    for (const std::string& p : {file, file, std::string("C:\\無い\\none.avi"), folder, folder + "\\"})
        list.Add(p);
#ifdef _WIN32
    list.Add(Dir.Path() + "MOVIES");
#endif
    EXPECT_EQ(1, list.DirectoryCount());
    list.Exchange(0, 2);
    list.Delete(1);
    EXPECT_EQ((TNames{"C:\\無い\\none.avi", file}), Paths(list));
    EXPECT_EQ((TChanges{{0, 0, 1}, {0, 1, 1}, {0, 2, 1}, {3, 0, 2}, {1, 1, 1}}), changes);

    for (const char* p : {"C:\\2.avi", "C:\\3.avi", "C:\\4.avi"}) list.AddFile(p);
    changes.clear();
    list.DeleteFiles({3, 0, 3, 7, -1});
    EXPECT_EQ((TNames{file, "C:\\2.avi", "C:\\4.avi"}), Paths(list));
    EXPECT_EQ((TChanges{{1, 3, 1}, {1, 0, 1}}), changes);
    list.DeleteDirectory(0);
    EXPECT_EQ(2u, changes.size());
}

// Every kind of change that a save writes is seen.
TEST_F(PlayListTest, ChangedSinceSeesWhatASaveWrites)
{
    TPlayList list("x", Dir.Path());
    for (const char* p : {"C:\\1.avi", "C:\\2.avi"}) list.AddFile(p);
    list.AddDirectory("C:\\m");
    for (const std::function<void()>& change : std::vector<std::function<void()>>{
             [&] { list.Exchange(0, 1); }, [&] { list.Directories(0).AddExcluded("C:\\m\\y.avi"); },
             [&] { list.Files(1).Setting().WriteInteger("\\Common\\MaxSample", 7); },
             [&] { list.DeleteDirectory(0); }, [&] { list.Delete(0); }}) {
        const uint64_t mark = TSetting::LatestStamp();
        EXPECT_FALSE(list.ChangedSince(mark));
        change();
        EXPECT_TRUE(list.ChangedSince(mark));
    }
}

TEST_F(PlayListTest, MissingFilesCountsAndStaleEntries)
{
    Global.WriteInteger("\\Files\\Count", 3);
    Global.WriteString("\\Files\\1\\Path", "C:\\global.avi");
    TPlayList missing("無い", Dir.Path());
    EXPECT_FALSE(missing.Loaded());
    missing.Setting().SetParent(&Global);
    missing.LoadFromFile(missing.FileName());
    EXPECT_TRUE(missing.Loaded());
    EXPECT_EQ(0, missing.FileCount());
    auto settingsOnly =
        Load("設定", "\\\t0\t1\t\r\n\r\nCommon\t1\t0\t\r\n\ti Repeat=1\r\n /Common\r\n /\\\r\n");
    EXPECT_EQ(0, settingsOnly->FileCount());
    EXPECT_EQ(&Global, settingsOnly->Setting().Parent());

    // A shorter list leaves no stale entries behind.
    TPlayList list("短縮", Dir.Path());
    for (const char* p : {"C:\\1.avi", "C:\\2.avi", "C:\\3.avi"}) list.Add(p);
    list.SaveToFile(list.FileName());
    list.DeleteFiles({1, 2});
    list.SaveToFile(list.FileName());
    TPlayList reloaded("短縮", Dir.Path());
    reloaded.LoadFromFile(reloaded.FileName());
    EXPECT_EQ((TNames{"C:\\1.avi"}), Paths(reloaded));
    list.Delete(0);
    list.SaveToFile(list.FileName());
    EXPECT_EQ(0, list.Setting().ReadInteger("\\Files\\Count", -1));
    EXPECT_FALSE(list.Setting().Exists("\\Files\\1\\"));
}

// Counts far beyond the keys present must neither hang nor exhaust memory.
TEST_F(PlayListTest, DamagedFilesCreateNoMoreEntriesThanTheyHold)
{
    const auto start = std::chrono::steady_clock::now();
    auto huge =
        Load("壊れ", "\\\t0\t2\t\r\n\r\nFiles\t1\t2\t\r\n\ti Count=2147483647\r\n" + Entry(1, "C:\\1.avi") +
                         Entry(2, "C:\\2.avi") + " /Files\r\n" +
                         "\r\nDirectories\t1\t1\t\r\n\ti Count=2147483647\r\n"
                         "\r\n1\t2\t1\t\r\n\ts Path=C:\\m\r\n\ti Excluded=2147483647\r\n"
                         "\r\nExcludedFiles\t0\t1\t\r\n\r\n1\t1\t0\t\r\n\ts Name=C:\\m\\x.avi\r\n /1\r\n"
                         " /ExcludedFiles\r\n /1\r\n /Directories\r\n /\\\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ((TNames{"C:\\1.avi", "C:\\2.avi"}), Paths(*huge));
    ASSERT_EQ(1, huge->DirectoryCount());
    EXPECT_EQ((TNames{"C:\\m\\x.avi"}), huge->Directories(0).Excluded());

    // Every numbered entry up to the count is read, gaps or not; an entry
    // without its path is none.
    auto gap = Load("穴", FilesOnly("\ti Count=9\r\n" + Entry(1, "C:\\1.avi") + Entry(3, "C:\\3.avi") +
                                    Entry(9, "C:\\9.avi") + Entry(10, "C:\\10.avi") + Entry(0, "C:\\0.avi")));
    EXPECT_EQ((TNames{"C:\\1.avi", "C:\\3.avi", "C:\\9.avi"}), Paths(*gap));
    auto sparse = Load("疎", FilesOnly("\ti Count=2147483647\r\n" + Entry(2147483647, "C:\\last.avi")));
    EXPECT_EQ((TNames{"C:\\last.avi"}), Paths(*sparse));
    auto noPath =
        Load("無名", FilesOnly("\ti Count=2\r\n" + Entry(1, "C:\\1.avi") + "\r\n2\t0\t0\t\r\n /2\r\n"));
    EXPECT_EQ((TNames{"C:\\1.avi"}), Paths(*noPath));
    auto negative = Load("負", FilesOnly("\ti Count=-5\r\n" + Entry(1, "C:\\1.avi")));
    EXPECT_EQ(0, negative->FileCount());
}

// A file that cannot be read is moved aside, byte for byte, to a name that
// neither a later save nor a search for "*.lst" touches; the list starts
// empty and loaded, and a second failure keeps the first copy.
TEST_F(PlayListTest, UnreadableFilesAreMovedAsideAndNeverLost)
{
    const std::string files = "\ti Count=1\r\n" + Entry(1, "C:\\1.avi");
    const std::string badFolders =
        "\\\t0\t2\t\r\n\r\nFiles\t1\t1\t\r\n" + files +
        " /Files\r\n\r\nDirectories\t1\t0\t\r\n\ts Count=1\r\n /Directories\r\n /\\\r\n";
    const std::string list = Dir.Path() + "壊れ.lst";
    std::vector<std::string> copies;
    for (const std::string& text : {FilesOnly(files + "\tx broken\r\n"), FilesOnly(files).substr(0, 60),
                                    FilesOnly("\ts Count=1\r\n" + Entry(1, "C:\\1.avi")),
                                    FilesOnly("\ti Count=1x\r\n" + Entry(1, "C:\\1.avi")), badFolders}) {
        TTempFolder::WriteFile(list, text);
        TPlayList loaded("壊れ", Dir.Path());
        loaded.Setting().SetParent(&Global);
        try {
            loaded.LoadFromFile(loaded.FileName());
            ADD_FAILURE() << "no error for " << text;
        } catch (const EPlayListFileError& e) {
            EXPECT_EQ(list, e.FileName);
            EXPECT_NE(std::string::npos, e.Message.find(list));
            EXPECT_NE(std::string::npos, e.Message.find(e.SavedAs));
            EXPECT_EQ(text, TTempFolder::ReadFile(e.SavedAs));
            EXPECT_EQ(std::string::npos, e.SavedAs.find(".lst", list.size()));
            copies.push_back(e.SavedAs);
        }
        EXPECT_TRUE(loaded.Loaded());
        EXPECT_EQ(0, loaded.FileCount());
        EXPECT_EQ(0, loaded.DirectoryCount());
        EXPECT_EQ(&Global, loaded.Setting().Parent());
        loaded.Add("C:\\new.avi");
        loaded.SaveToFile(loaded.FileName());
    }
    ASSERT_EQ(5u, copies.size());
    EXPECT_EQ(FilesOnly(files + "\tx broken\r\n"), TTempFolder::ReadFile(copies[0]));
    EXPECT_EQ(badFolders, TTempFolder::ReadFile(copies[4]));
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((Dir.Path() + "*.lst").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    TNames lists;
    do lists.push_back(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    EXPECT_EQ((TNames{"壊れ.lst"}), lists);

    // Held open by another program, so that it cannot be moved: copied.
    const std::string held = FilesOnly("\ts Count=1\r\n");
    TTempFolder::WriteFile(list, held);
    HANDLE open =
        CreateFileA(list.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, open);
    TPlayList loaded("壊れ", Dir.Path());
    try {
        loaded.LoadFromFile(loaded.FileName());
        ADD_FAILURE() << "no error";
    } catch (const EPlayListFileError& e) {
        EXPECT_EQ(held, TTempFolder::ReadFile(e.SavedAs));
    }
    CloseHandle(open);
#endif
}

TEST_F(PlayListTest, CreateAndRenameTestTheNameAndCarryTheFile)
{
    EXPECT_THROW(TPlayList("無い\\フォルダ", Dir.Path()), EFileError);
#ifdef _WIN32
    EXPECT_THROW(TPlayList("a|b", Dir.Path()), EFileError);
#endif
    TPlayList list("旧名", Dir.Path());
    EXPECT_FALSE(FileSystem::FileExists(list.FileName()));  // tested, not left behind
    list.Rename("新名");
    EXPECT_EQ("新名", list.Name());
    EXPECT_FALSE(FileSystem::FileExists(list.FileName()));

    list.SaveToFile(list.FileName());
    list.Rename("表示");
    EXPECT_TRUE(FileSystem::FileExists(Dir.Path() + "表示.lst"));
    EXPECT_FALSE(FileSystem::FileExists(Dir.Path() + "新名.lst"));

    TPlayList empty("空", Dir.Path());
    EXPECT_THROW(empty.Rename("無い\\フォルダ"), EFileError);
    EXPECT_EQ("空", empty.Name());
}
