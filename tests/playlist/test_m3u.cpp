// M3U and M3U8 lists: reading both encodings, writing M3U8, damaged files,
// and the expansion of dropped or added paths.
#include <gtest/gtest.h>

#include <vector>

#include "TempFolder.h"
#include "playlist/UM3U.h"

namespace {

using TNames = std::vector<std::string>;

TNames Paths(const M3U::TReadResult& r)
{
    TNames paths;
    for (const M3U::TEntry& e : r.Entries) paths.push_back(e.Path);
    return paths;
}

// UTF-8 spellings of the names used below (the sources' literals are CP932).
const std::string Hyo8 = "\xE8\xA1\xA8", So8 = "\xE3\x82\xBD", No8 = "\xE8\x83\xBD";
const std::string Hangul8 = "\xED\x95\x9C";  // no CP932 form

}  // namespace

TEST(M3UTest, ReadsEntriesTitlesAndSkips)
{
    // A BOM, CR LF, LF and CR line ends, blanks around an entry.
    const std::string text =
        "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:215," + Hyo8 + "\r\n" + So8 + "/" + Hyo8 + ".mp3\n" +
        "# a comment\r..\\" + No8 + ".wav\r\n\r\n  D:\\x\\.\\y.mp3  \n\\root.avi\r\n" +
        "http://example.invalid/stream.mp3\n#EXTINF:-1," + Hangul8 + "\n" + Hangul8 + ".mp3\n" +
        "a\xC2\xA5"
        "b.mp3\n" +  // "¥" has only a look-alike, the byte of "\\": escaped
        "last.ogg";
    const M3U::TReadResult r = M3U::Parse(text, "C:\\ソフト\\list.m3u8");
    EXPECT_EQ((TNames{"C:\\ソフト\\ソ\\表.mp3", "C:\\能.wav", "D:\\x\\y.mp3", "C:\\root.avi",
                      "C:\\ソフト\\<U+D55C>.mp3", "C:\\ソフト\\a<U+00A5>b.mp3", "C:\\ソフト\\last.ogg"}),
              Paths(r));
    EXPECT_EQ("表", r.Entries[0].Title);
    EXPECT_EQ("", r.Entries[1].Title);
    EXPECT_EQ("<U+D55C>", r.Entries[4].Title);
    EXPECT_EQ("", r.Entries[5].Title);
    EXPECT_EQ(1, r.Urls);
    EXPECT_EQ(0, r.Unrepresentable);

    // The same list in the system code page as .m3u: the same entries. A BOM
    // makes an .m3u UTF-8 too.
    const M3U::TReadResult ansi =
        M3U::Parse("#EXTM3U\r\nソ\\表.mp3\r\n..\\能.wav\r\n", "\\\\srv\\share\\ソ\\a.m3u");
    EXPECT_EQ((TNames{"\\\\srv\\share\\ソ\\ソ\\表.mp3", "\\\\srv\\share\\能.wav"}), Paths(ansi));
    EXPECT_EQ(TNames{"C:\\表.mp3"}, Paths(M3U::Parse("\xEF\xBB\xBF" + Hyo8 + ".mp3", "C:\\a.M3U")));
    // A drive's current folder ("r:") is no root: what ".." means there is
    // left to the system.
    EXPECT_EQ((TNames{"r:..\\a.mp3", "r:a.mp3", "C:\\a.mp3"}),
              Paths(M3U::Parse("r:..\\a.mp3\nr:x/../a.mp3\n\\..\\a.mp3\n", "C:\\ソ\\a.m3u")));

    EXPECT_TRUE(M3U::IsListFile("C:\\ソ\\a.M3U8"));
    EXPECT_TRUE(M3U::IsListFile("b.m3u"));
    EXPECT_FALSE(M3U::IsListFile("C:\\x.m3u\\b.mp3"));
    EXPECT_FALSE(M3U::IsListFile("C:\\m3u"));
}

