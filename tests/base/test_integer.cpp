// The one integer parser: the settings file's syntax, and with leading blanks
// allowed the number of a temporary list's name.
#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "base/UInteger.h"

namespace {

TEST(ParseInt32, SignsDigitsAndTheLimitsOf32Bits)
{
    const std::pair<const char*, int32_t> good[] = {
        {"0", 0}, {"+7", 7}, {"-0", 0}, {"007", 7}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}};
    for (bool blanks : {false, true})
        for (const auto& [text, expected] : good) {
            int32_t v = 12345;
            EXPECT_TRUE(ParseInt32(text, v, blanks)) << text;
            EXPECT_EQ(expected, v) << text;
        }
    for (const char* text : {"", "+", "-", "--1", "2147483648", "-2147483649", "99999999999999999999", "1 ",
                             "1a", "0x10", "1.0", " ", "\t"})
        for (bool blanks : {false, true}) {
            int32_t v = 12345;
            EXPECT_FALSE(ParseInt32(text, v, blanks)) << text;
            EXPECT_EQ(12345, v) << text;  // left alone
        }
    // Blanks before the number only where they are asked for.
    int32_t v = 0;
    EXPECT_FALSE(ParseInt32(" \t-5", v));
    EXPECT_TRUE(ParseInt32(" \t-5", v, true));
    EXPECT_EQ(-5, v);
    EXPECT_FALSE(ParseInt32("- 5", v, true));
}

}  // namespace
