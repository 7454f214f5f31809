// Folder scans on real folders: Japanese names, names whose trail bytes are
// 0x5C, hidden, system and read-only files, sub-folders, letter case and a
// folder that has vanished.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/playlist/TempFolder.h"
#include "playlist/UFolderScan.h"
#include "playlist/UPlayList.h"

namespace {

using TNames = std::vector<std::string>;

TNames Names(const std::vector<TScanEntry>& entries, std::vector<int>* folders = nullptr)
{
    TNames names;
    for (const TScanEntry& e : entries) {
        names.push_back(e.Name);
        if (folders) folders->push_back(e.Folder);
    }
    return names;
}

class FolderScanTest : public ::testing::Test {
protected:
    TTempFolder Tmp;
    std::string Prefix;  // of the folder "ソ", whose last byte is 0x5C
    TPlayList List{"スキャン", Tmp.Path()};

    void SetUp() override
    {
        Prefix = Tmp.MakeFolder("ソ") + "\\";
        Tmp.MakeFile("ソ\\表示.avi");
        Tmp.MakeFile("ソ\\能力.mp3", AttrReadOnly);
        Tmp.MakeFile("ソ\\b.wav", AttrHidden);
        Tmp.MakeFile("ソ\\C.avi", AttrSystem);
        Tmp.MakeFile("ソ\\a.avi");
        Tmp.MakeFolder("ソ\\sub");
        Tmp.MakeFile("ソ\\sub\\inner.avi");
        List.Add(Prefix.substr(0, Prefix.size() - 1));
    }

    TNames Paths()
    {
        TNames paths;
        for (int i = 0; i < List.FileCount(); ++i) paths.push_back(List.Files(i).Path());
        return paths;
    }

    TScanResult Scan(int folder = 0)
    {
        TScanResult r;
        ScanFolder(List, folder, r);
        return r;
    }
};

}  // namespace

TEST_F(FolderScanTest, OffersEveryDirectFileSortedAndNothingTwice)
{
    TScanResult r = Scan();
    std::vector<int> folders;
    const TNames all = {Prefix + "a.avi", Prefix + "b.wav", Prefix + "C.avi", Prefix + "能力.mp3",
                        Prefix + "表示.avi"};
    EXPECT_EQ(all, Names(r.AddList, &folders));
    EXPECT_EQ(std::vector<int>(5, 0), folders);
    EXPECT_TRUE(r.ExcludeList.empty() && r.DeleteList.empty());
    ApplyScanResult(List, r);
    EXPECT_EQ(all, Paths());
    r = Scan();
    EXPECT_TRUE(r.AddList.empty() && r.DeleteList.empty());
}

TEST_F(FolderScanTest, MatchesListEntriesIgnoringCaseAndOffersGoneOnes)
{
    for (const std::string& p : {Prefix + "A.AVI", Prefix + "表示.avi", Prefix + "表示.avi",
                                 Prefix + "消えた.avi", Prefix + "sub\\inner.avi", Tmp.Path() + "ソ.avi"})
        List.Add(p);
    TScanResult r = Scan();
    EXPECT_EQ((TNames{Prefix + "b.wav", Prefix + "C.avi", Prefix + "能力.mp3"}), Names(r.AddList));
    // The second entry of a doubled path is gone; entries in sub-folders and
    // next to the folder are not its business.
    EXPECT_EQ((TNames{Prefix + "消えた.avi", Prefix + "表示.avi"}), Names(r.DeleteList));
    EXPECT_FALSE(r.DeleteNamesUnique);

    int added = 0, deleted = 0;
    List.OnChange = [&](TPlayList&, int kind, int, int) { ++(kind == 0 ? added : deleted); };
    ApplyScanResult(List, r);
    EXPECT_EQ((TNames{Prefix + "A.AVI", Prefix + "表示.avi", Prefix + "sub\\inner.avi", Tmp.Path() + "ソ.avi",
                      Prefix + "b.wav", Prefix + "C.avi", Prefix + "能力.mp3"}),
              Paths());
    EXPECT_EQ(3, added);
    EXPECT_EQ(2, deleted);
}

// Whichever of two case variants the delete list names, the first goes.
TEST_F(FolderScanTest, CaseVariantsOfAGoneFile)
{
    for (const std::string& p :
         {Prefix + "x.avi", Prefix + "消えた.AVI", Prefix + "X.AVI", Prefix + "消えた.avi"})
        List.Add(p);
    TScanResult r = Scan();
    ASSERT_EQ(4u, r.DeleteList.size());
    r.DeleteList = {r.DeleteList[0], r.DeleteList[2]};
    r.AddList.clear();
    ApplyScanResult(List, r);
    EXPECT_EQ((TNames{Prefix + "X.AVI", Prefix + "消えた.avi"}), Paths());
}