TEST(M3UTest, WrittenListsReadBackTheSamePaths)
{
    const std::vector<M3U::TItem> items = {
        {"C:\\ソフト\\表示.avi", "表示"}, {"D:\\能\\ソ.mp3", "ソ"}, {"\\\\srv\\share\\a b.wav", "a b"}};
    const std::string bytes = M3U::Format(items);
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:-1," + Hyo8 + "\xE7\xA4\xBA\r\nC:\\" + So8 + "\xE3\x83\x95\xE3\x83\x88\\" +
                  Hyo8 + "\xE7\xA4\xBA.avi\r\n",
              bytes.substr(0, bytes.find("#EXTINF", 20)));
    const M3U::TReadResult r = M3U::Parse(bytes, "E:\\elsewhere\\list.m3u8");
    ASSERT_EQ(3u, r.Entries.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].Path, r.Entries[i].Path);
        EXPECT_EQ(items[i].DisplayName, r.Entries[i].Title);
    }
    // Names outside the code page are written with their real characters.
    const std::string escaped =
        M3U::Format({{"C:\\<U+D55C>\\Beyonc<U+00E9> <U+1F3B5>.wav", "Beyonc<U+00E9>"}});
    EXPECT_EQ("#EXTM3U\r\n#EXTINF:-1,Beyonc\xC3\xA9\r\nC:\\" + Hangul8 +
                  "\\Beyonc\xC3\xA9 \xF0\x9F\x8E\xB5.wav\r\n",
              escaped);
    EXPECT_EQ(TNames{"C:\\<U+D55C>\\Beyonc<U+00E9> <U+1F3B5>.wav"}, Paths(M3U::Parse(escaped, "D:\\a.m3u8")));
    // A name with a line break would come back as two entries, and UTF-8
    // has no lone surrogate: refused.
    EXPECT_THROW(M3U::Format({{"C:\\a\r\nb.mp3", "a"}}), EM3UError);
    EXPECT_THROW(M3U::Format({{"C:\\a<U+D800>.mp3", "a"}}), EM3UError);
}

TEST(M3UTest, DamagedOrBinaryFilesYieldNothing)
{
    try {
        M3U::Parse("a.mp3\r\nb\xC3(.mp3\r\n", "C:\\list.m3u8");  // broken UTF-8 on line 2
        FAIL();
    } catch (const EM3UError& e) {
        EXPECT_NE(std::string::npos, e.Message.find("C:\\list.m3u8"));
        EXPECT_NE(std::string::npos, e.Message.find("2 行目"));
    }
    EXPECT_THROW(M3U::Parse(std::string("RIFF\x10\0\0\0WAVE", 12), "C:\\x.m3u"), EM3UError);
    EXPECT_THROW(M3U::Parse("a.mp3\n\x82\n", "C:\\x.m3u"), EM3UError);   // lead byte alone
    EXPECT_THROW(M3U::Parse("\x85\x40.mp3\n", "C:\\x.m3u"), EM3UError);  // no character there
}

TEST(M3UTest, ListFilesOnDiskExpandInPlace)
{
    TTempFolder dir;
    const std::string list = dir.Path() + "list.m3u8", bad = dir.Path() + "bad.m3u";
    M3U::Save(list, {{"C:\\表.mp3", "表"}, {"C:\\ソ.mp3", "ソ"}});
    TTempFolder::WriteFile(list, TTempFolder::ReadFile(list) + "http://a.invalid/x\nC:/" + Hangul8 +
                                     ".mp3\nfile:///C:/%FF%FE.mp3\n");
    TTempFolder::WriteFile(bad, std::string("\0\0\0", 3));

    const M3U::TExpanded e =
        M3U::ExpandListFiles({"C:\\first.avi", list, bad, dir.Path() + "missing.m3u", "C:\\last.avi"});
    EXPECT_EQ((TNames{"C:\\first.avi", "C:\\表.mp3", "C:\\ソ.mp3", "C:\\<U+D55C>.mp3", "C:\\last.avi"}),
              e.Paths);
    EXPECT_EQ(1, e.Unrepresentable);
    EXPECT_EQ(1, e.Urls);
    ASSERT_EQ(2u, e.Errors.size());
    const std::string report = M3U::Report(e);
    EXPECT_NE(std::string::npos, report.find(bad));
    EXPECT_NE(std::string::npos, report.find("1 件のファイル URI"));
    EXPECT_EQ("", M3U::Report(M3U::ExpandListFiles({"C:\\a.avi"})));
    // Saved under ".m3u" the UTF-8 text carries its byte-order mark, and reads back.
    const std::string plain = dir.Path() + "plain.m3u";
    M3U::Save(plain, {{"C:\\表.mp3", "表"}});
    EXPECT_EQ(0u, TTempFolder::ReadFile(plain).rfind("\xEF\xBB\xBF#EXTM3U", 0));
    EXPECT_EQ(TNames{"C:\\表.mp3"}, M3U::ExpandListFiles({plain}).Paths);

    // A save that cannot be written says so.
    EXPECT_THROW(M3U::Save(dir.Path() + "no-such-folder/x.m3u8", {}), EFileError);
}

