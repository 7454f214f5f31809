#include "settings/USetting.h"
#include "base/UFileSystem.h"
#include "base/UInteger.h"
#include "base/ULeadByte.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <iterator>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "settings/UConfHash.h"
#include "settings/UConfKeyHash.h"
#include "settings/USettingPlatform.h"

namespace {

using TKeyItem = TConfKeyHash::THashItem;

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '\\'; }

// Frees a subtree without recursion: the sub-key entries still to be freed
// are kept on one chain, linked through their own Next fields. A node that
// `current` points to is reset to none on the way.
void FreeTree(TKeyNode* root, TKeyNode** current = nullptr) noexcept
{
    if (!root) return;
    TKeyItem* pending = nullptr;
    TKeyNode* node = root;
    for (;;) {
        if (TKeyItem* children = node->SubKeys.DetachAll()) {
            TKeyItem* tail = children;
            while (tail->Next) tail = tail->Next;
            tail->Next = pending;
            pending = children;
        }
        if (current && *current == node) *current = nullptr;
        delete node;
        if (!pending) return;
        TKeyItem* item = pending;
        pending = item->Next;
        node = item->Value;
        TConfKeyHash::THashItem::Destroy(item);
    }
}

struct TNodeDeleter {
    void operator()(TKeyNode* node) const noexcept { FreeTree(node); }
};
using TOwnedNode = std::unique_ptr<TKeyNode, TNodeDeleter>;

TKeyNode* ChildOrNew(TKeyNode* node, std::string_view name)
{
    if (TKeyItem* item = node->SubKeys.Find(name)) return item->Value;
    TOwnedNode child(new TKeyNode);
    node->SubKeys.Add(name, child.get());
    return child.release();
}

// Creates the keys of "A\B\C" (no trailing "\") below node, reusing those
// that exist, and returns the deepest. The empty text names one key of the
// empty name.
TKeyNode* CreatePath(TKeyNode* node, std::string_view keys)
{
    std::size_t pos = 0;
    for (;;) {
        const std::size_t sep = keys.find('\\', pos);
        node = ChildOrNew(
            node, keys.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos));
        if (sep == std::string_view::npos) return node;
        pos = sep + 1;
    }
}

// Walks the components of `text` (no leading "\") down from node, as far as
// the keys exist.
std::pair<TKeyNode*, std::string_view> Walk(TKeyNode* node, std::string_view text)
{
    while (!text.empty()) {
        const std::size_t sep = text.find('\\');
        TKeyItem* item = node->SubKeys.Find(sep == std::string_view::npos ? text : text.substr(0, sep));
        if (!item) break;
        node = item->Value;
        text = sep == std::string_view::npos ? std::string_view() : text.substr(sep + 1);
    }
    return {node, text};
}

// Makes a relative path absolute against the current key path: "." stays,
// ".." goes up (never above the root). The result begins with "\" and has
// no trailing "\"; the root is the empty string.
std::string MakeAbsolute(const std::string& path, const std::string& currentPath)
{
    if (IsAbsolute(path)) return path;
    std::string result = currentPath;
    if (!result.empty() && result.back() == '\\') result.pop_back();
    if (path.empty()) return result;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t sep = path.find('\\', pos);
        if (sep == std::string::npos) sep = path.size();
        const std::string_view part(path.data() + pos, sep - pos);
        if (part == "..") {
            const std::size_t last = result.rfind('\\');
            result.erase(last == std::string::npos ? 0 : last);
        } else if (part != ".") {
            result += '\\';
            result.append(part.data(), part.size());
        }
        pos = sep + 1;
    }
    return result;
}

// Copies every value and sub-key of src into dst (values overwrite, keys the
// destination lacks are created, nothing of dst is removed). Iterative; the
// order inside each table is that of the recursive definition.
void MergeTree(const TKeyNode* src, TKeyNode* dst)
{
    // Most copies are a key or two deep: the pending pairs stay on the stack
    // until there are many.
    using TPair = std::pair<const TKeyNode*, TKeyNode*>;
    struct TNear {
        const TKeyNode* Src;
        TKeyNode* Dst;
    } near[16];  // only the first nearCount are ever read
    std::size_t nearCount = 0;
    std::vector<TPair> far;  // above the pairs in `near`
    const TKeyNode* s = src;
    TKeyNode* d = dst;
    for (;;) {
        s->Values.ForEach([d](const TConfHash::THashItem& item) { d->Values.Put(item.Key(), item.Value); });
        s->SubKeys.ForEach([&, d](const TKeyItem& item) {
            const TPair next(item.Value, ChildOrNew(d, item.Key()));
            if (nearCount < std::size(near) && far.empty())
                near[nearCount++] = {next.first, next.second};
            else
                far.push_back(next);
        });
        if (!far.empty()) {
            std::tie(s, d) = far.back();
            far.pop_back();
        } else if (nearCount != 0) {
            --nearCount;
            s = near[nearCount].Src;
            d = near[nearCount].Dst;
        } else {
            return;
        }
    }
}

double TextToFloat(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || end != begin + text.size())
        throw EConvertError("'" + text + "' は有効な浮動小数点数ではありません");
    return v;
}

std::string FloatToText(double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", x);
    return buf;
}

// ---- Loading ---------------------------------------------------------------

struct TFileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

enum class TLineKind { Header, StringValue, IntegerValue, EndOfKey, Invalid };

// The lines of a file, read piece by piece into one buffer that is used
// again for the next piece: a large file costs no buffer of its size.
class TFileReader {
public:
    TFileReader(const std::string& fileName) : FFileName(fileName)
    {
        FFile.reset(FileSystem::OpenForReading(fileName));
        if (!FFile) throw EFileError("ファイル " + fileName + " を開けません");
        if (std::fseek(FFile.get(), 0, SEEK_END) == 0) {
            const long length = std::ftell(FFile.get());
            if (length > 0) FLength = static_cast<uint64_t>(length);
            std::rewind(FFile.get());
        }
        // A small file fits at once (its end shows in the first read).
        FCapacity = static_cast<std::size_t>(std::min<uint64_t>(FLength + 1, PieceSize));
        FCapacity = std::max<std::size_t>(FCapacity, 256);
        FBuffer.reset(new char[FCapacity]);
        FPos = FEnd = FBuffer.get();
    }

    // The next line that is neither empty nor a "#" comment; false at the
    // end. The line stays valid until the next call.
    bool NextSignificant(std::string_view& line)
    {
        while (Next(line))
            if (!line.empty() && line.front() != '#') return true;
        return false;
    }

