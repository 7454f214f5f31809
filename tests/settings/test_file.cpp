#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <climits>
#include <csignal>
#include <sys/resource.h>
#endif

#include "settings/UConfHash.h"
#include "settings/UConfKeyHash.h"
#include "settings/USetting.h"
#include "tests/settings/AllocationMeter.h"

struct TSettingAccess {
    static TKeyNode* Root(TSetting& s) { return s.FRoot.get(); }
};

namespace {

class SettingFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("reelo-settings-" + std::string(info->name()) + "-" + std::to_string(std::rand()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Saved(TSetting& s)
    {
        s.SaveToFile(Path("saved.ini"));
        return Read("saved.ini");
    }
    std::string LoadError(const std::string& bytes)
    {
        TSetting s;
        try {
            s.LoadFromFile(Write("bad.ini", bytes));
        } catch (const Exception& e) {
            return e.Message;
        }
        return "(loaded)";
    }
    std::string FormatError(int line) const
    {
        return "ファイルフォーマットが不正です\r\nfile: " + Path("bad.ini") + " line:" + std::to_string(line);
    }
    std::filesystem::path dir;
};

TEST_F(SettingFile, SmallExampleByteForByte)
{
    TSetting s;
    s.WriteInteger("\\A", 1);
    s.WriteString("\\T", "x");
    s.WriteInteger("\\K\\N", 5);
    EXPECT_EQ("\\\t2\t1\t\r\n\ts T=x\r\n\ti A=1\r\n\r\nK\t1\t0\t\r\n\ti N=5\r\n /K\r\n /\\\r\n", Saved(s));
}

TEST_F(SettingFile, PlayListExampleByteForByte)
{
    // The keys a play list writes for one file and one folder with one
    // excluded file, in the order it writes them.
    TSetting file;
    file.WriteString("\\Path", "C:\\a.avi");
    TSetting s;
    s.DeleteKey("\\Files\\");
    s.WriteInteger("\\Files\\Count", 1);
    s.CopyKey(file, "\\", "\\Files\\1");
    s.DeleteKey("\\Directories\\");
    s.WriteInteger("\\Directories\\Count", 1);
    s.OpenKey("\\Directories\\1");
    s.WriteString("Path", "C:\\m");
    s.WriteInteger("Excluded", 1);
    s.ChangeKey("\\Directories\\1\\ExcludedFiles\\");
    s.WriteString("1\\Name", "C:\\m\\x.avi");
    s.CloseKey();
    const std::string expected =
        "\\\t0\t2\t\r\n"
        "\r\nFiles\t1\t1\t\r\n\ti Count=1\r\n"
        "\r\n1\t1\t0\t\r\n\ts Path=C:\\a.avi\r\n /1\r\n"
        " /Files\r\n"
        "\r\nDirectories\t1\t1\t\r\n\ti Count=1\r\n"
        "\r\n1\t2\t1\t\r\n\ts Path=C:\\m\r\n\ti Excluded=1\r\n"
        "\r\nExcludedFiles\t0\t1\t\r\n"
        "\r\n1\t1\t0\t\r\n\ts Name=C:\\m\\x.avi\r\n /1\r\n"
        " /ExcludedFiles\r\n /1\r\n /Directories\r\n /\\\r\n";
    EXPECT_EQ(expected, Saved(s));

    // Loading it back and saving again gives the same bytes.
    TSetting again;
    again.LoadFromFile(Path("saved.ini"));
    EXPECT_EQ(expected, Saved(again));
}

TEST_F(SettingFile, LoadsLineEndingsCommentsAndMerges)
{
    const std::string text =
        "# comment\n\\\t1\t1\t\r"
        "\ts Eq=a=b=\r\n"
        "\ts Empty=\n"
        "\ti Neg=-2147483648\r\n"
        "#\tnot a value\n\n"
        "Key\t0\t0\t\n"
        "\ti X=007\n"
        " /Key\n"
        " /\\\n"
        "garbage after the end\n\t?";
    TSetting s;
    s.WriteInteger("\\Key\\Kept", 1);
    s.WriteInteger("\\Key\\X", 1);
    s.LoadFromFile(Write("a.ini", text));
    s.LoadFromFile(Path("a.ini"));  // twice: same result
    EXPECT_EQ("a=b=", s.ReadString("\\Eq", ""));
    EXPECT_TRUE(s.Exists("\\Empty"));
    EXPECT_EQ(INT32_MIN, s.ReadInteger("\\Neg", 0));
    EXPECT_EQ(7, s.ReadInteger("\\Key\\X", 0));
    EXPECT_EQ("007", s.ReadString("\\Key\\X", ""));  // the text as written
    EXPECT_EQ(1, s.ReadInteger("\\Key\\Kept", 0));
    EXPECT_EQ("\\\t3\t1\t\r\n", Saved(s).substr(0, 8));
}

TEST_F(SettingFile, FormatErrorsCarryTheLine)
{
    EXPECT_EQ(FormatError(0), LoadError(""));
    EXPECT_EQ(FormatError(2), LoadError("# only\n\ts A=1\n"));
    EXPECT_EQ(FormatError(3), LoadError("\\\t0\t0\t\r\n\r\n\tx\r\n /\\\r\n"));
    EXPECT_EQ(FormatError(3), LoadError("\\\t0\t1\t\nK\t0\t0\t\n /K\n"));  // ends before " /\"
    EXPECT_EQ(FormatError(1), LoadError("\\\t0\t0\n /\\\n"));              // third TAB missing
    EXPECT_EQ(FormatError(2), LoadError("\\\t0\t0\t\n\ts NoEquals\n /\\\n"));
    EXPECT_EQ(FormatError(1), LoadError("x"));
    EXPECT_EQ("(loaded)", LoadError("\\\t0\t0\t\n /\\"));
}

// A large file is read in pieces: a line break that a piece boundary splits
// (CR at the end of one piece, LF at the start of the next) is still one
// break, and a line longer than a piece is read whole.
TEST_F(SettingFile, LinesAcrossReadPieces)
{
    const std::string head = "\\\t2\t0\t\r\n\ts A=";
    const std::string longText(300000, 'y');
    for (int delta = -2; delta <= 1; ++delta) {
        SCOPED_TRACE(delta);
        const std::string pad(256 * 1024 - head.size() - 1 + delta, 'x');
        const std::string body = head + pad + "\r\n\ts B=" + longText + "\r\n";
        TSetting s;
        s.LoadFromFile(Write("pieces.ini", body + " /\\\r\n"));
        EXPECT_EQ(pad, s.ReadString("\\A", ""));
        EXPECT_EQ(longText, s.ReadString("\\B", ""));
        EXPECT_EQ(FormatError(4), LoadError(body + "\tx\r\n /\\\r\n"));
    }
}

TEST_F(SettingFile, BadNumbersAreConversionErrors)
{
    const char* bad[] = {"\\\t0\t0\t\n\ti N=12a\n /\\\n", "\\\t0\t0\t\n\ti N=\n /\\\n",
                         "\\\t0\t0\t\n\ti N=2147483648\n /\\\n", "\\\tx\t0\t\n /\\\n"};
    for (const char* text : bad) {
        TSetting s;
        EXPECT_THROW(s.LoadFromFile(Write("n.ini", text)), EConvertError) << text;
    }
    try {
        TSetting s;
        s.LoadFromFile(Write("n.ini", "\\\t0\t0\t\n\n\ti N=99999999999\n /\\\n"));
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string::npos, e.Message.find("99999999999"));
        EXPECT_NE(std::string::npos, e.Message.find("line:3"));
    }
}

TEST_F(SettingFile, HugeCountsArePresizingHintsOnly)
{
    TSetting s;
    s.LoadFromFile(Write("h.ini", "\\\t2000000000\t2147483647\t\nK\t-5\t2000000000\t\n\ti V=1\n /K\n /\\\n"));
    TKeyNode* root = TSettingAccess::Root(s);
    EXPECT_EQ(2000000000, root->Values.HashSize());
    EXPECT_EQ(2147483647, root->SubKeys.HashSize());
    EXPECT_EQ(5, root->SubKeys.Get("K")->Values.HashSize());
    EXPECT_EQ(1, s.ReadInteger("\\K\\V", 0));
    EXPECT_EQ(std::string("\\\t0\t1\t\r\n\r\nK\t1\t0\t\r\n\ti V=1\r\n /K\r\n /\\\r\n"), Saved(s));
    // A presized table writes its entries in the order of its bucket count.
    TSetting p;
    p.LoadFromFile(
        Write("p.ini", "\\\t0\t0\t\nK\t0\t7\t\nA\t0\t0\t\n /A\nB\t0\t0\t\n /B\nC\t0\t0\t\n /C\n /K\n /\\\n"));
    EXPECT_EQ(7, TSettingAccess::Root(p)->SubKeys.Get("K")->SubKeys.HashSize());
}

// Damaged or hostile counts cost what the file holds, not what it claims:
// keys that each announce two billion entries (each was indexed for the
// rest of the file), and one key's header given again and again, bringing
// one more value or announcing one more each time (each re-sorted the
// table). The tables still end in the order that resizing at each header
// gives.
TEST_F(SettingFile, HostileCountsCostWhatTheFileHolds)
{
    std::string keys = "\\\t0\t800\t\r\n";
    for (int i = 0; i < 800; ++i)
        keys += "K" + std::to_string(i) + "\t2147483647\t2147483647\t\r\n /K" + std::to_string(i) + "\r\n";
    // The loader's steps on a plain table alongside: K's header, its values.
    TConfHash model;
    auto header = [&model](int announced) {
        if (announced + model.Count() > model.HashSize()) model.SetHashSize(announced + model.Count());
        return "K\t" + std::to_string(announced) + "\t0\t\r\n";
    };
    auto value = [&model](int i) {
        model.Add(std::to_string(i), TConf::Integer(1));
        return "\ti " + std::to_string(i) + "=1\r\n";
    };
    std::string growing = "\\\t0\t1\t\r\n";
    for (int i = 0; i < 2000; ++i) {
        growing += header(1);
        growing += value(i) + " /K\r\n";
    }
    const std::vector<std::string> growingOrder = model.Keys();
    model.SetHashSize(1);
    model.RemoveIf([](const auto&) { return true; });
    std::string announcing = "\\\t0\t1\t\r\n" + header(1000);
    for (int i = 0; i < 1000; ++i) announcing += value(i);
    for (int k = 1; k <= 2000; ++k) announcing += " /K\r\n" + header(k);
    announcing += " /K\r\n";

    for (std::string* text : {&keys, &growing, &announcing}) {
        *text += " /\\\r\n";
        TSetting s;
        const auto taken = AllocationMeter::Measure([&] { s.LoadFromFile(Write("h.ini", *text)); });
        EXPECT_TRUE(taken.Within(text->size())) << taken.Peak << " " << taken.Total << " " << text->size();
        if (text == &keys) continue;
        const TConfHash& values = TSettingAccess::Root(s)->SubKeys.Get("K")->Values;
        EXPECT_EQ(text == &growing ? growingOrder : model.Keys(), values.Keys());
    }
}

TEST_F(SettingFile, RoundTripKeepsKinds)
{
    TSetting s;
    s.WriteString("\\Files\\1\\Path", "C:\\フォルダ\\表示.avi");
    s.WriteString("\\Digits", "123");
    s.WriteInteger("\\Neg", -42);
    s.WriteString("\\A=B", "lost name");
    for (int i = 0; i < 100; ++i) s.WriteInteger("\\Many\\" + std::to_string(i), i);
    const std::string bytes = Saved(s);
    TSetting t;
    t.LoadFromFile(Path("saved.ini"));
    // The loaded "Many" has 100 buckets (presized), so its lines come in
    // another order; from then on the bytes are stable.
    const std::string again = Saved(t);
    EXPECT_NE(bytes, again);
    EXPECT_EQ(bytes.size(), again.size());
    TSetting u;
    u.LoadFromFile(Path("saved.ini"));
    EXPECT_EQ(again, Saved(u));
    EXPECT_EQ("C:\\フォルダ\\表示.avi", t.ReadString("\\Files\\1\\Path", ""));
    EXPECT_THROW(t.ReadInteger("\\Digits", 0), ESettingError);
    EXPECT_EQ(-42, t.ReadInteger("\\Neg", 0));
    EXPECT_EQ(99, t.ReadInteger("\\Many\\99", 0));
    EXPECT_FALSE(t.Exists("\\A=B"));  // a name with "=" does not survive
    EXPECT_EQ("B=lost name", t.ReadString("\\A", ""));
}

TEST_F(SettingFile, DeepNestingNeedsNoStack)
{
    std::string text = "\\\t0\t1\t\n";
    const int depth = 200000;
    for (int i = 0; i < depth; ++i) text += "k\t0\t1\t\n";
    for (int i = 0; i < depth; ++i) text += " /k\n";
    text += " /\\\n";
    TSetting s;
    s.LoadFromFile(Write("deep.ini", text));
    const std::string saved = Saved(s);
    TSetting t;
    t.LoadFromFile(Path("saved.ini"));
    EXPECT_EQ(saved, Saved(t));
    EXPECT_TRUE(t.Exists("\\k\\k\\k"));
}

TEST_F(SettingFile, FailedSavesKeepThePreviousFile)
{
    TSetting s;
    s.WriteString("\\V", "old");
    const std::string target = Path("keep.ini");
    s.SaveToFile(target);
    const std::string before = Read("keep.ini");
    s.WriteString("\\V", std::string(100000, 'n'));

    EXPECT_THROW(s.SaveToFile(Path("no-such-folder/x.ini")), EFileError);
    EXPECT_THROW(s.LoadFromFile(Path("missing.ini")), EFileError);

#ifndef _WIN32
    // The temporary file cannot be created (no file descriptor left).
    struct rlimit files;
    getrlimit(RLIMIT_NOFILE, &files);
    struct rlimit none = files;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_NOFILE, &none);
    bool failed = false;
    try {
        s.SaveToFile(target);
    } catch (const EFileError&) {
        failed = true;
    }
    setrlimit(RLIMIT_NOFILE, &files);
    EXPECT_TRUE(failed);
    EXPECT_EQ(before, Read("keep.ini"));

