// Text inside the program is code page 932, and a character that code page
// cannot hold is written as an escape: "<U+" the code point in upper-case
// hexadecimal ">", four digits up to U+FFFF and five or six above it (the
// code point whole, never as two surrogates): "Beyonc<U+00E9>.wav",
// "<U+D55C><U+AD6D>.wav", "<U+1F3B5>.mp3". Windows forbids "<" in file
// names, so no real path looks like an escape, and a name code page 932 can
// hold keeps exactly the bytes it always had (in settings, play lists and
// every lead-byte walk). Only where a name meets the system, the display or
// UTF-8 does it change form, through the functions below.
//
// Reading takes "<U+XXXX>" as an escape only when it is one that writing
// makes: the digits upper-case, no leading zero beyond four digits, a code
// point up to U+10FFFF that is not ASCII (an ASCII character, a "\" or NUL
// in particular, is never hidden in an escape) or is "<" itself. Anything
// else is text as it stands. A "<" that would otherwise read as the start of
// an escape is written "<U+003C>", so that every UTF-16 text comes back
// unchanged from its escaped form.
//
// A UTF-16 unit that is half of no surrogate pair (NTFS allows them) is
// written as the escape of its own value, "<U+D800>", and read back as that
// unit. Two such escapes in a row that make a pair read as the pair (writing
// never puts them so). UTF-8 cannot hold a lone surrogate: ToUtf8 fails.
//
// A character is kept in the code page only when it converts and converts
// back to itself: no best-fit look-alikes ("é" never becomes "e", "¥" never
// the byte of "\", U+301C never the full-width tilde).
//
// The Windows build converts with the system's code page 932 tables; the
// native build with iconv's CP932.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace CodePage {

// UTF-16 (from the system, or any text) as escaped code page 932 text. Never
// fails: what the code page cannot hold is escaped.
std::string FromUtf16(std::u16string_view wide);

// Escaped text as UTF-16, escapes read. False when the text holds bytes that
// are no code page 932 text; each such character is then U+FFFD in `wide`.
bool ToUtf16(std::string_view text, std::u16string& wide);

// UTF-8 as escaped text. False (and `text` empty) when the bytes are not
// valid UTF-8 (overlong forms and surrogates included).
bool FromUtf8(std::string_view utf8, std::string& text);

// Escaped text as UTF-8. False (and `utf8` empty) when the text holds bytes
// that are no code page 932 text or a lone surrogate.
bool ToUtf8(std::string_view text, std::string& utf8);

// Whether the text may hold an escape (it has a "<", which starts every
// one). A text without one is its own real form: code page calls take it as
// it is.
inline bool MayHoldEscape(std::string_view text) { return text.find('<') != std::string_view::npos; }

// The length of the real name in UTF-16 units, ToUtf16(text).size():
// "<U+D55C><U+AD6D>" is 2, "<U+1F3B5>" 2, "表" 1. For the MAX_PATH limits.
size_t Utf16Length(std::string_view text);

// Compares the real names, ignoring case as Windows compares file names:
// each UTF-16 unit upper-cased, then unit by unit (CompareStringOrdinal
// with case ignored). Negative, 0 or positive.
int CompareNoCase(std::string_view a, std::string_view b);

#ifdef _WIN32
// The same for the system's wide strings. ToWide gives U+FFFD for bytes
// that are no text (a name that can then match no file).
std::wstring ToWide(std::string_view text);
std::string FromWide(std::wstring_view wide);
#endif

}  // namespace CodePage