    static TLineKind Classify(std::string_view line)
    {
        if (line.front() == ' ') return TLineKind::EndOfKey;
        if (line.front() != '\t') return TLineKind::Header;
        if (line.size() >= 2 && line[1] == 's') return TLineKind::StringValue;
        if (line.size() >= 2 && line[1] == 'i') return TLineKind::IntegerValue;
        return TLineKind::Invalid;
    }

    // The file's length at the start.
    uint64_t Length() const noexcept { return FLength; }
    // Bytes not read yet, as far as the file's length at the start tells.
    std::size_t Rest() const noexcept
    {
        return FConsumed < FLength ? static_cast<std::size_t>(FLength - FConsumed) : 0;
    }

    [[noreturn]] void FormatError() const
    {
        throw ESettingError("ファイルフォーマットが不正です\r\nfile: " + FFileName +
                            " line:" + std::to_string(FLine));
    }

    int32_t ToInteger(std::string_view text) const
    {
        int32_t v = 0;
        if (!ParseInt32(text, v))
            throw EConvertError("'" + std::string(text) + "' は有効な整数値ではありません\r\nfile: " +
                                FFileName + " line:" + std::to_string(FLine));
        return v;
    }

private:
    static constexpr std::size_t PieceSize = 256 * 1024;

    // A line ends at CR, LF or CR LF; a final line break opens no new line.
    bool Next(std::string_view& line)
    {
        for (;;) {
            const char* p = FindLineBreak(FPos, FEnd);
            if (p == FEnd || (*p == '\r' && p + 1 == FEnd)) {
                // The line, or a CR LF, may go on in the next piece.
                if (!FAtEnd) {
                    Refill();
                    continue;
                }
                if (p == FEnd && FPos == FEnd) return false;
            }
            line = std::string_view(FPos, std::size_t(p - FPos));
            if (p < FEnd) p += (*p == '\r' && p + 1 < FEnd && p[1] == '\n') ? 2 : 1;
            FConsumed += uint64_t(p - FPos);
            FPos = p;
            ++FLine;
            return true;
        }
    }

    // Keeps the bytes not read yet at the front of the buffer (a larger
    // buffer when they fill it) and reads more after them.
    void Refill()
    {
        const std::size_t keep = std::size_t(FEnd - FPos);
        if (keep == FCapacity) {
            std::unique_ptr<char[]> larger(new char[FCapacity * 2]);
            std::memcpy(larger.get(), FPos, keep);
            FBuffer = std::move(larger);
            FCapacity *= 2;
        } else if (keep) {
            std::memmove(FBuffer.get(), FPos, keep);
        }
        FPos = FBuffer.get();
        FEnd = FPos + keep;
        const std::size_t want = FCapacity - keep;
        const std::size_t n = std::fread(FBuffer.get() + keep, 1, want, FFile.get());
        FEnd += n;
        if (n < want) {
            if (std::ferror(FFile.get())) throw EFileError("ファイル " + FFileName + " を読み込めません");
            FAtEnd = true;
        }
    }

    // The first CR or LF in [p, end), or end. Eight bytes at a time where
    // the byte order allows: a byte b of the word is a match when b ^ CR or
    // b ^ LF is zero, and the lowest byte flagged by the zero-byte test is
    // always a real match.
    static const char* FindLineBreak(const char* p, const char* end) noexcept
    {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        constexpr uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
        while (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            const uint64_t cr = word ^ (ones * '\r'), lf = word ^ (ones * '\n');
            const uint64_t hit = ((cr - ones) & ~cr & highs) | ((lf - ones) & ~lf & highs);
            if (hit) return p + (__builtin_ctzll(hit) >> 3);
            p += 8;
        }
#endif
        while (p < end && *p != '\r' && *p != '\n') ++p;
        return p;
    }

    const std::string& FFileName;
    TFilePtr FFile;
    std::unique_ptr<char[]> FBuffer;
    std::size_t FCapacity = 0;
    const char* FPos = nullptr;
    const char* FEnd = nullptr;
    bool FAtEnd = false;
    uint64_t FLength = 0;
    uint64_t FConsumed = 0;
    int FLine = 0;
};

struct THeader {
    std::string_view Name;
    int32_t Values;
    int32_t SubKeys;
};

// The position of the first TAB at or after `from`, or npos. The parts of a
// header are short: a plain loop beats a call of memchr.
std::size_t FindTab(std::string_view line, std::size_t from) noexcept
{
    for (std::size_t i = from; i < line.size(); ++i)
        if (line[i] == '\t') return i;
    return std::string_view::npos;
}

THeader ParseHeader(const TFileReader& reader, std::string_view line)
{
    const std::size_t t1 = FindTab(line, 0);
    const std::size_t t2 = t1 == std::string_view::npos ? t1 : FindTab(line, t1 + 1);
    const std::size_t t3 = t2 == std::string_view::npos ? t2 : FindTab(line, t2 + 1);
    if (t3 == std::string_view::npos) reader.FormatError();
    return {line.substr(0, t1), reader.ToInteger(line.substr(t1 + 1, t2 - t1 - 1)),
            reader.ToInteger(line.substr(t2 + 1, t3 - t2 - 1))};
}

// The counts of a header are hints, and a damaged or hostile file may
// announce two billion entries in every key, or give one key's header again
// and again. What they cost is bounded by the file:
// - A table takes the announced number plus what it already holds as its
//   bucket count when that exceeds the current one. Buckets cost no memory
//   (see UHashTable.h); a count is only clamped to the range of a bucket
//   count.
// - A large table is indexed at once for the entries announced, but all the
//   tables of one load draw these entries from one budget: as many as the
//   file can hold (a line takes at least 5 bytes), and never more than the
//   rest of the file can still hold.
// - A table that already holds entries re-sorts them for a new bucket count.
//   The first time in a load it does so at once; later bucket counts (the
//   same header again) are collected and given to it together when the load
//   ends, which leaves it in the same order at the cost of about one sort.
class TPresizer {
public:
    static constexpr uint64_t MinLineBytes = 5;

    explicit TPresizer(uint64_t fileLength) : FBudget(fileLength / MinLineBytes) {}
    // Gives the collected bucket counts to their tables, also when the load
    // failed part-way: the tables then are as the lines read so far made them.
    ~TPresizer()
    {
        FValues.Finish();
        FSubKeys.Finish();
    }
    TPresizer(const TPresizer&) = delete;
    TPresizer& operator=(const TPresizer&) = delete;

    void Presize(TKeyNode* node, const THeader& header, std::size_t restOfFile)
    {
        Presize(node->Values, FValues, header.Values, restOfFile);
        Presize(node->SubKeys, FSubKeys, header.SubKeys, restOfFile);
    }

private:
    // The tables resized while they held entries, with the bucket counts
    // they are still to take (none for a table resized once, at once).
    template <class Table>
    struct TLater {
        std::unordered_map<Table*, std::vector<typename Table::TResize>> Steps;
        void Finish() noexcept
        {
            for (auto& [table, steps] : Steps) table->ReplayHashSizes(steps.data(), steps.size());
        }
    };