    // A write that fails part-way (file size limit reached).
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(s.SaveToFile(target), EFileError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(before, Read("keep.ini"));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir), {}));  // no temporary left
#endif
    s.SaveToFile(target);
    EXPECT_NE(before, Read("keep.ini"));
}

// A file at the length limit of a path (Windows) or of a name (POSIX) can be
// saved: the temporary file of the save is no longer.
TEST_F(SettingFile, SavesATargetAtTheLengthLimit)
{
#ifdef _WIN32
    const std::string name(259 - Path("").size(), 'n');  // MAX_PATH without the terminating zero
#else
    const std::string name(NAME_MAX, 'n');
#endif
    TSetting s;
    s.WriteString("\\V", "x");
    s.SaveToFile(Path(name));
    EXPECT_EQ(Saved(s), Read(name));
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir), {}));  // + saved.ini
}

// A save never writes over, moves or deletes a file of the user's that lies
// beside the target, whatever its name.
TEST_F(SettingFile, SavesLeaveOtherFilesAlone)
{
    const std::string mine = Write("config.ini.tmp", "mine\r\n");
    std::filesystem::create_directory(Path("config.ini.tmp.d"));
    TSetting s;
    s.WriteString("\\V", "x");
    for (int i = 0; i < 3; ++i) s.SaveToFile(Path("config.ini"));
    EXPECT_EQ("mine\r\n", Read("config.ini.tmp"));
    EXPECT_EQ(Saved(s), Read("config.ini"));
    EXPECT_EQ(4, std::distance(std::filesystem::directory_iterator(dir), {}));  // + saved.ini
}

