// THashTable: the string-keyed hash table behind the two tables of a setting
// key (TConfHash for values, TConfKeyHash for sub-keys).
//
// What callers see is a classic chained table: HashSize buckets, a key lands
// in bucket StringHash(key) % HashSize, Add appends to the end of its chain,
// Put overwrites in place, and iteration runs bucket 0 .. last, each chain in
// order. Saved files depend on that order, so it is kept exactly.
//
// How it is stored: one circular singly linked list of all entries ("master
// order", the table points at the last one) with the invariant that,
// restricted to one bucket, the master order is the chain order. Iteration
// sorts the entries stably by bucket. No memory is tied to the bucket count,
// so an empty or small table costs 24 bytes and a file announcing two
// billion entries costs nothing until the entries come. An entry is one
// allocation with its key stored inline after it.
// Tables with more than IndexThreshold entries get an open-addressing index
// so that Find, Put and Add stay constant-time on average even when a table
// filled by program code keeps its 5 buckets. The index places entries by a
// keyed hash of their names (TIndexKey), not by StringHash: names sharing a
// StringHash are trivial to make ("Aa" and "B@" hash alike, and so does any
// string of such pairs), and a file full of them would otherwise pile up in
// one run of the index and make each load quadratic in its size.
//
// Not synchronised: the owning TSetting's lock guards every access.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/UException.h"
#include "settings/UNodePool.h"

// h = h * 33 + byte over the key's bytes (unsigned), then h + (h >> 5).
inline uint32_t StringHash(std::string_view key) noexcept
{
    uint32_t h = 0;
    for (unsigned char b : key) h = h * 33u + b;
    return h + (h >> 5);
}

// The hash that places names in a table's index: SipHash-1-3 under a key
// drawn once per process. Without the key nobody can tell which names will
// meet in the index, so a file cannot be made to pile its names up there.
// Nothing stored depends on it; it may differ from run to run.
struct TIndexKey {
    uint64_t K0, K1;

    static const TIndexKey& Process() noexcept
    {
        static const TIndexKey key = Draw();
        return key;
    }