    template <class Table>
    void Presize(Table& table, TLater<Table>& later, int32_t announced, std::size_t restOfFile)
    {
        const uint32_t count = static_cast<uint32_t>(table.Count());
        const int64_t want = int64_t(announced) + count;
        if (count <= 1) {
            // Nothing to re-sort: at once. Such a table has no later steps.
            if (want > table.HashSize())
                table.SetHashSize(static_cast<int>(std::min<int64_t>(want, INT_MAX)));
        } else {
            auto found = later.Steps.find(&table);
            const int current = found == later.Steps.end() || found->second.empty()
                                    ? table.HashSize()
                                    : found->second.back().Size;
            if (want > current) {
                const int size = static_cast<int>(std::min<int64_t>(want, INT_MAX));
                if (found == later.Steps.end()) {
                    later.Steps.try_emplace(&table);  // before the change: it may fail
                    table.SetHashSize(size);
                } else {
                    found->second.push_back({count, size});
                }
            }
        }
        if (want <= int64_t(Table::IndexThreshold)) return;  // no index needed
        const uint64_t room =
            std::min({announced > 0 ? uint64_t(announced) : 0, restOfFile / MinLineBytes, FBudget});
        if (room == 0) return;
        FBudget -= room;
        table.Reserve(static_cast<uint32_t>(std::min<uint64_t>(room + count, INT32_MAX)));
    }

    uint64_t FBudget;  // entries that tables may still be indexed for in advance
    TLater<TConfHash> FValues;
    TLater<TConfKeyHash> FSubKeys;
};

// Merges a file's text into the tree below root. Iterative, so that deeply
// nested keys cannot exhaust the stack.
void ParseInto(TKeyNode* root, TFileReader& reader)
{
    TPresizer presizer(reader.Length());
    std::string_view line;
    if (!reader.NextSignificant(line) || TFileReader::Classify(line) != TLineKind::Header)
        reader.FormatError();
    presizer.Presize(root, ParseHeader(reader, line), reader.Rest());
    std::vector<TKeyNode*> open{root};
    for (;;) {
        if (!reader.NextSignificant(line)) reader.FormatError();
        TKeyNode* node = open.back();
        switch (TFileReader::Classify(line)) {
            case TLineKind::EndOfKey:
                open.pop_back();
                if (open.empty()) return;  // lines after the root's end are not read
                break;
            case TLineKind::Header: {
                const THeader header = ParseHeader(reader, line);
                const uint32_t hash = StringHash(header.Name);
                TKeyNode* child;
                if (TKeyItem* item = node->SubKeys.Find(header.Name, hash)) {
                    child = item->Value;
                    presizer.Presize(child, header, reader.Rest());
                } else {
                    TOwnedNode fresh(new TKeyNode);
                    presizer.Presize(fresh.get(), header, reader.Rest());
                    node->SubKeys.Add(header.Name, hash, fresh.get());
                    child = fresh.release();
                }
                open.push_back(child);
                break;
            }
            case TLineKind::StringValue:
            case TLineKind::IntegerValue: {
                const std::size_t eq = line.find('=', 3);
                if (eq == std::string_view::npos) reader.FormatError();
                const std::string_view name = line.substr(3, eq - 3);
                const std::string_view text = line.substr(eq + 1);
                if (line[1] == 's') {
                    node->Values.Put(name, TConf{std::string(text), 0, TConf::KindString});
                } else {
                    const int32_t number = reader.ToInteger(text);
                    node->Values.Put(name, TConf{std::string(text), number, TConf::KindInteger});
                }
                break;
            }
            case TLineKind::Invalid:
                reader.FormatError();
        }
    }
}

// ---- Saving ----------------------------------------------------------------

// The text of a file as it is written: one buffer of 256 KiB, written out
// each time it is full (a large file costs no text of its size), with
// appends that compile to a few moves for the short parts of a line.
class TTextBuffer {
public:
    explicit TTextBuffer(std::FILE* file) : FFile(file), FBuffer(new char[Size]) {}

    template <std::size_t N>
    void Append(const char (&text)[N])
    {
        Append(text, N - 1);
    }
    void Append(std::string_view text) { Append(text.data(), text.size()); }
    void Append(const char* text, std::size_t n)
    {
        if (n > std::size_t(FEnd - FPos)) {
            AppendSlow(text, n);
            return;
        }
        CopyShort(FPos, text, n);
        FPos += n;
    }
    void AppendNumber(int32_t number)
    {
        char digits[16];
        const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, number);
        Append(digits, static_cast<std::size_t>(r.ptr - digits));
    }
    // Writes what is left; false when any write failed.
    bool Finish()
    {
        Flush();
        return !FFailed;
    }

private:
    static constexpr std::size_t Size = 256 * 1024;

    // memcpy for the names and numbers of a line without a call: sizes up
    // to 16 as two moves that may overlap, reading only the n bytes given.
    static void CopyShort(char* to, const char* from, std::size_t n) noexcept
    {
        if (n > 16) {
            std::memcpy(to, from, n);
        } else if (n >= 8) {
            uint64_t a, b;
            std::memcpy(&a, from, 8);
            std::memcpy(&b, from + n - 8, 8);
            std::memcpy(to, &a, 8);
            std::memcpy(to + n - 8, &b, 8);
        } else if (n >= 4) {
            uint32_t a, b;
            std::memcpy(&a, from, 4);
            std::memcpy(&b, from + n - 4, 4);
            std::memcpy(to, &a, 4);
            std::memcpy(to + n - 4, &b, 4);
        } else if (n > 0) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        }
    }

    void AppendSlow(const char* text, std::size_t n)
    {
        while (n) {
            if (FPos == FEnd) Flush();
            const std::size_t k = std::min(n, std::size_t(FEnd - FPos));
            std::memcpy(FPos, text, k);
            FPos += k;
            text += k;
            n -= k;
        }
    }

    // After a failed write the rest is not written; Finish tells.
    void Flush()
    {
        const std::size_t size = std::size_t(FPos - FBuffer.get());
        if (size && !FFailed) FFailed = std::fwrite(FBuffer.get(), 1, size, FFile) != size;
        FPos = FBuffer.get();
        FEnd = FPos + Size;
    }

    std::FILE* FFile;
    std::unique_ptr<char[]> FBuffer;
    char* FPos = FBuffer.get();
    char* FEnd = FPos + Size;
    bool FFailed = false;
};

