// The collection of play lists: order, temporary names, the names read from
// the playlist folder, loading once, the shared temporary file and the
// checks on list names.
#include <gtest/gtest.h>

#include "tests/playlist/TempFolder.h"
#include "base/UFileSystem.h"
#include "ui/UPlayLists.h"
#include "ui/USessionSave.h"

namespace {

std::vector<std::string> Names(const TPlayLists& lists)
{
    std::vector<std::string> names;
    for (int i = 0; i < lists.Count(); ++i) names.push_back(lists.Items(i).Name());
    return names;
}

struct PlayLists : ::testing::Test {
    TTempFolder dir;
    TPlayLists lists{[this] { return dir.Path(); }};
};

TEST_F(PlayLists, TemporaryListsSortFirstAndNameTheNext)
{
    for (const char* n : {"b", "Temporary 2", "a", "Temporary"}) lists.Append(n);
    lists.Sort();
    EXPECT_EQ((std::vector<std::string>{"Temporary", "Temporary 2", "a", "b"}), Names(lists));
    EXPECT_EQ("Temporary 3", lists.NextTemporaryName());

    TPlayLists other{[this] { return dir.Path(); }};
    other.Append("Temporary");
    EXPECT_EQ("Temporary 2", other.NextTemporaryName());
    other.Append("temporary 7");
    other.Append("My Temporary x");  // no number after ten characters: counts as 1
    EXPECT_EQ("Temporary 8", other.NextTemporaryName());
    other.Append("Temporary 2147483647");
    EXPECT_EQ("Temporary 2147483648", other.NextTemporaryName());
    other.Append("Temporary 2147483648");  // too large to count: never offered again
    EXPECT_EQ("Temporary 2147483649", other.NextTemporaryName());

    // Only letters are lowered, never the trail byte of a double-byte
    // character ("ソ" is 83 5C, "ト" 83 67, and 83 54 is "T"'s byte).
    EXPECT_EQ("ab\x83T\x83g", LowerListName("AB\x83T\x83g"));
    EXPECT_TRUE(IsTemporaryName("my TEMPORARY list"));
    EXPECT_FALSE(IsTemporaryName("Temp"));
}

// When the autosave writes: changes every 200 ms for 20 s, then one at 30 s;
// a file that keeps changing every 5 s at most, no change waiting longer.
TEST(SaveSchedule, BurstsRateAndDelay)
{
    TSaveSchedule s;
    std::vector<uint64_t> w;
    for (uint64_t t = 0; t <= 40000; t += 10) {
        if ((t <= 20000 && t % 200 == 0) || t == 30000) s.Changed(t);
        if (s.Pending() && s.Due() <= t) {
            w.push_back(t);
            s.Written(t);
        }
    }
    ASSERT_GE(w.size(), 5u);
    EXPECT_LE(w.front(), 5000u);
    for (size_t i = 1; i < w.size(); ++i) EXPECT_GE(w[i] - w[i - 1], 5000u);
    EXPECT_GT(w[w.size() - 2], 20000u);
    EXPECT_LE(w[w.size() - 2], 25000u);
    EXPECT_EQ(31000u, w.back());
}

TEST_F(PlayLists, FindReplaceAndDelete)
{
    lists.Append("Temporary");
    lists.Append("abc");
    EXPECT_EQ(1, lists.FindPlayList("abc"));
    EXPECT_EQ(1, lists.FindPlayList("ABC"));  // one file on Windows
    TPlayList* old = &lists.Items(1);
    lists.Replace(1, lists.Create("abc"));
    EXPECT_NE(old, &lists.Items(1));
    EXPECT_EQ(1, lists.IndexOf(&lists.Items(1)));
    lists.Delete(0);
    EXPECT_EQ((std::vector<std::string>{"abc"}), Names(lists));
    EXPECT_THROW(lists.Delete(5), std::out_of_range);

    // A name that would put the file outside the playlist folder is refused;
    // a 0x5C trail byte is no delimiter.
    EXPECT_THROW(CheckListName("..\\x"), Exception);
    EXPECT_THROW(CheckListName("a/b"), Exception);
    EXPECT_THROW(CheckListName("c:x"), Exception);
    EXPECT_NO_THROW(CheckListName("ソフト"));

    // Names equal but for letter case are one list as they are one file:
    // full-width, Greek, Cyrillic and letters outside the code page too.
    // ASCII and full-width letters are other characters: other files.
    for (const char* n : {"ｆｏｏ", "σοφια", "москва", "Beyonc<U+00E9>"})
        lists.Append(lists.Create(n, false));
    EXPECT_EQ(1, lists.FindPlayList("ＦＯＯ"));
    EXPECT_EQ(2, lists.FindPlayList("ΣΟΦΙΑ"));
    EXPECT_EQ(3, lists.FindPlayList("МОСКВА"));
    EXPECT_EQ(4, lists.FindPlayList("BEYONC<U+00C9>"));
    EXPECT_EQ(-1, lists.FindPlayList("foo"));
    EXPECT_EQ(-1, lists.FindPlayList("Beyonce"));
#ifdef _WIN32
    // Sorted by the real names: "École" among the E's.
    for (const char* n : {"<U+00C9>cole", "Fa", "Da"}) lists.Append(lists.Create(n, false));
    lists.Sort();
    const std::vector<std::string> names = Names(lists);
    EXPECT_EQ((std::vector<std::string>{"abc", "Beyonc<U+00E9>", "Da", "<U+00C9>cole", "Fa"}),
              std::vector<std::string>(names.begin(), names.begin() + 5));
#endif
}

TEST_F(PlayLists, NamesFromTheFolderLoadOnceAndTemporaryListsShareOneFile)
{
    {
        TPlayList x("x", dir.Path());
        x.Add("C:\\m\\a.avi");
        x.SaveToFile(dir.Path() + "x.lst");
    }
    for (const char* f : {"Temporary.lst", "y.LST", "notes.txt", "z.lst.bad"})
        TTempFolder::WriteFile(dir.Path() + f, "");
    lists.Append(TemporaryListName);
    lists.Append("Y");  // y.LST is its file
    lists.LoadPlayListNames();
    EXPECT_EQ((std::vector<std::string>{"Temporary", "x", "Y"}), Names(lists));
    TPlayList& x = lists.Items(1);
    EXPECT_FALSE(x.Loaded());
    lists.EnsureLoaded(x);
    lists.EnsureLoaded(x);  // a second read would append the entries again
    EXPECT_TRUE(x.Loaded());
    EXPECT_EQ(1, x.FileCount());

    // A temporary list of any name goes to Temporary.lst without its own settings.
    TPlayList& t = lists.Append("Temporary 3");
    t.SetLoaded(true);
    t.Add("C:\\m\\b.avi");
    t.Setting().WriteBool("\\Common\\Random", true);
    lists.SaveList(t);
    EXPECT_EQ("Temporary", TPlayLists::RecentName(t));
    TPlayList back("Temporary", dir.Path());
    back.LoadFromFile(dir.Path() + "Temporary.lst");
    ASSERT_EQ(1, back.FileCount());
    EXPECT_EQ("C:\\m\\b.avi", back.Files(0).Path());
    EXPECT_FALSE(back.Setting().ReadBool("\\Common\\Random", false));
    EXPECT_FALSE(FileSystem::FileExists(dir.Path() + "Temporary 3.lst"));
}

}  // namespace
