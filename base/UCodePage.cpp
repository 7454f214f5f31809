// The escaped form of code page 932 text, on the platform's conversions.
#include "base/UCodePage.h"

#include "base/UCodePageSystem.h"
#include "base/ULeadByte.h"

namespace CodePage {

namespace {

constexpr char16_t Replacement = 0xFFFD;

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

int HexDigit(char32_t c)
{
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

// The length of the escape that starts at s[i] ("<U+00E9>" 8), 0 when none
// starts there; its code point in `cp`. Works on bytes and on UTF-16 units
// alike: an escape is ASCII, and "<" is never the trail byte of a
// double-byte character, so the bytes that follow it are characters too.
template <class Char>
size_t EscapeAt(std::basic_string_view<Char> s, size_t i, char32_t& cp)
{
    if (s.size() - i < 8 || s[i] != '<' || s[i + 1] != 'U' || s[i + 2] != '+') return 0;
    char32_t value = 0;
    size_t digits = 0;
    for (size_t k = i + 3; k < s.size() && digits <= 6; ++k, ++digits) {
        const int d = HexDigit(static_cast<char32_t>(s[k]));
        if (d < 0) break;
        value = value << 4 | static_cast<char32_t>(d);
    }
    if (digits < 4 || digits > 6 || i + 3 + digits >= s.size() || s[i + 3 + digits] != '>') return 0;
    // One spelling per code point: four digits up to U+FFFF, no more than
    // it needs above.
    if ((digits == 5 && value < 0x10000) || (digits == 6 && value < 0x100000) || value > 0x10FFFF) return 0;
    if (value < 0x80 && value != '<') return 0;
    cp = value;
    return digits + 4;
}

void AppendEscape(char32_t cp, std::string& out)
{
    static const char hex[] = "0123456789ABCDEF";
    int digits = cp > 0xFFFFF ? 6 : cp > 0xFFFF ? 5 : 4;
    out += "<U+";
    while (digits--) out += hex[(cp >> (4 * digits)) & 0xF];
    out += '>';
}

void AppendUtf16(char32_t cp, std::u16string& out)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Non-ASCII units: the code page's bytes where each character has them,
// escapes elsewhere.
void AppendNonAscii(std::u16string_view run, std::string& out)
{
    if (System::Encode(run, out)) return;
    for (size_t i = 0; i < run.size();) {
        const bool pair = IsHigh(run[i]) && i + 1 < run.size() && IsLow(run[i + 1]);
        const size_t n = pair ? 2 : 1;
        if (!System::Encode(run.substr(i, n), out))
            AppendEscape(pair ? 0x10000 + ((run[i] - 0xD800u) << 10) + (run[i + 1] - 0xDC00u) : run[i], out);
        i += n;
    }
}

// The characters of escape-free text: a lead byte and the byte after it
// count as one, as every lead-byte walk of the program counts them.
template <class Step>
void ForEachCharacter(std::string_view s, Step step)
{
    for (size_t i = 0; i < s.size();) {
        const size_t n = IsLeadByte932(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
        step(s.substr(i, n));
        i += n;
    }
}

// Escape-free text as UTF-16; a character that is no text becomes U+FFFD.
bool AppendPlain(std::string_view s, std::u16string& out)
{
    bool ascii = true;
    for (char c : s) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        for (char c : s) out += static_cast<char16_t>(c);
        return true;
    }
    if (System::Decode(s, out)) return true;
    ForEachCharacter(s, [&out](std::string_view c) {
        if (!System::Decode(c, out)) out += Replacement;
    });
    return false;
}

// Calls plain(text) for each stretch of text between escapes and escape(cp)
// for each escape.
template <class Plain, class Escape>
void Split(std::string_view s, Plain plain, Escape escape)
{
    size_t from = 0;
    for (size_t lt = s.find('<'); lt != std::string_view::npos; lt = s.find('<', lt + 1)) {
        char32_t cp;
        const size_t n = EscapeAt(s, lt, cp);
        if (!n) continue;
        if (lt > from) plain(s.substr(from, lt - from));
        escape(cp);
        from = lt + n;
        lt = from - 1;
    }
    if (from < s.size()) plain(s.substr(from));
}

bool PlainAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '<') return false;
    return true;
}

// Strict UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool DecodeUtf8(std::string_view s, std::u16string& out)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        char32_t cp, min;
        if (c < 0x80) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1, min = 0x80, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, min = 0x800, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= n) return false;
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        AppendUtf16(cp, out);
        i += n + 1;
    }
    return true;
}

bool EncodeUtf8(std::u16string_view w, std::string& out)
{
    for (size_t i = 0; i < w.size(); ++i) {
        char32_t cp = w[i];
        if (IsHigh(cp) && i + 1 < w.size() && IsLow(w[i + 1]))
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[++i] - 0xDC00u);
        else if (IsHigh(cp) || IsLow(cp))
            return false;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string FromUtf16(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size());
    char32_t cp;
    for (size_t i = 0; i < wide.size();) {
        const char16_t c = wide[i];
        if (c < 0x80) {
            if (c == '<' && EscapeAt(wide, i, cp))
                AppendEscape('<', out);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < wide.size() && wide[end] >= 0x80) ++end;
        AppendNonAscii(wide.substr(i, end - i), out);
        i = end;
    }
    return out;
}

bool ToUtf16(std::string_view text, std::u16string& wide)
{
    wide.clear();
    wide.reserve(text.size());
    bool exact = true;
    Split(
        text, [&](std::string_view plain) { exact = AppendPlain(plain, wide) && exact; },
        [&](char32_t cp) { AppendUtf16(cp, wide); });
    return exact;
}

bool FromUtf8(std::string_view utf8, std::string& text)
{
    if (PlainAscii(utf8)) {
        text.assign(utf8);
        return true;
    }
    std::u16string wide;
    text.clear();
    if (!DecodeUtf8(utf8, wide)) return false;
    text = FromUtf16(wide);
    return true;
}

bool ToUtf8(std::string_view text, std::string& utf8)
{
    utf8.clear();
    if (PlainAscii(text)) {
        utf8.assign(text);
        return true;
    }
    std::u16string wide;
    if (ToUtf16(text, wide) && EncodeUtf8(wide, utf8)) return true;
    utf8.clear();
    return false;
}

size_t Utf16Length(std::string_view text)
{
    size_t n = 0;
    Split(
        text, [&n](std::string_view plain) { ForEachCharacter(plain, [&n](std::string_view) { ++n; }); },
        [&n](char32_t cp) { n += cp > 0xFFFF ? 2 : 1; });
    return n;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    if (PlainAscii(a) && PlainAscii(b)) {
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const char x = UpperAscii(a[i]), y = UpperAscii(b[i]);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
    }
    std::u16string wa, wb;
    ToUtf16(a, wa);
    ToUtf16(b, wb);
    return System::CompareNoCase(wa, wb);
}

}  // namespace CodePage