// A key handed over with MoveKey leaves both stores as CopyKey followed by
// DeleteKey would: whether the destination is new or already there, whether
// a copy would reorder a table, and when the source's open key lies inside.
TEST_F(SettingFile, MoveKeyEndsLikeCopyAndDelete)
{
    const std::string source = Write(
        "source.lst",
        "\\\t0\t1\t\r\n"
        "\r\nL\t0\t2\t\r\n"
        "\r\n1\t1\t1\t\r\n\ts Path=p1\r\n"
        "\r\nCommon\t3\t1\t\r\n\ti z=1\r\n\ti a=2\r\n\ts m=x\r\n"
        "\r\nDeep\t1\t0\t\r\n\ts k=v\r\n /Deep\r\n /Common\r\n /1\r\n"
        "\r\n2\t1\t1\t\r\n\ts Path=p2\r\n"
        "\r\nCommon\t40\t0\t\r\n\ti z=1\r\n\ti a=2\r\n\ti m=3\r\n\ts q=x\r\n\ti b=4\r\n /Common\r\n /2\r\n"
        " /L\r\n /\\\r\n");
    struct TCase {
        const char* From;
        const char* To;
        bool DestExists;
        const char* OpenInSource;
    };
    const TCase cases[] = {
        {"\\L\\1\\Common\\", "\\Common\\", false, nullptr},
        {"1\\Common\\", "\\New\\Common", false, "\\L\\"},  // relative to the open key
        {"\\L\\1\\Common\\", "\\Common\\", true, nullptr},
        {"\\L\\2\\Common\\", "\\Common\\", false, nullptr},  // presized: a copy reorders
        {"\\L\\1\\Common\\", "\\Common\\", false, "\\L\\1\\Common\\Deep\\"},
        {"\\L\\9\\Common\\", "\\Common\\", false, nullptr},  // no such key
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.From) + " -> " + c.To);
        TSetting srcA, srcB, dstA, dstB;
        for (TSetting* s : {&srcA, &srcB}) {
            s->LoadFromFile(source);
            if (c.OpenInSource) s->OpenKey(c.OpenInSource);
        }
        for (TSetting* d : {&dstA, &dstB}) {
            d->WriteString("\\Path", "file");
            if (c.DestExists) d->WriteInteger("\\Common\\a", 9);
        }
        dstA.MoveKey(srcA, c.From, c.To);
        dstB.CopyKey(srcB, c.From, c.To);
        srcB.DeleteKey(c.From);
        EXPECT_EQ(srcB.ReadString("k", "none"), srcA.ReadString("k", "none"));
        EXPECT_EQ(srcB.KeyOpen(), srcA.KeyOpen());
        srcA.CloseKey();
        srcB.CloseKey();
        EXPECT_EQ(Saved(dstB), Saved(dstA));
        EXPECT_EQ(Saved(srcB), Saved(srcA));
    }
}

