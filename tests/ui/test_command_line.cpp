#include <gtest/gtest.h>

#include "ui/UCommandLine.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, OptionsThenPaths)
{
    TCommandLine c = ParseCommandLineArgs({"/A", "/PMusic", "a.avi", "/V", "b.mp3"});
    EXPECT_TRUE(c.AutoPlay);
    EXPECT_EQ("Music", c.ListName);
    EXPECT_FALSE(c.Show.has_value());  // /V after the first path is a path
    EXPECT_EQ((Args{"a.avi", "/V", "b.mp3"}), c.Paths);
}

TEST(CommandLine, MinusFormsCaseAndOverrides)
{
    TCommandLine c = ParseCommandLineArgs({"/a", "/v-", "/A-", "/pX", "/P"});
    EXPECT_FALSE(c.AutoPlay);  // /A- after /a
    ASSERT_TRUE(c.Show.has_value());
    EXPECT_FALSE(*c.Show);
    EXPECT_EQ("", c.ListName);  // an empty /P names no list, and overrides /pX
    EXPECT_TRUE(c.Paths.empty());

    c = ParseCommandLineArgs({"/V-", "a.avi"});
    EXPECT_FALSE(*c.Show);
    EXPECT_EQ(Args{"a.avi"}, c.Paths);
    c = ParseCommandLineArgs({"/Vx", "/Ax"});
    EXPECT_TRUE(*c.Show);  // only "-" as third character turns it off
    EXPECT_TRUE(c.AutoPlay);
}

TEST(CommandLine, UnknownAndShortOptionsAreIgnored)
{
    TCommandLine c = ParseCommandLineArgs({"/", "/Z", "/Pリスト", "C:\\ソフト\\表示.avi"});
    EXPECT_FALSE(c.AutoPlay);
    EXPECT_EQ("リスト", c.ListName);
    EXPECT_EQ(Args{"C:\\ソフト\\表示.avi"}, c.Paths);
}

TEST(CommandLine, FirstNonOptionEndsTheOptions)
{
    TCommandLine c = ParseCommandLineArgs({"x", "/A"});
    EXPECT_FALSE(c.AutoPlay);
    EXPECT_EQ((Args{"x", "/A"}), c.Paths);
    EXPECT_TRUE(ParseCommandLineArgs({}).Paths.empty());
}

TEST(CommandLine, SplitHonoursQuotesAndDoubleByteNames)
{
    // 0x5C trail bytes before a quote must not escape it.
    EXPECT_EQ((Args{"C:\\prog\\Reelo.exe", "/A", "C:\\ソ", "D:\\My Files\\表示.avi", ""}),
              SplitCommandLine("\"C:\\prog\\Reelo.exe\"  /A \"C:\\ソ\" \"D:\\My Files\\表示.avi\" \"\""));
    EXPECT_EQ((Args{"a", "b c"}), SplitCommandLine("a\tb\" \"c  "));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

// Paths handed over by a later start, against the folder it was started in.
// "ソ" ends in the byte of "\" (83 5C): it is no delimiter.
TEST(CommandLine, RelativePathsTakeTheStartsFolder)
{
    EXPECT_EQ("C:\\ソ\\a.wav", AbsolutePath("a.wav", "C:\\ソ"));
    EXPECT_EQ("C:\\ソ\\..\\b\\a.wav", AbsolutePath("..\\b\\a.wav", "C:\\ソ\\"));
    EXPECT_EQ("C:\\x.wav", AbsolutePath("\\x.wav", "C:\\ソ"));
    EXPECT_EQ("\\\\srv\\表\\x.wav", AbsolutePath("\\x.wav", "\\\\srv\\表\\sub"));
    EXPECT_EQ("C:\\ソ\\x.wav", AbsolutePath("c:x.wav", "C:\\ソ"));
    for (const char* kept : {"D:x.wav", "D:\\x.wav", "\\\\srv\\s\\x.wav", ""})
        EXPECT_EQ(kept, AbsolutePath(kept, "C:\\ソ")) << kept;
}

}  // namespace