TEST_F(FolderScanTest, ExcludedFilesStayOutUntilMovedBack)
{
    List.Directories(0).AddExcluded(Prefix + "a.avi");
    List.Directories(0).AddExcluded(Prefix + "もう無い.avi");
    TScanResult r = Scan();
    EXPECT_EQ((TNames{Prefix + "a.avi"}), Names(r.ExcludeList));
    EXPECT_EQ((TNames{Prefix + "b.wav", Prefix + "C.avi", Prefix + "能力.mp3", Prefix + "表示.avi"}),
              Names(r.AddList));
    // The user moves 表示.avi down (the dialog appends it).
    r.ExcludeList.push_back(r.AddList.back());
    r.AddList.pop_back();
    ApplyScanResult(List, r);
    EXPECT_EQ((TNames{Prefix + "a.avi", Prefix + "表示.avi"}), List.Directories(0).Excluded());

    r = Scan();
    EXPECT_TRUE(r.AddList.empty());
    // ... and a.avi back up: added, and no longer excluded.
    r.AddList.push_back(r.ExcludeList.front());
    r.ExcludeList.erase(r.ExcludeList.begin());
    ApplyScanResult(List, r);
    EXPECT_EQ((TNames{Prefix + "表示.avi"}), List.Directories(0).Excluded());
    EXPECT_EQ(Prefix + "a.avi", Paths().back());
}

TEST_F(FolderScanTest, AllFoldersParentAndChildAndAVanishedOne)
{
    const std::string sub = Prefix + "sub", gone = Tmp.MakeFolder("消える");
    List.Add(sub);
    List.Add(gone);
    List.Add(gone + "\\x.avi");
    List.Directories(1).AddExcluded(sub + "\\inner.avi");
    List.Directories(2).AddExcluded(gone + "\\y.avi");
    TTempFolder::RemoveTree(gone);

    ApplyScanResult(List, Scan(0));  // leaves the other folders' sets alone
    EXPECT_EQ(1, List.Directories(1).ExcludedCount());
    EXPECT_EQ(1, List.Directories(2).ExcludedCount());

    TScanResult all;
    ScanAllFolders(List, all);
    std::vector<int> excludedIn, goneIn;
    EXPECT_EQ((std::vector<int>{0, 1, 2}), all.ScannedFolders);
    EXPECT_TRUE(all.AddList.empty());
    EXPECT_EQ((TNames{sub + "\\inner.avi"}), Names(all.ExcludeList, &excludedIn));
    EXPECT_EQ((TNames{gone + "\\x.avi"}), Names(all.DeleteList, &goneIn));
    EXPECT_EQ((std::vector<int>{1}), excludedIn);
    EXPECT_EQ((std::vector<int>{2}), goneIn);
    ApplyScanResult(List, all);
    EXPECT_EQ(0, List.Directories(2).ExcludedCount());
    EXPECT_EQ(5, List.FileCount());
}

TEST_F(FolderScanTest, RunFolderScanAppliesOnlyOnOK)
{
    List.Directories(0).AddExcluded(Prefix + "a.avi");
    int shown = 0;
    EXPECT_FALSE(RunFolderScan(List, -1, [&](TScanResult&) { return ++shown, false; }));
    EXPECT_EQ(0, List.FileCount());
    EXPECT_EQ(1, List.Directories(0).ExcludedCount());
    // An empty exclude list empties the set.
    EXPECT_TRUE(RunFolderScan(List, 0, [&](TScanResult& r) {
        r.AddList.clear();
        r.ExcludeList.clear();
        return ++shown, true;
    }));
    EXPECT_EQ(2, shown);
    EXPECT_EQ(0, List.FileCount());
    EXPECT_EQ(0, List.Directories(0).ExcludedCount());
}

#ifdef _WIN32
// Names code page 932 cannot hold are offered under their escaped names
// (never a look-alike), and a list entry under one is a file that exists.
TEST_F(FolderScanTest, NamesOutsideTheCodePage)
{
    for (const char* name : {"Beyonc<U+00E9>.wav", "<U+2661>.wav", "<U+D55C><U+AD6D>.wav"})
        Tmp.MakeFile(std::string("ソ\\") + name);
    List.Add(Prefix + "<U+2661>.wav");
    TScanResult r = Scan();
    const TNames added = Names(r.AddList);
    for (const char* name : {"Beyonc<U+00E9>.wav", "<U+D55C><U+AD6D>.wav"})
        EXPECT_NE(added.end(), std::find(added.begin(), added.end(), Prefix + name)) << name;
    EXPECT_EQ(7u, added.size());
    EXPECT_TRUE(r.DeleteList.empty());
}
#endif