void AppendHeaderCounts(TTextBuffer& out, const TKeyNode* node)
{
    out.Append("\t");
    out.AppendNumber(node->Values.Count());
    out.Append("\t");
    out.AppendNumber(node->SubKeys.Count());
    out.Append("\t\r\n");
}

void AppendValues(TTextBuffer& out, const TKeyNode* node)
{
    node->Values.ForEach([&out](const TConfHash::THashItem& item) {
        if (item.Value.IsString()) {
            out.Append("\ts ");
            out.Append(item.Key());
            out.Append("=");
            out.Append(item.Value.Text);
        } else {
            out.Append("\ti ");
            out.Append(item.Key());
            out.Append("=");
            out.AppendNumber(item.Value.Number);
        }
        out.Append("\r\n");
    });
}

// Appends the sub-keys of node in iteration order.
void AppendSubKeys(std::vector<const TKeyItem*>& subs, const TKeyNode* node)
{
    node->SubKeys.ForEach([&subs](const TKeyItem& item) { subs.push_back(&item); });
}

void Serialize(const TKeyNode* root, TTextBuffer& out)
{
    out.Append("\\");
    AppendHeaderCounts(out, root);
    AppendValues(out, root);
    // The sub-keys of every open key, one run per key, on one vector.
    struct TFrame {
        std::size_t Begin;  // this key's run in `subs`: Begin .. End
        std::size_t Next;   // the next sub-key to write
        std::size_t End;
        const TKeyItem* Item;  // none for the root
    };
    std::vector<const TKeyItem*> subs;
    AppendSubKeys(subs, root);
    std::vector<TFrame> open;
    open.push_back({0, 0, subs.size(), nullptr});
    while (!open.empty()) {
        TFrame& frame = open.back();
        if (frame.Next == frame.End) {
            out.Append(" /");
            if (frame.Item)
                out.Append(frame.Item->Key());
            else
                out.Append("\\");
            out.Append("\r\n");
            subs.resize(frame.Begin);  // the run is on top of the vector now
            open.pop_back();
            continue;
        }
        const TKeyItem* item = subs[frame.Next++];
        const TKeyNode* child = item->Value;
        out.Append("\r\n");
        out.Append(item->Key());
        AppendHeaderCounts(out, child);
        AppendValues(out, child);
        if (child->SubKeys.Count() == 0) {
            out.Append(" /");
            out.Append(item->Key());
            out.Append("\r\n");
        } else {
            const std::size_t begin = subs.size();
            AppendSubKeys(subs, child);
            open.push_back({begin, begin, subs.size(), item});  // `frame` is stale from here
        }
    }
}

// Creates the temporary file for a save in the target's folder. Its name is
// new (created new-only, never an existing file of the user's), ends with
// ".tmp", so that nothing looking for the target's extension picks it up,
// and is short ("~" and four hex digits): a target near the length limit of
// a path can be saved as long as its own name has at least that length.
TFilePtr CreateTemporaryBeside(const std::string& fileName, std::string& temp)
{
    static std::atomic<unsigned> counter{0};
    const std::size_t delimiter = LastPathDelimiter(fileName);
    const std::string folder =
        delimiter == std::string::npos ? std::string() : fileName.substr(0, delimiter + 1);
    // Processes saving into one folder at the same time start far apart.
    const unsigned start = static_cast<unsigned>(CurrentProcessId()) * 40503u;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "~%04x.tmp", (start + counter.fetch_add(1)) & 0xFFFFu);
        temp = folder + name;
        bool taken = false;
        if (std::FILE* file = CreateNewFile(temp, taken)) return TFilePtr(file);
        if (!taken) break;
    }
    throw EFileError("ファイル " + fileName + " を作成できません");
}

// ---- Copies that can be handed over or kept --------------------------------

constexpr int FreshHashSize = TConfHash::DefaultHashSize;

// True when copying the table entry by entry into a new table yields the
// same iteration order (and so the same table as far as anyone can tell).
template <class Table>
bool CopyKeepsOrder(const Table& table)
{
    return table.HashSize() == FreshHashSize || table.Count() <= 1;
}

// True when the subtree is exactly what MergeTree would build from it into a
// new key, and `current` does not lie inside it.
bool SameAsItsCopy(const TKeyNode* root, const TKeyNode* current)
{
    std::vector<const TKeyNode*> work;
    const TKeyNode* node = root;
    for (;;) {
        if (node == current || !CopyKeepsOrder(node->Values) || !CopyKeepsOrder(node->SubKeys)) return false;
        node->SubKeys.ForEach([&work](const TKeyItem& item) { work.push_back(item.Value); });
        if (work.empty()) return true;
        node = work.back();
        work.pop_back();
    }
}

// True when dst holds exactly what MergeTree(src, new key) would build.
// Answers false (so the caller copies) for anything unusual: deep nesting,
// large tables, tables whose copy would be reordered.
bool HoldsCopyOf(const TKeyNode* src, const TKeyNode* dst, int depth = 0)
{
    constexpr std::size_t MaxEntries = 32;
    if (depth > 16) return false;
    const TConfHash& sv = src->Values;
    const TConfHash& dv = dst->Values;
    if (!CopyKeepsOrder(sv) || dv.HashSize() != FreshHashSize || dv.Count() != sv.Count() ||
        std::size_t(sv.Count()) > MaxEntries)
        return false;
    std::array<const TConfHash::THashItem*, MaxEntries> values;
    std::size_t n = 0;
    sv.ForEach([&](const TConfHash::THashItem& item) { values[n++] = &item; });
    bool same = true;
    n = 0;
    dv.ForEach([&](const TConfHash::THashItem& item) {
        const TConfHash::THashItem& s = *values[n++];
        same = same && s.Key() == item.Key() && s.Value.Kind == item.Value.Kind &&
               s.Value.Number == item.Value.Number && s.Value.Text == item.Value.Text;
    });
    if (!same) return false;
    const TConfKeyHash& sk = src->SubKeys;
    const TConfKeyHash& dk = dst->SubKeys;
    if (!CopyKeepsOrder(sk) || dk.HashSize() != FreshHashSize || dk.Count() != sk.Count() ||
        std::size_t(sk.Count()) > MaxEntries)
        return false;
    if (sk.Count() == 0) return true;
    std::array<const TKeyItem*, MaxEntries> keys;
    n = 0;
    sk.ForEach([&](const TKeyItem& item) { keys[n++] = &item; });
    n = 0;
    dk.ForEach([&](const TKeyItem& item) {
        const TKeyItem& s = *keys[n++];
        same = same && s.Key() == item.Key() && HoldsCopyOf(s.Value, item.Value, depth + 1);
    });
    return same;
}

