#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <type_traits>
#include <random>
#include <string>
#include <vector>

#include "settings/UConfHash.h"
#include "settings/UConfKeyHash.h"

namespace {

// The iteration order the tables must produce: bucket by bucket, each
// bucket in the order its keys were first added.
std::vector<std::string> ExpectedOrder(const std::vector<std::string>& chainOrder, int buckets)
{
    std::vector<std::string> out;
    for (int b = 0; b < buckets; ++b)
        for (const auto& k : chainOrder)
            if (StringHash(k) % unsigned(buckets) == unsigned(b)) out.push_back(k);
    return out;
}

TEST(HashTable, StringHashAndBuckets)
{
    EXPECT_EQ(112371u, StringHash("abc"));
    EXPECT_EQ(1u, StringHash("abc") % 5);
    EXPECT_EQ(0u, StringHash(""));
    // Bytes count as unsigned: a CP932 double-byte key hashes by both bytes.
    EXPECT_EQ((0x83u * 33 + 0x5Cu) + ((0x83u * 33 + 0x5Cu) >> 5), StringHash("\x83\x5C"));

    TConfHash t;
    t.Put("A", TConf::Integer(1));
    t.Put("T", TConf::String("x"));
    EXPECT_EQ((std::vector<std::string>{"T", "A"}), t.Keys());
}

TEST(HashTable, PutKeepsPlaceRemoveMovesToEnd)
{
    TConfHash t;
    for (const char* k : {"a", "f", "k", "Name", "name", ""}) t.Put(k, TConf::String(k));
    t.Put("a", TConf::Integer(7));
    EXPECT_EQ(ExpectedOrder({"a", "f", "k", "Name", "name", ""}, 5), t.Keys());
    EXPECT_EQ(7, t.Get("a").Number);
    EXPECT_EQ("Name", t.Get("Name").Text);
    EXPECT_EQ("name", t.Get("name").Text);
    t.Remove("a");
    t.Put("a", TConf::Integer(8));
    EXPECT_EQ(ExpectedOrder({"f", "k", "Name", "name", "", "a"}, 5), t.Keys());
    EXPECT_EQ(6, t.Count());
}

TEST(HashTable, ErrorsLeaveTheTableUnchanged)
{
    TConfHash t;
    t.Put("x", TConf::Integer(1));
    const auto before = t.Keys();
    try {
        t.Get("y");
        FAIL();
    } catch (const TConfHash::EHashError& e) {
        EXPECT_STREQ("キーが登録されていません", e.what());
    }
    try {
        t.Remove("y");
        FAIL();
    } catch (const TConfHash::EHashError& e) {
        EXPECT_EQ(std::string("存在しないキー: y を削除しようとしました"), e.what());
    }
    for (int n : {0, -1}) {
        try {
            t.SetHashSize(n);
            FAIL();
        } catch (const TConfHash::EHashError& e) {
            EXPECT_STREQ("ハッシュサイズを0以下にしようとしました", e.what());
        }
    }
    EXPECT_EQ(before, t.Keys());
    EXPECT_EQ(5, t.HashSize());
    EXPECT_TRUE(TConfHash().Keys().empty());

    // Each table has its own error class, both deriving from Exception.
    TConfKeyHash k;
    EXPECT_THROW(k.Get("none"), TConfKeyHash::EHashError);
    EXPECT_THROW(k.Get("none"), Exception);
    static_assert(!std::is_same_v<TConfHash::EHashError, TConfKeyHash::EHashError>);
}

TEST(HashTable, ResizeReinsertsInOldIterationOrder)
{
    // "b" lands before "a" with 5 buckets; one bucket keeps that order even
    // though "a" was added first.
    TConfHash t;
    std::vector<std::string> keys = {"a", "b", "c", "d", "e", "f", "g"};
    for (const auto& k : keys) t.Add(k, TConf::String(k));
    const auto five = t.Keys();
    t.SetHashSize(1);
    EXPECT_EQ(five, t.Keys());
    t.SetHashSize(3);
    EXPECT_EQ(ExpectedOrder(five, 3), t.Keys());
    t.SetHashSize(2000000000);  // costs no memory
    EXPECT_EQ(2000000000, t.HashSize());
    EXPECT_EQ(7, t.Count());
}

// Bucket counts given together at the end leave a table in the order that
// giving each at its time would have: random additions and bucket counts,
// with keys whose hashes are equal ("Aa" and "B@" hash alike) or close, and
// small counts that put many keys in one bucket step after step.
TEST(HashTable, ReplayedBucketCountsGiveTheSameOrder)
{
    std::mt19937 rng(2024);
    const char* pieces[] = {"Aa", "B@", "x", "y", "1"};
    for (int round = 0; round < 400; ++round) {
        TConfHash now, later;
        std::vector<TConfHash::TResize> steps;
        const int ops = 10 + int(rng() % (round % 10 == 0 ? 3000 : 120));
        for (int op = 0; op < ops; ++op) {
            if (rng() % 4 != 0) {
                std::string key;
                for (int n = 1 + int(rng() % 6); n > 0; --n) key += pieces[rng() % 5];
                if (now.Find(key)) continue;
                now.Add(key, TConf::Integer(op));
                later.Add(key, TConf::Integer(op));
            } else {
                const int size = 1 + int(rng() % 2 ? rng() % 12 : rng() % 100000);
                now.SetHashSize(size);
                steps.push_back({uint32_t(later.Count()), size});
            }
        }
        later.ReplayHashSizes(steps.data(), steps.size());
        ASSERT_EQ(now.HashSize(), later.HashSize()) << round;
        ASSERT_EQ(now.Keys(), later.Keys()) << round;
    }
}

// Random operations on a large table (with its index) against a plain model
// of chains; also exercises index deletion with wrap-around.
TEST(HashTable, LargeTablesAgreeWithChainModel)
{
    std::mt19937 rng(12345);
    TConfHash t;
    std::vector<std::string> chain;  // master order of the model
    std::map<std::string, int> values;
    int buckets = 5;
    for (int step = 0; step < 20000; ++step) {
        const std::string key = std::to_string(rng() % 3000);
        const int op = rng() % 10;
        if (op < 6) {
            t.Put(key, TConf::Integer(step));
            if (!values.count(key)) chain.push_back(key);
            values[key] = step;
        } else if (op < 9) {
            if (values.count(key)) {
                t.Remove(key);
                values.erase(key);
                chain.erase(std::find(chain.begin(), chain.end(), key));
            } else {
                EXPECT_THROW(t.Remove(key), TConfHash::EHashError);
            }
        } else if (step % 500 == 0) {
            buckets = 1 + rng() % 4000;
            chain = ExpectedOrder(chain, t.HashSize());
            t.SetHashSize(buckets);
        }
    }
    ASSERT_EQ(int(values.size()), t.Count());
    for (const auto& [k, v] : values) ASSERT_EQ(v, t.Get(k).Number) << k;
    EXPECT_EQ(ExpectedOrder(chain, buckets), t.Keys());
    EXPECT_EQ(nullptr, t.Find("absent"));
}

// Names that share one StringHash ("Aa" and "B@" hash alike, and so does
// every string of such pairs) are found as quickly as any others, in both
// kinds of table, before and after removals. A file of 20,000 of them took
// a second to load, and that time grew with the square of the file's size.
TEST(HashTable, NamesSharingAHashStayQuickToFind)
{
    std::vector<std::string> names;
    for (int i = 0; i < 4096; ++i) {
        std::string name;
        for (int bit = 11; bit >= 0; --bit) name += (i >> bit & 1) ? "B@" : "Aa";
        names.push_back(name);
    }
    ASSERT_EQ(StringHash(names.front()), StringHash(names.back()));
    TConfHash values;
    TConfKeyHash keys;
    for (const auto& name : names) {
        values.Put(name, TConf::String(name));
        keys.Add(name, nullptr);
    }
    const auto averageProbes = [&](const auto& table, std::size_t from) {
        double sum = 0;
        for (std::size_t i = from; i < names.size(); i += 2) sum += table.IndexProbes(names[i]);
        return sum / double(names.size() / 2);
    };
    EXPECT_LT(averageProbes(values, 0), 3.0);
    EXPECT_LT(averageProbes(keys, 1), 3.0);

    std::vector<std::string> kept;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i % 2) {
            values.Remove(names[i]);
        } else {
            kept.push_back(names[i]);
        }
    }
    EXPECT_LT(averageProbes(values, 1), 3.0);  // absent now
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(i % 2 == 0, values.Find(names[i]) != nullptr) << i;
    EXPECT_EQ(kept, values.Keys());  // one bucket: the order they came in
}

}  // namespace
