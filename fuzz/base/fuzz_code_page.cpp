// The escaped form of code page text, from both sides. The first byte
// chooses how the rest is read:
//  0: as escaped text, which may hold anything (damaged bytes, escapes that
//     are none, surrogate escapes);
//  1: as UTF-16 units, two bytes each;
//  2: as UTF-16 built from pairs of bytes, each pair one character of a
//     class: ASCII, half-width katakana, a double-byte character with the
//     trail byte 0x5C, a letter of the first plane outside the code page, a
//     character of the planes above, a lone surrogate, or text that looks
//     like an escape.
// Every UTF-16 text comes back unchanged from its escaped form, with its
// length; UTF-8 goes there and back; comparisons agree with the system's.
#include <cstdint>
#include <string>

#include "base/UCodePage.h"
#include "base/UCodePageSystem.h"
#include "fuzz/FuzzCheck.h"

namespace {

int Sign(int r) { return r > 0 ? 1 : r < 0 ? -1 : 0; }

std::u16string FromClasses(const uint8_t* p, size_t n)
{
    static const char16_t trail5C[] = {0x30BD, 0x8868, 0x80FD, 0x5341, 0x4E88, 0x7AF9};  // ソ表能十予竹
    std::u16string w;
    for (size_t i = 0; i + 1 < n; i += 2) {
        const unsigned v = p[i + 1];
        switch (p[i] % 7) {
            case 0:
                w += static_cast<char16_t>(v & 0x7F);
                break;
            case 1:
                w += static_cast<char16_t>(0xFF61 + v % 63);
                break;
            case 2:
                w += trail5C[v % 6];
                break;
            case 3:
                w += static_cast<char16_t>(v < 128 ? 0x00A0 + v : 0xAC00 + v * 40);
                break;
            case 4: {
                const char32_t cp = 0x10000 + (v * 4349u) % 0x100000;
                w += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                w += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                break;
            }
            case 5:
                w += static_cast<char16_t>((v & 1 ? 0xDC00 : 0xD800) + v);
                break;
            default: {
                static const char16_t* const looks[] = {u"<U+",       u"00E9>",    u"<U+D800>",
                                                        u"<U+1F3B5>", u"<U+003C>", u"<"};
                w += looks[v % 6];
            }
        }
    }
    return w;
}

void CheckWide(const std::u16string& w)
{
    const std::string text = CodePage::FromUtf16(w);
    std::u16string back;
    CHECK(CodePage::ToUtf16(text, back));
    CHECK(back == w);
    CHECK(CodePage::Utf16Length(text) == w.size());
    CHECK(CodePage::CompareNoCase(text, text) == 0);

    std::string utf8, again;
    if (CodePage::ToUtf8(text, utf8)) {
        CHECK(CodePage::FromUtf8(utf8, again));
        CHECK(again == text);
    } else {
        // Only a lone surrogate has no UTF-8 form.
        bool lone = false;
        for (size_t i = 0; i < w.size(); ++i) {
            const bool high = w[i] >= 0xD800 && w[i] <= 0xDBFF, low = w[i] >= 0xDC00 && w[i] <= 0xDFFF;
            if (high && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF)
                ++i;
            else if (high || low)
                lone = true;
        }
        CHECK(lone);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const uint8_t* p = data + 1;
    const size_t n = size - 1;
    switch (data[0] % 3) {
        case 0: {
            const std::string_view text(reinterpret_cast<const char*>(p), n);
            std::u16string w;
            CodePage::ToUtf16(text, w);
            CHECK(CodePage::Utf16Length(text) == w.size());
            CheckWide(w);
            // Its canonical form names the same thing.
            const std::string canonical = CodePage::FromUtf16(w);
            CHECK(CodePage::CompareNoCase(text, canonical) == 0);
            // The two halves compare as the system compares their real names,
            // the same either way round.
            const std::string_view a = text.substr(0, n / 2), b = text.substr(n / 2);
            std::u16string wa, wb;
            CodePage::ToUtf16(a, wa);
            CodePage::ToUtf16(b, wb);
            const int r = Sign(CodePage::CompareNoCase(a, b));
            CHECK(r == Sign(CodePage::System::CompareNoCase(wa, wb)));
            CHECK(r == -Sign(CodePage::CompareNoCase(b, a)));
            // Bytes read as UTF-8.
            std::string fromUtf8;
            if (CodePage::FromUtf8(text, fromUtf8)) {
                std::string utf8;
                CHECK(CodePage::ToUtf8(fromUtf8, utf8));
                CHECK(utf8 == text);
            }
            break;
        }
        case 1: {
            std::u16string w;
            for (size_t i = 0; i + 1 < n; i += 2) w += static_cast<char16_t>(p[i] | p[i + 1] << 8);
            CheckWide(w);
            break;
        }
        default:
            CheckWide(FromClasses(p, n));
    }
    return 0;
}