// The one entry of a table that holds exactly one.
template <class Table>
typename Table::THashItem* SoleEntry(const Table& table)
{
    typename Table::THashItem* found = nullptr;
    table.ForEachUnordered([&found](typename Table::THashItem& item) { found = &item; });
    return found;
}

// The value of a key name written by std::to_string for 1 .. max, or 0.
uint32_t NumberedName(std::string_view name, uint32_t max)
{
    if (name.empty() || name.size() > 10 || name[0] < '1' || name[0] > '9') return 0;
    uint64_t v = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + uint64_t(c - '0');
    }
    return v <= max ? static_cast<uint32_t>(v) : 0;
}

// Writes a temporary file beside the target with write(file), forces it to
// the disk, then replaces the target with it. Any failure leaves the target
// as it was and removes the temporary file.
template <class F>
void WriteFileAtomicallyWith(const std::string& fileName, F&& write)
{
    std::string temp;
    TFilePtr file = CreateTemporaryBeside(fileName, temp);
    struct TRemoveUnlessKept {
        const std::string& Name;
        bool Keep = false;
        ~TRemoveUnlessKept()
        {
            if (!Keep) FileSystem::Remove(Name);
        }
    } cleanup{temp};
    bool ok;
    try {
        ok = write(file.get());
    } catch (...) {
        std::fclose(file.release());  // closed first: an open file cannot be removed everywhere
        throw;
    }
    ok = ok && std::fflush(file.get()) == 0 && CommitFile(file.get());
    ok = std::fclose(file.release()) == 0 && ok;
    if (!ok || !ReplaceFileWith(temp, fileName))
        throw EFileError("ファイル " + fileName + " に書き込めません");
    cleanup.Keep = true;
}

}  // namespace

void WriteFileAtomically(const std::string& fileName, std::string_view data)
{
    WriteFileAtomicallyWith(fileName, [data](std::FILE* file) {
        return std::fwrite(data.data(), 1, data.size(), file) == data.size();
    });
}

// ---- TSetting ----------------------------------------------------------------

struct TSetting::TResolved {
    TKeyNode* Node;         // the deepest existing key along the path
    std::string_view Rest;  // the unresolved remainder; empty if the path is a key
};

void TSetting::TTreeDeleter::operator()(TKeyNode* node) const noexcept { FreeTree(node); }

namespace {

std::atomic<uint64_t> lastStamp{0};

}  // namespace

uint64_t TSetting::NewStamp() noexcept { return lastStamp.fetch_add(1, std::memory_order_acq_rel) + 1; }

uint64_t TSetting::LatestStamp() noexcept { return lastStamp.load(std::memory_order_acquire); }

// The copies as the last WriteNumberedCopies left them. Dropped by any
// change that may reach the key that holds them.
struct TSetting::TCopies {
    std::string Name;
    std::string CountName;
    std::vector<const TSetting*> Sources;
    uint64_t Before;  // every stamp up to this one was given before they were made
};

TSetting::TSetting() : FRoot(new TKeyNode), FStamp(NewStamp()) { FCurrent = FRoot.get(); }

TSetting::TSetting(TTree tree) : FRoot(tree.FNode ? tree.FNode.release() : new TKeyNode), FStamp(NewStamp())
{
    FCurrent = FRoot.get();
}

// Called with the exclusive hold, before the change: a copy taken after it
// waits for the change to end.
void TSetting::Changing(const std::string& path) noexcept
{
    FStamp.store(NewStamp(), std::memory_order_release);
    if (FCopies && MayReach(path, FCopies->Name)) FCopies.reset();
}

void TSetting::ChangingAll() noexcept
{
    FStamp.store(NewStamp(), std::memory_order_release);
    FCopies.reset();
}

// Whether an operation on path (as Resolve takes it) may change the root's
// sub-key `name` or what lies below it: the first key it walks through from
// the root is that one, or it works on the root itself.
bool TSetting::MayReach(const std::string& path, const std::string& name) const
{
    std::string scratch;
    std::string_view text;
    if (IsAbsolute(path))
        text = path;
    else if (FCurrent)  // walked from the open key, which lies below its path
        text = FCurrent == FRoot.get() ? std::string_view(path) : std::string_view(FCurrentPath);
    else
        text = scratch = MakeAbsolute(path, FCurrentPath);
    if (IsAbsolute(text)) text.remove_prefix(1);
    const std::string_view first = text.substr(0, text.find('\\'));
    return first.empty() || first == name;
}

TSetting::~TSetting()
{
    try {
        SetParent(nullptr);
    } catch (...) {
    }
    if (FKeyOpen) {
        FKeyOpen = false;
        FLock.UnlockShared();
    }
}

TSetting::TResolved TSetting::Resolve(const std::string& path, std::string& scratch) const
{
    if (FCurrent && !IsAbsolute(path)) {
        auto [node, rest] = Walk(FCurrent, path);
        return {node, rest};
    }
    std::string_view text = path;
    if (!IsAbsolute(path)) {
        scratch = MakeAbsolute(path, FCurrentPath);
        text = scratch;
    }
    if (IsAbsolute(text)) text.remove_prefix(1);
    auto [node, rest] = Walk(FRoot.get(), text);
    return {node, rest};
}

TKeyNode* TSetting::CreateKeyUnlocked(const std::string& path)
{
    std::string scratch;
    TResolved r = Resolve(path, scratch);
    if (r.Rest.empty()) return r.Node;
    if (r.Rest.back() == '\\') r.Rest.remove_suffix(1);
    return CreatePath(r.Node, r.Rest);
}

const TConf* TSetting::FindValue(const std::string& name) const
{
    if (!FCurrent && !IsAbsolute(name)) return nullptr;
    std::string scratch;
    const TResolved r = Resolve(name, scratch);
    const TConfHash::THashItem* item = r.Node->Values.Find(r.Rest);
    return item ? &item->Value : nullptr;
}

void TSetting::WriteValue(const std::string& name, TConf conf)
{
    TExclusiveHold hold(FLock);
    Changing(name);
    if (!FCurrent && !IsAbsolute(name)) FCurrent = CreateKeyUnlocked(FCurrentPath);
    std::string scratch;
    TResolved r = Resolve(name, scratch);
    TKeyNode* node = r.Node;
    const std::size_t last = r.Rest.rfind('\\');
    if (last != std::string_view::npos) {
        node = CreatePath(node, r.Rest.substr(0, last));
        r.Rest.remove_prefix(last + 1);
    }
    node->Values.Put(r.Rest, std::move(conf));
}

