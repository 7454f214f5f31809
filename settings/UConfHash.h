// TConfHash: the value table of a setting key, value name -> TConf.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/UHashTable.h"
#include "settings/UNodePool.h"

// A typed value: a string value, or an integer value that also keeps its
// decimal text (as written in the file it came from).
struct TConf {
    static constexpr uint8_t KindInteger = 0;
    static constexpr uint8_t KindString = 1;
    // Texts longer than a string keeps inside itself (file names, for one)
    // come from the tree's pool like the entries that hold them.
    using TText = std::basic_string<char, std::char_traits<char>, NodePool::TAllocator<char>>;

    TText Text;
    int32_t Number = 0;
    uint8_t Kind = KindInteger;

    static TConf String(std::string_view text) { return TConf{TText(text), 0, KindString}; }
    static TConf Integer(int32_t number)
    {
        char digits[16];
        const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, number);
        return TConf{TText(digits, r.ptr), number, KindInteger};
    }
    bool IsString() const noexcept { return Kind == KindString; }
};

using TConfHash = THashTable<TConf>;
extern template class THashTable<TConf>;
