// When changed files are written while the program runs, and which list a
// list file holds.
#include <gtest/gtest.h>

#include <vector>

#include "tests/playlist/TempFolder.h"
#include "ui/USessionSave.h"
#include "playlist/UPlayList.h"

namespace {

// Changes every `every` ms from 0 to `until`; writes whenever due, looked
// at every 10 ms. The times of the writes.
std::vector<uint64_t> Writes(uint64_t every, uint64_t until)
{
    TSaveSchedule s;
    std::vector<uint64_t> writes;
    for (uint64_t t = 0; t <= until + 10000; t += 10) {
        if (t <= until && t % every == 0) s.Changed(t);
        if (s.Pending() && s.Due() <= t) {
            writes.push_back(t);
            s.Written(t);
        }
    }
    return writes;
}

TEST(SaveSchedule, BurstsRateAndDelay)
{
    // A burst: one write, soon after it ends.
    EXPECT_EQ(std::vector<uint64_t>{1900}, Writes(100, 900));
    // Changes that go on: a write every 5 s, the last at most 5 s after the
    // last change.
    const std::vector<uint64_t> w = Writes(200, 20000);
    ASSERT_GE(w.size(), 4u);
    EXPECT_LE(w.front(), 5000u);
    for (size_t i = 1; i < w.size(); ++i) EXPECT_GE(w[i] - w[i - 1], 5000u);
    EXPECT_GT(w.back(), 20000u);
    EXPECT_LE(w.back(), 25000u);
    // A failed write is told once and tried again later.
    TSaveSchedule s;
    s.Changed(0);
    EXPECT_TRUE(s.Failed(1000));
    EXPECT_FALSE(s.Failed(s.Due()));
    EXPECT_TRUE(s.Pending());
}

TEST(ListMarks, AListIsUnchangedOnlyWhereItWasWritten)
{
    TTempFolder dir;
    TPlayList a("Temporary", dir.Path()), b("Temporary 2", dir.Path());
    const std::string shared = dir.Path() + "Temporary.lst";
    TListMarks marks;
    EXPECT_FALSE(marks.Unchanged(a, shared));
    marks.Written(a, shared);
    EXPECT_TRUE(marks.Unchanged(a, dir.Path() + "TEMPORARY.LST"));
    marks.Written(b, shared);  // the temporary lists share their file
    EXPECT_FALSE(marks.Unchanged(a, shared));
    EXPECT_TRUE(marks.Unchanged(b, shared));
    b.AddFile("C:\\1.avi");
    EXPECT_FALSE(marks.Unchanged(b, shared));
}

}  // namespace
