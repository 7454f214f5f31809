// Reads arbitrary bytes as an M3U or M3U8 list (the first byte chooses). A
// read ends in entries or in the reader's own error for a damaged file;
// nothing else may escape. The entries, written as M3U8 and read back, give
// the same paths and titles.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/UCodePage.h"
#include "fuzz/FuzzCheck.h"
#include "base/UFileName.h"
#include "playlist/UM3U.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    // "C:\<so>\list.m3u": the folder's name ends in a trail byte 0x5C.
    const std::string listName = std::string("C:\\\x83\x5C\\list.m3u") + (data[0] & 1 ? "8" : "");
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    M3U::TReadResult first;
    try {
        first = M3U::Parse(bytes, listName);
    } catch (const EM3UError&) {
        return 0;
    }
    CHECK(first.Entries.size() + static_cast<size_t>(first.Urls + first.Unrepresentable) <= bytes.size());

    // Only a lone surrogate (read from an escape in a code page list) has no
    // UTF-8 form: writing such an entry is refused.
    std::vector<M3U::TItem> items;
    std::string utf8;
    for (const M3U::TEntry& e : first.Entries) {
        CHECK(!e.Path.empty());
        if (CodePage::ToUtf8(e.Path, utf8) && CodePage::ToUtf8(e.Title, utf8)) {
            items.push_back({e.Path, e.Title});
        } else {
            bool refused = false;
            try {
                M3U::Format({{e.Path, e.Title}});
            } catch (const EM3UError&) {
                refused = true;
            }
            CHECK(refused && (e.Path + e.Title).find("<U+D") != std::string::npos);
        }
    }
    const std::string written = M3U::Format(items);
    const M3U::TReadResult second = M3U::Parse(written, "D:\\other\\list.m3u8");
    CHECK(second.Urls == 0 && second.Unrepresentable == 0 && second.Entries.size() == items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        CHECK(second.Entries[i].Path == items[i].Path);
        CHECK(second.Entries[i].Title == items[i].DisplayName);
    }
    return 0;
}
