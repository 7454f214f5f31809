#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "settings/USetting.h"

namespace {

template <class F>
std::string MessageOf(F f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "(no exception)";
}

TEST(Setting, NewStoreAndPaths)
{
    TSetting s;
    EXPECT_EQ("def", s.ReadString("Missing", "def"));
    EXPECT_TRUE(s.Exists("\\"));
    EXPECT_TRUE(s.Exists(""));

    s.WriteString("\\A\\B\\C", "one");
    EXPECT_TRUE(s.Exists("\\A"));
    EXPECT_TRUE(s.Exists("\\A\\B\\"));
    EXPECT_TRUE(s.Exists("\\A\\B\\C"));
    EXPECT_FALSE(s.Exists("\\A\\C"));
    s.WriteString("\\A\\B\\D", "two");
    s.WriteInteger("\\A\\B\\C", 3);  // overwritten in place, now an integer
    EXPECT_EQ(3, s.ReadInteger("\\A\\B\\C", 0));
    EXPECT_EQ("3", s.ReadString("\\A\\B\\C", ""));

    TSettingKey key(s, "\\A\\B");
    EXPECT_TRUE(key.Exists());
    EXPECT_EQ("\\A\\B\\", s.CurrentPath());
    EXPECT_EQ("two", s.ReadString("D", ""));
    // While the key exists, relative names are walked from it: "." and ".."
    // are then plain key names.
    EXPECT_EQ("none", s.ReadString("..\\B\\D", "none"));
    EXPECT_TRUE(s.ChangeKey(".."));
    EXPECT_EQ("\\A\\", s.CurrentPath());
    EXPECT_EQ("two", s.ReadString("B\\D", ""));
    EXPECT_FALSE(s.ChangeKey(".\\X\\..\\..\\Y"));
    EXPECT_EQ("\\Y\\", s.CurrentPath());
    EXPECT_TRUE(s.ChangeKey("\\A\\B\\"));
    EXPECT_TRUE(s.ChangeKey("..\\..\\..\\.."));  // stops at the root
    EXPECT_EQ("\\", s.CurrentPath());
}

TEST(Setting, MissingOpenKeyCreatedByFirstWrite)
{
    TSetting s;
    {
        TSettingKey key(s, "\\K\\L\\");
        EXPECT_FALSE(key.Exists());
        EXPECT_FALSE(s.Exists("\\K"));
        EXPECT_EQ(5, s.ReadInteger("V", 5));
        s.WriteInteger("V", 1);  // nested exclusive hold inside OpenKey's shared one
        s.WriteInteger("W", 2);
        EXPECT_EQ(1, s.ReadInteger("V", 5));
    }
    EXPECT_FALSE(s.KeyOpen());
    EXPECT_EQ(2, s.ReadInteger("\\K\\L\\W", 0));
}

TEST(Setting, ErrorTexts)
{
    TSetting s;
    s.WriteString("\\K\\S", "123");
    s.CreateKey("\\K\\X");
    EXPECT_EQ("未だキーが開かれていません。", MessageOf([&] { s.ChangeKey("\\K"); }));
    TSettingKey key(s, "\\K");
    EXPECT_EQ("すでにキーを開いています。", MessageOf([&] { s.OpenKey("\\Other"); }));
    EXPECT_EQ("\\K\\", s.CurrentPath());  // the first key stays open
    EXPECT_EQ("非整数値Sを整数として読み出しました", MessageOf([&] { s.ReadInteger("S", 0); }));
    EXPECT_EQ("キー X を値として削除しようとしました", MessageOf([&] { s.DeleteValue("X"); }));
    EXPECT_THROW(s.ReadInteger("S", 0), ESettingError);
    // "X" names the empty value inside the sub-key X.
    s.WriteString("X\\", "empty name");
    EXPECT_EQ("empty name", s.ReadString("X", ""));
}

TEST(Setting, ParentFallbackAndChains)
{
    TSetting global, list, file;
    global.WriteInteger("\\K\\V", 5);
    global.WriteString("\\K\\G", "global");
    list.SetParent(&global);
    file.SetParent(&list);
    {
        TSettingKey key(file, "\\K");
        EXPECT_FALSE(key.Exists());
        EXPECT_TRUE(global.KeyOpen());
        EXPECT_EQ("\\K\\", global.CurrentPath());
        EXPECT_EQ(5, file.ReadInteger("V", 0));
        file.WriteInteger("V", 7);
        EXPECT_EQ(7, file.ReadInteger("V", 0));
        EXPECT_EQ(5, global.ReadInteger("V", 0));
        EXPECT_EQ("global", file.ReadString("G", ""));
        file.DeleteValue("V");
        file.DeleteValue("Missing");  // no error
        EXPECT_EQ(5, file.ReadInteger("V", 0));
        // Changing the parent while open hands the open key over.
        file.SetParent(&global);
        EXPECT_FALSE(list.KeyOpen());
        EXPECT_TRUE(global.KeyOpen());
    }
    EXPECT_FALSE(global.KeyOpen());
    EXPECT_THROW(global.SetParent(&file), ESettingError);  // would loop
    {
        TSetting child;
        child.SetParent(&global);
        child.OpenKey("\\K");
    }  // destroyed open: the parent is closed with it
    EXPECT_FALSE(global.KeyOpen());
    EXPECT_TRUE(global.OpenKey("\\K"));
    global.CloseKey();
}

TEST(Setting, TypedValues)
{
    TSetting s;
    s.WriteInteger("\\I", 3);
    s.WriteInteger("\\Two", 2);
    s.WriteBool("\\B", true);
    s.WriteFloat("\\F", 0.1);
    s.WriteFloat("\\G", -1234.5678e-9);
    s.WriteString("\\Bad", "1,5x");
    EXPECT_EQ(3.0, s.ReadFloat("\\I", 0));
    EXPECT_TRUE(s.ReadBool("\\Two", false));
    EXPECT_EQ(1, s.ReadInteger("\\B", 0));
    EXPECT_DOUBLE_EQ(0.1, s.ReadFloat("\\F", 0));
    EXPECT_DOUBLE_EQ(-1234.5678e-9, s.ReadFloat("\\G", 0));
    EXPECT_EQ(2.5, s.ReadFloat("\\None", 2.5));
    EXPECT_THROW(s.ReadFloat("\\Bad", 0), EConvertError);
    EXPECT_THROW(s.ReadInteger("\\F", 0), ESettingError);
}

TEST(Setting, DeleteKeyAndClear)
{
    TSetting s;
    s.WriteInteger("\\A\\B\\V", 1);
    s.WriteInteger("\\C\\V", 2);
    s.DeleteKey("\\Missing\\X");
    s.DeleteKey("\\A\\Missing");
    s.DeleteKey("\\A\\");
    EXPECT_FALSE(s.Exists("\\A"));
    EXPECT_FALSE(s.Exists("\\A\\B\\V"));
    EXPECT_EQ(2, s.ReadInteger("\\C\\V", 0));

    // Deleting the open key: it then behaves as a missing open key (no
    // dangling node); the next write creates it again.
    TSettingKey key(s, "\\C");
    s.DeleteKey("\\C");
    EXPECT_EQ(9, s.ReadInteger("V", 9));
    s.WriteInteger("V", 3);
    EXPECT_EQ(3, s.ReadInteger("\\C\\V", 0));
    s.Clear();
    EXPECT_EQ(9, s.ReadInteger("V", 9));
    s.WriteInteger("V", 4);
    EXPECT_EQ(4, s.ReadInteger("\\C\\V", 0));
}

TEST(Setting, CopyKeyMerges)
{
    TSetting src, dst;
    src.WriteString("\\S\\Path", "p");
    src.WriteInteger("\\S\\Common\\N", 1);
    src.WriteInteger("\\S\\Common\\Deep\\M", 2);
    dst.WriteInteger("\\D\\Common\\N", 9);
    dst.WriteInteger("\\D\\Common\\Keep", 8);
    dst.CopyKey(src, "\\Missing", "\\X");
    EXPECT_FALSE(dst.Exists("\\X"));
    {
        TSettingKey key(src, "\\S");
        dst.CopyKey(src, "Common", "\\D\\Common\\");  // relative to the source's open key
    }
    EXPECT_EQ(1, dst.ReadInteger("\\D\\Common\\N", 0));
    EXPECT_EQ(8, dst.ReadInteger("\\D\\Common\\Keep", 0));
    EXPECT_EQ(2, dst.ReadInteger("\\D\\Common\\Deep\\M", 0));
    EXPECT_FALSE(dst.Exists("\\D\\Path"));

    // Copying a key into its own subtree copies it once.
    src.CopyKey(src, "\\S", "\\S\\Inner");
    EXPECT_EQ("p", src.ReadString("\\S\\Inner\\Path", ""));
    EXPECT_EQ(2, src.ReadInteger("\\S\\Inner\\Common\\Deep\\M", 0));
    EXPECT_FALSE(src.Exists("\\S\\Inner\\Inner"));
}

TEST(Setting, LockWaitsForOtherThreadsOnly)
{
    TSetting s;
    s.WriteInteger("\\V", 0);
    std::atomic<bool> wrote{false};
    s.OpenKey("\\");  // shared hold of this thread
    std::thread writer([&] {
        s.WriteInteger("\\V", 1);  // must wait for the shared hold
        wrote = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(wrote.load());
    s.WriteInteger("\\Mine", 2);  // the holder itself may write
    EXPECT_EQ(0, s.ReadInteger("V", -1));
    s.CloseKey();
    writer.join();
    EXPECT_TRUE(wrote.load());
    EXPECT_EQ(1, s.ReadInteger("\\V", 0));

    // Readers and writers on several threads keep the table consistent.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&s, t] {
            for (int i = 0; i < 2000; ++i) {
                s.WriteInteger("\\T" + std::to_string(t) + "\\" + std::to_string(i % 50), i);
                s.ReadInteger("\\T0\\1", 0);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(1999, s.ReadInteger("\\T3\\49", 0));
}

// The lock taken directly: readers on two threads share it, a writer waits
// for both, and a thread that upgraded its own shared hold keeps readers of
// other threads out until it lets go. Each thread's holds nest.
TEST(SettingLock, TurnsAcrossThreads)
{
    using namespace std::chrono_literals;
    TSettingLock lock;
    lock.LockShared();
    lock.LockShared();
    std::atomic<int> phase{0};
    std::thread reader([&] {
        lock.LockShared();
        phase = 1;
        while (phase != 2) std::this_thread::yield();
        lock.LockShared();
        lock.UnlockShared();
        lock.UnlockShared();
    });
    while (phase != 1) std::this_thread::yield();
    std::atomic<bool> wrote{false};
    std::thread writer([&] {
        lock.LockExclusive();
        lock.LockExclusive();
        lock.LockShared();
        wrote = true;
        lock.UnlockShared();
        lock.UnlockExclusive();
        lock.UnlockExclusive();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(wrote.load());
    lock.UnlockShared();
    lock.UnlockShared();
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(wrote.load());  // the other reader still holds it
    phase = 2;
    reader.join();
    writer.join();
    EXPECT_TRUE(wrote.load());

    lock.LockShared();
    lock.LockExclusive();
    std::atomic<bool> read{false};
    std::thread late([&] {
        lock.LockShared();
        read = true;
        lock.UnlockShared();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(read.load());
    lock.UnlockExclusive();
    late.join();
    EXPECT_TRUE(read.load());
    lock.UnlockShared();

    // Free again: this thread takes it at once, in both modes.
    lock.LockExclusive();
    lock.UnlockExclusive();
    lock.LockShared();
    lock.UnlockShared();
}

}  // namespace
