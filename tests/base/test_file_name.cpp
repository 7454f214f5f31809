// File-name helpers on code page 932 text. The same cases run natively and
// under Wine, so they also hold the native comparison to the platform's.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/UFileName.h"

using namespace FileName;

// ソ (83 5C) and 表 (95 5C) carry the byte of "\" as their trail byte.
TEST(FileNameTest, DelimitersInsideDoubleByteCharacters)
{
    EXPECT_TRUE(IsLeadByte(0x81) && IsLeadByte(0x9F) && IsLeadByte(0xE0) && IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0x5C) || IsLeadByte(0x80) || IsLeadByte(0xA0) || IsLeadByte(0xDF));

    EXPECT_EQ("C:\\ソフト\\", ExtractFilePath("C:\\ソフト\\表示.avi"));
    EXPECT_EQ("表示.avi", ExtractFileName("C:\\ソフト\\表示.avi"));
    EXPECT_EQ("表示", ExtractDisplayName("C:\\ソフト\\表示.avi"));
    EXPECT_EQ("ソ", ExtractFileName("C:\\表\\ソ"));
    EXPECT_EQ("C:\\ソ\\", IncludeTrailingPathDelimiter("C:\\ソ"));
    EXPECT_EQ("C:\\ソ\\", IncludeTrailingPathDelimiter("C:\\ソ\\"));
    EXPECT_EQ("C:\\ソ", ExcludeTrailingPathDelimiter("C:\\ソ\\"));
    EXPECT_EQ("C:\\ソ", ExcludeTrailingPathDelimiter("C:\\ソ"));

    EXPECT_EQ("a.tar", ExtractDisplayName("C:\\x\\a.tar.gz"));
    EXPECT_EQ("file", ExtractDisplayName("C:\\dir.x\\file"));
    EXPECT_EQ("能力", ExtractDisplayName("D:能力.mp3"));
    EXPECT_EQ("", ExtractFilePath("plain.avi"));
}

TEST(FileNameTest, ComparisonIgnoresCaseOnlyOfWholeCharacters)
{
    EXPECT_TRUE(SameFileName("C:\\Movies\\ABC.avi", "c:\\movies\\abc.AVI"));
    EXPECT_TRUE(SameFileName("Ｍｏｖｉｅ\\表示.AVI", "ｍｏｖｉｅ\\表示.avi"));
    // ア (83 41) and ヂ (83 61) differ where a byte-wise folding would turn
    // "A" into "a".
    EXPECT_FALSE(SameFileName("C:\\ア.avi", "C:\\ヂ.avi"));
    EXPECT_NE(SortKey("C:\\ア.avi"), SortKey("C:\\ヂ.avi"));
    EXPECT_FALSE(SameFileName("C:\\a.avi", "C:\\a.avi "));
    // Letter case as Windows ignores it, in the real names: Greek, Cyrillic
    // and letters outside the code page fold; "A" and "Ａ" are two names.
    EXPECT_TRUE(SameFileName("ΣΟΦΙΑ\\МОСКВА", "σοφια\\москва"));
    EXPECT_TRUE(SameFileName("C:\\Beyonc<U+00E9>.wav", "c:\\BEYONC<U+00C9>.WAV"));
    EXPECT_FALSE(SameFileName("ＡＢ", "AB"));
#ifdef _WIN32
    // Keys of the real names: a case pair is one key, É sorts with E (not
    // as "<"), and two characters the locale gives no weight (newer than its
    // table; here two unassigned ones) are still two names.
    EXPECT_EQ(SortKey("Beyonc<U+00E9>"), SortKey("BEYONC<U+00C9>"));
    EXPECT_LT(CompareFileNames("<U+00C9>cole", "Zeta"), 0);
    EXPECT_GT(CompareFileNames("<U+00C9>cole", "Dame"), 0);
    EXPECT_NE(SortKey("<U+0378>.mp3"), SortKey("<U+0379>.mp3"));
    EXPECT_NE(0, CompareFileNames("<U+0378>.mp3", "<U+0379>.mp3"));
#endif

    const std::vector<std::string> sorted = {"C:\\m\\1.avi",  "C:\\m\\2.avi",  "C:\\m\\a.avi",
                                             "C:\\m\\B.avi",  "C:\\m\\b1.avi", "C:\\m\\c.AVI",
                                             "C:\\m\\あ.avi", "C:\\m\\い.avi", "C:\\m\\表示.avi"};
    std::vector<std::string> byCompare(sorted.rbegin(), sorted.rend()), byKey = byCompare;
    std::sort(byCompare.begin(), byCompare.end(), TLess());
    std::sort(byKey.begin(), byKey.end(), [](auto& a, auto& b) { return SortKey(a) < SortKey(b); });
    EXPECT_EQ(sorted, byCompare);
    EXPECT_EQ(sorted, byKey);
}

// The path helpers the start-up code uses: roots and delimiters.
TEST(FileNameTest, RootsAndDelimiters)
{
    EXPECT_EQ(std::string::npos, FileName::LastDelimiter("ソ"));  // 0x83 0x5C
    EXPECT_EQ(2u, FileName::LastDelimiter("C:\\表"));
    EXPECT_EQ("C:\\ソ\\", FileName::IncludeTrailingPathDelimiter("C:\\ソ"));
    EXPECT_EQ("C:\\ソ", FileName::ExcludeTrailingPathDelimiter("C:\\ソ"));
    EXPECT_EQ("表示.avi", FileName::ExtractFileName("C:\\ソフト\\表示.avi"));
    EXPECT_EQ(3u, FileName::RootLength("C:\\x"));
    EXPECT_EQ(12u, FileName::RootLength("\\\\srv\\share\\x"));
}