// TakeNumberedKeys leaves both stores as reading each entry's text, moving its
// kept key into a store of its own and deleting the entry would: entries
// taken whole, entries whose shape needs a new tree, names that are no
// entry, and an open key inside an entry.
TEST_F(SettingFile, TakenKeysEndLikeTheLongWay)
{
    const std::string source =
        Write("taken.lst",
              "\\\t0\t1\t\r\n\r\nL\t1\t10\t\r\n\ti Count=8\r\n"
              "\r\n5\t2\t2\t\r\n\ts Path=p5\r\n\ti Extra=1\r\n\r\nCommon\t1\t0\t\r\n\ti a=5\r\n /Common\r\n"
              "\r\nOther\t0\t0\t\r\n /Other\r\n /5\r\n"
              "\r\n1\t1\t1\t\r\n\ts Path=p1\r\n\r\nCommon\t2\t1\t\r\n\ti z=1\r\n\ts k=x\r\n"
              "\r\nDeep\t1\t0\t\r\n\ts k=v\r\n /Deep\r\n /Common\r\n /1\r\n"
              "\r\n2\t1\t1\t\r\n\ti Path=0032\r\n\r\nCommon\t1\t0\t\r\n\ti b=2\r\n /Common\r\n /2\r\n"
              "\r\n3\t1\t0\t\r\n\ti NoPath=3\r\n /3\r\n"
              "\r\n4\t1\t1\t\r\n\ts Path=p4\r\n\r\nCommon\t40\t0\t\r\n\ti z=1\r\n\ti a=2\r\n\ti m=3\r\n"
              "\ts q=x\r\n\ti b=4\r\n /Common\r\n /4\r\n"
              "\r\n6\t0\t1\t\r\n\r\nPath\t1\t0\t\r\n\ts =p6\r\n /Path\r\n /6\r\n"
              "\r\n07\t1\t0\t\r\n\ts Path=p7\r\n /07\r\n"
              "\r\n9\t1\t0\t\r\n\ts Path=p9\r\n /9\r\n"
              "\r\nx\t1\t0\t\r\n\ts Path=px\r\n /x\r\n"
              "\r\n8\t1\t0\t\r\n\ts Path=p8\r\n /8\r\n"
              " /L\r\n /\\\r\n");
    for (const char* open : {static_cast<const char*>(nullptr), "\\L\\1\\Common\\"}) {
        SCOPED_TRACE(open ? open : "no key open");
        TSetting a, b;
        for (TSetting* s : {&a, &b}) {
            s->LoadFromFile(source);
            if (open) s->OpenKey(open);
        }
        std::vector<std::string> taken, longWay;
        a.TakeNumberedKeys("\\L\\", 8, "Path", "Common",
                           [&](int32_t number, std::string text, TSetting::TTree tree) {
                               TSetting entry(std::move(tree));
                               taken.push_back(std::to_string(number) + " " + text + "\n" + Saved(entry));
                           });
        const std::string missing(1, '\0');
        for (int i = 1; i <= 8; ++i) {
            const std::string key = "\\L\\" + std::to_string(i) + "\\";
            const std::string text = b.ReadString(key + "Path", missing);
            if (text == missing) continue;
            TSetting entry;
            entry.WriteString("\\Path", text);
            entry.MoveKey(b, key + "Common\\", "\\Common\\");
            b.DeleteKey(key);
            longWay.push_back(std::to_string(i) + " " + text + "\n" + Saved(entry));
        }
        EXPECT_EQ(longWay, taken);
        EXPECT_EQ(6u, taken.size());
        EXPECT_EQ(b.ReadString("k", "none"), a.ReadString("k", "none"));
        a.CloseKey();
        b.CloseKey();
        EXPECT_EQ(Saved(b), Saved(a));
    }
}

