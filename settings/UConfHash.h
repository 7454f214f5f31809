// TConfHash: the value table of a setting key, value name -> TConf.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

#include "settings/UHashTable.h"

// A typed value: a string value, or an integer value that also keeps its
// decimal text (as written in the file it came from).
struct TConf {
    static constexpr uint8_t KindInteger = 0;
    static constexpr uint8_t KindString = 1;

    std::string Text;
    int32_t Number = 0;
    uint8_t Kind = KindInteger;

    static TConf String(std::string text) { return TConf{std::move(text), 0, KindString}; }
    static TConf Integer(int32_t number)
    {
        char digits[16];
        const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, number);
        return TConf{std::string(digits, r.ptr), number, KindInteger};
    }
    bool IsString() const noexcept { return Kind == KindString; }
};

using TConfHash = THashTable<TConf>;
extern template class THashTable<TConf>;