void TSetting::Clear()
{
    TExclusiveHold hold(FLock);
    ChangingAll();
    TKeyNode* old = FRoot.get();
    TNodePtr fresh(new TKeyNode);
    const bool currentWasRoot = FCurrent == old;
    FRoot.swap(fresh);
    FreeTree(fresh.release(), &FCurrent);  // an open key below the root is gone now
    if (currentWasRoot) FCurrent = FRoot.get();
}

void TSetting::LoadFromFile(const std::string& fileName)
{
    TFileReader reader(fileName);
    TExclusiveHold hold(FLock);
    ChangingAll();
    ParseInto(FRoot.get(), reader);
}

void TSetting::SaveToFile(const std::string& fileName)
{
    TExclusiveHold hold(FLock);
    WriteFileAtomicallyWith(fileName, [this](std::FILE* file) {
        TTextBuffer text(file);
        Serialize(FRoot.get(), text);
        return text.Finish();
    });
}

bool TSetting::OpenKey(const std::string& path)
{
    FLock.LockShared();
    try {
        if (FKeyOpen) throw ESettingError("すでにキーを開いています。");
        // Callers pass absolute paths; a relative one is taken from the root,
        // which is where it would resolve while no key is open.
        std::string full = IsAbsolute(path) ? path : "\\" + path;
        if (full.back() != '\\') full += '\\';
        if (FParent) FParent->OpenKey(full);
        std::string scratch;
        const TResolved r = Resolve(full, scratch);  // no allocation: full is absolute
        FCurrent = r.Rest.empty() ? r.Node : nullptr;
        FCurrentPath.swap(full);
        FKeyOpen = true;
        return FCurrent != nullptr;
    } catch (...) {
        FLock.UnlockShared();
        throw;
    }
}

void TSetting::CloseKey()
{
    if (!FKeyOpen) return;
    if (FParent) FParent->CloseKey();
    FCurrent = FRoot.get();
    FCurrentPath = "\\";
    FKeyOpen = false;
    FLock.UnlockShared();
}

bool TSetting::ChangeKey(const std::string& path)
{
    TExclusiveHold hold(FLock);
    if (!FKeyOpen) throw ESettingError("未だキーが開かれていません。");
    std::string target = MakeAbsolute(path, FCurrentPath);
    if (target.empty() || target.back() != '\\') target += '\\';
    if (!IsAbsolute(target)) target.insert(target.begin(), '\\');
    // Same effect as CloseKey and OpenKey, keeping this thread's hold: the
    // parent follows, and if it cannot, everything stays as it was.
    if (FParent) {
        FParent->CloseKey();
        try {
            FParent->OpenKey(target);
        } catch (...) {
            try {
                FParent->OpenKey(FCurrentPath);
            } catch (...) {
            }
            throw;
        }
    }
    std::string scratch;
    const TResolved r = Resolve(target, scratch);
    FCurrent = r.Rest.empty() ? r.Node : nullptr;
    FCurrentPath.swap(target);
    return FCurrent != nullptr;
}

void TSetting::SetParent(TSetting* parent)
{
    for (TSetting* p = parent; p; p = p->FParent)
        if (p == this) throw ESettingError("設定の親子関係が循環しています");
    if (FParent && FKeyOpen) FParent->CloseKey();
    FParent = parent;
    if (FParent && FKeyOpen) {
        try {
            FParent->OpenKey(FCurrentPath);
        } catch (...) {
            // A parent that cannot follow the open key is not taken: closing
            // it later would close a key that someone else opened.
            FParent = nullptr;
            throw;
        }
    }
}

bool TSetting::Exists(const std::string& name)
{
    TSharedHold hold(FLock);
    std::string scratch;
    const TResolved r = Resolve(name, scratch);
    return r.Rest.empty() || r.Node->Values.Find(r.Rest) != nullptr;
}

void TSetting::ForEachSubKey(const std::string& path, const std::function<void(std::string_view name)>& found)
{
    TSharedHold hold(FLock);
    std::string scratch;
    const TResolved r = Resolve(path, scratch);
    if (!r.Rest.empty()) return;
    r.Node->SubKeys.ForEach([&found](const TKeyItem& item) { found(item.Key()); });
}

std::string TSetting::ReadString(const std::string& name, const std::string& def)
{
    {
        TSharedHold hold(FLock);
        if (const TConf* conf = FindValue(name)) return conf->Text;
    }
    return FParent ? FParent->ReadString(name, def) : def;
}

int32_t TSetting::ReadInteger(const std::string& name, int32_t def)
{
    {
        TSharedHold hold(FLock);
        if (const TConf* conf = FindValue(name)) {
            if (conf->IsString()) throw ESettingError("非整数値" + name + "を整数として読み出しました");
            return conf->Number;
        }
    }
    return FParent ? FParent->ReadInteger(name, def) : def;
}

bool TSetting::ReadBool(const std::string& name, bool def) { return ReadInteger(name, def ? 1 : 0) != 0; }

double TSetting::ReadFloat(const std::string& name, double def)
{
    const std::string text = ReadString(name, std::string());
    return text.empty() ? def : TextToFloat(text);
}

void TSetting::WriteString(const std::string& name, const std::string& text)
{
    WriteValue(name, TConf::String(text));
}

void TSetting::WriteInteger(const std::string& name, int32_t number)
{
    WriteValue(name, TConf::Integer(number));
}

void TSetting::WriteBool(const std::string& name, bool flag) { WriteInteger(name, flag ? 1 : 0); }

void TSetting::WriteFloat(const std::string& name, double x) { WriteString(name, FloatToText(x)); }

void TSetting::DeleteValue(const std::string& name)
{
    TExclusiveHold hold(FLock);
    Changing(name);
    std::string scratch;
    const TResolved r = Resolve(name, scratch);
    if (r.Rest.empty()) throw ESettingError("キー " + name + " を値として削除しようとしました");
    if (r.Node->Values.Find(r.Rest)) r.Node->Values.Remove(r.Rest);
}