// Copies written once are left alone while nothing changes, and written
// again after any change of a source or of the key that holds them,
// whatever operation made it and however it addressed the key.
TEST_F(SettingFile, NumberedCopiesFollowEveryChange)
{
    std::vector<std::unique_ptr<TSetting>> stores;
    for (int i = 0; i < 3; ++i) {
        stores.push_back(std::make_unique<TSetting>());
        stores[i]->WriteString("\\Path", "C:\\" + std::to_string(i) + ".mp3");
        stores[i]->WriteInteger("\\Common\\V", i);
    }
    const std::string other =
        Write("other.ini", "\\\t0\t1\t\r\n\r\nCommon\t1\t0\t\r\n\ti L=7\r\n /Common\r\n /\\\r\n");
    const std::string files =
        Write("files.ini",
              "\\\t0\t1\t\r\n\r\nFiles\t0\t1\t\r\n\r\n2\t1\t0\t\r\n\ti V=8\r\n /2\r\n /Files\r\n /\\\r\n");
    TSetting sink, merged;
    merged.WriteInteger("\\Files\\3\\Common\\V", 4);
    // Changes of a source are made once; changes of the copies' store are
    // made to both stores compared.
    struct TChange {
        const char* What;
        std::function<void(TSetting& copies)> Make;
        bool OfCopies;
    };
    const TChange changes[] = {
        {"nothing", [](TSetting&) {}, false},
        {"write", [&](TSetting&) { stores[0]->WriteInteger("\\Common\\V", 9); }, false},
        {"delete a value", [&](TSetting&) { stores[1]->DeleteValue("\\Common\\V"); }, false},
        {"create a key", [&](TSetting&) { stores[2]->CreateKey("\\Common\\New\\"); }, false},
        {"copy into", [&](TSetting&) { stores[1]->CopyKey(*stores[0], "\\Common\\", "\\Common\\"); }, false},
        {"move out", [&](TSetting&) { sink.MoveKey(*stores[0], "\\Common\\", "\\Common\\"); }, false},
        {"delete a key", [&](TSetting&) { stores[2]->DeleteKey("\\Common\\"); }, false},
        {"load", [&](TSetting&) { stores[0]->LoadFromFile(other); }, false},
        {"numbered key", [&](TSetting&) { stores[1]->WriteString("\\L\\1\\Path", "x"); }, false},
        {"take",
         [&](TSetting&) {
             stores[1]->TakeNumberedKeys("\\L\\", 1, "Path", "Common",
                                         [](int32_t, std::string, TSetting::TTree) {});
         },
         false},
        {"clear", [&](TSetting&) { stores[2]->Clear(); }, false},
        {"exchange", [&](TSetting&) { std::swap(stores[0], stores[1]); }, false},
        {"new store",
         [&](TSetting&) {
             stores[2] = std::make_unique<TSetting>();
             stores[2]->WriteString("\\Path", "new");
         },
         false},
        {"written", [](TSetting& c) { c.WriteInteger("\\Files\\1\\Common\\V", 5); }, true},
        {"deleted", [](TSetting& c) { c.DeleteKey("\\Files\\2\\"); }, true},
        {"written below the open key",
         [](TSetting& c) {
             TSettingKey key(c, "\\Files\\2\\");
             c.WriteInteger("Common\\V", 6);
         },
         true},
        {"deleted from a missing open key",
         [](TSetting& c) {
             TSettingKey key(c, "\\Missing\\");
             c.DeleteValue("..\\Files\\1\\Path");
         },
         true},
        {"merged at the root", [&](TSetting& c) { c.CopyKey(merged, "\\", "\\"); }, true},
        {"loaded", [&](TSetting& c) { c.LoadFromFile(files); }, true},
        {"written elsewhere", [](TSetting& c) { c.WriteInteger("\\Other\\V", 1); }, true},
        {"a key in the same bucket", [](TSetting& c) { c.WriteInteger("\\Directories\\Count", 0); }, true},
    };
    TSetting fast, slow;
    for (const TChange& change : changes) {
        SCOPED_TRACE(change.What);
        change.Make(fast);
        if (change.OfCopies) change.Make(slow);
        std::vector<TSetting*> sources;
        for (auto& s : stores) sources.push_back(s.get());
        slow.DeleteKey("\\Files\\");
        slow.WriteInteger("\\Files\\Count", static_cast<int32_t>(sources.size()));
        for (std::size_t i = 0; i < sources.size(); ++i)
            slow.CopyKey(*sources[i], "\\", "\\Files\\" + std::to_string(i + 1));
        for (int twice = 0; twice < 2; ++twice) {
            fast.WriteNumberedCopies("Files", "Count", sources);
            EXPECT_EQ(Saved(slow), Saved(fast));
        }
    }
}