TEST(M3UTest, ListsOfOtherPlayersAreReadWhole)
{
    TTempFolder tmp;
    std::string dir = tmp.Path();  // as a list names it, with "\" (the native layer turns them back)
    for (char& c : dir)
        if (c == '/') c = '\\';
    tmp.MakeFolder("sub");
    for (const char* f : {"曲.wav", "A B.wav", "sub\\表.wav", "100%.wav", "50%41.wav"}) tmp.MakeFile(f);
    auto read = [&dir](const std::string& name, const std::string& bytes) {
        TTempFolder::WriteFile(dir + name, bytes);
        const M3U::TReadResult r = M3U::Load(dir + name);
        EXPECT_EQ(0, r.Urls + r.Unrepresentable) << name;
        return r;
    };

    // Names under the list's folder as URLs, "%XX" in UTF-8; the others as
    // file URIs. A name that exists as written stays as written, and one
    // that exists in neither form too.
    const M3U::TReadResult vlc =
        read("vlc.m3u8",
             "#EXTM3U\n#EXTINF:12,\xE6\x9B\xB2\n#EXTVLCOPT:network-caching=1000\n%E6%9B%B2.wav\n"
             "A%20B.wav\nsub/%E8%A1%A8.wav\n100%25.wav\n50%41.wav\nmissing%20one.wav\n"
             "file:///C:/Music/%ED%95%9C%EA%B5%AD%20%E2%99%A1.wav\nfile://server/share/Beyonc%C3%A9.mp3\n"
             "FILE://localhost/D:/x.mp3\nfile:///E|/old.mp3\n");
    EXPECT_EQ(
        (TNames{dir + "曲.wav", dir + "A B.wav", dir + "sub\\表.wav", dir + "100%.wav", dir + "50%41.wav",
                dir + "missing%20one.wav", "C:\\Music\\<U+D55C><U+AD6D> <U+2661>.wav",
                "\\\\server\\share\\Beyonc<U+00E9>.mp3", "D:\\x.mp3", "E:\\old.mp3"}),
        Paths(vlc));
    EXPECT_EQ("曲", vlc.Entries[0].Title);

    // UTF-8 with its mark, relative names with "/", absolute ones with "\".
    const M3U::TReadResult foobar =
        read("foobar.m3u8", "\xEF\xBB\xBFsub/" + Hyo8 + ".wav\r\nC:\\Music\\" + Hangul8 + ".flac\r\n");
    EXPECT_EQ((TNames{dir + "sub\\表.wav", "C:\\Music\\<U+D55C>.flac"}), Paths(foobar));

    // The code page, CR LF, titles of "artist - title".
    const M3U::TReadResult winamp = read(
        "winamp.m3u", "#EXTM3U\r\n#EXTINF:215,アーティスト - 曲\r\n曲.wav\r\nsub\\表.wav\r\nD:\\能.mp3\r\n");
    EXPECT_EQ((TNames{dir + "曲.wav", dir + "sub\\表.wav", "D:\\能.mp3"}), Paths(winamp));
    EXPECT_EQ("アーティスト - 曲", winamp.Entries[0].Title);
}