void TSetting::DeleteKey(const std::string& path)
{
    TExclusiveHold hold(FLock);
    Changing(path);
    std::string trimmed = path;
    if (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    const std::size_t last = trimmed.rfind('\\');
    const std::string parentPath = last == std::string::npos ? std::string() : trimmed.substr(0, last + 1);
    const std::string name = last == std::string::npos ? trimmed : trimmed.substr(last + 1);
    std::string scratch;
    const TResolved r = Resolve(parentPath, scratch);
    if (!r.Rest.empty()) return;
    TKeyItem* item = r.Node->SubKeys.Find(name);
    if (!item) return;
    TKeyNode* doomed = item->Value;
    r.Node->SubKeys.Remove(name);
    // If the open key lay inside, it no longer exists: the store then
    // behaves as after OpenKey of a missing key instead of keeping a
    // dangling node.
    FreeTree(doomed, &FCurrent);
}

void TSetting::CopyKey(TSetting& source, const std::string& sourcePath, const std::string& destPath)
{
    TSharedHold sourceHold(source.FLock);
    TExclusiveHold hold(FLock);
    Changing(destPath);
    std::string sourceScratch;
    const TResolved from = source.Resolve(sourcePath, sourceScratch);
    if (!from.Rest.empty()) return;
    const TKeyNode* src = from.Node;
    // Within one store the destination may lie inside the source: copy from
    // a snapshot so that the merge never reads what it writes.
    TOwnedNode snapshot;
    if (&source == this) {
        snapshot.reset(new TKeyNode);
        MergeTree(src, snapshot.get());
        src = snapshot.get();
    }
    std::string scratch;
    TResolved to = Resolve(destPath, scratch);
    TKeyNode* dst = to.Node;
    if (!to.Rest.empty()) {
        if (to.Rest.back() == '\\') to.Rest.remove_suffix(1);
        dst = CreatePath(dst, to.Rest);
    }
    MergeTree(src, dst);
}

void TSetting::MoveKey(TSetting& source, const std::string& sourcePath, const std::string& destPath)
{
    if (&source != this) {
        TExclusiveHold sourceHold(source.FLock);
        TExclusiveHold hold(FLock);
        source.Changing(sourcePath);
        Changing(destPath);
        // The key as CopyKey finds it, and as DeleteKey finds it.
        std::string sourceScratch;
        const TResolved from = source.Resolve(sourcePath, sourceScratch);
        std::string trimmed = sourcePath;
        if (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
        const std::size_t last = trimmed.rfind('\\');
        const std::string parentPath =
            last == std::string::npos ? std::string() : trimmed.substr(0, last + 1);
        const std::string name = last == std::string::npos ? trimmed : trimmed.substr(last + 1);
        std::string parentScratch;
        const TResolved parent = source.Resolve(parentPath, parentScratch);
        TKeyItem* item = parent.Rest.empty() && !name.empty() ? parent.Node->SubKeys.Find(name) : nullptr;
        if (from.Rest.empty() && item && item->Value == from.Node &&
            SameAsItsCopy(from.Node, source.FCurrent)) {
            std::string scratch;
            TResolved to = Resolve(destPath, scratch);
            if (!to.Rest.empty() && to.Rest.back() == '\\') to.Rest.remove_suffix(1);
            if (!to.Rest.empty()) {
                // A missing destination: the copy would be a new key, built
                // exactly like the source's.
                TKeyNode* dstParent = to.Node;
                std::string_view leaf = to.Rest;
                const std::size_t sep = leaf.rfind('\\');
                if (sep != std::string_view::npos) {
                    dstParent = CreatePath(dstParent, leaf.substr(0, sep));
                    leaf.remove_prefix(sep + 1);
                }
                dstParent->SubKeys.Add(leaf, from.Node);
                parent.Node->SubKeys.Remove(name);
                return;
            }
        }
    }
    CopyKey(source, sourcePath, destPath);
    source.DeleteKey(sourcePath);
}

bool TSetting::ReuseNumberedCopies(TKeyNode* key, const std::string& countName,
                                   const std::vector<TSetting*>& sources, const TCopies* last)
{
    if (sources.size() > uint32_t(INT32_MAX)) return false;
    const uint32_t n = static_cast<uint32_t>(sources.size());
    for (const TSetting* s : sources)
        if (s == this) return false;
    TConfHash::THashItem* count = key->Values.Find(countName);
    if (!count || key->Values.Count() != 1 || key->Values.HashSize() != FreshHashSize) return false;
    if (key->SubKeys.HashSize() != FreshHashSize || uint32_t(key->SubKeys.Count()) != n) return false;
    if (last && last->Sources.size() == n) {
        // The key is as the last call left it: only the copies of stores
        // that changed since, or that took another's place, are made anew.
        for (uint32_t i = 0; i < n; ++i) {
            TSetting& source = *sources[i];
            if (last->Sources[i] == &source && source.FStamp.load(std::memory_order_acquire) <= last->Before)
                continue;
            TKeyItem* item = key->SubKeys.Find(std::to_string(i + 1));
            TSharedHold sourceHold(source.FLock);
            TOwnedNode fresh(new TKeyNode);
            MergeTree(source.FRoot.get(), fresh.get());
            TKeyNode* old = item->Value;
            item->Value = fresh.release();
            FreeTree(old);
        }
        count->Value = TConf::Integer(static_cast<int32_t>(n));
        return true;
    }
    // The sub-keys must be "1" .. n in the order a new table would give them:
    // by bucket, and inside a bucket by number. Distinct names in one bucket
    // increase strictly, so n of them are exactly 1 .. n.
    bool inOrder = true;
    uint32_t lastBucket = 0, lastNumber = 0;
    std::vector<TKeyItem*> copies(n);  // by number - 1
    key->SubKeys.ForEach([&](const TKeyItem& item) {
        if (!inOrder) return;
        const uint32_t number = NumberedName(item.Key(), n);
        const uint32_t bucket = item.Hash % uint32_t(FreshHashSize);
        inOrder = number != 0 && (bucket > lastBucket || (bucket == lastBucket && number > lastNumber));
        lastBucket = bucket;
        lastNumber = number;
        if (inOrder) copies[number - 1] = const_cast<TKeyItem*>(&item);
    });
    if (!inOrder) return false;
    // In the order of the numbers: both the sources and copies made by an
    // earlier save lie in memory in that order.
    for (uint32_t i = 0; i < n; ++i) {
        TKeyItem* item = copies[i];
        TSetting& source = *sources[i];
        TSharedHold sourceHold(source.FLock);
        const TKeyNode* src = source.FRoot.get();
        if (HoldsCopyOf(src, item->Value)) continue;
        TOwnedNode fresh(new TKeyNode);
        MergeTree(src, fresh.get());
        TKeyNode* old = item->Value;
        item->Value = fresh.release();
        FreeTree(old);
    }
    count->Value = TConf::Integer(static_cast<int32_t>(n));
    return true;
}

void TSetting::WriteNumberedCopies(const std::string& name, const std::string& countName,
                                   const std::vector<TSetting*>& sources)
{
    // One hold throughout, so that what is noted at the end is this call's
    // doing alone.
    TExclusiveHold hold(FLock);
    const bool plain = !name.empty() && name.find('\\') == std::string::npos && !FKeyOpen;
    // A source that changes from here on gets a newer stamp than this.
    const uint64_t before = lastStamp.load(std::memory_order_acquire);
    std::unique_ptr<TCopies> last = std::move(FCopies);
    if (last && (last->Name != name || last->CountName != countName)) last.reset();
    ChangingAll();
    TKeyItem* item = plain ? FRoot->SubKeys.Find(name) : nullptr;
    if (item && ReuseNumberedCopies(item->Value, countName, sources, last.get())) {
        // Deleted and written anew, the key would end its bucket's chain.
        FRoot->SubKeys.Add(name, item->Value);
        FRoot->SubKeys.Remove(name);  // the older entry comes first
    } else {
        const std::string path = "\\" + name + "\\";
        DeleteKey(path);
        WriteInteger(path + countName, static_cast<int32_t>(sources.size()));
        TSettingKey key(*this, path);
        // Copied in the order the new table lists them, which is the order a
        // save walks them in: bucket by bucket, each by number.
        std::vector<std::size_t> order(sources.size());
        std::size_t next = 0;
        for (uint32_t bucket = 0; bucket < uint32_t(FreshHashSize); ++bucket)
            for (std::size_t i = 0; i < sources.size(); ++i)
                if (StringHash(std::to_string(i + 1)) % uint32_t(FreshHashSize) == bucket) order[next++] = i;
        for (std::size_t i : order) CopyKey(*sources[i], "\\", std::to_string(i + 1));
    }
    if (!plain || std::find(sources.begin(), sources.end(), this) != sources.end()) return;
    auto copies = std::make_unique<TCopies>();
    copies->Name = name;
    copies->CountName = countName;
    copies->Sources.assign(sources.begin(), sources.end());
    copies->Before = before;
    FCopies = std::move(copies);
}

void TSetting::TakeNumberedKeys(const std::string& path, int32_t count, const std::string& name,
                                const std::string& keep,
                                const std::function<void(int32_t number, std::string text, TTree tree)>& take)
{
    struct TTaken {
        uint32_t Number;
        TKeyItem* Item;  // the sub-key's entry in the key at path
        std::string Text;
        TNodePtr Tree;  // built beside the sub-key, or the sub-key itself once taken
        TConf* Value;   // the sub-key becomes the tree: its one value, a string from then on
    };
    std::vector<TTaken, NodePool::TLargeAllocator<TTaken>> taken;
    {
        TExclusiveHold hold(FLock);
        if (count <= 0) return;
        Changing(path);
        std::string scratch;
        const TResolved at = Resolve(path, scratch);
        if (!at.Rest.empty()) return;
        TConfKeyHash& subKeys = at.Node->SubKeys;

        std::vector<std::pair<uint32_t, TKeyItem*>, NodePool::TLargeAllocator<std::pair<uint32_t, TKeyItem*>>>
            numbered;
        subKeys.ForEachUnordered([&](const TKeyItem& item) {
            if (const uint32_t n = NumberedName(item.Key(), uint32_t(count)))
                numbered.emplace_back(n, const_cast<TKeyItem*>(&item));
        });
        // The names are distinct, so are the numbers. Dense numbers (as
        // saved) are put in place; others are sorted.
        using TSlots = std::vector<TKeyItem*, NodePool::TLargeAllocator<TKeyItem*>>;
        if (std::is_sorted(numbered.begin(), numbered.end())) {
            // as they are
        } else if (uint64_t(count) <= uint64_t(numbered.size()) * 4 + 64) {
            TSlots slots(std::size_t(count), nullptr);
            for (const auto& [number, item] : numbered) slots[number - 1] = item;
            std::size_t k = 0;
            for (uint32_t i = 0; i < uint32_t(count); ++i)
                if (slots[i]) numbered[k++] = {i + 1, slots[i]};
        } else {
            std::sort(numbered.begin(), numbered.end());
        }

        // Everything that can fail comes first, while the store is unchanged.
        taken.reserve(numbered.size());
        for (const auto& [number, item] : numbered) {
            TKeyNode* node = item->Value;
            // Read as ReadString reads "<number>\<name>": a sub-key of that
            // name holds the value under the empty name. Most keys hold one
            // sub-key and one value: no lookups then.
            TKeyItem* sub = nullptr;
            TKeyItem* kept = nullptr;
            if (node->SubKeys.Count() == 1) {
                TKeyItem* only = SoleEntry(node->SubKeys);
                if (only->Key() == name) sub = only;
                if (only->Key() == keep) kept = only;
            } else if (node->SubKeys.Count() > 1) {
                sub = node->SubKeys.Find(name);
                kept = node->SubKeys.Find(keep);
            }
            TConfHash::THashItem* value;
            if (sub) {
                value = sub->Value->Values.Find(std::string_view());
            } else if (node->Values.Count() == 1) {
                value = SoleEntry(node->Values);
                if (value->Key() != name) value = nullptr;
            } else {
                value = node->Values.Find(name);
            }
            if (!value) continue;
            taken.push_back({number, item, value->Value.Text, nullptr, nullptr});
            TTaken& t = taken.back();
            // The usual case: the sub-key holds just the value and the kept
            // key, in tables a new store would have; it is taken whole.
            if (!sub && node != FCurrent && node->Values.Count() == 1 &&
                node->Values.HashSize() == FreshHashSize && node->SubKeys.HashSize() == FreshHashSize &&
                node->SubKeys.Count() == (kept ? 1 : 0) && (!kept || SameAsItsCopy(kept->Value, FCurrent))) {
                t.Value = &value->Value;
                continue;
            }
            TOwnedNode tree(new TKeyNode);
            tree->Values.Add(name, TConf::String(t.Text));
            if (kept) MergeTree(kept->Value, ChildOrNew(tree.get(), keep));
            t.Tree.reset(tree.release());
        }

        // Nothing fails from here on.
        for (TTaken& t : taken) {
            TKeyNode* node = t.Item->Value;
            t.Item->Value = nullptr;
            if (t.Value) {
                t.Tree.reset(node);
                t.Value->Kind = TConf::KindString;
                t.Value->Number = 0;
            } else {
                FreeTree(node, &FCurrent);  // as DeleteKey leaves an open key inside
            }
        }
        subKeys.RemoveIf([](const TKeyItem& item) { return item.Value == nullptr; });
    }
    for (TTaken& t : taken) take(int32_t(t.Number), std::move(t.Text), TTree(std::move(t.Tree)));
}

void TSetting::CreateKey(const std::string& path)
{
    TExclusiveHold hold(FLock);
    Changing(path);
    CreateKeyUnlocked(path);
}

std::size_t LastPathDelimiter(const std::string& path)
{
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c == '\\' || c == '/' || c == ':') {
            found = i;
        } else if (IsLeadByte932(c)) {
            ++i;  // lead byte of a double-byte character: skip its second byte
        }
    }
    return found;
}