    uint64_t Hash(std::string_view text) const noexcept
    {
        uint64_t v0 = K0 ^ 0x736f6d6570736575ull, v1 = K1 ^ 0x646f72616e646f6dull;
        uint64_t v2 = K0 ^ 0x6c7967656e657261ull, v3 = K1 ^ 0x7465646279746573ull;
        const auto round = [&] {
            v0 += v1, v1 = Rotl(v1, 13), v1 ^= v0, v0 = Rotl(v0, 32);
            v2 += v3, v3 = Rotl(v3, 16), v3 ^= v2;
            v0 += v3, v3 = Rotl(v3, 21), v3 ^= v0;
            v2 += v1, v1 = Rotl(v1, 17), v1 ^= v2, v2 = Rotl(v2, 32);
        };
        const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t n = text.size();
        const unsigned char* const end = p + (n & ~std::size_t(7));
        for (; p != end; p += 8) {
            uint64_t m;
            std::memcpy(&m, p, 8);
            m = Le(m);
            v3 ^= m;
            round();
            v0 ^= m;
        }
        uint64_t last = uint64_t(n) << 56;
        for (std::size_t i = 0; i < (n & 7); ++i) last |= uint64_t(p[i]) << (8 * i);
        v3 ^= last;
        round();
        v0 ^= last;
        v2 ^= 0xff;
        round();
        round();
        round();
        return v0 ^ v1 ^ v2 ^ v3;
    }

private:
    static constexpr uint64_t Rotl(uint64_t x, int b) noexcept { return (x << b) | (x >> (64 - b)); }
    static uint64_t Le(uint64_t m) noexcept
    {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        return __builtin_bswap64(m);
#else
        return m;
#endif
    }
    // The system's random source where it has one, mixed with the clock and
    // with addresses that differ from run to run.
    static TIndexKey Draw() noexcept
    {
        uint64_t words[2] = {uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                                 uint64_t(reinterpret_cast<std::uintptr_t>(&words)),
                             uint64_t(reinterpret_cast<std::uintptr_t>(&Process))};
        try {
            std::random_device device;
            for (uint64_t& w : words) w ^= (uint64_t(device()) << 32) ^ device();
        } catch (...) {
            // No random source: the clock and the addresses alone.
        }
        const uint64_t k0 = Mix(words[0]);
        return {k0, Mix(words[1] ^ k0)};
    }
    // splitmix64's finaliser (a bijection).
    static uint64_t Mix(uint64_t z) noexcept
    {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

template <class V>
class THashTable {
public:
    class EHashError : public Exception {
    public:
        using Exception::Exception;
    };

    // A chain entry: link, cached hash, value; the key's bytes follow the
    // entry in the same allocation.
    struct THashItem {
        THashItem* Next = nullptr;
        uint32_t Hash;
        uint32_t KeyLength;  // with DeadMark once removed from an indexed table
        V Value;

        static constexpr uint32_t DeadMark = 0x80000000u;
        std::string_view Key() const noexcept
        {
            return {reinterpret_cast<const char*>(this + 1), KeyLength & ~DeadMark};
        }
        bool Dead() const noexcept { return (KeyLength & DeadMark) != 0; }

        static THashItem* Create(std::string_view key, uint32_t hash, V value)
        {
            void* raw = NodePool::Allocate(sizeof(THashItem) + key.size() + 1);
            char* text = static_cast<char*>(raw) + sizeof(THashItem);
            if (!key.empty()) std::memcpy(text, key.data(), key.size());
            text[key.size()] = '\0';
            try {
                return new (raw) THashItem(hash, static_cast<uint32_t>(key.size()), std::move(value));
            } catch (...) {
                NodePool::Free(raw, sizeof(THashItem) + key.size() + 1);
                throw;
            }
        }
        static void Destroy(THashItem* item) noexcept
        {
            const std::size_t size = sizeof(THashItem) + item->Key().size() + 1;
            item->~THashItem();
            NodePool::Free(item, size);
        }

    private:
        THashItem(uint32_t hash, uint32_t length, V&& value)
            : Hash(hash), KeyLength(length), Value(std::move(value))
        {
        }
    };

    static constexpr int DefaultHashSize = 5;
    static constexpr uint32_t IndexThreshold = 32;

    THashTable() = default;
    ~THashTable() { FreeChain(DetachAll()); }
    THashTable(const THashTable&) = delete;
    THashTable& operator=(const THashTable&) = delete;

    // Key present: value overwritten in place. Key absent: Add.
    void Put(std::string_view key, V value)
    {
        const uint32_t h = StringHash(key);
        if (THashItem* item = Find(key, h)) {
            item->Value = std::move(value);
            return;
        }
        Add(key, h, std::move(value));
    }

    // Appends to the end of the key's chain without looking for the key.
    THashItem* Add(std::string_view key, V value) { return Add(key, StringHash(key), std::move(value)); }
    // The same with the key's StringHash, for callers that have it already.
    THashItem* Add(std::string_view key, uint32_t hash, V value)
    {
        struct TOwner {
            THashItem* Item;
            ~TOwner()
            {
                if (Item) THashItem::Destroy(Item);
            }
        } owner{THashItem::Create(key, hash, std::move(value))};
        THashItem* item = owner.Item;
        if (Index() || FCount + 1 > IndexThreshold) {
            // May throw; nothing is linked yet.
            if (!Index() || Index()->NeedsGrowth(FCount + 1)) RebuildIndex(FCount + 1);
            Index()->Insert(item);
        }
        owner.Item = nullptr;
        THashItem* last = Last();
        item->Next = last ? last->Next : item;
        if (last) last->Next = item;
        SetLast(item);
        ++FCount;
        return item;
    }

    THashItem* Find(std::string_view key) const noexcept { return Find(key, StringHash(key)); }
    THashItem* Find(std::string_view key, uint32_t h) const noexcept
    {
        if (const TIndex* index = Index()) return index->Find(key, h);
        THashItem* found = nullptr;
        WalkWhile([&](THashItem* p) {
            if (p->Hash == h && p->Key() == key) found = p;
            return !found;
        });
        return found;
    }

    // The slots of the index that Find(key) looks at; 0 for a table
    // without an index. For tests and measurements.
    uint32_t IndexProbes(std::string_view key) const noexcept
    {
        const TIndex* index = Index();
        return index ? index->Probes(key) : 0;
    }

    V& Get(std::string_view key)
    {
        if (THashItem* item = Find(key)) return item->Value;
        throw EHashError("キーが登録されていません");
    }

    void Remove(std::string_view key)
    {
        const uint32_t h = StringHash(key);
        if (TIndex* index = Index()) {
            // Finding the entry before it would mean walking the whole
            // table: the entry is only marked, and unlinked with the others
            // once they outnumber the live ones.
            THashItem* found = index->Find(key, h);
            if (!found) throw EHashError("存在しないキー: " + std::string(key) + " を削除しようとしました");
            index->Erase(found);
            found->Value = V();
            found->KeyLength |= THashItem::DeadMark;
            --FCount;
            if (++index->Dead > FCount && index->Dead >= IndexThreshold) Sweep();
            // An index far larger than the table needs is rebuilt smaller
            // (or dropped), so that emptied tables give their memory back.
            if (FCount <= IndexThreshold / 2 || index->NeedsShrinking(FCount)) ShrinkIndex();
            return;
        }
        THashItem* prev = Last();
        THashItem* found = nullptr;
        WalkWhile([&](THashItem* p) {
            if (p->Hash == h && p->Key() == key)
                found = p;
            else
                prev = p;
            return !found;
        });
        if (!found) throw EHashError("存在しないキー: " + std::string(key) + " を削除しようとしました");
        if (FCount == 1) {
            SetLast(nullptr);
        } else {
            prev->Next = found->Next;
            if (Last() == found) SetLast(prev);
        }
        --FCount;
        THashItem::Destroy(found);
    }

    int Count() const noexcept { return static_cast<int>(FCount); }
    int HashSize() const noexcept { return FHashSize; }

    // Rebuilds the table with n buckets. Entries are re-added in the old
    // iteration order, so inside a new bucket they keep their relative order.
    // The only allocation happens before anything changes, so a failure
    // leaves the table as it was.
    void SetHashSize(int n)
    {
        if (n <= 0) throw EHashError("ハッシュサイズを0以下にしようとしました");
        if (FCount > 1 && FHashSize > 1) {
            Sweep();
            std::vector<THashItem*> order = Ordered();
            for (std::size_t i = 0; i + 1 < order.size(); ++i) order[i]->Next = order[i + 1];
            order.back()->Next = order.front();
            SetLast(order.back());
        }
        FHashSize = n;
    }

    // A bucket count the table was to take when it held `Before` entries.
    struct TResize {
        uint32_t Before;
        int Size;
    };

    // Gives the table the bucket count and the order that SetHashSize(Size)
    // at each step would have given it, the entries beyond a step's Before
    // having been added after that step. Steps come in the order they were
    // taken (Before never decreases, Size > 0), and the table has lost no
    // entry since the first step was taken. The cost is about one sort of
    // the table whatever the number of steps, where calling SetHashSize at
    // each step re-sorts the whole table each time.
    //
    // A step re-adds the entries in their iteration order under the bucket
    // count before it. So after step k, entries x before y in master order
    // are ordered by their bucket under that count when both were there at
    // step k, else x first when only x was; a tie is decided by step k - 1
    // in the same way, and so on down to master order. The entries are
    // sorted for the last step, and only groups that share a bucket look at
    // the step before. A group whose hashes are all equal, or differ only by
    // multiples of a step's bucket count, stays together at that step: the
    // gcd of its hash differences tells which steps can be skipped.
    //
    // Out of memory the table keeps its order with the last step's bucket
    // count: every entry is still there.
    void ReplayHashSizes(const TResize* steps, std::size_t count) noexcept
    {
        if (count == 0) return;
        Sweep();
        if (FCount > 1) {
            try {
                ReplayOrder(steps, count);
            } catch (...) {
            }
        }
        FHashSize = steps[count - 1].Size;
    }

    // Gives the table an index for `count` entries at once when it will
    // need one (a file announces how many keys it brings). Changes nothing
    // that callers can see.
    void Reserve(uint32_t count)
    {
        if (count <= IndexThreshold || count < FCount) return;
        if (const TIndex* index = Index(); index && !index->NeedsGrowth(count)) return;
        RebuildIndex(count);
    }

    std::vector<std::string> Keys() const
    {
        std::vector<std::string> keys;
        keys.reserve(FCount);
        ForEach([&](const THashItem& item) { keys.emplace_back(item.Key()); });
        return keys;
    }

    // Calls f(item) for every entry in iteration order. f must not change
    // the table.
    template <class F>
    void ForEach(F&& f) const
    {
        if (FCount <= 1 || FHashSize == 1) {
            WalkWhile([&](THashItem* p) {
                f(*p);
                return true;
            });
            return;
        }
        if (FCount <= IndexThreshold) {
            // Small table: stable insertion sort by bucket on the stack (left
            // uninitialised: only the first n entries are ever read).
            struct TEntry {
                uint32_t Bucket;
                THashItem* Item;
            };
            TEntry buf[IndexThreshold];
            std::size_t n = 0;
            WalkWhile([&](THashItem* p) {
                const TEntry e{p->Hash % static_cast<uint32_t>(FHashSize), p};
                std::size_t j = n++;
                while (j > 0 && buf[j - 1].Bucket > e.Bucket) {
                    buf[j] = buf[j - 1];
                    --j;
                }
                buf[j] = e;
                return true;
            });
            for (std::size_t i = 0; i < n; ++i) f(*buf[i].Item);
            return;
        }
        for (THashItem* p : Ordered()) f(*p);
    }

    // Calls f(item) for every entry in the order they were added (not the
    // iteration order). f must not change the table.
    template <class F>
    void ForEachUnordered(F&& f) const
    {
        WalkWhile([&](THashItem* p) {
            f(*p);
            return true;
        });
    }

    // Unlinks and frees every entry for which remove(item) is true; the
    // others keep their order. remove must not change the table and must
    // answer the same each time: it may be asked more than once per entry.
    template <class P>
    void RemoveIf(P&& remove) noexcept
    {
        Sweep();
        THashItem* const last = Last();
        if (!last) return;
        if (TIndex* index = Index()) {
            uint32_t doomed = 0;
            WalkWhile([&](THashItem* p) {
                doomed += remove(*p) ? 1 : 0;
                return true;
            });
            if (doomed == 0) return;
            if (doomed > FCount / 4) {
                // Cheaper to index what stays anew than to erase each.
                SetIndex(nullptr);
            } else {
                WalkWhile([&](THashItem* p) {
                    if (remove(*p)) index->Erase(p);
                    return true;
                });
            }
        }
        const bool indexed = Index() != nullptr;
        THashItem* p = last->Next;
        last->Next = nullptr;
        THashItem* first = nullptr;
        THashItem* tail = nullptr;
        while (p) {
            THashItem* next = p->Next;
            if (remove(*p)) {
                THashItem::Destroy(p);
                --FCount;
            } else {
                if (tail)
                    tail->Next = p;
                else
                    first = p;
                tail = p;
            }
            p = next;
        }
        if (tail) tail->Next = first;
        SetLast(tail);
        if (indexed) {
            if (FCount <= IndexThreshold / 2 || Index()->NeedsShrinking(FCount)) ShrinkIndex();
        } else if (FCount > IndexThreshold) {
            try {
                RebuildIndex(FCount);
            } catch (...) {
                // Out of memory: lookups walk the entries; still correct.
            }
        }
    }

    // Unlinks every entry and returns them as a plain chain in master order
    // (linked by Next, ending in none); the table is then empty with its
    // bucket count unchanged. Used to tear down trees without recursion.
    THashItem* DetachAll() noexcept
    {
        Sweep();
        THashItem* last = Last();
        SetIndex(nullptr);
        FTail = 0;
        FCount = 0;
        if (!last) return nullptr;
        THashItem* first = last->Next;
        last->Next = nullptr;
        return first;
    }

    static void FreeChain(THashItem* p) noexcept
    {
        while (p) {
            THashItem* next = p->Next;
            THashItem::Destroy(p);
            p = next;
        }
    }

private:
    // Calls f(item) for the live entries in master order while it returns
    // true.
    template <class F>
    void WalkWhile(F&& f) const
    {
        THashItem* const tail = Last();
        if (!tail) return;
        THashItem* p = tail->Next;
        for (;;) {
            THashItem* next = p->Next;
            const bool last = p == tail;
            if (!p->Dead() && !f(p)) return;
            if (last) return;
            p = next;
        }
    }

    // Unlinks and frees the entries marked by Remove.
    void Sweep() noexcept
    {
        TIndex* index = Index();
        if (!index || index->Dead == 0) return;
        index->Dead = 0;
        THashItem* first = index->Last->Next;
        index->Last->Next = nullptr;
        THashItem* live = nullptr;
        THashItem* tail = nullptr;
        for (THashItem* p = first; p;) {
            THashItem* next = p->Next;
            if (p->Dead()) {
                THashItem::Destroy(p);
            } else {
                if (tail)
                    tail->Next = p;
                else
                    live = p;
                tail = p;
            }
            p = next;
        }
        if (tail) tail->Next = live;
        index->Last = tail;
    }

    // Open addressing with linear probing, load factor at most 1/2, deletion
    // by backward shift (no tombstones). An entry's home slot comes from the
    // keyed hash of its name; the StringHash kept in the entry only
    // saves comparing names that cannot be equal.
    class TIndex {
    public:
        explicit TIndex(uint32_t count)
            : FBits(BitsFor(count)),
              FMask((1u << FBits) - 1),
              FSlots(new THashItem*[std::size_t(1) << FBits]()),
              FKey(TIndexKey::Process())
        {
        }

        THashItem* Last = nullptr;  // the table's last entry while it has the index
        uint32_t Dead = 0;          // entries marked by Remove, still in the master list

        bool NeedsGrowth(uint32_t count) const noexcept { return uint64_t(count) * 2 > uint64_t(FMask) + 1; }
        bool NeedsShrinking(uint32_t count) const noexcept
        {
            return FMask + 1 > 64 && uint64_t(count) * 8 < uint64_t(FMask) + 1;
        }

        THashItem* Find(std::string_view key, uint32_t h) const noexcept
        {
            for (uint32_t i = Home(key);; i = (i + 1) & FMask) {
                THashItem* p = FSlots[i];
                if (!p) return nullptr;
                if (p->Hash == h && p->Key() == key) return p;
            }
        }
        // The slots Find(key) looks at.
        uint32_t Probes(std::string_view key) const noexcept
        {
            const uint32_t h = StringHash(key);
            uint32_t n = 1;
            for (uint32_t i = Home(key); FSlots[i] && !(FSlots[i]->Hash == h && FSlots[i]->Key() == key);
                 i = (i + 1) & FMask)
                ++n;
            return n;
        }
        void Insert(THashItem* item) noexcept
        {
            uint32_t i = Home(item->Key());
            while (FSlots[i]) i = (i + 1) & FMask;
            FSlots[i] = item;
        }
        void Erase(THashItem* item) noexcept
        {
            uint32_t i = Home(item->Key());
            while (FSlots[i] != item) i = (i + 1) & FMask;
            uint32_t j = i;
            for (;;) {
                FSlots[i] = nullptr;
                for (;;) {
                    j = (j + 1) & FMask;
                    if (!FSlots[j]) return;
                    const uint32_t home = Home(FSlots[j]->Key());
                    // j's entry may fill the hole at i unless its home lies
                    // cyclically in (i, j].
                    const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
                    if (!stays) break;
                }
                FSlots[i] = FSlots[j];
                i = j;
            }
        }

    private:
        static uint32_t BitsFor(uint32_t count) noexcept
        {
            uint32_t bits = 6;
            while ((uint64_t(1) << bits) < uint64_t(count) * 2) ++bits;
            return bits;
        }
        // The top bits of the name's keyed hash.
        uint32_t Home(std::string_view key) const noexcept
        {
            return static_cast<uint32_t>(FKey.Hash(key) >> (64 - FBits));
        }
        uint32_t FBits;
        uint32_t FMask;
        std::unique_ptr<THashItem*[]> FSlots;
        TIndexKey FKey;
    };

    // The master order that ReplayHashSizes describes.
    void ReplayOrder(const TResize* steps, std::size_t count)
    {
        std::vector<THashItem*> items;
        items.reserve(FCount);
        WalkWhile([&](THashItem* p) {
            items.push_back(p);
            return true;
        });
        // Entries by their place in master order. A range still to be
        // decided is in that order; it is decided by steps [0, Steps).
        std::vector<uint32_t> order(items.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        struct TRange {
            uint32_t Lo, Hi;
            std::size_t Steps;
        };
        std::vector<TRange> work{{0, uint32_t(order.size()), count}};
        const auto hashAt = [&](uint32_t i) { return items[order[i]]->Hash; };
        while (!work.empty()) {
            auto [lo, hi, k] = work.back();
            work.pop_back();
            // The gcd of the hash differences of [lo, gcdHi); 0 when they are
            // all equal. Computed for a larger range it divides the gcd of a
            // smaller one, so a step it skips is skipped by the smaller too.
            uint32_t gcd = 0, gcdHi = 0;
            while (k > 0 && hi - lo > 1) {
                const TResize& step = steps[k - 1];
                while (hi > lo && order[hi - 1] >= step.Before) --hi;  // added after the step: they stay last
                if (hi - lo <= 1) break;
                // The bucket count the step re-adds by: the one before it.
                const uint32_t size = static_cast<uint32_t>(k >= 2 ? steps[k - 2].Size : FHashSize);
                bool together = gcdHi != 0 && gcd % size == 0;
                if (!together && gcdHi != hi) {
                    gcd = 0;
                    for (uint32_t i = lo + 1; i < hi && gcd != 1; ++i) {
                        const uint32_t a = hashAt(i), b = hashAt(lo);
                        gcd = std::gcd(gcd, a > b ? a - b : b - a);
                    }
                    gcdHi = hi;
                    together = gcd % size == 0;
                }
                if (gcd == 0) break;  // one hash: master order at every step
                if (together) {
                    --k;
                    continue;
                }
                std::sort(order.begin() + lo, order.begin() + hi, [&](uint32_t a, uint32_t b) {
                    const uint32_t x = items[a]->Hash % size, y = items[b]->Hash % size;
                    return x != y ? x < y : a < b;
                });
                for (uint32_t i = lo; i < hi;) {
                    uint32_t j = i + 1;
                    while (j < hi && hashAt(j) % size == hashAt(i) % size) ++j;
                    if (j - i > 1 && k > 1) work.push_back({i, j, k - 1});
                    i = j;
                }
                break;
            }
        }
        for (std::size_t i = 0; i + 1 < order.size(); ++i) items[order[i]]->Next = items[order[i + 1]];
        items[order.back()]->Next = items[order.front()];
        SetLast(items[order.back()]);
    }

    // Gives a table that has become small an index to its size, or none.
    void ShrinkIndex() noexcept
    {
        Sweep();
        if (FCount <= IndexThreshold / 2) {
            SetIndex(nullptr);
            return;
        }
        try {
            RebuildIndex(FCount);
        } catch (...) {
            // Out of memory: the larger index stays; it works as well.
        }
    }

    void RebuildIndex(uint32_t count)
    {
        auto index = std::make_unique<TIndex>(count);
        WalkWhile([&](THashItem* p) {
            index->Insert(p);
            return true;
        });
        SetIndex(std::move(index));
    }

    // All entries in iteration order (stable sort of the master list by bucket).
    std::vector<THashItem*> Ordered() const
    {
        std::vector<THashItem*> out(FCount);
        const uint32_t size = static_cast<uint32_t>(FHashSize);
        if (uint64_t(size) <= uint64_t(FCount) * 4 + 64) {
            std::vector<uint32_t> start(std::size_t(size) + 1, 0);
            WalkWhile([&](THashItem* p) {
                ++start[p->Hash % size + 1];
                return true;
            });
            for (uint32_t b = 0; b < size; ++b) start[b + 1] += start[b];
            WalkWhile([&](THashItem* p) {
                out[start[p->Hash % size]++] = p;
                return true;
            });
        } else {
            std::size_t i = 0;
            WalkWhile([&](THashItem* p) {
                out[i++] = p;
                return true;
            });
            std::stable_sort(out.begin(), out.end(), [size](const THashItem* a, const THashItem* b) {
                return a->Hash % size < b->Hash % size;
            });
        }
        return out;
    }

    // The last entry in master order (its Next is the first); or, with the
    // low bit set, the table's index, which then holds the last entry. A
    // table is 16 bytes: there are two in every key of every store.
    std::uintptr_t FTail = 0;
    uint32_t FCount = 0;
    int FHashSize = DefaultHashSize;

    TIndex* Index() const noexcept
    {
        return FTail & 1 ? reinterpret_cast<TIndex*>(FTail & ~std::uintptr_t(1)) : nullptr;
    }
    THashItem* Last() const noexcept
    {
        return FTail & 1 ? Index()->Last : reinterpret_cast<THashItem*>(FTail);
    }
    void SetLast(THashItem* last) noexcept
    {
        if (TIndex* index = Index())
            index->Last = last;
        else
            FTail = reinterpret_cast<std::uintptr_t>(last);
    }
    // Takes the index over (none: drops the current one), keeping the last
    // entry and the count of marked entries.
    void SetIndex(std::unique_ptr<TIndex> index) noexcept
    {
        THashItem* last = Last();
        TIndex* old = Index();
        if (index) {
            index->Last = last;
            if (old) index->Dead = old->Dead;
            FTail = reinterpret_cast<std::uintptr_t>(index.release()) | 1;
        } else {
            FTail = reinterpret_cast<std::uintptr_t>(last);
        }
        delete old;
    }
};
