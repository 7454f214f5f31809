// Whole decimal numbers as the program's files and names write them.
#pragma once

#include <cstdint>
#include <string_view>

// A decimal number that fits 32 bits: an optional sign, then one or more
// digits and nothing else ("+7", "-2147483648"). With leadingBlanks, spaces
// and tabs before it are skipped (a temporary list's number is read so); a
// settings file allows none. False, leaving value alone, for anything else.
bool ParseInt32(std::string_view text, int32_t& value, bool leadingBlanks = false);