// WriteNumberedCopies re-uses what the key already holds, yet every save
// shows the same bytes as deleting the key and copying every store anew,
// through a series of changes to the stores and their number.
TEST_F(SettingFile, NumberedCopiesEndLikeTheLongWay)
{
    std::vector<std::unique_ptr<TSetting>> stores;
    auto addStore = [&stores](int i) {
        stores.push_back(std::make_unique<TSetting>());
        TSetting& s = *stores.back();
        s.WriteString("\\Path", "C:\\m\\" + std::to_string(i) + ".mp3");
        if (i % 3) s.WriteInteger("\\Common\\MaxSample", i);
        s.WriteFloat("\\Common\\BaseVolume", 0.5 + i / 100.0);
        if (i % 5 == 0) s.WriteString("\\Common\\Sub\\K", "v");
    };
    for (int i = 0; i < 45; ++i) addStore(i);
    auto pointers = [&stores] {
        std::vector<TSetting*> p;
        for (auto& s : stores) p.push_back(s.get());
        return p;
    };
    auto longWay = [](TSetting& s, const std::vector<TSetting*>& sources) {
        s.DeleteKey("\\Files\\");
        s.WriteInteger("\\Files\\Count", static_cast<int32_t>(sources.size()));
        TSettingKey key(s, "\\Files\\");
        for (std::size_t i = 0; i < sources.size(); ++i) s.CopyKey(*sources[i], "\\", std::to_string(i + 1));
    };
    TSetting fast, slow;
    for (TSetting* s : {&fast, &slow}) {
        // "Files" first, then enough other keys that some share its bucket.
        s->WriteString("\\Files\\Junk", "j");
        for (int k = 0; k < 12; ++k) s->WriteInteger("\\K" + std::to_string(k) + "\\V", k);
    }
    auto step = [&](const char* what) {
        SCOPED_TRACE(what);
        fast.WriteNumberedCopies("Files", "Count", pointers());
        longWay(slow, pointers());
        EXPECT_EQ(Saved(slow), Saved(fast));
    };
    step("first, over a key with a foreign value");
    for (TSetting* s : {&fast, &slow})
        for (int k = 0; k < 6; ++k) s->WriteInteger("\\L" + std::to_string(k) + "\\V", k);
    step("unchanged, with keys added after it");
    stores[7]->WriteInteger("\\Common\\MaxSample", 99999);
    step("a value changed");
    stores[8]->WriteString("\\Common\\Other", "o");
    step("a value added");
    std::swap(stores[3], stores[4]);
    step("two exchanged");
    stores.pop_back();
    step("one fewer");
    addStore(100);
    addStore(101);
    step("two more");
    for (TSetting* s : {&fast, &slow}) {
        // The same names written by hand, in another order.
        s->DeleteKey("\\Files\\");
        s->WriteInteger("\\Files\\Count", static_cast<int32_t>(stores.size()));
        for (std::size_t i = stores.size(); i > 0; --i)
            s->WriteString("\\Files\\" + std::to_string(i) + "\\Path",
                           stores[i - 1]->ReadString("\\Path", ""));
    }
    step("over keys written in another order");
    stores.clear();
    step("none");
    addStore(1);
    step("one again");

    // A loaded list: its key is presized by the file's counts.
    for (int i = 2; i < 9; ++i) addStore(i);
    step("before saving");
    const std::string file = Path("fast.lst");
    fast.SaveToFile(file);
    TSetting loadedFast, loadedSlow;
    loadedFast.LoadFromFile(file);
    loadedSlow.LoadFromFile(file);
    stores[2]->WriteInteger("\\Common\\MaxSample", 7);
    loadedFast.WriteNumberedCopies("Files", "Count", pointers());
    longWay(loadedSlow, pointers());
    EXPECT_EQ(Saved(loadedSlow), Saved(loadedFast));
}

}  // namespace
