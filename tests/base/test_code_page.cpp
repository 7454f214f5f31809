// Code page 932 text with escapes for what it cannot hold: written from
// UTF-16 and UTF-8 and read back, lengths and comparisons of the real names.
// The same cases run natively (iconv) and under Wine (the system's tables).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/UCodePage.h"

namespace {

std::u16string Wide(std::string_view text)
{
    std::u16string w;
    EXPECT_TRUE(CodePage::ToUtf16(text, w)) << text;
    return w;
}

struct TCase {
    std::u16string Wide;
    std::string Text;
};

}  // namespace

TEST(CodePageTest, WritesEscapesWhereTheCodePageHasNoCharacterAndReadsThemBack)
{
    const std::vector<TCase> cases = {
        {u"Beyonc\u00E9.wav", "Beyonc<U+00E9>.wav"},  // never "e"
        {u"\u00A5100.wav", "<U+00A5>100.wav"},        // never the byte of "\"
        {u"\u301Cwave.wav", "<U+301C>wave.wav"},      // never the full-width tilde...
        {u"\uFF5Ewave.wav", "～wave.wav"},            // ...which is this one
        {u"\uD55C\uAD6D.wav", "<U+D55C><U+AD6D>.wav"},
        {u"\u2661", "<U+2661>"},
        {u"\U0001F3B5 \U0010FFFF", "<U+1F3B5> <U+10FFFF>"},  // whole, not as surrogates
        {u"C:\\表示\\ソ\\能.mp3", "C:\\表示\\ソ\\能.mp3"},   // trail bytes 0x5C
        {u"\uFF71\uFF9F-\u03B1\u0414", "\xB1\xDF-αД"},       // half-width katakana, Greek, Cyrillic
        // Lone surrogates as the escape of their unit.
        {u"a\xD800z\xDC00\xDBFF", "a<U+D800>z<U+DC00><U+DBFF>"},
        // "<" where it would read as an escape, and only there.
        {u"<U+00E9>", "<U+003C>U+00E9>"},
        {u"<<U+1F3B5>>", "<<U+003C>U+1F3B5>>"},
        {u"<b> <U+0041> <U+00e9> <U+E9>", "<b> <U+0041> <U+00e9> <U+E9>"},
        {u"", ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.Text, CodePage::FromUtf16(c.Wide));
        EXPECT_EQ(c.Wide, Wide(c.Text)) << c.Text;
        EXPECT_EQ(c.Wide.size(), CodePage::Utf16Length(c.Text)) << c.Text;
    }
    // A 40-character Korean name is 40 long, not the 320 bytes of its text.
    std::string korean;
    for (int i = 0; i < 40; ++i) korean += "<U+D55C>";
    EXPECT_EQ(40u, CodePage::Utf16Length(korean));

    // What is not an escape stays as written: lower case, too few or too many
    // digits, a code point beyond U+10FFFF, ASCII (a "\" or NUL never hides
    // in one), an unclosed one.
    for (const std::string text : {"<U+00e9>", "<U+E9>", "<U+000E9>", "<U+0010000>", "<U+110000>", "<U+005C>",
                                   "<U+0000>", "<U+0041>", "<U+00E9", "<U+ 00E9>"}) {
        EXPECT_EQ(std::u16string(text.begin(), text.end()), Wide(text));
        EXPECT_EQ(text.size(), CodePage::Utf16Length(text));
    }
    // Two surrogate escapes that make a pair read as the pair.
    EXPECT_EQ(u"\U0001F600", Wide("<U+D83D><U+DE00>"));

    // Bytes that are no code page 932 text come out as U+FFFD, counted as
    // they come out.
    std::u16string w;
    EXPECT_FALSE(CodePage::ToUtf16("a\x85\x40<U+00E9>\x83", w));
    EXPECT_EQ(u"a\uFFFD\u00E9\uFFFD", w);
    EXPECT_EQ(4u, CodePage::Utf16Length("a\x85\x40<U+00E9>\x83"));
}

TEST(CodePageTest, Utf8BothWays)
{
    std::string text, utf8;
    EXPECT_TRUE(
        CodePage::FromUtf8("\xED\x95\x9C \xE8\xA1\xA8 Beyonc\xC3\xA9 \xF0\x9F\x8E\xB5 <U+00E9>", text));
    EXPECT_EQ("<U+D55C> 表 Beyonc<U+00E9> <U+1F3B5> <U+003C>U+00E9>", text);
    EXPECT_TRUE(CodePage::ToUtf8(text, utf8));
    EXPECT_EQ("\xED\x95\x9C \xE8\xA1\xA8 Beyonc\xC3\xA9 \xF0\x9F\x8E\xB5 <U+00E9>", utf8);

    // Overlong, a surrogate, beyond U+10FFFF, cut short: not UTF-8.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE8\xA1"}) {
        EXPECT_FALSE(CodePage::FromUtf8(bad, text)) << bad;
        EXPECT_EQ("", text);
    }
    // A lone surrogate or bytes that are no text have no UTF-8 form.
    EXPECT_FALSE(CodePage::ToUtf8("a<U+D800>", utf8));
    EXPECT_FALSE(CodePage::ToUtf8("a\x85\x40", utf8));
    EXPECT_EQ("", utf8);
}

TEST(CodePageTest, ComparesRealNamesIgnoringCaseAsWindowsDoes)
{
    struct TPair {
        const char *A, *B;
        int Order;
    };
    const std::vector<TPair> pairs = {
        {"C:\\Music\\a.WAV", "c:\\music\\A.wav", 0},
        {"a", "B", -1},
        {"ab", "a", 1},
        {"_", "a", 1},  // after the upper case: "_" (0x5F) comes after "A"
        {"Beyonc<U+00E9>.wav", "BEYONC<U+00C9>.WAV", 0},
        {"Beyonc<U+00E9>.wav", "Beyonce.wav", 1},
        {"<U+00FF>", "<U+0178>", 0},  // ÿ and Ÿ
        {"αβγ", "ΑΒΓ", 0},
        {"дом", "ДОМ", 0},
        {"ａｂｃ", "ＡＢＣ", 0},
        {"<U+0131>", "I", 1},   // the dotless i is no "i" to Windows
        {"<U+00B5>", "μ", -1},  // nor is the micro sign a mu
        // Trail bytes that are ASCII letters or "\": no case of their own.
        {"ア", "ヂ", -1},  // 83 41 and 83 61
        {"ソ\\a", "ソ\\A", 0},
        {"ソ", "ゾ", -1},
        {"<U+D55C><U+AD6D>", "<U+D55C><U+AD6D>", 0},
        {"<U+1F3B5>", "<U+FFFF>", -1},  // unit by unit, as the system does
    };
    for (const TPair& p : pairs) {
        const int r = CodePage::CompareNoCase(p.A, p.B), back = CodePage::CompareNoCase(p.B, p.A);
        EXPECT_EQ(p.Order, r > 0 ? 1 : r < 0 ? -1 : 0) << p.A << " " << p.B;
        EXPECT_EQ(-p.Order, back > 0 ? 1 : back < 0 ? -1 : 0) << p.A << " " << p.B;
    }
}

#ifdef _WIN32
TEST(CodePageTest, SystemWideStrings)
{
    EXPECT_EQ("Beyonc<U+00E9>\\表<U+D800>", CodePage::FromWide(L"Beyonc\u00E9\\\u8868\xD800"));
    EXPECT_EQ(L"Beyonc\u00E9\\\u8868\xD800", CodePage::ToWide("Beyonc<U+00E9>\\表<U+D800>"));
}
#endif
